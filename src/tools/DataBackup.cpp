#include "tools/DataBackup.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/FileUtil.h"
#include "core/Log.h"
#include "core/UserInterface.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QLockFile>

#include <filesystem>
#include <sqlite3.h>

namespace korvo {

namespace {

const QString kSettingsFile = QStringLiteral("Korvo2005.INI");
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QStringList databaseFiles()
{
    QStringList files;
    for (DbKind kind : {DbKind::Main, DbKind::Language, DbKind::Users})
        files << QStringLiteral("Database/") + DatabaseFileName(kind);
    return files;
}

bool isUsersDb(const QString &relativePath)
{
    return relativePath.endsWith(QLatin1Char('/') + DatabaseFileName(DbKind::Users));
}

bool isDatabase(const QString &relativePath) { return databaseFiles().contains(relativePath); }

// Creates an empty file readable by its owner only, so that a database of
// password hashes is never readable by others, not even while it is written.
bool createPrivateFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.setPermissions(kOwnerOnly);
}

QString sqliteError(sqlite3 *db, const QString &path)
{
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path),
                                        QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory"));
}

// PRAGMA quick_check of a database file opened read-only; "" when it is ok.
QString quickCheck(const QString &path)
{
    sqlite3 *db = nullptr;
    QString problem;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr)
        != SQLITE_OK) {
        problem = sqliteError(db, path);
    } else {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &stmt, nullptr) != SQLITE_OK
            || sqlite3_step(stmt) != SQLITE_ROW)
            problem = sqliteError(db, path);
        else if (qstrcmp(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)), "ok") != 0)
            problem = QStringLiteral("%1 is damaged: %2")
                          .arg(QDir::toNativeSeparators(path),
                               QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0))));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return problem;
}

// A new folder name under parent: base, else base_2, base_3, ...
QString freeName(const QDir &parent, const QString &base)
{
    QString name = base;
    for (int n = 2; parent.exists(name) || parent.exists(name + QStringLiteral(".partial")); ++n)
        name = base + QLatin1Char('_') + QString::number(n);
    return name;
}

QString stamp(const AppState &state)
{
    return state.now().toString(QStringLiteral("yyyy-MM-dd_HHmmss"));
}

// Copies source over target through a temporary file beside the target, so
// the target is the old or the whole new file. A database's journal side
// files belong to the old file and would be replayed into the new one: they
// go just before the new file takes the name.
bool replaceFile(const QString &source, const QString &target, bool database, bool privateFile,
                 QString *error)
{
    const QString temp = target + QStringLiteral(".restoring");
    QFile::remove(temp);
    bool ok = privateFile ? createPrivateFile(temp) : true;
    if (ok) {
        QFile in(source);
        QFile out(temp);
        ok = in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly | QIODevice::Truncate);
        while (ok) {
            const QByteArray chunk = in.read(1 << 20);
            if (chunk.isEmpty()) {
                ok = in.error() == QFileDevice::NoError && out.flush();
                break;
            }
            ok = out.write(chunk) == chunk.size();
        }
    }
    if (ok && database) {
        for (const char *suffix : {"-wal", "-shm", "-journal"}) {
            const QString side = target + QLatin1String(suffix);
            if (QFile::exists(side) && !QFile::remove(side))
                ok = false;
        }
    }
    std::error_code ec;
    if (ok)
        std::filesystem::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData(), ec);
    if (!ok || ec) {
        QFile::remove(temp);
        *error = QStringLiteral("Cannot write %1").arg(QDir::toNativeSeparators(target));
        return false;
    }
    return true;
}

} // namespace

QStringList DataRootFiles(const QString &dataRoot)
{
    const QDir root(dataRoot);
    QStringList files;
    for (const QString &f : QStringList{kSettingsFile} + databaseFiles()) {
        if (QFileInfo(root.filePath(f)).isFile())
            files << f;
    }
    const QStringList desc = QDir(root.filePath(QStringLiteral("Desc")))
                                 .entryList({QStringLiteral("*.dsc")}, QDir::Files, QDir::Name);
    for (const QString &d : desc)
        files << QStringLiteral("Desc/") + d;
    return files;
}

