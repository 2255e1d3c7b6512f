// scalesim: simulated scales that speak our protocol (docs/protocol.md), for
// the demo, the tests and the benchmarks. Loopback addresses only.

#include "SimScale.h"

#include "comm/Protocol.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/Settings.h"
#include "core/Values.h"
#include "encoding/FieldCodec.h"
#include "encoding/RecordDecoder.h"
#include "i18n/Codepages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QThread>
#include <cstdio>

using namespace scalesim;

namespace {

const char kUsage[] =
    "usage: scalesim [--listen ADDRESS]... [--from-db ROOT] [--port N] [--store DIR]\n"
    "                [--refuse] [--delay-ms N] [--drop-after N] [--garbage] [--capacity N]\n"
    "       scalesim edit --store DIR --scale ADDRESS --plu N [--price P] [--ubdate D]\n"
    "                [--data-root ROOT]\n"
    "\n"
    "Serves one simulated scale per address (127.0.0.0/8 only; scale number 2000 +\n"
    "the number after the last \".\"), each with its own journal in the store\n"
    "folder. --from-db takes the addresses of the SCALE table of a data root.\n"
    "--port 0 picks a free port. Prints one line per request and \"ready\" once\n"
    "every scale listens.\n"
    "\n"
    "Faults: --refuse refuses every request, --delay-ms holds every reply back,\n"
    "--drop-after N drops a connection after N replies, --garbage answers with\n"
    "bytes that are no frame, --capacity N holds at most N PLUs.\n"
    "\n"
    "edit changes a PLU on a scale as a shop assistant would (the store of a\n"
    "running simulator too): price and used-by days, written with the record\n"
    "layout of the data root (default: the one the store was served for).\n";

int usage(const QString &problem = {})
{
    if (!problem.isEmpty())
        std::fprintf(stderr, "scalesim: %s\n", problem.toLocal8Bit().constData());
    std::fputs(kUsage, stderr);
    return 2;
}

const QString kRootFile = QStringLiteral("data-root.txt");

std::optional<quint32> number(const QString &text)
{
    bool ok = false;
    const uint v = text.toUInt(&ok);
    return ok ? std::optional<quint32>(v) : std::nullopt;
}

// Scale number of an address, as the PC computes it.
quint32 scaleNumber(const QHostAddress &a)
{
    return 2000 + quint32(korvo::LastDotNumber(a.toString()));
}

QStringList scaleAddresses(const QString &root, QString *error)
{
    QStringList out;
    const QString conn = QStringLiteral("scalesim-scales");
    {
        QSqlDatabase db = korvo::OpenDatabaseFile(conn, root + QStringLiteral("/Database/KORVO2005.db"), error);
        if (!db.isValid())
            return {};
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("select SC_IP from SCALE order by SC_IP"))) {
            *error = QStringLiteral("cannot read the SCALE table");
            return {};
        }
        while (q.next())
            out << q.value(0).toString().trimmed();
    }
    QSqlDatabase::removeDatabase(conn);
    return out;
}

