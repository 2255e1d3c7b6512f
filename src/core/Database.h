#pragma once
// The database layer: three connections, one query routine for the main
// database, the Jet-to-SQLite dialect translation at the one place where
// statements execute, and small helpers.

#include <QSqlDatabase>
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

// A transaction on the main database that rolls back unless committed.
// Finish every query of the transaction before commit(). Opened while the
// connection is already inside a transaction, it is a savepoint of that
// one: commit() keeps its changes for the outer transaction to decide on,
// without commit() only its own changes are undone.
class Transaction {
public:
    explicit Transaction(AppState &state, DbKind kind = DbKind::Main);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    bool commit();
    bool active() const { return m_active; }
    bool joined() const { return m_joined; }

private:
    QSqlDatabase m_db;
    bool m_active = false;
    bool m_joined = false;
    QString m_savepoint;
};

} // namespace korvo
