#pragma once

#include <QString>

namespace korvo {

class AppState;

// True unless the signed-in user has a UserProhibitFun row for the ID of the
// language row owner.key. A key without a language row is always allowed.
bool GetSecurityPermission(AppState &state, const QString &owner, const QString &key);

// The administrator check of the start-up: sets and returns
// state.isAdministrator.
bool CheckAdministrator(AppState &state);

} // namespace korvo
