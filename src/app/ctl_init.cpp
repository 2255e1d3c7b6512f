#include "app/CtlCommands.h"

#include "core/AppState.h"
#include "core/UserInterface.h"
#include "encoding/Hierarchy.h"
#include "encoding/RecordBuilder.h"
#include "startup/DataRoot.h"
#include "startup/Startup.h"

#include <QDir>
#include <cstdio>

namespace korvo {

int CtlInit(const QString &dataRoot, const QStringList &)
{
    const QString root = QDir(dataRoot).absolutePath();
    QString error;
    if (!CreateDataRoot(root, DataRootOptions{}, &error)) {
        std::fprintf(stderr, "korvoctl init: %s\n", qPrintable(error));
        return 1;
    }
    // The demo PLUs get their scale records at once, so they can be sent.
    ConsoleUserInterface ui;
    AppState state(&ui);
    state.setPaths(QString(), root);
    state.userName = QStringLiteral("korvoctl");
    if (!LoadSettings(state))
        return 1;
    const int before = state.reportedErrors.size();
    LoadMGSettings(state); // the main window's load does this in the program
    LoadScaleBarcodeList(state);
    qint32 last = 0;
    CreatePLUData(state, QStringLiteral("ALL"), last);
    if (state.reportedErrors.size() != before) {
        std::fprintf(stderr, "korvoctl init: the data root was built, but encoding reported errors\n");
        return 1;
    }
    std::printf("Data root ready: %s\n", qPrintable(QDir::toNativeSeparators(root)));
    return 0;
}

} // namespace korvo
