#include "cbframe.h"

#include <gtest/gtest.h>

#include <tuple>

#include "cbdata.h"
#include "testutil.h"
#include "thrown.h"

namespace {
using Bytes = std::string;
using testutil::Hex;

// CASHREGSTATUSGET (501), token 7, no fields: built by hand from the frame
// table, checksum computed separately.
const Bytes kStatusPlain = Hex({0x02, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0xF5, 0x01, 0x6B,
                                0xFA, 0x03});
// The length 16 is 0x10, so it goes out doubled.
const Bytes kStatusWire = Hex({0x10, 0x02, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x10, 0x10, 0x00, 0x00, 0x00, 0xF5,
                               0x01, 0x6B, 0xFA, 0x10, 0x03});
// Its repeated sending: flags 0x10 (doubled too) and a new checksum.
const Bytes kStatusRetryWire = Hex({0x10, 0x02, 0x10, 0x10, 0x00, 0x07, 0x00, 0x00, 0x00, 0x10, 0x10, 0x00, 0x00,
                                    0x00, 0xF5, 0x01, 0x3B, 0xCD, 0x10, 0x03});

struct RxResult {
    TComboRxEvent event = cbrxMore;
    size_t consumed = 0;
    Bytes packet;
    Bytes noise;  // each byte reported as noise
    size_t skipped = 0;
};

// Pushes bytes until a frame or an overflow ends the frame, noise included;
// with runs, what PushData takes of the rest goes at once, as the exchange
// takes bytes already read in.
RxResult Take(const Bytes& wire, bool runs)
{
    TComboReceiver rx;
    rx.Reset();
    RxResult r;
    const auto* bytes = reinterpret_cast<const uint8_t*>(wire.data());
    while (r.consumed < wire.size()) {
        const size_t taken = runs ? rx.PushData(bytes + r.consumed, wire.size() - r.consumed) : 0;
        r.consumed += taken;
        if (taken > 0) continue;
        r.event = rx.Push(bytes[r.consumed++]);
        if (r.event == cbrxNoise) r.noise.push_back(static_cast<char>(rx.NoiseByte()));
        if (r.event != cbrxMore && r.event != cbrxNoise) break;
    }
    r.packet = rx.Packet();
    r.skipped = rx.Skipped();
    return r;
}

// Byte by byte, and the same in runs.
RxResult Receive(const Bytes& wire)
{
    const RxResult r = Take(wire, false), inRuns = Take(wire, true);
    EXPECT_EQ(std::tie(inRuns.event, inRuns.consumed, inRuns.packet, inRuns.noise, inRuns.skipped),
              std::tie(r.event, r.consumed, r.packet, r.noise, r.skipped));
    return r;
}
}  // namespace

TEST(ComboFrame, CommandWithoutFieldsIsTheSixteenByteFrameAndItsRepetition)
{
    AnsiString plain = ComboInitPacket(7, 501);
    ComboInsertFldNum(plain, 0);
    ComboInsertFLen(plain);
    ComboInsertCRC(plain);
    EXPECT_EQ(plain, kStatusPlain);
    EXPECT_EQ(ComboInsertSYN(plain), kStatusWire);
    EXPECT_EQ(ComboBuildPacket(7, 501, 0, nullptr), kStatusWire);
    EXPECT_EQ(ComboUnstuff(kStatusWire), kStatusPlain);

    // The repeated sending differs only in its flags and its checksum.
    AnsiString wire = kStatusWire;
    ComboInsertRetryFlag(wire);
    EXPECT_EQ(wire, kStatusRetryWire);
    // A second repetition leaves it as it is.
    ComboInsertRetryFlag(wire);
    EXPECT_EQ(wire, kStatusRetryWire);
}

