#include "tools/Tools.h"

#include "core/AppState.h"
#include "core/IniFile.h"
#include "core/Values.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace korvo {

const QVector<FixedTool> &FixedTools()
{
    static const QVector<FixedTool> kTools = {
        {105, "mnuID_MENU_FILE_CONVERTOR", "DataConverter", false},
        {106, "mnuID_MENU_FILE_LOGIN_MANAGEMENT", "korvousers", true},
        {145, "mnuID_MENU_TOOL_LABELFORMAT", "LabelFormat", false},
        {146, "mnuID_MENU_TOOL_REPORT", "Report", false},
        {147, "mnuID_MENU_TOOL_PRESET_KEY", "PresetKey", false},
        {148, "mnuID_MENU_TOOL_LANG_TRANSLATION", "LangTranslation", false},
        {149, "mnuID_MENU_TOOL_BATCH_PRICE", "BatchPrice", false},
        {150, "mnuID_MENU_TOOL_FLEXI_BARCODE", "FlexiBarcode", false},
        {151, "mnuID_MENU_TOOL_SCROLL_MSG", "ScrollMessage", false},
        {152, "mnuID_MENU_TOOL_PASSWORD", "PasswordTool", false},
        {153, "mnuID_MENU_TOOL_TIME", "TimeTool", false},
        {154, "mnuID_MENU_TOOL_PRODUCTION_PLACE", "ProductionPlace", false},
        {155, "mnuID_MENU_TOOL_INGREDIENT", "Ingredient", false},
        {156, "mnuID_MENU_TOOL_SPECIAL_MSG", "SpecialMessage", false},
        {157, "mnuID_MENU_TOOL_CLERK", "Clerk", false},
        {158, "mnuID_MENU_TOOL_TRACEABLITY", "Traceability", false},
        {159, "mnuID_MENU_TOOL_KORVOTASK", "KorvoTask", false},
        {160, "mnuID_MENU_TOOL_KORVOSCALESTATUS", "KorvoScaleStatus", false},
        {161, "mnuID_MENU_TOOL_PLU_PRINTER", "PluPrinter", false},
        {162, "mnuID_MENU_TOOL_PLU_CREATOR", "PluCreator", false},
        {163, "mnuID_MENU_TOOL_PLU_EDITOR_ZEROPRICE", "PluEditor", false},
        {164, "mnuID_MENU_TOOL_PLU_EDITOR_INSTORE", "InStorePluEditor", false},
        {165, "mnuID_MENU_TOOL_DB_BACKUP", "korvobackup", true},
    };
    return kTools;
}

const FixedTool *FindFixedTool(int id)
{
    for (const FixedTool &t : FixedTools()) {
        if (t.id == id)
            return &t;
    }
    return nullptr;
}

namespace {

QString programFileName(const FixedTool &tool)
{
#ifdef Q_OS_WIN
    return QLatin1String(tool.program) + QStringLiteral(".exe");
#else
    return QLatin1String(tool.program);
#endif
}

bool endsWithSeparator(const QString &path)
{
    return path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'));
}

} // namespace

QString FixedToolPath(const AppState &state, const FixedTool &tool)
{
    return QDir(state.appPath).filePath(programFileName(tool));
}

QString FindFixedToolProgram(const AppState &state, const FixedTool &tool)
{
    QStringList folders{state.appPath};
    if (QCoreApplication::instance())
        folders << QCoreApplication::applicationDirPath();
    for (const QString &folder : folders) {
        const QString path = QDir(folder).filePath(programFileName(tool));
        if (QFileInfo(path).isFile())
            return QDir::cleanPath(path);
    }
    return {};
}

int UserToolCount(const AppState &state)
{
    const qint32 n = PrefixToInt32(
        ReadIniString(QStringLiteral("Setting"), QStringLiteral("ToolsCount"), state.iniFile));
    return qBound(0, int(n), kMaxUserTools);
}

