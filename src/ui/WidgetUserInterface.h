#pragma once
// The desktop's answer to the core's questions: message boxes, the progress
// window frmStatusprocess, event processing, the file dialogs and the scale
// selection.

#include "core/UserInterface.h"

#include <QPointer>
#include <QString>

namespace korvo {

class AppState;
class StatusProcessWindow;

// "CSV (*.csv)|*.csv" -> "CSV (*.csv)"; "*.EXE|*.exe" -> "*.EXE (*.exe)";
// several pairs become Qt's ";;"-separated list. A text without "|" is
// taken as it stands.
QString QtFileFilter(const QString &pipeFilter);

class WidgetUserInterface : public UserInterface {
public:
    WidgetUserInterface();
    ~WidgetUserInterface() override;

    // The state whose texts and scales the windows show (set once it exists).
    void setState(AppState *state) { m_state = state; }

    MsgResult message(const QString &text, const QString &title, MsgIcon icon,
                      MsgButtons buttons, MsgResult defaultButton) override;
    void processEvents() override;
    void progressBegin(const QString &caption, int maximum) override;
    void progressStep(int value, const QString &text = {}) override;
    void progressEnd() override;
    void progressFinish(const QString &text) override;
    QString openFileName(const QString &title, const QString &filter) override;
    QString saveFileName(const QString &title, const QString &filter, const QString &proposed) override;
    ScaleChoice chooseScales(int deptId, bool multiSelect) override;
    QString chooseFolder(const QString &title) override;

private:
    StatusProcessWindow *progressWindow();
    AppState *m_state = nullptr;
    QPointer<StatusProcessWindow> m_progress;
};

} // namespace korvo
