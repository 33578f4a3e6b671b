// What the register simulator's journal tells of the link itself: whether
// the driver ever connected, and whether it closed the link at the end.
#pragma once

#include <unistd.h>

#include "register_session.h"

namespace testutil {

inline bool LinkEverOpened(const RegisterSession& s)
{
    for (const auto& line : regsim::ReadJournal(s.journal))
        if (line.value("event", "") == "connect") return true;
    return false;
}

// The simulator notes a closed link a moment after the driver closed it:
// waits up to two seconds for the journal's last line to say so.
inline bool LinkClosedAtTheEnd(const RegisterSession& s)
{
    for (int i = 0; i < 200; ++i) {
        const auto journal = regsim::ReadJournal(s.journal);
        if (!journal.empty() && journal.back().value("event", "") == "disconnect") return true;
        usleep(10000);
    }
    return false;
}

}  // namespace testutil
