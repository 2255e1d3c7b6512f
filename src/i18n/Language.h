#pragma once
// Interface texts from the language database, by owner (window name or
// "Global") and key.

#include <QString>
#include <QStringList>

namespace korvo {

class AppState;

// Loads this program's texts of state.settings.Language into the cache.
bool LoadLanguageTexts(AppState &state);

// The text, or "" after reporting "GetLangString (owner, key)" when there is
// no row or the text is null.
QString GetLangString(AppState &state, const QString &owner, const QString &key);

// An item list text: one item per line (CR LF), lines trimmed, empty skipped.
QStringList SplitItemList(const QString &text);

// The numeric value before the first ":" of a combo item ("3: Foo" -> 3).
qint32 ComboItemValue(const QString &item);

// Writes "Chinese", "English" or "Other" to Setting/Language.
void WriteLanguageSetting(AppState &state, const QString &language);

} // namespace korvo
