#include "ui/ToolsMenu.h"

#include "core/AppState.h"
#include "core/IniFile.h"
#include "core/Values.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace korvo {

const QVector<FixedTool> &FixedTools()
{
    static const QVector<FixedTool> kTools = {
        {105, "mnuID_MENU_FILE_CONVERTOR", "DataConverter"},
        {106, "mnuID_MENU_FILE_LOGIN_MANAGEMENT", "UserManager"},
        {145, "mnuID_MENU_TOOL_LABELFORMAT", "LabelFormat"},
        {146, "mnuID_MENU_TOOL_REPORT", "Report"},
        {147, "mnuID_MENU_TOOL_PRESET_KEY", "PresetKey"},
        {148, "mnuID_MENU_TOOL_LANG_TRANSLATION", "LangTranslation"},
        {149, "mnuID_MENU_TOOL_BATCH_PRICE", "BatchPrice"},
        {150, "mnuID_MENU_TOOL_FLEXI_BARCODE", "FlexiBarcode"},
        {151, "mnuID_MENU_TOOL_SCROLL_MSG", "ScrollMessage"},
        {152, "mnuID_MENU_TOOL_PASSWORD", "PasswordTool"},
        {153, "mnuID_MENU_TOOL_TIME", "TimeTool"},
        {154, "mnuID_MENU_TOOL_PRODUCTION_PLACE", "ProductionPlace"},
        {155, "mnuID_MENU_TOOL_INGREDIENT", "Ingredient"},
        {156, "mnuID_MENU_TOOL_SPECIAL_MSG", "SpecialMessage"},
        {157, "mnuID_MENU_TOOL_CLERK", "Clerk"},
        {158, "mnuID_MENU_TOOL_TRACEABLITY", "Traceability"},
        {159, "mnuID_MENU_TOOL_KORVOTASK", "KorvoTask"},
        {160, "mnuID_MENU_TOOL_KORVOSCALESTATUS", "KorvoScaleStatus"},
        {161, "mnuID_MENU_TOOL_PLU_PRINTER", "PluPrinter"},
        {162, "mnuID_MENU_TOOL_PLU_CREATOR", "PluCreator"},
        {163, "mnuID_MENU_TOOL_PLU_EDITOR_ZEROPRICE", "PluEditor"},
        {164, "mnuID_MENU_TOOL_PLU_EDITOR_INSTORE", "InStorePluEditor"},
        {165, "mnuID_MENU_TOOL_DB_BACKUP", "DbBackup"},
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

QString FixedToolPath(const AppState &state, const FixedTool &tool)
{
#ifdef Q_OS_WIN
    const QString suffix = QStringLiteral(".exe");
#else
    const QString suffix;
#endif
    return QDir(state.appPath).filePath(QLatin1String(tool.program) + suffix);
}

int UserToolCount(const AppState &state)
{
    const qint32 n = PrefixToInt32(
        ReadIniString(QStringLiteral("Setting"), QStringLiteral("ToolsCount"), state.iniFile));
    return qBound(0, int(n), kMaxUserTools);
}

UserTool ReadUserTool(const AppState &state, int position)
{
    const QString section = QStringLiteral("Tools-") + QString::number(position);
    auto read = [&](const char *key) {
        return ReadIniString(section, QLatin1String(key), state.iniFile);
    };
    UserTool t;
    t.MenuItemName = read("MenuItemName");
    t.CmdLine = read("CmdLine");
    t.Parameters = read("Parameters");
    t.WorkingDir = read("WorkingDir");
    t.IconFileName = read("IconFileName");
    if (!t.CmdLine.isEmpty() && QFileInfo(t.CmdLine).isDir() && !t.CmdLine.endsWith(QLatin1Char('/'))
        && !t.CmdLine.endsWith(QLatin1Char('\\')))
        t.CmdLine += QLatin1Char('/');
    return t;
}

bool ToolTargetExists(const QString &cmdLine)
{
    if (cmdLine.isEmpty())
        return false;
    if (cmdLine.endsWith(QLatin1Char('/')) || cmdLine.endsWith(QLatin1Char('\\'))) {
        const QDir dir(cmdLine);
        return dir.exists() && !dir.entryList(QDir::Files | QDir::Hidden | QDir::System).isEmpty();
    }
    return QFileInfo(cmdLine).isFile();
}

bool LaunchFixedTool(const AppState &state, const FixedTool &tool)
{
    const QString path = FixedToolPath(state, tool);
    if (!QFileInfo(path).isFile())
        return false;
    return QProcess::startDetached(path, {}, state.appPath);
}

bool LaunchUserTool(const AppState &state, int commandId)
{
    const int position = commandId - kUserToolBaseId;
    if (position < 1 || position > kMaxUserTools)
        return false;
    const UserTool t = ReadUserTool(state, position);
    if (!ToolTargetExists(t.CmdLine))
        return false;
    const QFileInfo target(t.CmdLine);
    if (target.isFile() && target.isExecutable())
        return QProcess::startDetached(target.absoluteFilePath(), QProcess::splitCommand(t.Parameters),
                                       t.WorkingDir);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(target.absoluteFilePath()));
}

} // namespace korvo
