#include "ui/MainWindow.h"
#include "ui/WindowPlacement.h"

#include "comm/TcpScaleComm.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "core/UserInterface.h"
#include "core/PluFields.h"
#include "encoding/Hierarchy.h"
#include "exchange/PluExchange.h"
#include "manage/PluRecord.h"
#include "i18n/Language.h"
#include "i18n/Permissions.h"
#include "startup/Startup.h"
#include "ui/AboutDialog.h"
#include "ui/Commands.h"
#include "ui/FieldChooserWindow.h"
#include "ui/FormTexts.h"
#include "ui/OptionsDialog.h"
#include "ui/PagePane.h"
#include "ui/PluEditorPane.h"
#include "ui/PluListController.h"
#include "ui/PluListWidget.h"
#include "ui/QueryPane.h"
#include "ui/ReceivePluWindow.h"
#include "ui/RestoreSettingDialog.h"
#include "ui/ScaleCommWindow.h"
#include "ui/ScaleConfigDialog.h"
#include "ui/SelectPane.h"
#include "ui/SignInProvider.h"
#include "ui/StoreTreePane.h"
#include "ui/ToolConfigDialog.h"
#include "tools/Tools.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileIconProvider>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

namespace korvo {

namespace {

const QString kOwner = QStringLiteral("frmMain");

// The commands the update pass recomputes from the selection, with the
// permission row of the rule.
const struct {
    int id;
    const char *ruleKey;
} kRuleKeys[] = {
    {cmd::NewPlu, "ID_MENU_EDIT_NEW_PLU"},     {cmd::EditPlu, "ID_MENU_EDIT_EDIT_PLU"},
    {cmd::DeletePlu, "ID_MENU_EDIT_DEL_PLU"},  {cmd::AddDept, "ID_MENU_EDIT_ADD_DEPT"},
    {cmd::DeleteDept, "ID_MENU_EDIT_DEL_DEPT"}, {cmd::AddMainGroup, "ID_MENU_EDIT_ADD_MG"},
    {cmd::DeleteMainGroup, "ID_MENU_EDIT_DEL_MG"},
};
const QString kSetting = QStringLiteral("Setting");
// Layout texts are far longer than the classic 254-character value limit.
constexpr int kLayoutBuffer = 1 << 20;
// Beside MainLeft..MainHeight (the normal place): closed maximised.
const QString kMaximizedKey = QStringLiteral("MainMaximized");

} // namespace

MainWindow::MainWindow(AppState &state, SignInProvider *signIn, QWidget *parent)
    : QMainWindow(parent), m_state(state), m_signIn(signIn),
      m_ender([] { QCoreApplication::exit(0); })
{
    setObjectName(kOwner);
    m_useMainGroupAtStart = state.settings.UseMainGroup;

    // The window's controls exist before the load runs, so the language
    // pass reaches the panes' contents too.
    m_pluList = new PluListWidget(this);
    m_pluList->setObjectName(QStringLiteral("wndPLU"));
    setCentralWidget(m_pluList);
    m_tree = new StoreTreePane(state, this);
    m_tree->setGate([this](int id) { return permitted(id); });
    m_pagePane = new PagePane(this);
    m_queryPane = new QueryPane(this);
    m_selectPane = new SelectPane(this);
    m_editorPane = new PluEditorPane(state, this);
    m_pluController = new PluListController(state, m_pluList, m_pagePane, m_queryPane, m_tree, this);
    // A new page drops the rows and with them the selection.
    connect(m_pluController, &PluListController::pageShown, this, &MainWindow::updateCommands);
    // A search hit or a picked row goes into the editor; a search without
    // one leaves it as the search says.
    connect(m_pluController, &PluListController::rowPicked, m_editorPane, &PluEditorPane::editPlu);
    connect(m_pluController, &PluListController::searched, this, [this](const PluSearchResult &r) {
        if (r.hit) {
            m_editorPane->editPlu(r.firstHit);
            return;
        }
        m_editorPane->clearEditor();
        m_editorPane->setEditorEnabled(false);
        m_editorPane->setEditorState(r.editorState);
    });
    connect(m_editorPane, &PluEditorPane::saved, this, &MainWindow::refreshPluList);
    connect(m_editorPane, &PluEditorPane::deleted, this, &MainWindow::reloadCurrentPage);
    connectSelectPane();
    auto *ready = new QLabel(this);
    ready->setObjectName(QStringLiteral("lblStatusReady"));
    statusBar()->addWidget(ready, 1);

    ensureStoreRow();
    restorePosition();
    SetFormLangString(state, this);
    m_editorPane->setTabCaptions(GetLangString(state, kOwner, QStringLiteral("tabItem")),
                                 GetLangString(state, kOwner, QStringLiteral("tabLabel")),
                                 GetLangString(state, kOwner, QStringLiteral("tabDiscount")));
    setWindowTitle(captionWithVersion());

    buildMenus();
    buildToolBar();
    setupListColumns();
    rebuildTree();
    createPanes();

    m_fieldChooser = new FieldChooserWindow(state, m_pluList, this);
    // Shown once this window is: a tool window mapped before its owner
    // ends up behind it.
    m_chooserPending = state.settings.ShowFieldChooser;

    loadHierarchySettings();
    m_editorPane->setIdle();

    // The scale communication component (g_dllZent); nothing is called on
    // it here. A test of its callers may have put a recording one in place.
    if (!state.scaleComm) {
        m_ownComm = new TcpScaleComm(state, this);
        state.scaleComm = m_ownComm;
    }
    m_commWindow = new ScaleCommWindow(state, state.scaleComm, this);

    connect(m_tree, &StoreTreePane::nodeSelectionChanged, this, [this] {
        updateCommands();
        if (QTreeWidgetItem *node = m_tree->selectedNode())
            showNodePLUs(node);
    });
    connect(m_tree, &StoreTreePane::popupRequested, this, &MainWindow::showTreePopup);
    connect(m_pluList, &QTableWidget::itemSelectionChanged, this, &MainWindow::updateCommands);
    connect(m_pluList, &PluListWidget::sortOrderChanged, this, [this] {
        if (QTreeWidgetItem *node = m_tree->selectedNode())
            showNodePLUs(node);
    });
    // Both lists show the same columns in the same arrangement.
    connect(m_pluList, &PluListWidget::layoutChanged, this,
            [this] { m_selectPane->wndSelectedPLU->applyLayoutText(m_pluList->layoutText()); });

    qApp->installEventFilter(this);
    updateCommands();
    if (QTreeWidgetItem *node = m_tree->selectedNode())
        showNodePLUs(node);
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(this);
    if (m_ownComm && m_state.scaleComm == m_ownComm)
        m_state.scaleComm = nullptr;
    // Children die after this body; their last signals must not reach us.
    const QList<QObject *> children = findChildren<QObject *>();
    for (QObject *child : children)
        QObject::disconnect(child, nullptr, this, nullptr);
}

ScaleComm *MainWindow::scaleComm() const { return m_state.scaleComm; }

// ---------------------------------------------------------------- load

void MainWindow::ensureStoreRow()
{
    auto store = QueryKorvoDB(m_state, QStringLiteral("select * from store"));
    if (!store || store->next())
        return;
    store->finish();
    QueryKorvoDB(m_state, QStringLiteral("insert into store(ST_No,ST_Name) values(1,'")
                              + SqlEscape(GetLangString(m_state, kOwner, QStringLiteral("DefaultStore")))
                              + QStringLiteral("')"));
}

void MainWindow::restorePosition()
{
    QSettings &store = m_state.userStore();
    // Without a saved place the window takes most of the screen: the list,
    // the tree and the editor all need room.
    if (!HasWindowPlacement(store, QStringLiteral("Main"))) {
        setGeometry(ScreenShare(0.9));
        return;
    }
    setGeometry(ReadWindowPlacement(store, QStringLiteral("Main"), QRect(1000, 1000, 6500, 6500)));
    // The normal place stays the saved one; show() keeps the state.
    if (store.value(kMaximizedKey).toBool())
        setWindowState(windowState() | Qt::WindowMaximized);
}

QString MainWindow::captionWithVersion()
{
    return GetLangString(m_state, kOwner, QStringLiteral("Caption")) + QStringLiteral(" V")
        + AppState::versionText() + QLatin1Char(' ')
        + ReadIniString(kSetting, QStringLiteral("VersionType"), m_state.iniFile);
}

void MainWindow::addToMenu(QMenu *menu, QAction *action, bool newGroup)
{
    if (!menu)
        return;
    // A group mark on the first entry would draw a separator above nothing.
    if (newGroup && !menu->actions().isEmpty())
        menu->addSeparator();
    menu->addAction(action);
}

QAction *MainWindow::addCommand(QMenu *menu, int id, bool newGroup, bool checkPermission)
{
    QAction *a = m_commands.value(id);
    if (!a) {
        const QString key = cmd::CaptionKey(id);
        a = new QAction(GetLangString(m_state, kOwner, key), this);
        a->setObjectName(key);
        a->setProperty("commandId", id);
        if (checkPermission) {
            m_permissionBound.insert(id);
            a->setEnabled(permitted(id));
        }
        connect(a, &QAction::triggered, this, [this, id] { dispatch(id); });
        m_commands.insert(id, a);
    }
    addToMenu(menu, a, newGroup);
    return a;
}

QMenu *MainWindow::addMenu(QMenu *parentMenu, int id, bool newGroup)
{
    const QString key = cmd::CaptionKey(id);
    auto *m = new QMenu(GetLangString(m_state, kOwner, key), this);
    m->setObjectName(key);
    QAction *a = m->menuAction();
    a->setObjectName(key);
    a->setProperty("commandId", id);
    a->setEnabled(GetSecurityPermission(m_state, kOwner, key));
    connect(m, &QMenu::aboutToShow, this, &MainWindow::updateCommands);
    if (parentMenu)
        addToMenu(parentMenu, a, newGroup);
    else if (id != cmd::PopupStore && id != cmd::PopupDept && id != cmd::PopupMainGroup)
        menuBar()->addMenu(m);
    m_menus.insert(id, m);
    return m;
}

void MainWindow::buildMenus()
{
    using namespace cmd;
    menuBar()->setObjectName(QStringLiteral("mnuMain"));

    QMenu *file = addMenu(nullptr, MenuFile, false);
    addCommand(file, ImportCsv, true);
    addCommand(file, Logout, true);
    addCommand(file, Exit, true);

    QMenu *edit = addMenu(nullptr, MenuEdit, false);
    addCommand(edit, NewPlu, true);
    addCommand(edit, EditPlu, false);
    addCommand(edit, DeletePlu, false);
    addCommand(edit, AddDept, true);
    addCommand(edit, DeleteDept, false);
    if (m_useMainGroupAtStart) {
        addCommand(edit, AddMainGroup, false);
        addCommand(edit, DeleteMainGroup, false);
    }
    addCommand(edit, Refresh, true);

    QMenu *view = addMenu(nullptr, MenuView, false);
    addCommand(view, FieldChooser, false)->setCheckable(true);
    addCommand(view, StatusBar, false)->setCheckable(true);
    addCommand(view, PanePage, true, false)->setCheckable(true);
    addCommand(view, PaneQuery, false, false)->setCheckable(true);
    addCommand(view, PaneStore, false, false)->setCheckable(true);
    addCommand(view, PaneSelect, false, false)->setCheckable(true);
    addCommand(view, PanePluEdit, false, false)->setCheckable(true);

    QMenu *setting = addMenu(nullptr, MenuSetting, false);
    addCommand(setting, Options, true);
    addCommand(setting, RestoreSettings, false);
    addCommand(setting, ScaleConfig, false);
    addCommand(setting, ToolConfig, true);
    QMenu *language = addMenu(setting, MenuLanguage, true);
    addCommand(language, LanguageChinese, false)->setCheckable(true);
    addCommand(language, LanguageEnglish, false)->setCheckable(true);
    addCommand(language, LanguageOther, false)->setCheckable(true);

    QMenu *communicate = addMenu(nullptr, MenuCommunicate, false);
    addCommand(communicate, SendByDept, false);
    addCommand(communicate, SendByScale, false);
    addCommand(communicate, ReceivePlu, false)->setStatusTip(QStringLiteral("Receive PLU from scale"));
    addCommand(communicate, DeleteAllByScale, true);
    addCommand(communicate, SyncPcToScale, true);

    addMenu(nullptr, MenuTools, false);
    rebuildToolsMenu();

    QMenu *help = addMenu(nullptr, MenuHelp, false);
    addCommand(help, About, false, false);

    QMenu *storePopup = addMenu(nullptr, PopupStore, false);
    addCommand(storePopup, AddDept, false);
    addCommand(storePopup, StoreProperty, true);
    addCommand(storePopup, SendByDept, true);
    addCommand(storePopup, SendByScale, false);

    QMenu *deptPopup = addMenu(nullptr, PopupDept, false);
    addCommand(deptPopup, DeptProperty, true);
    addCommand(deptPopup, DeleteDept, false);
    if (m_useMainGroupAtStart)
        addCommand(deptPopup, AddMainGroup, false);
    addCommand(deptPopup, SendByDept, true);
    addCommand(deptPopup, SendByScale, false);

    QMenu *groupPopup = addMenu(nullptr, PopupMainGroup, false);
    addCommand(groupPopup, MainGroupProperty, true);
    addCommand(groupPopup, DeleteMainGroup, false);
    addCommand(groupPopup, NewPlu, true);
    addCommand(groupPopup, SendByDept, true);
    addCommand(groupPopup, SendByScale, false);
}

void MainWindow::rebuildToolsMenu()
{
    QMenu *tools = m_menus.value(cmd::MenuTools);
    if (!tools)
        return;
    for (QAction *a : tools->actions()) {
        const int id = a->property("commandId").toInt();
        if (m_commands.value(id) == a)
            m_commands.remove(id);
    }
    tools->clear();

    QFileIconProvider icons;
    for (const FixedTool &tool : FixedTools()) {
        if (tool.id == cmd::ToolLoginManagement && !m_state.isAdministrator)
            continue;
        const QString path = FindFixedToolProgram(m_state, tool);
        if (path.isEmpty())
            continue;
        const QString key = QLatin1String(tool.captionKey);
        auto *a = new QAction(icons.icon(QFileInfo(path)), GetLangString(m_state, kOwner, key), tools);
        a->setObjectName(key);
        a->setProperty("commandId", tool.id);
        a->setEnabled(GetSecurityPermission(m_state, kOwner, key));
        const int id = tool.id;
        connect(a, &QAction::triggered, this, [this, id] { dispatch(id); });
        tools->addAction(a);
        m_commands.insert(id, a);
    }

    const int count = UserToolCount(m_state);
    for (int i = 1; i <= count; ++i) {
        const UserTool t = ReadUserTool(m_state, i);
        QIcon icon;
        if (!t.IconFileName.isEmpty())
            icon = QIcon(t.IconFileName);
        else if (!t.CmdLine.isEmpty() && QFileInfo(t.CmdLine).isFile())
            icon = icons.icon(QFileInfo(t.CmdLine));
        auto *a = new QAction(icon, t.MenuItemName, tools);
        const int id = kUserToolBaseId + i;
        a->setObjectName(QStringLiteral("userTool%1").arg(i));
        a->setProperty("commandId", id);
        connect(a, &QAction::triggered, this, [this, id] { dispatch(id); });
        addToMenu(tools, a, i == 1);
        m_commands.insert(id, a);
    }
}

void MainWindow::buildToolBar()
{
    QToolBar *bar = addToolBar(GetLangString(m_state, kOwner, QStringLiteral("tbStandard")));
    bar->setObjectName(QStringLiteral("tbStandard"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // Its own action, bound by the same permission as the menu entry.
    const QString key = cmd::CaptionKey(cmd::Refresh);
    m_toolbarRefresh = new QAction(style()->standardIcon(QStyle::SP_BrowserReload),
                                   GetLangString(m_state, kOwner, key), bar);
    m_toolbarRefresh->setObjectName(key);
    m_toolbarRefresh->setProperty("commandId", int(cmd::Refresh));
    m_toolbarRefresh->setEnabled(permitted(cmd::Refresh));
    connect(m_toolbarRefresh, &QAction::triggered, this, [this] { dispatch(cmd::Refresh); });
    bar->addAction(m_toolbarRefresh);
}

bool MainWindow::permitted(int id)
{
    using namespace cmd;
    if ((id >= PanePage && id <= PaneSelect) || id == PanePluEdit || id == About)
        return true;
    QString key = CaptionKey(id);
    if (const FixedTool *tool = FindFixedTool(id))
        key = QLatin1String(tool->captionKey);
    if (!key.isEmpty() && !GetSecurityPermission(m_state, kOwner, key))
        return false;
    for (const auto &r : kRuleKeys) {
        if (r.id == id)
            return GetSecurityPermission(m_state, kOwner, QLatin1String(r.ruleKey));
    }
    return true;
}

void MainWindow::applyPermissions()
{
    for (int id : std::as_const(m_permissionBound)) {
        if (QAction *a = m_commands.value(id))
            a->setEnabled(permitted(id));
    }
    for (QMenu *m : std::as_const(m_menus))
        m->menuAction()->setEnabled(GetSecurityPermission(m_state, kOwner, m->objectName()));
    m_toolbarRefresh->setEnabled(permitted(cmd::Refresh));
    rebuildToolsMenu();
    updateCommands();
}

void MainWindow::setupListColumns()
{
    const QString layout = ReadIniString(kSetting, QStringLiteral("PLUList"), m_state.iniFile,
                                         kLayoutBuffer);
    m_pluList->setupColumns(m_state.pluFields, layout);
    m_selectPane->wndSelectedPLU->setupColumns(m_state.pluFields, m_pluList->layoutText());
}

void MainWindow::createPanes()
{
    struct PaneDef {
        int id;
        const char *titleKey;
        QWidget *content;
    };
    const PaneDef panes[] = {
        {SelectPaneId, "paneSelect", m_selectPane},
        {StorePaneId, "paneStore", m_tree},
        {PagePaneId, "panePage", m_pagePane},
        {EditorPaneId, "panePLUEdit", m_editorPane},
        {QueryPaneId, "paneQuery", m_queryPane},
    };
    for (const PaneDef &s : panes) {
        auto *dock = new QDockWidget(GetLangString(m_state, kOwner, QLatin1String(s.titleKey)), this);
        dock->setObjectName(QStringLiteral("pane%1").arg(s.id));
        dock->setWidget(s.content);
        m_panes.insert(s.id, dock);
    }
    QDockWidget *select = m_panes[SelectPaneId], *store = m_panes[StorePaneId], *page = m_panes[PagePaneId],
                *editor = m_panes[EditorPaneId], *query = m_panes[QueryPaneId];
    addDockWidget(Qt::LeftDockWidgetArea, store);
    splitDockWidget(store, page, Qt::Vertical);
    addDockWidget(Qt::BottomDockWidgetArea, select);
    // The editor sits on the bottom edge with the query box to its left.
    addDockWidget(Qt::BottomDockWidgetArea, query, Qt::Vertical);
    splitDockWidget(query, editor, Qt::Horizontal);
    const QByteArray saved = QByteArray::fromBase64(
        ReadIniString(kSetting, QStringLiteral("DockingPane"), m_state.iniFile, kLayoutBuffer).toLatin1());
    // An unreadable layout keeps the initial one, sized when the window shows.
    m_sizeDocksOnShow = saved.isEmpty() || !restoreState(saved);
}

void MainWindow::sizeDocks()
{
    // Shares of the window's size: the tree a fifth of the width, the page
    // bar as high as it needs; under the list, the selection a sixth of the
    // height and the query box with the editor beside it three eighths.
    QDockWidget *select = m_panes[SelectPaneId], *store = m_panes[StorePaneId], *page = m_panes[PagePaneId],
                *editor = m_panes[EditorPaneId], *query = m_panes[QueryPaneId];
    const int w = width(), h = height();
    const int pageHeight = page->sizeHint().height();
    resizeDocks({store}, {qBound(200, w / 5, 320)}, Qt::Horizontal);
    resizeDocks({store, page}, {qMax(100, h - pageHeight), pageHeight}, Qt::Vertical);
    resizeDocks({select, query}, {h / 6, h * 3 / 8}, Qt::Vertical);
    resizeDocks({query, editor}, {qBound(260, w * 3 / 10, 420), w}, Qt::Horizontal);
}

void MainWindow::loadHierarchySettings()
{
    LoadMGSettings(m_state);
    LoadScaleBarcodeList(m_state);
}

// ---------------------------------------------------------------- hooks

void MainWindow::rebuildTree()
{
    m_tree->rebuild();
}

void MainWindow::reloadCurrentPage()
{
    m_pluController->reload();
}

void MainWindow::showNodePLUs(QTreeWidgetItem *node)
{
    m_pluController->showNode(node);
    // The main group a new PLU goes into follows the main group shown.
    if (StoreTreePane::kindOf(node) == NodeKind::MainGroup)
        m_editorPane->setCurrentMainGroup(m_pluController->browser().currentMainGroup);
}

void MainWindow::refreshPluList()
{
    rebuildTree();
    reloadCurrentPage();
}

// ---------------------------------------------------------------- commands

void MainWindow::dispatch(int id)
{
    using namespace cmd;
    // Disabled entries cannot be chosen; this holds for every other road.
    if (!permitted(id)) {
        m_state.ui->message(GetLangString(m_state, kOwner, QStringLiteral("msgFunctionProhibited")),
                            AppState::appTitle(), MsgIcon::Exclamation, MsgButtons::Ok, MsgResult::Ok);
        return;
    }
    switch (id) {
    case Exit:
        endProgramAtOnce();
        return;
    case Logout:
        logout();
        break;
    case Refresh:
        refreshPluList();
        break;
    case FieldChooser:
        toggleFieldChooser();
        break;
    case StatusBar:
        statusBar()->setVisible(statusBar()->isHidden());
        break;
    case PanePage:
        togglePane(PagePaneId);
        break;
    case PaneQuery:
        togglePane(QueryPaneId);
        break;
    case PaneStore:
        togglePane(StorePaneId);
        break;
    case PaneSelect:
        togglePane(SelectPaneId);
        break;
    case PanePluEdit:
        togglePane(EditorPaneId);
        break;
    case LanguageChinese:
        chooseLanguage(QStringLiteral("Chinese"));
        break;
    case LanguageEnglish:
        chooseLanguage(QStringLiteral("English"));
        break;
    case LanguageOther:
        chooseLanguage(QStringLiteral("Other"));
        break;
    case About:
        showAbout();
        break;
    case ToolConfig: {
        ToolConfigDialog dialog(m_state, this);
        dialog.exec();
        if (!dialog.cancelled())
            rebuildToolsMenu();
        break;
    }
    case Options: {
        OptionsDialog dialog(m_state, this);
        dialog.exec();
        if (!dialog.cancelled())
            refreshPluList();
        break;
    }
    case RestoreSettings: {
        RestoreSettingDialog dialog(m_state, this);
        dialog.exec();
        if (!dialog.cancelled())
            m_state.ui->message(GetLangString(m_state, kOwner, QStringLiteral("msgSettingsAvailableNextStart")),
                                AppState::appTitle(), MsgIcon::Information, MsgButtons::Ok, MsgResult::Ok);
        break;
    }
    case NewPlu:
        newPluInTree();
        break;
    case EditPlu:
        editSelectedPlu();
        break;
    case DeletePlu:
        deleteSelectedPlus();
        break;
    case StoreProperty:
        m_tree->editStore();
        break;
    case AddDept:
        m_tree->addDepartment();
        break;
    case DeleteDept:
        m_tree->deleteDepartment();
        break;
    case DeptProperty:
        m_tree->editDepartment();
        break;
    case AddMainGroup:
        m_tree->addMainGroup();
        break;
    case DeleteMainGroup:
        m_tree->deleteMainGroup();
        break;
    case MainGroupProperty:
        m_tree->editMainGroup();
        break;
    case ImportCsv:
        if (ImportCsvCommand(m_state))
            refreshPluList();
        break;
    case ReceivePlu:
        showReceiveWindow();
        break;

    case ScaleConfig: {
        ScaleConfigDialog dialog(m_state, this);
        dialog.Show();
        break;
    }
    case SendByDept:
        SendByDeptCommand(m_state, nodeContext());
        break;
    case SendByScale:
        SendByScaleCommand(m_state, nodeContext());
        break;
    case DeleteAllByScale:
        DeleteAllByScaleCommand(m_state);
        break;
    case SyncPcToScale:
        SyncCommand(m_state, nodeContext());
        break;

    default:
        if (const FixedTool *tool = FindFixedTool(id))
            launchFixedTool(*tool);
        else if (id >= FirstUserTool && id <= LastUserTool)
            launchUserTool(id - kUserToolBaseId);
        break;
    }
    if (!m_endedAtOnce && !m_closed)
        updateCommands();
}

void MainWindow::updateCommands()
{
    if (m_closed || m_endedAtOnce)
        return;
    using namespace cmd;
    const NodeKind kind = m_tree->selectedKind();
    const int rows = m_pluList->selectedRowCount();
    auto rule = [this](int id, bool enabled) {
        // A selection never lifts a prohibition.
        if (QAction *a = m_commands.value(id))
            a->setEnabled(enabled && permitted(id));
    };
    const bool node = kind != NodeKind::None;
    rule(NewPlu, node && kind != NodeKind::Store);
    rule(EditPlu, rows == 1);
    rule(DeletePlu, rows >= 1);
    rule(AddDept, node);
    rule(DeleteDept, kind == NodeKind::Department);
    rule(AddMainGroup, node && kind != NodeKind::Store);
    rule(DeleteMainGroup, kind == NodeKind::MainGroup);
    // Without a node these have nothing to act on.
    rule(SendByDept, node);
    rule(SendByScale, node);
    rule(SyncPcToScale, node);

    auto tick = [this](int id, bool on) {
        if (QAction *a = m_commands.value(id))
            a->setChecked(on);
    };
    tick(FieldChooser, m_fieldChooser && m_fieldChooser->isVisible());
    tick(StatusBar, !statusBar()->isHidden());
    auto shown = [this](int paneId) {
        const QDockWidget *dock = m_panes.value(paneId);
        return dock && !dock->isHidden();
    };
    tick(PanePage, shown(PagePaneId));
    tick(PaneQuery, shown(QueryPaneId));
    tick(PaneStore, shown(StorePaneId));
    tick(PaneSelect, shown(SelectPaneId));
    tick(PanePluEdit, shown(EditorPaneId));
    const QString &lang = m_state.settings.Language;
    tick(LanguageChinese, lang == QLatin1String("Chinese"));
    tick(LanguageEnglish, lang == QLatin1String("English"));
    tick(LanguageOther, lang == QLatin1String("Other"));
}

NodeContext MainWindow::nodeContext() const
{
    NodeContext c;
    QTreeWidgetItem *node = m_tree->selectedNode();
    switch (StoreTreePane::kindOf(node)) {
    case NodeKind::None:
        break;
    case NodeKind::Store:
        c.kind = NodeContext::Kind::Store;
        break;
    case NodeKind::Department:
        c.kind = NodeContext::Kind::Department;
        c.dept = StoreTreePane::tagOf(node).toInt();
        break;
    case NodeKind::MainGroup:
        c.kind = NodeContext::Kind::MainGroup;
        c.mg = StoreTreePane::tagOf(node).toInt();
        c.dept = StoreTreePane::tagOf(node->parent()).toInt();
        break;
    }
    return c;
}

void MainWindow::connectSelectPane()
{
    SelectPane *pane = m_selectPane;
    connect(pane->cmdSelectAdd, &QPushButton::clicked, this, [this] {
        QVector<QStringList> rows;
        for (int row : m_pluList->selectedRowNumbers())
            rows << m_pluList->rowCells(row);
        m_selectPane->addRows(rows);
    });
    connect(pane->cmdSelectSendByDept, &QPushButton::clicked, this, [this] {
        QVector<SelectedPlu> rows;
        for (int r = 0; r < m_selectPane->wndSelectedPLU->rowCount(); ++r) {
            const QStringList cells = m_selectPane->wndSelectedPLU->rowCells(r);
            const std::optional<qint32> no = ParsePluNo(cells.value(0));
            bool mgOk = false;
            const qint32 mg = cells.value(7).toInt(&mgOk);
            if (no && mgOk)
                rows.push_back({*no, mg});
        }
        SendSelectedByDept(m_state, rows);
    });
    connect(pane->cmdSelectSendByScale, &QPushButton::clicked, this,
            [this] { SendSelectedByScale(m_state, m_selectPane->pluNumbers()); });
    connect(pane->cmdSelectDelByScale, &QPushButton::clicked, this,
            [this] { DeleteSelectedByScale(m_state, m_selectPane->pluNumbers()); });
}

void MainWindow::showEditorPane()
{
    if (QDockWidget *editor = m_panes.value(EditorPaneId)) {
        editor->show();
        editor->raise();
    }
}

void MainWindow::newPluInTree()
{
    const std::optional<qint32> mg = m_tree->mainGroupForNewPlu();
    if (!mg)
        return;
    showEditorPane();
    m_editorPane->setCurrentMainGroup(*mg);
    m_editorPane->setEditorState(QStringLiteral("NEW"));
}

void MainWindow::editSelectedPlu()
{
    const QVector<int> rows = m_pluList->selectedRowNumbers();
    if (rows.size() != 1)
        return;
    const std::optional<qint32> no = ParsePluNo(m_pluList->rowCells(rows.first()).value(0));
    if (!no)
        return;
    showEditorPane();
    m_editorPane->editPlu(*no);
}

void MainWindow::deleteSelectedPlus()
{
    QVector<qint32> numbers;
    QStringList shown;
    for (int row : m_pluList->selectedRowNumbers()) {
        if (const std::optional<qint32> no = ParsePluNo(m_pluList->rowCells(row).value(0))) {
            numbers << *no;
            shown << QString::number(*no);
        }
    }
    if (numbers.isEmpty())
        return;
    const MsgResult answer = m_state.ui->message(
        GetLangString(m_state, kOwner, QStringLiteral("msgDeletePLU")) + QStringLiteral("\r\n")
            + shown.join(QLatin1Char(',')),
        AppState::appTitle(), MsgIcon::Question, MsgButtons::YesNo, MsgResult::No);
    if (answer == MsgResult::Yes && DeletePlus(m_state, numbers))
        reloadCurrentPage();
}

void MainWindow::endProgramAtOnce()
{
    m_endedAtOnce = true;
    if (m_ender)
        m_ender();
}

void MainWindow::logout()
{
    const MsgResult answer = m_state.ui->message(
        GetLangString(m_state, kOwner, QStringLiteral("msgLogout")), AppState::appTitle(),
        MsgIcon::Question, MsgButtons::YesNo, MsgResult::No);
    if (answer != MsgResult::Yes)
        return;
    const QString name = m_signIn ? m_signIn->show() : QString();
    if (name.isEmpty()) {
        endProgramAtOnce();
        return;
    }
    m_state.userName = name;
    LogSignIn(m_state);
    applyPermissions(); // the new user's prohibitions, not the last one's
}

void MainWindow::chooseLanguage(const QString &language)
{
    // The running program keeps its language; the choice applies next start.
    WriteLanguageSetting(m_state, language);
    m_state.ui->message(GetLangString(m_state, kOwner, QStringLiteral("msgLangAvailableNextStart")),
                        AppState::appTitle(), MsgIcon::Information, MsgButtons::Ok, MsgResult::Ok);
}

void MainWindow::toggleFieldChooser()
{
    m_chooserPending = false;
    if (m_fieldChooser->isVisible())
        m_fieldChooser->close();
    else
        m_fieldChooser->show();
}

void MainWindow::togglePane(int paneId)
{
    if (QDockWidget *dock = m_panes.value(paneId))
        dock->setVisible(dock->isHidden());
}

void MainWindow::showAbout()
{
    AboutDialog dialog(m_state, this);
    dialog.exec();
}

void MainWindow::launchFixedTool(const FixedTool &tool)
{
    // The program may have gone since the menu was built; say so rather
    // than do nothing.
    const LaunchRequest request = FixedToolLaunch(m_state, tool);
    if (request.kind == LaunchRequest::Kind::Nothing) {
        m_state.ui->message(GetLangString(m_state, kOwner, QStringLiteral("msgToolMissing"))
                                .arg(QDir::toNativeSeparators(FixedToolPath(m_state, tool))),
                            AppState::appTitle(), MsgIcon::Exclamation);
        return;
    }
    if (!RunLaunch(request, *m_launcher))
        m_state.ui->message(GetLangString(m_state, kOwner, QStringLiteral("msgToolNotStarted"))
                                .arg(QDir::toNativeSeparators(request.target)),
                            AppState::appTitle(), MsgIcon::Exclamation);
}

void MainWindow::launchUserTool(int position)
{
    // A missing target does nothing: the entry stays for when it returns.
    const LaunchRequest request = UserToolLaunch(ReadUserTool(m_state, position));
    if (request.kind != LaunchRequest::Kind::Nothing && !RunLaunch(request, *m_launcher))
        m_state.ui->message(GetLangString(m_state, kOwner, QStringLiteral("msgToolNotStarted"))
                                .arg(QDir::toNativeSeparators(request.target)),
                            AppState::appTitle(), MsgIcon::Exclamation);
}

ReceivePluWindow *MainWindow::receiveWindow() const { return m_receiveWindow; }

void MainWindow::showReceiveWindow()
{
    if (!m_receiveWindow) {
        // The received rows land in RC_PLU; the window reads them from there.
        m_receiveWindow = new ReceivePluWindow(
            m_state,
            [this](const QString &request) {
                ScaleComm *comm = IdleScaleComm(m_state);
                return comm && comm->RDFPLU(request).ok();
            },
            this);
        connect(m_receiveWindow, &ReceivePluWindow::pluTableChanged, this, &MainWindow::refreshPluList);
    }
    m_receiveWindow->show();
    m_receiveWindow->raise();
    m_receiveWindow->activateWindow();
}

void MainWindow::showTreePopup(const QPoint &globalPos)
{
    int popup = 0;
    switch (m_tree->selectedKind()) {
    case NodeKind::Store: popup = cmd::PopupStore; break;
    case NodeKind::Department: popup = cmd::PopupDept; break;
    case NodeKind::MainGroup: popup = cmd::PopupMainGroup; break;
    case NodeKind::None: return;
    }
    if (QMenu *m = m_menus.value(popup))
        m->popup(globalPos);
}

// ---------------------------------------------------------------- events

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_endedAtOnce || m_closed) {
        event->accept();
        return;
    }
    m_closed = true;
    // A call to the scales still running ends first: its scales stop where
    // they are and nothing more is stored once the databases close.
    if (m_state.scaleComm && m_state.scaleComm->isBusy())
        m_state.scaleComm->cancel();
    // Every step is attempted; a failing one does not stop the others.
    if (!isMinimized()) {
        const bool maximized = isMaximized() || isFullScreen();
        WriteWindowPlacement(m_state.userStore(), QStringLiteral("Main"),
                             maximized ? normalGeometry() : geometry());
        m_state.userStore().setValue(kMaximizedKey, maximized);
    }
    WriteIniString(kSetting, QStringLiteral("PLUList"), m_pluList->layoutText(), m_state.iniFile);
    WriteIniString(kSetting, QStringLiteral("DockingPane"), QString::fromLatin1(saveState().toBase64()),
                   m_state.iniFile);
    const bool chooserShown = m_fieldChooser && (m_fieldChooser->isVisible() || m_chooserPending);
    WriteIniString(kSetting, QStringLiteral("ShowFieldChooser"),
                   chooserShown ? QStringLiteral("True") : QStringLiteral("False"), m_state.iniFile);

    // Other windows owned by this one, the most recent first.
    QList<QWidget *> owned;
    for (QWidget *w : findChildren<QWidget *>()) {
        if (w->isWindow() && w->isVisible() && !qobject_cast<QDockWidget *>(w))
            owned.prepend(w);
    }
    for (QWidget *w : std::as_const(owned))
        w->close();

    CloseDBConnections(m_state);
    event->accept();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_sizeDocksOnShow) {
        m_sizeDocksOnShow = false;
        sizeDocks();
    }
    if (!m_chooserPending)
        return;
    m_chooserPending = false;
    QTimer::singleShot(0, m_fieldChooser, [this] {
        if (m_closed || m_endedAtOnce || !isVisible())
            return;
        m_fieldChooser->show();
        m_fieldChooser->raise();
    });
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (QTreeWidgetItem *node = m_tree->selectedNode())
        m_tree->scrollToItem(node);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QMainWindow::eventFilter(watched, event);
    // Only keys meant for this window or its floating panes.
    auto *target = qobject_cast<QWidget *>(watched);
    QWidget *win = target ? target->window() : nullptr;
    if (!win || (win != this && !(qobject_cast<QDockWidget *>(win) && win->parentWidget() == this)))
        return false;

    auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers mods =
        key->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    enum { None, Next, Previous, Mnemonic } what = None;
    int tab = -1;
    if (key->key() == Qt::Key_Tab && mods == Qt::ControlModifier)
        what = Next;
    else if ((key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Tab)
             && mods == (Qt::ControlModifier | Qt::ShiftModifier))
        what = Previous;
    else if (key->key() == Qt::Key_Backtab && mods == Qt::ControlModifier)
        what = Previous;
    else if (mods == Qt::AltModifier && key->key() >= 0x20 && key->key() < 0x10000) {
        tab = m_editorPane->findTabByMnemonic(QChar(key->key()));
        if (tab >= 0)
            what = Mnemonic;
    }
    if (what == None)
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Claim the key so no shortcut takes it; the key press follows.
        event->accept();
        return true;
    }
    switch (what) {
    case Next: m_editorPane->nextTab(); break;
    case Previous: m_editorPane->previousTab(); break;
    case Mnemonic: m_editorPane->picPLUEditor->setCurrentIndex(tab); break;
    case None: break;
    }
    return true;
}

} // namespace korvo
