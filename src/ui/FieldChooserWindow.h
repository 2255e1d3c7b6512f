#pragma once
// frmFieldChooser: a small tool window listing the hidden columns of the PLU
// list (wndFieldChooser); double-clicking an entry shows its column again.

#include <QWidget>

class QListWidget;

namespace korvo {

class AppState;
class PluListWidget;

class FieldChooserWindow : public QWidget {
    Q_OBJECT
public:
    FieldChooserWindow(AppState &state, PluListWidget *list, QWidget *owner);

    // Lists the hidden columns of the list again.
    void refresh();

    QListWidget *wndFieldChooser = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void savePosition();
    AppState &m_state;
    PluListWidget *m_list;
};

} // namespace korvo
