#pragma once
// A real scalesim process for the tests and benchmarks: started on
// loopback addresses with a free port, stopped when the object dies.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace korvo::test {

class SimProcess {
public:
    ~SimProcess(); // stops it

    static QString binary(); // beside the test programs' folder

    // Starts scalesim with args (--port is chosen when absent) and waits for
    // its "ready" line.
    bool start(const QStringList &args, QString *error = nullptr);
    quint16 port() const { return m_port; }
    // Processor seconds the simulator used so far (Linux; 0 elsewhere).
    double cpuSeconds() const;
    QString output(); // what it printed so far
    void stop();

private:
    QProcess m_process;
    QString m_output;
    quint16 m_port = 0;
};

// Points a data root's settings at a simulator port, with short timeouts so
// that failing scales fail quickly.
bool UseScalePort(const QString &iniPath, quint16 port, int replyTimeoutMs = 2000, int retries = 1);

} // namespace korvo::test
