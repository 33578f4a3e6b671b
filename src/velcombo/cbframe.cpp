#include "cbframe.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "cbdata.h"
#include "cberrors.h"

namespace {
uint8_t ByteAt(const AnsiString& s, size_t i) { return static_cast<uint8_t>(s[i]); }

// The plain frame needs its header, checksum and ETX before any offset is used.
bool HasFrameShape(const AnsiString& frame) { return frame.size() >= CB_EMPTY_FRAME_SIZE; }

size_t CrcOffset(const AnsiString& frame) { return frame.size() - 3; }
}  // namespace

namespace {
// The checksum's eight shifts of one byte, done once for every byte value.
constexpr std::array<uint16_t, 256> CrcTable()
{
    std::array<uint16_t, 256> table{};
    for (unsigned value = 0; value < 256; ++value) {
        auto crc = static_cast<uint16_t>(value << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021) : static_cast<uint16_t>(crc << 1);
        table[value] = crc;
    }
    return table;
}
constexpr std::array<uint16_t, 256> kCrcTable = CrcTable();
}  // namespace

uint16_t ComboCrc16(const uint8_t* data, size_t size)
{
    uint16_t crc = 0;
    for (size_t i = 0; i < size; ++i) crc = static_cast<uint16_t>((crc << 8) ^ kCrcTable[(crc >> 8) ^ data[i]]);
    return crc;
}

