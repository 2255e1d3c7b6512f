#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/PluFields.h"
#include "core/PluPage.h"

#include <QTest>

using namespace korvo;
using namespace korvo::test;

namespace {

// A list that records what the paging routine does to it.
struct RecordingView : PluListView {
    QVector<SortColumn> sort;
    QVector<QStringList> rows;
    QVector<int> backgrounds;
    int clears = 0, repaints = 0, added = 0; // added: every addRow call since the start

    QVector<SortColumn> sortColumns() const override { return sort; }
    void clearRows() override { rows.clear(); backgrounds.clear(); ++clears; }
    void addRow(const QStringList &cells, int bg) override { rows << cells; backgrounds << bg; ++added; }
    void repaintList() override { ++repaints; }
    QStringList firstCells() const
    {
        QStringList out;
        for (const QStringList &r : rows)
            out << r.value(0);
        return out;
    }
};

// One paging routine and its list, with the page, count and condition it updates.
struct Pager {
    PluPageQuery pq;
    RecordingView v;
    qint32 page = 1, count = 0;
    QString cond;
    std::optional<qint32> run(AppState &s, bool save = true, bool firstHit = false, const QString &table = "PLU")
    {
        return pq.run(s, v, page, count, cond, save, firstHit, table);
    }
};

QStringList numbers(int from, int to)
{
    QStringList out;
    for (int i = from; i <= to; ++i)
        out << QString::number(i);
    return out;
}

} // namespace

class TestPluPage : public QObject {
    Q_OBJECT

private:
    TestDataRoot m_root{false};
    ScriptedUi &m_ui = m_root.ui;
    std::unique_ptr<AppState> m_state;

