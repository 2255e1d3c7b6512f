#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"

#include <QFile>
#include <QTest>

using namespace korvo;
using namespace korvo::test;

class TestDatabase : public QObject {
    Q_OBJECT

private:
    TestDataRoot m_root{false};
    ScriptedUi &m_ui = m_root.ui;
    std::unique_ptr<AppState> m_state;

    // Runs a statement that must succeed.
    void run(const QString &sql) { QVERIFY2(QueryKorvoDB(*m_state, sql).has_value(), qPrintable(sql)); }
    QStringList column(const QString &sql) { return SqlColumn(*m_state, sql); }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_root.ok(), qPrintable(m_root.error()));
        m_state = m_root.newState();
        QVERIFY(InitDBConnection(*m_state));
        QVERIFY(m_state->dbOpen);
    }

    void init() { m_ui.messages.clear(); }

    void translateSql_data()
    {
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("sqlite");
        QTest::newRow("date") << "select * from PLU where PLU_UPDate=#2007-05-01#"
                              << "select * from PLU where PLU_UPDate='2007-05-01'";
        QTest::newRow("short date with time") << "x=#2007-5-1 9:30#" << "x='2007-05-01 09:30:00'";
        QTest::newRow("time") << "PLU_SBTime=#9:30#" << "PLU_SBTime='09:30:00'";
        QTest::newRow("other date text stays") << "x=#5/1/2007#" << "x='5/1/2007'";
        QTest::newRow("quote inside date") << "x=#O'Neil#" << "x='O''Neil'";
        QTest::newRow("lone hash") << "select 1 # 2" << "select 1 # 2";
        // A test for Yes is "not 0": Jet and CSV imports store Yes as -1.
        QTest::newRow("booleans") << "where IsUsed=True and SC_Used = FALSE or x=true or y<>True or z!=False"
                                  << "where IsUsed<>0 and SC_Used = 0 or x<>0 or y=0 or z<>0";
        QTest::newRow("assigned booleans")
            << "update t set a=True, b = (select c from d where e=True), f=False where g=True"
            << "update t set a=1, b = (select c from d where e<>0), f=0 where g<>0";
        QTest::newRow("words containing true") << "select TrueValue, Stat1_True, t.True from t"
                                               << "select TrueValue, Stat1_True, t.True from t";
        QTest::newRow("delete star") << "DELETE   *   FROM DISCOUNT" << "delete   FROM DISCOUNT";
        QTest::newRow("delete star glued") << "delete *from MG" << "delete from MG";
        QTest::newRow("quoted texts untouched")
            << "select 'a #1# True' from t where x='O''Brien True' and y=True"
            << "select 'a #1# True' from t where x='O''Brien True' and y<>0";
        QTest::newRow("doubled quote before hash") << "values('It''s #5#', True, #2007-01-02#)"
                                                   << "values('It''s #5#', 1, '2007-01-02')";
        QTest::newRow("double-quoted names") << "select \"True\" from \"Delete * x\""
                                             << "select \"True\" from \"Delete * x\"";
        QTest::newRow("bracketed names") << "select [True],[PLU_No] from [PLU]"
                                         << "select [True],[PLU_No] from [PLU]";
        QTest::newRow("unterminated text") << "select 'True" << "select 'True";
    }
    void translateSql()
    {
        QFETCH(QString, jet);
        QFETCH(QString, sqlite);
        QCOMPARE(TranslateSql(jet), sqlite);
    }

    void smallHelpers()
    {
        QCOMPARE(SqlEscape("O'Brien"), QString("O''Brien"));
        QCOMPARE(SqlEscape("''"), QString("''''"));
        const struct {
            const char *text;
            qint16 number;
        } dots[] = {{"127.0.0.12", 12}, {"abc", 0}, {"1.2.3.", 0}, {"1.99999", 32767}};
        for (const auto &c : dots)
            QCOMPARE(LastDotNumber(c.text), c.number);
    }

    void statementsRunTranslated()
    {
        run("Delete * from PLU");
        run("insert into PLU(PLU_No,PLU_ItemCode,PLU_UPDate,PLU_UPTime,Stat1_Unit) "
            "values(1,'O''Brien #1#',#2007-05-01#,#9:30#,True)");
        run("insert into PLU(PLU_No,PLU_ItemCode,PLU_UPDate,PLU_UPTime,Stat1_Unit) "
            "values(2,'b',#2007-05-02#,#10:00:00#,False)");
        run("insert into PLU(PLU_No,PLU_ItemCode,Stat1_Unit) values(3,'Jet yes',-1)");
        QCOMPARE(column("select PLU_ItemCode from PLU where Stat1_Unit=True order by PLU_No"),
                 (QStringList{"O'Brien #1#", "Jet yes"}));
        QCOMPARE(column("select PLU_No from PLU where Stat1_Unit=False"), QStringList{"2"});
        run("delete from PLU where PLU_No=3");
        QCOMPARE(column("select PLU_No from PLU where PLU_UPDate=#2007-5-1#"), QStringList{"1"});
        QCOMPARE(column("select PLU_UPTime from PLU where PLU_No=1"), QStringList{"09:30:00"});
        QCOMPARE(column("select PLU_No from PLU where PLU_UPTime=#10:00#"), QStringList{"2"});
        // Texts compare without case.
        QCOMPARE(column("select PLU_No from PLU where PLU_ItemCode='B'"), QStringList{"2"});
        QVERIFY(m_ui.messages.isEmpty());
    }

    void failuresReportTheStatement()
    {
        const QString bad = "select PLU_No from NOPE";
        QVERIFY(!QueryKorvoDB(*m_state, bad));
        QCOMPARE(m_ui.messages.size(), 1);
        QCOMPARE(m_ui.messages[0].title, "QueryKorvoDB " + bad);
        QVERIFY2(m_ui.messages[0].text.contains("NOPE"), qPrintable(m_ui.messages[0].text));

        // A second statement is refused, not silently dropped.
        run("insert into DEPT(DP_No,DP_Name) values(50,'keep')");
        QVERIFY(!QueryKorvoDB(*m_state, "select 1; delete from DEPT"));
        QCOMPARE(column("select DP_Name from DEPT where DP_No=50"), QStringList{"keep"});
        QVERIFY(QueryKorvoDB(*m_state, "select 1;  "));
        run("delete from DEPT");

        // Other databases, with their own error source.
        auto q = QueryDb(*m_state, DbKind::Users, "select count(*) from Users");
        QVERIFY(q && q->next());
        QVERIFY(!QueryDb(*m_state, DbKind::Language, "select x from y", "GetLangString (a, b)"));
        QCOMPARE(m_ui.messages.last().title, QString("GetLangString (a, b)"));
    }

    void findMinUnusedID()
    {
        const struct {
            QList<QVariant> values;
            int expected;
        } cases[] = {
            {{1, 2, 4}, 3}, {{}, 1}, {{2, 3}, 1}, {{3, 1, 2, 5}, 4},
            {{0, 1, 2}, 3},          // 0 does not hide that 1 is taken
            {{1, 1, 2}, 3},          // repeated values
            {{QVariant(), 1, 2}, 3}, // nulls are skipped
            {{-5, 1, 3}, 2},
        };
        run("create table IDS(N INTEGER)");
        for (const auto &c : cases) {
            run("delete from IDS");
            for (const QVariant &v : c.values)
                run(QStringLiteral("insert into IDS values(%1)").arg(v.isNull() ? QStringLiteral("null") : v.toString()));
            QCOMPARE(FindMinUnusedID(*m_state, "IDS", "N"), c.expected);
        }
        QVERIFY(m_ui.messages.isEmpty());
        QCOMPARE(FindMinUnusedID(*m_state, "NOPE", "X"), -1);
        QCOMPARE(m_ui.messages.size(), 1);
        QCOMPARE(m_ui.messages[0].title, QString("FindMinUnusedID (NOPE, X)"));
    }

    void transactions()
    {
        run("delete from DEPT");
        {
            Transaction t(*m_state);
            QVERIFY(t.active());
            run("insert into DEPT(DP_No,DP_Name) values(1,'rolled back')");
        }
        QCOMPARE(column("select count(*) from DEPT"), QStringList{"0"});
        {
            Transaction t(*m_state);
            run("insert into DEPT(DP_No,DP_Name) values(2,'kept')");
            QVERIFY(t.commit());
            QVERIFY(!t.active());
            QVERIFY(!t.commit());
        }
        QCOMPARE(column("select DP_Name from DEPT"), QStringList{"kept"});
        // Inside a transaction one is a savepoint: its rollback undoes only
        // its own work, its commit waits for the outer one.
        {
            Transaction outer(*m_state);
            run("insert into DEPT(DP_No,DP_Name) values(3,'outer')");
            for (const int no : {4, 5}) {
                Transaction inner(*m_state);
                QVERIFY(inner.active() && inner.nested());
                run(QStringLiteral("insert into DEPT(DP_No,DP_Name) values(%1,'inner')").arg(no));
                QVERIFY(no == 4 || inner.commit());
            }
            QCOMPARE(column("select DP_No from DEPT order by DP_No"), (QStringList{"2", "3", "5"}));
        }
        QCOMPARE(column("select DP_Name from DEPT"), QStringList{"kept"});
        QVERIFY(!InTransaction(*m_state));
        run("delete from DEPT");
    }

    void missingOrDamagedFilesStopTheOpening()
    {
        for (const QByteArray &content : {QByteArray(), QByteArray(""),
                                          QByteArray("this is no database, just text\n").repeated(100)}) {
            TestDataRoot dir(false);
            const QString mainDb = dir.path() + "Database/KORVO2005.db";
            QVERIFY(dir.ok() && QFile::remove(mainDb));
            if (!content.isNull())
                QVERIFY(WriteFile(mainDb, content));
            auto s = dir.newState();
            QVERIFY(!InitDBConnection(*s));
            QVERIFY(!s->dbOpen);
            QCOMPARE(dir.ui.messages.size(), 1);
            QCOMPARE(dir.ui.messages[0].title, QString("InitDBConnection"));
            QVERIFY2(dir.ui.messages[0].text.contains("KORVO2005.db"), qPrintable(dir.ui.messages[0].text));
            // Nothing was created or written, no connection is left.
            QCOMPARE(QFile::exists(mainDb), !content.isNull());
            QCOMPARE(FileBytes(mainDb), content.isNull() ? QByteArray() : content);
            QVERIFY(!QFile::exists(mainDb + "-wal"));
            QVERIFY(!QSqlDatabase::contains(s->connMain));
            QVERIFY(!QSqlDatabase::contains(s->connLanguage));
            QVERIFY(!QueryKorvoDB(*s, "select 1")); // reports instead of crashing
        }
    }

    void statesKeepTheirOwnConnections()
    {
        QString conn;
        {
            auto other = m_root.newState();
            QVERIFY(InitDBConnection(*other));
            conn = other->connMain;
            QVERIFY(QueryKorvoDB(*other, "select count(*) from PLU").has_value());
        }
        // Closing one state leaves the other one's connections open.
        QVERIFY(!QSqlDatabase::contains(conn));
        QVERIFY(QueryKorvoDB(*m_state, "select count(*) from PLU").has_value());
        // Opening again over open connections works.
        QVERIFY(InitDBConnection(*m_state));
        QVERIFY(QueryKorvoDB(*m_state, "select count(*) from PLU").has_value());
    }

    void cleanupTestCase() { m_state.reset(); }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
