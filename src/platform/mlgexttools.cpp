#include "mlgexttools.h"

#include <cstring>

AnsiString TMLgExtTools::Lookup(const AnsiString& section, const AnsiString& key, const AnsiString& fallback) const
{
    (void)FOwner;
    if (!FLookup) return fallback;
    // The host is told of 1024 bytes; one that writes past them lands in room
    // of ours, and no more than the 1024 bytes is read.
    constexpr int kTold = 1024;
    char buffer[4096];
    std::memset(buffer, 0, sizeof buffer);
    int found = FLookup(buffer, kTold, section.c_str(), key.c_str());
    buffer[sizeof buffer - 1] = 0;
    if (!found || buffer[0] == 0) return fallback;
    return AnsiString(buffer, strnlen(buffer, kTold));
}

AnsiString GetString(const TMLgExtTools* tool, const AnsiString& section, const AnsiString& key, int /*flags*/,
                     const AnsiString& fallback)
{
    return tool ? tool->Lookup(section, key, fallback) : fallback;
}
