#include "startup/DataRoot.h"

#include "core/Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUuid>

namespace korvo {

namespace {

const char *const kReferenceTables[] = {"BARCODE_LIST", "FONTS", "LABELFORMAT"};
const char *const kDemoTables[] = {"STORE", "DEPT", "MG", "PLU", "DISCOUNT",
                                   "SCALE_SECT", "SCALE", "DEPT_SECT"};

QString readResource(const QString &name, QString *error)
{
    QFile f(QStringLiteral(":/data/") + name);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Installation data \"%1\" is missing from the program").arg(name);
        return {};
    }
    return QString::fromUtf8(f.readAll());
}

bool copyResource(const QString &name, const QString &target, QString *error)
{
    if (QFileInfo::exists(target))
        return true;
    QFile::remove(target);
    if (!QFile::copy(QStringLiteral(":/data/") + name, target)) {
        *error = QStringLiteral("Cannot write \"%1\"").arg(QDir::toNativeSeparators(target));
        return false;
    }
    // Resource copies are read-only; the operator edits these files.
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                      | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    return true;
}

QString unescapeCell(const QString &cell)
{
    if (!cell.contains(QLatin1Char('\\')))
        return cell;
    QString out;
    out.reserve(cell.size());
    for (qsizetype i = 0; i < cell.size(); ++i) {
        const QChar c = cell.at(i);
        if (c != QLatin1Char('\\') || i + 1 == cell.size()) {
            out += c;
            continue;
        }
        const QChar n = cell.at(++i);
        switch (n.unicode()) {
        case 't': out += QLatin1Char('\t'); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case '\\': out += QLatin1Char('\\'); break;
        default: out += c; out += n; break;
        }
    }
    return out;
}

bool execScript(QSqlDatabase &db, const QString &script, QString *error)
{
    QString statement;
    const QStringList lines = script.split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1String("--")))
            continue;
        statement += raw + QLatin1Char('\n');
        if (line.endsWith(QLatin1Char(';'))) {
            QSqlQuery q(db);
            if (!q.exec(statement)) {
                *error = QStringLiteral("Schema statement failed: %1\n%2")
                             .arg(q.lastError().text(), statement.trimmed());
                return false;
            }
            statement.clear();
        }
    }
    return true;
}

bool loadRows(QSqlDatabase &db, const QString &table, const QString &text, const QString &what,
              QString *error)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    if (lines.isEmpty())
        return true;
    const QStringList header = lines.first().split(QLatin1Char('\t'));
    QStringList marks;
    for (qsizetype i = 0; i < header.size(); ++i)
        marks << QStringLiteral("?");
    QSqlQuery q(db);
    const QString sql = QStringLiteral("insert into %1(%2) values(%3)")
                            .arg(table, header.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    if (!q.prepare(sql)) {
        *error = QStringLiteral("%1: %2").arg(what, q.lastError().text());
        return false;
    }
    for (qsizetype n = 1; n < lines.size(); ++n) {
        QString line = lines.at(n);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const QStringList cells = line.split(QLatin1Char('\t'));
        if (cells.size() != header.size()) {
            *error = QStringLiteral("%1 line %2: %3 cells, the header has %4")
                         .arg(what).arg(n + 1).arg(cells.size()).arg(header.size());
            return false;
        }
        for (qsizetype i = 0; i < cells.size(); ++i) {
            if (cells.at(i).isEmpty())
                q.bindValue(int(i), QVariant());
            else
                q.bindValue(int(i), unescapeCell(cells.at(i)));
        }
        if (!q.exec()) {
            *error = QStringLiteral("%1 line %2: %3").arg(what).arg(n + 1).arg(q.lastError().text());
            return false;
        }
    }
    return true;
}

