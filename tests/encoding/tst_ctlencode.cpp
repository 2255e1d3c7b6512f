// korvoctl encode: the command line over a real data root.

#include "common/TestSupport.h"
#include "core/AppState.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using namespace korvo;
using namespace korvo::test;

namespace {

QString korvoctlPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../src/korvoctl");
}

ProgramRun korvoctl(const QStringList &args) { return RunKorvoctl(args); }

} // namespace

class TestCtlEncode : public QObject {
    Q_OBJECT

private slots:
    void encodeCommand();
};

void TestCtlEncode::encodeCommand()
{
    TestDataRoot root(true);
    QVERIFY2(root.ok(), qPrintable(root.error()));
    const QStringList base{QStringLiteral("--data-root"), root.path()};

    ProgramRun r = korvoctl(base + QStringList{"encode", "--all"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY(r.err.contains(QStringLiteral(" PLUs encoded")));

    // Every demo PLU now has its record.
    {
        auto state = root.loadedState();
        QVERIFY(state);
        QSqlQuery q(QSqlDatabase::database(state->connMain));
        QVERIFY(q.exec(QStringLiteral("select count(*) from PLU where ZentBinData is null or ZentBinData=''")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 0);
        // A PLU whose discount flag has no DISCOUNT row.
        QVERIFY(q.exec(QStringLiteral("select min(PLU_No) from PLU where PLU_No not in (select PLU_No from DISCOUNT)")));
        QVERIFY(q.next());
        const int plu = q.value(0).toInt();
        QVERIFY(q.exec(QStringLiteral("update PLU set Stat2_Discount=1 where PLU_No=%1").arg(plu)));

        r = korvoctl(base + QStringList{"encode", "--all"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(QStringLiteral("CreateZentPLUData(): PLU %1 has its discount flag").arg(plu)),
                 qPrintable(r.err));
        QVERIFY(r.err.contains(QStringLiteral("1 of ")));
        QVERIFY(r.err.contains(QStringLiteral("without a scale record: %1").arg(plu)));

        r = korvoctl(base + QStringList{"encode", "--plu", QString::number(plu)});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(QStringLiteral("CreateZentPLUData()")));

        QVERIFY(q.exec(QStringLiteral("update PLU set Stat2_Discount=0 where PLU_No=%1").arg(plu)));
        r = korvoctl(base + QStringList{"encode", "--plu", QString::number(plu)});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(r.err.contains(QStringLiteral("1 of 1 PLUs encoded")));

        // A second writer waits while another holds the database...
        QVERIFY(q.exec(QStringLiteral("BEGIN IMMEDIATE")));
        QProcess p;
        p.start(korvoctlPath(), base + QStringList{"encode", "--all"});
        QVERIFY2(!p.waitForFinished(1500), p.readAllStandardError().constData());
        QVERIFY(q.exec(QStringLiteral("COMMIT")) && p.waitForFinished(120000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        // ...and when it is not let in, fails once with one message and
        // changes nothing.
        QVERIFY(q.exec(QStringLiteral("update PLU set ZentBinData='OLD'")));
        QVERIFY(q.exec(QStringLiteral("BEGIN IMMEDIATE")));
        r = korvoctl(base + QStringList{"encode", "--all"});
        QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.trimmed().count(u'\n') == 0 && r.err.contains(QStringLiteral("No scale record was changed"))
                     && r.err.contains(QStringLiteral("in use by another program")),
                 qPrintable(r.err));
        QCOMPARE(SqlCount(*state, QStringLiteral("PLU where ZentBinData<>'OLD'")), 0);
    }

    r = korvoctl(base + QStringList{"encode", "--plu", "999999"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains(QStringLiteral("PLU 999999 does not exist")));
    r = korvoctl(base + QStringList{"encode"});
    QCOMPARE(r.exitCode, 2);
    // PLU numbers are read strictly: no rounding, no prefix, 1 to 999999.
    for (const char *bad : {"x", "1.5", "0", "1000000", "12x"}) {
        r = korvoctl(base + QStringList{"encode", "--plu", bad});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(QStringLiteral("is no PLU number")), bad);
    }
}

QTEST_GUILESS_MAIN(TestCtlEncode)
#include "tst_ctlencode.moc"
