#pragma once
// What the benchmarks share: a user interface whose messages go to stderr
// and take their default answer, so a run never waits for a person, and
// the process's processor time beside the wall clock.

#include "core/UserInterface.h"

#include <cstdio>
#include <ctime>

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

// Processor time of this process in seconds: on a machine shared with other
// work it shows what the work costs, the wall clock what a user waits.
inline double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace korvo
