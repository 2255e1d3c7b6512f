#pragma once
// The settings record and its reading from the settings file.

#include <QString>

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

// Reads every key of the record from state.iniFile. A missing or malformed
// "PLUPageSize" or ZentTCP "DoLog" is a type mismatch: reported through
// ReportError with the key named, returns false.
bool ReadSettingsFile(AppState &state);

// Writes the keys that the options dialog owns, in its order.
void WriteOptionSettings(AppState &state);

} // namespace korvo
