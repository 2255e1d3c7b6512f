#pragma once

#include <QString>

namespace korvo {

// Creates a folder with all missing parents; true when it exists afterwards.
bool MakeDir(const QString &path);
// Deletes a folder and everything in it; an empty path does nothing.
bool DelDirectory(const QString &path);
// Copies every plain file of source matching pattern (wildcards, case
// ignored) into target, overwriting.
bool CopyFiles(const QString &source, const QString &pattern, const QString &target);

// Joins folder and name with exactly one separator.
QString JoinPath(const QString &folder, const QString &name);

} // namespace korvo
