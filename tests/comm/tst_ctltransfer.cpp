// korvoctl send, delete, receive and sync: the built program against a real
// simulator, its result lines and exit statuses.

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
    void commands();
};

void TestCtlTransfer::commands()
{
    TestDataRoot root(true);
    QVERIFY2(root.ok(), qPrintable(root.error()));
    QTemporaryDir store;
    SimProcess sim;
    QVERIFY(sim.start({"--listen", "127.0.0.51", "--store", store.path()}));
    QVERIFY(UseScalePort(root.iniPath(), sim.port(), 1000, 0));
    auto state = root.loadedState();
    QVERIFY(state);
    // Two used scales, the second offline; the demo's own are not used.
    QVERIFY(QueryKorvoDB(*state, QStringLiteral("update SCALE set SC_Used=False")));
    QVERIFY(QueryKorvoDB(*state, QStringLiteral("insert into SCALE (SC_IP,SECT_No,SC_Used) values ('127.0.0.51',1,True),('127.0.0.52',1,True)")));
    const int plus = SqlCount(*state, QStringLiteral("PLU"));

    auto korvoctl = [&](const QStringList &args, int expected) {
        const ProgramRun r = RunKorvoctl(QStringList{"--data-root", root.path()} + args);
        [&] { QVERIFY2(r.exitCode == expected, qPrintable(args.join(u' ') + ":\n" + r.out + r.err)); }();
        return r.out;
    };

    korvoctl({"encode", "--all"}, 0);
    QString out = korvoctl({"send", "--all-scales", "--all"}, 2);
    QVERIFY2(out.startsWith(QStringLiteral("127.0.0.51 2051 ok written=%1 ").arg(plus)), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("127.0.0.52 2052 failed")), qPrintable(out));
    korvoctl({"send", "--scales", "127.0.0.51", "--dept", "2"}, 0);
    out = korvoctl({"receive", "--scales", "127.0.0.51"}, 0);
    QVERIFY(out.contains(QStringLiteral("read=%1 ").arg(plus)));
    QCOMPARE(SqlCount(*state, QStringLiteral("RC_PLU where SC_IP='127.0.0.51'")), plus);
    korvoctl({"sync", "--scales", "127.0.0.51", "--plu", "1,999999"}, 0);
    out = korvoctl({"delete", "--scales", "127.0.0.51", "--all"}, 0);
    QVERIFY(out.contains(QStringLiteral("deleted=%1 ").arg(plus)));
    korvoctl({"delete", "--scales", "127.0.0.51"}, 1);
    korvoctl({"send", "--scales", "127.0.0.1.5", "--all"}, 1);
    korvoctl({"send", "--scales", "127.0.0.51", "--plu", "0"}, 1);

    // The call sequence is logged as the program logs it.
    const QByteArray log = FileBytes(LogFilePath(*state, QDate::currentDate()));
    QVERIFY(QString::fromUtf16(reinterpret_cast<const char16_t *>(log.constData()), log.size() / 2)
                .contains(QStringLiteral("g_dllZent.WRFALLPLU 127.0.0.51,2051\r\n127.0.0.52,2052")));
}

QTEST_GUILESS_MAIN(TestCtlTransfer)
#include "tst_ctltransfer.moc"
