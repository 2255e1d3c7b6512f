#include "core/Database.h"

#include "core/AppState.h"
#include "core/CaseFold.h"
#include "core/DatabaseCheck.h"
#include "core/ErrorReporter.h"
#include "core/Values.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>

#include <sqlite3.h>

#include <limits>

namespace korvo {

namespace {

bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

// The text of a #...# literal as SQLite compares it: dates 'YYYY-MM-DD',
// times 'HH:MM:SS' as they are stored; anything else stays as written.
QString dateLiteral(const QString &content)
{
    static const QRegularExpression dateRe(QStringLiteral(
        R"(^(\d{4})-(\d{1,2})-(\d{1,2})(?:[ T](\d{1,2}):(\d{2})(?::(\d{2}))?)?$)"));
    static const QRegularExpression timeRe(QStringLiteral(R"(^(\d{1,2}):(\d{2})(?::(\d{2}))?$)"));
    const QString s = content.trimmed();
    QString text = content;
    if (const auto m = dateRe.match(s); m.hasMatch()) {
        const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        if (d.isValid()) {
            text = d.toString(QStringLiteral("yyyy-MM-dd"));
            if (m.hasCaptured(4)) {
                const QTime t(m.captured(4).toInt(), m.captured(5).toInt(),
                              m.captured(6).toInt());
                if (t.isValid())
                    text += QLatin1Char(' ') + t.toString(QStringLiteral("HH:mm:ss"));
                else
                    text = content;
            }
        }
    } else if (const auto t = timeRe.match(s); t.hasMatch()) {
        const QTime tm(t.captured(1).toInt(), t.captured(2).toInt(), t.captured(3).toInt());
        if (tm.isValid())
            text = tm.toString(QStringLiteral("HH:mm:ss"));
    }
    return QLatin1Char('\'') + SqlEscape(text) + QLatin1Char('\'');
}

// Index just past a quoted part that starts at i with the quote character q
// (a doubled quote stays inside); the text length when it is not closed.
qsizetype quotedEnd(const QString &s, qsizetype i, QChar q)
{
    qsizetype j = i + 1;
    while (j < s.size()) {
        if (s.at(j) == q) {
            if (j + 1 < s.size() && s.at(j + 1) == q) {
                j += 2;
                continue;
            }
            return j + 1;
        }
        ++j;
    }
    return s.size();
}

struct Translation {
    QString sql;
    bool secondStatement = false;
};

// The comparison operator that out ends with (blanks after it allowed):
// 1 for "=", -1 for "<>" or "!=", 0 for none. [*at, *end) is the operator.
int trailingComparison(const QString &out, qsizetype *at, qsizetype *end)
{
    qsizetype e = out.size();
    while (e > 0 && out.at(e - 1).isSpace())
        --e;
    *end = e;
    if (e >= 2 && (out.mid(e - 2, 2) == QLatin1String("<>") || out.mid(e - 2, 2) == QLatin1String("!="))) {
        *at = e - 2;
        return -1;
    }
    if (e >= 1 && out.at(e - 1) == QLatin1Char('=')) {
        const QChar before = e >= 2 ? out.at(e - 2) : QChar();
        if (before == QLatin1Char('<') || before == QLatin1Char('>') || before == QLatin1Char('!')
            || before == QLatin1Char('='))
            return 0;
        *at = e - 1;
        return 1;
    }
    return 0;
}

Translation translate(const QString &in)
{
    Translation t;
    QString &out = t.sql;
    out.reserve(in.size() + 16);
    const qsizetype n = in.size();
    qsizetype i = 0;
    // An "=" right after SET (at the SET's own parenthesis depth, until its
    // WHERE) assigns; anywhere else it compares.
    int depth = 0;
    int setDepth = -1;
    while (i < n) {
        const QChar c = in.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const qsizetype end = quotedEnd(in, i, c);
            out += in.mid(i, end - i);
            i = end;
        } else if (c == QLatin1Char('[')) {
            qsizetype end = in.indexOf(QLatin1Char(']'), i + 1);
            end = end < 0 ? n : end + 1;
            out += in.mid(i, end - i);
            i = end;
        } else if (c == QLatin1Char('-') && i + 1 < n && in.at(i + 1) == QLatin1Char('-')) {
            qsizetype end = in.indexOf(QLatin1Char('\n'), i);
            end = end < 0 ? n : end;
            out += in.mid(i, end - i);
            i = end;
        } else if (c == QLatin1Char('#')) {
            const qsizetype close = in.indexOf(QLatin1Char('#'), i + 1);
            if (close < 0) {
                out += c;
                ++i;
            } else {
                out += dateLiteral(in.mid(i + 1, close - i - 1));
                i = close + 1;
            }
        } else if (c == QLatin1Char(';')) {
            out += c;
            ++i;
            if (!in.mid(i).trimmed().isEmpty())
                t.secondStatement = true;
        } else if (isWordChar(c)) {
            qsizetype end = i;
            while (end < n && isWordChar(in.at(end)))
                ++end;
            const QString word = in.mid(i, end - i);
            // A word glued to a name before it (t.True) is a column, not a value.
            const bool qualified = i > 0 && in.at(i - 1) == QLatin1Char('.');
            const bool isTrue = !qualified && word.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
            const bool isFalse = !qualified && word.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0;
            if (word.compare(QLatin1String("set"), Qt::CaseInsensitive) == 0) {
                setDepth = depth;
            } else if (depth == setDepth
                       && (word.compare(QLatin1String("where"), Qt::CaseInsensitive) == 0
                           || word.compare(QLatin1String("from"), Qt::CaseInsensitive) == 0
                           || word.compare(QLatin1String("returning"), Qt::CaseInsensitive) == 0)) {
                setDepth = -1;
            }
            qsizetype opAt = 0, opEnd = 0;
            const int op =
                (isTrue || isFalse) && depth != setDepth ? trailingComparison(out, &opAt, &opEnd) : 0;
            if (op != 0) {
                // Jet stores Yes as -1, SQLite and our imports as 1 or -1: a
                // test for True is a test for "not 0".
                const QString gap = out.mid(opEnd);
                out.truncate(opAt);
                out += ((op > 0) == isTrue ? QStringLiteral("<>") : QStringLiteral("=")) + gap
                    + QLatin1Char('0');
            } else if (isTrue) {
                out += QLatin1Char('1');
            } else if (isFalse) {
                out += QLatin1Char('0');
            } else if (word.compare(QLatin1String("delete"), Qt::CaseInsensitive) == 0) {
                qsizetype j = end;
                while (j < n && in.at(j).isSpace())
                    ++j;
                if (j < n && in.at(j) == QLatin1Char('*')) {
                    out += QStringLiteral("delete");
                    end = j + 1;
                    if (end < n && !in.at(end).isSpace())
                        out += QLatin1Char(' ');
                } else {
                    out += word;
                }
            } else {
                out += word;
            }
            i = end;
        } else {
            if (c == QLatin1Char('('))
                ++depth;
            else if (c == QLatin1Char(')') && depth > 0) {
                if (setDepth == depth)
                    setDepth = -1;
                --depth;
            }
            out += c;
            ++i;
        }
    }
    return t;
}

void removeConnection(const QString &name)
{
    if (!QSqlDatabase::contains(name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

QString DatabaseFileName(DbKind kind)
{
    switch (kind) {
    case DbKind::Language:
        return QStringLiteral("language.db");
    case DbKind::Main:
        return QStringLiteral("KORVO2005.db");
    case DbKind::Users:
        return QStringLiteral("Users.db");
    }
    return {};
}

QString ConnectionName(const AppState &state, DbKind kind)
{
    switch (kind) {
    case DbKind::Language:
        return state.connLanguage;
    case DbKind::Main:
        return state.connMain;
    case DbKind::Users:
        return state.connUsers;
    }
    return {};
}

QSqlDatabase OpenDatabaseFile(const QString &connectionName, const QString &path, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        removeConnection(connectionName);
        return QSqlDatabase();
    };
    const QFileInfo fi(path);
    // SQLite would create a missing file, and an empty file is an empty
    // database to it: neither is one of ours.
    if (fi.isDir())
        return fail(QStringLiteral("%1 is a folder, not a database file").arg(path));
    if (!fi.isFile())
        return fail(QStringLiteral("The database file %1 does not exist").arg(path));
    if (fi.size() == 0)
        return fail(QStringLiteral("The database file %1 is empty").arg(path));

    // Decided before the open, which may replay a write-ahead log.
    const bool mustCheck = !ClosedCleanly(fi.absoluteFilePath());

    removeConnection(connectionName);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(fi.absoluteFilePath());
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        return fail(QStringLiteral("Cannot open the database file %1: %2")
                        .arg(path, db.lastError().text()));
    {
        // Read first: a damaged file must be refused before anything writes.
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("select count(*) from sqlite_master")) || !q.next()) {
            const QString why = q.lastError().text();
            q.finish();
            q = QSqlQuery();
            db = QSqlDatabase();
            return fail(QStringLiteral("The database file %1 is damaged or no database: %2")
                            .arg(path, why));
        }
        q.finish();
        // A file changed behind our back (a crash, another program) may have
        // damaged pages or indexes: writing to it would spread the damage.
        if (mustCheck) {
            if (const QStringList problems = CheckDatabase(db, false); !problems.isEmpty()) {
                q = QSqlQuery();
                db = QSqlDatabase();
                return fail(QStringLiteral("The database file %1 is damaged: %2\nRestore it from a "
                                           "backup; \"korvoctl check\" lists every problem.")
                                .arg(path, problems.first()));
            }
        }
        for (const char *pragma : {"PRAGMA journal_mode=WAL", "PRAGMA foreign_keys=OFF"}) {
            if (!q.exec(QString::fromLatin1(pragma))) {
                const QString why = q.lastError().text();
                q = QSqlQuery();
                db = QSqlDatabase();
                return fail(QStringLiteral("Cannot prepare the database file %1: %2")
                                .arg(path, why));
            }
            q.finish();
        }
    }
    if (!RegisterFoldFunctions(db)) {
        db = QSqlDatabase();
        return fail(QStringLiteral("Cannot prepare the database file %1: the text functions are missing")
                        .arg(path));
    }
    if (error)
        error->clear();
    return db;
}

QString TranslateSql(const QString &jetSql) { return translate(jetSql).sql; }

QString SqlEscape(const QString &text)
{
    QString s = text;
    s.replace(QLatin1Char('\''), QStringLiteral("''"));
    return s;
}

qint16 LastDotNumber(const QString &text)
{
    const qsizetype dot = text.lastIndexOf(QLatin1Char('.'));
    return PrefixToInt16(dot < 0 ? text : text.mid(dot + 1));
}

bool InitDBConnection(AppState &state)
{
    CloseDBConnections(state);
    for (DbKind kind : {DbKind::Language, DbKind::Main, DbKind::Users}) {
        const QString path =
            state.dataPath + QStringLiteral("Database/") + DatabaseFileName(kind);
        QString error;
        const QSqlDatabase db = OpenDatabaseFile(ConnectionName(state, kind), path, &error);
        if (!db.isValid() || !db.isOpen()) {
            CloseDBConnections(state);
            state.errorSource = QStringLiteral("InitDBConnection");
            ReportError(state, error);
            return false;
        }
    }
    state.dbOpen = true;
    return true;
}

void CloseDBConnections(AppState &state)
{
    for (DbKind kind : {DbKind::Language, DbKind::Main, DbKind::Users}) {
        const QString name = ConnectionName(state, kind);
        const QString path = QSqlDatabase::contains(name)
            ? QSqlDatabase::database(name, false).databaseName()
            : QString();
        removeConnection(name);
        if (!path.isEmpty())
            RecordCleanClose(path);
    }
    state.dbOpen = false;
}

std::optional<QSqlQuery> QueryDb(AppState &state, DbKind kind, const QString &sql,
                                 const QString &errorSource)
{
    auto fail = [&](const QString &description) -> std::optional<QSqlQuery> {
        state.errorSource =
            errorSource.isEmpty() ? QStringLiteral("QueryKorvoDB ") + sql : errorSource;
        ReportError(state, description);
        return std::nullopt;
    };
    QSqlDatabase db = QSqlDatabase::database(ConnectionName(state, kind), false);
    if (!db.isValid() || !db.isOpen())
        return fail(QStringLiteral("The database %1 is not open").arg(DatabaseFileName(kind)));
    const Translation t = translate(sql);
    if (t.secondStatement)
        return fail(QStringLiteral("Only one statement can run at a time"));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(t.sql) || !q.exec())
        return fail(DatabaseErrorText(q.lastError()));
    return q;
}

