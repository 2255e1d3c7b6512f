// korvoctl plu get and plu save, run as the built program over a test data
// root: the JSON round trip and what a merchandise system may send.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace korvo;

namespace {

using Run = test::ProgramRun;

} // namespace

class TestCtlPlu : public QObject {
    Q_OBJECT

private:
    test::TestDataRoot m_root;
    std::unique_ptr<AppState> m_state;

    Run ctl(const QStringList &args, const QByteArray &input = {})
    {
        return test::RunKorvoctl(QStringList{"--data-root", m_root.path(), "plu"} + args, input);
    }
    QString scalar(const QString &sql) { return test::SqlScalar(*m_state, sql); }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_root.ok(), qPrintable(m_root.error()));
        m_state = m_root.loadedState();
        QVERIFY(m_state);
    }

    void roundTrip()
    {
        const Run got = ctl({"get", "1"});
        QCOMPARE(got.exitCode, 0);
        const QJsonObject plu = QJsonDocument::fromJson(got.out.toUtf8()).object();
        QCOMPARE(plu.value("PLU_Commodity").toString(), "Bananas\rripe, loose");
        QCOMPARE(plu.value("PLU_UPrice").toDouble(), 1.69);
        QVERIFY(plu.value("PLU_EANData").isNull());
        QCOMPARE(plu.value("Stat2_Discount").toBool(), true);
        QCOMPARE(plu.value("discount").toObject().value("Dis_Type").toInt(), 2);

        QTemporaryDir dir;
        QVERIFY(test::WriteFile(dir.filePath("plu.json"), got.out.toUtf8()));
        const Run saved = ctl({"save", dir.filePath("plu.json")});
        QCOMPARE(saved.out, "PLU 1 saved\n");
        QCOMPARE(saved.exitCode, 0);
        // Saved again, the PLU reads back the same but for its update time.
        QJsonObject again = QJsonDocument::fromJson(ctl({"get", "1"}).out.toUtf8()).object();
        QJsonObject before = plu;
        for (QJsonObject *o : {&again, &before}) {
            o->remove("PLU_UPDate");
            o->remove("PLU_UPTime");
        }
        QCOMPARE(again, before);
    }

    void savedAndRefused()
    {
        const QString before1 = ctl({"get", "1"}).out;
        const QJsonArray objects = {
            QJsonObject{{"PLU_No", 8000}, {"PLU_MG", 101}, {"PLU_Commodity", "O'Neil"}, {"PLU_UPrice", "1,5"},
                        {"PLU_ItemCode", ""}, {"Stat2_Organic", true}, {"PLU_Ingredient", "x'); drop table PLU; --"}},
            QJsonObject{{"plu_no", "2"}, {"PLU_Cost", QJsonValue::Null}},
            QJsonObject{{"PLU_No", 8001}, {"PLU_MG", 101}, {"PLU_Tare", "5); delete from PLU; --"}},
            QJsonObject{{"PLU_No", 8002}, {"PLU_MG", 101}, {"PLU_Price", 1}},
            QJsonObject{{"PLU_No", 1}, {"PLU_Commodity", "changed"}, {"discount", QJsonObject{{"Dis_SDate", "2026-02-30"}}}},
            QJsonObject{{"PLU_No", 1.5}},
            QJsonArray{1},
        };
        const QByteArray input = QJsonDocument(objects).toJson();
        const Run r = ctl({"save", "-"}, input);
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.out.split('\n', Qt::SkipEmptyParts),
                 (QStringList{"PLU 8000 saved", "PLU 2 saved", "PLU 8001 not saved", "PLU 8002 not saved",
                              "PLU 1 not saved", "object 6 not saved", "object 7 not saved"}));
        for (const char *reason : {"PLU_Tare", "unknown column \"PLU_Price\"", "Dis_SDate", "PLU_No must be"})
            QVERIFY2(r.err.contains(QLatin1String(reason)), qPrintable(r.err));

        // Quotes, a decimal comma, an empty text as null, a hostile text kept as text.
        QCOMPARE(scalar("select PLU_Commodity||'|'||PLU_UPrice||'|'||(PLU_ItemCode is null)||'|'||Stat2_Organic"
                        "||'|'||PLU_Ingredient from PLU where PLU_No=8000"),
                 "O'Neil|1.5|1|1|x'); drop table PLU; --");
        QVERIFY(scalar("select length(ZentBinData) from PLU where PLU_No=8000").toInt() > 20);
        // Keys left out keep what the PLU had.
        QCOMPARE(scalar("select (PLU_Cost is null)||'|'||PLU_UPrice from PLU where PLU_No=2"), "1|2.29");
        QCOMPARE(test::SqlCount(*m_state, "PLU where PLU_No in (8001, 8002)"), 0);
        QCOMPARE(ctl({"get", "1"}).out, before1);
    }

    void getRefusals()
    {
        const Run missing = ctl({"get", "777777"});
        QCOMPARE(missing.exitCode, 1);
        QVERIFY(missing.err.contains("does not exist"));
        QCOMPARE(ctl({"get", "1x"}).exitCode, 2);
        QCOMPARE(ctl({"save", "/no/such/file.json"}).exitCode, 1);
        QCOMPARE(ctl({"save", "-"}, "{not json").exitCode, 1);
    }
};

QTEST_MAIN(TestCtlPlu)
#include "tst_ctlplu.moc"
