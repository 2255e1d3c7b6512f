#include "startup/DataRoot.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/DatabaseCheck.h"
#include "encoding/Hierarchy.h"
#include "encoding/RecordBuilder.h"
#include "startup/Startup.h"

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

DataRootContent InspectDataRoot(const QString &dataRoot, QStringList *missing)
{
    QStringList absent;
    for (DbKind k : {DbKind::Language, DbKind::Main, DbKind::Users}) {
        if (!QFileInfo(QDir(dataRoot).filePath(QStringLiteral("Database/") + DatabaseFileName(k))).isFile())
            absent << DatabaseFileName(k);
    }
    if (missing)
        *missing = absent;
    return absent.isEmpty() ? DataRootContent::Complete
        : absent.size() == 3 ? DataRootContent::None
                             : DataRootContent::Partial;
}

namespace {

// Every PLU of the root in its building place gets its scale record, as a
// save in the program gives it.
bool encodeRecords(const QString &root, QString *error)
{
    AppState state; // no one to ask: reports are collected
    state.setPaths(QString(), root);
    state.userName = QStringLiteral("init");
    const bool loaded = LoadSettings(state);
    if (loaded) {
        LoadMGSettings(state);
        LoadScaleBarcodeList(state);
        qint32 last = 0;
        CreatePLUData(state, QStringLiteral("ALL"), last);
    }
    if (loaded && state.reportedErrors.isEmpty())
        return true;
    const ReportedError first = state.reportedErrors.value(0);
    *error = QStringLiteral("The PLUs of the new data root could not be encoded: %1: %2")
                 .arg(first.source, first.description);
    return false;
}

bool build(const QString &root, const QString &existing, const DataRootOptions &options,
           QString *error)
{
    QDir dir(root);
    for (const char *sub : {"Database", "Desc", "Bin"}) {
        if (!dir.mkpath(QLatin1String(sub))) {
            *error = QStringLiteral("Cannot create the folder \"%1\"")
                         .arg(QDir::toNativeSeparators(dir.filePath(QLatin1String(sub))));
            return false;
        }
    }
    QStringList files{QStringLiteral("Korvo2005.INI")};
    for (const char *dsc : {"PLU.dsc", "PLU_STATUS.dsc", "DISCOUNT.dsc"})
        files << QStringLiteral("Desc/") + QLatin1String(dsc);
    for (const QString &f : std::as_const(files)) {
        // The target's own file is the one the root will use.
        const QString own = existing.isEmpty() ? QString() : QDir(existing).filePath(f);
        if (!own.isEmpty() && QFileInfo(own).isFile()) {
            if (!QFile::copy(own, dir.filePath(f))) {
                *error = QStringLiteral("Cannot copy \"%1\"").arg(QDir::toNativeSeparators(own));
                return false;
            }
        } else if (!copyResource(QString(f).replace(QStringLiteral("Desc/"), QStringLiteral("desc/")),
                                 dir.filePath(f), error)) {
            return false;
        }
    }

    QList<QPair<QString, QString>> mainRows;
    for (const char *t : kReferenceTables)
        mainRows.append({QLatin1String(t), QStringLiteral("rows/main/%1.tsv").arg(QLatin1String(t))});
    if (options.demoRows) {
        for (const char *t : kDemoTables)
            mainRows.append({QLatin1String(t), QStringLiteral("rows/main/%1.tsv").arg(QLatin1String(t))});
    }
    const QString dbDir = dir.filePath(QStringLiteral("Database"));
    const QString usersPath = QDir(dbDir).filePath(DatabaseFileName(DbKind::Users));
    const bool ok =
        buildDatabase(QDir(dbDir).filePath(DatabaseFileName(DbKind::Language)),
                      QStringLiteral("schema/language.sql"),
                      {{QStringLiteral("tbl_LANGUAGE"), QStringLiteral("language.tsv")}}, error)
        && buildDatabase(QDir(dbDir).filePath(DatabaseFileName(DbKind::Main)),
                         QStringLiteral("schema/main.sql"), mainRows, error)
        && buildDatabase(usersPath, QStringLiteral("schema/users.sql"), {}, error);
    if (!ok)
        return false;
    // Password hashes are nobody else's business.
    QFile::setPermissions(usersPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    for (DbKind k : {DbKind::Language, DbKind::Main, DbKind::Users})
        RecordCleanClose(QDir(dbDir).filePath(DatabaseFileName(k)));
    return !options.encodeRecords || encodeRecords(root, error);
}

bool moveInto(const QString &from, const QString &to, QString *error)
{
    if (QDir().rename(from, to))
        return true;
    *error = QStringLiteral("Cannot move \"%1\" to \"%2\"")
                 .arg(QDir::toNativeSeparators(from), QDir::toNativeSeparators(to));
    return false;
}

// The built root's parts into an existing folder, keeping what it holds.
// The databases come last: until they are there, the folder is no root.
bool install(const QString &built, const QString &target, QString *error)
{
    QDir from(built), to(target);
    for (const char *entry : {"Korvo2005.INI", "Desc", "Bin"}) {
        const QString name = QLatin1String(entry);
        if (!to.exists(name)) {
            if (!moveInto(from.filePath(name), to.filePath(name), error))
                return false;
        } else if (name == QLatin1String("Desc")) {
            for (const QString &f : QDir(from.filePath(name)).entryList(QDir::Files)) {
                const QString dsc = name + QLatin1Char('/') + f;
                if (!to.exists(dsc) && !moveInto(from.filePath(dsc), to.filePath(dsc), error))
                    return false;
            }
        }
    }
    // The databases arrive together in one rename of their folder. What a
    // Database folder there holds already goes into the new one first; side
    // files of our database names ("-wal", "-shm", ...) are left-overs of
    // other files and would be replayed into the new ones: they go.
    const QString db = QStringLiteral("Database");
    const QDir old(to.filePath(db));
    if (old.exists()) {
        for (const QString &f : old.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
            bool sideFile = false;
            for (DbKind k : {DbKind::Language, DbKind::Main, DbKind::Users})
                sideFile = sideFile || f.startsWith(DatabaseFileName(k) + QLatin1Char('-'));
            const QString path = old.filePath(f);
            if (!sideFile) {
                if (!moveInto(path, from.filePath(db + QLatin1Char('/') + f), error))
                    return false;
            } else if (!QFile::remove(path)) {
                *error = QStringLiteral("Cannot remove \"%1\"").arg(QDir::toNativeSeparators(path));
                return false;
            }
        }
        if (!to.rmdir(db)) {
            *error = QStringLiteral("Cannot replace the folder \"%1\"").arg(QDir::toNativeSeparators(old.path()));
            return false;
        }
    }
    return moveInto(from.filePath(db), to.filePath(db), error);
}

} // namespace

bool CreateDataRoot(const QString &dataRoot, const DataRootOptions &options, QString *error)
{
    const QFileInfo ti(QDir::cleanPath(QFileInfo(dataRoot).absoluteFilePath()));
    const QString target = ti.absoluteFilePath();
    if (InspectDataRoot(target) != DataRootContent::None) {
        *error = QStringLiteral("\"%1\" holds databases already; a data root is never overwritten")
                     .arg(QDir::toNativeSeparators(QDir(target).filePath(QStringLiteral("Database"))));
        return false;
    }
    if (ti.exists() && !ti.isDir()) {
        *error = QStringLiteral("\"%1\" is a file, not a folder").arg(QDir::toNativeSeparators(target));
        return false;
    }
    const bool exists = ti.exists();
    // Left-overs of builds that were killed go first.
    const QString prefix = exists ? QStringLiteral(".building-")
                                  : QStringLiteral(".") + ti.fileName() + QStringLiteral(".building-");
    const QDir place(exists ? target : ti.absolutePath());
    for (const QString &old : place.entryList({prefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden))
        QDir(place.filePath(old)).removeRecursively();
    const QString built = place.filePath(prefix + QUuid::createUuid().toString(QUuid::Id128));
    bool ok = QDir().mkpath(built);
    if (!ok)
        *error = QStringLiteral("Cannot create the folder \"%1\"").arg(QDir::toNativeSeparators(built));
    ok = ok && build(built, exists ? target : QString(), options, error);
    if (ok)
        ok = exists ? install(built, target, error) : moveInto(built, target, error);
    QDir(built).removeRecursively();
    return ok;
}

} // namespace korvo
