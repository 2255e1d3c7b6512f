// korvobackup: the data backup program beside Korvo 2005.

#include "core/AppState.h"
#include "core/Database.h"
#include "tools/ToolSession.h"
#include "ui/BackupWindow.h"
#include "ui/WidgetUserInterface.h"

#include <QApplication>

using namespace korvo;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    WidgetUserInterface ui;
    AppState state(&ui);
    SetToolPathsFromArguments(state, app);
    // Damaged databases are what a restore is for: the window opens anyway,
    // speaking with the installation's texts when language.db is unusable.
    QString error;
    OpenToolSession(state, true, &error);

    BackupWindow window(state);
    // The texts are loaded; an open connection would only hold the files
    // a restore replaces.
    CloseDBConnections(state);
    window.show();
    if (!error.isEmpty())
        ui.message(error, AppState::appTitle(), MsgIcon::Exclamation, MsgButtons::Ok, MsgResult::Ok);
    return QApplication::exec();
}
