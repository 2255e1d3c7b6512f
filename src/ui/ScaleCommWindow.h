#pragma once
// frmScaleComm: the scale communication component's own window. While a
// call runs it shows each scale's progress (unless HideStatusForm was set
// for the call) with a Cancel button; when a call ends it shows the result
// of each scale. Failures are always shown, also of calls without progress,
// and stay listed below the table until the window is closed, so that a
// department send's failures are not lost behind the PLU send that follows.
// Modeless: the program stays usable while scales are served.

#include "comm/ScaleComm.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace korvo {

class AppState;

class ScaleCommWindow : public QDialog {
    Q_OBJECT
public:
    ScaleCommWindow(AppState &state, ScaleComm *comm, QWidget *parent = nullptr);

    enum Column { ColAddress, ColScale, ColState, ColProgress, ColWritten, ColDeleted, ColRead, ColTime, ColReason, ColumnCount };

    QLabel *lblStatus = nullptr;
    QTableWidget *lstScales = nullptr;
    QLabel *lblFailures = nullptr;
    QPlainTextEdit *txtFailures = nullptr;
    QPushButton *cmdCancel = nullptr;
    QPushButton *cmdClose = nullptr;

private:
    void started(CommMethod method, const QStringList &addresses, bool showProgress);
    void progress(int index, const QString &step, int done, int total);
    void scaleFinished(int index, const ScaleResult &result);
    void finished(const CommCallResult &result, bool showProgress);
    void showResult(int row, const ScaleResult &r);
    void setCell(int row, int column, const QString &text);
    void updateStatus();
    QString text(const char *key) const;

    AppState &m_state;
    ScaleComm *m_comm;
    CommMethod m_method = CommMethod::WritePlu;
    int m_done = 0;
    int m_failed = 0;
    bool m_running = false;
};

} // namespace korvo
