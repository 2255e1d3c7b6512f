#pragma once
// The Tools menu's entries: the sibling tool programs that lie in the
// program folder, and the tools the user defined in the settings file. What
// a choice of an entry does is decided here; carrying it out is the
// launcher's, so the decision can be checked without starting anything.

#include <QString>
#include <QStringList>
#include <QVector>

namespace korvo {

class AppState;

struct FixedTool {
    int id;
    const char *captionKey; // also the permission key
    const char *program;    // file name in the program folder, without suffix
    bool ownProgram;        // shipped with this program: told the data root
};

// In menu order. 106 (user management) is for administrators only.
const QVector<FixedTool> &FixedTools();
const FixedTool *FindFixedTool(int id);

inline constexpr int kUserManagementToolId = 106;

// Where a fixed tool's program is expected: the program folder, with the
// platform's executable suffix.
QString FixedToolPath(const AppState &state, const FixedTool &tool);
// The program's path when it exists: in the program folder, else beside the
// running executable (a data root given on the command line has a program
// folder of its own that holds no programs). "" when it is in neither.
QString FindFixedToolProgram(const AppState &state, const FixedTool &tool);

struct UserTool {
    QString MenuItemName;
    QString CmdLine;
    QString Parameters;
    QString WorkingDir;
    QString IconFileName;

    bool operator==(const UserTool &) const = default;
};

inline constexpr int kUserToolBaseId = 167; // tool i (from 1) has ID 167 + i
inline constexpr int kMaxUserTools = 360 - kUserToolBaseId;
// A value longer than this does not come back from the settings file whole.
inline constexpr int kToolTextMaxLength = 254;

// "ToolsCount" of section "Setting", 0 when absent, at most kMaxUserTools.
int UserToolCount(const AppState &state);
// Section "Tools-" + position; a CmdLine naming a folder gets a trailing "/".
UserTool ReadUserTool(const AppState &state, int position);
// Tools 1 to ToolsCount.
QVector<UserTool> ReadUserTools(const AppState &state);
// "ToolsCount", then the five keys of every position. Sections beyond the
// new count stay in the file unread. False when a write failed.
bool WriteUserTools(const AppState &state, const QVector<UserTool> &tools);

// The existence test of launching: an existing file, or a folder path ending
// in a separator that holds at least one file.
bool ToolTargetExists(const QString &cmdLine);

// What choosing an entry does.
struct LaunchRequest {
    enum class Kind {
        Nothing, // target missing
        Start,   // start a program with arguments in a working folder
        Open,    // the desktop's "open" of a document or folder
    };
    Kind kind = Kind::Nothing;
    QString target;
    QStringList arguments;
    QString workingDir;
};

// A fixed tool: its program with the program folder as working folder;
// Nothing when the program is missing.
LaunchRequest FixedToolLaunch(const AppState &state, const FixedTool &tool);
// A user tool: a program file is started with its parameters and working
// folder, any other file or a folder holding files is opened by the
// desktop; Nothing when the target does not pass the existence test.
LaunchRequest UserToolLaunch(const UserTool &tool);

// Carries launches out. The real one (ui/) starts processes detached and
// opens through the desktop; tests record.
class ToolLauncher {
public:
    virtual ~ToolLauncher() = default;
    virtual bool start(const QString &program, const QStringList &arguments,
                       const QString &workingDir) = 0;
    virtual bool open(const QString &path) = 0;
};

// False for Nothing and when the launcher failed.
bool RunLaunch(const LaunchRequest &request, ToolLauncher &launcher);

} // namespace korvo