TEST(ComboFrame, TokenAndChecksumBytesOf0x10GoOutDoubled)
{
    // Token 0x1010: both of its 0x10 bytes doubled.
    EXPECT_EQ(ComboBuildPacket(0x1010, 501, 0, nullptr),
              Hex({0x10, 0x02, 0x00, 0x00, 0x10, 0x10, 0x10, 0x10, 0x00, 0x00, 0x10, 0x10, 0x00, 0x00, 0x00, 0xF5,
                   0x01, 0xF9, 0x21, 0x10, 0x03}));
    // Token 112 gives a checksum whose low byte is 0x10.
    EXPECT_EQ(ComboBuildPacket(112, 501, 0, nullptr),
              Hex({0x10, 0x02, 0x00, 0x00, 0x70, 0x00, 0x00, 0x00, 0x10, 0x10, 0x00, 0x00, 0x00, 0xF5, 0x01, 0x10,
                   0x10, 0x39, 0x10, 0x03}));
}

TEST(ComboFrame, FieldsGoBeforeTheChecksumWithTheirCountAndLength)
{
    // PLUREAD (2110), token 42, one 'S' field holding the bytes 10 03.
    const AnsiString field = ComboDataS(Hex({0x10, 0x03}));
    const Bytes wire = Hex({0x10, 0x02, 0x00, 0x00, 0x2A, 0x00, 0x00, 0x00, 0x14, 0x00, 0x01, 0x00, 0x3E, 0x08, 0x53,
                            0x10, 0x10, 0x03, 0x00, 0xC3, 0xAB, 0x10, 0x03});
    EXPECT_EQ(ComboBuildPacket(42, 2110, 1, &field), wire);

    // On the way back the doubled 0x10 before 03 is data, not the end.
    RxResult r = Receive(wire);
    EXPECT_EQ(r.event, cbrxFrame);
    EXPECT_EQ(r.consumed, wire.size());
    EXPECT_EQ(r.packet, ComboUnstuff(wire));
    TComboDataSet set;
    ASSERT_EQ(ComboParsePacket(r.packet, 42, set, nullptr), 2110);
    ASSERT_EQ(set.Count(), 1);
    EXPECT_EQ(set[0].AsS(), Hex({0x10, 0x03}));
}

