#include "app/CtlCommands.h"

#include "comm/ScaleList.h"
#include "comm/TcpScaleComm.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/Log.h"
#include "core/PluFields.h"
#include "core/Values.h"

#include <QDir>
#include <QTextStream>

namespace korvo {

namespace {

enum class Command { Send, Delete, Receive, Sync };

struct Args {
    QStringList scales;
    bool allScales = false;
    QVector<qint64> plus, depts;
    bool all = false;
};

const char *usageOf(Command c)
{
    switch (c) {
    case Command::Send: return "send (--scales IP[,IP...] | --all-scales) (--plu N[,N...] | --dept N[,N...] | --all)";
    case Command::Delete: return "delete (--scales IP[,IP...] | --all-scales) (--plu N[,N...] | --all)";
    case Command::Receive: return "receive (--scales IP[,IP...] | --all-scales)";
    case Command::Sync: return "sync (--scales IP[,IP...] | --all-scales) [--dept N[,N...] | --plu N[,N...]]";
    }
    return "";
}

// Reads the options; "" when they are fine, else what is wrong.
QString parse(Command c, const QStringList &args, Args &out)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        const bool hasValue = i + 1 < args.size();
        const QStringList values = hasValue ? args.at(i + 1).split(u',') : QStringList();
        if (a == QLatin1String("--all-scales")) {
            out.allScales = true;
        } else if (a == QLatin1String("--all") && (c == Command::Send || c == Command::Delete)) {
            out.all = true;
        } else if (a == QLatin1String("--scales") && hasValue) {
            for (const QString &v : values) {
                if (!ParseIPv4(v))
                    return QStringLiteral("\"%1\" is not an IPv4 address").arg(v);
                out.scales << v.trimmed();
            }
            ++i;
        } else if (a == QLatin1String("--plu") && hasValue && c != Command::Receive) {
            for (const QString &v : values) {
                const std::optional<qint32> n = ParsePluNo(v);
                if (!n)
                    return QStringLiteral("\"%1\" is not a PLU number (%2 to %3)").arg(v).arg(kPluNoMin).arg(kPluNoMax);
                out.plus << *n;
            }
            ++i;
        } else if (a == QLatin1String("--dept") && hasValue && (c == Command::Send || c == Command::Sync)) {
            for (const QString &v : values) {
                const std::optional<qint32> n = StrictInt32(v.trimmed());
                if (!n || *n < 1 || QString::number(*n) != v.trimmed())
                    return QStringLiteral("\"%1\" is not a department number").arg(v);
                out.depts << *n;
            }
            ++i;
        } else {
            return QStringLiteral("unexpected \"%1\"").arg(a);
        }
    }
    if (out.allScales == !out.scales.isEmpty())
        return QStringLiteral("give either --scales or --all-scales");
    const int what = int(out.all) + int(!out.plus.isEmpty()) + int(!out.depts.isEmpty());
    if (what > 1 || ((c == Command::Send || c == Command::Delete) && what == 0))
        return c == Command::Send ? QStringLiteral("give one of --plu, --dept and --all")
                                  : QStringLiteral("give one of --plu and --all");
    return {};
}

// Merges a department or main-group result into the scale's line: the PLU
// call's counts, the first failure of any.
void mergeFailure(ScaleResult &into, const ScaleResult &from, const QString &what)
{
    if (from.state == ScaleResult::State::Done || into.state == ScaleResult::State::Failed)
        return;
    into.state = ScaleResult::State::Failed;
    into.failure = what + QStringLiteral(": ") + from.failure;
}

int run(Command c, AppState &state, const QStringList &argv)
{
    QTextStream out(stdout), err(stderr);
    Args args;
    if (const QString problem = parse(c, argv, args); !problem.isEmpty()) {
        err << "korvoctl: " << problem << "\nusage: korvoctl [--data-root DIR] " << usageOf(c) << Qt::endl;
        return 1;
    }
    // The per-scale result lines go to the day's log, as in the program.
    QDir().mkpath(state.appPath + QStringLiteral("log"));
    QStringList addresses = args.scales;
    if (args.allScales) {
        std::optional<QSqlQuery> q = QueryKorvoDB(state, QStringLiteral("select SC_IP from SCALE where SC_Used=True order by SC_IP"));
        if (!q) {
            err << "korvoctl: the SCALE table could not be read" << Qt::endl;
            return 1;
        }
        while (q->next())
            addresses << q->value(0).toString().trimmed();
        if (addresses.isEmpty()) {
            err << "korvoctl: no scale is in use (SCALE.SC_Used)" << Qt::endl;
            return 1;
        }
    }
    const QVector<qint64> items = !args.plus.isEmpty() ? args.plus : args.depts;
    QString list;
    for (const QString &a : std::as_const(addresses))
        list += ScaleListLine(a, items);

    TcpScaleComm comm(state);
    CommCallResult r;
    QVector<CommCallResult> before; // departments and main groups of a send
    auto logged = [&](const QString &method) { WriteLog(state, QStringLiteral("g_dllZent.") + method + QLatin1Char(' ') + list); };
    switch (c) {
    case Command::Send:
        comm.HideStatusForm(true);
        before << comm.WRFDEPT(list);
        comm.HideStatusForm(true);
        before << comm.WRFMG(list);
        if (args.all) {
            logged(QStringLiteral("WRFALLPLU"));
            r = comm.WRFALLPLU(list);
        } else if (!args.depts.isEmpty()) {
            logged(QStringLiteral("WRFPLUByDept"));
            r = comm.WRFPLUByDept(list);
        } else {
            logged(QStringLiteral("WRFPLU"));
            r = comm.WRFPLU(list);
        }
        break;
    case Command::Delete:
        logged(args.all ? QStringLiteral("DELFPLU") : QStringLiteral("DELRPLU"));
        r = args.all ? comm.DELFPLU(list) : comm.DELRPLU(list);
        break;
    case Command::Receive:
        logged(QStringLiteral("RDFPLU"));
        r = comm.RDFPLU(list);
        break;
    case Command::Sync:
        logged(QStringLiteral("SyncPLUFromPCtoScale"));
        r = comm.SyncPLUFromPCtoScale(list, args.depts.isEmpty() ? SyncItems::Plus : SyncItems::Departments);
        break;
    }
    for (const QString &p : std::as_const(r.problems))
        err << "korvoctl: " << p << Qt::endl;
    bool allComplete = r.problems.isEmpty();
    for (int i = 0; i < r.scales.size(); ++i) {
        ScaleResult s = r.scales.at(i);
        for (int k = 0; k < before.size(); ++k) {
            if (i < before.at(k).scales.size())
                mergeFailure(s, before.at(k).scales.at(i), k == 0 ? QStringLiteral("departments") : QStringLiteral("main groups"));
        }
        allComplete = allComplete && s.complete();
        out << s.summary() << Qt::endl;
    }
    if (r.scales.isEmpty())
        return 1; // nothing could be tried: the settings or the database
    return allComplete ? 0 : 2;
}

} // namespace

int CtlSend(AppState &state, const QStringList &args) { return run(Command::Send, state, args); }
int CtlDelete(AppState &state, const QStringList &args) { return run(Command::Delete, state, args); }
int CtlReceive(AppState &state, const QStringList &args) { return run(Command::Receive, state, args); }
int CtlSync(AppState &state, const QStringList &args) { return run(Command::Sync, state, args); }

} // namespace korvo
