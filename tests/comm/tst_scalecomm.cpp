// The scale communication component over real TCP against real scalesim
// processes on 127.0.0.x: send, read, delete and synchronise round trips,
// faulty and offline scales beside a healthy one, the scale list.

#include "comm/ScaleList.h"
#include "comm/TcpScaleComm.h"
#include "common/SimProcess.h"
#include "common/TestSupport.h"
#include "core/Database.h"
#include "encoding/Hierarchy.h"
#include "encoding/RecordBuilder.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace korvo;
using namespace korvo::test;

namespace {

struct Shop {
    TestDataRoot root;
    std::unique_ptr<AppState> state;
    QTemporaryDir store;
    bool encode()
    {
        state = root.loadedState();
        if (!state)
            return false;
        LoadMGSettings(*state);
        LoadScaleBarcodeList(*state);
        qint32 last = 0;
        return CreatePLUData(*state, QStringLiteral("ALL"), last).failedPlus.isEmpty();
    }
    // "PLU:record" of every PLU a scale sent, as RC_PLU holds them.
    QStringList held(const QString &address)
    {
        return SqlColumn(*state, QStringLiteral("select PLU_No || ':' || ZentBinData from RC_PLU where SC_IP='%1' order by PLU_No").arg(address));
    }
    QStringList database() { return SqlColumn(*state, QStringLiteral("select PLU_No || ':' || ZentBinData from PLU order by PLU_No")); }
    int pluCount() { return SqlCount(*state, QStringLiteral("PLU")); }
};

QString failures(const CommCallResult &r)
{
    QStringList out = r.problems;
    for (const ScaleResult &s : r.scales)
        out << s.summary();
    return out.join(u'\n');
}

} // namespace

class TestScaleComm : public QObject {
    Q_OBJECT

private slots:
    void scaleList_data();
    void scaleList();
    void roundTrip();
    void faultyScalesBesideHealthy();
};

void TestScaleComm::scaleList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("targets"); // address/number/items;...
    QTest::addColumn<int>("problems");

    QTest::newRow("two lines") << "192.168.1.21,2021,5,7\r\n192.168.1.22,2022,5,7\r\n"
                               << "192.168.1.21/2021/5,7;192.168.1.22/2022/5,7" << 0;
    QTest::newRow("no items, blanks") << " 10.0.0.5 , 2005 \r\n" << "10.0.0.5/2005/" << 0;
    QTest::newRow("same scale twice merges") << "10.0.0.5,2005,1,2\r\n10.0.0.5,2005,2,3\r\n" << "10.0.0.5/2005/1,2,3" << 0;
    QTest::newRow("malformed lines skipped")
        << "10.0.0.5\r\n10.0.0.256,2256\r\n10.0.0.6,20x6\r\n10.0.0.7,2007,1,abc\r\n10.0.0.8,2008,9\r\n10.0.0.8,2099\r\n"
        << "10.0.0.8/2008/9" << 5;
}

void TestScaleComm::scaleList()
{
    QFETCH(QString, text);
    QFETCH(QString, targets);
    QFETCH(int, problems);
    const ParsedScaleList p = ParseScaleList(text);
    QStringList got;
    for (const ScaleTarget &t : p.targets) {
        QStringList items;
        for (qint64 i : t.items)
            items << QString::number(i);
        got << QStringLiteral("%1/%2/%3").arg(t.address).arg(t.scaleNo).arg(items.join(u','));
    }
    QCOMPARE(got.join(u';'), targets);
    QCOMPARE(p.problems.size(), problems);
    QCOMPARE(ScaleListLine(QStringLiteral("192.168.1.25"), {5, 7}), QStringLiteral("192.168.1.25,2025,5,7\r\n"));
}