bool BackupDatabaseFile(const QString &source, const QString &target, QString *error)
{
    if (!QFileInfo(source).isFile()) {
        *error = QStringLiteral("%1 does not exist").arg(QDir::toNativeSeparators(source));
        return false;
    }
    sqlite3 *from = nullptr;
    sqlite3 *to = nullptr;
    bool ok = false;
    // Read-write without create: a reader of a database in WAL mode needs
    // its shared-memory file, and a missing source must not be made empty.
    if (sqlite3_open_v2(QFile::encodeName(source).constData(), &from, SQLITE_OPEN_READWRITE, nullptr)
        != SQLITE_OK) {
        *error = sqliteError(from, source);
    } else if (sqlite3_open_v2(QFile::encodeName(target).constData(), &to,
                               SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
               != SQLITE_OK) {
        *error = sqliteError(to, target);
    } else {
        sqlite3_busy_timeout(from, 10000);
        sqlite3_busy_timeout(to, 10000);
        sqlite3_backup *backup = sqlite3_backup_init(to, "main", from, "main");
        if (!backup) {
            *error = sqliteError(to, target);
        } else {
            // All pages in one step: one read transaction, one state of the
            // source. Page by page, a write by another process would restart
            // the copy each time.
            int rc;
            int waits = 0;
            while ((rc = sqlite3_backup_step(backup, -1)) == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                if (++waits > 600)
                    break;
                sqlite3_sleep(50);
            }
            sqlite3_backup_finish(backup);
            ok = rc == SQLITE_DONE;
            if (!ok)
                *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(source),
                                                      QString::fromUtf8(sqlite3_errstr(rc)));
        }
    }
    sqlite3_close(from);
    sqlite3_close(to);
    return ok;
}

BackupOutcome BackupDataRoot(const AppState &state, const QString &destination, UserInterface *progress)
{
    BackupOutcome out;
    // What a restore needs, or the backup could not be put back.
    const QStringList files = DataRootFiles(state.dataPath);
    for (const QString &needed : QStringList{kSettingsFile} + databaseFiles()) {
        if (!files.contains(needed)) {
            out.error = QStringLiteral("%1 does not exist").arg(QDir::toNativeSeparators(state.dataPath + needed));
            return out;
        }
    }
    QDir parent(destination);
    if (!MakeDir(destination) || !parent.exists()) {
        out.error = QStringLiteral("Cannot create the folder %1").arg(QDir::toNativeSeparators(destination));
        return out;
    }
    parent.makeAbsolute();

    const QString name = freeName(parent, QStringLiteral("Korvo2005_") + stamp(state));
    const QString work = parent.filePath(name + QStringLiteral(".partial"));
    QDir().mkpath(work + QStringLiteral("/Database"));
    int step = 0;
    for (const QString &f : files) {
        if (progress) {
            progress->progressStep(step++, f);
            progress->processEvents();
        }
        const QString source = QDir(state.dataPath).filePath(f);
        const QString target = QDir(work).filePath(f);
        QDir().mkpath(QFileInfo(target).absolutePath());
        bool ok;
        QString why;
        if (isDatabase(f)) {
            ok = (!isUsersDb(f) || createPrivateFile(target)) && BackupDatabaseFile(source, target, &why);
        } else {
            ok = QFile::copy(source, target);
            why = QStringLiteral("Cannot copy %1").arg(QDir::toNativeSeparators(source));
        }
        if (!ok) {
            DelDirectory(work);
            out.error = why;
            return out;
        }
    }
    out.folder = parent.filePath(name);
    if (!QDir().rename(work, out.folder)) {
        DelDirectory(work);
        out.error = QStringLiteral("Cannot create the folder %1").arg(QDir::toNativeSeparators(out.folder));
        out.folder.clear();
        return out;
    }
    WriteLog(state, QStringLiteral("Data backup written to ") + QDir::toNativeSeparators(out.folder));
    return out;
}

RestorePlan PlanRestore(const AppState &state, const QString &backupFolder)
{
    RestorePlan plan;
    plan.backupFolder = QDir(backupFolder).absolutePath();
    const QStringList files = DataRootFiles(plan.backupFolder);
    for (const QString &needed : QStringList{kSettingsFile} + databaseFiles()) {
        if (!files.contains(needed)) {
            plan.error = QStringLiteral("%1 is no backup of a data root: %2 is missing")
                             .arg(QDir::toNativeSeparators(plan.backupFolder), needed);
            return plan;
        }
    }
    for (const QString &f : files) {
        if (isDatabase(f)) {
            plan.error = quickCheck(QDir(plan.backupFolder).filePath(f));
            if (!plan.error.isEmpty())
                return plan;
        }
        RestoreEntry e;
        e.relativePath = f;
        const QFileInfo b(QDir(plan.backupFolder).filePath(f));
        e.backupSize = b.size();
        e.backupModified = b.lastModified();
        const QFileInfo c(QDir(state.dataPath).filePath(f));
        e.replaces = c.isFile();
        if (e.replaces) {
            e.currentSize = c.size();
            e.currentModified = c.lastModified();
        }
        plan.entries << e;
    }
    return plan;
}

