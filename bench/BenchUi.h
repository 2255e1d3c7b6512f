#pragma once
// The benchmarks' user interface: messages go to stderr and take their
// default answer, so a run never waits for a person.

#include "core/UserInterface.h"

#include <cstdio>

namespace korvo {

class SilentUi : public UserInterface {
public:
    MsgResult message(const QString &text, const QString &title, MsgIcon, MsgButtons,
                      MsgResult defaultButton) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
        return defaultButton;
    }
};

} // namespace korvo
