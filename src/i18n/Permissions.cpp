#include "i18n/Permissions.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "i18n/Language.h"

#include <QSqlQuery>

namespace korvo {

bool GetSecurityPermission(AppState &state, const QString &owner, const QString &key)
{
    // The function's ID is the ID of its text row; the cache holds every
    // row of this program, so it answers as the lookup query would.
    if (!state.language.loaded)
        LoadLanguageTexts(state);
    const auto it = state.language.ids.constFind((owner + QLatin1Char('.') + key).toUpper());
    if (it == state.language.ids.constEnd())
        return true; // no language row: nothing can prohibit it

    const QString sql = QStringLiteral("select * from UserProhibitFun where UserName='")
                        + SqlEscape(state.userName) + QStringLiteral("' and ProhibitFunID=")
                        + QString::number(*it);
    auto q = QueryDb(state, DbKind::Users, sql,
                     QStringLiteral("GetSecurityPermission (") + owner + QStringLiteral(", ") + key
                         + QLatin1Char(')'));
    if (!q)
        return true; // reported; an unreadable database does not lock the user out
    return !q->next();
}

bool CheckAdministrator(AppState &state)
{
    const QString sql = QStringLiteral("select * from Users where UserName='")
                        + SqlEscape(state.userName) + QStringLiteral("' and type='ADMINISTRATOR'");
    auto q = QueryDb(state, DbKind::Users, sql, QStringLiteral("CheckAdministrator"));
    state.isAdministrator = q && q->next();
    return state.isAdministrator;
}

} // namespace korvo
