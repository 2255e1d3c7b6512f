#include "comm/ScaleData.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "encoding/FieldCodec.h"
#include "encoding/RecordDecoder.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <cmath>
#include <map>
#include <sqlite3.h>

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

// The rows of a received scale go straight through the SQLite library on
// the connection's own handle, as the encoder's run does: QtSql's binding of
// a hundred columns per row costs several times the decoding. Where the
// driver is not QSQLITE the rows go through QtSql.
class RowInsert {
public:
    RowInsert(const QSqlDatabase &db, const QString &sql) : m_query(db)
    {
        if (db.driverName() == QLatin1String("QSQLITE") && db.driver()) {
            const QVariant handle = db.driver()->handle();
            if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
                m_db = *static_cast<sqlite3 *const *>(handle.constData());
        }
        if (m_db) {
            const QByteArray utf8 = sql.toUtf8();
            if (sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &m_stmt, nullptr) != SQLITE_OK) {
                sqlite3_finalize(m_stmt);
                m_stmt = nullptr;
                m_db = nullptr;
            }
        }
        if (!m_stmt)
            m_prepared = m_query.prepare(sql);
    }
    ~RowInsert() { sqlite3_finalize(m_stmt); }
    bool ok() const { return m_stmt || m_prepared; }
    QString error() const { return m_stmt ? QString::fromUtf8(sqlite3_errmsg(m_db)) : m_query.lastError().text(); }

    bool exec(const QVector<QVariant> &values)
    {
        if (!m_stmt) {
            for (int i = 0; i < values.size(); ++i)
                m_query.bindValue(i, values.at(i));
            return m_query.exec();
        }
        for (int i = 0; i < values.size(); ++i) {
            const QVariant &v = values.at(i);
            const int at = i + 1;
            if (!v.isValid() || v.isNull()) {
                sqlite3_bind_null(m_stmt, at);
                continue;
            }
            switch (v.typeId()) {
            case QMetaType::LongLong:
            case QMetaType::Int:
            case QMetaType::Bool:
                sqlite3_bind_int64(m_stmt, at, v.toLongLong());
                break;
            case QMetaType::Double:
                sqlite3_bind_double(m_stmt, at, v.toDouble());
                break;
            default: {
                const QByteArray utf8 = v.toString().toUtf8();
                sqlite3_bind_text(m_stmt, at, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
                break;
            }
            }
        }
        const int rc = sqlite3_step(m_stmt);
        sqlite3_reset(m_stmt);
        return rc == SQLITE_DONE;
    }

private:
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
    QSqlQuery m_query;
    bool m_prepared = false;
};

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
    const QSet<QString> fixed{QStringLiteral("SC_IP"), QStringLiteral("PLU_NO"), QStringLiteral("ZENTBINDATA"),
                              QStringLiteral("PLU_COMPARE")};
    // The decoder's columns that RC_PLU has, by their place in a decoded record.
    QVector<int> used;
    QStringList names{QStringLiteral("[SC_IP]"), QStringLiteral("[PLU_No]"), QStringLiteral("[ZentBinData]"),
                      QStringLiteral("[PLU_Compare]")};
    int priceAt = -1, ubDateAt = -1;
    for (int i = 0; i < decoder.columns().size(); ++i) {
        const QString key = decoder.columns().at(i).toUpper();
        if (key == QLatin1String("PLU_UPRICE"))
            priceAt = i;
        if (key == QLatin1String("PLU_UBDATE"))
            ubDateAt = i;
        if (!rcColumns.contains(key) || fixed.contains(key))
            continue;
        used << i;
        names << QLatin1Char('[') + rcColumns.value(key) + QLatin1Char(']');
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
    // Taken over by the receive window: a price (to the price decimals) or
    // used-by days that differ from the PC's.
    auto differs = [&](quint32 no, const DecodedRecord &r) {
        const auto it = pc.constFind(no);
        if (it == pc.constEnd())
            return false;
        const QVariant price = priceAt >= 0 ? r.values.at(priceAt) : QVariant();
        const QVariant days = ubDateAt >= 0 ? r.values.at(ubDateAt) : QVariant();
        return std::llround(it->first.toDouble() * scale) != std::llround(price.toDouble() * scale)
            || it->second.toLongLong() != days.toLongLong();
    };

    Transaction tx(state);
    if (!QueryKorvoDB(state, QStringLiteral("delete from RC_PLU where SC_IP='%1'").arg(SqlEscape(address)))) {
        if (error)
            *error = QStringLiteral("the earlier rows of %1 could not be removed from RC_PLU").arg(address);
        return false;
    }
    RowInsert insert(db, QStringLiteral("insert into RC_PLU (%1) values (%2)")
                             .arg(names.join(u','), QStringList(names.size(), QStringLiteral("?")).join(u',')));
    if (!insert.ok()) {
        if (error)
            *error = QStringLiteral("RC_PLU: ") + insert.error();
        return false;
    }
    QVector<QVariant> row(names.size());
    for (const proto::PluEntry &e : plus) {
        QString why;
        const std::optional<DecodedRecord> r = decoder.decode(e.record, &why);
        if (!r) {
            notes << QStringLiteral("PLU %1: the record could not be read (%2); stored undecoded").arg(e.plu).arg(why);
        } else if (const QVariant no = r->value(QStringLiteral("PLU_No")); no.isValid() && no.toLongLong() != qint64(e.plu)) {
            notes << QStringLiteral("PLU %1: its record says PLU %2").arg(e.plu).arg(no.toLongLong());
        }
        int at = 0;
        row[at++] = address;
        row[at++] = qlonglong(e.plu);
        row[at++] = QString::fromLatin1(e.record.toHex().toUpper());
        row[at++] = r && differs(e.plu, *r) ? 1 : 0;
        for (int c : std::as_const(used))
            row[at++] = r ? r->values.at(c) : QVariant();
        if (!insert.exec(row)) {
            if (error)
                *error = QStringLiteral("PLU %1 could not be stored in RC_PLU: %2").arg(e.plu).arg(insert.error());
            return false;
        }
    }
    if (!tx.commit()) {
        if (error)
            *error = QStringLiteral("RC_PLU: the received PLUs could not be saved: ") + db.lastError().text();
        return false;
    }
    return true;
}

} // namespace korvo