void TestScaleComm::roundTrip()
{
    Shop shop;
    QVERIFY(shop.encode());
    SimProcess sim;
    QString error;
    QVERIFY2(sim.start({"--listen", "127.0.0.31", "--listen", "127.0.0.32", "--store", shop.store.path()}, &error), qPrintable(error));
    QVERIFY(UseScalePort(shop.root.iniPath(), sim.port()));
    AppState &st = *shop.state;
    TcpScaleComm comm(st);
    const QString a = QStringLiteral("127.0.0.31"), b = QStringLiteral("127.0.0.32");
    const QString both = ScaleListLine(a) + ScaleListLine(b);

    CommCallResult r = comm.WRFDEPT(both);
    QVERIFY2(r.ok(), qPrintable(failures(r)));
    QCOMPARE(r.scales.at(1).written, SqlCount(st, QStringLiteral("DEPT")));
    r = comm.WRFMG(both);
    QCOMPARE(r.scales.at(0).written, SqlCount(st, QStringLiteral("MG")));
    r = comm.WRFALLPLU(both);
    QVERIFY2(r.ok(), qPrintable(failures(r)));
    QCOMPARE(r.scales.at(0).written, shop.pluCount());
    r = comm.RDFPLU(both);
    QVERIFY2(r.ok(), qPrintable(failures(r)));
    QCOMPARE(shop.held(a), shop.database());
    QCOMPARE(shop.held(b), shop.database());
    QCOMPARE(SqlCount(st, QStringLiteral("RC_PLU where PLU_Compare=1")), 0);

    // Three PLUs of one department (c, d and the one edited on the scale
    // below in another department).
    const QString dept = SqlScalar(st, QStringLiteral("select DP_No from MG where MG_No=(select PLU_MG from PLU where PLU_No=(select min(PLU_No) from PLU))"));
    const QStringList ofDept = SqlColumn(st, QStringLiteral("select PLU_No from PLU where PLU_MG in (select MG_No from MG where DP_No=%1) order by PLU_No").arg(dept));
    const QString other = SqlScalar(st, QStringLiteral("select max(PLU_No) from PLU where PLU_MG not in (select MG_No from MG where DP_No=%1)").arg(dept));
    QVERIFY(ofDept.size() >= 3);
    const QString c = ofDept.at(0), d = ofDept.at(1);

    // A price changed on the scale is flagged when received.
    QProcess edit;
    edit.start(SimProcess::binary(), {"edit", "--store", shop.store.path(), "--scale", a, "--plu", other, "--price", "9.99", "--data-root", shop.root.path()});
    QVERIFY(edit.waitForFinished(20000));
    QVERIFY2(edit.exitCode() == 0, edit.readAllStandardError().constData());
    r = comm.RDFPLU(ScaleListLine(a));
    QVERIFY2(r.ok(), qPrintable(failures(r)));
    QCOMPARE(SqlColumn(st, QStringLiteral("select PLU_No || ' ' || PLU_UPrice from RC_PLU where PLU_Compare=1")), QStringList{other + " 9.99"});

    // Synchronising: what the database lacks goes, what differs or is
    // missing comes, within the scope.
    r = comm.DELRPLU(ScaleListLine(b, {d.toLongLong(), 999999}));
    QCOMPARE(r.scales.at(0).deleted, 1);
    QVERIFY(QueryKorvoDB(st, QStringLiteral("delete from PLU where PLU_No=") + c));
    QVERIFY(QueryKorvoDB(st, QStringLiteral("update PLU set PLU_UPrice=PLU_UPrice+1 where PLU_No=") + d));
    qint32 no = d.toInt();
    CreatePLUData(st, QStringLiteral("SINGLE"), no);
    r = comm.SyncPLUFromPCtoScale(ScaleListLine(b));
    QVERIFY2(r.ok(), qPrintable(failures(r)));
    QCOMPARE(r.scales.at(0).written, 1); // d
    QCOMPARE(r.scales.at(0).deleted, 1); // c
    r = comm.SyncPLUFromPCtoScale(ScaleListLine(a, {dept.toLongLong()}), SyncItems::Departments);
    QCOMPARE(r.scales.at(0).written, 1);
    QCOMPARE(r.scales.at(0).deleted, 1);
    r = comm.SyncPLUFromPCtoScale(ScaleListLine(a, {other.toLongLong()}));
    QCOMPARE(r.scales.at(0).written, 1);
    r = comm.RDFPLU(both);
    QVERIFY2(r.ok(), qPrintable(failures(r)));
    QCOMPARE(shop.held(a), shop.database());
    QCOMPARE(shop.held(b), shop.database());

    // A PLU without a record is not sent and is named.
    QVERIFY(QueryKorvoDB(st, QStringLiteral("update PLU set ZentBinData='' where PLU_No=") + d));
    r = comm.WRFPLU(ScaleListLine(a, {d.toLongLong(), other.toLongLong()}));
    QCOMPARE(r.scales.at(0).written, 1);
    QCOMPARE(r.scales.at(0).skipped, QStringList{QStringLiteral("PLU %1 has no scale record (save or encode it)").arg(d)});
    QVERIFY(!r.ok());

    r = comm.DELFPLU(both);
    QCOMPARE(r.scales.at(1).deleted, shop.pluCount());
    comm.RDFPLU(both);
    QCOMPARE(SqlCount(st, QStringLiteral("RC_PLU")), 0);
}

