// korvoctl list, run as the built program over a test data root.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/PluFields.h"

#include <QTest>

using namespace korvo;

namespace {

// RFC 4180 reading: quoted cells may hold commas, quotes and line breaks.
QVector<QStringList> parseCsv(const QString &text)
{
    QVector<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'"' && quoted && i + 1 < text.size() && text.at(i + 1) == u'"') {
            cell += c; // a doubled quote inside quotes
            ++i;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (quoted || (c != u',' && c != u'\n')) {
            cell += c;
        } else {
            row << cell;
            cell.clear();
            if (c == u'\n') {
                rows << row;
                row.clear();
            }
        }
    }
    if (!cell.isEmpty() || !row.isEmpty())
        rows << (row << cell);
    return rows;
}

} // namespace

class TestCtlList : public QObject {
    Q_OBJECT

private:
    test::TestDataRoot m_root;
    std::unique_ptr<AppState> m_state;
    QStringList m_header;

    test::ProgramRun list(const QStringList &args)
    {
        return test::RunKorvoctl(QStringList{"--data-root", m_root.path(), "list"} + args);
    }

    QStringList values(const QString &sql) { return test::SqlColumn(*m_state, sql); }

    // Column of the printed rows under a header name.
    static QStringList column(const QVector<QStringList> &rows, const QString &name)
    {
        QStringList out;
        const qsizetype at = rows.value(0).indexOf(name);
        for (qsizetype i = 1; i < rows.size(); ++i)
            out << rows[i].value(at);
        return out;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_root.ok(), qPrintable(m_root.error()));
        m_state = m_root.loadedState();
        QVERIFY(m_state);
        for (const PLUField &f : m_state->pluFields.fields)
            if (f.Visible)
                m_header << f.Name;
        QVERIFY(m_header.contains("PLU_Commodity"));
        QVERIFY(QueryKorvoDB(*m_state, "insert into PLU(PLU_No,PLU_MG,PLU_UPrice,PLU_ItemCode,"
                                       "PLU_Commodity) values(9001,302,2.5,'123','O''Neil''s "
                                       "\"best\", sliced\nthin')"));
        QVERIFY(QueryKorvoDB(*m_state, "insert into PLU(PLU_No,PLU_MG,PLU_UPrice,PLU_ItemCode,"
                                       "PLU_Commodity) values(9002,202,3.5,'00123','Lamb')"));
    }

    void pagesAndSort()
    {
        const int all = values("select count(*) from PLU").value(0).toInt();
        const int pages = (all + m_state->settings.PLUPageSize - 1) / m_state->settings.PLUPageSize;
        QVERIFY(pages >= 3);

        test::ProgramRun r = list({"--page", "999"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err.trimmed(), QString("page %1 of %1").arg(pages));
        QVector<QStringList> rows = parseCsv(r.out);
        QCOMPARE(rows.value(0), m_header);
        QCOMPARE(rows.size() - 1, all - (pages - 1) * m_state->settings.PLUPageSize);
        QCOMPARE(column(rows, "PLU_No").constLast(), values("select max(PLU_No) from PLU").value(0));

        r = list({"--dept", "2", "--sort", "PLU_UPrice:desc,plu_no"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err.trimmed(), QString("page 1 of 1"));
        QCOMPARE(column(parseCsv(r.out), "PLU_No"),
                 values("select PLU_No from PLU where PLU_MG in (select MG_No from MG where DP_No=2) "
                        "order by PLU_UPrice desc, PLU_No"));

        r = list({"--mg", "302", "--sort", "PLU_UPrice"});
        rows = parseCsv(r.out);
        QCOMPARE(column(rows, "PLU_No"),
                 values("select PLU_No from PLU where PLU_MG=302 order by PLU_UPrice, PLU_No"));
        // Quotes, commas and line breaks come back whole.
        QVERIFY(column(rows, "PLU_Commodity").contains("O'Neil's \"best\", sliced\nthin"));
        for (const QStringList &row : rows)
            QCOMPARE(row.size(), m_header.size());
    }

    void searches()
    {
        test::ProgramRun r = list({"--name", " O'Neil "});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(column(parseCsv(r.out), "PLU_No"), QStringList{"9001"});
        QVERIFY(r.err.contains("first hit 9001"));
        QVERIFY(r.err.contains("page 1 of 1"));

        r = list({"--dept", "2", "--item-code", "00123"});
        QCOMPARE(column(parseCsv(r.out), "PLU_No"), QStringList{});
        QVERIFY(r.err.contains("no hit"));
        r = list({"--dept", "3", "--item-code", "00123"});
        QCOMPARE(column(parseCsv(r.out), "PLU_No"), QStringList{"9001"});
        r = list({"--mg", "202", "--plu", "9002abc"});
        QCOMPARE(column(parseCsv(r.out), "PLU_No"), QStringList{"9002"});

        // A search that does nothing leaves the node's page.
        r = list({"--mg", "202", "--plu", "0"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.err.contains("searches nothing"));
        QCOMPARE(column(parseCsv(r.out), "PLU_No"),
                 values("select PLU_No from PLU where PLU_MG=202 order by PLU_No"));
        r = list({"--name", "   "});
        QVERIFY(r.err.contains("searches nothing"));
    }

    void badArguments()
    {
        // Numbers are whole numbers, not prefixes, nor rounded.
        const QList<QStringList> usageErrors{{"--sort", "PLU_No:up"}, {"--dept", "1", "--mg", "101"},
                                             {"--name"}, {"--plu", "1", "--name", "x"},
                                             {"--page", "1", "--page", "2"}, {"--page", "1.5"}};
        for (const QStringList &args : usageErrors) {
            const test::ProgramRun r = list(args);
            QVERIFY2(r.exitCode == 2, qPrintable(args.join(' ') + " -> " + QString::number(r.exitCode)));
            QVERIFY2(r.out.isEmpty(), qPrintable(args.join(' ')));
            QVERIFY(r.err.contains("usage"));
        }
        test::ProgramRun r = list({"--sort", "Bogus"});
        QVERIFY(r.err.contains("\"Bogus\""));
        r = list({"--dept", "42"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains("no department 42"));
    }

    void cleanupTestCase() { m_state.reset(); }
};

QTEST_GUILESS_MAIN(TestCtlList)
#include "tst_ctllist.moc"
