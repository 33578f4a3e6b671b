// The driver's parameter catalogue and the texts of its list parameters: what
// the host walks to learn which settings exist, how to show them and what to
// store until the user changes them. Both answer without a registered library.
#pragma once

#include <cstdint>

#include "sysutils.h"

// What the host stores for a parameter, as the catalogue reports it.
enum TParamType : int32_t {
    ParamNone = 0,      // no entry at this group and index; ends the group
    ParamText = 1,      // a text
    ParamTextList = 3,  // a list whose chosen text is itself the value
    ParamInteger = 4,   // decimal text within minimum and maximum
    ParamDate = 5,      // a date as the host writes it
    ParamFolder = 6,    // a folder path
    ParamList = 7,      // the 0-based position of the chosen list text
};

// How the host is to treat a parameter; the driver only reports it.
enum TParamFlag : int32_t {
    ParamFlagSetting = 0,    // a setting of the driver or the user
    ParamFlagOperation = 1,  // an option asked with the operation
    ParamFlagDriverOwn = 2,  // a value the driver writes itself
};

// The groups: general and Combo/NEO settings, then one group per operation -2
// to -6 (101 plus the operation's number without its sign).
constexpr int32_t ParamGroupFirst = 101;
constexpr int32_t ParamGroupLast = 107;

// Where the computed defaults point when the host's binaries folder is unknown.
extern const char* const DefaultBinariesFolder;

// One catalogue entry by group and index; returns its type. Flag, minimum and
// maximum are always reset; name, description and default are filled only for
// an existing entry and otherwise keep what the caller passed (the answer is
// then ParamNone). binariesFolder is the host's folder, ending in a
// separator, or empty.
int32_t ComboParametr(int32_t group, int32_t index, AnsiString& name, AnsiString& description, AnsiString& defaultValue,
                      AnsiString& minimum, AnsiString& maximum, int32_t& flag, const AnsiString& binariesFolder);

// The text at a 0-based position of a list parameter, or "" past its end, for
// a name without a list or for an empty name. Names match trimmed and in any
// case.
AnsiString ComboTekstListyParametru(const AnsiString& name, int32_t index);
