// The scale simulator itself: scales from a data root's SCALE table (only
// loopback addresses served), a store that survives a restart, and edits
// made "on the scale".

#include "comm/ScaleList.h"
#include "comm/TcpScaleComm.h"
#include "common/SimProcess.h"
#include "common/TestSupport.h"
#include "core/Database.h"

#include <QProcess>
#include <QTest>

using namespace korvo;
using namespace korvo::test;

class TestScaleSim : public QObject {
    Q_OBJECT

private slots:
    void storeSurvivesRestart();
};

void TestScaleSim::storeSurvivesRestart()
{
    TestDataRoot root(true);
    auto state = root.loadedState();
    QVERIFY(state);
    // 192.168.0.21 stands for a shop's real scale: named, never served.
    QVERIFY(QueryKorvoDB(*state, QStringLiteral("delete from SCALE")));
    QVERIFY(QueryKorvoDB(*state, QStringLiteral("insert into SCALE (SC_IP,SECT_No,SC_Used) values ('127.0.0.71',1,True),('192.168.0.21',1,True)")));
    QVERIFY(QueryKorvoDB(*state, QStringLiteral("update PLU set ZentBinData='0000010100083412' where PLU_No in (1,2)")));
    const QString line = ScaleListLine(QStringLiteral("127.0.0.71"));

    QString error;
    quint16 port = 0;
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--from-db", root.path()}, &error), qPrintable(error));
        QVERIFY(sim.output().contains(QStringLiteral("192.168.0.21 is not a 127.x.x.x address; skipped")));
        QVERIFY(sim.output().contains(QStringLiteral("ready, 1 scales")));
        port = sim.port();
        QVERIFY(UseScalePort(root.iniPath(), port));
        TcpScaleComm comm(*state);
        const CommCallResult r = comm.WRFPLU(ScaleListLine(QStringLiteral("127.0.0.71"), {1, 2}));
        QCOMPARE(r.scales.at(0).written, 2);
        QVERIFY(sim.output().contains(QStringLiteral("[127.0.0.71 2071] WRITE_PLU 2 PLUs (1 ... 2)")));
        QVERIFY(comm.DELRPLU(ScaleListLine(QStringLiteral("127.0.0.71"), {2})).ok());
    }

    // Edited while the simulator is down, read after its restart.
    QProcess edit;
    edit.start(SimProcess::binary(), {"edit", "--store", root.path() + "scalesim", "--scale", "127.0.0.71", "--plu", "2", "--price", "1"});
    QVERIFY(edit.waitForFinished(20000));
    QCOMPARE(edit.exitCode(), 1); // PLU 2 was deleted
    QVERIFY(edit.readAllStandardError().contains("scale 127.0.0.71 holds no PLU 2"));

    SimProcess again;
    QVERIFY(again.start({"--from-db", root.path(), "--port", QString::number(port)}, &error));
    TcpScaleComm comm(*state);
    const CommCallResult r = comm.RDFPLU(line);
    QCOMPARE(r.scales.at(0).read, 1);
    QCOMPARE(SqlColumn(*state, QStringLiteral("select PLU_No || ' ' || ZentBinData from RC_PLU")),
             QStringList{QStringLiteral("1 0000010100083412")});
    // A record the layout cannot read is kept as received and named.
    QVERIFY(r.scales.at(0).skipped.value(0).startsWith(QStringLiteral("PLU 1: the record could not be read")));
}

QTEST_GUILESS_MAIN(TestScaleSim)
#include "tst_scalesim.moc"
