#include "comm/ScaleData.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "encoding/FieldCodec.h"
#include "encoding/RecordDecoder.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <cmath>
#include <map>

namespace korvo {

namespace {

constexpr int kInChunk = 500;

QString joined(const QVector<qint64> &items, qsizetype from, qsizetype n)
{
    QStringList parts;
    for (qsizetype i = from; i < from + n && i < items.size(); ++i)
        parts << QString::number(items.at(i));
    return parts.join(u',');
}

// The bytes of a stored record; false when the text is not hexadecimal.
bool recordBytes(const QString &hex, QByteArray &out)
{
    if (hex.size() % 2 != 0)
        return false;
    for (QChar c : hex) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f')))
            return false;
    }
    out = QByteArray::fromHex(hex.toLatin1());
    return true;
}

bool runQuery(AppState &state, const QString &sql, const std::function<void(QSqlQuery &)> &row, QString *error)
{
    std::optional<QSqlQuery> q = QueryKorvoDB(state, sql);
    if (!q) {
        if (error)
            *error = QStringLiteral("the database could not be read (%1)").arg(sql);
        return false;
    }
    while (q->next())
        row(*q);
    return true;
}

} // namespace

bool SelectPlus(AppState &state, PluScope scope, const QVector<qint64> &items, PluSet &out, QString *error)
{
    out = PluSet{};
    std::map<quint32, QPair<quint32, QString>> rows;
    auto collect = [&](QSqlQuery &q) {
        rows[quint32(q.value(0).toLongLong())] = {quint32(q.value(1).toLongLong()), q.value(2).toString()};
    };
    const QString base = QStringLiteral("select PLU_No, PLU_MG, ZentBinData from PLU");
    bool ok = true;
    switch (scope) {
    case PluScope::All:
        ok = runQuery(state, base + QStringLiteral(" order by PLU_No"), collect, error);
        break;
    case PluScope::Departments:
        if (!items.isEmpty())
            ok = runQuery(state, base + QStringLiteral(" where PLU_MG in (select MG_No from MG where DP_No in (%1))")
                                            .arg(joined(items, 0, items.size())),
                          collect, error);
        break;
    case PluScope::Plus:
        for (qsizetype i = 0; ok && i < items.size(); i += kInChunk)
            ok = runQuery(state, base + QStringLiteral(" where PLU_No in (%1)").arg(joined(items, i, kInChunk)),
                          collect, error);
        for (qint64 i : items)
            if (!rows.count(quint32(i)))
                out.missing.push_back(quint32(i));
        break;
    }
    if (!ok)
        return false;
    out.entries.reserve(qsizetype(rows.size()));
    for (const auto &[no, row] : rows) {
        out.inDatabase.insert(no);
        QByteArray record;
        if (row.second.isEmpty())
            out.unusable << QStringLiteral("PLU %1 has no scale record (save or encode it)").arg(no);
        else if (!recordBytes(row.second, record) || !RecordData(record))
            out.unusable << QStringLiteral("PLU %1: its scale record is damaged (encode it again)").arg(no);
        else
            out.entries.push_back({no, row.first, record});
    }
    return true;
}

bool SelectNamed(AppState &state, bool mainGroups, QVector<proto::NamedEntry> &out, QString *error)
{
    out.clear();
    const TextCodec codec(state);
    const QString sql = mainGroups ? QStringLiteral("select MG_No, DP_No, MG_Name from MG order by MG_No")
                                   : QStringLiteral("select DP_No, 0, DP_Name from DEPT order by DP_No");
    return runQuery(state, sql, [&](QSqlQuery &q) {
        out.push_back({quint32(q.value(0).toLongLong()), quint32(q.value(1).toLongLong()), codec.bytes(q.value(2).toString())});
    }, error);
}

bool MainGroupsOf(AppState &state, const QVector<qint64> &depts, QSet<quint32> &out, QString *error)
{
    out.clear();
    if (depts.isEmpty())
        return true;
    return runQuery(state, QStringLiteral("select MG_No from MG where DP_No in (%1)").arg(joined(depts, 0, depts.size())),
                    [&](QSqlQuery &q) { out.insert(quint32(q.value(0).toLongLong())); }, error);
}

