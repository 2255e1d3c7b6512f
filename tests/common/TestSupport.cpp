#include "common/TestSupport.h"

#include "startup/DataRoot.h"
#include "startup/Startup.h"

#include <QDir>
#include <QStandardPaths>

namespace korvo::test {

MsgResult ScriptedUi::message(const QString &text, const QString &title, MsgIcon icon,
                              MsgButtons buttons, MsgResult defaultButton)
{
    messages.push_back({text, title, icon, buttons, defaultButton});
    if (answers.empty())
        return defaultButton;
    MsgResult r = answers.front();
    answers.pop_front();
    return r;
}

QString ScriptedUi::openFileName(const QString &, const QString &)
{
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

void ScriptedUi::progressBegin(const QString &, int) { progressSteps = 0; }
void ScriptedUi::progressStep(int, const QString &) { ++progressSteps; }

TestDataRoot::TestDataRoot(bool demoRows)
{
    IsolateUserSettings();
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    DataRootOptions opts;
    opts.demoRows = demoRows;
    m_ok = CreateDataRoot(path(), opts, &m_error);
}

TestDataRoot::~TestDataRoot() = default;

QString TestDataRoot::path() const { return m_dir.path() + QLatin1Char('/'); }

std::unique_ptr<AppState> TestDataRoot::newState()
{
    auto s = std::make_unique<AppState>(&ui);
    s->setPaths(QString(), path());
    return s;
}

std::unique_ptr<AppState> TestDataRoot::loadedState(const QString &userName)
{
    auto s = newState();
    s->userName = userName;
    if (!LoadSettings(*s))
        return nullptr;
    return s;
}

void IsolateUserSettings()
{
    static QTemporaryDir *dir = nullptr; // one per test process, lives to its end
    if (!dir) {
        dir = new QTemporaryDir;
        qputenv("XDG_CONFIG_HOME", dir->path().toUtf8());
        QStandardPaths::setTestModeEnabled(true);
    }
}

} // namespace korvo::test
