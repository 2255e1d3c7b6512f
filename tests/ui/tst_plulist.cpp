// The PLU list of the main window driven through its real controls: the
// tree, the page bar, the query box, the list header and its rows.

#include "UiTestSupport.h"
#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/PluFields.h"
#include "ui/Commands.h"
#include "ui/MainWindow.h"
#include "ui/PagePane.h"
#include "ui/PluListController.h"
#include "ui/PluListWidget.h"
#include "ui/QueryPane.h"
#include "ui/StoreTreePane.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace korvo;
using namespace korvo::test;

Q_DECLARE_METATYPE(korvo::PluSearchResult)

namespace {

constexpr int kNo = 0, kPrice = 2, kMg = 7;

} // namespace

class TestPluList : public QObject {
    Q_OBJECT

private:
    TestDataRoot m_root;
    QueuedSignIn m_signIn;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<MainWindow> m_window;

    PluListWidget *list() const { return m_window->pluList(); }
    PagePane *bar() const { return m_window->pagePane(); }
    QueryPane *query() const { return m_window->queryPane(); }
    StoreTreePane *tree() const { return m_window->storeTree(); }

    void run(const QString &sql) { QVERIFY2(QueryKorvoDB(*m_state, sql).has_value(), qPrintable(sql)); }

    QStringList values(const QString &sql)
    {
        QStringList out;
        auto q = QueryKorvoDB(*m_state, sql);
        while (q && q->next())
            out << q->value(0).toString();
        return out;
    }

    QStringList column(int c) const
    {
        QStringList out;
        for (int r = 0; r < list()->rowCount(); ++r)
            out << list()->rowCells(r).value(c);
        return out;
    }

    QStringList selectedPlus() const
    {
        QStringList out;
        for (int r : list()->selectedRowNumbers())
            out << list()->rowCells(r).value(kNo);
        return out;
    }

    QString pageBar() const
    {
        return bar()->txtPageNo->text() + "/" + bar()->txtPageCount->text()
             + (bar()->cmdPrevious->isEnabled() ? " prev" : "")
             + (bar()->cmdNext->isEnabled() ? " next" : "");
    }