TEST(ComboFrame, FieldBuildersEncodeLittleEndianAndBcdInTensComplement)
{
    EXPECT_EQ(ComboDataB(0x10), Hex({'B', 0x10}));
    EXPECT_EQ(ComboDataV(0x1234), Hex({'V', 0x34, 0x12}));
    EXPECT_EQ(ComboDataL(0x12345678u), Hex({'L', 0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(ComboDataN(0), Hex({'N', 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(ComboDataN(100), Hex({'N', 0, 0, 0, 0, 0x01, 0x00}));
    EXPECT_EQ(ComboDataN(123456789), Hex({'N', 0x00, 0x01, 0x23, 0x45, 0x67, 0x89}));
    EXPECT_EQ(ComboDataS("abc"), Hex({'S', 'a', 'b', 'c', 0}));
    EXPECT_EQ(ComboDataS(""), Hex({'S', 0}));
    // cp1250 text passes unchanged.
    EXPECT_EQ(ComboDataS("ł"), Hex({'S', 0xB3, 0}));
    // Negative numbers go out in ten's complement.
    EXPECT_EQ(ComboDataN(-1), Hex({'N', 0x99, 0x99, 0x99, 0x99, 0x99, 0x99}));
    EXPECT_EQ(ComboDataN(-100), Hex({'N', 0x99, 0x99, 0x99, 0x99, 0x99, 0x00}));
    // 10^12 - 2147483648 = 997852516352
    EXPECT_EQ(ComboDataN(INT32_MIN), Hex({'N', 0x99, 0x78, 0x52, 0x51, 0x63, 0x52}));
}

TEST(ComboFrame, BcdPacksPaddedOrCutDigits)
{
    EXPECT_EQ(ComboValueToBCD(7, 2), Hex({0x00, 0x07}));
    // A text longer than the field keeps its first digits.
    EXPECT_EQ(ComboValueToBCD(12345, 2), Hex({0x12, 0x34}));
    int64_t v = -5;
    const Bytes twelveNines = Hex({0x99, 0x99, 0x99, 0x99, 0x99, 0x99});
    ASSERT_TRUE(ComboBCDToValue(reinterpret_cast<const uint8_t*>(twelveNines.data()), 6, v));
    EXPECT_EQ(v, 999999999999LL);
    const Bytes badNibble = Hex({0x1A});
    EXPECT_FALSE(ComboBCDToValue(reinterpret_cast<const uint8_t*>(badNibble.data()), 1, v));
}

TEST(ComboFrame, CommandTooLongForTheLengthFieldIsRefused)
{
    const AnsiString big = ComboDataS(AnsiString(65535, 'x'));
    EXPECT_THROW(ComboBuildPacket(1, 2100, 1, &big), Exception);
    // The largest frame that fits still goes.
    const AnsiString fits = ComboDataS(AnsiString(65535 - 16 - 2, 'x'));
    EXPECT_EQ(ComboUnstuff(ComboBuildPacket(1, 2100, 1, &fits)).size(), 65535u);
}

TEST(ComboReceiver, TakesAFrameWithOrWithoutTheLeadingEscape)
{
    // The first byte 0x02 without 0x10 is accepted.
    for (const Bytes& wire : {kStatusWire, kStatusWire.substr(1)}) {
        EXPECT_EQ(Receive(wire).event, cbrxFrame);
        EXPECT_EQ(Receive(wire).packet, kStatusPlain);
    }
}

TEST(ComboReceiver, DoubledBytesOfHeaderAndChecksumComeBackSingle)
{
    // Token 0x1010 and token 112 (checksum low byte 0x10), first and repeated
    // sendings: every wire form decodes to its plain frame, which checks.
    for (uint32_t token : {0x1010u, 112u}) {
        AnsiString wire = ComboBuildPacket(token, 501, 0, nullptr);
        for (int sending = 0; sending < 2; ++sending) {
            const RxResult r = Receive(wire);
            EXPECT_EQ(r.event, cbrxFrame) << token;
            EXPECT_EQ(r.consumed, wire.size()) << token;
            ASSERT_EQ(r.packet.size(), 16u) << token;
            EXPECT_EQ(ComboGetU32(r.packet, CB_OFS_TOKEN), token);
            EXPECT_EQ(static_cast<uint8_t>(r.packet[CB_OFS_FLAGS]), sending ? CB_RETRY_FLAG : 0);
            EXPECT_EQ(ComboStoredCRC(r.packet), ComboComputeCRC(r.packet)) << token;
            ComboInsertRetryFlag(wire);
        }
    }
}

TEST(ComboReceiver, PassesOverNoiseBeforeAFrameAndStopsAtTheLongestFrame)
{
    // Line noise before the frame: stray bytes, a 0x10 that starts nothing,
    // and frame starts that came to nothing, bare or escaped.
    const std::tuple<Bytes, Bytes, size_t> cases[] = {  // noise, bytes reported as noise, bytes passed over
        {Hex({0x55}), Hex({0x55}), 1},
        {Hex({0x10, 0x55, 0x03}), Hex({0x55, 0x03}), 2},
        {Hex({0x10, 0x10}), Hex({0x10}), 1},
        {Hex({0x02, 0x41, 0x03}), "", 3},
        {Hex({0xFF, 0x10, 0x02, 0x41, 0x10, 0x10}), Hex({0xFF}), 4},
    };
    for (const auto& [noise, reported, skipped] : cases) {
        const RxResult r = Receive(noise + kStatusWire);
        EXPECT_EQ(r.event, cbrxFrame) << testing::PrintToString(noise);
        EXPECT_EQ(r.packet, kStatusPlain) << testing::PrintToString(noise);
        EXPECT_EQ(r.noise, reported) << testing::PrintToString(noise);
        EXPECT_EQ(r.skipped, skipped) << testing::PrintToString(noise);
    }

    RxResult r = Receive(Hex({0x10, 0x02}) + Bytes(70000, 'A'));
    EXPECT_EQ(r.event, cbrxOverflow);
    EXPECT_EQ(r.packet.size(), CB_MAX_FRAME_SIZE);
    EXPECT_EQ(r.consumed, CB_MAX_FRAME_SIZE + 1);
    // Noise without end is cut the same way.
    r = Receive(Bytes(70000, 'A'));
    EXPECT_EQ(r.event, cbrxOverflow);
    EXPECT_EQ(r.consumed, CB_MAX_FRAME_SIZE);
}

TEST(ComboReceiver, PlainEtxIsDataAndOnlyTheEscapedOneEnds)
{
    // 02 .. 03 .. 10 03: the plain 03 is data.
    RxResult r = Receive(Hex({0x10, 0x02, 0x03, 0x03, 0x03, 0x03, 0x10, 0x03}));
    EXPECT_EQ(r.event, cbrxFrame);
    EXPECT_EQ(r.packet, Hex({0x02, 0x03, 0x03, 0x03, 0x03, 0x03}));
    // An escaped ETX within the first four bytes does not end a frame.
    r = Receive(Hex({0x10, 0x02, 0x10, 0x03, 0x00}));
    EXPECT_EQ(r.event, cbrxMore);
}

namespace {
// A valid answer (token 1, code 2110) around the given field bytes and count.
Bytes Answer(const Bytes& fields, uint16_t count)
{
    AnsiString f = ComboInitPacket(1, 2110);
    ComboInsertFields(f, fields);
    ComboInsertFldNum(f, count);
    ComboInsertFLen(f);
    ComboInsertCRC(f);
    return f;
}

void ExpectParseRefused(const Bytes& frame, const char* text)
{
    TComboDataSet set;
    ASSERT_EQ(ComboParsePacket(Answer(Hex({'B', 1}), 1), 1, set, nullptr), 2110);
    EXPECT_EQ(testutil::Thrown([&] { ComboParsePacket(frame, 1, set, nullptr); }), text);
    EXPECT_EQ(set.Count(), 0);
}
}  // namespace

TEST(ComboParse, MalformedFieldListsAreRefusedNotReadPastTheFrame)
{
    ExpectParseRefused(Answer(Hex({'X', 1}), 1), "TComboDataSet::ParseFromPacket() - niewłaściwy typ pola DATA");
    // More fields than the set holds.
    Bytes many;
    for (int i = 0; i < 61; ++i) many += Hex({'B', i});
    ExpectParseRefused(Answer(many, 61), "TComboDataSet::ParseFromPacket() - za dużo pól DATA");
    // Count larger than the fields present; a field cut by the checksum; an 'S' without NUL.
    ExpectParseRefused(Answer(Hex({'B', 1}), 2), "TComboDataSet::ParseFromPacket() - pole DATA poza ramką");
    ExpectParseRefused(Answer(Hex({'L', 1, 2}), 1), "TComboDataSet::ParseFromPacket() - pole DATA poza ramką");
    ExpectParseRefused(Answer(Hex({'S', 'a', 'b'}), 1), "TComboDataSet::ParseFromPacket() - pole DATA poza ramką");
    // Sixty fields fit; extra bytes after the counted fields are not read.
    TComboDataSet set;
    Bytes sixty;
    for (int i = 0; i < 60; ++i) sixty += Hex({'B', i});
    EXPECT_EQ(ComboParsePacket(Answer(sixty + "junk", 60), 1, set, nullptr), 2110);
    EXPECT_EQ(set.Count(), 60);
    EXPECT_EQ(set[59].AsB(), 59);
    // Too short to hold a token and a checksum: no answer. Another command's
    // token or a bad checksum is pinned by the exchange's tests.
    EXPECT_EQ(ComboParsePacket(Hex({0x02, 0x00, 0x00, 0x07, 0x03}), 7, set, nullptr), -1);
}
