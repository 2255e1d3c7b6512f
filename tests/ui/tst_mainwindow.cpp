// The main window driven as a person would: menus, selections, keys,
// closing and restarting over a real data root.

#include "UiTestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "core/Log.h"
#include "i18n/Language.h"
#include "ui/Commands.h"
#include "ui/FieldChooserWindow.h"
#include "ui/PluEditorPane.h"
#include "ui/PluListWidget.h"
#include "ui/QueryPane.h"
#include "ui/SelectPane.h"
#include "tools/Tools.h"
#include "ui/AboutDialog.h"
#include "ui/ToolConfigDialog.h"

#include <QDockWidget>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QTabBar>
#include <QHeaderView>
#include <QMenuBar>
#include <QStatusBar>
#include <QStringDecoder>
#include <QTabWidget>
#include <QToolBar>
#include <QtTest>

using namespace korvo;
using namespace korvo::test;

namespace {

void ClickRow(PluListWidget *list, int row, Qt::KeyboardModifiers mods = {})
{
    int column = 0;
    while (list->horizontalHeader()->isSectionHidden(column))
        ++column;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, mods,
                      list->visualRect(list->model()->index(row, column)).center());
}

QString MainText(AppState &state, const QString &key) { return GetLangString(state, QStringLiteral("frmMain"), key); }

