// The PLU list of the main window driven through its real controls: the
// tree, the page bar, the query boxes, the list header and its rows. The
// paging and search rules themselves are the browser's (manage tests).

#include "UiTestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "core/PluFields.h"
#include "ui/Commands.h"
#include "ui/PagePane.h"
#include "ui/PluListController.h"
#include "ui/PluListWidget.h"
#include "ui/QueryPane.h"

#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QtTest>

using namespace korvo;
using namespace korvo::test;

Q_DECLARE_METATYPE(korvo::PluSearchResult)

namespace {

constexpr int kNo = 0, kPrice = 2, kMg = 7;

void Click(QPushButton *b) { QTest::mouseClick(b, Qt::LeftButton); }

} // namespace

class TestPluList : public QObject {
    Q_OBJECT

private:
    TestDataRoot m_root;
    std::unique_ptr<Session> m_session;

    AppState &state() { return *m_session->state; }
    MainWindow *window() const { return m_session->window.get(); }
    PluListWidget *list() const { return window()->pluList(); }
    PagePane *bar() const { return window()->pagePane(); }
    QueryPane *query() const { return window()->queryPane(); }
    StoreTreePane *tree() const { return window()->storeTree(); }
    QStringList values(const QString &sql) { return SqlColumn(state(), sql); }

    QStringList column(int c, bool selectedOnly = false) const
    {
        QStringList out;
        for (int r = 0; r < list()->rowCount(); ++r)
            if (!selectedOnly || list()->selectedRowNumbers().contains(r))
                out << list()->rowCells(r).value(c);
        return out;
    }
    QStringList sortedNumbers() const
    {
        QStringList out = column(kNo);
        out.sort();
        return out;
    }

    QString pageBar() const
    {
        return bar()->txtPageNo->text() + "/" + bar()->txtPageCount->text()
             + (bar()->cmdPrevious->isEnabled() ? " prev" : "") + (bar()->cmdNext->isEnabled() ? " next" : "");
    }

    void clickNode(const QString &key)
    {
        QTreeWidgetItem *node = tree()->findNode(key);
        QVERIFY2(node, qPrintable(key));
        ClickNode(tree(), node);
        QCOMPARE(tree()->selectedNode(), node);
    }

