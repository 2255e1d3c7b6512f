#pragma once

#include <QDate>
#include <QString>

namespace korvo {

class AppState;

// programFolder/log/Korvo2005_yyyy-mm-dd.log
QString LogFilePath(const AppState &state, const QDate &day);

// Appends "[yyyy-mm-dd hh:mm:ss]  text" + CR LF to the day's log, UTF-16 LE.
// Never reports its own failures.
void WriteLog(const AppState &state, const QString &text);

} // namespace korvo
