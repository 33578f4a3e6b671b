// The host's message lines as tests check them: the lines expected, with their kinds, and the screen they leave.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "hostlib.h"
#include "testutil.h"

namespace testutil {

using HostLines = std::vector<HostLine>;

// --- The lines expected ---------------------------------------------------------
// Texts are code page 1250: for sources compiled with the driver's charset flags.

inline HostLine Added(const std::string& text, int kind = 0) { return {false, kind, text}; }
inline HostLine Replaced(const std::string& text, int kind = 0) { return {true, kind, text}; }

inline HostLines& operator+=(HostLines& to, const HostLines& more)
{
    to.insert(to.end(), more.begin(), more.end());
    return to;
}

// A step line added bare and then marked OK.
inline HostLines Step(const std::string& text) { return {Added(text), Replaced(text + "\x01OK")}; }

// The card-server lock, the connection and the register's model line.
inline HostLines TcpOpening(const std::string& modelName)
{
    HostLines lines = {Added("Zdalne zablokowanie serwera Norvik (SKP)")};
    lines += Step("Nawiązywanie połączenia TCP/IP...");
    lines.push_back(Added("Nawiązano połączenie z kasą " + modelName));
    return lines;
}

// The connection closed and the card server unlocked.
inline HostLines TcpClosing()
{
    HostLines lines = Step("Zamykanie połączenia TCP/IP...");
    lines.push_back(Added("Zdalne odblokowanie serwera Norvik (SKP)"));
    return lines;
}

// What the last-resort handler shows for an operation that failed.
inline HostLines Failure(const std::string& operation, const std::string& message)
{
    return {Added("Podczas wykonywania operacji '" + operation + "' wystąpił błąd:", 2), Added(message, 2)};
}

// At most `count` lines from the first one equal to `from` on; empty when
// there is none.
inline HostLines From(const HostLines& lines, const HostLine& from, size_t count = SIZE_MAX)
{
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == from) {
            const size_t end = i + std::min(count, lines.size() - i);
            return HostLines(lines.begin() + static_cast<long>(i), lines.begin() + static_cast<long>(end));
        }
    return {};
}

// The first `count` lines.
inline HostLines First(const HostLines& lines, size_t count)
{
    return HostLines(lines.begin(), lines.begin() + static_cast<long>(std::min(count, lines.size())));
}

// --- The screen they leave --------------------------------------------------------

// The lines as the user sees them once a run is over: a replacement takes
// the place of the line before it; warnings are shown with "W:", errors
// with "E:".
inline std::vector<std::string> HostScreen(const HostLines& lines)
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

inline bool Shows(const std::vector<std::string>& screen, const std::string& line) { return Contains(screen, line); }

}  // namespace testutil
