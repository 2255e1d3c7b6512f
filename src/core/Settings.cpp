#include "core/Settings.h"

#include "core/AppState.h"
#include "core/ErrorReporter.h"
#include "core/FileUtil.h"
#include "core/IniFile.h"
#include "core/Values.h"

#include <QFile>
#include <QFileInfo>
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

// "" when the settings file can be read as one; else why not.
QString unreadableSettingsFile(const QString &ini)
{
    const QFileInfo fi(ini);
    if (fi.isDir())
        return QStringLiteral("%1 is a folder, not the settings file").arg(ini);
    QFile f(ini);
    if (!f.open(QIODevice::ReadOnly))
        return fi.exists() ? QStringLiteral("The settings file %1 cannot be read: %2").arg(ini, f.errorString())
                           : QStringLiteral("The settings file %1 does not exist").arg(ini);
    // A mark of UTF-8 is read past; UTF-16 would hide every key.
    const QString encoding = UnicodeEncodingOf(f.read(4));
    if (encoding.startsWith(QLatin1String("UTF-16")))
        return QStringLiteral("The settings file %1 is in %2; it must be saved as plain text "
                              "(UTF-8 or the code page)")
            .arg(ini, encoding);
    return {};
}

} // namespace

QString LanguageFromSetting(const QString &value)
{
    if (value == QLatin1String("Chinese") || value == QLatin1String("Other"))
        return value;
    return QStringLiteral("English");
}

std::optional<qint32> ParseDecimalPlaces(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 2)
        return std::nullopt;
    qint32 v = 0;
    for (QChar c : t) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        v = v * 10 + (c.unicode() - u'0');
    }
    if (v > kMaxDecimalPlaces)
        return std::nullopt;
    return v;
}

bool ReadSettingsFile(AppState &state)
{
    const QString &ini = state.iniFile;
    if (const QString why = unreadableSettingsFile(ini); !why.isEmpty()) {
        state.errorSource = QStringLiteral("LoadSettings");
        ReportError(state, why);
        return false;
    }
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

    // Prices and weights are scaled by these in every record: a wrong value
    // would send wrong prices, so it stops the start like the page size.
    for (const auto &[key, target] : {std::pair{QStringLiteral("PriceDecimalPlace"), &s.PriceDecimalPlace},
                                      std::pair{QStringLiteral("WeightDecimalPlace"), &s.WeightDecimalPlace}}) {
        const QString text = read(kSetting, key);
        const auto places = ParseDecimalPlaces(text);
        if (!places)
            return typeMismatch(state, QStringLiteral("Setting/") + key,
                                QStringLiteral("a whole number from 0 to %1").arg(kMaxDecimalPlaces), text);
        *target = *places;
    }
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
