// The typed fields of a register answer and the set of them that the runs
// read after each command.
#pragma once

#include <cstdint>
#include <string_view>

#include "sysutils.h"

class TMLgExtTools;

// One field as it stood in the frame: the type letter and the value bytes
// ('S' with its terminating NUL).
class TComboData {
public:
    // Refuses empty data and any type letter other than B, L, N, S, V.
    void Set(std::string_view data, const TMLgExtTools* lgLink);
    char Type() const;
    uint8_t AsB() const;
    uint16_t AsV() const;
    uint32_t AsL() const;
    // Twelve BCD digits; above 499999999999 the register's ten's complement of
    // a negative value. A nibble above 9 or a value outside 32 bits is refused.
    int32_t AsN() const;
    AnsiString AsS() const;
    const AnsiString& AsData() const { return data; }
    // Readable form for diagnostics: the value and the same value in hex.
    AnsiString AsString() const;

    // Used for the texts of the exceptions.
    const TMLgExtTools* LgLink = nullptr;

private:
    void CheckShape(char type, size_t size, const char* key, const char* text) const;

    AnsiString data;
};

// The fields of the last answer. A field past Count reads as an empty field, so
// its accessors refuse instead of handing out a field of an older answer.
class TComboDataSet {
public:
    static constexpr int MaxItems = 60;

    int Count() const { return FCount; }
    const TComboData& operator[](int index) const;
    // Count := 0; the items keep their old data but can no longer be read.
    void Clear() { FCount = 0; }
    // The fields of a plain answer frame. A frame whose fields do not fit the
    // set or run past its checksum, or an unknown type letter, raises the
    // parse exception and leaves the set empty.
    void ParseFromPacket(const AnsiString& frame, const TMLgExtTools* lgLink);

private:
    TComboData FItems[MaxItems];
    TComboData FNone;
    int FCount = 0;
};
