#pragma once
// The desktop's answer to the core's questions: message boxes, a progress
// window, event processing and the open-file dialog.

#include "core/UserInterface.h"

#include <QPointer>
#include <QString>

class QProgressDialog;

namespace korvo {

// "CSV (*.csv)|*.csv" -> "CSV (*.csv)"; "*.EXE|*.exe" -> "*.EXE (*.exe)";
// several pairs become Qt's ";;"-separated list. A text without "|" is
// taken as it stands.
QString QtFileFilter(const QString &pipeFilter);

class WidgetUserInterface : public UserInterface {
public:
    WidgetUserInterface();
    ~WidgetUserInterface() override;

    MsgResult message(const QString &text, const QString &title, MsgIcon icon,
                      MsgButtons buttons, MsgResult defaultButton) override;
    void processEvents() override;
    void progressBegin(const QString &caption, int maximum) override;
    void progressStep(int value, const QString &text = {}) override;
    void progressEnd() override;
    QString openFileName(const QString &title, const QString &filter) override;
    QString chooseFolder(const QString &title) override;

private:
    QPointer<QProgressDialog> m_progress;
};

} // namespace korvo
