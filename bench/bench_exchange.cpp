// CSV exchange speed on a temporary data root with 100,000 PLUs made from the
// demo articles: the export of 100,000 received rows, the import of that
// file in mode 0 and in mode 2 over the existing 100,000 PLUs (each with
// ReBuildMG and the encoding of all PLUs), and beside them the sqlite3
// shell writing the same rows as CSV and reading the same file into a bare
// table with .import.
//
// usage: bench_exchange [PLU count]

#include "BenchSupport.h"
#include "core/AppState.h"
#include "core/UserInterface.h"
#include "encoding/Hierarchy.h"
#include "encoding/RecordBuilder.h"
#include "exchange/PluExchange.h"
#include "startup/DataRoot.h"
#include "startup/Startup.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>

using namespace korvo;

namespace {

bool exec(QSqlQuery &q, const QString &sql)
{
    if (q.exec(sql))
        return true;
    std::fprintf(stderr, "bench_exchange: %s\n%s\n", qPrintable(q.lastError().text()), qPrintable(sql));
    return false;
}

// count PLUs cycled from the demo articles, each with its own name, and the
// same rows received from one scale.
bool fill(AppState &state, int count)
{
    QSqlDatabase db = QSqlDatabase::database(state.connMain);
    QSqlQuery q(db);
    const QSqlRecord rec = db.record(QStringLiteral("PLU"));
    QStringList columns, picks;
    for (int i = 0; i < rec.count(); ++i) {
        const QString c = rec.fieldName(i);
        columns << c;
        if (c == QLatin1String("PLU_No"))
            picks << QStringLiteral("n.i");
        else if (c == QLatin1String("Stat2_Discount"))
            picks << QStringLiteral("0"); // the bench's PLUs have no discount rules
        else if (c == QLatin1String("PLU_Commodity"))
            picks << QStringLiteral("'Article ' || n.i || char(13) || 'from the region, class I'");
        else
            picks << QStringLiteral("t.") + c;
    }
    const QString list = columns.join(u',');
    db.transaction();
    const bool ok =
        exec(q, QStringLiteral("create temp table t as select row_number() over (order by PLU_No) as k, * from PLU"))
        && exec(q, QStringLiteral("delete from PLU"))
        && exec(q, QStringLiteral("with recursive n(i) as (select 1 union all select i+1 from n where i<%1) "
                                  "insert into PLU(%2) select %3 from n join t on t.k=(n.i-1)%(select count(*) from t)+1")
                       .arg(count)
                       .arg(list, picks.join(u',')))
        && exec(q, QStringLiteral("insert into RC_PLU(SC_IP,%1) select '127.0.0.11',%1 from PLU").arg(list))
        && exec(q, QStringLiteral("drop table t"));
    return db.commit() && ok;
}

// Wall and processor time in ms: on a machine shared with other work the
// processor time shows what the work costs, the wall time what a user waits.
struct Cost {
    double wall = -1, cpu = -1;
};

double ms(const timeval &t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; }

double ownCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double childrenCpuMs()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return ms(u.ru_utime) + ms(u.ru_stime);
}

template <typename Work>
Cost measure(Work &&work)
{
    QElapsedTimer t;
    const double cpu = ownCpuMs();
    t.start();
    if (!work())
        return {};
    return {t.nsecsElapsed() / 1e6, ownCpuMs() - cpu};
}

// The sqlite3 shell running script on database.
Cost shell(const QString &database, const QString &script)
{
    QProcess p;
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer t;
    const double cpu = childrenCpuMs();
    t.start();
    p.start(QStringLiteral("sqlite3"), {database});
    p.write(script.toUtf8());
    p.closeWriteChannel();
    if (!p.waitForFinished(600000) || p.exitCode() != 0)
        return {};
    return {t.nsecsElapsed() / 1e6, childrenCpuMs() - cpu};
}

void report(const char *what, const Cost &ours, const Cost &shell)
{
    std::printf("%-40s %7.0f ms (processor %7.0f)   sqlite3 shell %6.0f ms (processor %6.0f)   ratio %.1f (%.1f)\n",
                what, ours.wall, ours.cpu, shell.wall, shell.cpu, ours.wall / shell.wall, ours.cpu / shell.cpu);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    if (count < 1) {
        std::fprintf(stderr, "usage: bench_exchange [PLU count]\n");
        return 2;
    }
    QTemporaryDir dir, config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QStandardPaths::setTestModeEnabled(true);
    QString error;
    if (!CreateDataRoot(dir.path(), DataRootOptions{}, &error)) {
        std::fprintf(stderr, "bench_exchange: %s\n", qPrintable(error));
        return 1;
    }
    SilentUi ui;
    AppState state(&ui);
    state.setPaths(QString(), dir.path());
    state.userName = QStringLiteral("bench");
    if (!LoadSettings(state) || !fill(state, count))
        return 1;
    LoadMGSettings(state);
    LoadScaleBarcodeList(state);
    const QString db = dir.path() + QStringLiteral("/Database/KORVO2005.db");
    const QString file = dir.path() + QStringLiteral("/plu.csv");
    const QStringList columns = CsvColumnList(state);
    std::printf("%d PLUs, %lld CSV columns\n", count, static_cast<long long>(columns.size()));

    int rows = 0;
    const Cost exported = measure([&] {
        const ExportResult r = ExportReceivedPLUs(state, QStringLiteral("127.0.0.11"), file);
        rows = r.rows;
        return r.ok;
    });
    if (rows != count)
        return 1;
    const Cost shellExport = shell(db, QStringLiteral(".mode csv\n.headers on\n.once %1\nselect %2 from RC_PLU "
                                                      "where SC_IP='127.0.0.11' order by PLU_No;\n")
                                           .arg(dir.path() + QStringLiteral("/shell.csv"), columns.join(u',')));
    std::printf("file: %.1f MB\n", QFile(file).size() / 1e6);
    report("export of the received rows", exported, shellExport);

    // The shell's .import into a bare table of as many text columns.
    QStringList bare;
    for (const QString &c : columns)
        bare << c + QStringLiteral(" TEXT");
    const Cost shellImport = shell(dir.path() + QStringLiteral("/bare.db"),
                                   QStringLiteral("create table t(%1);\n.mode csv\n.import --skip 1 %2 t\n")
                                       .arg(bare.join(u','), file));

    for (const int mode : {0, 2}) {
        const Cost imported = measure([&] {
            const ImportResult r = ImportPLUFromCSV(state, file, mode);
            return r.ok && r.lines == count && r.encoding.encoded == count;
        });
        if (imported.wall < 0)
            return 1;
        report(mode == 0 ? "import mode 0 with ReBuildMG, encoding" : "import mode 2 over all, ReBuildMG, encoding",
               imported, shellImport);
    }
    qint32 last = 0;
    const Cost encoded = measure([&] { return CreatePLUData(state, QStringLiteral("ALL"), last).encoded == count; });
    std::printf("of that the encoding of all PLUs alone: %.0f ms (processor %.0f)\n", encoded.wall, encoded.cpu);
    return 0;
}