int edit(const QStringList &args)
{
    QString store, scale, root, price, ubdate;
    std::optional<quint32> plu;
    for (int i = 0; i < args.size(); i += 2) { // option, value
        const QString &a = args.at(i);
        const QString v = i + 1 < args.size() ? args.at(i + 1) : QString();
        if (a == QLatin1String("--store")) store = v;
        else if (a == QLatin1String("--scale")) scale = v;
        else if (a == QLatin1String("--plu")) plu = number(v);
        else if (a == QLatin1String("--price")) price = v;
        else if (a == QLatin1String("--ubdate")) ubdate = v;
        else if (a == QLatin1String("--data-root")) root = v;
        else return usage(QStringLiteral("unknown option %1").arg(a));
    }
    if (store.isEmpty() || scale.isEmpty() || !plu || (price.isEmpty() && ubdate.isEmpty()))
        return usage(QStringLiteral("edit needs --store, --scale, --plu and --price or --ubdate"));
    if (root.isEmpty()) {
        QFile f(store + QLatin1Char('/') + kRootFile);
        if (f.open(QIODevice::ReadOnly))
            root = QString::fromUtf8(f.readAll()).trimmed();
    }
    if (root.isEmpty())
        return usage(QStringLiteral("give --data-root: the record layout comes from its Desc files"));

    korvo::AppState state;
    state.setPaths(QString(), QDir(root).absolutePath());
    korvo::RecordLayout layout;
    bool read = korvo::ReadSettingsFile(state);
    if (read) {
        korvo::LoadCodepageTables(state);
        read = korvo::LoadRecordLayout(state, layout);
    }
    if (!read) {
        const QString why = state.reportedErrors.isEmpty() ? QStringLiteral("cannot read the data root")
                                                           : state.reportedErrors.last().description;
        std::fprintf(stderr, "scalesim edit: %s\n", why.toLocal8Bit().constData());
        return 1;
    }
    const QHostAddress address(scale);
    SimStore s(store + QLatin1Char('/') + address.toString() + QStringLiteral(".journal"));
    QString error;
    if (address.isNull() || !s.load(&error)) {
        std::fprintf(stderr, "scalesim edit: %s\n", qPrintable(address.isNull() ? QStringLiteral("bad address") : error));
        return 1;
    }
    const auto it = s.plus().find(*plu);
    if (it == s.plus().end()) {
        std::fprintf(stderr, "scalesim edit: scale %s holds no PLU %u\n", qPrintable(scale), *plu);
        return 1;
    }
    const korvo::RecordDecoder decoder(state, layout);
    const std::optional<korvo::DecodedRecord> rec = decoder.decode(it->second.record, &error);
    std::optional<QByteArray> data = korvo::RecordData(it->second.record);
    if (!rec || !data) {
        std::fprintf(stderr, "scalesim edit: PLU %u: %s\n", *plu, qPrintable(error));
        return 1;
    }
    // Each changed field is written again in place, the same width.
    const korvo::TextCodec codec(state);
    QStringList said;
    for (const auto &[column, value] : {std::pair{QStringLiteral("PLU_UPrice"), price},
                                        std::pair{QStringLiteral("PLU_UBDate"), ubdate}}) {
        if (value.isEmpty())
            continue;
        const korvo::DecodedField *f = rec->field(layout, column);
        if (!f) {
            std::fprintf(stderr, "scalesim edit: the record of PLU %u has no %s\n", *plu, qPrintable(column));
            return 1;
        }
        const korvo::FieldDescriptor &d = layout.fields.at(f->descriptor);
        QByteArray hex;
        if (!korvo::AppendFieldCode(codec, hex, value, d.Length, korvo::ParseFieldType(d.Type), d.Type,
                                    QStringLiteral("0"))
            || hex.size() != 2 * f->size) {
            std::fprintf(stderr, "scalesim edit: %s %s does not fit its field\n", qPrintable(column), qPrintable(value));
            return 1;
        }
        data->replace(f->offset, f->size, QByteArray::fromHex(hex));
        said << QStringLiteral("%1 %2 -> %3").arg(column, korvo::StoredValueText(rec->value(column)), value);
    }
    const korvo::proto::PluEntry changed{*plu, it->second.mg, korvo::RecordFromData(*data)};
    if (!s.putPlus({changed}, &error)) {
        std::fprintf(stderr, "scalesim edit: %s\n", qPrintable(error));
        return 1;
    }
    Say(QStringLiteral("[%1 %2] PLU %3: %4").arg(address.toString()).arg(scaleNumber(address)).arg(*plu).arg(said.join(QStringLiteral(", "))));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args.first() == QLatin1String("edit"))
        return edit(args.mid(1));

    QStringList addresses;
    QString store, root;
    int port = korvo::proto::kDefaultPort;
    Faults faults;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        const QString v = i + 1 < args.size() ? args.at(i + 1) : QString();
        auto num = [&](quint32 max) -> std::optional<quint32> {
            ++i;
            const auto n = number(v);
            return n && *n <= max ? n : std::nullopt;
        };
        if (a == QLatin1String("--refuse")) faults.refuse = true;
        else if (a == QLatin1String("--garbage")) faults.garbage = true;
        else if (a == QLatin1String("--listen")) { addresses << v; ++i; }
        else if (a == QLatin1String("--from-db")) { root = v; ++i; }
        else if (a == QLatin1String("--store")) { store = v; ++i; }
        else if (a == QLatin1String("--port")) { const auto n = num(65535); if (!n) return usage(QStringLiteral("bad --port")); port = int(*n); }
        else if (a == QLatin1String("--delay-ms")) { const auto n = num(3600000); if (!n) return usage(QStringLiteral("bad --delay-ms")); faults.delayMs = int(*n); }
        else if (a == QLatin1String("--drop-after")) { const auto n = num(1u << 30); if (!n) return usage(QStringLiteral("bad --drop-after")); faults.dropAfter = int(*n); }
        else if (a == QLatin1String("--capacity")) { const auto n = num(korvo::kPluNoMax); if (!n) return usage(QStringLiteral("bad --capacity")); faults.capacity = *n; }
        else if (a == QLatin1String("--help") || a == QLatin1String("-h")) { usage(); return 0; }
        else return usage(QStringLiteral("unknown option %1").arg(a));
    }
    if (!root.isEmpty()) {
        QString error;
        const QStringList fromDb = scaleAddresses(root, &error);
        if (!error.isEmpty())
            return usage(error);
        addresses += fromDb;
        if (store.isEmpty())
            store = root + QStringLiteral("/scalesim");
    }
    if (addresses.isEmpty())
        return usage(QStringLiteral("no address to listen on"));
    if (store.isEmpty())
        store = QStringLiteral("scalesim-store");
    QDir().mkpath(store);
    if (!root.isEmpty()) {
        QFile f(store + QLatin1Char('/') + kRootFile);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(QDir(root).absolutePath().toUtf8());
    }

    QVector<SimScale *> scales;
    QVector<QThread *> threads;
    QSet<QString> seen;
    for (const QString &text : std::as_const(addresses)) {
        const QHostAddress address(text);
        // Simulated scales stay on the loopback: nothing outside this machine is touched.
        if (address.protocol() != QAbstractSocket::IPv4Protocol || !address.isInSubnet(QHostAddress(QStringLiteral("127.0.0.0")), 8)) {
            Say(QStringLiteral("scalesim: %1 is not a 127.x.x.x address; skipped").arg(text));
            continue;
        }
        if (seen.contains(address.toString()))
            continue;
        seen.insert(address.toString());
        auto *scale = new SimScale(address, scaleNumber(address), store, faults);
        auto *thread = new QThread;
        scale->moveToThread(thread);
        QObject::connect(thread, &QThread::finished, scale, &QObject::deleteLater);
        thread->start();
        bool ok = false;
        QString error;
        QMetaObject::invokeMethod(scale, [&] { ok = scale->listen(quint16(port), &error); }, Qt::BlockingQueuedConnection);
        if (!ok) {
            Say(QStringLiteral("scalesim: cannot listen on %1:%2: %3").arg(address.toString()).arg(port).arg(error));
            return 1;
        }
        port = scale->port(); // --port 0: the others take the same one
        Say(QStringLiteral("scalesim: listening on %1:%2 as scale %3").arg(address.toString()).arg(port).arg(scaleNumber(address)));
        scales << scale;
        threads << thread;
    }
    if (scales.isEmpty())
        return usage(QStringLiteral("no loopback address to listen on"));
    Say(QStringLiteral("scalesim: ready, %1 scales on port %2, store %3").arg(scales.size()).arg(port).arg(QDir(store).absolutePath()));
    const int rc = app.exec();
    for (QThread *t : std::as_const(threads)) {
        t->quit();
        t->wait();
        delete t;
    }
    return rc;
}
