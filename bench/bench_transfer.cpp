// Transfer speed: 10,000 PLUs sent to one simulated scale and to 20, each on
// its own 127.0.0.x address, through the component as the program calls it
// (WRFALLPLU), then read back (RDFPLU) and synchronised without changes.
// A second round gives every scale a reply delay, as a real scale's own
// storing takes time: there the scales' work overlaps as it does in a shop,
// where each scale has its own processor.
//
// usage: bench_transfer [PLU count] [scales] [reply delay ms]

#include "BenchSupport.h"
#include "comm/ScaleList.h"
#include "comm/TcpScaleComm.h"
#include "common/SimProcess.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "core/UserInterface.h"
#include "encoding/Hierarchy.h"
#include "encoding/RecordBuilder.h"
#include "startup/DataRoot.h"
#include "startup/Startup.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace korvo;

namespace {

// count PLUs copied from the demo articles, numbered from 1.
bool fillPlus(AppState &state, int count)
{
    QSqlDatabase db = QSqlDatabase::database(state.connMain);
    const QSqlRecord shape = db.record(QStringLiteral("PLU"));
    QStringList cols;
    for (int i = 1; i < shape.count(); ++i) // all but PLU_No
        cols << QLatin1Char('[') + shape.fieldName(i) + QLatin1Char(']');
    QSqlQuery q(db);
    return q.exec(QStringLiteral("create temp table tmpl as select row_number() over (order by PLU_No) as rn, * from PLU"))
        && q.exec(QStringLiteral("delete from PLU"))
        && q.exec(QStringLiteral("with recursive n(x) as (select 1 union all select x + 1 from n where x < %1) "
                                 "insert into PLU ([PLU_No],%2) select x,%3 from n join tmpl on tmpl.rn = (x - 1) % "
                                 "(select count(*) from tmpl) + 1")
                      .arg(count).arg(cols.join(u','), cols.join(u',')))
        && q.exec(QStringLiteral("update PLU set Stat2_Discount=0"));
}

// The best of runs; processor seconds of the PC side and of the simulator
// in that run.
struct Timing {
    double best = 1e9;
    double pcCpu = 0, simCpu = 0;
    bool ok = true;
};

Timing timeCall(TcpScaleComm &comm, const test::SimProcess &sim, CommMethod method, const QString &list, int runs)
{
    Timing t;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        const double pc0 = cpuSeconds(), sim0 = sim.cpuSeconds();
        clock.start();
        const CommCallResult r = comm.call(method, list);
        const double s = clock.nsecsElapsed() / 1e9;
        if (s < t.best) {
            t.best = s;
            t.pcCpu = cpuSeconds() - pc0;
            t.simCpu = sim.cpuSeconds() - sim0;
        }
        if (!r.ok()) {
            t.ok = false;
            for (const ScaleResult &s : r.scales)
                if (!s.complete())
                    std::fprintf(stderr, "  %s\n", qPrintable(s.summary()));
        }
    }
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int scales = argc > 2 ? std::atoi(argv[2]) : 20;
    const int delay = argc > 3 ? std::atoi(argv[3]) : 20;

    QTemporaryDir dir;
    QString error;
    if (!CreateDataRoot(dir.path(), DataRootOptions{}, &error)) {
        std::fprintf(stderr, "bench_transfer: %s\n", qPrintable(error));
        return 1;
    }
    SilentUi ui;
    AppState state(&ui);
    state.setPaths(QString(), dir.path());
    state.userName = QStringLiteral("bench");
    if (!LoadSettings(state) || !fillPlus(state, count)) {
        std::fprintf(stderr, "bench_transfer: the data root could not be prepared\n");
        return 1;
    }
    LoadMGSettings(state);
    LoadScaleBarcodeList(state);
    qint32 last = 0;
    const EncodeRunResult enc = CreatePLUData(state, QStringLiteral("ALL"), last);
    std::optional<QSqlQuery> size = QueryKorvoDB(state, QStringLiteral("select avg(length(ZentBinData)) / 2.0 from PLU"));
    std::printf("%d PLUs encoded, %.0f bytes per record on average\n", enc.encoded,
                size && size->next() ? size->value(0).toDouble() : 0.0);
    size.reset();

    for (const int replyDelay : {0, delay}) {
        QStringList args{"--store", dir.path() + QStringLiteral("/sim%1").arg(replyDelay)};
        QStringList addresses;
        for (int i = 0; i < scales; ++i) {
            addresses << QStringLiteral("127.0.0.%1").arg(101 + i);
            args << "--listen" << addresses.last();
        }
        if (replyDelay > 0)
            args << "--delay-ms" << QString::number(replyDelay);
        test::SimProcess sim;
        if (!sim.start(args, &error)) {
            std::fprintf(stderr, "bench_transfer: %s\n", qPrintable(error));
            return 1;
        }
        WriteIniString(QStringLiteral("ZentTCP"), QStringLiteral("Port"), QString::number(sim.port()), state.iniFile);
        WriteIniString(QStringLiteral("ZentTCP"), QStringLiteral("MaxParallel"), QString::number(scales), state.iniFile);
        TcpScaleComm comm(state);
        QString one = ScaleListLine(addresses.first()), all;
        for (const QString &a : std::as_const(addresses))
            all += ScaleListLine(a);

        std::printf("\nreply delay %d ms per request, %d scales\n", replyDelay, scales);
        std::printf("%-30s %9s %9s %9s   %s\n", "call", "1 scale s", "all s", "all / 1", "processor s, 1 / all: PC, simulator");
        const struct {
            const char *name;
            CommMethod method;
        } calls[] = {{"send all PLUs (WRFALLPLU)", CommMethod::WriteAllPlu},
                     {"read all PLUs (RDFPLU)", CommMethod::ReadPlu},
                     {"synchronise, nothing differs", CommMethod::Sync}};
        for (const auto &c : calls) {
            const Timing t1 = timeCall(comm, sim, c.method, one, 3);
            const Timing tn = timeCall(comm, sim, c.method, all, 3);
            std::printf("%-30s %9.3f %9.3f %9.2f   %.2f / %.2f, %.2f / %.2f%s\n", c.name, t1.best, tn.best,
                        tn.best / t1.best, t1.pcCpu, tn.pcCpu, t1.simCpu, tn.simCpu,
                        t1.ok && tn.ok ? "" : "  (failures above)");
            if (c.method == CommMethod::WriteAllPlu)
                std::printf("%-30s %9.0f PLUs per second to one scale\n", "", count / t1.best);
        }
    }
    return 0;
}