bool StoreReceived(AppState &state, const RecordDecoder &decoder, const QString &address,
                   const QVector<proto::PluEntry> &plus, QStringList &notes, QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(state.connMain, false);
    const QSqlRecord table = db.record(QStringLiteral("RC_PLU"));
    QHash<QString, QString> rcColumns; // upper-cased -> as named in RC_PLU
    for (int i = 0; i < table.count(); ++i)
        rcColumns.insert(table.fieldName(i).toUpper(), table.fieldName(i));
    const QStringList fixed{QStringLiteral("SC_IP"), QStringLiteral("PLU_NO"), QStringLiteral("ZENTBINDATA"),
                            QStringLiteral("PLU_COMPARE")};

    // Decode first: the insert names every column any record gave.
    QVector<QHash<QString, QVariant>> rows(plus.size());
    QStringList columns; // upper-cased
    for (qsizetype i = 0; i < plus.size(); ++i) {
        QString why;
        const std::optional<DecodedRecord> r = decoder.decode(plus.at(i).record, &why);
        if (!r) {
            notes << QStringLiteral("PLU %1: the record could not be read (%2); stored undecoded").arg(plus.at(i).plu).arg(why);
            continue;
        }
        const QVariant no = r->value(QStringLiteral("PLU_No"));
        if (no.isValid() && no.toLongLong() != qint64(plus.at(i).plu))
            notes << QStringLiteral("PLU %1: its record says PLU %2").arg(plus.at(i).plu).arg(no.toLongLong());
        for (const DecodedValue &v : r->values) {
            const QString key = v.column.toUpper();
            if (!rcColumns.contains(key) || fixed.contains(key))
                continue;
            if (!columns.contains(key))
                columns << key;
            rows[i].insert(key, v.value);
        }
    }

    // What the PC holds of these PLUs: price and used-by days.
    QHash<quint32, QPair<QVariant, QVariant>> pc;
    QVector<qint64> numbers;
    for (const proto::PluEntry &e : plus)
        numbers << e.plu;
    for (qsizetype i = 0; i < numbers.size(); i += kInChunk) {
        if (!runQuery(state, QStringLiteral("select PLU_No, PLU_UPrice, PLU_UBDate from PLU where PLU_No in (%1)")
                                 .arg(joined(numbers, i, kInChunk)),
                      [&](QSqlQuery &q) { pc.insert(quint32(q.value(0).toLongLong()), {q.value(1), q.value(2)}); }, error))
            return false;
    }
    const double scale = std::pow(10.0, decoder.layout().priceDecimals);
    auto differs = [&](quint32 no, const QHash<QString, QVariant> &row) {
        const auto it = pc.constFind(no);
        if (it == pc.constEnd() || row.isEmpty())
            return false;
        const qint64 pcPrice = std::llround(it->first.toDouble() * scale);
        const qint64 rcPrice = std::llround(row.value(QStringLiteral("PLU_UPRICE")).toDouble() * scale);
        return pcPrice != rcPrice || it->second.toLongLong() != row.value(QStringLiteral("PLU_UBDATE")).toLongLong();
    };

    Transaction tx(state);
    if (!QueryKorvoDB(state, QStringLiteral("delete from RC_PLU where SC_IP='%1'").arg(SqlEscape(address)))) {
        if (error)
            *error = QStringLiteral("the earlier rows of %1 could not be removed from RC_PLU").arg(address);
        return false;
    }
    QStringList names{QStringLiteral("[SC_IP]"), QStringLiteral("[PLU_No]"), QStringLiteral("[ZentBinData]"),
                      QStringLiteral("[PLU_Compare]")};
    for (const QString &c : std::as_const(columns))
        names << QLatin1Char('[') + rcColumns.value(c) + QLatin1Char(']');
    QSqlQuery insert(db);
    if (!insert.prepare(QStringLiteral("insert into RC_PLU (%1) values (%2)")
                            .arg(names.join(u','), QStringList(names.size(), QStringLiteral("?")).join(u',')))) {
        if (error)
            *error = QStringLiteral("RC_PLU: ") + insert.lastError().text();
        return false;
    }
    for (qsizetype i = 0; i < plus.size(); ++i) {
        const proto::PluEntry &e = plus.at(i);
        insert.addBindValue(address);
        insert.addBindValue(qlonglong(e.plu));
        insert.addBindValue(QString::fromLatin1(e.record.toHex().toUpper()));
        insert.addBindValue(differs(e.plu, rows.at(i)) ? 1 : 0);
        for (const QString &c : std::as_const(columns))
            insert.addBindValue(rows.at(i).value(c));
        if (!insert.exec()) {
            if (error)
                *error = QStringLiteral("PLU %1 could not be stored in RC_PLU: %2").arg(e.plu).arg(insert.lastError().text());
            return false;
        }
    }
    insert.finish();
    if (!tx.commit()) {
        if (error)
            *error = QStringLiteral("RC_PLU: the received PLUs could not be saved: ") + db.lastError().text();
        return false;
    }
    return true;
}

} // namespace korvo
