#include "CoreDb.h"
#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/PluFields.h"
#include "core/PluPage.h"

#include <QTemporaryDir>
#include <QTest>

using namespace korvo;
using korvo::test::ScriptedUi;

namespace {

// A list that records what the paging routine does to it.
class RecordingView : public PluListView {
public:
    QVector<SortColumn> sort;
    QVector<QStringList> rows;
    QVector<int> backgrounds;
    int clears = 0;
    int repaints = 0;
    int added = 0; // every addRow call since the start

    QVector<SortColumn> sortColumns() const override { return sort; }
    void clearRows() override
    {
        rows.clear();
        backgrounds.clear();
        ++clears;
    }
    void addRow(const QStringList &cells, int background) override
    {
        rows << cells;
        backgrounds << background;
        ++added;
    }
    void repaintList() override { ++repaints; }

    QStringList firstCells() const
    {
        QStringList out;
        for (const QStringList &r : rows)
            out << r.value(0);
        return out;
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
    ScriptedUi m_ui;
    QTemporaryDir m_root;
    std::unique_ptr<AppState> m_state;

    void run(const QString &sql) { QVERIFY2(QueryKorvoDB(*m_state, sql).has_value(), qPrintable(sql)); }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(korvo::test::createCoreDataRoot(m_root.path() + "/", &error), qPrintable(error));
        m_state = std::make_unique<AppState>(&m_ui);
        m_state->setPaths(QString(), m_root.path());
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
        const PluFieldTable &t = m_state->pluFields;
        QCOMPARE(t.size(), 76);
        QCOMPARE(t.at(0).Name, QString("PLU_No"));
        QCOMPARE(t.at(2).Name, QString("PLU_UPrice"));
        QCOMPARE(t.at(66).Name, QString("PLU_Disount"));
        QCOMPARE(t.at(75).Name, QString("PLU_UPTime"));
        int texts = 0, times = 0;
        for (const PLUField &f : t.fields) {
            texts += f.Kind == ValueKind::Text;
            times += f.Kind == ValueKind::DateTime;
            QCOMPARE(f.Width, 100);
        }
        QCOMPARE(texts, 15);
        QCOMPARE(times, 4);
        QCOMPARE(t.at(9).Kind, ValueKind::DateTime);
        QCOMPARE(t.at(8).Kind, ValueKind::Number); // PLU_SBDate counts days
        QCOMPARE(t.at(73).Kind, ValueKind::Text);
        QCOMPARE(t.indexOf("plu_disount"), 66);
        QCOMPARE(t.indexOf(" PLU_UPTIME "), 75);
        QCOMPARE(t.indexOf("PLU_Discount"), -1);

        QVERIFY(t.pluFieldList.startsWith("PLU_No,PLU_ItemCode,PLU_UPrice,"));
        QVERIFY(t.pluFieldList.endsWith(",PLU_UPDate,PLU_UPTime"));
        QCOMPARE(t.pluFieldList.count(','), 75);
        QCOMPARE(t.statusDateTimeFlags,
                 QString("Stat1_Unit,Stat1_SBDate,Stat1_UBDate,Stat1_PKDate,Stat1_RTCPKTime,"
                         "Stat1_SBTime,Stat1_PKTime ,Stat1_RTCSBTime,Stat1_PBPreUnit"));

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
        QCOMPARE(SqlValue(ValueKind::Number, "12"), QString("12"));
        QCOMPARE(SqlValue(ValueKind::Number, "1,5"), QString("1.5"));
        QCOMPARE(SqlValue(ValueKind::Number, " -2.25 "), QString("-2.25"));
        QCOMPARE(SqlValue(ValueKind::Number, ""), QString("null"));
        QCOMPARE(SqlValue(ValueKind::Number, "1; drop table PLU"), QString("null"));
        QCOMPARE(SqlValue(ValueKind::Text, "O'Neil"), QString("'O''Neil'"));
        QCOMPARE(SqlValue(ValueKind::Text, " a "), QString("' a '"));
        QCOMPARE(SqlValue(ValueKind::Text, ""), QString("null"));
        QCOMPARE(SqlValue(ValueKind::DateTime, "12:30"), QString("#12:30#"));
        QCOMPARE(SqlValue(ValueKind::DateTime, "2007-05-01"), QString("#2007-05-01#"));
        QCOMPARE(SqlValue(ValueKind::DateTime, "1#2"), QString("#12#"));
        QCOMPARE(SqlValue(ValueKind::DateTime, ""), QString("null"));

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

    void orderClause()
    {
        RecordingView v;
        QCOMPARE(PluPageQuery::orderClause(*m_state, v), QString());
        v.sort = {{0, true}, {2, false}};
        bool ok = false;
        QCOMPARE(PluPageQuery::orderClause(*m_state, v, &ok),
                 QString(" order by PLU_No ,PLU_UPrice DESC"));
        QVERIFY(ok);
        v.sort = {{76, true}};
        QCOMPARE(PluPageQuery::orderClause(*m_state, v, &ok), QString());
        QVERIFY(!ok);
    }

    void pagesAreClamped()
    {
        PluPageQuery pq;
        RecordingView v;
        v.sort = {{0, true}};
        QString cond;
        qint32 page = 0, count = 0;
        QCOMPARE(pq.run(*m_state, v, page, count, cond, true, false, "PLU"), std::optional<qint32>(0));
        QCOMPARE(page, 1);
        QCOMPARE(count, 3);
        QCOMPARE(v.firstCells(), numbers(1, 10));
        QCOMPARE(v.rows[0].size(), 76);

        page = 9;
        QVERIFY(pq.run(*m_state, v, page, count, cond, true, false, "PLU"));
        QCOMPARE(page, 3);
        QCOMPARE(count, 3);
        QCOMPARE(v.firstCells(), numbers(21, 25));

        page = 2;
        QVERIFY(pq.run(*m_state, v, page, count, cond, true, false, "PLU"));
        QCOMPARE(v.firstCells(), numbers(11, 20));
        // Only one page of rows ever reached the list.
        QCOMPARE(v.added, 10 + 5 + 10);
        QCOMPARE(v.clears, 3);
        QCOMPARE(v.repaints, 3);

        // A page size of 0 would divide by zero; 10 rows are taken instead.
        m_state->settings.PLUPageSize = 0;
        page = 3;
        QVERIFY(pq.run(*m_state, v, page, count, cond, false, false, "PLU"));
        QCOMPARE(count, 3);
        QCOMPARE(v.rows.size(), 5);
        m_state->settings.PLUPageSize = 7;
        page = 4;
        QVERIFY(pq.run(*m_state, v, page, count, cond, false, false, "PLU"));
        QCOMPARE(count, 4);
        QCOMPARE(v.firstCells(), numbers(22, 25));
    }

    void emptyResultIsPageOneOfOne()
    {
        PluPageQuery pq;
        RecordingView v;
        v.rows = {{"stale"}};
        QString cond = "PLU_No > 1000";
        qint32 page = 5, count = 9;
        QCOMPARE(pq.run(*m_state, v, page, count, cond, true, true, "PLU"), std::optional<qint32>(0));
        QCOMPARE(page, 1);
        QCOMPARE(count, 1);
        QVERIFY(v.rows.isEmpty());
        QCOMPARE(v.clears, 1);
        QCOMPARE(v.repaints, 1);
    }

    void firstRowOfTheWholeResult()
    {
        PluPageQuery pq;
        RecordingView v;
        v.sort = {{0, false}};
        QString cond = "PLU_MG=2";
        qint32 page = 2, count = 0;
        // Even numbers 24, 22, ... 2; page 2 starts at 4, the result at 24.
        QCOMPARE(pq.run(*m_state, v, page, count, cond, true, true, "PLU"), std::optional<qint32>(24));
        QCOMPARE(count, 2);
        QCOMPARE(v.firstCells(), (QStringList{"4", "2"}));
        page = 1;
        QCOMPARE(pq.run(*m_state, v, page, count, cond, true, true, "PLU"), std::optional<qint32>(24));
        QCOMPARE(v.rows.size(), 10);
        QCOMPARE(pq.run(*m_state, v, page, count, cond, true, false, "PLU"), std::optional<qint32>(0));
    }

    void redoRepeatsTheSavedQuery()
    {
        PluPageQuery pq;
        RecordingView v;
        qint32 page = 1, count = 0;

        // Redo before anything was saved: the plain query, condition cleared.
        QString cond = "REDO";
        QVERIFY(pq.run(*m_state, v, page, count, cond, false, false, "PLU"));
        QCOMPARE(cond, QString());
        QCOMPARE(count, 3);
        QVERIFY(pq.savedQuery().isEmpty());

        cond = "PLU_MG=1";
        v.sort = {{2, true}};
        QVERIFY(pq.run(*m_state, v, page, count, cond, true, false, "PLU"));
        const QString saved = pq.savedQuery();
        QVERIFY(saved.endsWith(" from PLU  Where PLU_MG=1 order by PLU_UPrice "));
        QCOMPARE(v.firstCells(), (QStringList{"25", "23", "21", "19", "17", "15", "13", "11", "9", "7"}));

        // An unsaved query in between does not replace the saved one.
        cond = "PLU_No=3";
        QVERIFY(pq.run(*m_state, v, page, count, cond, false, false, "PLU"));
        QCOMPARE(pq.savedQuery(), saved);

        // Redo ignores the new sort and the table argument.
        cond = "redo";
        v.sort = {{0, true}};
        page = 2;
        QVERIFY(pq.run(*m_state, v, page, count, cond, false, false, "RC_PLU"));
        QCOMPARE(cond, QString("redo"));
        QCOMPARE(count, 2);
        QCOMPARE(v.firstCells(), (QStringList{"5", "3", "1"}));
        QCOMPARE(v.rows[0].size(), 76);
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
        PluPageQuery pq;
        RecordingView v;
        v.sort = {{0, true}};
        QString cond;
        qint32 page = 1, count = 0;
        QVERIFY(pq.run(*m_state, v, page, count, cond, true, false, "RC_PLU"));
        QCOMPARE(pq.savedQuery().count("PLU_Compare"), 1);
        QVERIFY(pq.savedQuery().contains(",PLU_UPTime,PLU_Compare from RC_PLU "));
        QCOMPARE(v.rows.size(), 6);
        QCOMPARE(v.rows[0].size(), 77);
        QCOMPARE(v.rows[1].at(2), QString("2.5"));  // REAL 2.5
        QCOMPARE(v.rows[0].at(2), QString("3"));    // REAL 3.0
        QCOMPARE(v.rows[0].at(0), QString("1"));    // INTEGER
        QCOMPARE(v.rows[0].at(1), QString(""));     // null
        QCOMPARE(v.rows[1].at(76), QString("1"));
        // Every 2nd row is shaded; rows to take over are marked instead.
        QCOMPARE(v.backgrounds, (QVector<int>{-1, kCompareRowColour, kCompareRowColour,
                                              kAlternateRowColour, -1, kAlternateRowColour}));

        // Back to PLU: the compare column goes, and comes back exactly once.
        QVERIFY(pq.run(*m_state, v, page, count, cond, true, false, "plu"));
        QVERIFY(!pq.savedQuery().contains("PLU_Compare"));
        QCOMPARE(v.rows[0].size(), 76);
        QCOMPARE(v.backgrounds.mid(0, 4),
                 (QVector<int>{-1, kAlternateRowColour, -1, kAlternateRowColour}));
        QVERIFY(pq.run(*m_state, v, page, count, cond, true, false, "rc_plu"));
        QCOMPARE(pq.savedQuery().count("PLU_Compare"), 1);
        QCOMPARE(m_state->pluFields.pluFieldList, before);

        // A select list that already carries the column is cut back for PLU.
        m_state->pluFields.pluFieldList += ",PLU_COMPARE";
        QVERIFY(pq.run(*m_state, v, page, count, cond, true, false, "PLU"));
        QVERIFY(!pq.savedQuery().contains("PLU_COMPARE", Qt::CaseInsensitive));
        QVERIFY(pq.run(*m_state, v, page, count, cond, true, false, "RC_PLU"));
        QCOMPARE(pq.savedQuery().count("PLU_Compare", Qt::CaseInsensitive), 1);
        m_state->pluFields.pluFieldList = before;
    }

    void failuresAreReported()
    {
        PluPageQuery pq;
        RecordingView v;
        qint32 page = 1, count = 0;
        v.sort = {{80, true}};
        QString cond;
        QVERIFY(!pq.run(*m_state, v, page, count, cond, true, false, "PLU"));
        QCOMPARE(m_ui.messages.size(), 1);
        QCOMPARE(m_ui.messages[0].title, QString("QueryPLUPage"));
        QVERIFY(v.rows.isEmpty());
        QVERIFY(pq.savedQuery().isEmpty());

        v.sort.clear();
        cond = "PLU_No ==== 1";
        QVERIFY(!pq.run(*m_state, v, page, count, cond, true, false, "PLU"));
        QCOMPARE(m_ui.messages.size(), 2);
        QVERIFY(m_ui.messages[1].title.startsWith("QueryKorvoDB select count(*) from PLU"));
    }

    void cleanupTestCase() { m_state.reset(); }
};

QTEST_GUILESS_MAIN(TestPluPage)
#include "tst_plupage.moc"
