#pragma once
// The settings record and its reading from the settings file.

#include <QString>
#include <optional>

namespace korvo {

class AppState;

struct Settings {
    QString Language = QStringLiteral("English");
    bool UseMainGroup = true;
    bool ShowFieldChooser = true;
    qint32 WeightDecimalPlace = 0;
    qint32 PriceDecimalPlace = 0;
    qint32 DefaultFont = 0;
    qint32 PLUPageSize = 10;
    bool DoLog = false;
    qint16 SetLanguageCodepage = 0;
    qint16 LangeCodepageToConvert = 0;
    qint16 SetImportType = 0;
    // Code page of the texts sent to the scales ("system ANSI code page").
    QString Codepage = QStringLiteral("windows-1252");
};

// The language a "Language" value names: "Chinese", "Other" or, for any
// other text, "English". The sign-in reads the file with the same rule.
QString LanguageFromSetting(const QString &value);

// Decimals of prices and weights in the scale record. Six are more than any
// scale shows; more would push prices out of their fields.
inline constexpr qint32 kMaxDecimalPlaces = 6;

// "PriceDecimalPlace" / "WeightDecimalPlace" as written: a whole number
// 0..kMaxDecimalPlaces, blanks around it allowed; nullopt for anything else
// ("", "2.5", "abc", "400", "-5").
std::optional<qint32> ParseDecimalPlaces(const QString &text);

// Reads every key of the record from state.iniFile. A missing or malformed
// "PLUPageSize", "PriceDecimalPlace", "WeightDecimalPlace" or ZentTCP "DoLog"
// is a type mismatch: reported through ReportError with the key named,
// returns false. So is a settings file that is missing, a folder, or UTF-16
// text (the reader would find none of its keys).
bool ReadSettingsFile(AppState &state);

// Writes the keys that the options dialog owns, in its order.
void WriteOptionSettings(AppState &state);

} // namespace korvo
