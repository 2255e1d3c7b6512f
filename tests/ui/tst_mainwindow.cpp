// The main window driven as a person would: menus, selections, keys,
// closing and restarting over a real data root.

#include "UiTestSupport.h"
#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "core/Log.h"
#include "i18n/Language.h"
#include "ui/Commands.h"
#include "ui/FieldChooserWindow.h"
#include "ui/MainWindow.h"
#include "ui/PluEditorPane.h"
#include "ui/PluListWidget.h"
#include "ui/QueryPane.h"
#include "ui/SelectPane.h"
#include "ui/StoreTreePane.h"
#include "ui/ToolsMenu.h"

#include <QDockWidget>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QStringDecoder>
#include <QTabWidget>
#include <QToolBar>
#include <QtTest>

using namespace korvo;
using namespace korvo::test;

namespace {

// One data root, one signed-in state and its main window.
struct Session {
    explicit Session(TestDataRoot &root, const QString &user = QStringLiteral("admin"))
    {
        state = root.loadedState(user);
        if (!state)
            return;
        window = std::make_unique<MainWindow>(*state, &signIn);
        window->setProgramEnder([this] { ++ended; });
    }
    bool ok() const { return state && window; }
    bool showWindow()
    {
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }

    QueuedSignIn signIn;
    std::unique_ptr<AppState> state;
    std::unique_ptr<MainWindow> window;
    int ended = 0;
};

QString IniPath(const TestDataRoot &root) { return root.path() + QStringLiteral("Korvo2005.INI"); }

void ClearUserStore(AppState &state)
{
    state.userStore().remove(QString()); // the store sits in its group "Settings"
    state.userStore().sync();
}

QTreeWidgetItem *FirstNodeOfKind(StoreTreePane *tree, NodeKind kind)
{
    QTreeWidgetItemIterator it(tree);
    for (; *it; ++it) {
        if (StoreTreePane::kindOf(*it) == kind)
            return *it;
    }
    return nullptr;
}

void ClickNode(StoreTreePane *tree, QTreeWidgetItem *node, Qt::KeyboardModifiers mods = {})
{
    tree->scrollToItem(node);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, mods, tree->visualItemRect(node).center());
}

void ClickRow(PluListWidget *list, int row, Qt::KeyboardModifiers mods = {})
{
    int column = 0;
    while (list->horizontalHeader()->isSectionHidden(column))
        ++column;
    const QRect r = list->visualRect(list->model()->index(row, column));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, mods, r.center());
}

QStringList PluRow(int pluNo)
{
    QStringList cells;
    for (int i = 0; i < kPluFieldCount; ++i)
        cells << QString();
    cells[0] = QString::number(pluNo);
    return cells;
}

// Users may lose a function: the ID of its language row goes to UserProhibitFun.
bool Prohibit(AppState &state, const QString &user, const QString &caption)
{
    auto q = QueryDb(state, DbKind::Language,
                     QStringLiteral("select ID from tbl_LANGUAGE where E_NAME='Korvo2005.EXE' and Caption='")
                         + SqlEscape(caption) + QStringLiteral("'"));
    if (!q || !q->next())
        return false;
    const qint64 id = q->value(0).toLongLong();
    return bool(QueryDb(state, DbKind::Users,
                        QStringLiteral("insert into UserProhibitFun(UserName,ProhibitFunID) values('")
                            + SqlEscape(user) + QStringLiteral("',") + QString::number(id)
                            + QStringLiteral(")")));
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void commandTableAndMenus();
    void updateRulesFollowSelection();
    void treePopupFollowsSelectedNode();
    void prohibitedCommandOnlyForThatUser();
    void layoutAndPositionSurviveRestart();
    void exitSavesNothing();
    void logoutAnsweredNoChangesNothing();
    void logoutWithCancelledSignInEndsWithoutSaving();
    void logoutWithNewNameSwitchesUser();
    void languageCommandWritesSettingOnly();
    void editorTabsFollowKeys();
    void everyLanguageHasEveryText();
    void mainGroupsOffHidesTheirCommands();
    void toolsMenuOffersExistingTools();
    void emptyStoreTableGetsTheDefaultStore();
};

