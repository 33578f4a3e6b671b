// The register's frame as the simulator sees it on the wire: typed fields, the
// frame layout with its CRC, the byte stuffing, and the byte-by-byte decoder of
// a stuffed stream. Written on its own so that it can judge the driver's frames.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace regsim {

// One typed field. 'B', 'V', 'L' keep their value in `number`, 'N' a signed
// number (ten's complement on the wire), 'S' its cp1250 bytes in `text`.
// 'R' is the simulator's own: `text` goes out verbatim as the whole field,
// letter included, so that a test can send a field the register would never send.
struct Field {
    char type = 'B';
    int64_t number = 0;
    std::string text;

    static Field B(uint8_t v) { return {'B', v, {}}; }
    static Field V(uint16_t v) { return {'V', v, {}}; }
    static Field L(uint32_t v) { return {'L', v, {}}; }
    static Field N(int64_t v) { return {'N', v, {}}; }
    static Field S(std::string v) { return {'S', 0, std::move(v)}; }
    static Field Raw(std::string bytes) { return {'R', 0, std::move(bytes)}; }
    bool operator==(const Field&) const = default;
};

struct Frame {
    uint8_t flags = 0;
    uint32_t token = 0;
    uint16_t code = 0;
    std::vector<Field> fields;
};

constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kDle = 0x10;
constexpr uint8_t kRetryFlag = 0x10;
constexpr size_t kHeaderSize = 13;
constexpr size_t kEmptyFrameSize = 16;
// Largest 'N' magnitude: twelve decimal digits.
constexpr int64_t kBcdModulus = 1000000000000LL;

// CRC-16/XMODEM: polynomial 0x1021, start 0, no reflection, no final XOR.
uint16_t Crc16Xmodem(std::string_view bytes);

// The field's bytes, letter first.
std::string EncodeField(const Field& field);
// 'N' value as six packed BCD bytes, most significant pair first; a negative
// value in ten's complement.
std::string PackBcd(int64_t value);

// The plain frame, STX to ETX, with length, field count and checksum filled in.
std::string BuildFrame(const Frame& frame);
// The same with the checksum deliberately wrong (for the fault plan).
std::string CorruptChecksum(std::string plain);
// Wire form: every 0x10 doubled, 0x10 before STX and before ETX.
std::string Stuff(std::string_view plain);

// A plain frame read back. `error` is empty for a sound frame; otherwise it
// says what is wrong (in the simulator's words), and whatever could still be
// read (header, leading fields) is kept.
struct ParsedFrame {
    Frame frame;
    bool headerRead = false;
    bool checksumOk = false;
    std::string error;
};
ParsedFrame ParseFrame(std::string_view plain);

// Turns a stuffed byte stream back into plain frames. Bytes outside a frame
// are handed out one by one, so that the link can see a multiplexer's channel
// selection or stray noise.
class WireDecoder {
public:
    struct Event {
        enum Kind { kNothing, kFrame, kOutsideByte, kGarbled } kind = kNothing;
        std::string frame;  // kFrame: the plain frame; kGarbled: the bytes dropped
        uint8_t byte = 0;   // kOutsideByte
    };
    Event Feed(uint8_t byte);
    bool InFrame() const { return state_ == State::kInFrame || state_ == State::kInFrameEscape; }
    void Reset();

private:
    enum class State { kHunt, kHuntEscape, kInFrame, kInFrameEscape };
    State state_ = State::kHunt;
    std::string buffer_;
};

// Text for the journal and messages: "0x10 0x02 ...".
std::string HexBytes(std::string_view bytes);

}  // namespace regsim
