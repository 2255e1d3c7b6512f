#include "encoding/SqliteRowStore.h"

#include <QSqlDriver>
#include <sqlite3.h>

namespace korvo {

namespace {

sqlite3_stmt *prepare(sqlite3 *db, const QString &sql)
{
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &stmt, &tail) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    // A second statement would be left unrun; QtSql refuses it as well.
    for (; tail && *tail; ++tail) {
        if (*tail != ' ' && *tail != ';' && *tail != '\t' && *tail != '\r' && *tail != '\n') {
            sqlite3_finalize(stmt);
            return nullptr;
        }
    }
    return stmt;
}

} // namespace

SqliteRowStore::~SqliteRowStore()
{
    sqlite3_finalize(m_select);
    sqlite3_finalize(m_update);
}

std::unique_ptr<SqliteRowStore> SqliteRowStore::open(const QSqlDatabase &db, const QString &selectSql,
                                                     const QString &updateSql)
{
    if (!db.isValid() || !db.isOpen() || db.driverName() != QLatin1String("QSQLITE") || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    sqlite3 *conn = *static_cast<sqlite3 *const *>(handle.constData());
    if (!conn)
        return nullptr;

    std::unique_ptr<SqliteRowStore> store(new SqliteRowStore);
    store->m_select = prepare(conn, selectSql);
    store->m_update = store->m_select ? prepare(conn, updateSql) : nullptr;
    if (!store->m_select || !store->m_update)
        return nullptr;
    const int rc = sqlite3_step(store->m_select);
    if (rc == SQLITE_ROW)
        store->m_pending = true;
    else if (rc == SQLITE_DONE)
        store->m_done = true;
    else
        return nullptr;
    return store;
}

QStringList SqliteRowStore::columnNames() const
{
    QStringList names;
    const int n = sqlite3_column_count(m_select);
    for (int i = 0; i < n; ++i) {
        const char *name = sqlite3_column_name(m_select, i);
        names << QString::fromUtf8(name ? name : "").remove(u'"');
    }
    return names;
}

bool SqliteRowStore::next()
{
    if (m_pending) {
        m_pending = false;
        return true;
    }
    if (m_done)
        return false;
    const int rc = sqlite3_step(m_select);
    if (rc == SQLITE_ROW)
        return true;
    m_done = true;
    if (rc != SQLITE_DONE)
        m_readError = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_select)));
    return false;
}

QVariant SqliteRowStore::value(int col) const
{
    switch (sqlite3_column_type(m_select, col)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(m_select, col)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_select, col));
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(m_select, col)),
                          sqlite3_column_bytes(m_select, col));
    default:
        break;
    }
    // Texts are stored as UTF-8. An ASCII text is its bytes; any other takes
    // SQLite's own UTF-16 translation, as the driver does, so that even
    // malformed sequences read the same.
    const auto *utf8 = reinterpret_cast<const char *>(sqlite3_column_text(m_select, col));
    const int n = sqlite3_column_bytes(m_select, col);
    bool ascii = true;
    for (int i = 0; i < n && ascii; ++i)
        ascii = static_cast<unsigned char>(utf8[i]) < 0x80;
    if (ascii)
        return n == 0 ? QStringLiteral("") : QString::fromLatin1(utf8, n);
    const void *utf16 = sqlite3_column_text16(m_select, col);
    return QString(static_cast<const QChar *>(utf16), sqlite3_column_bytes16(m_select, col) / 2);
}

RowCell SqliteRowStore::cell(int col) const
{
    // One call into the statement instead of two: the value is read at once,
    // on the thread that owns the connection (QtSql allows no other), which
    // is what makes an unprotected value safe to read.
    sqlite3_value *v = sqlite3_column_value(m_select, col);
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return {RowCell::Integer, sqlite3_value_int64(v)};
    case SQLITE_FLOAT:
        return {RowCell::Real, 0, sqlite3_value_double(v)};
    case SQLITE_NULL:
        return {RowCell::Null};
    default:
        return {RowCell::Other};
    }
}

int SqliteRowStore::update(const QByteArray &text1, const QByteArray &text2, const QByteArray &text3,
                           qint64 key)
{
    // "" pointers: an empty text is stored as '', never as NULL.
    auto bindText = [this](int i, const QByteArray &t) {
        return sqlite3_bind_text(m_update, i, t.isEmpty() ? "" : t.constData(), int(t.size()),
                                 SQLITE_STATIC);
    };
    int rc = bindText(1, text1);
    if (rc == SQLITE_OK)
        rc = bindText(2, text2);
    if (rc == SQLITE_OK)
        rc = bindText(3, text3);
    if (rc == SQLITE_OK)
        rc = sqlite3_bind_int64(m_update, 4, key);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(m_update);
    sqlite3 *conn = sqlite3_db_handle(m_update);
    int changed = -1;
    if (rc == SQLITE_DONE) {
        changed = sqlite3_changes(conn);
    } else {
        m_updateError = QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(conn)),
                                  QSqlError::StatementError, QString::number(rc & 0xFF));
    }
    sqlite3_reset(m_update);
    sqlite3_clear_bindings(m_update);
    return changed;
}

} // namespace korvo