void TestMainWindow::commandTableAndMenus()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    Session s(root);
    QVERIFY(s.ok());
    MainWindow &w = *s.window;
    using namespace cmd;

    QList<int> bar;
    for (const QAction *a : w.menuBar()->actions())
        bar << a->property("commandId").toInt();
    QCOMPARE(bar, (QList<int>{104, 112, 124, 135, 136, 144, 361}));
    QCOMPARE(MenuIds(w.menu(MenuFile)), (QList<int>{630, 0, 107, 0, 111}));
    QCOMPARE(MenuIds(w.menu(MenuEdit)), (QList<int>{113, 114, 115, 0, 117, 118, 120, 121, 0, 123}));
    QCOMPARE(MenuIds(w.menu(MenuView)), (QList<int>{125, 126, 0, 127, 128, 129, 130, 629}));
    QCOMPARE(MenuIds(w.menu(MenuSetting)), (QList<int>{108, 109, 110, 0, 166, 0, 131}));
    QCOMPARE(MenuIds(w.menu(MenuLanguage)), (QList<int>{132, 133, 134}));
    QCOMPARE(MenuIds(w.menu(MenuCommunicate)), (QList<int>{139, 140, 143, 0, 141, 0, 631}));
    QCOMPARE(MenuIds(w.menu(MenuHelp)), (QList<int>{363}));
    QCOMPARE(MenuIds(w.menu(PopupStore)), (QList<int>{117, 0, 116, 0, 139, 140}));
    QCOMPARE(MenuIds(w.menu(PopupDept)), (QList<int>{119, 118, 120, 0, 139, 140}));
    QCOMPARE(MenuIds(w.menu(PopupMainGroup)), (QList<int>{122, 121, 0, 113, 0, 139, 140}));

    // Captions are the language texts of frmMain under the caption key.
    for (int id : {104, 630, 111, 123, 125, 127, 132, 143, 363, 116}) {
        QAction *a = w.command(id) ? w.command(id) : w.menu(id)->menuAction();
        QCOMPARE(a->objectName(), CaptionKey(id));
        QCOMPARE(a->text(), GetLangString(*s.state, QStringLiteral("frmMain"), CaptionKey(id)));
        QVERIFY(!a->text().isEmpty());
    }
    QCOMPARE(w.command(ReceivePlu)->statusTip(), QStringLiteral("Receive PLU from scale"));

    auto *toolbar = w.findChild<QToolBar *>(QStringLiteral("tbStandard"));
    QVERIFY(toolbar);
    QCOMPARE(toolbar->actions().size(), 1);
    QCOMPARE(toolbar->actions().first()->property("commandId").toInt(), 123);

    // Panes carry their IDs and titles; the list is the central widget.
    for (int pane : {623, 624, 625, 626, 627})
        QCOMPARE(w.pane(pane)->objectName(), QStringLiteral("pane%1").arg(pane));
    QCOMPARE(w.pane(625)->windowTitle(),
             GetLangString(*s.state, QStringLiteral("frmMain"), QStringLiteral("paneStore")));
    QCOMPARE(w.centralWidget()->objectName(), QStringLiteral("wndPLU"));
    QCOMPARE(w.pluList()->columnCount(), kPluFieldCount);
    QCOMPARE(w.pane(623)->widget()->objectName(), QStringLiteral("fraPage"));
    QCOMPARE(w.pane(624)->widget()->objectName(), QStringLiteral("fraQuery"));
    QCOMPARE(w.pane(625)->widget()->objectName(), QStringLiteral("treStore"));
    QCOMPARE(w.pane(626)->widget()->objectName(), QStringLiteral("picFrameSelect"));
    QVERIFY(w.pane(627)->widget()->findChild<QTabWidget *>(QStringLiteral("picPLUEditor")));
    QCOMPARE(w.dockWidgetArea(w.pane(625)), Qt::LeftDockWidgetArea);
    QCOMPARE(w.dockWidgetArea(w.pane(623)), Qt::LeftDockWidgetArea);
    QCOMPARE(w.dockWidgetArea(w.pane(626)), Qt::BottomDockWidgetArea);
    QCOMPARE(w.dockWidgetArea(w.pane(627)), Qt::BottomDockWidgetArea);
    QCOMPARE(w.dockWidgetArea(w.pane(624)), Qt::BottomDockWidgetArea);

    // Caption: language caption, version and the settings file's VersionType.
    QCOMPARE(w.windowTitle(), GetLangString(*s.state, QStringLiteral("frmMain"), QStringLiteral("Caption"))
                                  + QStringLiteral(" V") + AppState::versionText()
                                  + QStringLiteral(" Standard"));
    QVERIFY(s.state->missingTexts.isEmpty());
    QVERIFY(s.state->reportedErrors.isEmpty());
}

