#include "core/DatabaseCheck.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

namespace korvo {

namespace {

QString markerPath(const QString &dbPath) { return dbPath + QStringLiteral("-closed"); }

// "size mtime-in-ms" of the file; empty when it cannot be read.
QByteArray fileState(const QString &dbPath)
{
    const QFileInfo fi(dbPath);
    if (!fi.isFile())
        return {};
    return QByteArray::number(fi.size()) + ' '
        + QByteArray::number(fi.lastModified().toMSecsSinceEpoch());
}

bool walHasFrames(const QString &dbPath)
{
    const QFileInfo wal(dbPath + QStringLiteral("-wal"));
    return wal.exists() && wal.size() > 0;
}

} // namespace

bool ClosedCleanly(const QString &dbPath)
{
    if (walHasFrames(dbPath))
        return false;
    QFile marker(markerPath(dbPath));
    if (!marker.open(QIODevice::ReadOnly))
        return false;
    const QByteArray state = fileState(dbPath);
    return !state.isEmpty() && marker.readAll().trimmed() == state;
}

void RecordCleanClose(const QString &dbPath)
{
    if (QFileInfo::exists(dbPath + QStringLiteral("-wal")))
        return;
    const QByteArray state = fileState(dbPath);
    if (state.isEmpty())
        return;
    // A marker that cannot be written only costs a quick check next time.
    QSaveFile marker(markerPath(dbPath));
    if (marker.open(QIODevice::WriteOnly) && marker.write(state + '\n') == state.size() + 1)
        marker.commit();
}

QStringList CheckDatabase(const QSqlDatabase &db, bool full)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(full ? QStringLiteral("PRAGMA integrity_check") : QStringLiteral("PRAGMA quick_check")))
        return {q.lastError().text()};
    QStringList problems;
    while (q.next()) {
        const QString line = q.value(0).toString();
        if (line != QLatin1String("ok"))
            problems << line;
    }
    // A page too damaged to read fails the statement half way.
    if (q.lastError().isValid())
        problems << q.lastError().text();
    return problems;
}

QStringList CheckDatabaseFile(const QString &dbPath)
{
    const QFileInfo fi(dbPath);
    if (!fi.isFile())
        return {QStringLiteral("the file does not exist")};
    if (fi.size() == 0)
        return {QStringLiteral("the file is empty")};
    const QString conn = QStringLiteral("korvo-check-") + QUuid::createUuid().toString(QUuid::Id128);
    QStringList problems;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        db.setDatabaseName(fi.absoluteFilePath());
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open())
            problems << db.lastError().text();
        else
            problems = CheckDatabase(db, true);
        db.close();
    }
    QSqlDatabase::removeDatabase(conn);
    if (problems.isEmpty())
        RecordCleanClose(fi.absoluteFilePath());
    return problems;
}

} // namespace korvo
