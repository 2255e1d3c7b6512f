#include "tools/ToolSession.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/ErrorReporter.h"
#include "core/IniFile.h"
#include "i18n/Language.h"
#include "startup/DataRoot.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSqlDatabase>

namespace korvo {

void SetToolPaths(AppState &state, const QString &dataRoot, const QString &programFolder)
{
    if (dataRoot.isEmpty())
        state.setPaths(programFolder, QString());
    else
        state.setPaths(QString(), QDir(dataRoot).absolutePath());
}

void SetToolPathsFromArguments(AppState &state, const QCoreApplication &app)
{
    QCoreApplication::setApplicationName(AppState::appTitle());
    QCoreApplication::setApplicationVersion(AppState::versionText());
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption dataRoot(QStringLiteral("data-root"), QStringLiteral("Data root of Korvo 2005."),
                                      QStringLiteral("DIR"));
    parser.addOption(dataRoot);
    parser.process(app);
    SetToolPaths(state, parser.value(dataRoot), QCoreApplication::applicationDirPath());
}

namespace {

// language.db's rows as the installation delivers them, and a users
// database without users (nothing prohibited), both in memory under the
// state's connections.
bool openInstalledTexts(AppState &state)
{
    QString ignored;
    for (DbKind kind : {DbKind::Language, DbKind::Users}) {
        const QString conn = ConnectionName(state, kind);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
            db.setDatabaseName(QStringLiteral(":memory:"));
            if (!db.open())
                return false;
        }
        if (!CreateSchema(conn, kind == DbKind::Users ? QStringLiteral("users") : QStringLiteral("language"), &ignored))
            return false;
    }
    return LoadRowsFile(ConnectionName(state, DbKind::Language), QStringLiteral("tbl_LANGUAGE"),
                        QStringLiteral(":/data/language.tsv"), &ignored);
}

} // namespace

bool OpenToolSession(AppState &state, bool installedTexts, QString *error)
{
    state.settings.Language = ReadIniString(QStringLiteral("Setting"), QStringLiteral("Language"), state.iniFile);
    bool ok;
    {
        ErrorCollector collect(state);
        ok = InitDBConnection(state);
        if (!ok && error)
            *error = collect.firstDescription();
        if (!ok && installedTexts && !openInstalledTexts(state))
            installedTexts = false;
    }
    if (ok || installedTexts)
        LoadLanguageTexts(state);
    return ok;
}

} // namespace korvo