void TestMainWindow::updateRulesFollowSelection()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    Session s(root);
    QVERIFY(s.ok());
    QVERIFY(s.showWindow());
    MainWindow &w = *s.window;
    StoreTreePane *tree = w.storeTree();
    using namespace cmd;
    auto enabled = [&](int id) { return w.command(id)->isEnabled(); };

    // The load selects the store node.
    QCOMPARE(tree->selectedKind(), NodeKind::Store);
    emit w.menu(MenuEdit)->aboutToShow();
    QVERIFY(!enabled(NewPlu));
    QVERIFY(enabled(AddDept));
    QVERIFY(!enabled(DeleteDept));
    QVERIFY(!enabled(AddMainGroup));
    QVERIFY(!enabled(DeleteMainGroup));

    // No node: a Ctrl-click takes the selection away.
    ClickNode(tree, tree->storeNode(), Qt::ControlModifier);
    QCOMPARE(tree->selectedKind(), NodeKind::None);
    QVERIFY(!enabled(NewPlu));
    QVERIFY(!enabled(AddDept));
    QVERIFY(!enabled(DeleteDept));

    QTreeWidgetItem *dept = FirstNodeOfKind(tree, NodeKind::Department);
    QVERIFY(dept);
    ClickNode(tree, dept);
    QCOMPARE(tree->selectedKind(), NodeKind::Department);
    QVERIFY(enabled(NewPlu));
    QVERIFY(enabled(AddDept));
    QVERIFY(enabled(DeleteDept));
    QVERIFY(enabled(AddMainGroup));
    QVERIFY(!enabled(DeleteMainGroup));

    QTreeWidgetItem *group = FirstNodeOfKind(tree, NodeKind::MainGroup);
    QVERIFY(group);
    ClickNode(tree, group);
    QVERIFY(enabled(NewPlu));
    QVERIFY(!enabled(DeleteDept));
    QVERIFY(enabled(DeleteMainGroup));

    // Rows: none, one, two.
    PluListWidget *list = w.pluList();
    list->clearRows();
    for (int plu : {1, 2, 3})
        list->addRow(PluRow(plu), -1);
    list->clearSelection();
    QVERIFY(!enabled(EditPlu));
    QVERIFY(!enabled(DeletePlu));
    ClickRow(list, 0);
    QCOMPARE(list->selectedRowCount(), 1);
    QVERIFY(enabled(EditPlu));
    QVERIFY(enabled(DeletePlu));
    ClickRow(list, 2, Qt::ControlModifier);
    QCOMPARE(list->selectedRowNumbers(), (QVector<int>{0, 2}));
    QVERIFY(!enabled(EditPlu));
    QVERIFY(enabled(DeletePlu));
    QCOMPARE(list->rowCells(2).value(0), QStringLiteral("3"));

    // Ticks follow what is shown.
    QVERIFY(!w.pane(623)->isHidden());
    w.command(PanePage)->trigger();
    QVERIFY(w.pane(623)->isHidden());
    w.pane(623)->show();
    emit w.menu(MenuView)->aboutToShow();
    QVERIFY(w.command(PanePage)->isChecked());
    w.command(cmd::StatusBar)->trigger();
    QVERIFY(w.statusBar()->isHidden());
    emit w.menu(MenuView)->aboutToShow();
    QVERIFY(!w.command(cmd::StatusBar)->isChecked());
    QVERIFY(!w.command(cmd::FieldChooser)->isChecked()); // the delivered settings keep it closed
    w.command(cmd::FieldChooser)->trigger();
    QVERIFY(w.fieldChooser()->isVisible());
    emit w.menu(MenuView)->aboutToShow();
    QVERIFY(w.command(cmd::FieldChooser)->isChecked());
    w.command(cmd::FieldChooser)->trigger();
    QVERIFY(!w.fieldChooser()->isVisible());
}

