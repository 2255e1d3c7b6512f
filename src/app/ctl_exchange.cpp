#include "app/CtlCommands.h"

#include "core/AppState.h"
#include "core/UserInterface.h"
#include "encoding/Hierarchy.h"
#include "exchange/PluExchange.h"

#include <QDir>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace korvo {

namespace {

// The console's answers plus a progress line that a terminal rewrites in
// place; into a pipe or a file only the captions go.
class CtlConsole : public ConsoleUserInterface {
public:
    void progressBegin(const QString &caption, int maximum) override
    {
        progressEnd();
        m_max = maximum;
        m_percent = -1;
        m_caption = caption.section(u'\n', 0, 0);
        m_open = true;
        if (!m_tty)
            std::fprintf(stderr, "%s\n", qPrintable(m_caption));
    }
    void progressStep(int value, const QString &) override
    {
        if (!m_tty || !m_open || m_max <= 0)
            return;
        const int percent = int(qint64(qMin(value, m_max)) * 100 / m_max);
        if (percent == m_percent)
            return;
        m_percent = percent;
        std::fprintf(stderr, "\r%s %d%%", qPrintable(m_caption), percent);
        std::fflush(stderr);
    }
    void progressEnd() override
    {
        if (m_open && m_tty && m_percent >= 0)
            std::fprintf(stderr, "\n");
        m_open = false;
    }
    void progressFinish(const QString &text) override
    {
        progressEnd();
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }

private:
    const bool m_tty = isatty(fileno(stderr)) != 0;
    bool m_open = false;
    int m_max = 0;
    int m_percent = -1;
    QString m_caption;
};

// The state's interface is the console for the length of a command.
class UseConsole {
public:
    explicit UseConsole(AppState &state) : m_state(state), m_before(state.ui) { state.ui = &m_console; }
    ~UseConsole() { m_state.ui = m_before; }

private:
    AppState &m_state;
    UserInterface *m_before;
    CtlConsole m_console;
};

} // namespace

int CtlImport(AppState &state, const QStringList &args)
{
    QTextStream err(stderr);
    auto usage = [&](const QString &why) {
        err << "korvoctl import: " << why << Qt::endl
            << "usage: korvoctl [--data-root DIR] import FILE [--mode 0|1|2]" << Qt::endl;
        return 2;
    };
    QString file;
    int mode = state.settings.SetImportType;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--mode")) {
            if (i + 1 >= args.size())
                return usage(QStringLiteral("--mode needs 0, 1 or 2"));
            const QString m = args.at(++i);
            if (m != QLatin1String("0") && m != QLatin1String("1") && m != QLatin1String("2"))
                return usage(QStringLiteral("--mode is 0 (replace), 1 (add) or 2 (merge), not \"%1\"").arg(m));
            mode = m.toInt();
        } else if (file.isEmpty() && !args.at(i).startsWith(QLatin1String("--"))) {
            file = args.at(i);
        } else {
            return usage(QStringLiteral("unexpected \"%1\"").arg(args.at(i)));
        }
    }
    if (file.isEmpty())
        return usage(QStringLiteral("no file given"));

    UseConsole console(state);
    // The main window loads these; without one, the command does.
    LoadMGSettings(state);
    LoadScaleBarcodeList(state);
    const qsizetype before = state.reportedErrors.size();
    const ImportResult r = ImportPLUFromCSV(state, QDir(file).absolutePath(), mode);
    if (!r.ok)
        return 1; // the reason went to stderr with the report
    err << "korvoctl import: " << r.lines << " lines (mode " << mode << "): " << r.inserted << " new, "
        << r.updated << " updated, " << r.skipped << " skipped; " << r.departmentsCreated
        << " departments and " << r.mainGroupsCreated << " main groups created; "
        << r.encoding.encoded << " of " << r.encoding.selected << " PLUs encoded" << Qt::endl;
    // The PLUs are in; a PLU without a scale record still fails the command.
    return state.reportedErrors.size() > before ? 1 : 0;
}

int CtlExport(AppState &state, const QStringList &args)
{
    QTextStream err(stderr);
    auto usage = [&](const QString &why) {
        err << "korvoctl export: " << why << Qt::endl
            << "usage: korvoctl [--data-root DIR] export --scale IP [FILE]" << Qt::endl;
        return 2;
    };
    QString scale, file;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--scale")) {
            if (i + 1 >= args.size() || !scale.isEmpty())
                return usage(QStringLiteral("--scale needs one address"));
            scale = args.at(++i).trimmed();
        } else if (file.isEmpty() && !args.at(i).startsWith(QLatin1String("--"))) {
            file = args.at(i);
        } else {
            return usage(QStringLiteral("unexpected \"%1\"").arg(args.at(i)));
        }
    }
    if (scale.isEmpty())
        return usage(QStringLiteral("--scale is missing"));
    if (file.isEmpty())
        file = ProposedExportName(scale, state.now());

    UseConsole console(state);
    const QString path = QDir(file).absolutePath();
    const ExportResult r = ExportReceivedPLUs(state, scale, path);
    if (!r.ok) {
        if (r.error.isEmpty())
            err << "korvoctl export: no PLUs have been received from " << scale << "; no file written" << Qt::endl;
        return 1;
    }
    err << "korvoctl export: " << r.rows << " PLUs of " << scale << " written to "
        << QDir::toNativeSeparators(path) << Qt::endl;
    return 0;
}

} // namespace korvo
