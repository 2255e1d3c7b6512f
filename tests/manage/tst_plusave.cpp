// The PLU save and delete on the demo shop's database: what the statements
// write, the checks that refuse a PLU, and that a save is all or nothing.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "encoding/Hierarchy.h"
#include "manage/PluRecord.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace korvo;
using namespace korvo::test;

class TestPluSave : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestDataRoot> m_root;
    std::unique_ptr<AppState> m_state;

    AppState &state() { return *m_state; }
    QString scalar(const QString &sql) { return SqlScalar(*m_state, sql); }

    PluRecord load(qint32 no)
    {
        const auto r = LoadPlu(state(), no);
        return r.value_or(PluRecord());
    }
    // Every column of a PLU row and of its discount row, for "nothing changed".
    QStringList rows(qint32 no)
    {
        QStringList out;
        for (const QString &table : {QStringLiteral("PLU"), QStringLiteral("DISCOUNT")}) {
            QSqlQuery q(QSqlDatabase::database(m_state->connMain));
            q.exec(QStringLiteral("select * from %1 where PLU_No=%2").arg(table).arg(no));
            while (q.next())
                for (int i = 0; i < q.record().count(); ++i)
                    out << q.record().fieldName(i) + "=" + q.value(i).toString();
        }
        return out;
    }

