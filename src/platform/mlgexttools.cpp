#include "mlgexttools.h"

#include <cstring>

AnsiString TMLgExtTools::Lookup(const AnsiString& section, const AnsiString& key, const AnsiString& fallback) const
{
    (void)FOwner;
    if (!FLookup) return fallback;
    char buffer[1025];
    std::memset(buffer, 0, sizeof buffer);
    int found = FLookup(buffer, static_cast<int>(sizeof buffer) - 1, section.c_str(), key.c_str());
    buffer[sizeof buffer - 1] = 0;
    if (!found || buffer[0] == 0) return fallback;
    return AnsiString(buffer);
}

AnsiString GetString(const TMLgExtTools* tool, const AnsiString& section, const AnsiString& key, int /*flags*/,
                     const AnsiString& fallback)
{
    return tool ? tool->Lookup(section, key, fallback) : fallback;
}