void TestMainWindow::treePopupFollowsSelectedNode()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    Session s(root);
    QVERIFY(s.ok());
    QVERIFY(s.showWindow());
    StoreTreePane *tree = s.window->storeTree();
    QTreeWidgetItem *dept = FirstNodeOfKind(tree, NodeKind::Department);
    QVERIFY(dept);
    ClickNode(tree, dept);

    // A right click over the store node shows the popup of the selected
    // department and leaves the selection alone.
    const QPoint overStore = tree->visualItemRect(tree->storeNode()).center();
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, overStore);
    QMenu *popup = s.window->menu(cmd::PopupDept);
    QTRY_VERIFY(popup->isVisible());
    QCOMPARE(tree->selectedNode(), dept);
    QVERIFY(!s.window->menu(cmd::PopupStore)->isVisible());
    QVERIFY(s.window->command(cmd::DeleteDept)->isEnabled());
    popup->close();

    ClickNode(tree, tree->storeNode());
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, overStore);
    QTRY_VERIFY(s.window->menu(cmd::PopupStore)->isVisible());
    s.window->menu(cmd::PopupStore)->close();
}

void TestMainWindow::prohibitedCommandOnlyForThatUser()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    {
        auto setup = root.loadedState();
        QVERIFY(setup);
        QVERIFY(Prohibit(*setup, QStringLiteral("bob"), QStringLiteral("frmMain.mnuID_MENU_FILE_OPTION")));
        // The update rule's own row: without it the command keeps its state.
        QVERIFY(Prohibit(*setup, QStringLiteral("bob"), QStringLiteral("frmMain.ID_MENU_EDIT_NEW_PLU")));
        CloseDBConnections(*setup);
    }
    Session bob(root, QStringLiteral("bob"));
    QVERIFY(bob.ok());
    QVERIFY(!bob.window->command(cmd::Options)->isEnabled());
    QVERIFY(bob.window->command(cmd::RestoreSettings)->isEnabled());
    // The store node is selected, which would disable 113; bob's stays as created.
    QCOMPARE(bob.window->storeTree()->selectedKind(), NodeKind::Store);
    bob.window->updateCommands();
    QVERIFY(bob.window->command(cmd::NewPlu)->isEnabled());

    Session admin(root, QStringLiteral("admin"));
    QVERIFY(admin.ok());
    QVERIFY(admin.window->command(cmd::Options)->isEnabled());
    admin.window->updateCommands();
    QVERIFY(!admin.window->command(cmd::NewPlu)->isEnabled());
}

