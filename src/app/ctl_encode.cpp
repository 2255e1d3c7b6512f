#include "app/CtlCommands.h"

#include "core/AppState.h"
#include "core/ErrorReporter.h"
#include "core/PluFields.h"
#include "core/UserInterface.h"
#include "core/Values.h"
#include "encoding/Hierarchy.h"
#include "encoding/RecordBuilder.h"

#include <QTextStream>

namespace korvo {

int CtlEncode(AppState &state, const QStringList &args)
{
    QTextStream err(stderr);
    bool all = false;
    std::optional<qint32> plu;
    if (args.size() == 1 && args.at(0) == QLatin1String("--all"))
        all = true;
    else if (args.size() == 2 && args.at(0) == QLatin1String("--plu"))
        plu = ParsePluNo(args.at(1));
    if (!all && !plu) {
        if (args.size() == 2 && args.at(0) == QLatin1String("--plu"))
            err << "korvoctl encode: \"" << ShortenForReport(args.at(1), 40) << "\" is no PLU number ("
                << kPluNoMin << " to " << kPluNoMax << ")" << Qt::endl;
        err << "usage: korvoctl [--data-root DIR] encode --all | --plu N" << Qt::endl;
        return 2;
    }

    const qsizetype before = state.reportedErrors.size();
    // The main window loads these; without one, the command does.
    LoadMGSettings(state);
    LoadScaleBarcodeList(state);

    // The reports and the run's one summary are printed here, each once.
    UserInterface *const ui = state.ui;
    state.ui = nullptr;
    qint32 pluNo = plu.value_or(0);
    const EncodeRunResult r =
        CreatePLUData(state, all ? QStringLiteral("ALL") : QStringLiteral("SINGLE"), pluNo);
    state.ui = ui;

    // A run that stopped names its first report in the summary.
    for (qsizetype i = before + (r.completed ? 0 : 1); i < state.reportedErrors.size(); ++i) {
        const ReportedError &e = state.reportedErrors.at(i);
        err << e.source << ": " << e.description << Qt::endl;
    }
    if (!all && r.completed && r.selected == 0 && state.reportedErrors.size() == before) {
        err << "korvoctl encode: PLU " << *plu << " does not exist" << Qt::endl;
        return 1;
    }
    err << "korvoctl encode: " << r.summary << Qt::endl;
    return state.reportedErrors.size() > before || !r.completed ? 1 : 0;
}

} // namespace korvo
