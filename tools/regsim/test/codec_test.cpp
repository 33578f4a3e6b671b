#include <gtest/gtest.h>

#include "charset.h"
#include "testutil.h"
#include "wire_codec.h"

using namespace regsim;
using testutil::Hex;

namespace {

// Feeds a whole stream; returns the frames and the bytes outside them.
std::vector<std::string> Decode(const std::string& wire, std::string* outside = nullptr, int* garbled = nullptr)
{
    WireDecoder d;
    std::vector<std::string> frames;
    for (char c : wire) {
        WireDecoder::Event ev = d.Feed(static_cast<uint8_t>(c));
        if (ev.kind == WireDecoder::Event::kFrame) frames.push_back(ev.frame);
        if (ev.kind == WireDecoder::Event::kOutsideByte && outside) outside->push_back(static_cast<char>(ev.byte));
        if (ev.kind == WireDecoder::Event::kGarbled && garbled) ++*garbled;
    }
    return frames;
}

}  // namespace

// A frame's exact bytes are pinned by the driver's frame tests; its exchange
// tests compare the driver's frames with the ones this codec builds.
TEST(Stuffing, DoublesEveryDleButLeavesInnerStxEtxAlone)
{
    const Frame f{0, 0x10101010, 0x0310,
                  {Field::B(0x10), Field::B(0x02), Field::B(0x03), Field::S("\x10\x03"), Field::V(65534),
                   Field::L(4000000000u), Field::N(-5), Field::N(499999999999), Field::S("\xB3\xF3")}};
    const std::string plain = BuildFrame(f);
    const std::string wire = Stuff(plain);
    size_t dles = 0;
    for (char c : plain) dles += c == 0x10;
    EXPECT_EQ(wire.size(), plain.size() + dles + 2);
    EXPECT_EQ(wire.substr(0, 2), Hex({0x10, 0x02}));
    EXPECT_EQ(wire.substr(wire.size() - 2), Hex({0x10, 0x03}));
    const std::vector<std::string> frames = Decode(wire);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], plain);
    const ParsedFrame back = ParseFrame(frames[0]);
    EXPECT_EQ(back.error, "");
    EXPECT_TRUE(back.checksumOk);
    EXPECT_EQ(back.frame.token, 0x10101010u);
    EXPECT_EQ(back.frame.code, 0x0310);
    EXPECT_EQ(back.frame.fields, f.fields);
}

TEST(Decoder, SeesBytesBetweenFramesAndRecoversFromGarbage)
{
    const std::string wire = Stuff(BuildFrame({0, 2, 20, {}}));
    std::string outside;
    int garbled = 0;
    // Multiplexer selection, a frame, a stray byte, an escape with a wrong
    // follower, a frame cut by a new STX, and a whole frame.
    const std::string stream =
        Hex({0xFE, 0x02}) + wire + Hex({0x06}) + Hex({0x10, 0x41}) + wire.substr(0, 6) + wire;
    const std::vector<std::string> frames = Decode(stream, &outside, &garbled);
    EXPECT_EQ(frames.size(), 2u);
    EXPECT_EQ(outside, Hex({0xFE, 0x02, 0x06}));
    EXPECT_EQ(garbled, 2);
}

TEST(Parse, NamesWhatIsWrongWithAMalformedFrame)
{
    Frame f{0, 1, 2910, {Field::V(2)}};
    const std::string good = BuildFrame(f);

    EXPECT_NE(ParseFrame(CorruptChecksum(good)).error.find("bad checksum"), std::string::npos);
    EXPECT_FALSE(ParseFrame(CorruptChecksum(good)).checksumOk);
    EXPECT_FALSE(ParseFrame(good.substr(0, 15)).headerRead);

    // Count says two fields, the frame holds one.
    std::string wrongCount = good;
    wrongCount[9] = 2;
    EXPECT_NE(ParseFrame(wrongCount).error.find("field count 2"), std::string::npos);

    // Unknown type letter, a text without NUL, a number field cut short: each
    // built as raw bytes with a correct checksum.
    for (const std::string& raw : {Hex({'X', 1}), Hex({'S', 'a', 'b'}), Hex({'L', 1, 2})}) {
        f.fields = {Field::Raw(raw)};
        const ParsedFrame p = ParseFrame(BuildFrame(f));
        EXPECT_TRUE(p.checksumOk);
        EXPECT_NE(p.error.find("field 0:"), std::string::npos) << p.error;
    }
    f.fields = {Field::Raw(Hex({'N', 0, 0, 0, 0, 0, 0x1A}))};
    EXPECT_NE(ParseFrame(BuildFrame(f)).error.find("digit above 9"), std::string::npos);

    std::string wrongLength = good;
    wrongLength[7] = 40;
    EXPECT_NE(ParseFrame(wrongLength).error.find("length field 40"), std::string::npos);
}

// Polish letters both ways and a character without a cp1250 byte are pinned
// through the journal and the scenario's checks.
TEST(Charset, AByteWithoutACharacterBecomesTheReplacementCharacter)
{
    EXPECT_EQ(Cp1250ToUtf8(Hex({'a', 0x98, 'b'})),
              "a\xEF\xBF\xBD"
              "b");
}