void TestMainWindow::layoutAndPositionSurviveRestart()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    int hiddenColumn = -1;
    int movedColumn = -1;
    QRect closedAt;
    {
        Session s(root);
        QVERIFY(s.ok());
        ClearUserStore(*s.state);
        MainWindow &w = *s.window;
        QVERIFY(s.showWindow());
        w.setGeometry(40, 50, 700, 520);
        w.command(cmd::PanePage)->trigger(); // hides pane 623
        w.addDockWidget(Qt::RightDockWidgetArea, w.pane(624));
        QHeaderView *h = w.pluList()->horizontalHeader();
        hiddenColumn = s.state->pluFields.indexOf(QStringLiteral("PLU_UPrice"));
        movedColumn = s.state->pluFields.indexOf(QStringLiteral("PLU_Commodity"));
        QVERIFY(!h->isSectionHidden(hiddenColumn));
        h->hideSection(hiddenColumn);
        h->moveSection(h->visualIndex(movedColumn), 0);
        // The selection list takes the new arrangement during the run too.
        QHeaderView *sel = w.selectPane()->wndSelectedPLU->horizontalHeader();
        QTRY_VERIFY(sel->isSectionHidden(hiddenColumn));
        QCOMPARE(sel->visualIndex(movedColumn), 0);
        w.command(cmd::FieldChooser)->trigger();
        QVERIFY(w.fieldChooser()->isVisible());
        closedAt = w.geometry(); // the window may keep a minimum size for its panes
        QCOMPARE(closedAt.topLeft(), QPoint(40, 50));
        w.close();
        QCOMPARE(s.ended, 0);
        QVERIFY(!w.fieldChooser()->isVisible()); // closed with its owner
    }
    QCOMPARE(ReadIniString(QStringLiteral("Setting"), QStringLiteral("ShowFieldChooser"), IniPath(root)),
             QStringLiteral("True"));
    // Layout texts outgrow the classic 254 characters.
    QVERIFY(ReadIniString(QStringLiteral("Setting"), QStringLiteral("PLUList"), IniPath(root), 1 << 20).size()
            > 254);

    Session s(root);
    QVERIFY(s.ok());
    MainWindow &w = *s.window;
    QSettings &store = s.state->userStore();
    QCOMPARE(store.value(QStringLiteral("MainLeft")).toInt(), 40 * 15);
    QCOMPARE(store.value(QStringLiteral("MainHeight")).toInt(), closedAt.height() * 15);
    QCOMPARE(w.geometry(), closedAt);
    QVERIFY(s.showWindow());
    QVERIFY(w.pane(623)->isHidden());
    QCOMPARE(w.dockWidgetArea(w.pane(624)), Qt::RightDockWidgetArea);
    QVERIFY(!w.pane(625)->isHidden());
    QHeaderView *h = w.pluList()->horizontalHeader();
    QVERIFY(h->isSectionHidden(hiddenColumn));
    QCOMPARE(h->visualIndex(movedColumn), 0);
    QVERIFY(!s.state->pluFields.at(hiddenColumn).Visible);
    // The selection list follows the PLU list's arrangement.
    QHeaderView *sel = w.selectPane()->wndSelectedPLU->horizontalHeader();
    QVERIFY(sel->isSectionHidden(hiddenColumn));
    QCOMPARE(sel->visualIndex(movedColumn), 0);
    QVERIFY(w.fieldChooser()->isVisible());
    QVERIFY(s.state->reportedErrors.isEmpty());
}

void TestMainWindow::exitSavesNothing()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    Session s(root);
    QVERIFY(s.ok());
    ClearUserStore(*s.state);
    const QByteArray before = FileBytes(IniPath(root));
    QVERIFY(!before.isEmpty());
    MainWindow &w = *s.window;
    QVERIFY(s.showWindow());
    w.setGeometry(30, 30, 640, 480);
    w.command(cmd::PaneStore)->trigger();
    w.pluList()->horizontalHeader()->hideSection(0);

    w.command(cmd::Exit)->trigger();
    QCOMPARE(s.ended, 1);
    QVERIFY(w.endedAtOnce());
    w.close(); // what is left of the window must not save either
    QCOMPARE(FileBytes(IniPath(root)), before);
    QVERIFY(!s.state->userStore().contains(QStringLiteral("MainLeft")));
}

