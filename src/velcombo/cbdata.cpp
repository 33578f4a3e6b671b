#include "cbdata.h"

#include "cbframe.h"
#include "mlgexttools.h"

namespace {
const char* const kSection = "velcombo_cbdata";

[[noreturn]] void Fail(const TMLgExtTools* tool, const char* key, const char* text)
{
    throw Exception(GetString(tool, kSection, key, 0, text));
}

const uint8_t* Bytes(const AnsiString& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

bool IsFieldLetter(char c) { return c == 'B' || c == 'L' || c == 'N' || c == 'S' || c == 'V'; }
}  // namespace

void TComboData::Set(std::string_view value, const TMLgExtTools* lgLink)
{
    LgLink = lgLink;
    if (value.empty()) Fail(LgLink, "Set_empty", "TComboData::Set() - puste pole DATA");
    if (!IsFieldLetter(value[0])) Fail(LgLink, "Set_invalid", "TComboData::Set() - nieprawidłowa wartość pola DATA");
    data.assign(value);
}

char TComboData::Type() const
{
    if (data.empty()) Fail(LgLink, "Type_empty", "TComboData::Type() - puste pole DATA");
    return data[0];
}

void TComboData::CheckShape(char type, size_t size, const char* key, const char* text) const
{
    if (data.size() != size || data[0] != type) Fail(LgLink, key, text);
}

uint8_t TComboData::AsB() const
{
    CheckShape('B', 2, "AsB_type", "TComboData::AsB() - nieprawidłowy typ pola DATA");
    return static_cast<uint8_t>(data[1]);
}

uint16_t TComboData::AsV() const
{
    CheckShape('V', 3, "AsV_type", "TComboData::AsV() - nieprawidłowy typ pola DATA");
    return ComboGetU16(data, 1);
}

uint32_t TComboData::AsL() const
{
    CheckShape('L', 5, "AsL_type", "TComboData::AsL() - nieprawidłowy typ pola DATA");
    return ComboGetU32(data, 1);
}

int32_t TComboData::AsN() const
{
    CheckShape('N', 7, "AsN_type", "TComboData::AsN() - nieprawidłowy typ pola DATA");
    int64_t value = 0;
    if (!ComboBCDToValue(Bytes(data) + 1, 6, value))
        Fail(LgLink, "AsN_value", "TComboData::AsN() - nieprawidłowa wartość pola DATA");
    if (value > 499999999999LL) value -= 1000000000000LL;
    if (value < INT32_MIN || value > INT32_MAX)
        Fail(LgLink, "AsN_value", "TComboData::AsN() - nieprawidłowa wartość pola DATA");
    return static_cast<int32_t>(value);
}

AnsiString TComboData::AsS() const
{
    if (data.size() < 2 || data[0] != 'S')
        Fail(LgLink, "AsS_type", "TComboData::AsS() - nieprawidłowy typ pola DATA");
    return data.substr(1, data.size() - 2);
}

AnsiString TComboData::AsString() const
{
    switch (Type()) {
    case 'B': {
        const unsigned v = AsB();
        return Format("%u(0x%02X)", v, v);
    }
    case 'V': {
        const unsigned v = AsV();
        return Format("%u(0x%04X)", v, v);
    }
    case 'L': {
        const uint32_t v = AsL();
        return Format("%u(0x%08X)", v, v);
    }
    case 'N': {
        const int32_t v = AsN();
        return Format("%d(0x%06X)", v, static_cast<uint32_t>(v));
    }
    case 'S': return AsS();
    default: return GetString(LgLink, kSection, "AsString_unknown", 0, "<nieznany typ>");
    }
}

const TComboData& TComboDataSet::operator[](int index) const
{
    return index >= 0 && index < FCount ? FItems[index] : FNone;
}

void TComboDataSet::ParseFromPacket(const AnsiString& frame, const TMLgExtTools* lgLink)
{
    Clear();
    FNone.LgLink = lgLink;
    const char* const overrunText = "TComboDataSet::ParseFromPacket() - pole DATA poza ramką";
    if (frame.size() < CB_EMPTY_FRAME_SIZE) Fail(lgLink, "Parse_overrun", overrunText);
    const int count = ComboGetU16(frame, CB_OFS_FIELD_COUNT);
    if (count > MaxItems) Fail(lgLink, "Parse_count", "TComboDataSet::ParseFromPacket() - za dużo pól DATA");
    // Fields end where the checksum starts.
    const size_t end = frame.size() - 3;
    size_t pos = CB_OFS_FIELDS;
    for (int i = 0; i < count; ++i) {
        if (pos >= end) Fail(lgLink, "Parse_overrun", overrunText);
        size_t size = 0;
        switch (frame[pos]) {
        case 'B': size = 2; break;
        case 'V': size = 3; break;
        case 'L': size = 5; break;
        case 'N': size = 7; break;
        case 'S': {
            const size_t nul = frame.find('\0', pos + 1);
            if (nul == AnsiString::npos || nul >= end) Fail(lgLink, "Parse_overrun", overrunText);
            size = nul - pos + 1;
            break;
        }
        default: Fail(lgLink, "Parse_type", "TComboDataSet::ParseFromPacket() - niewłaściwy typ pola DATA");
        }
        if (size > end - pos) Fail(lgLink, "Parse_overrun", overrunText);
        FItems[i].Set(std::string_view(frame).substr(pos, size), lgLink);
        pos += size;
    }
    FCount = count;
}