// Creates one database file from its schema and rows, all or nothing.
bool buildDatabase(const QString &path, const QString &schema,
                   const QList<QPair<QString, QString>> &rowFiles, QString *error)
{
    const QString conn = QStringLiteral("korvo-init-") + QUuid::createUuid().toString(QUuid::Id128);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        db.setDatabaseName(path);
        if (!db.open()) {
            *error = QStringLiteral("Cannot create \"%1\": %2")
                         .arg(QDir::toNativeSeparators(path), db.lastError().text());
        } else {
            db.transaction();
            ok = execScript(db, readResource(schema, error), error);
            for (const auto &rf : rowFiles) {
                if (!ok)
                    break;
                const QString text = readResource(rf.second, error);
                ok = !text.isNull() && loadRows(db, rf.first, text, rf.second, error);
            }
            if (ok)
                ok = db.commit();
            else
                db.rollback();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(conn);
    if (!ok)
        QFile::remove(path);
    return ok;
}

} // namespace

bool CreateSchema(const QString &connectionName, const QString &schema, QString *error)
{
    const QString script = readResource(QStringLiteral("schema/") + schema + QStringLiteral(".sql"), error);
    QSqlDatabase db = QSqlDatabase::database(connectionName);
    return !script.isEmpty() && execScript(db, script, error);
}

bool LoadRowsFile(const QString &connectionName, const QString &table, const QString &tsvPath,
                  QString *error)
{
    QFile f(tsvPath);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read \"%1\"").arg(QDir::toNativeSeparators(tsvPath));
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(connectionName);
    return loadRows(db, table, QString::fromUtf8(f.readAll()), tsvPath, error);
}

bool CreateDataRoot(const QString &dataRoot, const DataRootOptions &options, QString *error)
{
    QDir root(dataRoot);
    const QString dbDir = root.filePath(QStringLiteral("Database"));
    for (DbKind k : {DbKind::Language, DbKind::Main, DbKind::Users}) {
        const QString p = QDir(dbDir).filePath(DatabaseFileName(k));
        if (QFileInfo::exists(p)) {
            *error = QStringLiteral("\"%1\" exists already; a data root is never overwritten")
                         .arg(QDir::toNativeSeparators(p));
            return false;
        }
    }
    for (const char *sub : {"Database", "Desc", "Bin"}) {
        if (!root.mkpath(QLatin1String(sub))) {
            *error = QStringLiteral("Cannot create the folder \"%1\"")
                         .arg(QDir::toNativeSeparators(root.filePath(QLatin1String(sub))));
            return false;
        }
    }
    if (!copyResource(QStringLiteral("Korvo2005.INI"), root.filePath(QStringLiteral("Korvo2005.INI")), error))
        return false;
    for (const char *dsc : {"PLU.dsc", "PLU_STATUS.dsc", "DISCOUNT.dsc"}) {
        if (!copyResource(QStringLiteral("desc/") + QLatin1String(dsc),
                          root.filePath(QStringLiteral("Desc/") + QLatin1String(dsc)), error))
            return false;
    }

    QList<QPair<QString, QString>> mainRows;
    for (const char *t : kReferenceTables)
        mainRows.append({QLatin1String(t), QStringLiteral("rows/main/%1.tsv").arg(QLatin1String(t))});
    if (options.demoRows) {
        for (const char *t : kDemoTables)
            mainRows.append({QLatin1String(t), QStringLiteral("rows/main/%1.tsv").arg(QLatin1String(t))});
    }
    const QString usersPath = QDir(dbDir).filePath(DatabaseFileName(DbKind::Users));
    const bool ok =
        buildDatabase(QDir(dbDir).filePath(DatabaseFileName(DbKind::Language)),
                      QStringLiteral("schema/language.sql"),
                      {{QStringLiteral("tbl_LANGUAGE"), QStringLiteral("language.tsv")}}, error)
        && buildDatabase(QDir(dbDir).filePath(DatabaseFileName(DbKind::Main)),
                         QStringLiteral("schema/main.sql"), mainRows, error)
        && buildDatabase(usersPath, QStringLiteral("schema/users.sql"), {}, error);
    if (!ok) {
        // All or nothing: a half-built root would be refused by the next try.
        for (DbKind k : {DbKind::Language, DbKind::Main, DbKind::Users})
            QFile::remove(QDir(dbDir).filePath(DatabaseFileName(k)));
        return false;
    }
    // Password hashes are nobody else's business.
    QFile::setPermissions(usersPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

} // namespace korvo
