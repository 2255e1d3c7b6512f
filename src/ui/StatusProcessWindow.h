#pragma once
// frmStatusprocess: the progress of long work (import, export, encoding all
// PLUs). A caption, a bar with its percentage and, once the work is done, a
// close button; the finished window closes itself after five seconds.

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace korvo {

class AppState;

class StatusProcessWindow : public QDialog {
    Q_OBJECT
public:
    // state may be null (no language texts yet).
    StatusProcessWindow(AppState *state, QWidget *parent = nullptr);

    void begin(const QString &caption, int maximum);
    void step(int value, const QString &caption);
    // The closing text; the bar goes, the close button comes.
    void finish(const QString &text);

    static constexpr int kFinishedMs = 5000;

    QLabel *lblCaption = nullptr;
    QProgressBar *prgStatus = nullptr;
    QLabel *lblPercent = nullptr;
    QPushButton *cmdClose = nullptr;

private:
    QTimer *m_closer = nullptr;
};

} // namespace korvo
