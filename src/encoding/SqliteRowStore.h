#pragma once
// The rows of an encode run and the update of each, straight through the
// SQLite library on the connection's own handle. QtSql's result copies every
// column into a QVariant through UTF-16 and binds texts as UTF-16, which
// costs the run of mode ALL about as much as building the records.
//
// Values read as the QSQLITE driver gives them (same QVariant types and
// texts), so a record built from either reader is the same. Used only where
// the connection's driver is QSQLITE; the caller keeps the QtSql path for
// everything else and for every failure, so that errors read as before.

#include <QByteArray>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

struct sqlite3_stmt;

namespace korvo {

// What a column holds, as far as the encoder needs to tell; numbers are read
// without a QVariant.
struct RowCell {
    enum Kind { Null, Integer, Real, Other } kind = Null;
    qint64 i = 0;
    double d = 0.0;
};

class SqliteRowStore {
public:
    ~SqliteRowStore();
    SqliteRowStore(const SqliteRowStore &) = delete;
    SqliteRowStore &operator=(const SqliteRowStore &) = delete;

    // Prepares selectSql (already in SQLite's dialect) and updateSql and
    // steps to the first row, as QSqlQuery::exec does. nullptr when the
    // driver is not QSQLITE or either step fails: the caller then runs the
    // same statements through QtSql, which reports the failure.
    static std::unique_ptr<SqliteRowStore> open(const QSqlDatabase &db, const QString &selectSql,
                                                const QString &updateSql);

    // Result column names as QtSql names them.
    QStringList columnNames() const;

    // Moves to the next row (the first call to the row open() reached).
    // False at the end and on an error, as QSqlQuery::next().
    bool next();
    // The library's message when next() stopped on an error, else "".
    QString readError() const { return m_readError; }

    // Column col of the current row as QSQLITE reads it: integer -> qlonglong,
    // real -> double, text -> QString, blob -> QByteArray, null -> a null
    // QString variant.
    QVariant value(int col) const;
    // The same for numbers and null; Other for texts and blobs.
    RowCell cell(int col) const;

    // Runs the update with the values bound in order (texts as UTF-8, an
    // empty one as '' and never NULL; key a 64-bit integer). The number of
    // rows it changed, -1 when the statement failed (updateError() says
    // why); the statement is ready for the next call either way.
    int update(const QByteArray &text1, const QByteArray &text2, const QByteArray &text3, qint64 key);
    // The failure of the last update as QtSql words one (code and message).
    QSqlError updateError() const { return m_updateError; }

private:
    SqliteRowStore() = default;

    sqlite3_stmt *m_select = nullptr;
    sqlite3_stmt *m_update = nullptr;
    bool m_pending = false; // open() stepped onto a row next() has not handed out
    bool m_done = false;
    QString m_readError;
    QSqlError m_updateError;
};

} // namespace korvo
