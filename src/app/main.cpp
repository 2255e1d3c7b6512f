// Korvo 2005, the desktop program: one copy per data root, sign-in, the
// start-up, then the main window.

#include "core/AppState.h"
#include "core/Log.h"
#include "startup/Startup.h"
#include "ui/MainWindow.h"
#include "ui/SignInDialog.h"
#include "ui/WidgetUserInterface.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLockFile>

using namespace korvo;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(AppState::appTitle());
    QApplication::setApplicationVersion(AppState::versionText());

    QCommandLineParser parser;
    parser.setApplicationDescription(AppState::appTitle());
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption dataRootOption(
        QStringLiteral("data-root"),
        QStringLiteral("Data root (settings file, Database, Desc). A folder without databases is "
                       "offered a new data root with a demo shop."),
        QStringLiteral("DIR"));
    parser.addOption(dataRootOption);
    parser.process(app);

    WidgetUserInterface ui;
    AppState state(&ui);
    const bool ownRoot = parser.isSet(dataRootOption);
    if (ownRoot)
        state.setPaths(QString(), QDir(parser.value(dataRootOption)).absolutePath());
    else
        state.setPaths(QCoreApplication::applicationDirPath(), QString());

    std::unique_ptr<QLockFile> lock;
    switch (PrepareDataRoot(state, ownRoot, &lock)) {
    case StartStep::Go: break;
    case StartStep::EndQuietly: return 0;
    case StartStep::Fail: return 1;
    }

    DialogSignInProvider signIn(state.dataPath, &ui, [&state](const QString &line) {
        RestartDayLog(state);
        WriteLog(state, line);
    });
    const QString name = signIn.show();
    if (name.isEmpty())
        return signIn.failed() ? 1 : 0;
    if (!StartSession(state, name))
        return 1;

    MainWindow window(state, &signIn);
    window.show();
    return QApplication::exec();
}
