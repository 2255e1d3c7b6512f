// Encoding speed: a temporary data root with 100,000 PLUs made from the demo
// articles (a third with a discount rule, multi-line texts), timed through
// encode ALL and through encode SINGLE of single PLUs.
//
// usage: bench_encode [PLU count] [SINGLE runs]

#include "BenchSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/UserInterface.h"
#include "encoding/Hierarchy.h"
#include "encoding/RecordBuilder.h"
#include "startup/DataRoot.h"
#include "startup/Startup.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

using namespace korvo;

namespace {

bool fail(const char *what, const QString &detail)
{
    std::fprintf(stderr, "bench_encode: %s: %s\n", what, qPrintable(detail));
    return false;
}

// Replaces the demo PLUs by count PLUs copied from them.
bool fillPlus(AppState &state, int count)
{
    QSqlDatabase db = QSqlDatabase::database(state.connMain);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select * from PLU order by PLU_No")))
        return fail("reading the demo PLUs", q.lastError().text());
    QVector<QSqlRecord> templates;
    while (q.next())
        templates.push_back(q.record());
    if (templates.isEmpty())
        return fail("reading the demo PLUs", QStringLiteral("no demo PLU"));
    QSqlRecord discount;
    if (!q.exec(QStringLiteral("select * from DISCOUNT limit 1")) || !q.next())
        return fail("reading a demo discount", q.lastError().text());
    discount = q.record();
    q.finish();

    const QSqlRecord &shape = templates.first();
    QStringList names, marks;
    for (int i = 0; i < shape.count(); ++i) {
        names << shape.fieldName(i);
        marks << QStringLiteral("?");
    }
    const int colNo = shape.indexOf(QStringLiteral("PLU_No"));
    const int colDiscount = shape.indexOf(QStringLiteral("Stat2_Discount"));
    const int colCommodity = shape.indexOf(QStringLiteral("PLU_Commodity"));
    const int colCommFonts = shape.indexOf(QStringLiteral("PLU_CommFonts"));
    const int colIngredient = shape.indexOf(QStringLiteral("PLU_Ingredient"));
    const int colFlagCommodity = shape.indexOf(QStringLiteral("Stat1_Commodity"));
    const int colFlagIngredient = shape.indexOf(QStringLiteral("Stat1_Ingredient"));

    if (!db.transaction())
        return fail("transaction", db.lastError().text());
    QSqlQuery del(db);
    del.exec(QStringLiteral("delete from PLU"));
    del.exec(QStringLiteral("delete from DISCOUNT"));
    QSqlQuery ins(db);
    ins.prepare(QStringLiteral("insert into PLU (%1) values (%2)").arg(names.join(u','), marks.join(u',')));
    QStringList dnames, dmarks;
    for (int i = 0; i < discount.count(); ++i) {
        dnames << discount.fieldName(i);
        dmarks << QStringLiteral("?");
    }
    QSqlQuery dins(db);
    dins.prepare(QStringLiteral("insert into DISCOUNT (%1) values (%2)").arg(dnames.join(u','), dmarks.join(u',')));
    const int dcolNo = discount.indexOf(QStringLiteral("PLU_No"));

    for (int n = 1; n <= count; ++n) {
        QSqlRecord r = templates.at((n - 1) % templates.size());
        r.setValue(colNo, n);
        const bool withDiscount = n % 3 == 0;
        if (colDiscount >= 0)
            r.setValue(colDiscount, withDiscount ? 1 : 0);
        if (colCommodity >= 0) {
            r.setValue(colCommodity, QStringLiteral("Article %1\rfresh from the region\rclass I").arg(n));
            if (colCommFonts >= 0)
                r.setValue(colCommFonts, QStringLiteral("3,2,1"));
            if (colFlagCommodity >= 0)
                r.setValue(colFlagCommodity, 1);
        }
        if (colIngredient >= 0 && n % 2 == 0) {
            r.setValue(colIngredient, QStringLiteral("Ingredients: wheat flour, water, salt,\ryeast, "
                                                     "sugar.\rMay contain traces of nuts."));
            if (colFlagIngredient >= 0)
                r.setValue(colFlagIngredient, 1);
        }
        for (int i = 0; i < r.count(); ++i)
            ins.addBindValue(r.value(i));
        if (!ins.exec())
            return fail("inserting a PLU", ins.lastError().text());
        if (withDiscount) {
            QSqlRecord d = discount;
            d.setValue(dcolNo, n);
            for (int i = 0; i < d.count(); ++i)
                dins.addBindValue(d.value(i));
            if (!dins.exec())
                return fail("inserting a discount", dins.lastError().text());
        }
    }
    if (!db.commit())
        return fail("commit", db.lastError().text());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.size() > 1 ? args.at(1).toInt() : 100000;
    const int singles = args.size() > 2 ? args.at(2).toInt() : 500;
    if (count < 1 || singles < 1) {
        std::fprintf(stderr, "usage: bench_encode [PLU count] [SINGLE runs]\n");
        return 2;
    }

    QTemporaryDir dir;
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QStandardPaths::setTestModeEnabled(true);
    QString error;
    if (!CreateDataRoot(dir.path(), DataRootOptions{}, &error)) {
        fail("building the data root", error);
        return 1;
    }
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
    if (!fillPlus(state, count))
        return 1;
    std::printf("data root with %d PLUs (a third with discounts) built in %lld ms\n", count,
                static_cast<long long>(timer.elapsed()));

    qint32 last = 0;
    timer.start();
    double cpu = cpuSeconds();
    const EncodeRunResult all = CreatePLUData(state, QStringLiteral("ALL"), last);
    const qint64 allNs = timer.nsecsElapsed();
    const double allCpu = cpuSeconds() - cpu;
    if (all.encoded != count || !state.reportedErrors.isEmpty()) {
        std::fprintf(stderr, "bench_encode: %d of %d encoded, %lld errors\n", all.encoded, count,
                     static_cast<long long>(state.reportedErrors.size()));
        return 1;
    }
    const double allSeconds = allNs / 1e9;
    std::printf("encode ALL:    %d PLUs in %.3f s: %.0f PLUs per second, %.4f ms per PLU "
                "(processor time %.3f s: %.0f PLUs per second; rows through %s)\n",
                count, allSeconds, count / allSeconds, allSeconds * 1000.0 / count, allCpu,
                count / allCpu, all.nativeRows ? "the SQLite library" : "QtSql");

    QRandomGenerator rng(2005);
    timer.start();
    cpu = cpuSeconds();
    for (int i = 0; i < singles; ++i) {
        qint32 plu = 1 + static_cast<qint32>(rng.bounded(count));
        const EncodeRunResult r = CreatePLUData(state, QStringLiteral("SINGLE"), plu);
        if (r.encoded != 1) {
            std::fprintf(stderr, "bench_encode: PLU %d was not encoded\n", plu);
            return 1;
        }
    }
    const double singleMs = timer.nsecsElapsed() / 1e6 / singles;
    const double singleCpuMs = (cpuSeconds() - cpu) * 1000.0 / singles;
    std::printf("encode SINGLE: %d runs, %.3f ms per PLU, %.0f PLUs per second "
                "(processor time %.3f ms per PLU)\n",
                singles, singleMs, 1000.0 / singleMs, singleCpuMs);
    return 0;
}
