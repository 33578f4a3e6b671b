// The register's binary frame: building a command frame with its typed fields,
// the CRC-16 checksum, byte stuffing on the wire, the byte-by-byte receiver and
// the check of an answer. Nothing here touches a file descriptor, so every
// piece can be driven from tests and from the fuzzer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sysutils.h"

class TComboDataSet;
class TMLgExtTools;

// Frame bytes and layout (offsets in the plain frame, before stuffing).
constexpr uint8_t CB_STX = 0x02;
constexpr uint8_t CB_ETX = 0x03;
constexpr uint8_t CB_DLE = 0x10;         // the stuffing byte
constexpr uint8_t CB_RETRY_FLAG = 0x10;  // set in the flags byte of a repeated sending
constexpr size_t CB_OFS_FLAGS = 1;
constexpr size_t CB_OFS_TOKEN = 3;
constexpr size_t CB_OFS_LENGTH = 7;
constexpr size_t CB_OFS_FIELD_COUNT = 9;
constexpr size_t CB_OFS_COMMAND = 11;
constexpr size_t CB_OFS_FIELDS = 13;
constexpr size_t CB_EMPTY_FRAME_SIZE = 16;  // a frame without fields
constexpr size_t CB_MAX_FRAME_SIZE = 65535; // the length field is 16-bit
constexpr uint32_t CB_TOKEN_WRAP = 10000;

// CRC-16/XMODEM: polynomial 0x1021, initial 0, no reflection, no final XOR.
uint16_t ComboCrc16(const uint8_t* data, size_t size);
uint16_t ComboCrc16(const AnsiString& data);

// The token of the next new frame: one more, 10000 wrapping to 0.
uint32_t ComboNextToken(uint32_t token);

// Little-endian access to the plain frame; reading needs the bytes present.
void ComboPutU16(AnsiString& frame, size_t offset, uint16_t value);
void ComboPutU32(AnsiString& frame, size_t offset, uint32_t value);
uint16_t ComboGetU16(const AnsiString& frame, size_t offset);
uint32_t ComboGetU32(const AnsiString& frame, size_t offset);

// --- Typed fields: the type letter and the encoded value ---------------------
AnsiString ComboDataB(uint8_t value);
AnsiString ComboDataV(uint16_t value);
AnsiString ComboDataL(uint32_t value);
// Twelve BCD digits; a negative value goes out in ten's complement, the way
// the register sends its own negative values.
AnsiString ComboDataN(int32_t value);
AnsiString ComboDataS(const AnsiString& text);

// The value's decimal digits left-padded with '0' to 2*bytes digits (a longer
// text is cut to its first 2*bytes digits), packed two digits a byte. A
// negative value is packed in ten's complement of 2*bytes digits.
// bytes is 1 to 9.
AnsiString ComboValueToBCD(int64_t value, int bytes);
// The 2*bytes digits of packed BCD as a number; false when a nibble is above 9.
bool ComboBCDToValue(const uint8_t* data, int bytes, int64_t& value);

// --- Building a command frame --------------------------------------------------
// A new plain frame from the 16-byte template: flags 0, token, command code,
// no fields. The second form makes frame that template in place, keeping
// the room it has.
AnsiString ComboInitPacket(uint32_t token, uint16_t cmd);
void ComboInitPacket(AnsiString& frame, uint32_t token, uint16_t cmd);
// Puts the concatenated field strings in front of the checksum.
void ComboInsertFields(AnsiString& frame, const AnsiString& fields);
void ComboInsertFldNum(AnsiString& frame, uint16_t count);
// Writes the frame's current length; a frame longer than the length field can
// hold is refused with an exception rather than sent with a wrapped length.
void ComboInsertFLen(AnsiString& frame);
// Computes the checksum of the plain frame and writes it in its place.
void ComboInsertCRC(AnsiString& frame);
// The checksum as it stands in the frame, and as it should be.
uint16_t ComboStoredCRC(const AnsiString& frame);
uint16_t ComboComputeCRC(const AnsiString& frame);
// Wire form: every 0x10 doubled, then a 0x10 before STX and before ETX.
AnsiString ComboInsertSYN(const AnsiString& plain);
// The same in place: frame, plain, becomes its wire form.
void ComboStuff(AnsiString& frame);
// The plain frame back from its wire form.
AnsiString ComboUnstuff(const AnsiString& wire);
// Turns a stuffed frame into its repeated sending: retry flag set, checksum
// recomputed, stuffed again. The token stays.
void ComboInsertRetryFlag(AnsiString& wire);
// All of the above in order: the stuffed frame of a command with n fields.
AnsiString ComboBuildPacket(uint32_t token, uint16_t cmd, int n, const AnsiString* fields);
// The same into wire, which keeps its room from frame to frame.
void ComboBuildPacket(AnsiString& wire, uint32_t token, uint16_t cmd, int n, const AnsiString* fields);
// The size of the plain frame of a command with n fields, which is refused
// above CB_MAX_FRAME_SIZE.
size_t ComboFrameSize(int n, const AnsiString* fields);

// --- Receiving ----------------------------------------------------------------
enum TComboRxEvent {
    cbrxMore,      // the frame is not complete yet
    cbrxFrame,     // Packet() holds the plain frame, STX to ETX
    cbrxNoise,     // a byte before any frame start, passed over (NoiseByte())
    cbrxOverflow,  // CB_MAX_FRAME_SIZE bytes without an end of frame
};

// Undoes the stuffing byte by byte. A frame starts at STX, with or without
// its leading 0x10; bytes before that are line noise, passed over. An escaped
// STX starts a frame afresh even inside one (stuffing never puts one there),
// so that noise which looked like a frame start is passed over too. After
// cbrxFrame or cbrxOverflow the receiver must be Reset() before the next frame.
class TComboReceiver {
public:
    void Reset();
    TComboRxEvent Push(uint8_t byte);
    // The start of a run of bytes that is a started frame's plain data, up
    // to the first 0x10, taken at once as Push would take it byte by byte,
    // each byte cbrxMore: how many. None before a frame starts, after an
    // unpaired 0x10, or for the byte that would fill the frame.
    size_t PushData(const uint8_t* bytes, size_t count);
    const AnsiString& Packet() const { return FPacket; }
    uint8_t NoiseByte() const { return FNoiseByte; }
    // The bytes passed over since the Reset(), a frame start that came to
    // nothing among them.
    size_t Skipped() const { return FSkipped; }

private:
    AnsiString FPacket;
    bool FEscape = false;
    uint8_t FNoiseByte = 0;
    size_t FSkipped = 0;
};

// Checks a received plain frame against the token of the command it answers
// and parses its fields into set. -1 for a frame too short to be an answer, a
// token of another command or a wrong checksum (set is then untouched);
// otherwise the answer's code (0 to 65535). A malformed field list raises the
// parse exception with set left empty.
int ComboParsePacket(const AnsiString& packet, uint32_t token, TComboDataSet& set, const TMLgExtTools* tool);

// A frame or text made readable for the protocol trace: NUL as '.', the
// control bytes of the protocol by their names.
AnsiString ComboTraceText(const AnsiString& data);
