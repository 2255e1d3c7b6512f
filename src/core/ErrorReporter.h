#pragma once
// The common error path: log line "source:    description", a message box
// with the description titled with the source, then the source goes back to
// the default. Routines set state.errorSource to their own name first.

#include <QString>

namespace korvo {

class AppState;

inline const QString kDefaultErrorSource = QStringLiteral("Korvo 2005");

// Source and description longer than kReportTextMax characters are cut
// (see ShortenForReport): a value of any length can end up in a report.
void ReportError(AppState &state, const QString &description);

inline constexpr qsizetype kReportTextMax = 1000;
// The text itself when it has at most max characters; else its head and
// "... (N characters)".
QString ShortenForReport(const QString &text, qsizetype max = kReportTextMax);

// Collects reports instead of showing one box each, for runs over many
// records; the log still gets every line. Nests.
class ErrorCollector {
public:
    explicit ErrorCollector(AppState &state);
    ~ErrorCollector();
    ErrorCollector(const ErrorCollector &) = delete;
    ErrorCollector &operator=(const ErrorCollector &) = delete;
    int count() const;
    QString firstSource() const;
    QString firstDescription() const;

private:
    AppState &m_state;
    int m_start;
};

} // namespace korvo