namespace {

QString toolSection(int position) { return QStringLiteral("Tools-") + QString::number(position); }

} // namespace

UserTool ReadUserTool(const AppState &state, int position)
{
    const QString section = toolSection(position);
    auto read = [&](const char *key) {
        return ReadIniString(section, QLatin1String(key), state.iniFile);
    };
    UserTool t;
    t.MenuItemName = read("MenuItemName");
    t.CmdLine = read("CmdLine");
    t.Parameters = read("Parameters");
    t.WorkingDir = read("WorkingDir");
    t.IconFileName = read("IconFileName");
    if (!t.CmdLine.isEmpty() && QFileInfo(t.CmdLine).isDir() && !endsWithSeparator(t.CmdLine))
        t.CmdLine += QLatin1Char('/');
    return t;
}

QVector<UserTool> ReadUserTools(const AppState &state)
{
    QVector<UserTool> tools;
    const int count = UserToolCount(state);
    for (int i = 1; i <= count; ++i)
        tools << ReadUserTool(state, i);
    return tools;
}

bool WriteUserTools(const AppState &state, const QVector<UserTool> &tools)
{
    const QString &ini = state.iniFile;
    bool ok = WriteIniString(QStringLiteral("Setting"), QStringLiteral("ToolsCount"),
                             QString::number(tools.size()), ini);
    for (int i = 0; ok && i < tools.size(); ++i) {
        const UserTool &t = tools.at(i);
        const QString section = toolSection(i + 1);
        const std::pair<const char *, const QString &> keys[] = {
            {"MenuItemName", t.MenuItemName}, {"CmdLine", t.CmdLine},
            {"Parameters", t.Parameters},     {"WorkingDir", t.WorkingDir},
            {"IconFileName", t.IconFileName},
        };
        for (const auto &[key, value] : keys)
            ok = ok && WriteIniString(section, QLatin1String(key), value, ini);
    }
    return ok;
}

bool ToolTargetExists(const QString &cmdLine)
{
    if (cmdLine.isEmpty())
        return false;
    if (endsWithSeparator(cmdLine)) {
        const QDir dir(cmdLine);
        return dir.exists() && !dir.entryList(QDir::Files | QDir::Hidden | QDir::System).isEmpty();
    }
    return QFileInfo(cmdLine).isFile();
}

LaunchRequest FixedToolLaunch(const AppState &state, const FixedTool &tool)
{
    LaunchRequest r;
    const QString program = FindFixedToolProgram(state, tool);
    if (program.isEmpty())
        return r;
    r.kind = LaunchRequest::Kind::Start;
    r.target = program;
    r.workingDir = QFileInfo(program).absolutePath();
    // Our own tools work on the data root this program runs on, which need
    // not be the parent of their folder.
    if (tool.ownProgram)
        r.arguments = {QStringLiteral("--data-root"), QDir::toNativeSeparators(state.dataPath)};
    return r;
}

LaunchRequest UserToolLaunch(const UserTool &tool)
{
    LaunchRequest r;
    if (!ToolTargetExists(tool.CmdLine))
        return r;
    const QFileInfo target(tool.CmdLine);
    r.target = target.isFile() ? target.absoluteFilePath() : QDir(tool.CmdLine).absolutePath();
    if (target.isFile() && target.isExecutable()) {
        r.kind = LaunchRequest::Kind::Start;
        r.arguments = QProcess::splitCommand(tool.Parameters);
        r.workingDir = tool.WorkingDir;
    } else {
        r.kind = LaunchRequest::Kind::Open;
    }
    return r;
}

bool RunLaunch(const LaunchRequest &request, ToolLauncher &launcher)
{
    switch (request.kind) {
    case LaunchRequest::Kind::Start:
        return launcher.start(request.target, request.arguments, request.workingDir);
    case LaunchRequest::Kind::Open:
        return launcher.open(request.target);
    case LaunchRequest::Kind::Nothing:
        break;
    }
    return false;
}

} // namespace korvo