std::optional<QSqlQuery> QueryKorvoDB(AppState &state, const QString &sql)
{
    return QueryDb(state, DbKind::Main, sql);
}

qint32 FindMinUnusedID(AppState &state, const QString &table, const QString &column)
{
    const QString source = QStringLiteral("FindMinUnusedID (") + table + QStringLiteral(", ")
        + column + QLatin1Char(')');
    auto q = QueryDb(state, DbKind::Main,
                     QStringLiteral("select ") + column + QStringLiteral(" from ") + table
                         + QStringLiteral(" where ") + column + QStringLiteral(" is not null")
                         + QStringLiteral(" order by ") + column,
                     source);
    if (!q)
        return -1;
    // Values below n (zero, negatives, repeats) do not hide a gap, so they are
    // passed over instead of ending the walk: 0,1,2 gives 3, not the used 1.
    qint64 n = 1;
    while (q->next()) {
        bool ok = false;
        const double v = q->value(0).toDouble(&ok);
        if (!ok || v < double(n))
            continue;
        if (v != double(n))
            break;
        ++n;
    }
    q->finish();
    return qint32(qMin<qint64>(n, std::numeric_limits<qint32>::max()));
}

namespace {

sqlite3 *nativeHandle(const QSqlDatabase &db)
{
    if (!db.isValid() || !db.isOpen() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

// SQLite ends the whole transaction by itself after some failures (a full
// disk among them); a rollback then would only add an error of its own.
bool inTransaction(const QSqlDatabase &db)
{
    sqlite3 *h = nativeHandle(db);
    return h && sqlite3_get_autocommit(h) == 0;
}

const QString kSavepoint = QStringLiteral("korvo_tx");

} // namespace

bool InTransaction(AppState &state, DbKind kind)
{
    return inTransaction(QSqlDatabase::database(ConnectionName(state, kind), false));
}

namespace {

// SQLite's primary result code of a QtSql error; -1 when it has none.
int primaryCode(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xFF) : -1;
}

} // namespace

bool IsDiskFull(const QSqlError &error)
{
    return primaryCode(error) == SQLITE_FULL;
}

QString DatabaseErrorText(const QSqlError &error)
{
    QString why = error.text().trimmed();
    if (why.isEmpty())
        why = QStringLiteral("The statement failed");
    const int code = primaryCode(error);
    if (code == SQLITE_FULL)
        return QStringLiteral("The disk is full (%1)").arg(why);
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        return QStringLiteral("The database is in use by another program and did not become free "
                              "in time (%1)")
            .arg(why);
    return why;
}

Transaction::Transaction(AppState &state, DbKind kind)
    : m_db(QSqlDatabase::database(ConnectionName(state, kind), false))
{
    if (!m_db.isValid() || !m_db.isOpen()) {
        m_error = QSqlError(QStringLiteral("The database %1 is not open").arg(DatabaseFileName(kind)),
                            QString(), QSqlError::ConnectionError);
        return;
    }
    m_nested = inTransaction(m_db);
    QSqlQuery q(m_db);
    m_active = q.exec(m_nested ? QStringLiteral("SAVEPOINT ") + kSavepoint : QStringLiteral("BEGIN IMMEDIATE"));
    if (!m_active)
        m_error = q.lastError();
}

Transaction::~Transaction()
{
    if (m_active)
        rollback();
}

void Transaction::rollback()
{
    if (!m_active)
        return;
    m_active = false;
    if (!inTransaction(m_db))
        return;
    QSqlQuery q(m_db);
    if (m_nested) {
        q.exec(QStringLiteral("ROLLBACK TO ") + kSavepoint);
        q.exec(QStringLiteral("RELEASE ") + kSavepoint);
    } else {
        q.exec(QStringLiteral("ROLLBACK"));
    }
}

bool Transaction::commit()
{
    if (!m_active)
        return false;
    QSqlQuery q(m_db);
    if (q.exec(m_nested ? QStringLiteral("RELEASE ") + kSavepoint : QStringLiteral("COMMIT"))) {
        m_active = false;
        return true;
    }
    m_error = q.lastError();
    q.finish();
    rollback();
    return false;
}

} // namespace korvo
