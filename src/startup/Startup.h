#pragma once
// The start-up spine: everything between the sign-in and the main window.

#include <QString>
#include <memory>

class QLockFile;

namespace korvo {

class AppState;

enum class StartStep { Go, EndQuietly, Fail };

// Before the sign-in, on the data root the state's paths name (state.ui
// asks and reports; no language texts exist yet, so its texts are English):
// - a folder without any database: with offerNewRoot the person is asked
//   (No preselected) before a root with the demo shop is built there, No
//   ends quietly; without offerNewRoot it is reported;
// - a root with databases missing is reported;
// - one copy per data root: a lock held by another copy ends quietly, a lock
//   that cannot be taken for any other reason (a folder the user cannot
//   write, ...) is reported.
// Go leaves the lock held in *lock.
StartStep PrepareDataRoot(AppState &state, bool offerNewRoot, std::unique_ptr<QLockFile> *lock);

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

// The day's log always begins with the latest start: the first line a start
// writes (a failed sign-in or the "logged in" line) finds it emptied, once.
void RestartDayLog(AppState &state);

} // namespace korvo
