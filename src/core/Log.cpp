#include "core/Log.h"

#include "core/AppState.h"

#include <QFile>
#include <QStringEncoder>

namespace korvo {

QString LogFilePath(const AppState &state, const QDate &day)
{
    return state.appPath + QStringLiteral("log/Korvo2005_") + day.toString(QStringLiteral("yyyy-MM-dd"))
        + QStringLiteral(".log");
}

void WriteLog(const AppState &state, const QString &text)
{
    if (state.appPath.isEmpty())
        return;
    const QDateTime now = state.now();
    // The folder is made by the start-up; a missing one means no log.
    QFile f(LogFilePath(state, now.date()));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QByteArray bytes;
    if (f.size() == 0)
        bytes.append("\xFF\xFE", 2); // UTF-16 LE byte order mark of a new file
    const QString line = QLatin1Char('[') + now.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
        + QStringLiteral("]  ") + text + QStringLiteral("\r\n");
    QStringEncoder enc(QStringEncoder::Utf16LE);
    bytes += enc(line);
    f.write(bytes);
    f.close();
}

} // namespace korvo
