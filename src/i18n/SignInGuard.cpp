#include "i18n/SignInGuard.h"

#include <algorithm>
#include <chrono>

namespace korvo {

namespace {

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The name as typed, on one line and of a sane length: it is the typist's
// text, not ours.
QString loggable(const QString &name)
{
    constexpr qsizetype kMost = 64;
    QString s = name.left(kMost);
    for (QChar &c : s) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line
            || c.category() == QChar::Separator_Paragraph)
            c = QLatin1Char(' ');
    }
    return name.size() > kMost ? s + QStringLiteral("...") : s;
}

} // namespace

SignInGuard::SignInGuard(LogSink log, DelayPolicy policy, Clock clock)
    : m_log(std::move(log)), m_policy(policy ? std::move(policy) : DefaultDelay),
      m_clock(clock ? std::move(clock) : steadyMs)
{
}

qint64 SignInGuard::DefaultDelay(int failures)
{
    if (failures <= 0)
        return 0;
    constexpr qint64 kFirst = 500, kMost = 30000;
    return failures > 7 ? kMost : std::min(kMost, kFirst << (failures - 1));
}

qint64 SignInGuard::waitMs() const { return std::max<qint64>(0, m_until - m_clock()); }

void SignInGuard::failed(const QString &name)
{
    ++m_failures;
    if (m_log)
        m_log(QStringLiteral("Sign-in failed for '%1' (%2 in a row)").arg(loggable(name)).arg(m_failures));
    m_until = m_clock() + m_policy(m_failures);
}

void SignInGuard::succeeded()
{
    m_failures = 0;
    m_until = 0;
}

} // namespace korvo
