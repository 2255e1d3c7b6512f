#include "ui/Commands.h"

#include <QHash>

namespace korvo::cmd {

namespace {

struct Entry {
    int id;
    const char *key;
};

const Entry kEntries[] = {
    {MenuFile, "mnuID_MENU_FILE"},
    {ImportCsv, "mnuID_MENU_IMPORT_REV_PLUDATA_CSVFILE"},
    {Logout, "mnuID_MENU_FILE_LOGOUT"},
    {Exit, "mnuID_MENU_FILE_EXIT"},
    {MenuEdit, "mnuID_MENU_EDIT"},
    {NewPlu, "mnuID_MENU_EDIT_NEW_PLU"},
    {EditPlu, "mnuID_MENU_EDIT_EDIT_PLU"},
    {DeletePlu, "mnuID_MENU_EDIT_DEL_PLU"},
    {AddDept, "mnuID_MENU_EDIT_ADD_DEPT"},
    {DeleteDept, "mnuID_MENU_EDIT_DEL_DEPT"},
    {AddMainGroup, "mnuID_MENU_EDIT_ADD_MG"},
    {DeleteMainGroup, "mnuID_MENU_EDIT_DEL_MG"},
    {Refresh, "mnuID_MENU_EDIT_REFRESH"},
    {MenuView, "mnuID_MENU_VIEW"},
    {FieldChooser, "mnuID_MENU_VIEW_FIELD_CHOOSER"},
    {StatusBar, "mnuID_MENU_VIEW_STATUS"},
    {PanePage, "panePage"},
    {PaneQuery, "paneQuery"},
    {PaneStore, "paneStore"},
    {PaneSelect, "paneSelect"},
    {PanePluEdit, "panePLUEdit"},
    {MenuSetting, "mnuID_MENU_SETTING"},
    {Options, "mnuID_MENU_FILE_OPTION"},
    {RestoreSettings, "mnuID_MENU_FILE_RESTORE_SETTING"},
    {ScaleConfig, "mnuID_MENU_FILE_SCALE_CONFIG"},
    {ToolConfig, "mnuID_MENU_TOOL_CONFIG"},
    {MenuLanguage, "mnuID_MENU_VIEW_LANGUAGE"},
    {LanguageChinese, "mnuID_MENU_VIEW_LANGUAGE_CHINESE"},
    {LanguageEnglish, "mnuID_MENU_VIEW_LANGUAGE_ENGLISH"},
    {LanguageOther, "mnuID_MENU_VIEW_LANGUAGE_OTHER"},
    {MenuCommunicate, "mnuID_MENU_COMMUNICATE"},
    {SendByDept, "mnuID_MENU_COMMUNICATE_SEND_PLU_BY_DEPT"},
    {SendByScale, "mnuID_MENU_COMMUNICATE_SEND_PLU_BY_SCALE"},
    {ReceivePlu, "mnuID_MENU_COMMUNICATE_RECV_PLU"},
    {DeleteAllByScale, "mnuID_MENU_COMMUNICATE_DEL_ALL_PLU_BY_SCALE"},
    {SyncPcToScale, "mnuID_MENU_COMMUNICATE_SYNC_PLU_PC_TO_SCALE"},
    {MenuTools, "mnuID_MENU_TOOL"},
    {MenuHelp, "mnuID_MENU_HELP"},
    {About, "mnuID_MENU_HELP_ABOUT"},
    {PopupStore, "mnuID_MENU_POPUP_STORE"},
    {StoreProperty, "mnuID_MENU_EDIT_STORE_PROPERTY"},
    {PopupDept, "mnuID_MENU_POPUP_DEPT"},
    {DeptProperty, "mnuID_MENU_EDIT_DEPT_PROPERTY"},
    {PopupMainGroup, "mnuID_MENU_POPUP_MG"},
    {MainGroupProperty, "mnuID_MENU_EDIT_MG_PROPERTY"},
};

} // namespace

QString CaptionKey(int id)
{
    for (const Entry &e : kEntries) {
        if (e.id == id)
            return QString::fromLatin1(e.key);
    }
    return {};
}

} // namespace korvo::cmd