    void run(const QString &sql) { QVERIFY2(QueryKorvoDB(*m_state, sql).has_value(), qPrintable(sql)); }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_root.ok(), qPrintable(m_root.error()));
        m_state = m_root.newState();
        QVERIFY(InitDBConnection(*m_state));
        m_state->pluFields.buildLists();
        m_state->settings.PLUPageSize = 10;
        // 25 PLUs: price 30.5 - n/2, main group 1 for odd numbers, 2 for even.
        Transaction t(*m_state);
        for (int n = 1; n <= 25; ++n)
            run(QStringLiteral("insert into PLU(PLU_No,PLU_UPrice,PLU_MG,PLU_ItemCode) "
                               "values(%1,%2,%3,'Item %1')")
                    .arg(n)
                    .arg(30.5 - n / 2.0)
                    .arg(n % 2 ? 1 : 2));
        QVERIFY(t.commit());
    }

    void init()
    {
        m_ui.messages.clear();
        m_state->settings.PLUPageSize = 10;
    }

    void fieldTable()
    {
        QCOMPARE(m_state->pluFields.indexOf(" plu_uptime "), 75);
        PluFieldTable show;
        QStringList rejected;
        show.applyShowKey("0, 2,5,,abc,76,-1,1.5", &rejected);
        QStringList visible;
        for (int i = 0; i < show.size(); ++i)
            if (show.at(i).Visible)
                visible << QString::number(i);
        QCOMPARE(visible, (QStringList{"0", "2", "5"}));
        QCOMPARE(rejected, (QStringList{"abc", "76", "-1", "1.5"}));
        show.applyShowKey("");
        for (const PLUField &f : show.fields)
            QVERIFY(!f.Visible);
    }

    void sqlValues()
    {
        using K = ValueKind;
        const struct {
            ValueKind kind;
            const char *text, *sql;
        } cases[] = {{K::Number, "1,5", "1.5"},          {K::Number, " -2.25 ", "-2.25"},
                     {K::Number, "", "null"},            {K::Number, "1; drop table PLU", "null"},
                     {K::Text, "O'Neil", "'O''Neil'"},   {K::Text, " a ", "' a '"},
                     {K::Text, "", "null"},              {K::DateTime, "2007-05-01", "#2007-05-01#"},
                     {K::DateTime, "1#2", "#12#"},       {K::DateTime, "", "null"}};
        for (const auto &c : cases)
            QCOMPARE(SqlValue(c.kind, c.text), QString(c.sql));

        // A name with a quote survives the round trip through SQL.
        run("insert into PLU(PLU_No,PLU_ItemCode,PLU_UPrice) values(900,"
            + SqlValue(ValueKind::Text, "O'Neil") + "," + SqlValue(ValueKind::Number, "3,75") + ")");
        auto q = QueryKorvoDB(*m_state, "select PLU_ItemCode,PLU_UPrice from PLU where PLU_No=900");
        QVERIFY(q && q->next());
        QCOMPARE(q->value(0).toString(), QString("O'Neil"));
        QCOMPARE(q->value(1).toDouble(), 3.75);
        q.reset();
        run("delete from PLU where PLU_No=900");
    }

    void pagesAreClamped()
    {
        Pager p;
        p.v.sort = {{0, true}};
        p.page = 0;
        QCOMPARE(p.run(*m_state), std::optional<qint32>(0));
        QCOMPARE(p.page, 1);
        QCOMPARE(p.count, 3);
        QCOMPARE(p.v.firstCells(), numbers(1, 10));
        QCOMPARE(p.v.rows[0].size(), 76);

        p.page = 9;
        QVERIFY(p.run(*m_state));
        QCOMPARE(p.page, 3);
        QCOMPARE(p.v.firstCells(), numbers(21, 25));
        p.page = 2;
        QVERIFY(p.run(*m_state));
        QCOMPARE(p.v.firstCells(), numbers(11, 20));
        // Only one page of rows ever reached the list.
        QCOMPARE(p.v.added, 10 + 5 + 10);
        QCOMPARE(p.v.repaints, 3);

        // A page size of 0 would divide by zero; 10 rows are taken instead.
        m_state->settings.PLUPageSize = 0;
        p.page = 3;
        QVERIFY(p.run(*m_state, false));
        QCOMPARE(p.count, 3);
        QCOMPARE(p.v.rows.size(), 5);
        m_state->settings.PLUPageSize = 7;
        p.page = 4;
        QVERIFY(p.run(*m_state, false));
        QCOMPARE(p.count, 4);
        QCOMPARE(p.v.firstCells(), numbers(22, 25));
        // Rows that fill the last page exactly make no empty page after it.
        m_state->settings.PLUPageSize = 5;
        QVERIFY(p.run(*m_state, false));
        QCOMPARE(p.count, 5);
        QCOMPARE(p.v.firstCells(), numbers(16, 20));
    }

    void firstRowOfTheWholeResult()
    {
        Pager p;
        p.v.sort = {{0, false}};
        p.cond = "PLU_MG=2";
        p.page = 2;
        // Even numbers 24, 22, ... 2; page 2 starts at 4, the result at 24.
        QCOMPARE(p.run(*m_state, true, true), std::optional<qint32>(24));
        QCOMPARE(p.count, 2);
        QCOMPARE(p.v.firstCells(), (QStringList{"4", "2"}));
        p.page = 1;
        QCOMPARE(p.run(*m_state, true, true), std::optional<qint32>(24));
        QCOMPARE(p.v.rows.size(), 10);
        QCOMPARE(p.run(*m_state, true, false), std::optional<qint32>(0));
    }

    void redoRepeatsTheSavedQuery()
    {
        // Redo before anything was saved: the plain query, condition cleared.
        Pager p;
        p.cond = "REDO";
        QVERIFY(p.run(*m_state, false));
        QCOMPARE(p.cond, QString());
        QCOMPARE(p.count, 3);
        QVERIFY(p.pq.savedQuery().isEmpty());

        p.cond = "PLU_MG=1";
        p.v.sort = {{2, true}};
        QVERIFY(p.run(*m_state));
        const QString saved = p.pq.savedQuery();
        QVERIFY(saved.endsWith(" from PLU  Where PLU_MG=1 order by PLU_UPrice "));
        QCOMPARE(p.v.firstCells(), (QStringList{"25", "23", "21", "19", "17", "15", "13", "11", "9", "7"}));

        // An unsaved query in between does not replace the saved one.
        p.cond = "PLU_No=3";
        QVERIFY(p.run(*m_state, false));
        QCOMPARE(p.pq.savedQuery(), saved);

        // Redo ignores the new sort and the table argument.
        p.cond = "redo";
        p.v.sort = {{0, true}};
        p.page = 2;
        QVERIFY(p.run(*m_state, false, false, "RC_PLU"));
        QCOMPARE(p.cond, QString("redo"));
        QCOMPARE(p.count, 2);
        QCOMPARE(p.v.firstCells(), (QStringList{"5", "3", "1"}));
        QCOMPARE(p.v.rows[0].size(), 76);
    }

    void receivedRowsCarryTheCompareColumn()
    {
        run("delete from RC_PLU");
        for (int n = 1; n <= 6; ++n)
            run(QStringLiteral("insert into RC_PLU(SC_IP,PLU_No,PLU_UPrice,PLU_Compare) "
                               "values('127.0.0.1',%1,%2,%3)")
                    .arg(n)
                    .arg(n == 2 ? QStringLiteral("2.5") : QStringLiteral("3.0"))
                    .arg(n == 2 || n == 3 ? 1 : 0));
        const QString before = m_state->pluFields.pluFieldList;
        Pager p;
        p.v.sort = {{0, true}};
        QVERIFY(p.run(*m_state, true, false, "RC_PLU"));
        QVERIFY(p.pq.savedQuery().contains(",PLU_UPTime,PLU_Compare from RC_PLU "));
        QCOMPARE(p.v.rows.size(), 6);
        QCOMPARE(p.v.rows[0].size(), 77);
        QCOMPARE(p.v.rows[1].at(2), QString("2.5")); // REAL 2.5
        QCOMPARE(p.v.rows[0].at(2), QString("3"));   // REAL 3.0
        QCOMPARE(p.v.rows[0].at(1), QString(""));    // null
        QCOMPARE(p.v.rows[1].at(76), QString("1"));
        // Every 2nd row is shaded; rows to take over are marked instead.
        QCOMPARE(p.v.backgrounds, (QVector<int>{-1, kCompareRowColour, kCompareRowColour,
                                                kAlternateRowColour, -1, kAlternateRowColour}));

        // Back to PLU: the compare column goes, and comes back exactly once.
        QVERIFY(p.run(*m_state, true, false, "plu"));
        QVERIFY(!p.pq.savedQuery().contains("PLU_Compare"));
        QCOMPARE(p.v.rows[0].size(), 76);
        QVERIFY(p.run(*m_state, true, false, "rc_plu"));
        QCOMPARE(p.pq.savedQuery().count("PLU_Compare"), 1);
        QCOMPARE(m_state->pluFields.pluFieldList, before);

        // A select list that already carries the column is cut back for PLU.
        m_state->pluFields.pluFieldList += ",PLU_COMPARE";
        QVERIFY(p.run(*m_state));
        QVERIFY(!p.pq.savedQuery().contains("PLU_COMPARE", Qt::CaseInsensitive));
        QVERIFY(p.run(*m_state, true, false, "RC_PLU"));
        QCOMPARE(p.pq.savedQuery().count("PLU_Compare", Qt::CaseInsensitive), 1);
        m_state->pluFields.pluFieldList = before;
    }

    void failuresAreReported()
    {
        Pager p;
        p.v.sort = {{80, true}};
        QVERIFY(!p.run(*m_state));
        QCOMPARE(m_ui.messages.size(), 1);
        QCOMPARE(m_ui.messages[0].title, QString("QueryPLUPage"));
        QVERIFY(p.pq.savedQuery().isEmpty());

        p.v.sort.clear();
        p.cond = "PLU_No ==== 1";
        QVERIFY(!p.run(*m_state));
        QCOMPARE(m_ui.messages.size(), 2);
        QVERIFY(m_ui.messages[1].title.startsWith("QueryKorvoDB select count(*) from PLU"));
    }

    void cleanupTestCase() { m_state.reset(); }
};

QTEST_GUILESS_MAIN(TestPluPage)
#include "tst_plupage.moc"
