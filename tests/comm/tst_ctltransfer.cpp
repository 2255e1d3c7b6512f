// korvoctl encode, send, delete, receive and sync: the built program over a
// real data root and a real simulator, its messages and exit statuses.

#include "common/SimProcess.h"
#include "common/TestSupport.h"
#include "core/Database.h"
#include "core/Log.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace korvo;
using namespace korvo::test;

class TestCtlTransfer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(m_root.ok(), qPrintable(m_root.error()));
        m_state = m_root.loadedState();
        QVERIFY(m_state);
    }
    void encode();
    void transfer();

private:
    // A run of korvoctl on the data root that must end with the status expected.
    ProgramRun korvoctl(const QStringList &args, int expected)
    {
        const ProgramRun r = RunKorvoctl(QStringList{"--data-root", m_root.path()} + args);
        [&] { QVERIFY2(r.exitCode == expected, qPrintable(args.join(u' ') + ":\n" + r.out + r.err)); }();
        return r;
    }
    TestDataRoot m_root{true};
    std::unique_ptr<AppState> m_state;
};

void TestCtlTransfer::encode()
{
    AppState &s = *m_state;
    QVERIFY(korvoctl({"encode", "--all"}, 0).err.contains(QStringLiteral(" PLUs encoded")));
    QCOMPARE(SqlCount(s, QStringLiteral("PLU where ZentBinData is null or ZentBinData=''")), 0);
    // A PLU whose discount flag has no DISCOUNT row.
    const QString plu = SqlScalar(s, QStringLiteral("select min(PLU_No) from PLU where PLU_No not in (select PLU_No from DISCOUNT)"));
    QVERIFY(SqlExec(s, QStringLiteral("update PLU set Stat2_Discount=1 where PLU_No=") + plu));
    QString err = korvoctl({"encode", "--all"}, 1).err;
    QVERIFY2(err.contains(QStringLiteral("CreateZentPLUData(): PLU %1 has its discount flag").arg(plu))
                 && err.contains(QStringLiteral("1 of ")) && err.contains(QStringLiteral("without a scale record: ") + plu),
             qPrintable(err));
    QVERIFY(korvoctl({"encode", "--plu", plu}, 1).err.contains(QStringLiteral("CreateZentPLUData()")));
    QVERIFY(SqlExec(s, QStringLiteral("update PLU set Stat2_Discount=0 where PLU_No=") + plu));
    QVERIFY(korvoctl({"encode", "--plu", plu}, 0).err.contains(QStringLiteral("1 of 1 PLUs encoded")));

    // A second writer waits while another holds the database...
    QVERIFY(SqlExec(s, QStringLiteral("BEGIN IMMEDIATE")));
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../src/korvoctl"),
            {"--data-root", m_root.path(), "encode", "--all"});
    QVERIFY2(!p.waitForFinished(1500), p.readAllStandardError().constData());
    QVERIFY(SqlExec(s, QStringLiteral("COMMIT")) && p.waitForFinished(120000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    // ...and when it is not let in, fails once with one message and changes
    // nothing.
    QVERIFY(SqlExec(s, QStringLiteral("update PLU set ZentBinData='OLD'")));
    QVERIFY(SqlExec(s, QStringLiteral("BEGIN IMMEDIATE")));
    err = korvoctl({"encode", "--all"}, 1).err;
    QVERIFY(SqlExec(s, QStringLiteral("ROLLBACK")));
    QVERIFY2(err.trimmed().count(u'\n') == 0 && err.contains(QStringLiteral("No scale record was changed"))
                 && err.contains(QStringLiteral("in use by another program")),
             qPrintable(err));
    QCOMPARE(SqlCount(s, QStringLiteral("PLU where ZentBinData<>'OLD'")), 0);

    QVERIFY(korvoctl({"encode", "--plu", "999999"}, 1).err.contains(QStringLiteral("PLU 999999 does not exist")));
    korvoctl({"encode"}, 2);
    // PLU numbers are read strictly: no rounding, no prefix, 1 to 999999.
    for (const char *bad : {"x", "1.5", "0", "1000000", "12x"})
        QVERIFY2(korvoctl({"encode", "--plu", bad}, 2).err.contains(QStringLiteral("is no PLU number")), bad);
}

void TestCtlTransfer::transfer()
{
    AppState &s = *m_state;
    QTemporaryDir store;
    SimProcess sim;
    QVERIFY(sim.start({"--listen", "127.0.0.51", "--store", store.path()}));
    QVERIFY(UseScalePort(m_root.iniPath(), sim.port(), 1000, 0));
    // Two used scales, the second offline; the demo's own are not used.
    QVERIFY(QueryKorvoDB(s, QStringLiteral("update SCALE set SC_Used=False")));
    QVERIFY(QueryKorvoDB(s, QStringLiteral("insert into SCALE (SC_IP,SECT_No,SC_Used) values ('127.0.0.51',1,True),('127.0.0.52',1,True)")));
    const int plus = SqlCount(s, QStringLiteral("PLU"));

    korvoctl({"encode", "--all"}, 0);
    QString out = korvoctl({"send", "--all-scales", "--all"}, 2).out;
    QVERIFY2(out.startsWith(QStringLiteral("127.0.0.51 2051 ok written=%1 ").arg(plus)), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("127.0.0.52 2052 failed")), qPrintable(out));
    korvoctl({"send", "--scales", "127.0.0.51", "--dept", "2"}, 0);
    out = korvoctl({"receive", "--scales", "127.0.0.51"}, 0).out;
    QVERIFY(out.contains(QStringLiteral("read=%1 ").arg(plus)));
    QCOMPARE(SqlCount(s, QStringLiteral("RC_PLU where SC_IP='127.0.0.51'")), plus);
    korvoctl({"sync", "--scales", "127.0.0.51", "--plu", "1,999999"}, 0);
    out = korvoctl({"delete", "--scales", "127.0.0.51", "--all"}, 0).out;
    QVERIFY(out.contains(QStringLiteral("deleted=%1 ").arg(plus)));
    korvoctl({"delete", "--scales", "127.0.0.51"}, 1);
    korvoctl({"send", "--scales", "127.0.0.1.5", "--all"}, 1);
    korvoctl({"send", "--scales", "127.0.0.51", "--plu", "0"}, 1);

    // The call sequence is logged as the program logs it.
    const QByteArray log = FileBytes(LogFilePath(s, QDate::currentDate()));
    QVERIFY(QString::fromUtf16(reinterpret_cast<const char16_t *>(log.constData()), log.size() / 2)
                .contains(QStringLiteral("g_dllZent.WRFALLPLU 127.0.0.51,2051\r\n127.0.0.52,2052")));
}

QTEST_GUILESS_MAIN(TestCtlTransfer)
#include "tst_ctltransfer.moc"