QStringList DescribeRestore(const RestorePlan &plan)
{
    const QLocale locale;
    auto when = [&](const QDateTime &t) { return locale.toString(t, QLocale::ShortFormat); };
    QStringList lines;
    for (const RestoreEntry &e : plan.entries) {
        QString line = e.relativePath + QStringLiteral(": ");
        if (e.replaces)
            line += QStringLiteral("%1, %2  <-  ").arg(locale.formattedDataSize(e.currentSize),
                                                       when(e.currentModified));
        else
            line += QStringLiteral("(new)  <-  ");
        line += QStringLiteral("%1, %2").arg(locale.formattedDataSize(e.backupSize), when(e.backupModified));
        lines << line;
    }
    return lines;
}

bool DataRootInUse(const AppState &state)
{
    QLockFile lock(state.lockFilePath());
    if (!lock.tryLock(0))
        return lock.error() == QLockFile::LockFailedError;
    lock.unlock();
    return false;
}

RestoreResult RestoreDataRoot(const AppState &state, const RestorePlan &plan, QString *safetyFolder,
                              QString *error)
{
    if (!plan.error.isEmpty() || plan.entries.isEmpty()) {
        *error = plan.error.isEmpty() ? QStringLiteral("Nothing to restore") : plan.error;
        return RestoreResult::Failed;
    }
    QLockFile lock(state.lockFilePath());
    if (!lock.tryLock(0)) {
        if (lock.error() == QLockFile::LockFailedError)
            return RestoreResult::ProgramRunning;
        *error = QStringLiteral("Cannot lock the data root %1").arg(QDir::toNativeSeparators(state.dataPath));
        return RestoreResult::Failed;
    }

    // What is replaced is kept: a file copy is right here, since no copy of
    // the program runs and a damaged database must be kept as it is.
    const QString safety = QDir(state.appPath).filePath(QStringLiteral("Backup/BeforeRestore/") + stamp(state));
    bool copied = false;
    for (const RestoreEntry &e : plan.entries) {
        if (!e.replaces)
            continue;
        const QString current = QDir(state.dataPath).filePath(e.relativePath);
        QStringList parts{QString()};
        if (isDatabase(e.relativePath))
            parts << QStringLiteral("-wal");
        for (const QString &suffix : parts) {
            if (!QFile::exists(current + suffix))
                continue;
            const QString target = QDir(safety).filePath(e.relativePath + suffix);
            const bool ok = MakeDir(QFileInfo(target).absolutePath())
                            && (!isUsersDb(e.relativePath) || createPrivateFile(target))
                            && CopyFileOver(current + suffix, target);
            if (!ok) {
                *error = QStringLiteral("Cannot keep a copy of %1 in %2")
                             .arg(QDir::toNativeSeparators(current), QDir::toNativeSeparators(safety));
                return RestoreResult::Failed;
            }
            copied = true;
        }
    }
    if (safetyFolder)
        *safetyFolder = copied ? safety : QString();

    // Every file or none: on a failure the files already written go back.
    QVector<const RestoreEntry *> written;
    for (const RestoreEntry &e : plan.entries) {
        const QString target = QDir(state.dataPath).filePath(e.relativePath);
        MakeDir(QFileInfo(target).absolutePath());
        const bool db = isDatabase(e.relativePath);
        const bool priv = isUsersDb(e.relativePath);
        if (replaceFile(QDir(plan.backupFolder).filePath(e.relativePath), target, db, priv, error)) {
            written << &e;
            continue;
        }
        for (const RestoreEntry *w : written) {
            const QString back = QDir(state.dataPath).filePath(w->relativePath);
            const QString kept = QDir(safety).filePath(w->relativePath);
            QString ignored;
            if (!w->replaces)
                QFile::remove(back);
            else if (replaceFile(kept, back, isDatabase(w->relativePath), isUsersDb(w->relativePath), &ignored)
                     && QFile::exists(kept + QStringLiteral("-wal")))
                CopyFileOver(kept + QStringLiteral("-wal"), back + QStringLiteral("-wal"));
        }
        return RestoreResult::Failed;
    }
    WriteLog(state, QStringLiteral("Data restored from ") + QDir::toNativeSeparators(plan.backupFolder));
    return RestoreResult::Restored;
}

} // namespace korvo
