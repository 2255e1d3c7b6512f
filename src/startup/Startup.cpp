#include "startup/Startup.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/ErrorReporter.h"
#include "core/FileUtil.h"
#include "core/IniFile.h"
#include "core/Log.h"
#include "core/Settings.h"
#include "core/SettingsBackup.h"
#include "core/UserInterface.h"
#include "encoding/DescriptorFiles.h"
#include "encoding/Hierarchy.h"
#include "i18n/Codepages.h"
#include "i18n/Language.h"
#include "i18n/Permissions.h"
#include "startup/DataRoot.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSqlQuery>
#include <QVariant>

namespace korvo {

bool LoadFonts(AppState &state)
{
    state.fonts.clear();
    auto q = QueryKorvoDB(state, QStringLiteral(
        "select Font_Code,Font_Name,Font_Weight,Font_Height,Font_Numbers from FONTS where IsUsed=True order by Font_Code"));
    if (!q)
        return false;
    while (q->next()) {
        ScaleFont f;
        f.Font_Code = q->value(0).toInt();
        f.Font_Name = q->value(1).toString();
        f.Font_Weight = q->value(2).toInt();
        f.Font_Height = q->value(3).toInt();
        f.Font_Numbers = q->value(4).toInt();
        state.fonts.append(f);
    }
    if (state.fonts.isEmpty()) {
        state.errorSource = QStringLiteral("LoadFonts");
        ReportError(state, QStringLiteral(
            "No scale font is marked as used in table FONTS. Texts need at least one used font; "
            "mark a font as used (IsUsed) and start again."));
        return false;
    }
    return true;
}

bool BuildPLUFieldTable(AppState &state)
{
    PluFieldTable &t = state.pluFields;
    t.reset();
    QStringList rejected;
    t.applyShowKey(ReadIniString(QStringLiteral("PLU"), QStringLiteral("Show"), state.iniFile),
                   &rejected);
    if (!rejected.isEmpty()) {
        // A hand-edited list: skip what is no field index and say so in the log.
        WriteLog(state, QStringLiteral("BuildPLUFieldTable:    [PLU] Show items ignored: ")
                            + rejected.join(QLatin1Char(',')));
    }
    for (PLUField &f : t.fields) {
        f.Caption = GetLangString(state, QStringLiteral("Global"), f.Name);
        f.Width = 100;
    }
    LinkStatusFlagsToFields(state);
    t.buildLists();
    return true;
}

bool LoadSettings(AppState &state)
{
    if (!ReadSettingsFile(state))
        return false;
    if (!InitDBConnection(state))
        return false;
    if (!LoadLanguageTexts(state))
        return false;
    if (!BuildPLUFieldTable(state))
        return false;
    if (!LoadBarcodeList(state))
        return false;
    if (!LoadFonts(state))
        return false;
    if (!BackupSettings(state))
        return false;
    if (!DelOutdatedSettings(state))
        return false;
    LoadCodepageTables(state);
    return true;
}

void LogSignIn(AppState &state)
{
    WriteLog(state, QStringLiteral("'") + state.userName + QStringLiteral("' logged in"));
}

bool StartSession(AppState &state, const QString &userName)
{
    state.userName = userName;
    if (!LoadSettings(state))
        return false;
    CheckAdministrator(state);
    RestartDayLog(state);
    LogSignIn(state);
    return true;
}

void RestartDayLog(AppState &state)
{
    if (state.logRestarted)
        return;
    state.logRestarted = true;
    MakeDir(state.appPath + QStringLiteral("log"));
    QFile::remove(LogFilePath(state, state.now().date()));
}

namespace {

void tell(AppState &state, const QString &text)
{
    if (state.ui)
        state.ui->message(text, AppState::appTitle(), MsgIcon::Critical, MsgButtons::Ok, MsgResult::Ok);
}

QString lockFailure(QLockFile::LockError e)
{
    switch (e) {
    case QLockFile::PermissionError: return QStringLiteral("permission denied");
    case QLockFile::UnknownError: return QStringLiteral("the file cannot be written");
    case QLockFile::NoError:
    case QLockFile::LockFailedError: break;
    }
    return QStringLiteral("unknown error");
}

} // namespace

StartStep PrepareDataRoot(AppState &state, bool offerNewRoot, std::unique_ptr<QLockFile> *lock)
{
    const QString root = QDir::toNativeSeparators(state.dataPath);
    bool create = false;
    if (offerNewRoot && InspectDataRoot(state.dataPath) == DataRootContent::None) {
        // Whoever signs in first on a new root becomes its administrator:
        // nobody gets one by a mistyped folder.
        const MsgResult answer = state.ui ? state.ui->message(
                QStringLiteral("The folder %1 holds no %2 data.\n\nCreate a new data root there, with a "
                               "demo shop? The first person to sign in becomes its administrator.")
                    .arg(root, AppState::appTitle()),
                AppState::appTitle(), MsgIcon::Question, MsgButtons::YesNo, MsgResult::No)
                                          : MsgResult::No;
        if (answer != MsgResult::Yes)
            return StartStep::EndQuietly;
        create = true;
    }
    if (!QDir().mkpath(state.dataPath)) {
        tell(state, QStringLiteral("Cannot create the folder %1.").arg(root));
        return StartStep::Fail;
    }
    // One copy per data root; only a copy that holds the lock ends a start
    // without a word.
    auto held = std::make_unique<QLockFile>(state.lockFilePath());
    if (!held->tryLock(0)) {
        if (held->error() == QLockFile::LockFailedError)
            return StartStep::EndQuietly;
        tell(state, QStringLiteral("The data root %1 cannot be used: its lock file %2 cannot be created (%3).")
                        .arg(root, QDir::toNativeSeparators(held->fileName()), lockFailure(held->error())));
        return StartStep::Fail;
    }
    QStringList missing;
    const DataRootContent content = InspectDataRoot(state.dataPath, &missing);
    if (create && content == DataRootContent::None) {
        DataRootOptions options;
        options.demoRows = true;
        options.encodeRecords = true;
        QString error;
        if (!CreateDataRoot(state.dataPath, options, &error)) {
            tell(state, error);
            return StartStep::Fail;
        }
    } else if (content != DataRootContent::Complete) {
        tell(state, QStringLiteral("The folder %1 is no complete data root: %2 missing. Build a new one "
                                   "with \"korvoctl init DIR\" or restore the files from a backup.")
                        .arg(root, missing.join(QStringLiteral(", "))));
        return StartStep::Fail;
    }
    *lock = std::move(held);
    return StartStep::Go;
}

} // namespace korvo
