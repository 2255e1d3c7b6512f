#include "manage/PluJson.h"

#include "core/PluFields.h"
#include "core/Values.h"
#include "manage/PluRecord.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace korvo {

namespace {

QString jsonString(const QString &s)
{
    const QByteArray a = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(a.mid(1, a.size() - 2));
}

// A stored number as a JSON number; anything else that sits in a number
// column stays a string, so that nothing is lost on the way.
QString jsonValue(ValueKind kind, const QString &v)
{
    if (v.isEmpty())
        return QStringLiteral("null");
    if (kind == ValueKind::Number)
        if (const auto d = StrictNumber(v))
            return NumberText(*d);
    return jsonString(v);
}

// A JSON value as a value text; nullopt for arrays, objects and booleans.
std::optional<QString> valueText(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::Null:
        return QString();
    case QJsonValue::String:
        return v.toString();
    case QJsonValue::Double:
        return NumberText(v.toDouble());
    default:
        return std::nullopt;
    }
}

int indexIn(const QStringList &names, const QString &key)
{
    for (int i = 0; i < names.size(); ++i)
        if (names.at(i).compare(key, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QStringList discountNames()
{
    QStringList names;
    for (const char *c : kDiscountColumns)
        names << QLatin1String(c);
    return names;
}

} // namespace

QString PluJsonText(const PluFieldTable &fields, const PluRecord &record, const QStringList &statusColumns)
{
    QStringList lines;
    for (int i = 0; i < kPluFieldCount; ++i)
        lines << QStringLiteral("  \"%1\": %2").arg(fields.at(i).Name, jsonValue(fields.at(i).Kind, record.values.value(i)));
    for (const QString &name : statusColumns)
        lines << QStringLiteral("  \"%1\": %2").arg(name, record.status.value(name) ? QStringLiteral("true")
                                                                                    : QStringLiteral("false"));
    QString discount = QStringLiteral("null");
    if (record.discount) {
        QStringList items;
        for (int i = 0; i < kDiscountColumnCount; ++i)
            items << QStringLiteral("    \"%1\": %2")
                         .arg(QLatin1String(kDiscountColumns[i]),
                              jsonValue(i < 4 ? ValueKind::Text : ValueKind::Number, record.discount->value(i)));
        discount = QStringLiteral("{\n") + items.join(QStringLiteral(",\n")) + QStringLiteral("\n  }");
    }
    lines << QStringLiteral("  \"discount\": ") + discount;
    return QStringLiteral("{\n") + lines.join(QStringLiteral(",\n")) + QStringLiteral("\n}");
}

bool ApplyPluJson(const PluFieldTable &fields, const QStringList &statusColumns, const QJsonObject &object,
                  PluRecord &record, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = it.key();
        const QJsonValue v = it.value();
        if (const int field = fields.indexOf(key); field >= 0) {
            const auto text = valueText(v);
            if (!text)
                return fail(QStringLiteral("%1: a number, a string or null is expected").arg(key));
            record.values[field] = *text;
        } else if (const int s = indexIn(statusColumns, key); s >= 0) {
            if (!v.isBool() && !v.isNull() && !v.isDouble())
                return fail(QStringLiteral("%1: true or false is expected").arg(key));
            record.status.insert(statusColumns.at(s), v.isBool() ? v.toBool() : v.toDouble() != 0);
        } else if (key.compare(QLatin1String("discount"), Qt::CaseInsensitive) == 0) {
            if (v.isNull()) {
                record.discount.reset();
                continue;
            }
            if (!v.isObject())
                return fail(QStringLiteral("discount: an object or null is expected"));
            QStringList d = record.discount.value_or(QStringList());
            while (d.size() < kDiscountColumnCount)
                d << QString();
            const QStringList names = discountNames();
            const QJsonObject o = v.toObject();
            for (auto dt = o.begin(); dt != o.end(); ++dt) {
                const int c = indexIn(names, dt.key());
                const auto text = valueText(dt.value());
                if (c < 0)
                    return fail(QStringLiteral("discount: unknown column \"%1\"").arg(dt.key()));
                if (!text)
                    return fail(QStringLiteral("discount: %1: a number, a string or null is expected").arg(dt.key()));
                d[c] = *text;
            }
            record.discount = d;
        } else {
            return fail(QStringLiteral("unknown column \"%1\"").arg(key));
        }
    }
    return true;
}

} // namespace korvo
