#pragma once
// frmMain: the program's one main window. Menus, the "Standard" toolbar and
// the popups are QActions (objectName = caption key, property "commandId")
// routed through dispatch(); updateCommands() sets their enabled and ticked
// states before a menu shows and whenever the tree or list selection
// changes. The PLU list is the central widget; the tree, page bar, query
// box, selection and editor sit in five docking panes.

#include "comm/ScaleCommands.h"
#include "ui/DesktopLauncher.h"

#include <QHash>
#include <QSet>
#include <QMainWindow>
#include <QPointer>
#include <functional>

class QDockWidget;
class QMenu;
class QTreeWidgetItem;

namespace korvo {

class AppState;
class FieldChooserWindow;
class PagePane;
class PluEditorPane;
class PluListWidget;
class PluListController;
class QueryPane;
class ReceivePluWindow;
class ScaleComm;
class ScaleCommWindow;
class SelectPane;
class SignInProvider;
class StoreTreePane;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Pane IDs; their docks are named "pane" + ID for the saved layout.
    enum PaneId { PagePaneId = 623, QueryPaneId = 624, StorePaneId = 625, SelectPaneId = 626, EditorPaneId = 627 };

    // Runs the window's load. signIn is asked again by Logout.
    MainWindow(AppState &state, SignInProvider *signIn, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Executes a command by ID; IDs without behaviour do nothing. A command
    // the user is not permitted refuses itself, however it was reached.
    void dispatch(int id);
    // The user may use the command: neither its menu entry's row nor, for
    // the commands the update pass recomputes, the rule's own row is
    // prohibited. Pane toggles, the about box and user tools always.
    bool permitted(int id);
    // Recomputes enabled states of the selection-bound commands and the ticks.
    void updateCommands();

    QAction *command(int id) const { return m_commands.value(id); }
    // Menus and popups by ID (104, 112, 124, 135, 131, 136, 144, 361, 101, 102, 103).
    QMenu *menu(int id) const { return m_menus.value(id); }
    QAction *toolbarRefresh() const { return m_toolbarRefresh; }
    QDockWidget *pane(int paneId) const { return m_panes.value(paneId); }

    StoreTreePane *storeTree() const { return m_tree; }
    PluListWidget *pluList() const { return m_pluList; }
    PluListController *pluListController() const { return m_pluController; }
    PagePane *pagePane() const { return m_pagePane; }
    QueryPane *queryPane() const { return m_queryPane; }
    SelectPane *selectPane() const { return m_selectPane; }
    PluEditorPane *editorPane() const { return m_editorPane; }
    FieldChooserWindow *fieldChooser() const { return m_fieldChooser; }
    // The receive window while it is open (143).
    ReceivePluWindow *receiveWindow() const;
    // g_dllZent and its progress and report window.
    ScaleComm *scaleComm() const;
    ScaleCommWindow *scaleCommWindow() const { return m_commWindow; }

    // BuildToolMenu: the fixed tools that exist, then the user tools.
    void rebuildToolsMenu();

    // Who carries out the launches of the Tools menu; tests record them.
    // nullptr: the desktop.
    void setToolLauncher(ToolLauncher *launcher) { m_launcher = launcher ? launcher : &m_desktopLauncher; }

    // Refresh (123): the tree is rebuilt, then the current page reloaded.
    void refreshPluList();

    // How File > Exit and a cancelled new sign-in end the program: at once,
    // without the closing steps. Tests replace the default
    // QCoreApplication::exit(0).
    void setProgramEnder(std::function<void()> ender) { m_ender = std::move(ender); }
    bool endedAtOnce() const { return m_endedAtOnce; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Load steps.
    void ensureStoreRow();
    void restorePosition();
    void buildMenus();
    void buildToolBar();
    void setupListColumns();
    void createPanes();
    void sizeDocks();

    QAction *addCommand(QMenu *menu, int id, bool newGroup, bool checkPermission = true);
    // Enabled states from the signed-in user's permissions, for every
    // command, menu and the toolbar (again after a new sign-in).
    void applyPermissions();
    QMenu *addMenu(QMenu *parentMenu, int id, bool newGroup);
    void addToMenu(QMenu *menu, QAction *action, bool newGroup);

    // Commands with behaviour.
    void endProgramAtOnce();
    void logout();
    void chooseLanguage(const QString &language);
    void toggleFieldChooser();
    void togglePane(int paneId);
    void showAbout();
    void showReceiveWindow();
    void launchFixedTool(const FixedTool &tool);
    void launchUserTool(int position);
    void showTreePopup(const QPoint &globalPos);
    void showEditorPane();
    void newPluInTree();       // 113: a new PLU in the selected node's main group
    void editSelectedPlu();    // 114: the selected row's PLU into the editor
    void deleteSelectedPlus(); // 115: the selected rows' PLUs, with their discounts
    QString captionWithVersion();
    // The selected tree node for the whole-scale commands.
    NodeContext nodeContext() const;
    // The selection pane's buttons.
    void connectSelectPane();

    // Hooks of the features that land later.
    void rebuildTree();                        // store tree: full tree with its dialogs
    void reloadCurrentPage();                  // PLU list: re-run the remembered query
    void showNodePLUs(QTreeWidgetItem *node);  // PLU list: first page of the node's PLUs
    void loadHierarchySettings();              // resolved main-group settings + barcode formats

    AppState &m_state;
    SignInProvider *m_signIn;
    std::function<void()> m_ender;
    bool m_endedAtOnce = false;
    bool m_closed = false;
    bool m_useMainGroupAtStart = true;
    bool m_chooserPending = false; // ShowFieldChooser: shown after this window
    bool m_sizeDocksOnShow = false; // no saved pane layout: sized to the window

    QHash<int, QAction *> m_commands;
    QSet<int> m_permissionBound; // commands whose enabled state follows a permission
    QHash<int, QMenu *> m_menus;
    QHash<int, QDockWidget *> m_panes;
    QAction *m_toolbarRefresh = nullptr;
    DesktopLauncher m_desktopLauncher;
    ToolLauncher *m_launcher = &m_desktopLauncher;

    StoreTreePane *m_tree = nullptr;
    PluListWidget *m_pluList = nullptr;
    PluListController *m_pluController = nullptr;
    PagePane *m_pagePane = nullptr;
    QueryPane *m_queryPane = nullptr;
    SelectPane *m_selectPane = nullptr;
    PluEditorPane *m_editorPane = nullptr;
    FieldChooserWindow *m_fieldChooser = nullptr;
    QPointer<ReceivePluWindow> m_receiveWindow;
    ScaleComm *m_ownComm = nullptr; // created here unless the state came with one
    ScaleCommWindow *m_commWindow = nullptr;
};

} // namespace korvo
