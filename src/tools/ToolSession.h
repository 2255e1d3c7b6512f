#pragma once
// The part of the start-up that the tool programs (user management, data
// backup, korvoctl's users and backup commands) need: the data root from the
// command line, the language setting, the databases and the language texts.
// The rest of the start-up (field table, fonts, settings backup) is not
// theirs, and a settings file the program would refuse must not keep an
// administrator from restoring it.

#include <QString>

class QCoreApplication;

namespace korvo {

class AppState;

// Paths: dataRoot when given, else the program folder's parent.
void SetToolPaths(AppState &state, const QString &dataRoot, const QString &programFolder);

// A tool program's command line (--data-root DIR, --help) under the
// program's name and version; sets the paths from it. Ends the process on
// --help or an unknown option, as QCommandLineParser does.
void SetToolPathsFromArguments(AppState &state, const QCoreApplication &app);

// Reads "Language", opens the three databases and loads the language texts.
// False when a database cannot be opened (*error says why; nothing shown).
// With installedTexts, the language texts then come from the installation
// data built into the program and no user is known, so the tool can still
// speak.
bool OpenToolSession(AppState &state, bool installedTexts, QString *error);

} // namespace korvo
