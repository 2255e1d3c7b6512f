#pragma once
// Backup and restore of a data root: the settings file, the three databases
// and the descriptor files. Databases are copied through SQLite's online
// backup, so a copy taken while the program writes is one consistent state
// of the database. A restore replaces files only while no copy of the
// program holds its lock on that data root, and holds the lock itself while
// it works so that none can start half-way.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

namespace korvo {

class AppState;
class UserInterface;

// The files of a data root a backup holds, relative to the root, in copy
// order: "Korvo2005.INI", "Database/<file>" of each database, "Desc/*.dsc".
// Only those that exist.
QStringList DataRootFiles(const QString &dataRoot);

// Copies one database through the online backup API into target (created;
// an existing file is overwritten). A busy writer on the source is waited
// for, never copied half-way.
bool BackupDatabaseFile(const QString &source, const QString &target, QString *error);

struct BackupOutcome {
    QString folder; // the dated folder made
    QString error;  // empty on success
};

// Into destination/"Korvo2005_yyyy-MM-dd_HHmmss" (a suffix when that exists).
// The folder appears under its name only when complete. Users.db gets mode
// 0600. progress may be null.
BackupOutcome BackupDataRoot(const AppState &state, const QString &destination,
                             UserInterface *progress = nullptr);

struct RestoreEntry {
    QString relativePath;
    qint64 backupSize = 0;
    QDateTime backupModified;
    bool replaces = false; // a current file of that name exists
    qint64 currentSize = 0;
    QDateTime currentModified;
};

struct RestorePlan {
    QString backupFolder;
    QVector<RestoreEntry> entries;
    QString error; // the folder is no usable backup
};

// What a restore from backupFolder would write. The folder must hold the
// settings file and the three databases, each passing SQLite's quick check.
RestorePlan PlanRestore(const AppState &state, const QString &backupFolder);

// One line per entry: what is replaced (or added), with sizes and times.
QStringList DescribeRestore(const RestorePlan &plan);

// True while a copy of the program holds its lock on the state's data root.
bool DataRootInUse(const AppState &state);

enum class RestoreResult { Restored, ProgramRunning, Failed };

// Replaces the files of the plan. The files it replaces are first copied
// into programFolder/Backup/BeforeRestore/<date and time> (*safetyFolder).
RestoreResult RestoreDataRoot(const AppState &state, const RestorePlan &plan,
                              QString *safetyFolder, QString *error);

} // namespace korvo
