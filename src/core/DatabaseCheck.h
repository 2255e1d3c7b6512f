#pragma once
// Damage checks of the database files. Opening runs SQLite's quick check
// only when a file changed since its last clean close, so a normal start
// reads no more than the pages it needs; korvoctl's check runs the full
// integrity check on demand.
//
// The clean close is kept beside the file as "<file>-closed" holding the
// size and modification time the file had when its last connection closed
// (SQLite names its own side files the same way: "-wal", "-shm"). A marker
// outside the file costs no write to the database and notices every change
// made by anything else: another program, a copied-in file, a crash.

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace korvo {

// True when the file is as its last recorded clean close left it: the same
// size and modification time, and no write-ahead log with frames in it.
bool ClosedCleanly(const QString &dbPath);

// Records the file's state after a connection closed. Does nothing while a
// write-ahead log remains: another connection still has the file open and
// records it when it closes.
void RecordCleanClose(const QString &dbPath);

// "PRAGMA quick_check" (full: "PRAGMA integrity_check") on an open database:
// the problems found, empty when the database is sound. A check that cannot
// run is a problem too.
QStringList CheckDatabase(const QSqlDatabase &db, bool full);

// The full check of one file on a connection of its own; the file must
// exist. A sound file gets its clean close recorded.
QStringList CheckDatabaseFile(const QString &dbPath);

} // namespace korvo
