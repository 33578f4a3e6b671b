#include "wire_codec.h"

#include <cstdio>

namespace regsim {

namespace {

void PutLe(std::string& out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint64_t GetLe(std::string_view in, size_t at, int bytes)
{
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(in[at + i]);
    return value;
}

void WriteLe16(std::string& frame, size_t at, uint16_t value)
{
    frame[at] = static_cast<char>(value & 0xFF);
    frame[at + 1] = static_cast<char>(value >> 8);
}

void AddError(std::string& errors, const std::string& what)
{
    if (!errors.empty()) errors += "; ";
    errors += what;
}

// Reads one field at `at`; returns its size, or 0 when it cannot be read.
size_t ReadField(std::string_view body, size_t at, Field& field, std::string& error)
{
    const char type = body[at];
    size_t size = 0;
    switch (type) {
        case 'B':
            size = 2;
            break;
        case 'V':
            size = 3;
            break;
        case 'L':
            size = 5;
            break;
        case 'N':
            size = 7;
            break;
        case 'S': {
            const size_t nul = body.find('\0', at + 1);
            if (nul == std::string_view::npos) {
                error = "text field without its terminating NUL";
                return 0;
            }
            field = Field::S(std::string(body.substr(at + 1, nul - at - 1)));
            return nul - at + 1;
        }
        default: {
            char buf[64];
            std::snprintf(buf, sizeof buf, "unknown field type 0x%02X", static_cast<uint8_t>(type));
            error = buf;
            return 0;
        }
    }
    if (at + size > body.size()) {
        error = std::string("field '") + type + "' runs past the end of the frame";
        return 0;
    }
    field.type = type;
    field.text.clear();
    if (type != 'N') {
        field.number = static_cast<int64_t>(GetLe(body, at + 1, static_cast<int>(size - 1)));
        return size;
    }
    int64_t value = 0;
    for (size_t i = at + 1; i < at + size; ++i) {
        const uint8_t b = static_cast<uint8_t>(body[i]);
        for (uint8_t digit : {static_cast<uint8_t>(b >> 4), static_cast<uint8_t>(b & 0x0F)}) {
            if (digit > 9) error = "packed decimal field with a digit above 9";
            value = value * 10 + digit;
        }
    }
    field.number = value > kBcdModulus / 2 - 1 ? value - kBcdModulus : value;
    return error.empty() ? size : 0;
}

}  // namespace

uint16_t Crc16Xmodem(std::string_view bytes)
{
    uint16_t crc = 0;
    for (char c : bytes) {
        crc ^= static_cast<uint16_t>(static_cast<uint8_t>(c) << 8);
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021) : crc << 1;
    }
    return crc;
}

std::string PackBcd(int64_t value)
{
    uint64_t magnitude = static_cast<uint64_t>(((value % kBcdModulus) + kBcdModulus) % kBcdModulus);
    std::string out(6, '\0');
    for (int i = 5; i >= 0; --i) {
        const uint8_t low = magnitude % 10;
        magnitude /= 10;
        const uint8_t high = magnitude % 10;
        magnitude /= 10;
        out[i] = static_cast<char>((high << 4) | low);
    }
    return out;
}

std::string EncodeField(const Field& field)
{
    std::string out;
    switch (field.type) {
        case 'B':
            out = "B";
            PutLe(out, static_cast<uint64_t>(field.number), 1);
            break;
        case 'V':
            out = "V";
            PutLe(out, static_cast<uint64_t>(field.number), 2);
            break;
        case 'L':
            out = "L";
            PutLe(out, static_cast<uint64_t>(field.number), 4);
            break;
        case 'N':
            out = "N" + PackBcd(field.number);
            break;
        case 'S':
            out = "S" + field.text;
            out.push_back('\0');
            break;
        default:
            out = field.text;
            break;
    }
    return out;
}

std::string BuildFrame(const Frame& frame)
{
    std::string out;
    out.push_back(static_cast<char>(kStx));
    out.push_back(static_cast<char>(frame.flags));
    out.push_back('\0');
    PutLe(out, frame.token, 4);
    PutLe(out, 0, 2);  // length, below
    PutLe(out, frame.fields.size(), 2);
    PutLe(out, frame.code, 2);
    for (const Field& f : frame.fields) out += EncodeField(f);
    PutLe(out, 0, 2);  // checksum, below
    out.push_back(static_cast<char>(kEtx));
    WriteLe16(out, 7, static_cast<uint16_t>(out.size()));
    WriteLe16(out, out.size() - 3, Crc16Xmodem(std::string_view(out).substr(1, out.size() - 4)));
    return out;
}

std::string CorruptChecksum(std::string plain)
{
    if (plain.size() >= kEmptyFrameSize) plain[plain.size() - 3] = static_cast<char>(plain[plain.size() - 3] ^ 0x5A);
    return plain;
}

std::string Stuff(std::string_view plain)
{
    std::string out;
    out.reserve(plain.size() + 8);
    for (size_t i = 0; i < plain.size(); ++i) {
        const uint8_t b = static_cast<uint8_t>(plain[i]);
        const bool edge = (i == 0 && b == kStx) || (i + 1 == plain.size() && b == kEtx);
        if (b == kDle || edge) out.push_back(static_cast<char>(kDle));
        out.push_back(static_cast<char>(b));
    }
    return out;
}

ParsedFrame ParseFrame(std::string_view plain)
{
    ParsedFrame result;
    if (plain.size() < kEmptyFrameSize) {
        result.error = "frame of " + std::to_string(plain.size()) + " bytes, shorter than the 16 of an empty frame";
        return result;
    }
    const size_t size = plain.size();
    Frame& frame = result.frame;
    frame.flags = static_cast<uint8_t>(plain[1]);
    frame.token = static_cast<uint32_t>(GetLe(plain, 3, 4));
    frame.code = static_cast<uint16_t>(GetLe(plain, 11, 2));
    result.headerRead = true;
    if (static_cast<uint8_t>(plain[0]) != kStx || static_cast<uint8_t>(plain[size - 1]) != kEtx)
        AddError(result.error, "frame does not run from STX to ETX");
    if (frame.flags != 0 && frame.flags != kRetryFlag)
        AddError(result.error, "flags byte " + HexBytes(plain.substr(1, 1)));
    if (plain[2] != '\0') AddError(result.error, "byte after the flags is " + HexBytes(plain.substr(2, 1)));
    const uint16_t storedCrc = static_cast<uint16_t>(GetLe(plain, size - 3, 2));
    result.checksumOk = storedCrc == Crc16Xmodem(plain.substr(1, size - 4));
    if (!result.checksumOk) AddError(result.error, "bad checksum");
    const uint64_t length = GetLe(plain, 7, 2);
    if (length != size)
        AddError(result.error,
                 "length field " + std::to_string(length) + " but the frame has " + std::to_string(size) + " bytes");

    const uint64_t count = GetLe(plain, 9, 2);
    std::string_view body = plain.substr(0, size - 3);
    size_t at = kHeaderSize;
    while (at < body.size()) {
        Field field;
        std::string fieldError;
        const size_t used = ReadField(body, at, field, fieldError);
        if (used == 0) {
            AddError(result.error, "field " + std::to_string(frame.fields.size()) + ": " + fieldError);
            return result;
        }
        frame.fields.push_back(std::move(field));
        at += used;
    }
    if (count != frame.fields.size())
        AddError(result.error, "field count " + std::to_string(count) + " but the frame holds " +
                                   std::to_string(frame.fields.size()) + " fields");
    return result;
}

WireDecoder::Event WireDecoder::Feed(uint8_t byte)
{
    Event event;
    switch (state_) {
        case State::kHunt:
            if (byte == kDle) {
                state_ = State::kHuntEscape;
            } else {
                event.kind = Event::kOutsideByte;
                event.byte = byte;
            }
            break;
        case State::kHuntEscape:
            if (byte == kStx) {
                buffer_.assign(1, static_cast<char>(kStx));
                state_ = State::kInFrame;
            } else {
                event.kind = Event::kGarbled;
                event.frame = {static_cast<char>(kDle), static_cast<char>(byte)};
                state_ = State::kHunt;
            }
            break;
        case State::kInFrame:
            if (byte == kDle) {
                state_ = State::kInFrameEscape;
            } else {
                buffer_.push_back(static_cast<char>(byte));
            }
            break;
        case State::kInFrameEscape:
            if (byte == kDle) {
                buffer_.push_back(static_cast<char>(kDle));
                state_ = State::kInFrame;
            } else if (byte == kEtx) {
                buffer_.push_back(static_cast<char>(kEtx));
                event.kind = Event::kFrame;
                event.frame.swap(buffer_);
                state_ = State::kHunt;
            } else if (byte == kStx) {
                // A new frame starts inside the old one: the old one is lost.
                event.kind = Event::kGarbled;
                event.frame.swap(buffer_);
                buffer_.assign(1, static_cast<char>(kStx));
                state_ = State::kInFrame;
            } else {
                event.kind = Event::kGarbled;
                buffer_.push_back(static_cast<char>(kDle));
                buffer_.push_back(static_cast<char>(byte));
                event.frame.swap(buffer_);
                state_ = State::kHunt;
            }
            break;
    }
    if (state_ == State::kInFrame && buffer_.size() > 0xFFFF) {
        event.kind = Event::kGarbled;
        event.frame.swap(buffer_);
        state_ = State::kHunt;
    }
    return event;
}

void WireDecoder::Reset()
{
    state_ = State::kHunt;
    buffer_.clear();
}

std::string HexBytes(std::string_view bytes)
{
    std::string out;
    char buf[8];
    for (char c : bytes) {
        std::snprintf(buf, sizeof buf, out.empty() ? "0x%02X" : " 0x%02X", static_cast<uint8_t>(c));
        out += buf;
    }
    return out;
}

}  // namespace regsim
