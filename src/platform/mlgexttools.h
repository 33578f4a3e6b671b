// The multilingual text tool: looks up a text by section and key through the
// host's lookup function, falling back on the Polish default.
#pragma once

#include "sysutils.h"

// The host's lookup: fills buffer (size bytes) with the text of section and
// key; nonzero when it has one.
typedef int (*TMLgLookupFunc)(char* buffer, int size, const char* section, const char* key);

class TMLgExtTools {
public:
    TMLgExtTools(void* owner, TMLgLookupFunc lookup) : FOwner(owner), FLookup(lookup) {}
    AnsiString Lookup(const AnsiString& section, const AnsiString& key, const AnsiString& fallback) const;

private:
    void* FOwner;
    TMLgLookupFunc FLookup;
};

// The text of section and key, or the default when there is no tool or the
// tool has no such text.
AnsiString GetString(const TMLgExtTools* tool, const AnsiString& section, const AnsiString& key, int flags,
                     const AnsiString& fallback);

// A user text under its own Polish default: the default doubles as the key.
inline AnsiString LgText(const TMLgExtTools* tool, const AnsiString& section, const AnsiString& text)
{
    return GetString(tool, section, text, 0, text);
}
