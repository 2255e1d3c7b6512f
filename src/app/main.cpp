// Korvo 2005, the desktop program: one copy per data root, sign-in, the
// start-up, then the main window.

#include "core/AppState.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "encoding/RecordBuilder.h"
#include "startup/DataRoot.h"
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

namespace {

bool HasAnyDatabase(const QString &dataRoot)
{
    for (DbKind kind : {DbKind::Language, DbKind::Main, DbKind::Users}) {
        if (QFileInfo::exists(dataRoot + QStringLiteral("Database/") + DatabaseFileName(kind)))
            return true;
    }
    return false;
}

} // namespace

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
        QStringLiteral("Data root (settings file, Database, Desc); built with demo data when it has no databases. "
                       "Default: the parent of the program's folder, or the user's data folder when that "
                       "has no settings file."),
        QStringLiteral("DIR"));
    parser.addOption(dataRootOption);
    parser.process(app);

    WidgetUserInterface ui;
    AppState state(&ui);
    QString chosenRoot = parser.value(dataRootOption);
    if (chosenRoot.isEmpty()) {
        state.setPaths(QCoreApplication::applicationDirPath(), QString());
        // Installed among the system's programs (no settings file above the
        // program folder), the program keeps its data in the user's folder.
        if (!QFileInfo::exists(state.iniFile))
            chosenRoot = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                + QStringLiteral("/Korvo2005");
    }
    if (!chosenRoot.isEmpty()) {
        const QString dataRoot = QDir(chosenRoot).absolutePath() + QLatin1Char('/');
        QDir().mkpath(dataRoot);
        state.setPaths(QString(), dataRoot);
    }

    // One copy per data root; a second one leaves without a trace.
    QLockFile lock(state.lockFilePath());
    if (!lock.tryLock(0))
        return 0;

    const bool freshRoot = !chosenRoot.isEmpty() && !HasAnyDatabase(state.dataPath);
    if (freshRoot) {
        DataRootOptions options;
        options.demoRows = true;
        QString error;
        if (!CreateDataRoot(state.dataPath, options, &error)) {
            ui.message(error, AppState::appTitle(), MsgIcon::Critical, MsgButtons::Ok, MsgResult::Ok);
            return 1;
        }
    }

    // Qt's own buttons, every sign-in (also after Logout) and the main window
    // speak the language the settings file names now; a new choice waits
    // for the next start.
    const QString language =
        LanguageFromSetting(ReadIniString(QStringLiteral("Setting"), QStringLiteral("Language"), state.iniFile));
    InstallQtTranslations(language);
    DialogSignInProvider signIn(state.dataPath, &ui, language);
    const QString name = signIn.show();
    if (name.isEmpty())
        return 0;
    if (!StartSession(state, name))
        return 1;

    MainWindow window(state, &signIn);
    window.show();
    if (freshRoot) {
        // The demo PLUs get their scale records, as "korvoctl init" gives them;
        // the window has resolved the hierarchy settings the records need.
        qint32 last = 0;
        CreatePLUData(state, QStringLiteral("ALL"), last);
        window.refreshPluList();
    }
    return QApplication::exec();
}
