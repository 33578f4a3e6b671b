// A stable assignment of device numbers (from 0) to the program's decimal
// identifiers, kept as lines "identifier=number" from one run to the next.
// Identifiers that stay keep their number, identifiers that are gone lose
// their line, and new ones take the lowest free numbers first, so numbers
// already programmed into the device do not move.
#pragma once

#include "classes.h"
#include "sysutils.h"

class IdMap {
public:
    IdMap() = default;
    IdMap(const IdMap&) = delete;
    IdMap& operator=(const IdMap&) = delete;

    // Brings map (lines "identifier=number", changed in place, left sorted by
    // number) up to date with ids (one identifier per line; empty lines and
    // repeated identifiers are skipped). An identifier or map line that is
    // not a whole number throws before anything is changed.
    void Initialize(TStringList& map, const AnsiString& ids);
    // The same on the map's text.
    void Initialize(AnsiString& mapText, const AnsiString& ids);

private:
    TStringList DeviceMap;
};
