#pragma once
// The start-up spine: everything between the sign-in and the main window.

#include <QString>

namespace korvo {

class AppState;

// Fills state.fonts from FONTS (IsUsed). False with a report when no font
// is used: texts cannot be edited or encoded without one.
bool LoadFonts(AppState &state);

// The PLU field table: names, kinds, visibility from [PLU] Show, captions
// from the language texts, status links from PLU_STATUS.dsc, column lists.
bool BuildPLUFieldTable(AppState &state);

// Paths must be set. Settings, databases, field table, barcode list, fonts,
// settings backup and pruning, code-page tables. False when a step failed
// (it has reported).
bool LoadSettings(AppState &state);

// After a successful sign-in: LoadSettings, administrator check, the log
// folder, the day's log restarted with the "logged in" line. False when the
// program must end.
bool StartSession(AppState &state, const QString &userName);

// Writes "'name' logged in".
void LogSignIn(AppState &state);

} // namespace korvo
