#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "manage/PluBrowser.h"
#include "core/PluFields.h"

#include <QTest>

#include <limits>

using namespace korvo;

namespace {

// Keeps the page as the window's list would.
class PageView : public PluListView {
public:
    QVector<SortColumn> sort;
    QVector<QStringList> rows;
    QVector<SortColumn> sortColumns() const override { return sort; }
    void clearRows() override { rows.clear(); }
    void addRow(const QStringList &cells, int) override { rows << cells; }
    void repaintList() override {}

    QStringList column(int c) const
    {
        QStringList out;
        for (const QStringList &r : rows)
            out << r.value(c);
        return out;
    }
};

constexpr int kNo = 0, kItemCode = 1, kPrice = 2, kEan = 6, kMg = 7, kName = 69;

const PluNode kStore{PluNodeKind::Store, QStringLiteral("1")};
PluNode dept(int d) { return {PluNodeKind::Department, QString::number(d)}; }
PluNode group(int m) { return {PluNodeKind::MainGroup, QString::number(m)}; }

} // namespace

class TestPluBrowser : public QObject {
    Q_OBJECT

private:
    test::TestDataRoot m_root;
    std::unique_ptr<AppState> m_state;

    void run(const QString &sql) { QVERIFY2(QueryKorvoDB(*m_state, sql).has_value(), qPrintable(sql)); }

    QStringList values(const QString &sql)
    {
        QStringList out;
        auto q = QueryKorvoDB(*m_state, sql);
        while (q && q->next())
            out << q->value(0).toString();
        return out;
    }

