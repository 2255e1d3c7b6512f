#pragma once
// Code pages of the texts sent to the scales.

#include <QByteArray>
#include <QString>

namespace korvo {

class AppState;

// Builds the Central European (Windows 1250 -> DOS 852) and Cyrillic
// (Windows 1251 -> DOS 866) tables from the codecs, plus the fixed
// exceptions.
void LoadCodepageTables(AppState &state);

// A text in the system code page (setting "Codepage"). A character the code
// page cannot hold becomes "?" and is reported once per character and run.
QByteArray ToSystemCodepage(AppState &state, const QString &text);
// The same in the named code page.
QByteArray ToCodepage(AppState &state, const QString &text, const QByteArray &codepage);

// Bytes the text takes in the system code page, without reporting anything:
// for limits measured while the operator types. A character the code page
// cannot hold counts as the one "?" it would be sent as.
qsizetype CodepageByteCount(const AppState &state, const QString &text);

} // namespace korvo
