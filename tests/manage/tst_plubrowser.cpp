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

    QStringList values(const QString &sql) { return test::SqlColumn(*m_state, sql); }

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
        addPlu(9006, 402, QStringLiteral("Äpfel GRÜN 50%"));
        addPlu(9007, 402, QStringLiteral("Хлеб ржаной"));
        for (int i = 0; i < 12; ++i)
            addPlu(9100 + i, 102, QStringLiteral("Test milk %1").arg(i));
        run(QStringLiteral("insert into DEPT(DP_No,DP_Name,ST_No) values(5,'Empty',1)"));
    }

    void init() { m_root.ui.messages.clear(); }

    void conditionTexts()
    {
        // Only the number of a tag reaches the statement; typed texts are escaped.
        QCOMPARE(PluBrowser::nodeCondition({PluNodeKind::MainGroup, "7 or 1=1"}), QString("[PLU_MG]=7"));
        using K = PluSearchKind;
        QCOMPARE(PluBrowser::searchCondition(K::EanData, "O'1")->where, QString("PLU_EANData like'O''1%%'"));
        QVERIFY(!PluBrowser::searchCondition(K::PluNo, "abc"));
        const char *patterns[][2] = {{"0000000000000123", "00000000123"},
                                     {"98765432109876543210", "98765432109876543210"},
                                     {" 42 ", "00000000042"}, {"12.6", "00000000013"},
                                     {"-5", "-00000000005"},  {"27ab", "27ab"}};
        for (const auto &p : patterns)
            QCOMPARE(PluBrowser::eanPattern(p[0]), QString(p[1]));
    }

    void pagingClamps()
    {
        PageView v;
        PluBrowser b(*m_state, v);
        const QStringList all = values("select PLU_No from PLU where PLU_MG=201 order by PLU_No");
        QCOMPARE(all.size(), 22);

        QVERIFY(b.showNode(group(201)));
        QCOMPARE(b.pageCount, 3);
        QCOMPARE(b.currentMainGroup, 201);
        // Next and previous stop at the ends.
        QVERIFY(b.nextPage() && b.nextPage() && b.nextPage());
        QCOMPARE(b.currentPage, 3);
        QVERIFY(b.previousEnabled() && !b.nextEnabled());
        QVERIFY(b.previousPage() && b.previousPage() && b.previousPage());
        QCOMPARE(b.currentPage, 1);
        QVERIFY(!b.previousEnabled() && b.nextEnabled());

        // The page box clamps into 1..pageCount.
        const struct {
            const char *text;
            int page;
        } boxes[] = {{"999", 3}, {"abc", 1}, {"99999999999999999999", 3}, {"-4", 1}, {"2", 2}};
        for (const auto &c : boxes) {
            QVERIFY(b.pageBox(c.text));
            QCOMPARE(b.currentPage, c.page);
            QCOMPARE(v.column(kNo), all.mid((c.page - 1) * 10, 10));
        }
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
        QVERIFY(b.showNode(kStore));

        auto sorted = [&] {
            QStringList hits = v.column(kNo);
            hits.sort();
            return hits;
        };
        // Names: blanks around the word, any case. PLU numbers: the numeric
        // prefix. Item codes by number value: 00123 finds 123, not 00123. EAN
        // data: 123 looks for 00000000123...; only 12 places load a hit,
        // leading zeros are no places. A hit opens the editor on it, a miss
        // offers a new PLU (SAVE for a PLU number).
        using K = PluSearchKind;
        const struct {
            PluSearchKind kind;
            const char *text;
            PluNode node;
            QStringList hits;
            bool hit;
            const char *editor;
        } cases[] = {{K::Name, "milk", dept(3), {"9002", "9003"}, true, "EDIT"},
                     {K::Name, "milk", group(302), {"9003"}, true, "EDIT"},
                     {K::Name, "O'Neil", kStore, {"9003"}, true, "EDIT"},
                     // Case beyond ASCII; "_" and "%" are letters, not wildcards.
                     {K::Name, "äpfel grün", kStore, {"9006"}, true, "EDIT"},
                     {K::Name, "ХЛЕБ", dept(4), {"9007"}, true, "EDIT"},
                     {K::Name, "N 50%", group(402), {"9006"}, true, "EDIT"},
                     {K::Name, "l_af", kStore, {}, false, "NEW"},
                     {K::PluNo, "12abc", kStore, {"12"}, true, "EDIT"},
                     {K::PluNo, "12", dept(2), {}, false, "SAVE"},
                     {K::ItemCode, "00123", kStore, {"9001", "9003", "9005"}, true, "EDIT"},
                     {K::ItemCode, "123", dept(2), {"9005"}, true, "EDIT"},
                     {K::ItemCode, "123", group(101), {"9001"}, true, "EDIT"},
                     {K::ItemCode, "123", dept(4), {}, false, "NEW"},
                     {K::EanData, "123", kStore, {"9001", "9004", "9005"}, false, "NEW"},
                     {K::EanData, "123", dept(4), {"9004"}, false, "NEW"},
                     {K::EanData, "271003000000", kStore, {"3"}, true, "EDIT"},
                     {K::EanData, "027100300000", kStore, {"3"}, false, "NEW"}};
        for (const auto &c : cases) {
            const PluSearchResult r = b.search(c.kind, c.text, c.node);
            QVERIFY2(r.ran && !r.failed, c.text);
            QCOMPARE(sorted(), c.hits);
            QCOMPARE(r.hit, c.hit);
            QCOMPARE(r.editorState, QString(c.editor));
            QCOMPARE(QString::number(r.firstHit), v.column(kNo).value(0, "0"));
            QCOMPARE(b.firstHit, r.firstHit);
        }
        QCOMPARE(b.pageCount, 1);
        QVERIFY(m_root.ui.messages.isEmpty());

        // A box of blanks, 0 as a PLU number or no node does nothing at all.
        const QVector<QStringList> before = v.rows;
        const QString saved = b.pageQuery().savedQuery();
        PluSearchResult r = b.search(K::Name, "   ", kStore);
        QVERIFY(!r.ran);
        QVERIFY(r.editorState.isEmpty());
        QVERIFY(!b.search(K::PluNo, "0", kStore).ran);
        QVERIFY(!b.search(K::PluNo, "12", {PluNodeKind::None, ""}).ran);
        QCOMPARE(v.rows, before);
        QCOMPARE(b.pageQuery().savedQuery(), saved);

        // A search keeps the page number, clamped to its own result.
        QVERIFY(b.showNode(kStore));
        QVERIFY(b.pageBox("4"));
        QCOMPARE(b.currentPage, 4);
        r = b.search(PluSearchKind::Name, "  milk ", kStore);
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
        // A plain press sorts by that column alone, Ctrl adds it behind the
        // others; a press that changes nothing says so.
        const struct {
            S before;
            int column;
            bool ctrl;
            const char *after;
            bool changed;
        } presses[] = {{{}, 2, false, "2", true},
                       {{{0, true}, {2, false}}, 5, false, "5", true},
                       {{{0, true}, {2, false}}, 5, true, "0,2d,5", true},
                       {{{0, true}, {2, false}}, 2, true, "0,2d", false},
                       {{{2, true}}, 2, false, "2", false},
                       {{{2, false}}, 2, false, "2", true}};
        for (const auto &p : presses) {
            QCOMPARE(cols(PluBrowser::sortAfterHeaderPress(p.before, p.column, p.ctrl, &changed)), QString(p.after));
            QCOMPARE(changed, p.changed);
        }

        const PluFieldTable &f = m_state->pluFields;
        QString bad;
        QCOMPARE(cols(PluBrowser::parseSortList(f, " PLU_UPrice:DESC, plu_no ,PLU_Commodity:asc").value()),
                 QString("2d,0,69"));
        QVERIFY(PluBrowser::parseSortList(f, "").value().isEmpty());
        QVERIFY(!PluBrowser::parseSortList(f, "PLU_No,Nope", &bad));
        QCOMPARE(bad, QString("Nope"));
        QVERIFY(!PluBrowser::parseSortList(f, "PLU_No:sideways", &bad));
        QVERIFY(!PluBrowser::parseSortList(f, "PLU_No,,PLU_MG", &bad));
        QVERIFY(!PluBrowser::parseSortList(f, "PLU_MG,plu_mg:desc", &bad)); // twice
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
    }

    void cleanupTestCase() { m_state.reset(); }
};

QTEST_GUILESS_MAIN(TestPluBrowser)
#include "tst_plubrowser.moc"
