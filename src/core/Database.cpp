#include "core/Database.h"

#include "core/AppState.h"
#include "core/ErrorReporter.h"
#include "core/Values.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>

#include <limits>
#include <sqlite3.h>

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

Translation translate(const QString &in)
{
    Translation t;
    QString &out = t.sql;
    out.reserve(in.size() + 16);
    const qsizetype n = in.size();
    qsizetype i = 0;
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
            if (!qualified && word.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
                out += QLatin1Char('1');
            } else if (!qualified
                       && word.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
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
    if (!fi.isFile())
        return fail(QStringLiteral("The database file %1 does not exist").arg(path));
    if (fi.size() == 0)
        return fail(QStringLiteral("The database file %1 is empty").arg(path));

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
    for (DbKind kind : {DbKind::Language, DbKind::Main, DbKind::Users})
        removeConnection(ConnectionName(state, kind));
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
    if (!q.prepare(t.sql) || !q.exec()) {
        QString why = q.lastError().text();
        if (why.trimmed().isEmpty())
            why = QStringLiteral("The statement failed");
        return fail(why);
    }
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

// True while the SQLite connection is inside a transaction.
bool insideTransaction(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3 *conn = *static_cast<sqlite3 *const *>(handle.constData());
    return conn && sqlite3_get_autocommit(conn) == 0;
}

} // namespace

Transaction::Transaction(AppState &state, DbKind kind)
    : m_db(QSqlDatabase::database(ConnectionName(state, kind), false))
{
    if (!m_db.isValid() || !m_db.isOpen())
        return;
    m_joined = insideTransaction(m_db);
    if (!m_joined) {
        m_active = m_db.transaction();
        return;
    }
    // Unique while this object lives, which is as long as the savepoint.
    m_savepoint = QStringLiteral("korvo_") + QString::number(quintptr(this), 16);
    m_active = QSqlQuery(m_db).exec(QStringLiteral("SAVEPOINT ") + m_savepoint);
}

Transaction::~Transaction()
{
    if (!m_active)
        return;
    if (!m_joined) {
        m_db.rollback();
        return;
    }
    QSqlQuery q(m_db);
    q.exec(QStringLiteral("ROLLBACK TO ") + m_savepoint);
    q.exec(QStringLiteral("RELEASE ") + m_savepoint);
}

bool Transaction::commit()
{
    if (!m_active)
        return false;
    m_active = false;
    if (m_joined) {
        if (QSqlQuery(m_db).exec(QStringLiteral("RELEASE ") + m_savepoint))
            return true;
        m_active = true; // the destructor undoes it
        return false;
    }
    if (m_db.commit())
        return true;
    m_db.rollback();
    return false;
}

} // namespace korvo
