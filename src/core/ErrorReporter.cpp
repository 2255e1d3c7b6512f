#include "core/ErrorReporter.h"

#include "core/AppState.h"
#include "core/Log.h"
#include "core/UserInterface.h"

namespace korvo {

QString ShortenForReport(const QString &text, qsizetype max)
{
    if (text.size() <= max)
        return text;
    return text.left(max) + QStringLiteral("... (%1 characters)").arg(text.size());
}

void ReportError(AppState &state, const QString &fullDescription)
{
    const QString source =
        ShortenForReport(state.errorSource.isEmpty() ? kDefaultErrorSource : state.errorSource);
    const QString description = ShortenForReport(fullDescription);
    WriteLog(state, source + QStringLiteral(":    ") + description);
    state.reportedErrors.append({source, description});
    if (state.collectDepth == 0 && state.ui)
        state.ui->message(description, source, MsgIcon::Critical);
    state.errorSource = kDefaultErrorSource;
}

ErrorCollector::ErrorCollector(AppState &state)
    : m_state(state), m_start(int(state.reportedErrors.size()))
{
    ++m_state.collectDepth;
}

ErrorCollector::~ErrorCollector() { --m_state.collectDepth; }

int ErrorCollector::count() const { return int(m_state.reportedErrors.size()) - m_start; }

QString ErrorCollector::firstSource() const
{
    return count() > 0 ? m_state.reportedErrors.at(m_start).source : QString();
}

QString ErrorCollector::firstDescription() const
{
    return count() > 0 ? m_state.reportedErrors.at(m_start).description : QString();
}

} // namespace korvo