uint16_t ComboCrc16(const AnsiString& data)
{
    return ComboCrc16(reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

uint32_t ComboNextToken(uint32_t token)
{
    ++token;
    return token >= CB_TOKEN_WRAP ? 0 : token;
}

void ComboPutU16(AnsiString& frame, size_t offset, uint16_t value)
{
    frame[offset] = static_cast<char>(value & 0xFF);
    frame[offset + 1] = static_cast<char>(value >> 8);
}

void ComboPutU32(AnsiString& frame, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i) frame[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint16_t ComboGetU16(const AnsiString& frame, size_t offset)
{
    return static_cast<uint16_t>(ByteAt(frame, offset) | (ByteAt(frame, offset + 1) << 8));
}

uint32_t ComboGetU32(const AnsiString& frame, size_t offset)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | ByteAt(frame, offset + i);
    return v;
}

// --- Typed fields ---------------------------------------------------------------

AnsiString ComboDataB(uint8_t value) { return AnsiString{'B', static_cast<char>(value)}; }

AnsiString ComboDataV(uint16_t value)
{
    AnsiString s("V\0\0", 3);
    ComboPutU16(s, 1, value);
    return s;
}

AnsiString ComboDataL(uint32_t value)
{
    AnsiString s("L\0\0\0\0", 5);
    ComboPutU32(s, 1, value);
    return s;
}

AnsiString ComboDataN(int32_t value) { return "N" + ComboValueToBCD(value, 6); }

AnsiString ComboDataS(const AnsiString& text)
{
    AnsiString s = "S" + text;
    s.push_back('\0');
    return s;
}

AnsiString ComboValueToBCD(int64_t value, int bytes)
{
    if (bytes < 1) bytes = 1;
    if (bytes > 9) bytes = 9;
    const size_t digits = static_cast<size_t>(bytes) * 2;
    if (value < 0) {
        // Ten's complement within the field's digits; a value too negative for
        // them keeps only its lowest digits.
        int64_t modulus = 1;
        for (size_t i = 0; i < digits; ++i) modulus *= 10;
        value %= modulus;
        if (value < 0) value += modulus;
    }
    AnsiString text = IntToStr(value);
    if (text.size() < digits) text.insert(0, digits - text.size(), '0');
    text.resize(digits);
    AnsiString packed(static_cast<size_t>(bytes), '\0');
    for (int i = 0; i < bytes; ++i)
        packed[i] = static_cast<char>(((text[2 * i] - '0') << 4) | (text[2 * i + 1] - '0'));
    return packed;
}

bool ComboBCDToValue(const uint8_t* data, int bytes, int64_t& value)
{
    int64_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        const int hi = data[i] >> 4, lo = data[i] & 0x0F;
        if (hi > 9 || lo > 9) return false;
        v = v * 100 + hi * 10 + lo;
    }
    value = v;
    return true;
}

// --- Building a command frame -------------------------------------------------------

void ComboInitPacket(AnsiString& frame, uint32_t token, uint16_t cmd)
{
    frame.assign(CB_EMPTY_FRAME_SIZE, '\0');
    frame[0] = static_cast<char>(CB_STX);
    frame[CB_EMPTY_FRAME_SIZE - 1] = static_cast<char>(CB_ETX);
    ComboPutU32(frame, CB_OFS_TOKEN, token);
    ComboPutU16(frame, CB_OFS_COMMAND, cmd);
}

AnsiString ComboInitPacket(uint32_t token, uint16_t cmd)
{
    AnsiString frame;
    ComboInitPacket(frame, token, cmd);
    return frame;
}

void ComboInsertFields(AnsiString& frame, const AnsiString& fields) { frame.insert(CrcOffset(frame), fields); }

void ComboInsertFldNum(AnsiString& frame, uint16_t count) { ComboPutU16(frame, CB_OFS_FIELD_COUNT, count); }

void ComboInsertFLen(AnsiString& frame)
{
    if (frame.size() > CB_MAX_FRAME_SIZE) throw Exception(ComboFrameTooLongText(frame.size()));
    ComboPutU16(frame, CB_OFS_LENGTH, static_cast<uint16_t>(frame.size()));
}

uint16_t ComboComputeCRC(const AnsiString& frame)
{
    return ComboCrc16(reinterpret_cast<const uint8_t*>(frame.data()) + 1, CrcOffset(frame) - 1);
}

uint16_t ComboStoredCRC(const AnsiString& frame) { return ComboGetU16(frame, CrcOffset(frame)); }

void ComboInsertCRC(AnsiString& frame) { ComboPutU16(frame, CrcOffset(frame), ComboComputeCRC(frame)); }

void ComboStuff(AnsiString& frame)
{
    const size_t size = frame.size();
    auto escaped = [&frame, size](size_t i) {
        const uint8_t b = ByteAt(frame, i);
        return b == CB_DLE || (i == 0 && b == CB_STX) || (i + 1 == size && b == CB_ETX);
    };
    size_t added = 0;
    for (size_t i = 0; i < size; ++i) added += escaped(i);
    // From the end backwards, each byte moves up by the 0x10s before it.
    frame.resize(size + added);
    for (size_t i = size; added > 0;) {
        --i;
        frame[i + added] = frame[i];
        if (escaped(i)) frame[i + --added] = static_cast<char>(CB_DLE);
    }
}

AnsiString ComboInsertSYN(const AnsiString& plain)
{
    AnsiString wire = plain;
    ComboStuff(wire);
    return wire;
}

AnsiString ComboUnstuff(const AnsiString& wire)
{
    AnsiString plain;
    plain.reserve(wire.size());
    for (size_t i = 0; i < wire.size(); ++i) {
        if (ByteAt(wire, i) == CB_DLE && i + 1 < wire.size()) ++i;
        plain.push_back(wire[i]);
    }
    return plain;
}

void ComboInsertRetryFlag(AnsiString& wire)
{
    AnsiString plain = ComboUnstuff(wire);
    if (!HasFrameShape(plain)) return;
    plain[CB_OFS_FLAGS] = static_cast<char>(ByteAt(plain, CB_OFS_FLAGS) | CB_RETRY_FLAG);
    ComboInsertCRC(plain);
    wire = ComboInsertSYN(plain);
}

void ComboBuildPacket(AnsiString& wire, uint32_t token, uint16_t cmd, int n, const AnsiString* fields)
{
    if (!fields || n < 0) n = 0;
    ComboInitPacket(wire, token, cmd);
    for (int i = 0; i < n; ++i) ComboInsertFields(wire, fields[i]);
    ComboInsertFldNum(wire, static_cast<uint16_t>(n));
    ComboInsertFLen(wire);
    ComboInsertCRC(wire);
    ComboStuff(wire);
}

AnsiString ComboBuildPacket(uint32_t token, uint16_t cmd, int n, const AnsiString* fields)
{
    AnsiString wire;
    ComboBuildPacket(wire, token, cmd, n, fields);
    return wire;
}

size_t ComboFrameSize(int n, const AnsiString* fields)
{
    size_t size = CB_EMPTY_FRAME_SIZE;
    for (int i = 0; fields && i < n; ++i) size += fields[i].size();
    return size;
}

// --- Receiving ---------------------------------------------------------------------

void TComboReceiver::Reset()
{
    FPacket.clear();
    FEscape = false;
    FNoiseByte = 0;
    FSkipped = 0;
}

TComboRxEvent TComboReceiver::Push(uint8_t byte)
{
    if (byte == CB_DLE && !FEscape) {
        FEscape = true;
        return cbrxMore;
    }
    const bool escaped = FEscape;
    FEscape = false;
    if (byte == CB_STX && (escaped || FPacket.empty())) {
        FSkipped += FPacket.size();
        FPacket.assign(1, static_cast<char>(CB_STX));
        return cbrxMore;
    }
    if (FPacket.empty()) {
        FNoiseByte = byte;
        // Noise without end is bounded like a frame without end.
        return ++FSkipped >= CB_MAX_FRAME_SIZE ? cbrxOverflow : cbrxNoise;
    }
    FPacket.push_back(static_cast<char>(byte));
    if (FPacket.size() > 4 && byte == CB_ETX && escaped) return cbrxFrame;
    if (FPacket.size() >= CB_MAX_FRAME_SIZE) return cbrxOverflow;
    return cbrxMore;
}

size_t TComboReceiver::PushData(const uint8_t* bytes, size_t count)
{
    if (FEscape || FPacket.empty() || FPacket.size() + 1 >= CB_MAX_FRAME_SIZE) return 0;
    const void* dle = std::memchr(bytes, CB_DLE, count);
    const size_t plain = dle ? static_cast<size_t>(static_cast<const uint8_t*>(dle) - bytes) : count;
    const size_t taken = std::min(plain, CB_MAX_FRAME_SIZE - 1 - FPacket.size());
    FPacket.append(reinterpret_cast<const char*>(bytes), taken);
    return taken;
}

int ComboParsePacket(const AnsiString& packet, uint32_t token, TComboDataSet& set, const TMLgExtTools* tool)
{
    if (!HasFrameShape(packet)) return -1;
    if (ComboGetU32(packet, CB_OFS_TOKEN) != token) return -1;
    if (ComboStoredCRC(packet) != ComboComputeCRC(packet)) return -1;
    const int code = ComboGetU16(packet, CB_OFS_COMMAND);
    set.ParseFromPacket(packet, tool);
    return code;
}

AnsiString ComboTraceText(const AnsiString& data)
{
    AnsiString out;
    out.reserve(data.size() + 16);
    for (char c : data) {
        switch (static_cast<uint8_t>(c)) {
        case 0x00: out += '.'; break;
        case 0x02: out += "<STX>"; break;
        case 0x03: out += "<ETX>"; break;
        case 0x0D: out += "<CR>"; break;
        case 0x0A: out += "<LF>"; break;
        case 0x09: out += "<TAB>"; break;
        case 0x10: out += "<SYN>"; break;
        case 0x18: out += "<CAN>"; break;
        default: out += c;
        }
    }
    return out;
}
