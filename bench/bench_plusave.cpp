// PLU save speed: a temporary data root with 100,000 PLUs made from the demo
// articles (a third with a discount rule), timed through the save the
// editor uses (statements, re-encode, commit) on random PLUs, and through
// korvoctl plu save with 1,000 PLUs in one JSON file.
//
// usage: bench_plusave [PLU count] [saves] [korvoctl PLUs]

#include "BenchSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/UserInterface.h"
#include "encoding/Hierarchy.h"
#include "encoding/RecordBuilder.h"
#include "manage/PluJson.h"
#include "manage/PluRecord.h"
#include "startup/DataRoot.h"
#include "startup/Startup.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
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

int fail(const char *what, const QString &detail)
{
    std::fprintf(stderr, "bench_plusave: %s: %s\n", what, qPrintable(detail));
    return 1;
}

// Replaces the demo PLUs by count copies of them; every third keeps a
// discount rule.
bool fillPlus(AppState &state, int count, QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(state.connMain);
    QSqlQuery q(db);
    QVector<QSqlRecord> templates;
    q.exec(QStringLiteral("select * from PLU order by PLU_No"));
    while (q.next())
        templates.push_back(q.record());
    q.exec(QStringLiteral("select * from DISCOUNT limit 1"));
    if (templates.isEmpty() || !q.next()) {
        *error = QStringLiteral("no demo PLU or discount");
        return false;
    }
    const QSqlRecord discount = q.record();
    q.finish();
    auto insertSql = [](const QSqlRecord &r, const char *table) {
        QStringList names, marks;
        for (int i = 0; i < r.count(); ++i) {
            names << r.fieldName(i);
            marks << QStringLiteral("?");
        }
        return QStringLiteral("insert into %1 (%2) values (%3)")
            .arg(QLatin1String(table), names.join(u','), marks.join(u','));
    };
    db.transaction();
    q.exec(QStringLiteral("delete from PLU"));
    q.exec(QStringLiteral("delete from DISCOUNT"));
    QSqlQuery ins(db), dins(db);
    ins.prepare(insertSql(templates.first(), "PLU"));
    dins.prepare(insertSql(discount, "DISCOUNT"));
    const int colNo = templates.first().indexOf(QStringLiteral("PLU_No"));
    const int colDiscount = templates.first().indexOf(QStringLiteral("Stat2_Discount"));
    for (int n = 1; n <= count; ++n) {
        QSqlRecord r = templates.at((n - 1) % templates.size());
        r.setValue(colNo, n);
        r.setValue(colDiscount, n % 3 == 0 ? 1 : 0);
        for (int i = 0; i < r.count(); ++i)
            ins.addBindValue(r.value(i));
        bool ok = ins.exec();
        if (ok && n % 3 == 0) {
            QSqlRecord d = discount;
            d.setValue(QStringLiteral("PLU_No"), n);
            for (int i = 0; i < d.count(); ++i)
                dins.addBindValue(d.value(i));
            ok = dins.exec();
        }
        if (!ok) {
            *error = ins.lastError().text() + dins.lastError().text();
            return false;
        }
    }
    return db.commit();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.size() > 1 ? args.at(1).toInt() : 100000;
    const int saves = args.size() > 2 ? args.at(2).toInt() : 500;
    const int ctlPlus = args.size() > 3 ? args.at(3).toInt() : 1000;
    if (count < 1 || saves < 1 || ctlPlus < 1 || ctlPlus > count) {
        std::fprintf(stderr, "usage: bench_plusave [PLU count] [saves] [korvoctl PLUs]\n");
        return 2;
    }

    QTemporaryDir dir;
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QStandardPaths::setTestModeEnabled(true);
    QString error;
    if (!CreateDataRoot(dir.path(), DataRootOptions{}, &error))
        return fail("building the data root", error);
    SilentUi ui;
    AppState state(&ui);
    state.setPaths(QString(), dir.path());
    state.userName = QStringLiteral("bench");
    if (!LoadSettings(state))
        return 1;
    LoadMGSettings(state);
    LoadScaleBarcodeList(state);

    QElapsedTimer timer;
    timer.start();
    if (!fillPlus(state, count, &error))
        return fail("filling the PLUs", error);
    std::printf("data root with %d PLUs (a third with discounts) built in %lld ms\n", count,
                static_cast<long long>(timer.elapsed()));

    // The save of the editor: a loaded PLU with a new price, saved under its number.
    QRandomGenerator rng(2005);
    qint64 saveNs = 0;
    double saveCpu = 0;
    for (int i = 0; i < saves; ++i) {
        const qint32 no = 1 + qint32(rng.bounded(count));
        std::optional<PluRecord> r = LoadPlu(state, no);
        if (!r)
            return fail("loading a PLU", QString::number(no));
        r->values[pf::UPrice] = QString::number(1 + i % 50) + QStringLiteral(".95");
        timer.start();
        const double cpu = cpuSeconds();
        const PluSaveOutcome o = SavePlu(state, *r, no);
        saveNs += timer.nsecsElapsed();
        saveCpu += cpuSeconds() - cpu;
        if (o.status != PluSaveOutcome::Saved)
            return fail("saving a PLU", QString::number(no) + QStringLiteral(": ") + o.column + QLatin1Char(' ') + o.reason);
    }
    std::printf("editor save:   %d saves, %.3f ms per PLU (processor time %.3f ms per PLU)\n", saves,
                saveNs / 1e6 / saves, saveCpu * 1000.0 / saves);
    // The re-encode alone, for the share of the save it takes.
    timer.start();
    double cpu = cpuSeconds();
    for (int i = 0; i < saves; ++i) {
        qint32 no = 1 + qint32(rng.bounded(count));
        CreatePLUData(state, QStringLiteral("SINGLE"), no);
    }
    std::printf("  of which the re-encode (mode SINGLE): %.3f ms per PLU (processor time %.3f ms)\n",
                timer.nsecsElapsed() / 1e6 / saves, (cpuSeconds() - cpu) * 1000.0 / saves);

    // korvoctl plu save: one JSON array of PLUs spread over the table.
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../src/korvoctl");
    if (!QFileInfo(program).isExecutable()) {
        std::printf("korvoctl plu save: skipped, %s is not built\n", qPrintable(program));
        return 0;
    }
    const QStringList statusColumns = PluStatusColumns(state);
    QStringList objects;
    for (int i = 0; i < ctlPlus; ++i) {
        const qint32 no = 1 + qint32(qint64(i) * count / ctlPlus);
        std::optional<PluRecord> r = LoadPlu(state, no);
        if (!r)
            return fail("loading a PLU", QString::number(no));
        r->values[pf::UPrice] = QStringLiteral("4.49");
        objects << PluJsonText(state.pluFields, *r, statusColumns);
    }
    const QString file = dir.filePath(QStringLiteral("plus.json"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly)
        || out.write((QStringLiteral("[\n") + objects.join(QStringLiteral(",\n")) + QStringLiteral("\n]\n")).toUtf8()) < 0)
        return fail("writing the JSON file", out.errorString());
    out.close();
    CloseDBConnections(state);

    QProcess ctl;
    ctl.setStandardOutputFile(QProcess::nullDevice());
    timer.start();
    ctl.start(program, {QStringLiteral("--data-root"), dir.path(), QStringLiteral("plu"), QStringLiteral("save"), file});
    if (!ctl.waitForFinished(600000) || ctl.exitCode() != 0)
        return fail("korvoctl plu save", QString::fromUtf8(ctl.readAllStandardError()));
    const double ms = timer.nsecsElapsed() / 1e6;
    rusage child{};
    getrusage(RUSAGE_CHILDREN, &child);
    const double childMs = (child.ru_utime.tv_sec + child.ru_stime.tv_sec) * 1000.0
        + (child.ru_utime.tv_usec + child.ru_stime.tv_usec) / 1000.0;
    std::printf("korvoctl plu save: %d PLUs in %.0f ms, %.3f ms per PLU (processor time %.3f ms per PLU; "
                "the whole run: start, reading the file, the saves)\n",
                ctlPlus, ms, ms / ctlPlus, childMs / ctlPlus);
    return 0;
}
