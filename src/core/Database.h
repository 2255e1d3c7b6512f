#pragma once
// The database layer: three connections, one query routine for the main
// database, the Jet-to-SQLite dialect translation at the one place where
// statements execute, and small helpers.

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <optional>

namespace korvo {

class AppState;

enum class DbKind { Language, Main, Users };

// File names under the data root's Database folder.
QString DatabaseFileName(DbKind kind);

// Connection name of one of the three databases of a state.
QString ConnectionName(const AppState &state, DbKind kind);

// The engine is chosen here only. The file must exist and be a database; it
// is never created here. On failure the connection is removed again and an
// invalid handle comes back with *error naming the file.
QSqlDatabase OpenDatabaseFile(const QString &connectionName, const QString &path,
                              QString *error);

// Turns the Jet-flavoured SQL the program writes into SQLite's dialect:
// #date# literals become quoted texts, True/False become 1/0,
// "Delete * from" becomes "delete from". Quoted texts are never touched.
QString TranslateSql(const QString &jetSql);

// Doubles every "'".
QString SqlEscape(const QString &text);

// Numeric prefix of the part after the last "." (the whole text without one).
qint16 LastDotNumber(const QString &text);

// Opens language, main and users database in this order. Reports through
// ReportError with source "InitDBConnection" and returns false on failure.
bool InitDBConnection(AppState &state);
void CloseDBConnections(AppState &state);

// Runs one statement on the main database. On failure reports with source
// "QueryKorvoDB " + sql and returns nullopt. The query is forward-only; a
// SELECT keeps the database busy until the query is finished or destroyed.
// A text holding a second statement after ";" is refused (SQLite would
// silently run only the first).
std::optional<QSqlQuery> QueryKorvoDB(AppState &state, const QString &sql);

// The same on any of the three databases, with the given error source
// (empty: "QueryKorvoDB " + sql).
std::optional<QSqlQuery> QueryDb(AppState &state, DbKind kind, const QString &sql,
                                 const QString &errorSource = {});

// Smallest number from 1 up missing in column; -1 after a reported error.
qint32 FindMinUnusedID(AppState &state, const QString &table, const QString &column);

// A writer's transaction on one database that rolls back unless committed.
// It begins IMMEDIATE: the write lock is taken at once, waiting up to the
// connection's busy timeout for another writer (another copy of the program,
// korvoctl) to finish, so that a writer never fails half-way for a lock.
// Inside an open transaction it is a savepoint: commit() releases it into
// the outer transaction, and a rollback undoes only its own work.
// Finish every query of the transaction before commit().
class Transaction {
public:
    explicit Transaction(AppState &state, DbKind kind = DbKind::Main);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    bool commit();
    // Undoes the work now instead of at the end of the scope.
    void rollback();
    bool active() const { return m_active; }
    bool nested() const { return m_nested; }
    // Why begin or commit failed, as the database said it ("" when they did
    // not): the error of that step, never that of the rollback after it.
    QSqlError error() const { return m_error; }

private:
    QSqlDatabase m_db;
    bool m_active = false;
    bool m_nested = false;
    QSqlError m_error;
};

// True while the connection of kind is inside a transaction.
bool InTransaction(AppState &state, DbKind kind = DbKind::Main);

// The reason of a failed statement for the person at the screen: a full
// disk and a database held by another program are named as such.
QString DatabaseErrorText(const QSqlError &error);
// SQLite's "database or disk is full".
bool IsDiskFull(const QSqlError &error);

} // namespace korvo
