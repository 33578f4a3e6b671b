// What the small simulators (cardsim, modemsim) share: their start, number options and the record a test reads.
#pragma once

#include <signal.h>

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

namespace simcommon {

// Whether the options were taken: when they were not, the help goes to
// stderr and the simulator ends with exit code 2. Otherwise SIGPIPE is
// ignored, so that a peer that goes away is a failed write and not the end.
inline bool OptionsTaken(bool parsed, const char* help)
{
    if (!parsed) {
        std::fputs(help, stderr);
        return false;
    }
    signal(SIGPIPE, SIG_IGN);
    return true;
}

// A number of 0 or more, the whole text.
inline bool ParseCount(std::string_view text, int& value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value >= 0;
}

// Appends the line and a '\n' to the record at path (none when path is
// empty), closed at once so that a test sees it.
inline void AppendRecord(const std::string& path, const std::string& line)
{
    if (path.empty()) return;
    if (FILE* f = std::fopen(path.c_str(), "ab")) {
        std::fwrite(line.data(), 1, line.size(), f);
        std::fputc('\n', f);
        std::fclose(f);
    }
}

}  // namespace simcommon
