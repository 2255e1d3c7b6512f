#include "startup/Startup.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/ErrorReporter.h"
#include "core/FileUtil.h"
#include "core/IniFile.h"
#include "core/Log.h"
#include "core/SettingsBackup.h"
#include "core/Settings.h"
#include "encoding/DescriptorFiles.h"
#include "encoding/Hierarchy.h"
#include "i18n/Codepages.h"
#include "i18n/Language.h"
#include "i18n/Permissions.h"

#include <QFile>
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
    MakeDir(state.appPath + QStringLiteral("log"));
    // The day's log always begins with the latest start.
    QFile::remove(LogFilePath(state, state.now().date()));
    LogSignIn(state);
    return true;
}

} // namespace korvo