    // Types into the page box and moves the focus on to another control.
    void typePage(const QString &text)
    {
        TypeInto(bar()->txtPageNo, text);
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

    void addPlu(int no, int mg, const QString &name, const QString &itemCode = {}, const QString &ean = {})
    {
        QVERIFY(QueryKorvoDB(state(), QStringLiteral("insert into PLU(PLU_No,PLU_MG,PLU_Commodity,PLU_ItemCode,"
                                                     "PLU_EANData,PLU_UPrice) values(%1,%2,%3,%4,%5,1)")
                                          .arg(no)
                                          .arg(mg)
                                          .arg(SqlValue(ValueKind::Text, name), SqlValue(ValueKind::Text, itemCode),
                                               SqlValue(ValueKind::Text, ean))));
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<korvo::PluSearchResult>();
        QVERIFY2(m_root.ok(), qPrintable(m_root.error()));
        {
            auto setup = m_root.loadedState();
            QVERIFY(setup);
            QVERIFY(QueryKorvoDB(*setup, "insert into DEPT(DP_No,DP_Name,ST_No) values(5,'Empty',1)"));
            CloseDBConnections(*setup);
        }
        QVERIFY(WriteIniString("Setting", "PLUPageSize", "10", m_root.iniPath()));
        m_session = std::make_unique<Session>(m_root);
        QVERIFY(m_session->ok());
        addPlu(9001, 101, "Milk whole", "123", "0000000012345");
        addPlu(9002, 301, "Buttermilk");
        addPlu(9003, 302, "O'Neil's milk", "123");
        addPlu(9004, 401, "milk loaf", "", "000000001239");
        for (int i = 0; i < 12; ++i)
            addPlu(9100 + i, 102, QStringLiteral("Test milk %1").arg(i));
        window()->resize(1200, 900);
        QVERIFY(m_session->show());
        window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window()));
    }

    void pagingThroughTheBar()
    {
        // The start shows the store's first page.
        QCOMPARE(StoreTreePane::kindOf(tree()->selectedNode()), NodeKind::Store);
        QCOMPARE(column(kNo), values("select PLU_No from PLU order by PLU_No limit 10"));
        QVERIFY(pageBar().startsWith("1/") && pageBar().endsWith(" next"));

        const QStringList all = values("select PLU_No from PLU where PLU_MG=201 order by PLU_No");
        QCOMPARE(all.size(), 22);
        Click(bar()->cmdFirstPage);
        clickNode("MG201");
        QCOMPARE(pageBar(), QString("1/3 next"));
        Click(bar()->cmdNext);
        QCOMPARE(pageBar(), QString("2/3 prev next"));
        QCOMPARE(column(kNo), all.mid(10, 10));
        Click(bar()->cmdLastPage);
        QCOMPARE(pageBar(), QString("3/3 prev"));
        QCOMPARE(column(kNo), all.mid(20));
        Click(bar()->cmdPrevious);
        QCOMPARE(pageBar(), QString("2/3 prev next"));

        // The page box applies when the focus leaves it or on Return, clamped.
        TypeInto(bar()->txtPageNo, "999");
        QCOMPARE(column(kNo), all.mid(10, 10)); // typing alone runs nothing
        typePage("999");
        QCOMPARE(pageBar(), QString("3/3 prev"));
        TypeInto(bar()->txtPageNo, "2");
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
        QSignalSpy searched(window()->pluListController(), &PluListController::searched);
        auto lastResult = [&] { return searched.last().at(0).value<PluSearchResult>(); };
        // Each box searches by Return (or Enter) and by its button, under the
        // selected node; a hit is selected in the list.
        auto search = [&](QLineEdit *box, const QString &text, QPushButton *button = nullptr) {
            TypeInto(box, text);
            if (button)
                Click(button);
            else
                QTest::keyClick(box, box == query()->txtQueryByPLUNo ? Qt::Key_Enter : Qt::Key_Return);
        };
        clickNode("Dept3");
        search(query()->txtQueryByPLUName, "  milk ");
        QCOMPARE(sortedNumbers(), (QStringList{"9002", "9003"}));
        QCOMPARE(column(kNo, true), QStringList{QString::number(lastResult().firstHit)});
        clickNode("MG302");
        search(query()->txtQueryByPLUName, "milk", query()->cmdQueryByName);
        QCOMPARE(column(kNo), QStringList{"9003"});
        // Blanks only, or 0 as a PLU number: nothing happens at all.
        search(query()->txtQueryByPLUName, "   ");
        search(query()->txtQueryByPLUNo, "0", query()->cmdQuerybyPLUNo);
        QCOMPARE(searched.size(), 2);
        clickNode("Dept2");
        search(query()->txtQueryByPLUNo, "12", query()->cmdQuerybyPLUNo);
        QCOMPARE(list()->rowCount(), 0);
        QCOMPARE(lastResult().editorState, QString("SAVE"));
        clickNode("Root");
        search(query()->txtQueryByItemCode, "00123");
        QCOMPARE(sortedNumbers(), (QStringList{"9001", "9003"}));
        search(query()->txtQueryByEANData, "123");
        QCOMPARE(sortedNumbers(), (QStringList{"9001", "9004"}));

        // A search from page 4 shows the last page of its 2-page result, and
        // the page commands then page through the result.
        clickNode("Dept1");
        TypeInto(bar()->txtPageNo, "4");
        QTest::keyClick(bar()->txtPageNo, Qt::Key_Return);
        search(query()->txtQueryByPLUName, "milk");
        QCOMPARE(pageBar(), QString("2/2 prev"));
        QCOMPARE(list()->rowCount(), 3); // 13 hits in department 1
        Click(bar()->cmdPrevious);
        QCOMPARE(pageBar(), QString("1/2 next"));

        // A search box selects its whole text when it gets the focus.
        query()->txtQueryByItemCode->setText("4711");
        QTest::mouseClick(query()->txtQueryByItemCode, Qt::LeftButton);
        QTRY_COMPARE(query()->txtQueryByItemCode->selectedText(), QString("4711"));
    }

    void sortByHeaderClicks()
    {
        clickNode("MG201");
        Click(bar()->cmdFirstPage);
        const QString priceCaption = state().pluFields.at(kPrice).Caption;
        clickHeader(kPrice);
        QCOMPARE(list()->sortColumns().size(), 1);
        QCOMPARE(column(kNo), values("select PLU_No from PLU where PLU_MG=201 order by PLU_UPrice, PLU_No limit 10"));
        QCOMPARE(list()->horizontalHeaderItem(kPrice)->text(), priceCaption + " \u25B2");

        // Ctrl adds a column behind the first; the order holds for the next node.
        clickHeader(kMg, Qt::ControlModifier);
        QCOMPARE(list()->sortColumns().size(), 2);
        QCOMPARE(list()->horizontalHeaderItem(kPrice)->text(), priceCaption + " \u25B21");
        QVERIFY(list()->horizontalHeaderItem(kMg)->text().endsWith(" \u25B22"));
        clickNode("Dept2");
        QCOMPARE(column(kNo), values("select PLU_No from PLU where PLU_MG in (select MG_No from MG "
                                     "where DP_No=2) order by PLU_UPrice, PLU_MG, PLU_No limit 10"));

        // A plain click sorts by that column alone; a second click on it
        // sorts the other way round, and says so.
        clickHeader(kNo);
        QCOMPARE(list()->horizontalHeaderItem(kPrice)->text(), priceCaption);
        clickHeader(kNo);
        QCOMPARE(list()->horizontalHeaderItem(kNo)->text(), state().pluFields.at(kNo).Caption + " \u25BC");
        QCOMPARE(column(kNo), values("select PLU_No from PLU where PLU_MG in (select MG_No from MG "
                                     "where DP_No=2) order by PLU_No desc limit 10"));

        // Hiding the sort column takes it out of the order.
        list()->horizontalHeader()->hideSection(kNo);
        QTRY_VERIFY(list()->sortColumns().isEmpty());
        list()->horizontalHeader()->showSection(kNo);
    }

    void multiLineNamesShowTheirLines()
    {
        clickNode("Root");
        TypeInto(query()->txtQueryByPLUNo, "1");
        Click(query()->cmdQuerybyPLUNo);
        const QModelIndex name = list()->model()->index(0, state().pluFields.indexOf("PLU_Commodity"));
        QVERIFY(name.data().toString().contains('\r')); // "Bananas\rripe, loose"
        QCOMPARE(qobject_cast<QStyledItemDelegate *>(list()->itemDelegate())->displayText(name.data(), QLocale()),
                 name.data().toString().replace('\r', " | "));
    }

    void selectionPicksTheRow()
    {
        clickNode("MG201");
        Click(bar()->cmdFirstPage);
        QSignalSpy picked(window()->pluListController(), &PluListController::rowPicked);
        clickRow(1);
        QCOMPARE(picked.size(), 1);
        QCOMPARE(picked.last().at(0).toInt(), column(kNo).value(1).toInt());
        QCOMPARE(window()->pluListController()->browser().firstHit, column(kNo).value(1).toInt());
        // The row event takes the first selected row.
        clickRow(3, Qt::ControlModifier);
        QCOMPARE(picked.last().at(0).toInt(), column(kNo).value(1).toInt());
        // A new page has no selection.
        Click(bar()->cmdNext);
        QCOMPARE(list()->selectedRowCount(), 0);
        QVERIFY(!window()->command(cmd::DeletePlu)->isEnabled());
    }

    void cleanupTestCase() { m_session.reset(); }
};

QTEST_MAIN(TestPluList)
#include "tst_plulist.moc"