private slots:
    void init()
    {
        m_root = std::make_unique<TestDataRoot>();
        QVERIFY2(m_root->ok(), qPrintable(m_root->error()));
        m_state = m_root->loadedState();
        QVERIFY(m_state);
        LoadMGSettings(state());
        LoadScaleBarcodeList(state());
    }
    void cleanup()
    {
        m_state.reset();
        m_root.reset();
    }

    void savedValues()
    {
        // PLU 2: organic (a flag without a box), a discount rule.
        PluRecord r = load(2);
        QVERIFY(r.status.value("Stat2_Organic"));
        r.values[pf::Commodity] = "O'Neil\rbest";
        r.values[pf::UPrice] = "2,49";
        r.values[pf::Cost] = "";
        r.values[pf::Ingredient] = "salt";
        r.values[pf::SBTime] = "8:05";
        (*r.discount)[0] = "";        // start date left out
        (*r.discount)[1] = "7:30";
        QCOMPARE(SavePlu(state(), r, 2).status, PluSaveOutcome::Saved);
        const QStringList expected = {
            "O'Neil\rbest", "2.49", "<null>", "salt", "08:05:00",
            "1", "1", "1",                       // linked Stat1_Ingredient, Stat2_Organic kept, B2B
            "<null>", "07:30:00", "2026-03-28",   // discount dates and times
        };
        QStringList got;
        for (const char *c : {"PLU_Commodity", "PLU_UPrice", "PLU_Cost", "PLU_Ingredient", "PLU_SBTime",
                              "Stat1_Ingredient", "Stat2_Organic", "Stat2_PLUStatB2B"})
            got << scalar(QStringLiteral("select %1 from PLU where PLU_No=2").arg(c));
        for (const char *c : {"Dis_SDate", "Dis_STime", "Dis_EDate"})
            got << scalar(QStringLiteral("select %1 from DISCOUNT where PLU_No=2").arg(c));
        QCOMPARE(got, expected);
        // The record was built again from the saved row.
        QVERIFY(scalar("select length(ZentBinData) from PLU where PLU_No=2").toInt() > 20);

        // Without the discount in use its rule goes.
        r.status["Stat2_Discount"] = false;
        QCOMPARE(SavePlu(state(), r, 2).status, PluSaveOutcome::Saved);
        QCOMPARE(SqlCount(state(), "DISCOUNT where PLU_No=2"), 0);
        QCOMPARE(scalar("select Stat2_Discount from PLU where PLU_No=2"), "0");
    }

    void refusedSavesChangeNothing_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("status");
        const int invalid = PluSaveOutcome::Invalid;
        QTest::newRow("existing number") << "PLU_No" << "3" << int(PluSaveOutcome::Exists);
        QTest::newRow("number 0") << "PLU_No" << "0" << invalid;
        QTest::newRow("number too big") << "PLU_No" << "1000000" << invalid;
        QTest::newRow("price text") << "PLU_UPrice" << "1.5'); delete from PLU; --" << invalid;
        QTest::newRow("price too big") << "PLU_UPrice" << "1000000" << invalid;
        QTest::newRow("tare fraction") << "PLU_Tare" << "1.5" << invalid;
        QTest::newRow("negative days") << "PLU_UBDate" << "-1" << invalid;
        QTest::newRow("time") << "PLU_PAKTime" << "25:00" << invalid;
        QTest::newRow("main group") << "PLU_MG" << "5555" << invalid;
        QTest::newRow("discount date") << "Dis_EDate" << "2026-13-01" << invalid;
        QTest::newRow("discount limit") << "Dis_FirstLIM" << "lots" << invalid;
    }
    void refusedSavesChangeNothing()
    {
        QFETCH(QString, column);
        QFETCH(QString, value);
        QFETCH(int, status);
        const QStringList before = rows(2) + rows(3);
        PluRecord r = load(2);
        if (column.startsWith("Dis_")) {
            for (int i = 0; i < kDiscountColumnCount; ++i)
                if (column == QLatin1String(kDiscountColumns[i]))
                    (*r.discount)[i] = value;
        } else {
            r.values[state().pluFields.indexOf(column)] = value;
        }
        const PluSaveOutcome o = SavePlu(state(), r, 2);
        QCOMPARE(int(o.status), status);
        QCOMPARE(o.column, column);
        QCOMPARE(rows(2) + rows(3), before);
        QVERIFY(m_root->ui.messages.isEmpty()); // the caller tells the operator
    }

    void failedSaveRollsBack()
    {
        // A rejected PLU insert after the deletes, and a record the encoder
        // cannot build (a text line beyond 255 bytes): both leave PLU 1 and
        // its discount rule as they were, reported once.
        QVERIFY(QSqlQuery(QSqlDatabase::database(m_state->connMain))
                    .exec("create trigger refuse before insert on PLU when new.PLU_Commodity='boom' "
                          "begin select raise(abort, 'refused'); end"));
        for (const QString &name : {QStringLiteral("boom"), QString(300, QLatin1Char('x'))}) {
            const QStringList before = rows(1);
            QVERIFY(before.contains("Dis_Type=2"));
            PluRecord r = load(1);
            r.values[pf::Commodity] = name;
            m_root->ui.messages.clear();
            QCOMPARE(SavePlu(state(), r, 1).status, PluSaveOutcome::Failed);
            QCOMPARE(rows(1), before);
            QCOMPARE(m_root->ui.messages.size(), 1);
            QCOMPARE(m_root->ui.messages.first().title, "frmPLUEditor.SaveToDatabase");
        }
        // Inside a batch, as korvoctl saves, the failed PLU alone is undone.
        const QStringList before = rows(1);
        {
            Transaction batch(state());
            PluRecord good = load(4);
            good.values[pf::UPrice] = "4.44";
            PluRecord bad = load(1);
            bad.values[pf::Commodity] = "boom";
            QCOMPARE(SavePlu(state(), good, 4).status, PluSaveOutcome::Saved);
            QCOMPARE(SavePlu(state(), bad, 1).status, PluSaveOutcome::Failed);
            QVERIFY(batch.commit());
        }
        QCOMPARE(rows(1), before);
        QCOMPARE(scalar("select PLU_UPrice from PLU where PLU_No=4"), "4.44");
    }

    void deleteTakesDiscounts()
    {
        QCOMPARE(SqlCount(state(), "DISCOUNT where PLU_No in (1,2,7)"), 3);
        QVERIFY(DeletePlus(state(), {1, 2}));
        QCOMPARE(SqlColumn(state(), "select PLU_No from PLU where PLU_No in (1,2,7)"), QStringList{"7"});
        QCOMPARE(SqlColumn(state(), "select PLU_No from DISCOUNT where PLU_No in (1,2,7)"), QStringList{"7"});
    }
};

QTEST_MAIN(TestPluSave)
#include "tst_plusave.moc"