    void addPlu(int no, int mg, const QString &name, const QString &itemCode = {},
                const QString &ean = {}, double price = 1.0)
    {
        run(QStringLiteral("insert into PLU(PLU_No,PLU_MG,PLU_Commodity,PLU_ItemCode,PLU_EANData,"
                           "PLU_UPrice) values(%1,%2,%3,%4,%5,%6)")
                .arg(no)
                .arg(mg)
                .arg(SqlValue(ValueKind::Text, name), SqlValue(ValueKind::Text, itemCode),
                     SqlValue(ValueKind::Text, ean))
                .arg(price));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_root.ok(), qPrintable(m_root.error()));
        m_state = m_root.loadedState();
        QVERIFY(m_state);
        m_state->settings.PLUPageSize = 10;
        // Search targets beside the demo shop, which has no milk and no
        // apostrophes. Department 1: groups 101-103, 2: 201-204, 3: 301-303,
        // 4: 401-402.
        addPlu(9001, 101, QStringLiteral("Milk whole"), QStringLiteral("123"),
               QStringLiteral("0000000012345"));
        addPlu(9002, 301, QStringLiteral("Buttermilk"), QStringLiteral("00123"));
        addPlu(9003, 302, QStringLiteral("O'Neil's MILK"), QStringLiteral("123"));
        addPlu(9004, 401, QStringLiteral("milk loaf"), QString(), QStringLiteral("000000001239"));
        addPlu(9005, 202, QStringLiteral("Lamb chops"), QStringLiteral("123"),
               QStringLiteral("000000001234"));
        for (int i = 0; i < 12; ++i)
            addPlu(9100 + i, 102, QStringLiteral("Test milk %1").arg(i));
        run(QStringLiteral("insert into DEPT(DP_No,DP_Name,ST_No) values(5,'Empty',1)"));
    }

    void init() { m_root.ui.messages.clear(); }

    void conditionTexts()
    {
        QCOMPARE(PluBrowser::nodeCondition(kStore), QString());
        QCOMPARE(PluBrowser::nodeCondition(dept(3)),
                 QString("PLU_MG in ( select MG_no from MG where DP_no=3 )"));
        QCOMPARE(PluBrowser::nodeCondition(group(301)), QString("[PLU_MG]=301"));
        QCOMPARE(PluBrowser::nodeCondition({PluNodeKind::None, "4"}), QString());
        // Only the number of a tag reaches the statement.
        QCOMPARE(PluBrowser::nodeCondition({PluNodeKind::MainGroup, "7 or 1=1"}),
                 QString("[PLU_MG]=7"));

        QCOMPARE(PluBrowser::limitToNode("C", kStore), QString("C"));
        QCOMPARE(PluBrowser::limitToNode("C", dept(2)),
                 QString("C and PLU_MG in ( select MG_no from MG where DP_no=2 )"));
        QCOMPARE(PluBrowser::limitToNode("C", group(201)), QString("C and PLU_MG=201"));

        auto where = [](PluSearchKind k, const QString &t) {
            const auto c = PluBrowser::searchCondition(k, t);
            return c ? c->where : QStringLiteral("<nothing>");
        };
        auto loads = [](PluSearchKind k, const QString &t) {
            return PluBrowser::searchCondition(k, t).value_or(SearchCondition{}).loadsHit;
        };
        using K = PluSearchKind;
        QCOMPARE(where(K::PluNo, "12abc"), QString("PLU_No=12 "));
        QCOMPARE(where(K::PluNo, "0"), QString("<nothing>"));
        QCOMPARE(where(K::PluNo, "abc"), QString("<nothing>"));
        QCOMPARE(where(K::PluNo, ""), QString("<nothing>"));

        QCOMPARE(where(K::ItemCode, "00123"), QString("PLU_ItemCode='123' "));
        QCOMPARE(where(K::ItemCode, "12.50x"), QString("PLU_ItemCode='12.5' "));
        QVERIFY(loads(K::ItemCode, "00123"));
        QCOMPARE(where(K::ItemCode, "abc"), QString("PLU_ItemCode='0' "));
        QVERIFY(!loads(K::ItemCode, "abc"));

        QCOMPARE(where(K::EanData, "123"), QString("PLU_EANData like'00000000123%%'"));
        QVERIFY(!loads(K::EanData, "123"));
        QVERIFY(loads(K::EanData, "123456789012"));
        QVERIFY(!loads(K::EanData, "1234567890123"));
        QCOMPARE(PluBrowser::eanPattern("0000000000000123"), QString("00000000123"));
        QCOMPARE(PluBrowser::eanPattern("98765432109876543210"), QString("98765432109876543210"));
        QCOMPARE(PluBrowser::eanPattern(" 42 "), QString("00000000042"));
        QCOMPARE(PluBrowser::eanPattern("12.6"), QString("00000000013"));
        QCOMPARE(PluBrowser::eanPattern("-5"), QString("-00000000005"));
        QCOMPARE(PluBrowser::eanPattern("27ab"), QString("27ab"));
        QCOMPARE(where(K::EanData, "O'1"), QString("PLU_EANData like'O''1%%'"));

        QCOMPARE(where(K::Name, "  milk \t"), QString("PLU_Commodity like'%%milk%%'"));
        QCOMPARE(where(K::Name, "O'Neil"), QString("PLU_Commodity like'%%O''Neil%%'"));
        QCOMPARE(where(K::Name, "   "), QString("<nothing>"));

        QCOMPARE(PluBrowser::pageBoxValue("999"), 999);
        QCOMPARE(PluBrowser::pageBoxValue("abc"), 0);
        QCOMPARE(PluBrowser::pageBoxValue(" 12abc"), 12);
        QCOMPARE(PluBrowser::pageBoxValue("99999999999999999999"), std::numeric_limits<qint32>::max());
        QCOMPARE(PluBrowser::pageBoxValue("-3"), -3);
    }

    void pagingClamps()
    {
        PageView v;
        PluBrowser b(*m_state, v);
        const QStringList all = values("select PLU_No from PLU where PLU_MG=201 order by PLU_No");
        QCOMPARE(all.size(), 22);

        QVERIFY(b.showNode(group(201)));
        QCOMPARE(b.currentPage, 1);
        QCOMPARE(b.pageCount, 3);
        QCOMPARE(b.currentMainGroup, 201);
        QCOMPARE(v.column(kNo), all.mid(0, 10));
        QVERIFY(!b.previousEnabled());
        QVERIFY(b.nextEnabled());

        QVERIFY(b.nextPage());
        QCOMPARE(v.column(kNo), all.mid(10, 10));
        QVERIFY(b.previousEnabled() && b.nextEnabled());
        QVERIFY(b.nextPage() && b.nextPage());
        QCOMPARE(b.currentPage, 3);
        QCOMPARE(v.column(kNo), all.mid(20));
        QVERIFY(b.previousEnabled() && !b.nextEnabled());

        QVERIFY(b.pageBox("999"));
        QCOMPARE(b.currentPage, 3);
        QVERIFY(b.pageBox("abc"));
        QCOMPARE(b.currentPage, 1);
        QCOMPARE(v.column(kNo), all.mid(0, 10));
        QVERIFY(b.pageBox("99999999999999999999"));
        QCOMPARE(b.currentPage, 3);
        QVERIFY(b.pageBox("-4"));
        QCOMPARE(b.currentPage, 1);
        QVERIFY(b.pageBox("2"));
        QCOMPARE(v.column(kNo), all.mid(10, 10));
        QVERIFY(b.previousPage() && b.previousPage());
        QCOMPARE(b.currentPage, 1);
        QVERIFY(b.lastPage());
        QCOMPARE(b.currentPage, 3);
        QVERIFY(b.firstPage());
        QCOMPARE(b.currentPage, 1);

        // A node selection keeps the page number, clamped to the new node.
        QVERIFY(b.lastPage());
        QVERIFY(b.showNode(dept(1)));
        QCOMPARE(b.currentPage, 3);
        QVERIFY(b.pageCount > 3);
        for (const QString &mg : v.column(kMg))
            QVERIFY2(QStringList({"101", "102", "103"}).contains(mg), qPrintable(mg));

        // A node of no known kind runs nothing: list and page stay.
        const QVector<QStringList> before = v.rows;
        QVERIFY(b.showNode({PluNodeKind::None, "201"}));
        QCOMPARE(v.rows, before);
        QCOMPARE(b.currentPage, 3);

        // Nothing under the node: an empty list on page 1 of 1.
        QVERIFY(b.showNode(dept(5)));
        QVERIFY(v.rows.isEmpty());
        QCOMPARE(b.currentPage, 1);
        QCOMPARE(b.pageCount, 1);
        QVERIFY(!b.previousEnabled() && !b.nextEnabled());
        QVERIFY(b.nextPage());
        QCOMPARE(b.currentPage, 1);

        // Refresh re-runs the node's query on the current page and sees new rows.
        QVERIFY(b.showNode(group(201)));
        QVERIFY(b.lastPage());
        addPlu(9500, 201, "Veal cheeks");
        QVERIFY(b.redo());
        QCOMPARE(b.currentPage, 3);
        QCOMPARE(v.column(kNo), all.mid(20) << "9500");
        run("delete from PLU where PLU_No=9500");
    }

    void searchesStayUnderTheNode()
    {
        PageView v;
        PluBrowser b(*m_state, v);
        using K = PluSearchKind;
        QVERIFY(b.showNode(kStore));

        // Name: blanks around the word, any case, every department.
        QStringList hits;
        PluSearchResult r = b.search(K::Name, "  milk ", kStore);
        QVERIFY(r.ran && !r.failed && r.hit);
        QCOMPARE(r.editorState, QString("EDIT"));
        QCOMPARE(b.pageCount, 2);
        QCOMPARE(b.firstHit, r.firstHit);
        QCOMPARE(QString::number(r.firstHit), v.column(kNo).value(0));

        r = b.search(K::Name, "milk", dept(3));
        QVERIFY(r.hit);
        hits = v.column(kNo);
        hits.sort();
        QCOMPARE(hits, (QStringList{"9002", "9003"}));
        r = b.search(K::Name, "milk", group(302));
        QCOMPARE(v.column(kNo), QStringList{"9003"});
        QCOMPARE(r.firstHit, 9003);
        r = b.search(K::Name, "O'Neil", kStore);
        QCOMPARE(v.column(kName), QStringList{"O'Neil's MILK"});
        QVERIFY(m_root.ui.messages.isEmpty());

        // A box of blanks does nothing at all.
        const QVector<QStringList> before = v.rows;
        const QString saved = b.pageQuery().savedQuery();
        r = b.search(K::Name, "   ", kStore);
        QVERIFY(!r.ran);
        QVERIFY(r.editorState.isEmpty());
        QCOMPARE(v.rows, before);
        QCOMPARE(b.pageQuery().savedQuery(), saved);
        QCOMPARE(b.firstHit, 9003);

        // PLU number: the numeric prefix; 0 and letters do nothing.
        r = b.search(K::PluNo, "12abc", kStore);
        QVERIFY(r.hit);
        QCOMPARE(v.column(kNo), QStringList{"12"});
        r = b.search(K::PluNo, "12", dept(2));
        QVERIFY(r.ran && !r.hit);
        QCOMPARE(r.editorState, QString("SAVE"));
        QVERIFY(v.rows.isEmpty());
        QCOMPARE(b.firstHit, 0);
        QCOMPARE(b.currentPage, 1);
        QCOMPARE(b.pageCount, 1);
        QVERIFY(!b.search(K::PluNo, "0", kStore).ran);
        QVERIFY(!b.search(K::PluNo, "abc", kStore).ran);
        QVERIFY(!b.search(K::PluNo, "", kStore).ran);
        QVERIFY(!b.search(K::PluNo, "12", {PluNodeKind::None, ""}).ran);

        // Item code by number value: 00123 finds 123, not 00123.
        r = b.search(K::ItemCode, "00123", kStore);
        QVERIFY(r.hit);
        hits = v.column(kNo);
        hits.sort();
        QCOMPARE(hits, (QStringList{"9001", "9003", "9005"}));
        r = b.search(K::ItemCode, "123", dept(2));
        QCOMPARE(v.column(kNo), QStringList{"9005"});
        r = b.search(K::ItemCode, "123", group(101));
        QCOMPARE(v.column(kNo), QStringList{"9001"});
        r = b.search(K::ItemCode, "123", dept(4));
        QVERIFY(!r.hit);
        QCOMPARE(r.editorState, QString("NEW"));

        // EAN data: 123 looks for 00000000123...; only 12 places load a hit.
        r = b.search(K::EanData, "123", kStore);
        hits = v.column(kNo);
        hits.sort();
        QCOMPARE(hits, (QStringList{"9001", "9004", "9005"}));
        QVERIFY(!r.hit);
        QCOMPARE(QString::number(r.firstHit), v.column(kNo).value(0));
        QCOMPARE(r.editorState, QString("NEW"));
        r = b.search(K::EanData, "271003000000", kStore);
        QVERIFY(r.hit);
        QCOMPARE(r.firstHit, 3);
        QCOMPARE(v.column(kEan), QStringList{"27100300000001"});
        // Leading zeros are no places: an 11-place pattern lists its rows
        // but loads none.
        r = b.search(K::EanData, "027100300000", kStore);
        QVERIFY(!r.hit);
        QVERIFY(v.column(kNo).contains("3"));
        r = b.search(K::EanData, "123", dept(4));
        QCOMPARE(v.column(kNo), QStringList{"9004"});
        r = b.search(K::EanData, "123", group(202));
        QCOMPARE(v.column(kNo), QStringList{"9005"});

        // A search keeps the page number, clamped to its own result.
        QVERIFY(b.showNode(kStore));
        QVERIFY(b.pageBox("4"));
        QCOMPARE(b.currentPage, 4);
        r = b.search(K::Name, "milk", kStore);
        QCOMPARE(b.currentPage, 2);
        QCOMPARE(b.pageCount, 2);
        QCOMPARE(v.rows.size(), 6);
        // Paging now pages through the search result. The first hit is the
        // first row of the whole result, not of page 2.
        const QString firstOfPage2 = v.column(kNo).value(0);
        QVERIFY(b.previousPage());
        QCOMPARE(v.rows.size(), 10);
        QCOMPARE(QString::number(r.firstHit), v.column(kNo).value(0));
        QVERIFY(QString::number(r.firstHit) != firstOfPage2);
        for (const QString &name : v.column(kName))
            QVERIFY2(name.contains("milk", Qt::CaseInsensitive), qPrintable(name));
        QVERIFY(m_root.ui.messages.isEmpty());
    }

    void sortOrders()
    {
        bool changed = false;
        using S = QVector<SortColumn>;
        auto cols = [](const S &s) {
            QStringList out;
            for (const SortColumn &c : s)
                out << QString::number(c.column) + (c.ascending ? "" : "d");
            return out.join(',');
        };
        QCOMPARE(cols(PluBrowser::sortAfterHeaderPress({}, 2, false, &changed)), QString("2"));
        QVERIFY(changed);
        QCOMPARE(cols(PluBrowser::sortAfterHeaderPress({{0, true}, {2, false}}, 5, false, &changed)),
                 QString("5"));
        QCOMPARE(cols(PluBrowser::sortAfterHeaderPress({{0, true}, {2, false}}, 5, true, &changed)),
                 QString("0,2d,5"));
        QVERIFY(changed);
        QCOMPARE(cols(PluBrowser::sortAfterHeaderPress({{0, true}, {2, false}}, 2, true, &changed)),
                 QString("0,2d"));
        QVERIFY(!changed);
        QCOMPARE(cols(PluBrowser::sortAfterHeaderPress({{2, true}}, 2, false, &changed)), QString("2"));
        QVERIFY(!changed);
        QCOMPARE(cols(PluBrowser::sortAfterHeaderPress({{2, false}}, 2, false, &changed)), QString("2"));
        QVERIFY(changed);

        const PluFieldTable &f = m_state->pluFields;
        QString bad;
        QCOMPARE(cols(PluBrowser::parseSortList(f, " PLU_UPrice:DESC, plu_no ,PLU_Commodity:asc").value()),
                 QString("2d,0,69"));
        QVERIFY(PluBrowser::parseSortList(f, "").value().isEmpty());
        QVERIFY(!PluBrowser::parseSortList(f, "PLU_No,Nope", &bad));
        QCOMPARE(bad, QString("Nope"));
        QVERIFY(!PluBrowser::parseSortList(f, "PLU_No:sideways", &bad));
        QVERIFY(!PluBrowser::parseSortList(f, "PLU_No,,PLU_MG", &bad));
        QVERIFY(!PluBrowser::parseSortList(f, "PLU_MG,plu_mg:desc", &bad));
        QCOMPARE(bad, QString("plu_mg:desc"));

        PageView v;
        v.sort = PluBrowser::parseSortList(f, "PLU_UPrice:desc,PLU_ItemCode").value();
        QCOMPARE(PluPageQuery::orderClause(*m_state, v),
                 QString(" order by PLU_UPrice DESC,PLU_ItemCode "));

        // Sorted pages follow the sort, and equal prices never make a row
        // show on two pages or on none.
        PluBrowser b(*m_state, v);
        v.sort = {{kPrice, false}};
        run("update PLU set PLU_UPrice=5 where PLU_MG=203");
        QVERIFY(b.showNode(group(203)));
        QCOMPARE(b.pageCount, 2);
        QStringList seen = v.column(kNo);
        QVERIFY(b.nextPage());
        seen += v.column(kNo);
        QStringList expected = values("select PLU_No from PLU where PLU_MG=203");
        QCOMPARE(seen.size(), expected.size());
        seen.sort();
        expected.sort();
        QCOMPARE(seen, expected);

        v.sort = {{kPrice, false}, {kNo, true}};
        b.currentPage = 1;
        QVERIFY(b.showNode(dept(2)));
        const QStringList order = values(
            "select PLU_No from PLU where PLU_MG in (select MG_No from MG where DP_No=2) "
            "order by PLU_UPrice desc, PLU_No limit 10");
        QCOMPARE(v.column(kNo), order);
        double last = 1e9;
        for (const QString &p : v.column(kPrice)) {
            QVERIFY(p.toDouble() <= last);
            last = p.toDouble();
        }
    }

    void cleanupTestCase() { m_state.reset(); }
};

QTEST_GUILESS_MAIN(TestPluBrowser)
#include "tst_plubrowser.moc"
