// Korvo 2005, the desktop program: one copy per data root, sign-in, the
// start-up, then the main window.

#include "core/AppState.h"
#include "core/IniFile.h"
#include "core/Log.h"
#include "core/Settings.h"
#include "startup/Startup.h"
#include "ui/MainWindow.h"
#include "ui/QtTranslations.h"
#include "ui/SignInDialog.h"
#include "ui/WidgetUserInterface.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

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
                       "offered a new data root with a demo shop. Default: the parent of the program's "
                       "folder, or the user's data folder when that has no settings file."),
        QStringLiteral("DIR"));
    parser.addOption(dataRootOption);
    parser.process(app);

    WidgetUserInterface ui;
    AppState state(&ui);
    ui.setState(&state);
    QString chosenRoot = parser.value(dataRootOption);
    if (chosenRoot.isEmpty()) {
        state.setPaths(QCoreApplication::applicationDirPath(), QString());
        // Installed among the system's programs (no settings file above the
        // program folder), the program keeps its data in the user's folder.
        if (!QFileInfo::exists(state.iniFile))
            chosenRoot = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                + QStringLiteral("/Korvo2005");
    }
    if (!chosenRoot.isEmpty())
        state.setPaths(QString(), QDir(chosenRoot).absolutePath());

    std::unique_ptr<QLockFile> lock;
    switch (PrepareDataRoot(state, !chosenRoot.isEmpty(), &lock)) {
    case StartStep::Go: break;
    case StartStep::EndQuietly: return 0;
    case StartStep::Fail: return 1;
    }

    // Qt's own buttons, every sign-in (also after Logout) and the main window
    // speak the language the settings file names now; a new choice waits
    // for the next start.
    const QString language =
        LanguageFromSetting(ReadIniString(QStringLiteral("Setting"), QStringLiteral("Language"), state.iniFile));
    InstallQtTranslations(language);
    DialogSignInProvider signIn(state.dataPath, &ui, language, [&state](const QString &line) {
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