void TestScaleComm::faultyScalesBesideHealthy()
{
    Shop shop;
    QVERIFY(shop.encode());
    SimProcess healthy, refusing, garbage, slow, dropping, full;
    QString error;
    QVERIFY2(healthy.start({"--listen", "127.0.0.41", "--store", shop.store.path()}, &error), qPrintable(error));
    const QString port = QString::number(healthy.port());
    const QStringList common{"--store", shop.store.path(), "--port", port};
    QVERIFY(refusing.start(QStringList{"--listen", "127.0.0.42", "--refuse"} + common));
    QVERIFY(garbage.start(QStringList{"--listen", "127.0.0.43", "--garbage"} + common));
    QVERIFY(slow.start(QStringList{"--listen", "127.0.0.44", "--delay-ms", "3000"} + common));
    QVERIFY(dropping.start(QStringList{"--listen", "127.0.0.46", "--drop-after", "1"} + common));
    QVERIFY(full.start(QStringList{"--listen", "127.0.0.47", "--capacity", "5"} + common));
    QVERIFY(UseScalePort(shop.root.iniPath(), healthy.port(), 1000, 1));
    TcpScaleComm comm(*shop.state);

    QString list;
    for (int i : {41, 42, 43, 44, 45, 46, 47}) // 45: nothing listens there
        list += ScaleListLine(QStringLiteral("127.0.0.%1").arg(i));
    QStringList order;
    connect(&comm, &ScaleComm::scaleFinished, this, [&](int, const ScaleResult &s) { order << s.address; });
    const CommCallResult r = comm.WRFALLPLU(list);
    QCOMPARE(r.scales.size(), 7);
    QVERIFY2(r.scales.at(0).complete(), qPrintable(failures(r)));
    QCOMPARE(r.scales.at(0).written, shop.pluCount());
    const QStringList expected{"REFUSED", "unreadable", "no reply within 1000 ms", "connection refused",
                               "closed the connection", "STORE_FULL"};
    for (int i = 1; i < 7; ++i) {
        QCOMPARE(r.scales.at(i).state, ScaleResult::State::Failed);
        QVERIFY2(r.scales.at(i).failure.contains(expected.at(i - 1)), qPrintable(r.scales.at(i).summary()));
    }
    QCOMPARE(r.scales.at(4).attempts, 2); // one retry
    QCOMPARE(r.scales.at(6).attempts, 1); // a refusal is not retried
    QVERIFY(order.indexOf(QStringLiteral("127.0.0.41")) < order.indexOf(QStringLiteral("127.0.0.44")));

    CommCallResult wrong = comm.WRFPLU(QStringLiteral("127.0.0.41,2099,1\r\n"));
    QVERIFY2(wrong.scales.at(0).failure.contains(QStringLiteral("WRONG_SCALE this is scale 2041, not 2099")),
             qPrintable(failures(wrong)));

    // Malformed lines are named and skipped, the good one is served.
    wrong = comm.WRFPLU(QStringLiteral("127.0.0.41\r\n127.0.0.41,2041,1,abc\r\n127.0.0.47,2047,0\r\n127.0.0.41,2041,1\r\n"));
    QCOMPARE(wrong.problems.size(), 3);
    QCOMPARE(wrong.scales.size(), 1);
    QVERIFY(wrong.scales.at(0).complete());

    // Cancel ends a call that waits for a slow scale.
    QSignalSpy finished(&comm, &ScaleComm::callFinished);
    QVERIFY(comm.start(CommMethod::WriteAllPlu, ScaleListLine(QStringLiteral("127.0.0.44"))));
    QVERIFY(!comm.start(CommMethod::WriteAllPlu, ScaleListLine(QStringLiteral("127.0.0.41")))); // one call at a time
    QTimer::singleShot(100, &comm, &ScaleComm::cancel);
    QVERIFY(finished.wait(5000));
    const auto cancelled = finished.first().first().value<CommCallResult>();
    QVERIFY(cancelled.cancelled);
    QCOMPARE(cancelled.scales.at(0).state, ScaleResult::State::Cancelled);
}

QTEST_GUILESS_MAIN(TestScaleComm)
#include "tst_scalecomm.moc"
