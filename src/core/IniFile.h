#pragma once
// The sectioned key=value settings file. Reads behave like the classic
// private-profile calls: sections and keys match without regard to case,
// blanks around keys and values are dropped, an absent key reads as "", and a
// value comes back through a buffer of bufferSize characters (so at most
// bufferSize - 1 of them). Writes replace the value or add the key and keep
// every other line of the file as it was.

#include <QString>

namespace korvo {

QString ReadIniString(const QString &section, const QString &key, const QString &file,
                      int bufferSize = 255);

// Returns false when the file could not be written; the old file then stays.
bool WriteIniString(const QString &section, const QString &key, const QString &value,
                    const QString &file);

} // namespace korvo