void TestMainWindow::logoutAnsweredNoChangesNothing()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    Session s(root);
    QVERIFY(s.ok());
    root.ui.messages.clear();
    root.ui.answers = {MsgResult::No};
    s.signIn.names = {QStringLiteral("carol")};
    s.window->command(cmd::Logout)->trigger();

    QCOMPARE(root.ui.messages.size(), 1);
    const ShownMessage &m = root.ui.messages.first();
    QCOMPARE(m.text, GetLangString(*s.state, QStringLiteral("frmMain"), QStringLiteral("msgLogout")));
    QCOMPARE(m.icon, MsgIcon::Question);
    QCOMPARE(m.buttons, MsgButtons::YesNo);
    QCOMPARE(m.defaultButton, MsgResult::No);
    QCOMPARE(s.signIn.calls, 0);
    QCOMPARE(s.state->userName, QStringLiteral("admin"));
    QCOMPARE(s.ended, 0);
    QVERIFY(!s.window->endedAtOnce());
}

void TestMainWindow::logoutWithCancelledSignInEndsWithoutSaving()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    Session s(root);
    QVERIFY(s.ok());
    ClearUserStore(*s.state);
    const QByteArray before = FileBytes(IniPath(root));
    QVERIFY(s.showWindow());
    s.window->command(cmd::PaneQuery)->trigger();
    root.ui.answers = {MsgResult::Yes};
    s.window->command(cmd::Logout)->trigger(); // the sign-in answers ""
    QCOMPARE(s.signIn.calls, 1);
    QCOMPARE(s.ended, 1);
    s.window->close();
    QCOMPARE(FileBytes(IniPath(root)), before);
    QVERIFY(!s.state->userStore().contains(QStringLiteral("MainLeft")));
}

void TestMainWindow::logoutWithNewNameSwitchesUser()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    Session s(root);
    QVERIFY(s.ok());
    QVERIFY(QDir().mkpath(s.state->appPath + QStringLiteral("log")));
    root.ui.answers = {MsgResult::Yes};
    s.signIn.names = {QStringLiteral("carol")};
    s.window->dispatch(cmd::Logout);
    QCOMPARE(s.ended, 0);
    QCOMPARE(s.state->userName, QStringLiteral("carol"));
    const QByteArray log = FileBytes(LogFilePath(*s.state, s.state->now().date()));
    QStringDecoder utf16(QStringDecoder::Utf16LE);
    const QString text = utf16(log);
    QVERIFY2(text.contains(QStringLiteral("'carol' logged in")), qPrintable(text));
}

void TestMainWindow::languageCommandWritesSettingOnly()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    Session s(root);
    QVERIFY(s.ok());
    MainWindow &w = *s.window;
    const QString captionBefore = w.windowTitle();
    root.ui.messages.clear();
    w.command(cmd::LanguageChinese)->trigger();

    QCOMPARE(ReadIniString(QStringLiteral("Setting"), QStringLiteral("Language"), IniPath(root)),
             QStringLiteral("Chinese"));
    QCOMPARE(root.ui.messages.size(), 1);
    QCOMPARE(root.ui.messages.first().icon, MsgIcon::Information);
    QCOMPARE(root.ui.messages.first().text,
             GetLangString(*s.state, QStringLiteral("frmMain"), QStringLiteral("msgLangAvailableNextStart")));
    // The running language stays until the next start.
    emit w.menu(cmd::MenuLanguage)->aboutToShow();
    QVERIFY(!w.command(cmd::LanguageChinese)->isChecked());
    QVERIFY(w.command(cmd::LanguageEnglish)->isChecked());
    QVERIFY(!w.command(cmd::LanguageOther)->isChecked());
    QCOMPARE(s.state->settings.Language, QStringLiteral("English"));
    QCOMPARE(w.windowTitle(), captionBefore);

    w.command(cmd::LanguageOther)->trigger();
    QCOMPARE(ReadIniString(QStringLiteral("Setting"), QStringLiteral("Language"), IniPath(root)),
             QStringLiteral("Other"));
}

