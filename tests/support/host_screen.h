// The host's message lines as the user sees them once a run is over: a
// replacement takes the place of the line before it; warnings are shown
// with "W:", errors with "E:".
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "hostlib.h"

namespace testutil {

inline std::vector<std::string> HostScreen(const std::vector<HostLine>& lines)
{
    std::vector<std::string> screen;
    for (const HostLine& l : lines) {
        const std::string shown = (l.kind == 1 ? "W:" : l.kind == 2 ? "E:" : "") + l.text;
        if (l.replaced && !screen.empty())
            screen.back() = shown;
        else
            screen.push_back(shown);
    }
    return screen;
}

inline bool Shows(const std::vector<std::string>& screen, const std::string& line)
{
    return std::find(screen.begin(), screen.end(), line) != screen.end();
}

inline size_t CountOf(const std::vector<std::string>& screen, const std::string& line)
{
    return static_cast<size_t>(std::count(screen.begin(), screen.end(), line));
}

}  // namespace testutil
