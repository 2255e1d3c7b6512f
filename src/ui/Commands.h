#pragma once
// Command IDs of the main window's menus, toolbar and popups. Every command
// is a QAction whose objectName is its caption key and whose property
// "commandId" holds the ID; MainWindow::dispatch routes them.

#include <QString>

namespace korvo::cmd {

enum Id : int {
    MenuFile = 104,
    ImportCsv = 630,
    Logout = 107,
    Exit = 111,

    MenuEdit = 112,
    NewPlu = 113,
    EditPlu = 114,
    DeletePlu = 115,
    AddDept = 117,
    DeleteDept = 118,
    AddMainGroup = 120,
    DeleteMainGroup = 121,
    Refresh = 123,

    MenuView = 124,
    FieldChooser = 125,
    StatusBar = 126,
    PanePage = 127,
    PaneQuery = 128,
    PaneStore = 129,
    PaneSelect = 130,
    PanePluEdit = 629,

    MenuSetting = 135,
    Options = 108,
    RestoreSettings = 109,
    ScaleConfig = 110,
    ToolConfig = 166,
    MenuLanguage = 131,
    LanguageChinese = 132,
    LanguageEnglish = 133,
    LanguageOther = 134,

    MenuCommunicate = 136,
    SendByDept = 139,
    SendByScale = 140,
    ReceivePlu = 143,
    DeleteAllByScale = 141,
    SyncPcToScale = 631,

    MenuTools = 144,
    ToolConvertor = 105,
    ToolLoginManagement = 106,
    FirstFixedTool = 145, // 145..165: the sibling tools
    LastFixedTool = 165,
    FirstUserTool = 168, // user tool i (from 1) has ID 167 + i
    LastUserTool = 360,

    MenuHelp = 361,
    About = 363,

    PopupStore = 101,
    StoreProperty = 116,
    PopupDept = 102,
    DeptProperty = 119,
    PopupMainGroup = 103,
    MainGroupProperty = 122,
};

// Caption key of a fixed command ("" for IDs that have none, e.g. user tools).
QString CaptionKey(int id);

} // namespace korvo::cmd