void TestMainWindow::editorTabsFollowKeys()
{
    QCOMPARE(TabMnemonic(QStringLiteral("&Item")), QChar(u'I'));
    QCOMPARE(TabMnemonic(QStringLiteral("Fish && &chips")), QChar(u'C'));
    QCOMPARE(TabMnemonic(QStringLiteral("&Price && &Label")), QChar(u'L'));
    QVERIFY(TabMnemonic(QStringLiteral("R&&D")).isNull());
    QVERIFY(TabMnemonic(QStringLiteral("Tail&")).isNull());

    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    Session s(root);
    QVERIFY(s.ok());
    QVERIFY(s.showWindow());
    QTabWidget *tabs = s.window->editorPane()->picPLUEditor;
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), GetLangString(*s.state, QStringLiteral("frmMain"), QStringLiteral("tabItem")));
    QLineEdit *box = s.window->queryPane()->txtQueryByPLUNo;
    box->setFocus();
    tabs->setCurrentIndex(0);

    QTest::keyClick(box, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(tabs->currentIndex(), 1);
    QTest::keyClick(box, Qt::Key_Tab, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(tabs->currentIndex(), 0); // wrapped
    QTest::keyClick(box, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(tabs->currentIndex(), 2); // wrapped backwards
    QTest::keyClick(box, Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(tabs->currentIndex(), 1);
    QVERIFY(box->text().isEmpty()); // the box never saw the keys

    tabs->setTabText(0, QStringLiteral("Fish && &Chips"));
    tabs->setTabText(1, QStringLiteral("&Label"));
    tabs->setTabText(2, QStringLiteral("&Discount"));
    QTest::keyClick(box, Qt::Key_D, Qt::AltModifier);
    QCOMPARE(tabs->currentIndex(), 2);
    QTest::keyClick(box, Qt::Key_C, Qt::AltModifier);
    QCOMPARE(tabs->currentIndex(), 0);
    QTest::keyClick(box, Qt::Key_L, Qt::AltModifier);
    QCOMPARE(tabs->currentIndex(), 1);
    QTest::keyClick(box, Qt::Key_F, Qt::AltModifier); // "F" is no mnemonic: nothing changes
    QCOMPARE(tabs->currentIndex(), 1);
}

void TestMainWindow::everyLanguageHasEveryText()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    // Every sibling tool present, so the Tools menu asks for all its texts.
    QDir().mkpath(root.path() + QStringLiteral("Bin"));
    for (const QString &language : {QStringLiteral("English"), QStringLiteral("Chinese"), QStringLiteral("Other")}) {
        QVERIFY(WriteIniString(QStringLiteral("Setting"), QStringLiteral("Language"), language, IniPath(root)));
        Session s(root);
        QVERIFY(s.ok());
        s.state->isAdministrator = true;
        for (const FixedTool &tool : FixedTools()) {
            QFile f(FixedToolPath(*s.state, tool));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        MainWindow &w = *s.window;
        w.rebuildToolsMenu();
        QCOMPARE(w.menu(cmd::MenuTools)->actions().size(), FixedTools().size());
        QVERIFY(s.showWindow());
        w.dispatch(cmd::FieldChooser);
        root.ui.answers = {MsgResult::No};
        w.dispatch(cmd::Logout);
        w.dispatch(cmd::About);
        w.dispatch(language == QLatin1String("English") ? cmd::LanguageEnglish : cmd::LanguageChinese);
        QVERIFY2(s.state->missingTexts.isEmpty(),
                 qPrintable(language + QStringLiteral(": ") + s.state->missingTexts.values().join(u' ')));
        QVERIFY(s.state->reportedErrors.isEmpty());
        QCOMPARE(s.state->language.column, language);
        QVERIFY(!w.windowTitle().startsWith(QLatin1Char(' ')));
    }
}

void TestMainWindow::mainGroupsOffHidesTheirCommands()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    QVERIFY(WriteIniString(QStringLiteral("Setting"), QStringLiteral("UseMainGroup"), QStringLiteral("False"),
                           IniPath(root)));
    Session s(root);
    QVERIFY(s.ok());
    MainWindow &w = *s.window;
    QCOMPARE(MenuIds(w.menu(cmd::MenuEdit)), (QList<int>{113, 114, 115, 0, 117, 118, 0, 123}));
    QCOMPARE(MenuIds(w.menu(cmd::PopupDept)), (QList<int>{119, 118, 0, 139, 140}));
    QVERIFY(!w.command(cmd::AddMainGroup));
    QVERIFY(FirstNodeOfKind(w.storeTree(), NodeKind::Department));
    QVERIFY(!FirstNodeOfKind(w.storeTree(), NodeKind::MainGroup));
}

void TestMainWindow::toolsMenuOffersExistingTools()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    const QString bin = root.path() + QStringLiteral("Bin/");
    QDir().mkpath(bin);
    QTemporaryDir work;
    const QString marker = work.filePath(QStringLiteral("ran.txt"));
    const QString script = work.filePath(QStringLiteral("tool.sh"));
    {
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\necho ok > \"$1\"\n");
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    }
    const QString emptyFolder = work.filePath(QStringLiteral("empty"));
    QDir().mkpath(emptyFolder);
    const QString ini = IniPath(root);
    QVERIFY(WriteIniString(QStringLiteral("Setting"), QStringLiteral("ToolsCount"), QStringLiteral("2"), ini));
    WriteIniString(QStringLiteral("Tools-1"), QStringLiteral("MenuItemName"), QStringLiteral("Mark it"), ini);
    WriteIniString(QStringLiteral("Tools-1"), QStringLiteral("CmdLine"), script, ini);
    WriteIniString(QStringLiteral("Tools-1"), QStringLiteral("Parameters"), marker, ini);
    WriteIniString(QStringLiteral("Tools-1"), QStringLiteral("WorkingDir"), work.path(), ini);
    WriteIniString(QStringLiteral("Tools-2"), QStringLiteral("MenuItemName"), QStringLiteral("Empty folder"), ini);
    WriteIniString(QStringLiteral("Tools-2"), QStringLiteral("CmdLine"), emptyFolder, ini);
    // A third section beyond ToolsCount is not read.
    WriteIniString(QStringLiteral("Tools-3"), QStringLiteral("MenuItemName"), QStringLiteral("Stale"), ini);
    for (const char *name : {"LabelFormat", "UserManager"}) {
        QFile f(bin + QLatin1String(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }

    Session s(root, QStringLiteral("bob"));
    QVERIFY(s.ok());
    MainWindow &w = *s.window;
    QCOMPARE(MenuIds(w.menu(cmd::MenuTools)), (QList<int>{145, 0, 168, 169}));
    QCOMPARE(w.command(168)->text(), QStringLiteral("Mark it"));
    QCOMPARE(w.command(169)->text(), QStringLiteral("Empty folder"));
    QCOMPARE(ReadUserTool(*s.state, 2).CmdLine, emptyFolder + QLatin1Char('/'));
    QVERIFY(!ToolTargetExists(ReadUserTool(*s.state, 2).CmdLine));

    s.state->isAdministrator = true;
    w.rebuildToolsMenu();
    QCOMPARE(MenuIds(w.menu(cmd::MenuTools)), (QList<int>{106, 145, 0, 168, 169}));

    w.command(168)->trigger();
    QTRY_VERIFY(QFile::exists(marker));
}

void TestMainWindow::emptyStoreTableGetsTheDefaultStore()
{
    TestDataRoot root(false);
    QVERIFY2(root.ok(), qPrintable(root.error()));
    {
        auto setup = root.loadedState();
        QVERIFY(setup);
        QVERIFY(QueryKorvoDB(*setup, QStringLiteral("delete from store")));
        CloseDBConnections(*setup);
    }
    for (int run = 0; run < 2; ++run) {
        Session s(root);
        QVERIFY(s.ok());
        auto q = QueryKorvoDB(*s.state, QStringLiteral("select ST_No, ST_Name from store"));
        QVERIFY(q && q->next());
        QCOMPARE(q->value(0).toInt(), 1);
        const QString name = GetLangString(*s.state, QStringLiteral("frmMain"), QStringLiteral("DefaultStore"));
        QCOMPARE(q->value(1).toString(), name);
        QVERIFY(!q->next()); // the second start adds none
        QCOMPARE(s.window->storeTree()->storeNode()->text(0), name);
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
