// The main window driven as a person would: menus, selections, keys,
// closing and restarting over a real data root; the field chooser (header
// sections dragged into it and back), the tool configuration dialog and
// what the Tools menu's entries launch.

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
#include <QDrag>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QHeaderView>
#include <QMenuBar>
#include <QMimeData>
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

struct RecordingLauncher : ToolLauncher {
    bool start(const QString &program, const QStringList &arguments, const QString &workingDir) override
    {
        calls << QStringList{"start", program, arguments.join('|'), workingDir}.join(' ');
        return true;
    }
    bool open(const QString &path) override
    {
        calls << "open " + path;
        return true;
    }
    QStringList calls;
};

QStringList lines(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

// Insert, Replace, Delete, Up, Down as "1" enabled, "0" disabled.
QString buttons(const ToolConfigDialog *d)
{
    QString s;
    for (const QPushButton *b : {d->cmdInsert, d->cmdReplace, d->cmdDelete, d->cmdUp, d->cmdDown})
        s += b->isEnabled() ? '1' : '0';
    return s;
}

void clickLine(ToolConfigDialog *d, int row, bool twice = false)
{
    const QPoint at = d->lstToolbar->visualItemRect(d->lstToolbar->item(row)).center();
    QTest::mouseClick(d->lstToolbar->viewport(), Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(d->lstToolbar->viewport(), Qt::LeftButton, {}, at);
}

void writeTool(const QString &ini, int position, const QString &name, const QString &cmdLine,
               const QString &parameters = {})
{
    const QString section = "Tools-" + QString::number(position);
    WriteIniString(section, "MenuItemName", name, ini);
    WriteIniString(section, "CmdLine", cmdLine, ini);
    WriteIniString(section, "Parameters", parameters, ini);
}

QHeaderView *Header(const Session &s) { return s.window->pluList()->horizontalHeader(); }
QHeaderView *SelectionHeader(const Session &s) { return s.window->selectPane()->wndSelectedPLU->horizontalHeader(); }

// Shows the window and opens the chooser from the View menu, away from the list's header.
bool ShowWithChooser(Session &s)
{
    s.window->setGeometry(20, 20, 760, 520);
    if (!s.show())
        return false;
    s.window->dispatch(cmd::FieldChooser);
    s.window->fieldChooser()->setGeometry(600, 380, 150, 150);
    return QTest::qWaitForWindowExposed(s.window->fieldChooser());
}

// Offscreen has no drag-and-drop platform: the drag's data is delivered to
// the drop site with the events a platform would send.
struct DropInto {
    QWidget *target = nullptr;
    QPoint at;
    int drags = 0;
    int lastField = -1;

    Qt::DropAction operator()(QDrag *drag)
    {
        ++drags;
        lastField = FieldChooserWindow::fieldFromMimeData(drag->mimeData());
        if (!target)
            return Qt::IgnoreAction;
        QDragEnterEvent enter(at, Qt::MoveAction, drag->mimeData(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return Qt::IgnoreAction;
        QDragMoveEvent move(at, Qt::MoveAction, drag->mimeData(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        QDropEvent drop(QPointF(at), Qt::MoveAction, drag->mimeData(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    }
};

// The logical indexes of the shown sections in visual order.
QList<int> ShownOrder(const QHeaderView *h)
{
    QList<int> order;
    for (int v = 0; v < h->count(); ++v)
        if (!h->isSectionHidden(h->logicalIndex(v)))
            order << h->logicalIndex(v);
    return order;
}

int ShownSectionAt(const QHeaderView *h, int shownPosition) { return ShownOrder(h).value(shownPosition, -1); }

QPoint SectionCenter(const QHeaderView *h, int logical)
{
    return QPoint(h->sectionViewportPosition(logical) + h->sectionSize(logical) / 2,
                  h->viewport()->height() / 2);
}

// Presses on a section, pulls it down out of the header and lets go.
void DragSectionDown(QHeaderView *h, int logical)
{
    const QPoint start = SectionCenter(h, logical);
    QTest::mousePress(h->viewport(), Qt::LeftButton, {}, start);
    QTest::mouseMove(h->viewport(), start + QPoint(0, 4));
    QTest::mouseMove(h->viewport(), start + QPoint(3, h->viewport()->height() + 40));
    QTest::mouseRelease(h->viewport(), Qt::LeftButton, {}, start + QPoint(3, h->viewport()->height() + 40));
}

QList<int> ChooserFields(const FieldChooserWindow *chooser)
{
    QList<int> fields;
    for (int i = 0; i < chooser->wndFieldChooser->count(); ++i)
        fields << chooser->wndFieldChooser->item(i)->data(Qt::UserRole).toInt();
    return fields;
}

// Presses on a chooser entry and pulls it away until the drag starts.
void DragEntry(FieldChooserWindow *chooser, int field)
{
    QListWidget *list = chooser->wndFieldChooser;
    QListWidgetItem *entry = list->item(ChooserFields(chooser).indexOf(field));
    QVERIFY(entry);
    list->scrollToItem(entry);
    const QPoint start = list->visualItemRect(entry).center();
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, start);
    QTest::mouseMove(list->viewport(), start + QPoint(2, 2));
    QTest::mouseMove(list->viewport(), start + QPoint(30, 30));
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, start + QPoint(30, 30));
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

    void panesAndCaption()
    {
        Session s(*m_root);
        QVERIFY(s.ok());
        MainWindow &w = *s.window;
        // The store and page panes sit left, the others below the list.
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
        // Long enough that a loaded machine does not turn a quick click into a slow one.
        const int interval = 600;
        QApplication::setDoubleClickInterval(interval);
        QTreeWidgetItem *dept = FirstNodeOfKind(tree, NodeKind::Department);
        auto rightClick = [&](const QPoint &at, QMenu *popup) {
            QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, at);
            QTRY_VERIFY(popup->isVisible());
            popup->close();
        };
        auto renamedAfterPause = [tree, interval] {
            QTest::qWait(2 * interval);
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
        int hidden = -1, resized = -1;
        QList<int> order;
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
            // The list's columns: one hidden, one moved, one resized.
            QHeaderView *h = Header(s);
            hidden = ShownSectionAt(h, 1);
            QVERIFY(w.fieldChooser()->hideField(hidden));
            h->moveSection(h->visualIndex(ShownSectionAt(h, 3)), h->visualIndex(ShownSectionAt(h, 0)));
            resized = ShownSectionAt(h, 2);
            h->resizeSection(resized, 163);
            order = ShownOrder(h);
            closedAt = w.geometry(); // the window may keep a minimum size for its panes
            w.close();
            QCOMPARE(s.ended, 0);
        }
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
        // The columns come back, in the selection list too.
        QHeaderView *h = Header(s);
        QCOMPARE(ShownOrder(h), order);
        QCOMPARE(h->sectionSize(resized), 163);
        for (int i = 0; i < kPluFieldCount; ++i)
            QCOMPARE(s.state->pluFields.at(i).Visible, !h->isSectionHidden(i));
        QVERIFY(w.pluList()->sortColumns().isEmpty());
        QCOMPARE(ShownOrder(SelectionHeader(s)), order);
        QCOMPARE(SelectionHeader(s)->sectionSize(resized), 163);
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
        w.command(cmd::LanguageChinese)->trigger();
        QCOMPARE(setting("Language"), QStringLiteral("Chinese"));
        QCOMPARE(m_root->ui.messages.size(), 1);
        QCOMPARE(m_root->ui.messages.first().text, MainText(*s.state, "msgLangAvailableNextStart"));
        // The running language stays until the next start.
        emit w.menu(cmd::MenuLanguage)->aboutToShow();
        QVERIFY(!w.command(cmd::LanguageChinese)->isChecked());
        QVERIFY(w.command(cmd::LanguageEnglish)->isChecked());
        QCOMPARE(s.state->settings.Language, QStringLiteral("English"));
        w.command(cmd::LanguageOther)->trigger();
        QCOMPARE(setting("Language"), QStringLiteral("Other"));
    }

    void editorTabsFollowKeys()
    {
        Session s(*m_root);
        QVERIFY(s.ok() && s.show());
        QTabWidget *tabs = s.window->editorPane()->picPLUEditor;
        QCOMPARE(tabs->count(), 3);
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
        tabs->setTabText(1, "&Price && &Label");
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

    void configurationButtonsAndOk()
    {
        const QString ini = m_root->iniPath();
        WriteIniString("Setting", "ToolsCount", "3", ini);
        for (int i = 1; i <= 3; ++i)
            writeTool(ini, i, QString(QChar('A' + i - 1)), "/opt/" + QString::number(i));
        Session s(*m_root);
        QVERIFY(s.ok());

        OnModal<ToolConfigDialog>([](ToolConfigDialog *d) {
            const struct {
                const char *what;
                std::function<void()> act;
                QStringList lines;
                int selected;
                const char *buttons;
            } steps[] = {
                {"loaded", [] {}, {"A", "B", "C"}, -1, "00000"},
                {"first line", [d] { clickLine(d, 0); }, {"A", "B", "C"}, 0, "00101"},
                {"name only", [d] { TypeInto(d->txtMenuItemName, "N"); }, {"A", "B", "C"}, 0, "00101"},
                {"blank command", [d] { TypeInto(d->txtCmdLine, "  "); }, {"A", "B", "C"}, 0, "00101"},
                {"command too", [d] { TypeInto(d->txtCmdLine, "/opt/n"); }, {"A", "B", "C"}, 0, "11101"},
                {"insert before", [d] { d->cmdInsert->click(); }, {"N", "A", "B", "C"}, 0, "11101"},
                {"last line", [d] { clickLine(d, 3); }, {"N", "A", "B", "C"}, 3, "11110"},
                {"up", [d] { d->cmdUp->click(); }, {"N", "A", "C", "B"}, 2, "11111"},
                {"down", [d] { d->cmdDown->click(); }, {"N", "A", "B", "C"}, 3, "11110"},
                {"replace", [d] { TypeInto(d->txtMenuItemName, "Z"); d->cmdReplace->click(); },
                 {"N", "A", "B", "Z"}, 3, "11110"},
                {"double-click shows", [d] { clickLine(d, 1, true); }, {"N", "A", "B", "Z"}, 1, "11111"},
                {"delete", [d] { d->cmdDelete->click(); }, {"N", "B", "Z"}, -1, "10000"},
                {"no name", [d] { TypeInto(d->txtMenuItemName, ""); d->cmdInsert->click(); },
                 {"N", "B", "Z"}, -1, "00000"},
            };
            for (const auto &step : steps) {
                step.act();
                QCOMPARE(lines(d->lstToolbar), step.lines);
                const QList<QListWidgetItem *> shown = d->lstToolbar->selectedItems();
                const int shownRow = shown.isEmpty() ? -1 : d->lstToolbar->row(shown.first());
                QVERIFY2(d->tools().selected() == step.selected && shownRow == step.selected, step.what);
                QCOMPARE(buttons(d), QString::fromLatin1(step.buttons));
            }
            QCOMPARE(d->txtCmdLine->text(), QStringLiteral("/opt/1")); // A's, from the double-click
            d->cmdOK->click();
        });
        s.window->dispatch(cmd::ToolConfig);
        QCOMPARE(ReadIniString("Setting", "ToolsCount", ini), QStringLiteral("3"));
        QCOMPARE(ReadIniString("Tools-1", "CmdLine", ini), QStringLiteral("/opt/n"));
        QCOMPARE(ReadIniString("Tools-3", "MenuItemName", ini), QStringLiteral("Z"));
        QCOMPARE(MenuIds(s.window->menu(cmd::MenuTools)), (QList<int>{168, 169, 170}));
        QCOMPARE(s.window->command(170)->text(), QStringLiteral("Z"));

        // The last of three goes: the count drops, its section stays unread.
        OnModal<ToolConfigDialog>([](ToolConfigDialog *d) {
            clickLine(d, 2);
            d->cmdDelete->click();
            d->cmdOK->click();
        });
        s.window->dispatch(cmd::ToolConfig);
        QCOMPARE(ReadIniString("Setting", "ToolsCount", ini), QStringLiteral("2"));
        QCOMPARE(ReadIniString("Tools-3", "MenuItemName", ini), QStringLiteral("Z"));
        QCOMPARE(MenuIds(s.window->menu(cmd::MenuTools)), (QList<int>{168, 169}));

        // Cancel writes nothing.
        OnModal<ToolConfigDialog>([](ToolConfigDialog *d) {
            clickLine(d, 0);
            d->cmdDelete->click();
            d->cmdCancel->click();
        });
        s.window->dispatch(cmd::ToolConfig);
        QCOMPARE(ReadIniString("Setting", "ToolsCount", ini), QStringLiteral("2"));
    }

    void launches()
    {
        QTemporaryDir work;
        const QString program = work.filePath("prog");
        QVERIFY(WriteFile(program, "#!/bin/sh\ntouch \"$0.ran\"\n"));
        QFile(program).setPermissions(QFile(program).permissions() | QFileDevice::ExeOwner);
        QVERIFY(WriteFile(work.filePath("note.txt"), "x"));
        QVERIFY(WriteFile(work.filePath("full/a.txt"), "x"));
        QDir().mkpath(work.filePath("empty"));
        const QString ini = m_root->iniPath();
        const struct {
            const char *cmdLine;
            const char *parameters;
            QString expected; // "" : nothing happens
        } tools[] = {
            {"prog", "-a \"b c\"", "start " + program + " -a|b c " + work.path()},
            {"note.txt", "", "open " + work.filePath("note.txt")},
            {"full", "", "open " + work.filePath("full")},
            {"empty", "", ""},
            {"gone.txt", "", ""},
        };
        WriteIniString("Setting", "ToolsCount", QString::number(std::size(tools)), ini);
        for (int i = 0; i < int(std::size(tools)); ++i) {
            writeTool(ini, i + 1, tools[i].cmdLine, work.filePath(tools[i].cmdLine), tools[i].parameters);
            WriteIniString("Tools-" + QString::number(i + 1), "WorkingDir", work.path(), ini);
        }
        const QString backupTool = m_root->path() + "Bin/korvobackup";
        QVERIFY(WriteFile(backupTool, QByteArray()) && WriteFile(m_root->path() + "Bin/korvousers", QByteArray()));

        Session s(*m_root, "bob"); // no administrator: no user management
        QVERIFY(s.ok());
        RecordingLauncher launcher;
        s.window->setToolLauncher(&launcher);
        QCOMPARE(MenuIds(s.window->menu(cmd::MenuTools)), (QList<int>{165, 0, 168, 169, 170, 171, 172}));
        QStringList expected;
        for (int i = 0; i < int(std::size(tools)); ++i) {
            s.window->command(168 + i)->trigger();
            if (!tools[i].expected.isEmpty())
                expected << tools[i].expected;
            QCOMPARE(launcher.calls, expected);
        }
        s.window->command(165)->trigger();
        expected << "start " + backupTool + " --data-root|" + m_root->path() + " " + m_root->path() + "Bin";
        QCOMPARE(launcher.calls, expected);
        QVERIFY(m_root->ui.messages.isEmpty());

        // A program gone since the menu was built says so.
        QFile::remove(backupTool);
        s.window->command(165)->trigger();
        QCOMPARE(launcher.calls, expected);
        QCOMPARE(m_root->ui.messages.size(), 1);
        QVERIFY2(m_root->ui.messages[0].text.contains(backupTool), qPrintable(m_root->ui.messages[0].text));

        // The user manager only for administrators; the desktop launcher really runs the program.
        s.state->isAdministrator = true;
        s.window->rebuildToolsMenu();
        QCOMPARE(MenuIds(s.window->menu(cmd::MenuTools)).first(), 106);
        s.window->setToolLauncher(nullptr);
        s.window->command(168)->trigger();
        QTRY_VERIFY(QFile::exists(program + ".ran"));
    }

    void withoutStoredLayoutTheShowKeyDecides()
    {
        QVERIFY(WriteIniString("PLU", "Show", "10,0,2,75,3", m_root->iniPath()));
        Session s(*m_root);
        QVERIFY(s.ok());
        QHeaderView *h = Header(s);
        // Exactly the listed columns, in field-table order whatever the key's
        // order, in the standard width, with their captions.
        QCOMPARE(ShownOrder(h), QList<int>({0, 2, 3, 10, 75}));
        QCOMPARE(ShownOrder(SelectionHeader(s)), QList<int>({0, 2, 3, 10, 75}));
        for (int i = 0; i < kPluFieldCount; ++i) {
            QCOMPARE(h->visualIndex(i), i);
            QVERIFY(h->isSectionHidden(i) || h->sectionSize(i) >= 100);
            QCOMPARE(s.state->pluFields.at(i).Visible, !h->isSectionHidden(i));
        }
        // The chooser, closed by the delivered settings, offers the other 71.
        QVERIFY(!s.window->fieldChooser()->isVisible());
        s.window->dispatch(cmd::FieldChooser);
        QCOMPARE(s.window->fieldChooser()->wndFieldChooser->count(), kPluFieldCount - 5);
    }

    void dragHidesAndShowsColumns()
    {
        Session s(*m_root);
        QVERIFY(s.ok() && ShowWithChooser(s));
        FieldChooserWindow *chooser = s.window->fieldChooser();
        QHeaderView *h = Header(s);
        DropInto drop;
        chooser->setDragRunner(std::ref(drop));

        // Pulled out of the header and dropped on the chooser: hidden,
        // offered, nothing else moved, the selection list follows.
        const int field = ShownSectionAt(h, 2);
        QList<int> expected = ShownOrder(h);
        expected.removeOne(field);
        drop.target = chooser->wndFieldChooser->viewport();
        drop.at = QPoint(10, 10);
        const int sorted = ShownSectionAt(h, 0);
        s.window->pluList()->setSortColumns({{sorted, false}});
        DragSectionDown(h, field);
        QCOMPARE(s.window->pluList()->sortColumns().size(), 1); // a drag is no click
        QCOMPARE(s.window->pluList()->sortColumns().first().column, sorted);
        QCOMPARE(drop.drags, 1);
        QCOMPARE(drop.lastField, field);
        QVERIFY(ChooserFields(chooser).contains(field));
        QCOMPARE(ShownOrder(h), expected);
        QTRY_VERIFY(SelectionHeader(s)->isSectionHidden(field));

        // Pulled out but dropped on nothing that takes it: nothing changes. A
        // press and release inside the header starts no drag.
        const int other = ShownSectionAt(h, 0);
        drop.target = nullptr;
        DragSectionDown(h, other);
        QCOMPARE(drop.drags, 2);
        QCOMPARE(ShownOrder(h), expected);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, SectionCenter(h, other));
        QCOMPARE(drop.drags, 2);

        // Dragged from the chooser onto the left half of the first shown
        // section: shown again, in front of it.
        drop.target = h->viewport();
        drop.at = QPoint(h->sectionViewportPosition(other) + 5, h->viewport()->height() / 2);
        DragEntry(chooser, field);
        QCOMPARE(ShownSectionAt(h, 0), field);
        QCOMPARE(ShownSectionAt(h, 1), other);
        QVERIFY(!ChooserFields(chooser).contains(field));
        QTRY_COMPARE(ShownOrder(SelectionHeader(s)), ShownOrder(h));

        // Dropped on the right half of a section it lands after it.
        const int price = s.state->pluFields.indexOf("PLU_UPrice");
        QVERIFY(chooser->hideField(price));
        const int target = ShownSectionAt(h, 1);
        drop.at = QPoint(h->sectionViewportPosition(target) + h->sectionSize(target) - 5, h->viewport()->height() / 2);
        DragEntry(chooser, price);
        QCOMPARE(ShownSectionAt(h, 2), price);
        QCOMPARE(ShownSectionAt(h, 1), target);

        // The header takes only fields; the chooser only shown ones; the last
        // shown column stays.
        const QList<int> now = ShownOrder(h);
        QMimeData text;
        text.setText("PLU_UPrice");
        QDropEvent foreign(QPointF(drop.at), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(h->viewport(), &foreign);
        QVERIFY(!foreign.isAccepted());
        QCOMPARE(ShownOrder(h), now);
        const int hiddenOne = ChooserFields(chooser).first();
        std::unique_ptr<QMimeData> again(FieldChooserWindow::fieldMimeData(hiddenOne));
        QDropEvent twice(QPointF(10, 10), Qt::MoveAction, again.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(chooser->wndFieldChooser->viewport(), &twice);
        QVERIFY(!twice.isAccepted());
        QVERIFY(h->isSectionHidden(hiddenOne));
        // A sorted column's marker stays in the header.
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, SectionCenter(h, now.at(1)));
        QCOMPARE(s.window->pluList()->sortColumns().size(), 1);
        for (int f : now.mid(1))
            QVERIFY(chooser->hideField(f));
        QVERIFY(!chooser->hideField(now.first()));
        QCOMPARE(ShownOrder(h), QList<int>({now.first()}));
        QVERIFY(!chooser->showField(kPluFieldCount));
        QVERIFY(s.state->reportedErrors.isEmpty());
    }

    void chooserPlaceAndVisibilityPersist()
    {
        {
            Session s(*m_root);
            QVERIFY(s.ok());
            ClearUserStore(*s.state);
            QVERIFY(s.show());
            // Delivered closed; the View menu opens it off the tree and the header.
            s.window->dispatch(cmd::FieldChooser);
            FieldChooserWindow *c = s.window->fieldChooser();
            QVERIFY(c->isVisible());
            for (QWidget *w : {static_cast<QWidget *>(s.tree()), static_cast<QWidget *>(Header(s))})
                QVERIFY(!c->frameGeometry().intersects(QRect(w->mapToGlobal(QPoint(0, 0)), w->size())));
            // Closing it from the View menu keeps its place (in twips);
            // showing it puts it back there.
            c->setGeometry(100, 120, 180, 300);
            s.window->dispatch(cmd::FieldChooser);
            QVERIFY(!c->isVisible());
            QCOMPARE(s.state->userStore().value("FieldChooserLeft").toInt(), 100 * 15);
            c->move(300, 300);
            s.window->dispatch(cmd::FieldChooser);
            QCOMPARE(c->geometry(), QRect(100, 120, 180, 300));
            c->setGeometry(110, 130, 190, 310);
            s.window->close();
        }
        QCOMPARE(setting("ShowFieldChooser"), QStringLiteral("True"));
        {
            Session s(*m_root);
            QVERIFY(s.ok());
            QSettings &store = s.state->userStore();
            // Shown after the main window, so not behind it.
            QVERIFY(!s.window->fieldChooser()->isVisible());
            QVERIFY(s.show());
            QTRY_VERIFY(s.window->fieldChooser()->isVisible());
            QCOMPARE(s.window->fieldChooser()->geometry(), QRect(110, 130, 190, 310));
            // Minimised at the end: the stored place stays, and it counts as shown.
            s.window->fieldChooser()->setGeometry(400, 400, 150, 150);
            s.window->fieldChooser()->showMinimized();
            QTRY_VERIFY(s.window->fieldChooser()->isMinimized());
            s.window->close();
            QCOMPARE(store.value("FieldChooserLeft").toInt(), 110 * 15);
        }
        {
            // Closed at the end: closed at the next start.
            Session s(*m_root);
            QVERIFY(s.ok() && s.show());
            QTRY_VERIFY(s.window->fieldChooser()->isVisible());
            s.window->dispatch(cmd::FieldChooser);
            s.window->close();
        }
        QCOMPARE(setting("ShowFieldChooser"), QStringLiteral("False"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
