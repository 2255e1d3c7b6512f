#include "comm/ScaleComm.h"

#include <QEventLoop>

namespace korvo {

QString CommMethodName(CommMethod method)
{
    switch (method) {
    case CommMethod::WriteDept: return QStringLiteral("WRFDEPT");
    case CommMethod::WriteMg: return QStringLiteral("WRFMG");
    case CommMethod::WritePlu: return QStringLiteral("WRFPLU");
    case CommMethod::WritePluByDept: return QStringLiteral("WRFPLUByDept");
    case CommMethod::WriteAllPlu: return QStringLiteral("WRFALLPLU");
    case CommMethod::DeletePlu: return QStringLiteral("DELRPLU");
    case CommMethod::DeleteAllPlu: return QStringLiteral("DELFPLU");
    case CommMethod::ReadPlu: return QStringLiteral("RDFPLU");
    case CommMethod::Sync: return QStringLiteral("SyncPLUFromPCtoScale");
    }
    return {};
}

QString ScaleResult::summary() const
{
    QString state;
    switch (this->state) {
    case State::Done: state = skipped.isEmpty() ? QStringLiteral("ok") : QStringLiteral("incomplete"); break;
    case State::Failed: state = QStringLiteral("failed"); break;
    case State::Cancelled: state = QStringLiteral("cancelled"); break;
    default: state = QStringLiteral("not done"); break;
    }
    QString s = QStringLiteral("%1 %2 %3 written=%4 deleted=%5 read=%6 ms=%7")
                    .arg(address).arg(scaleNo).arg(state).arg(written).arg(deleted).arg(read).arg(ms);
    if (!failure.isEmpty())
        s += QStringLiteral(" reason: ") + failure;
    if (!skipped.isEmpty()) {
        // A long list (a whole shop never encoded) is cut: the log stays readable.
        constexpr int kShown = 10;
        s += QStringLiteral(" not done: ") + skipped.mid(0, kShown).join(QStringLiteral("; "));
        if (skipped.size() > kShown)
            s += QStringLiteral("; and %1 more").arg(skipped.size() - kShown);
    }
    return s;
}

bool CommCallResult::ok() const
{
    if (!problems.isEmpty() || cancelled)
        return false;
    for (const ScaleResult &s : scales)
        if (!s.complete())
            return false;
    return true;
}

ScaleGreeting ScaleComm::greet(const QString &address)
{
    ScaleGreeting g;
    g.failure = QStringLiteral("%1: this component cannot greet a scale").arg(address);
    return g;
}

bool ScaleComm::start(CommMethod method, const QString &list, SyncItems items)
{
    if (isBusy())
        return false;
    const bool show = !m_hideNext;
    m_hideNext = false;
    begin(method, list, items, show);
    return true;
}

CommCallResult ScaleComm::call(CommMethod method, const QString &list, SyncItems items)
{
    CommCallResult result;
    result.method = method;
    if (isBusy()) {
        result.problems << QStringLiteral("%1: another call to the scales is still running").arg(CommMethodName(method));
        return result;
    }
    bool finished = false;
    QEventLoop loop;
    const QMetaObject::Connection c =
        connect(this, &ScaleComm::callFinished, &loop, [&](const CommCallResult &r, bool) {
            result = r;
            finished = true;
            loop.quit();
        });
    start(method, list, items);
    if (!finished)
        loop.exec();
    disconnect(c);
    return result;
}

} // namespace korvo
