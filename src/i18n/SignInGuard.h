#pragma once
// Failed sign-ins: each is logged with the name typed (never the password),
// and every failure in a row makes the next attempt wait longer, so names
// and passwords cannot be tried at the speed of a machine. The count lives
// as long as the program; a success clears it.

#include <QString>
#include <functional>

namespace korvo {

class SignInGuard {
public:
    // Wait in milliseconds after the given number of failures in a row.
    using DelayPolicy = std::function<qint64(int failures)>;
    // Milliseconds of a steadily running clock.
    using Clock = std::function<qint64()>;
    // Where the failure lines go.
    using LogSink = std::function<void(const QString &line)>;

    explicit SignInGuard(LogSink log = {}, DelayPolicy policy = DefaultDelay, Clock clock = {});

    // 0.5 s after the first failure, doubling with each further one, at
    // most 30 s.
    static qint64 DefaultDelay(int failures);

    // Milliseconds until the next attempt may be checked; 0: now.
    qint64 waitMs() const;
    int failures() const { return m_failures; }

    // Logs "Sign-in failed for 'name' (n in a row)" and starts the wait.
    void failed(const QString &name);
    void succeeded();

private:
    LogSink m_log;
    DelayPolicy m_policy;
    Clock m_clock;
    int m_failures = 0;
    qint64 m_until = 0;
};

} // namespace korvo
