#pragma once

#include <QByteArray>
#include <QString>

namespace korvo {

// Creates a folder with all missing parents; true when it exists afterwards.
bool MakeDir(const QString &path);
// Deletes a folder and everything in it; an empty path does nothing.
// Symbolic links met inside are removed, never followed.
bool DelDirectory(const QString &path);
// Copies every plain file of source matching pattern (wildcards, case
// ignored) into target, overwriting. False when any copy failed; the others
// are still made.
bool CopyFiles(const QString &source, const QString &pattern, const QString &target);

// Copies one file over another atomically: the target is either the old or
// the complete new file, never a half-written one.
bool CopyFileOver(const QString &source, const QString &target);

// The Unicode encoding a text file announces by its first bytes: "UTF-8
// with a byte-order mark", "UTF-16 little-endian" or "UTF-16 big-endian"
// (with or without a mark: UTF-16 puts a zero byte beside every ASCII
// character); "" for text without either.
QString UnicodeEncodingOf(const QByteArray &head);

// Joins folder and name with exactly one separator.
QString JoinPath(const QString &folder, const QString &name);

} // namespace korvo
