#pragma once

#include <QString>

namespace korvo {

// Asks who is at the screen: the signed-in user name, or "" when the
// person cancelled (the program then ends).
class SignInProvider {
public:
    virtual ~SignInProvider() = default;
    virtual QString show() = 0;
};

} // namespace korvo
