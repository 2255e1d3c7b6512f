// korvousers: the user-management program beside Korvo 2005. An
// administrator signs in, then manages users, passwords, administrator
// rights and prohibited functions.

#include "core/AppState.h"
#include "i18n/Language.h"
#include "i18n/UserAdmin.h"
#include "tools/ToolSession.h"
#include "ui/SignInDialog.h"
#include "ui/UserManagerWindow.h"
#include "ui/WidgetUserInterface.h"

#include <QApplication>

using namespace korvo;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    WidgetUserInterface ui;
    AppState state(&ui);
    SetToolPathsFromArguments(state, app);
    QString error;
    if (!OpenToolSession(state, false, &error)) {
        ui.message(error, AppState::appTitle(), MsgIcon::Critical, MsgButtons::Ok, MsgResult::Ok);
        return 1;
    }

    DialogSignInProvider signIn(state.dataPath, &ui);
    state.userName = signIn.show();
    if (state.userName.isEmpty())
        return 0;
    UserAdmin admin(state);
    const std::optional<UserInfo> user = admin.user(state.userName);
    if (!user || !user->administrator) {
        ui.message(GetLangString(state, QStringLiteral("frmUserManager"), QStringLiteral("msgAdministratorsOnly")),
                   AppState::appTitle(), MsgIcon::Exclamation, MsgButtons::Ok, MsgResult::Ok);
        return 1;
    }
    UserManagerWindow window(state);
    window.show();
    return QApplication::exec();
}