    void clickNode(const QString &key)
    {
        QTreeWidgetItem *node = tree()->findNode(key);
        QVERIFY2(node, qPrintable(key));
        tree()->scrollToItem(node);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualItemRect(node).center());
        QCOMPARE(tree()->selectedNode(), node);
    }

    static void click(QPushButton *b) { QTest::mouseClick(b, Qt::LeftButton); }

    // Types into a box the way a person does: focus, select, type.
    static void type(QLineEdit *box, const QString &text)
    {
        box->setFocus(Qt::MouseFocusReason);
        box->selectAll();
        QTest::keyClicks(box, text);
    }

    void leavePageBox()
    {
        // Focus moves on to another control of the window.
        query()->txtQueryByPLUNo->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }

    void clickHeader(int column, Qt::KeyboardModifiers mods = {})
    {
        QHeaderView *h = list()->horizontalHeader();
        const QPoint at(h->sectionViewportPosition(column) + h->sectionSize(column) / 2, h->height() / 2);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, mods, at);
    }

    void clickRow(int row, Qt::KeyboardModifiers mods = {})
    {
        const QRect r = list()->visualRect(list()->model()->index(row, kNo));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, mods, r.center());
    }

    void addPlu(int no, int mg, const QString &name, const QString &itemCode = {},
                const QString &ean = {})
    {
        run(QStringLiteral("insert into PLU(PLU_No,PLU_MG,PLU_Commodity,PLU_ItemCode,PLU_EANData,"
                           "PLU_UPrice) values(%1,%2,%3,%4,%5,1)")
                .arg(no)
                .arg(mg)
                .arg(SqlValue(ValueKind::Text, name), SqlValue(ValueKind::Text, itemCode),
                     SqlValue(ValueKind::Text, ean)));
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<korvo::PluSearchResult>();
        QVERIFY2(m_root.ok(), qPrintable(m_root.error()));
        m_state = m_root.loadedState();
        QVERIFY(m_state);
        m_state->settings.PLUPageSize = 10;
        run("insert into DEPT(DP_No,DP_Name,ST_No) values(5,'Empty',1)");
        addPlu(9001, 101, "Milk whole", "123", "0000000012345");
        addPlu(9002, 301, "Buttermilk");
        addPlu(9003, 302, "O'Neil's milk", "123");
        addPlu(9004, 401, "milk loaf", "", "000000001239");
        for (int i = 0; i < 12; ++i)
            addPlu(9100 + i, 102, QStringLiteral("Test milk %1").arg(i));
        m_window = std::make_unique<MainWindow>(*m_state, &m_signIn);
        m_window->setProgramEnder([] {});
        m_window->resize(1200, 900);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    void startsOnTheStore()
    {
        const int all = values("select count(*) from PLU").value(0).toInt();
        QCOMPARE(StoreTreePane::kindOf(tree()->selectedNode()), NodeKind::Store);
        QCOMPARE(list()->rowCount(), 10);
        QCOMPARE(pageBar(), QString("1/%1 next").arg((all + 9) / 10));
        QCOMPARE(column(kNo), values("select PLU_No from PLU order by PLU_No limit 10"));
    }

    void pagingThroughTheBar()
    {
        const QStringList all = values("select PLU_No from PLU where PLU_MG=201 order by PLU_No");
        QCOMPARE(all.size(), 22);
        bar()->txtPageNo->clear();
        click(bar()->cmdFirstPage);
        clickNode("MG201");
        QCOMPARE(pageBar(), QString("1/3 next"));
        QCOMPARE(column(kNo), all.mid(0, 10));

        click(bar()->cmdNext);
        QCOMPARE(pageBar(), QString("2/3 prev next"));
        QCOMPARE(column(kNo), all.mid(10, 10));
        click(bar()->cmdLastPage);
        QCOMPARE(pageBar(), QString("3/3 prev"));
        QCOMPARE(column(kNo), all.mid(20));
        click(bar()->cmdPrevious);
        QCOMPARE(pageBar(), QString("2/3 prev next"));
        click(bar()->cmdFirstPage);
        QCOMPARE(pageBar(), QString("1/3 next"));

        // The page box applies when the focus leaves it, clamped.
        type(bar()->txtPageNo, "999");
        QCOMPARE(list()->rowCount(), 10); // typing alone runs nothing
        leavePageBox();
        QCOMPARE(pageBar(), QString("3/3 prev"));
        QCOMPARE(column(kNo), all.mid(20));
        type(bar()->txtPageNo, "abc");
        leavePageBox();
        QCOMPARE(pageBar(), QString("1/3 next"));
        type(bar()->txtPageNo, "99999999999999999999");
        leavePageBox();
        QCOMPARE(pageBar(), QString("3/3 prev"));
        type(bar()->txtPageNo, "2");
        QTest::keyClick(bar()->txtPageNo, Qt::Key_Return);
        QCOMPARE(pageBar(), QString("2/3 prev next"));
        QCOMPARE(column(kNo), all.mid(10, 10));
        QVERIFY(bar()->txtPageCount->isReadOnly());

        // Nothing under the node: 1 / 1, neither way enabled.
        clickNode("Dept5");
        QCOMPARE(list()->rowCount(), 0);
        QCOMPARE(pageBar(), QString("1/1"));
    }

    void searchesThroughTheBoxes()
    {
        QSignalSpy searched(m_window->pluListController(), &PluListController::searched);
        auto lastResult = [&] { return searched.last().at(0).value<PluSearchResult>(); };

        // Name under a department: only its main groups, the hit selected.
        clickNode("Dept3");
        type(query()->txtQueryByPLUName, "  milk ");
        QTest::keyClick(query()->txtQueryByPLUName, Qt::Key_Return);
        QCOMPARE(searched.size(), 1);
        QStringList hits = column(kNo);
        hits.sort();
        QCOMPARE(hits, (QStringList{"9002", "9003"}));
        QVERIFY(lastResult().hit);
        QCOMPARE(lastResult().editorState, QString("EDIT"));
        QCOMPARE(selectedPlus(), QStringList{QString::number(lastResult().firstHit)});
        QCOMPARE(pageBar(), QString("1/1"));

        // Under a main group by the button.
        clickNode("MG302");
        click(query()->cmdQueryByName);
        QCOMPARE(column(kNo), QStringList{"9003"});
        QCOMPARE(column(kMg), QStringList{"302"});

        // Blanks only: nothing happens at all.
        const QStringList before = column(kNo);
        type(query()->txtQueryByPLUName, "   ");
        QTest::keyClick(query()->txtQueryByPLUName, Qt::Key_Return);
        QCOMPARE(searched.size(), 2);
        QCOMPARE(column(kNo), before);

        // PLU number under the store: numeric prefix; 0 does nothing.
        clickNode("Root");
        type(query()->txtQueryByPLUNo, "12abc");
        QTest::keyClick(query()->txtQueryByPLUNo, Qt::Key_Enter);
        QCOMPARE(column(kNo), QStringList{"12"});
        QCOMPARE(selectedPlus(), QStringList{"12"});
        type(query()->txtQueryByPLUNo, "0");
        QTest::keyClick(query()->txtQueryByPLUNo, Qt::Key_Return);
        QCOMPARE(searched.size(), 3);
        QCOMPARE(column(kNo), QStringList{"12"});
        // Not under the department it is not in.
        clickNode("Dept2");
        type(query()->txtQueryByPLUNo, "12");
        click(query()->cmdQuerybyPLUNo);
        QCOMPARE(list()->rowCount(), 0);
        QVERIFY(!lastResult().hit);
        QCOMPARE(lastResult().editorState, QString("SAVE"));

        // Item code by number value, EAN data with a short entry: rows
        // listed, no hit selected.
        clickNode("Root");
        type(query()->txtQueryByItemCode, "00123");
        QTest::keyClick(query()->txtQueryByItemCode, Qt::Key_Return);
        hits = column(kNo);
        hits.sort();
        QCOMPARE(hits, (QStringList{"9001", "9003"}));
        type(query()->txtQueryByEANData, "123");
        QTest::keyClick(query()->txtQueryByEANData, Qt::Key_Return);
        hits = column(kNo);
        hits.sort();
        QCOMPARE(hits, (QStringList{"9001", "9004"}));
        QVERIFY(!lastResult().hit);
        QCOMPARE(lastResult().editorState, QString("NEW"));
        QVERIFY(selectedPlus().isEmpty());

        // A search from page 4 shows the last page of its 2-page result,
        // and the page commands then page through the result.
        clickNode("Dept1");
        type(bar()->txtPageNo, "4");
        QTest::keyClick(bar()->txtPageNo, Qt::Key_Return);
        QCOMPARE(bar()->txtPageNo->text(), QString("4"));
        type(query()->txtQueryByPLUName, "milk");
        QTest::keyClick(query()->txtQueryByPLUName, Qt::Key_Return);
        QCOMPARE(pageBar(), QString("2/2 prev"));
        QCOMPARE(list()->rowCount(), 3); // 13 hits in department 1
        click(bar()->cmdPrevious);
        QCOMPARE(pageBar(), QString("1/2 next"));
        for (const QString &mg : column(kMg))
            QVERIFY2(QStringList({"101", "102", "103"}).contains(mg), qPrintable(mg));

        // A search box selects its whole text when it gets the focus.
        leavePageBox();
        query()->txtQueryByItemCode->setText("4711");
        QTest::mouseClick(query()->txtQueryByItemCode, Qt::LeftButton);
        QTRY_COMPARE(query()->txtQueryByItemCode->selectedText(), QString("4711"));
    }

    void sortByHeaderClicks()
    {
        clickNode("MG201");
        click(bar()->cmdFirstPage);
        clickHeader(kPrice);
        QCOMPARE(list()->sortColumns().size(), 1);
        QCOMPARE(list()->sortColumns()[0].column, kPrice);
        QCOMPARE(column(kNo), values("select PLU_No from PLU where PLU_MG=201 "
                                     "order by PLU_UPrice, PLU_No limit 10"));
        const QString priceCaption = m_state->pluFields.at(kPrice).Caption;
        QCOMPARE(list()->horizontalHeaderItem(kPrice)->text(), priceCaption + " \u25B2");

        // Ctrl adds a column behind the first.
        clickHeader(kMg, Qt::ControlModifier);
        QCOMPARE(list()->sortColumns().size(), 2);
        QCOMPARE(list()->sortColumns()[1].column, kMg);
        QCOMPARE(list()->horizontalHeaderItem(kPrice)->text(), priceCaption + " \u25B21");
        QVERIFY(list()->horizontalHeaderItem(kMg)->text().endsWith(" \u25B22"));
        clickNode("Dept2");
        QCOMPARE(column(kNo), values("select PLU_No from PLU where PLU_MG in (select MG_No from MG "
                                     "where DP_No=2) order by PLU_UPrice, PLU_MG, PLU_No limit 10"));

        // A plain click sorts by that column alone.
        clickHeader(kNo);
        QCOMPARE(list()->sortColumns().size(), 1);
        QCOMPARE(list()->sortColumns()[0].column, kNo);
        QCOMPARE(list()->horizontalHeaderItem(kPrice)->text(), priceCaption);
        QCOMPARE(column(kNo), values("select PLU_No from PLU where PLU_MG in (select MG_No from MG "
                                     "where DP_No=2) order by PLU_No limit 10"));
    }

    void selectionBindsTheEditCommands()
    {
        clickNode("MG201");
        click(bar()->cmdFirstPage);
        QSignalSpy picked(m_window->pluListController(), &PluListController::rowPicked);
        QAction *edit = m_window->command(cmd::EditPlu);
        QAction *del = m_window->command(cmd::DeletePlu);
        QVERIFY(edit && del);
        list()->clearSelection();
        QVERIFY(!edit->isEnabled() && !del->isEnabled());

        clickRow(1);
        QVERIFY(edit->isEnabled() && del->isEnabled());
        QCOMPARE(picked.size(), 1);
        QCOMPARE(picked.last().at(0).toInt(), column(kNo).value(1).toInt());
        QCOMPARE(m_window->pluListController()->browser().firstHit, column(kNo).value(1).toInt());

        clickRow(3, Qt::ControlModifier);
        QCOMPARE(list()->selectedRowCount(), 2);
        QVERIFY(!edit->isEnabled() && del->isEnabled());
        // The row event takes the first selected row.
        QCOMPARE(picked.last().at(0).toInt(), column(kNo).value(1).toInt());

        // A new page has no selection.
        click(bar()->cmdNext);
        QCOMPARE(list()->selectedRowCount(), 0);
        QVERIFY(!edit->isEnabled() && !del->isEnabled());
    }

    void refreshKeepsThePage()
    {
        clickNode("MG201");
        click(bar()->cmdFirstPage);
        click(bar()->cmdNext);
        QCOMPARE(pageBar(), QString("2/3 prev next"));
        addPlu(9500, 201, "Veal cheeks");
        m_window->dispatch(cmd::Refresh);
        // The tree is rebuilt with the store selected, on the same page.
        QCOMPARE(StoreTreePane::kindOf(tree()->selectedNode()), NodeKind::Store);
        const int all = values("select count(*) from PLU").value(0).toInt();
        QCOMPARE(pageBar(), QString("2/%1 prev next").arg((all + 9) / 10));
        click(bar()->cmdLastPage);
        QCOMPARE(column(kNo).constLast(), QString("9500"));
    }

    void cleanupTestCase()
    {
        m_window.reset();
        m_state.reset();
    }
};

QTEST_MAIN(TestPluList)
#include "tst_plulist.moc"
