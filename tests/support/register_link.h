// What the register simulator's journal tells of the link itself: whether
// the driver connected, and when it closed the link. The simulator notes a
// closed link a moment after the driver closed it, so those are awaited.
#pragma once

#include <string>
#include <vector>

#include "register_session.h"

namespace testutil {

inline bool LinkEverOpened(const RegisterSession& s)
{
    for (const auto& line : regsim::ReadJournal(s.journal))
        if (line.value("event", "") == "connect") return true;
    return false;
}

// Waits up to two seconds for the journal's last line to be a closed link.
inline bool LinkClosedAtTheEnd(const RegisterSession& s)
{
    return WaitUntil(
        [&] {
            const auto journal = regsim::ReadJournal(s.journal);
            return !journal.empty() && journal.back().value("event", "") == "disconnect";
        },
        2000);
}

// The link events ("connect", "disconnect"), in order.
inline std::vector<std::string> LinkEvents(const RegisterSession& s)
{
    std::vector<std::string> events;
    for (const auto& line : regsim::ReadJournal(s.journal)) {
        const std::string event = line.value("event", "");
        if (event == "connect" || event == "disconnect") events.push_back(event);
    }
    return events;
}

// The link events once there are at least `count` of them, or after three
// seconds.
inline std::vector<std::string> AwaitLinkEvents(const RegisterSession& s, size_t count)
{
    WaitUntil([&] { return LinkEvents(s).size() >= count; }, 3000);
    return LinkEvents(s);
}

}  // namespace testutil
