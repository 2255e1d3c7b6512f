#include "comm/ScaleList.h"

#include "core/Database.h"

#include <QHash>
#include <QSet>

namespace korvo {

namespace {

std::optional<qint64> wholeNumber(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 12)
        return std::nullopt;
    for (QChar c : t)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    return t.toLongLong();
}

} // namespace

QString ScaleListProblem::describe() const
{
    return QStringLiteral("scale list line %1 \"%2\": %3").arg(line).arg(text, reason);
}

std::optional<quint32> ParseIPv4(const QString &text)
{
    const QStringList parts = text.trimmed().split(u'.');
    if (parts.size() != 4)
        return std::nullopt;
    quint32 v = 0;
    for (const QString &p : parts) {
        if (p.isEmpty() || p.size() > 3)
            return std::nullopt;
        const std::optional<qint64> n = wholeNumber(p);
        if (!n || *n > 255 || p != p.trimmed())
            return std::nullopt;
        v = (v << 8) | quint32(*n);
    }
    return v;
}

quint32 ScaleNumberOf(const QString &address)
{
    return quint32(2000 + LastDotNumber(address.trimmed()));
}

QString ScaleListLine(const QString &address, const QVector<qint64> &items)
{
    QString line = address + QLatin1Char(',') + QString::number(ScaleNumberOf(address));
    for (qint64 i : items)
        line += QLatin1Char(',') + QString::number(i);
    return line + QStringLiteral("\r\n");
}

ParsedScaleList ParseScaleList(const QString &text)
{
    ParsedScaleList out;
    QHash<quint32, int> byAddress; // ipv4 -> target
    QVector<QSet<qint64>> seenItems;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        QString line = lines.at(n);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        auto problem = [&](const QString &why) { out.problems.push_back({n + 1, line, why}); };
        const QStringList fields = line.split(u',');
        if (fields.size() < 2) {
            problem(QStringLiteral("no comma between address and scale number"));
            continue;
        }
        const QString address = fields.at(0).trimmed();
        const std::optional<quint32> ip = ParseIPv4(address);
        if (!ip) {
            problem(QStringLiteral("\"%1\" is not an IPv4 address").arg(address));
            continue;
        }
        const std::optional<qint64> scaleNo = wholeNumber(fields.at(1));
        if (!scaleNo || *scaleNo > 0xFFFFFFFFll) {
            problem(QStringLiteral("scale number \"%1\" is not a whole number").arg(fields.at(1).trimmed()));
            continue;
        }
        QVector<qint64> items;
        QString bad;
        for (int i = 2; i < fields.size() && bad.isEmpty(); ++i) {
            const std::optional<qint64> item = wholeNumber(fields.at(i));
            if (item)
                items.push_back(*item);
            else
                bad = fields.at(i).trimmed();
        }
        if (!bad.isNull()) {
            problem(QStringLiteral("item \"%1\" is not a whole number").arg(bad));
            continue;
        }
        int t = byAddress.value(*ip, -1);
        if (t >= 0 && out.targets.at(t).scaleNo != quint32(*scaleNo)) {
            problem(QStringLiteral("%1 is listed before as scale %2").arg(address).arg(out.targets.at(t).scaleNo));
            continue;
        }
        if (t < 0) {
            t = int(out.targets.size());
            byAddress.insert(*ip, t);
            out.targets.push_back({address, *ip, quint32(*scaleNo), {}, {}});
            seenItems.push_back({});
        }
        ScaleTarget &target = out.targets[t];
        target.lines.push_back(n + 1);
        for (qint64 i : std::as_const(items)) {
            if (!seenItems[t].contains(i)) {
                seenItems[t].insert(i);
                target.items.push_back(i);
            }
        }
    }
    return out;
}

} // namespace korvo
