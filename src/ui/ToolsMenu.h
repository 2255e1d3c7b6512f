#pragma once
// The Tools menu's entries: the sibling tool programs that lie in the
// program folder, and the tools the user defined in the settings file.

#include <QString>
#include <QVector>

namespace korvo {

class AppState;

struct FixedTool {
    int id;
    const char *captionKey; // also the permission key
    const char *program;    // file name in the program folder, without suffix
};

// In menu order. 106 (user management) is for administrators only.
const QVector<FixedTool> &FixedTools();
const FixedTool *FindFixedTool(int id);

// Program folder path of a fixed tool, with the platform's executable suffix.
QString FixedToolPath(const AppState &state, const FixedTool &tool);

struct UserTool {
    QString MenuItemName;
    QString CmdLine;
    QString Parameters;
    QString WorkingDir;
    QString IconFileName;
};

inline constexpr int kUserToolBaseId = 167; // tool i (from 1) has ID 167 + i
inline constexpr int kMaxUserTools = 360 - kUserToolBaseId;

// "ToolsCount" of section "Setting", 0 when absent, at most kMaxUserTools.
int UserToolCount(const AppState &state);
// Section "Tools-" + position; a CmdLine naming a folder gets a trailing "/".
UserTool ReadUserTool(const AppState &state, int position);

// The existence test of launching: an existing file, or a folder path ending
// in a separator that holds at least one file.
bool ToolTargetExists(const QString &cmdLine);

// Starts the fixed tool detached with the program folder as working folder.
bool LaunchFixedTool(const AppState &state, const FixedTool &tool);
// Opens the user tool's CmdLine (a program is started with its parameters and
// working folder, anything else opened with the desktop); false when its
// target does not exist.
bool LaunchUserTool(const AppState &state, int commandId);

} // namespace korvo
