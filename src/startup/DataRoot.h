#pragma once
// Builds a data root from the installation data compiled into the program:
// the program folder, the settings file, the three databases with schema and
// rows, and the descriptor files.

#include <QString>

namespace korvo {

struct DataRootOptions {
    bool demoRows = true; // the demo shop besides the reference rows
};

// Refuses (false, *error set) when any of the three databases exists.
bool CreateDataRoot(const QString &dataRoot, const DataRootOptions &options, QString *error);

// Runs the installation schema "language", "main" or "users" on an open
// connection.
bool CreateSchema(const QString &connectionName, const QString &schema, QString *error);

// Loads one tab-separated rows file into a table of an open database.
// Header = column names; escapes \t \n \r \\; an empty cell is NULL.
bool LoadRowsFile(const QString &connectionName, const QString &table, const QString &tsvPath,
                  QString *error);

} // namespace korvo
