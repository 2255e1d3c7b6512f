#pragma once
// Builds a data root from the installation data compiled into the program:
// the program folder, the settings file, the three databases with schema and
// rows, and the descriptor files.

#include <QString>

namespace korvo {

struct DataRootOptions {
    bool demoRows = true;       // the demo shop besides the reference rows
    bool encodeRecords = false; // every PLU gets its scale record before the root is used
};

// Refuses (false, *error set) when any of the three databases exists.
// The root is built beside the target (inside it when the folder exists
// already) and moved into place at the end, its databases last: a build that
// dies half way leaves no database in the target, so nothing opens a half
// root and the next build is not refused. A settings file or descriptor file
// the target holds already is kept and used.
bool CreateDataRoot(const QString &dataRoot, const DataRootOptions &options, QString *error);

// Runs the installation schema "language", "main" or "users" on an open
// connection.
bool CreateSchema(const QString &connectionName, const QString &schema, QString *error);

// What a folder holds of a data root's three databases.
enum class DataRootContent { None, Partial, Complete };
// *missing: the file names of the databases that are not there.
DataRootContent InspectDataRoot(const QString &dataRoot, QStringList *missing = nullptr);

// Loads one tab-separated rows file into a table of an open database.
// Header = column names; escapes \t \n \r \\; an empty cell is NULL.
bool LoadRowsFile(const QString &connectionName, const QString &table, const QString &tsvPath,
                  QString *error);

} // namespace korvo
