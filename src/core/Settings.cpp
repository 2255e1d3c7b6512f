#include "core/Settings.h"

#include "core/AppState.h"
#include "core/ErrorReporter.h"
#include "core/IniFile.h"
#include "core/Values.h"

#include <QStringEncoder>

namespace korvo {

namespace {

const QString kSetting = QStringLiteral("Setting");
const QString kZentTcp = QStringLiteral("ZentTCP");

QString boolText(bool v) { return v ? QStringLiteral("True") : QStringLiteral("False"); }

bool typeMismatch(AppState &state, const QString &key, const QString &what, const QString &found)
{
    state.errorSource = QStringLiteral("LoadSettings");
    if (found.isEmpty())
        ReportError(state, QStringLiteral("Type mismatch: %1 is missing in %2; it must be %3")
                               .arg(key, state.iniFile, what));
    else
        ReportError(state, QStringLiteral("Type mismatch: %1 must be %2 (found \"%3\")")
                               .arg(key, what, found));
    return false;
}

} // namespace

QString LanguageFromSetting(const QString &value)
{
    if (value == QLatin1String("Chinese") || value == QLatin1String("Other"))
        return value;
    return QStringLiteral("English");
}

bool ReadSettingsFile(AppState &state)
{
    const QString &ini = state.iniFile;
    auto read = [&](const QString &section, const QString &key) {
        return ReadIniString(section, key, ini);
    };
    Settings s = state.settings;

    s.Language = LanguageFromSetting(read(kSetting, QStringLiteral("Language")));

    s.UseMainGroup = read(kSetting, QStringLiteral("UseMainGroup")) != QLatin1String("False");
    s.ShowFieldChooser =
        read(kSetting, QStringLiteral("ShowFieldChooser")) != QLatin1String("False");

    const QString pageSizeText = read(kSetting, QStringLiteral("PLUPageSize"));
    const auto pageSize = StrictInt32(pageSizeText);
    if (!pageSize)
        return typeMismatch(state, QStringLiteral("Setting/PLUPageSize"),
                            QStringLiteral("a whole number"), pageSizeText);
    // A page size below 1 would leave nothing to page through (or divide by 0).
    s.PLUPageSize = *pageSize < 1 ? 10 : *pageSize;

    s.PriceDecimalPlace = PrefixToInt32(read(kSetting, QStringLiteral("PriceDecimalPlace")));
    s.WeightDecimalPlace = PrefixToInt32(read(kSetting, QStringLiteral("WeightDecimalPlace")));
    s.DefaultFont = PrefixToInt32(read(kSetting, QStringLiteral("DefaultFont")));
    s.SetLanguageCodepage = PrefixToInt16(read(kSetting, QStringLiteral("SetLanguageCodepage")));
    s.LangeCodepageToConvert =
        PrefixToInt16(read(kSetting, QStringLiteral("LangeCodepageToConvert")));
    s.SetImportType = PrefixToInt16(read(kSetting, QStringLiteral("SetImportType")));

    const QString doLogText = read(kZentTcp, QStringLiteral("DoLog"));
    const QString doLogUpper = doLogText.toUpper();
    std::optional<bool> doLog;
    if (doLogUpper == QLatin1String("TRUE"))
        doLog = true;
    else if (doLogUpper == QLatin1String("FALSE"))
        doLog = false;
    else
        doLog = StrictBool(doLogUpper); // a number converts as well
    if (!doLog)
        return typeMismatch(state, QStringLiteral("ZentTCP/DoLog"),
                            QStringLiteral("True or False"), doLogText);
    s.DoLog = *doLog;

    const QString codepage = read(kSetting, QStringLiteral("Codepage"));
    s.Codepage = codepage.isEmpty() ? QStringLiteral("windows-1252") : codepage;
    if (!QStringEncoder(s.Codepage.toLatin1().constData()).isValid()) {
        state.errorSource = QStringLiteral("LoadSettings");
        ReportError(state, QStringLiteral("Setting/Codepage names an unknown code page (found \"%1\")")
                               .arg(codepage));
        return false;
    }

    state.settings = s;
    return true;
}

void WriteOptionSettings(AppState &state)
{
    const Settings &s = state.settings;
    const QString &ini = state.iniFile;
    // Failed writes keep the old value; the options dialog has nothing to add.
    WriteIniString(kSetting, QStringLiteral("UseMainGroup"), boolText(s.UseMainGroup), ini);
    WriteIniString(kSetting, QStringLiteral("PLUPageSize"), QString::number(s.PLUPageSize), ini);
    WriteIniString(kSetting, QStringLiteral("WeightDecimalPlace"),
                   QString::number(s.WeightDecimalPlace), ini);
    WriteIniString(kSetting, QStringLiteral("PriceDecimalPlace"),
                   QString::number(s.PriceDecimalPlace), ini);
    WriteIniString(kSetting, QStringLiteral("DefaultFont"), QString::number(s.DefaultFont), ini);
    WriteIniString(kZentTcp, QStringLiteral("DoLog"), boolText(s.DoLog), ini);
    WriteIniString(kSetting, QStringLiteral("SetLanguageCodepage"),
                   QString::number(s.SetLanguageCodepage), ini);
    WriteIniString(kSetting, QStringLiteral("LangeCodepageToConvert"),
                   QString::number(s.LangeCodepageToConvert), ini);
    WriteIniString(kSetting, QStringLiteral("SetImportType"), QString::number(s.SetImportType),
                   ini);
}

} // namespace korvo
