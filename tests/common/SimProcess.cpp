#include "common/SimProcess.h"

#include "core/IniFile.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <unistd.h>

namespace korvo::test {

SimProcess::~SimProcess() { stop(); }

QString SimProcess::binary()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../scalesim/scalesim");
}

bool SimProcess::start(const QStringList &args, QString *error)
{
    QStringList all = args;
    if (!all.contains(QStringLiteral("--port")))
        all << QStringLiteral("--port") << QStringLiteral("0");
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(binary(), all);
    const QDeadlineTimer deadline(20000);
    static const QRegularExpression ready(QStringLiteral("ready, \\d+ scales on port (\\d+)"));
    while (!deadline.hasExpired()) {
        if (!m_process.waitForReadyRead(200) && m_process.state() == QProcess::NotRunning)
            break;
        m_output += QString::fromLocal8Bit(m_process.readAll());
        const QRegularExpressionMatch m = ready.match(m_output);
        if (m.hasMatch()) {
            m_port = quint16(m.captured(1).toUInt());
            return true;
        }
    }
    if (error)
        *error = QStringLiteral("scalesim did not start: ") + m_output + m_process.errorString();
    return false;
}

QString SimProcess::output()
{
    m_output += QString::fromLocal8Bit(m_process.readAll());
    return m_output;
}

double SimProcess::cpuSeconds() const
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(m_process.processId()));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    // Fields 14 and 15 (user and system ticks) follow the name in brackets.
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

void SimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

bool UseScalePort(const QString &iniPath, quint16 port, int replyTimeoutMs, int retries)
{
    return WriteIniString(QStringLiteral("ZentTCP"), QStringLiteral("Port"), QString::number(port), iniPath)
        && WriteIniString(QStringLiteral("ZentTCP"), QStringLiteral("ReplyTimeoutMs"), QString::number(replyTimeoutMs), iniPath)
        && WriteIniString(QStringLiteral("ZentTCP"), QStringLiteral("ConnectTimeoutMs"), QStringLiteral("1000"), iniPath)
        && WriteIniString(QStringLiteral("ZentTCP"), QStringLiteral("Retries"), QString::number(retries), iniPath);
}

} // namespace korvo::test
