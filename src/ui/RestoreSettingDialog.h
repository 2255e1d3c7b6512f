#pragma once
// frmRestoreSetting: lists the daily backups of the settings files by date,
// newest first, and copies the chosen day's files back. The restored
// settings are read at the next start. Modal; read cancelled() after it
// closed.

#include <QDialog>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace korvo {

class AppState;

class RestoreSettingDialog : public QDialog {
    Q_OBJECT
public:
    explicit RestoreSettingDialog(AppState &state, QWidget *parent = nullptr);

    // True until a restore completed.
    bool cancelled() const { return m_cancelled; }
    // The backup folder of a list entry (its full path).
    static QString folderOf(const QListWidgetItem *item);

    QLabel *lblSelectDate = nullptr;
    QListWidget *lstSelectDate = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

private:
    void fillList();
    void ok();

    AppState &m_state;
    bool m_cancelled = true;
};

} // namespace korvo