// Alt-letters taken twice among those the window answers at once (menu
// bar, tabs and shown controls, for every page of its tab widgets) and
// among the entries of each menu.
QStringList AltLetterClashes(MainWindow &w)
{
    QStringList clashes;
    auto check = [&clashes](const QStringList &texts) {
        QHash<QKeySequence, QString> seen;
        for (const QString &text : texts) {
            const QKeySequence key = QKeySequence::mnemonic(text);
            if (!key.isEmpty() && seen.contains(key))
                clashes << seen[key] + " / " + text;
            seen.insert(key, text);
        }
    };
    auto checkShown = [&] {
        QStringList texts;
        for (const QAction *a : w.menuBar()->actions())
            texts << a->text();
        for (const QWidget *c : w.findChildren<QWidget *>()) {
            if (!c->isVisibleTo(&w))
                continue;
            if (auto *bar = qobject_cast<const QTabBar *>(c))
                for (int i = 0; i < bar->count(); ++i)
                    texts << bar->tabText(i);
            else if (auto *b = qobject_cast<const QAbstractButton *>(c))
                texts << b->text();
            else if (auto *l = qobject_cast<const QLabel *>(c); l && l->buddy())
                texts << l->text();
            else if (auto *g = qobject_cast<const QGroupBox *>(c))
                texts << g->title();
        }
        check(texts);
    };
    checkShown();
    for (QTabWidget *tabs : w.findChildren<QTabWidget *>())
        for (int page = 0; page < tabs->count(); ++page) {
            tabs->setCurrentIndex(page);
            checkShown();
        }
    for (const QMenu *menu : w.findChildren<QMenu *>()) {
        QStringList entries;
        for (const QAction *a : menu->actions())
            entries << (a->isVisible() ? a->text() : QString());
        check(entries);
    }
    return clashes;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestDataRoot> m_root;
    QString setting(const char *key) { return ReadIniString("Setting", key, m_root->iniPath()); }

private slots:
    void init()
    {
        m_root = std::make_unique<TestDataRoot>();
        QVERIFY2(m_root->ok(), qPrintable(m_root->error()));
    }
    void cleanup() { m_root.reset(); }

    void commandTableAndMenus()
    {
        Session s(*m_root);
        QVERIFY(s.ok());
        MainWindow &w = *s.window;
        using namespace cmd;
        // Captions are the language texts of frmMain under the caption key.
        for (int id : {104, 630, 111, 123, 125, 127, 132, 143, 363, 116}) {
            QAction *a = w.command(id) ? w.command(id) : w.menu(id)->menuAction();
            QCOMPARE(a->objectName(), CaptionKey(id));
            QCOMPARE(a->text(), MainText(*s.state, CaptionKey(id)));
        }
        QCOMPARE(w.command(ReceivePlu)->statusTip(), QStringLiteral("Receive PLU from scale"));

        // Panes: the store and page panes left, the others below the list.
        QCOMPARE(w.pane(MainWindow::StorePaneId)->windowTitle(), MainText(*s.state, "paneStore"));
        QCOMPARE(w.centralWidget()->objectName(), QStringLiteral("wndPLU"));
        for (int pane : {623, 624, 625, 626, 627})
            QCOMPARE(w.dockWidgetArea(w.pane(pane)), pane == 623 || pane == 625 ? Qt::LeftDockWidgetArea
                                                                                 : Qt::BottomDockWidgetArea);
        // Caption: language caption, version and the settings file's VersionType.
        QCOMPARE(w.windowTitle(), MainText(*s.state, "Caption") + " V" + AppState::versionText() + " Standard");
        QVERIFY(s.state->missingTexts.isEmpty());
        QVERIFY(s.state->reportedErrors.isEmpty());
    }

    void updateRulesFollowSelection()
    {
        Session s(*m_root);
        QVERIFY(s.ok() && s.show());
        MainWindow &w = *s.window;
        StoreTreePane *tree = s.tree();
        using namespace cmd;
        // Enabled: New PLU, Add department, Delete department, Add and Delete main group.
        auto nodeRules = [&] {
            QList<bool> on;
            for (int id : {NewPlu, AddDept, DeleteDept, AddMainGroup, DeleteMainGroup})
                on << w.command(id)->isEnabled();
            return on;
        };
        // The load selects the store node; a Ctrl-click takes the selection away.
        QCOMPARE(tree->selectedKind(), NodeKind::Store);
        emit w.menu(MenuEdit)->aboutToShow();
        QCOMPARE(nodeRules(), QList<bool>({false, true, false, false, false}));
        ClickNode(tree, tree->storeNode(), Qt::ControlModifier);
        QCOMPARE(tree->selectedKind(), NodeKind::None);
        QCOMPARE(nodeRules(), QList<bool>({false, false, false, false, false}));
        ClickNode(tree, FirstNodeOfKind(tree, NodeKind::Department));
        QCOMPARE(nodeRules(), QList<bool>({true, true, true, true, false}));
        ClickNode(tree, FirstNodeOfKind(tree, NodeKind::MainGroup));
        QCOMPARE(nodeRules(), QList<bool>({true, true, false, true, true}));

        // Rows: none, one, two.
        PluListWidget *list = w.pluList();
        list->clearRows();
        for (int plu : {1, 2, 3}) {
            QStringList cells(kPluFieldCount);
            cells[0] = QString::number(plu);
            list->addRow(cells, -1);
        }
        auto rowRules = [&] { return QList<bool>({w.command(EditPlu)->isEnabled(), w.command(DeletePlu)->isEnabled()}); };
        list->clearSelection();
        QCOMPARE(rowRules(), QList<bool>({false, false}));
        ClickRow(list, 0);
        QCOMPARE(rowRules(), QList<bool>({true, true}));
        ClickRow(list, 2, Qt::ControlModifier);
        QCOMPARE(list->selectedRowNumbers(), (QVector<int>{0, 2}));
        QCOMPARE(rowRules(), QList<bool>({false, true}));

        // Ticks follow what is shown.
        w.command(PanePage)->trigger();
        QVERIFY(w.pane(MainWindow::PagePaneId)->isHidden());
        w.pane(MainWindow::PagePaneId)->show();
        emit w.menu(MenuView)->aboutToShow();
        QVERIFY(w.command(PanePage)->isChecked());
        w.command(cmd::StatusBar)->trigger();
        QVERIFY(w.statusBar()->isHidden());
        emit w.menu(MenuView)->aboutToShow();
        QVERIFY(!w.command(cmd::StatusBar)->isChecked());
        QVERIFY(!w.command(cmd::FieldChooser)->isChecked()); // the delivered settings keep it closed
        w.command(cmd::FieldChooser)->trigger();
        emit w.menu(MenuView)->aboutToShow();
        QVERIFY(w.fieldChooser()->isVisible() && w.command(cmd::FieldChooser)->isChecked());
    }

    void treeRightClickAndRenameByClick()
    {
        Session s(*m_root);
        QVERIFY(s.ok() && s.show());
        StoreTreePane *tree = s.tree();
        QApplication::setDoubleClickInterval(150);
        QTreeWidgetItem *dept = FirstNodeOfKind(tree, NodeKind::Department);
        auto rightClick = [&](const QPoint &at, QMenu *popup) {
            QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, at);
            QTRY_VERIFY(popup->isVisible());
            popup->close();
        };
        auto renamedAfterPause = [tree] {
            QTest::qWait(300);
            auto *e = tree->viewport()->findChild<QLineEdit *>();
            return e && e->isVisible();
        };
        // A right click selects the department under the pointer and shows its popup.
        ClickNode(tree, tree->storeNode());
        rightClick(CenterOf(tree, dept), s.window->menu(cmd::PopupDept));
        QCOMPARE(tree->selectedNode(), dept);
        // A click right after that selection renames nothing, nor does a right click.
        ClickNode(tree, dept);
        QVERIFY(!renamedAfterPause());
        rightClick(CenterOf(tree, dept), s.window->menu(cmd::PopupDept));
        QVERIFY(!renamedAfterPause());
        // A click on a node selected a while ago renames it, after a pause.
        ClickNode(tree, dept);
        QVERIFY(!tree->viewport()->findChild<QLineEdit *>());
        QVERIFY(renamedAfterPause());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);

        // Below the last node there is nothing to act on: no popup.
        tree->collapseAll();
        QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, QPoint(5, tree->viewport()->height() - 2));
        QTest::qWait(50);
        QVERIFY(!QApplication::activePopupWidget());
        QCOMPARE(tree->selectedNode(), dept);
    }

    void prohibitionHoldsEverywhere()
    {
        // bob may not delete departments (the menu entry's row), add a PLU
        // (the update rule's own row), refresh (menu and toolbar) or change
        // a department (dialog and renaming in the tree).
        {
            auto setup = m_root->loadedState();
            QVERIFY(setup);
            for (const char *row : {"frmMain.mnuID_MENU_EDIT_DEL_DEPT", "frmMain.ID_MENU_EDIT_NEW_PLU",
                                    "frmMain.mnuID_MENU_EDIT_REFRESH", "frmMain.mnuID_MENU_FILE_OPTION",
                                    "frmMain.mnuID_MENU_EDIT_DEPT_PROPERTY"})
                QVERIFY(Prohibit(*setup, "bob", row));
            CloseDBConnections(*setup);
        }
        Session bob(*m_root, "bob");
        QVERIFY(bob.ok() && bob.show());
        MainWindow &w = *bob.window;
        const int plus = SqlCount(*bob.state, "PLU");
        QVERIFY(!w.command(cmd::Options)->isEnabled());
        QVERIFY(w.command(cmd::RestoreSettings)->isEnabled());
        QVERIFY(!w.toolbarRefresh()->isEnabled());
        // A selection that would enable them does not, nor does a menu or popup being shown.
        ClickNode(bob.tree(), bob.tree()->findNode("Dept1"));
        emit w.menu(cmd::PopupDept)->aboutToShow();
        QVERIFY(w.menu(cmd::PopupDept)->actions().contains(w.command(cmd::DeleteDept)));
        for (int id : {cmd::DeleteDept, cmd::NewPlu, cmd::Refresh})
            QVERIFY2(!w.command(id)->isEnabled(), qPrintable(QString::number(id)));
        QVERIFY(w.command(cmd::AddMainGroup)->isEnabled());
        bob.tree()->setFocus();
        QTest::keyClick(bob.tree(), Qt::Key_F2);
        QVERIFY(!bob.tree()->viewport()->findChild<QLineEdit *>());
        // Called anyway, the commands refuse themselves.
        m_root->ui.answers = {MsgResult::Ok, MsgResult::Ok};
        w.dispatch(cmd::DeleteDept);
        w.dispatch(cmd::Refresh);
        QVERIFY(bob.tree()->findNode("Dept1"));
        QCOMPARE(SqlCount(*bob.state, "PLU"), plus);
        QCOMPARE(m_root->ui.messages.size(), 2);
        QCOMPARE(m_root->ui.messages.last().text, MainText(*bob.state, "msgFunctionProhibited"));

        // Another user signing in gets his own rights at once.
        m_root->ui.answers = {MsgResult::Yes};
        bob.signIn.names = {"admin"};
        w.dispatch(cmd::Logout);
        QVERIFY(w.command(cmd::Options)->isEnabled() && w.toolbarRefresh()->isEnabled());
        QVERIFY(w.command(cmd::DeleteDept)->isEnabled() && w.command(cmd::NewPlu)->isEnabled());
    }

    void layoutAndPositionSurviveRestart()
    {
        QRect closedAt;
        {
            ClearUserStore(*m_root->newState());
            Session s(*m_root);
            QVERIFY(s.ok());
            MainWindow &w = *s.window;
            // Without a saved place the window takes most of the screen.
            const QRect screen = w.screen()->availableGeometry();
            QVERIFY(screen.contains(w.geometry()));
            QVERIFY(w.width() > screen.width() * 4 / 5 && w.height() > screen.height() * 4 / 5);
            QVERIFY(s.show());
            w.setGeometry(40, 50, 700, 520);
            w.command(cmd::PanePage)->trigger(); // hides pane 623
            w.addDockWidget(Qt::RightDockWidgetArea, w.pane(MainWindow::QueryPaneId));
            w.command(cmd::FieldChooser)->trigger();
            closedAt = w.geometry(); // the window may keep a minimum size for its panes
            w.close();
            QCOMPARE(s.ended, 0);
            QVERIFY(!w.fieldChooser()->isVisible()); // closed with its owner
        }
        QCOMPARE(setting("ShowFieldChooser"), QStringLiteral("True"));
        // Layout texts outgrow the classic 254 characters.
        QVERIFY(ReadIniString("Setting", "PLUList", m_root->iniPath(), 1 << 20).size() > 254);

        Session s(*m_root);
        QVERIFY(s.ok());
        MainWindow &w = *s.window;
        QCOMPARE(s.state->userStore().value("MainLeft").toInt(), 40 * 15);
        QCOMPARE(s.state->userStore().value("MainHeight").toInt(), closedAt.height() * 15);
        QCOMPARE(w.geometry(), closedAt);
        QVERIFY(s.show());
        QVERIFY(w.pane(MainWindow::PagePaneId)->isHidden());
        QCOMPARE(w.dockWidgetArea(w.pane(MainWindow::QueryPaneId)), Qt::RightDockWidgetArea);
        QVERIFY(!w.pane(MainWindow::StorePaneId)->isHidden());
        QVERIFY(w.fieldChooser()->isVisible());
        QVERIFY(s.state->reportedErrors.isEmpty());

        // Closed maximised: maximised again, over the same normal place.
        w.showMaximized();
        QTRY_VERIFY(w.isMaximized());
        w.close();
        Session again(*m_root);
        QVERIFY(again.ok());
        QVERIFY(again.window->windowState() & Qt::WindowMaximized);
        QVERIFY(again.show() && again.window->isMaximized());
        QCOMPARE(again.state->userStore().value("MainTop").toInt(), closedAt.top() * 15);
    }

    void exitSavesNothing()
    {
        Session s(*m_root);
        QVERIFY(s.ok());
        ClearUserStore(*s.state);
        const QByteArray before = FileBytes(m_root->iniPath());
        QVERIFY(s.show());
        s.window->setGeometry(30, 30, 640, 480);
        s.window->command(cmd::PaneStore)->trigger();
        s.window->pluList()->horizontalHeader()->hideSection(0);
        s.window->command(cmd::Exit)->trigger();
        QCOMPARE(s.ended, 1);
        QVERIFY(s.window->endedAtOnce());
        s.window->close(); // what is left of the window must not save either
        QCOMPARE(FileBytes(m_root->iniPath()), before);
        QVERIFY(!s.state->userStore().contains("MainLeft"));
    }

    void logoutAnswers()
    {
        ScriptedUi &ui = m_root->ui;
        const QByteArray before = FileBytes(m_root->iniPath());
        {
            // No: nothing changes, no sign-in.
            Session s(*m_root);
            QVERIFY(s.ok());
            ClearUserStore(*s.state);
            ui.answers = {MsgResult::No};
            s.signIn.names = {"carol"};
            s.window->command(cmd::Logout)->trigger();
            QCOMPARE(ui.messages.size(), 1);
            QCOMPARE(ui.messages.first().text, MainText(*s.state, "msgLogout"));
            QCOMPARE(ui.messages.first().buttons, MsgButtons::YesNo);
            QCOMPARE(ui.messages.first().defaultButton, MsgResult::No);
            QCOMPARE(s.signIn.calls, 0);
            QCOMPARE(s.state->userName, QStringLiteral("admin"));
            QCOMPARE(s.ended, 0);

            // Yes, and the sign-in is cancelled: the program ends, saving nothing.
            s.signIn.names.clear();
            QVERIFY(s.show());
            s.window->command(cmd::PaneQuery)->trigger();
            ui.answers = {MsgResult::Yes};
            s.window->command(cmd::Logout)->trigger();
            QCOMPARE(s.signIn.calls, 1);
            QCOMPARE(s.ended, 1);
            s.window->close();
            QCOMPARE(FileBytes(m_root->iniPath()), before);
            QVERIFY(!s.state->userStore().contains("MainLeft"));
        }
        // Yes and a new name: the user switches, and the log says so.
        Session s(*m_root);
        QVERIFY(s.ok());
        QVERIFY(QDir().mkpath(s.state->appPath + "log"));
        ui.answers = {MsgResult::Yes};
        s.signIn.names = {"carol"};
        s.window->dispatch(cmd::Logout);
        QCOMPARE(s.ended, 0);
        QCOMPARE(s.state->userName, QStringLiteral("carol"));
        QStringDecoder utf16(QStringDecoder::Utf16LE);
        const QString log = utf16(FileBytes(LogFilePath(*s.state, s.state->now().date())));
        QVERIFY2(log.contains("'carol' logged in"), qPrintable(log));
    }

    void languageCommandWritesSettingOnly()
    {
        Session s(*m_root);
        QVERIFY(s.ok());
        MainWindow &w = *s.window;
        const QString captionBefore = w.windowTitle();
        w.command(cmd::LanguageChinese)->trigger();
        QCOMPARE(setting("Language"), QStringLiteral("Chinese"));
        QCOMPARE(m_root->ui.messages.size(), 1);
        QCOMPARE(m_root->ui.messages.first().text, MainText(*s.state, "msgLangAvailableNextStart"));
        // The running language stays until the next start.
        emit w.menu(cmd::MenuLanguage)->aboutToShow();
        QVERIFY(!w.command(cmd::LanguageChinese)->isChecked());
        QVERIFY(w.command(cmd::LanguageEnglish)->isChecked());
        QCOMPARE(s.state->settings.Language, QStringLiteral("English"));
        QCOMPARE(w.windowTitle(), captionBefore);
        w.command(cmd::LanguageOther)->trigger();
        QCOMPARE(setting("Language"), QStringLiteral("Other"));
    }

    void editorTabsFollowKeys()
    {
        QCOMPARE(TabMnemonic("&Item"), QChar(u'I'));
        QCOMPARE(TabMnemonic("Fish && &chips"), QChar(u'C'));
        QCOMPARE(TabMnemonic("&Price && &Label"), QChar(u'L'));
        QVERIFY(TabMnemonic("R&&D").isNull());
        QVERIFY(TabMnemonic("Tail&").isNull());

        Session s(*m_root);
        QVERIFY(s.ok() && s.show());
        QTabWidget *tabs = s.window->editorPane()->picPLUEditor;
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), MainText(*s.state, "tabItem"));
        QLineEdit *box = s.window->queryPane()->txtQueryByPLUNo;
        box->setFocus();
        tabs->setCurrentIndex(0);
        // Ctrl+Tab and Ctrl+Shift+Tab wrap both ways; the box never sees the keys.
        const struct {
            Qt::Key key;
            Qt::KeyboardModifiers mods;
            int tab;
        } steps[] = {{Qt::Key_Tab, Qt::ControlModifier, 1},
                     {Qt::Key_Tab, Qt::ControlModifier, 2},
                     {Qt::Key_Tab, Qt::ControlModifier, 0},
                     {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 2},
                     {Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier, 1}};
        for (const auto &step : steps) {
            QTest::keyClick(box, step.key, step.mods);
            QCOMPARE(tabs->currentIndex(), step.tab);
        }
        QVERIFY(box->text().isEmpty());

        // Alt with a tab's mnemonic; "F" is no mnemonic: nothing changes.
        tabs->setTabText(0, "Fish && &Chips");
        tabs->setTabText(1, "&Label");
        tabs->setTabText(2, "&Discount");
        const struct {
            Qt::Key key;
            int tab;
        } alts[] = {{Qt::Key_D, 2}, {Qt::Key_C, 0}, {Qt::Key_L, 1}, {Qt::Key_F, 1}};
        for (const auto &alt : alts) {
            QTest::keyClick(box, alt.key, Qt::AltModifier);
            QCOMPARE(tabs->currentIndex(), alt.tab);
        }
    }

    void everyLanguageHasEveryText()
    {
        // Every sibling tool present, so the Tools menu asks for all its texts.
        QDir().mkpath(m_root->path() + "Bin");
        for (const QString &language : QStringList{"English", "Chinese", "Other"}) {
            QVERIFY(WriteIniString("Setting", "Language", language, m_root->iniPath()));
            Session s(*m_root);
            QVERIFY(s.ok());
            s.state->isAdministrator = true;
            for (const FixedTool &tool : FixedTools())
                QVERIFY(WriteFile(FixedToolPath(*s.state, tool), QByteArray()));
            MainWindow &w = *s.window;
            w.rebuildToolsMenu();
            QCOMPARE(w.menu(cmd::MenuTools)->actions().size(), FixedTools().size());
            QVERIFY(s.show());
            w.dispatch(cmd::FieldChooser);
            m_root->ui.answers = {MsgResult::No};
            w.dispatch(cmd::Logout);
            OnModal<AboutDialog>([](AboutDialog *d) { d->accept(); });
            w.dispatch(cmd::About);
            OnModal<ToolConfigDialog>([](ToolConfigDialog *d) { d->reject(); });
            w.dispatch(cmd::ToolConfig);
            // The dialogs of the store tree and the options, opened and cancelled.
            for (int id : {cmd::StoreProperty, cmd::AddDept, cmd::Options, cmd::RestoreSettings}) {
                OnModal<QDialog>([](QDialog *d) { d->reject(); });
                w.dispatch(id);
            }
            ClickNode(s.tree(), s.tree()->findNode("Dept1"));
            OnModal<QDialog>([](QDialog *d) { d->reject(); });
            w.dispatch(cmd::AddMainGroup);
            w.dispatch(language == QLatin1String("English") ? cmd::LanguageEnglish : cmd::LanguageChinese);
            QVERIFY2(s.state->missingTexts.isEmpty(), qPrintable(language + ": " + s.state->missingTexts.values().join(u' ')));
            QVERIFY(s.state->reportedErrors.isEmpty());
            QCOMPARE(s.state->language.column, language);

            const QStringList clashes = AltLetterClashes(w);
            QVERIFY2(clashes.isEmpty(), qPrintable(language + ": " + clashes.join(", ")));
            // Each language is offered by its own name, readable whatever the current one.
            QCOMPARE(QStringList({w.command(cmd::LanguageEnglish)->text(), w.command(cmd::LanguageChinese)->text(),
                                  w.command(cmd::LanguageOther)->text()}),
                     QStringList({"English", "中文", "Русский"}));
            QVERIFY(!QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty());
            // Header captions fit their columns at the first start.
            const QHeaderView *h = w.pluList()->horizontalHeader();
            for (int i = 0; i < h->count(); ++i)
                QVERIFY2(h->isSectionHidden(i) || h->sectionSize(i) > h->fontMetrics().horizontalAdvance(s.state->pluFields.at(i).Caption),
                         qPrintable(language + ": " + s.state->pluFields.at(i).Caption));
        }
    }

    void mainGroupsOffHidesTheirCommands()
    {
        QVERIFY(WriteIniString("Setting", "UseMainGroup", "False", m_root->iniPath()));
        Session s(*m_root);
        QVERIFY(s.ok());
        QCOMPARE(MenuIds(s.window->menu(cmd::MenuEdit)), (QList<int>{113, 114, 115, 0, 117, 118, 0, 123}));
        QCOMPARE(MenuIds(s.window->menu(cmd::PopupDept)), (QList<int>{119, 118, 0, 139, 140}));
        QVERIFY(!s.window->command(cmd::AddMainGroup));
        QVERIFY(FirstNodeOfKind(s.tree(), NodeKind::Department));
        QVERIFY(!FirstNodeOfKind(s.tree(), NodeKind::MainGroup));
    }

    void toolsMenuOffersExistingTools()
    {
        QTemporaryDir work;
        const QString marker = work.filePath("ran.txt");
        const QString script = work.filePath("tool.sh");
        QVERIFY(WriteFile(script, "#!/bin/sh\necho ok > \"$1\"\n"));
        QFile(script).setPermissions(QFile(script).permissions() | QFileDevice::ExeOwner);
        const QString emptyFolder = work.filePath("empty");
        QDir().mkpath(emptyFolder);
        const QString ini = m_root->iniPath();
        QVERIFY(WriteIniString("Setting", "ToolsCount", "2", ini));
        const char *tools[][3] = {{"Tools-1", "MenuItemName", "Mark it"},
                                  {"Tools-2", "MenuItemName", "Empty folder"},
                                  {"Tools-3", "MenuItemName", "Stale"}}; // beyond ToolsCount: not read
        for (const auto &t : tools)
            WriteIniString(t[0], t[1], t[2], ini);
        WriteIniString("Tools-1", "CmdLine", script, ini);
        WriteIniString("Tools-1", "Parameters", marker, ini);
        WriteIniString("Tools-1", "WorkingDir", work.path(), ini);
        WriteIniString("Tools-2", "CmdLine", emptyFolder, ini);
        for (const char *name : {"LabelFormat", "korvousers"})
            QVERIFY(WriteFile(m_root->path() + "Bin/" + name, QByteArray()));

        // The user manager only for administrators.
        Session s(*m_root, "bob");
        QVERIFY(s.ok());
        MainWindow &w = *s.window;
        QCOMPARE(MenuIds(w.menu(cmd::MenuTools)), (QList<int>{145, 0, 168, 169}));
        QCOMPARE(w.command(168)->text(), QStringLiteral("Mark it"));
        QCOMPARE(ReadUserTool(*s.state, 2).CmdLine, emptyFolder + '/');
        QVERIFY(!ToolTargetExists(ReadUserTool(*s.state, 2).CmdLine));
        s.state->isAdministrator = true;
        w.rebuildToolsMenu();
        QCOMPARE(MenuIds(w.menu(cmd::MenuTools)), (QList<int>{106, 145, 0, 168, 169}));
        w.command(168)->trigger();
        QTRY_VERIFY(QFile::exists(marker));
    }

    void emptyStoreTableGetsTheDefaultStore()
    {
        {
            auto setup = m_root->loadedState();
            QVERIFY(setup);
            QVERIFY(QueryKorvoDB(*setup, "delete from store"));
            CloseDBConnections(*setup);
        }
        for (int run = 0; run < 2; ++run) { // the second start adds none
            Session s(*m_root);
            QVERIFY(s.ok());
            const QString name = MainText(*s.state, "DefaultStore");
            QCOMPARE(SqlColumn(*s.state, "select ST_No||'/'||ST_Name from store"), QStringList({"1/" + name}));
            QCOMPARE(s.tree()->storeNode()->text(0), name);
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
