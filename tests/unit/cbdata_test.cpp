#include <gtest/gtest.h>

#include <cstring>

#include "cbdata.h"
#include "mlgexttools.h"
#include "testutil.h"
#include "thrown.h"

namespace {
using Bytes = std::string;
using testutil::Hex;
using testutil::Thrown;

TComboData Field(const Bytes& raw)
{
    TComboData d;
    d.Set(raw, nullptr);
    return d;
}

// A text tool that answers every key of one section with "<section>:<key>".
int EchoLookup(char* buffer, int size, const char* section, const char* key)
{
    if (std::strcmp(section, "velcombo_cbdata") != 0) return 0;
    snprintf(buffer, static_cast<size_t>(size), "%s:%s", section, key);
    return 1;
}
}  // namespace

TEST(ComboData, AccessorsReadTheirOwnTypeAndLengthAndTheReadableFormShowsValueAndHex)
{
    EXPECT_EQ(Field(Hex({'B', 0xFE})).AsB(), 0xFE);
    EXPECT_EQ(Field(Hex({'V', 0x34, 0x12})).AsV(), 0x1234);
    EXPECT_EQ(Field(Hex({'L', 0x78, 0x56, 0x34, 0x12})).AsL(), 0x12345678u);
    EXPECT_EQ(Field(Hex({'N', 0, 0, 0, 0, 1, 0})).AsN(), 100);
    EXPECT_EQ(Field(Hex({'N', 0x99, 0x99, 0x99, 0x99, 0x99, 0x99})).AsN(), -1);
    EXPECT_EQ(Field(Hex({'S', 'a', 'b', 'c', 0})).AsS(), "abc");
    EXPECT_EQ(Field(Hex({'S', 0})).AsS(), "");
    EXPECT_EQ(Field(Hex({'B', 0})).AsData(), Hex({'B', 0}));
    EXPECT_EQ(Field(Hex({'V', 0, 1})).Type(), 'V');
    EXPECT_EQ(Field(Hex({'B', 0x10})).AsString(), "16(0x10)");
    EXPECT_EQ(Field(Hex({'V', 0xFF, 0xFF})).AsString(), "65535(0xFFFF)");
    EXPECT_EQ(Field(Hex({'L', 1, 0, 0, 0x80})).AsString(), "2147483649(0x80000001)");
    EXPECT_EQ(Field(Hex({'N', 0, 0, 0, 0, 0x02, 0x55})).AsString(), "255(0x0000FF)");
    EXPECT_EQ(Field(Hex({'S', 'x', 0})).AsString(), "x");
}

TEST(ComboData, EveryRefusalHasItsOwnTextAndNumbersOutsideDigitsOr32BitsAreRefused)
{
    TComboData d;
    EXPECT_EQ(Thrown([&] { d.Set("", nullptr); }), "TComboData::Set() - puste pole DATA");
    EXPECT_EQ(Thrown([&] { d.Set("X1", nullptr); }), "TComboData::Set() - nieprawid\xB3owa warto\x9C\xE6 pola DATA");
    EXPECT_EQ(Thrown([&] { d.Type(); }), "TComboData::Type() - puste pole DATA");
    EXPECT_EQ(Thrown([&] { d.AsS(); }), "TComboData::AsS() - nieprawid\xB3owy typ pola DATA");
    EXPECT_EQ(Thrown([&] { Field(Hex({'B', 1, 2})).AsB(); }), "TComboData::AsB() - nieprawidłowy typ pola DATA");
    EXPECT_EQ(Thrown([&] { Field(Hex({'S', 1, 0})).AsV(); }), "TComboData::AsV() - nieprawidłowy typ pola DATA");
    EXPECT_EQ(Thrown([&] { Field(Hex({'V', 1, 0})).AsL(); }), "TComboData::AsL() - nieprawidłowy typ pola DATA");
    EXPECT_EQ(Thrown([&] { Field(Hex({'N', 1, 0})).AsN(); }), "TComboData::AsN() - nieprawidłowy typ pola DATA");
    EXPECT_EQ(Thrown([&] { Field(Hex({'B', 0})).AsS(); }), "TComboData::AsS() - nieprawidłowy typ pola DATA");
    // A refused Set keeps the field it had.
    d.Set(Hex({'B', 5}), nullptr);
    EXPECT_THROW(d.Set("Q", nullptr), Exception);
    EXPECT_EQ(d.AsB(), 5);
    const char* text = "TComboData::AsN() - nieprawidłowa wartość pola DATA";
    EXPECT_EQ(Thrown([] { Field(Hex({'N', 0, 0, 0, 0, 0, 0x0A})).AsN(); }), text);
    EXPECT_EQ(Thrown([] { Field(Hex({'N', 0, 0, 0, 0, 0, 0xA0})).AsN(); }), text);
    // 2147483648 and its negative counterpart minus one do not fit.
    EXPECT_EQ(Thrown([] { Field(Hex({'N', 0x00, 0x21, 0x47, 0x48, 0x36, 0x48})).AsN(); }), text);
    EXPECT_EQ(Field(Hex({'N', 0x00, 0x21, 0x47, 0x48, 0x36, 0x47})).AsN(), INT32_MAX);
    EXPECT_EQ(Field(Hex({'N', 0x99, 0x78, 0x52, 0x51, 0x63, 0x52})).AsN(), INT32_MIN);
    EXPECT_EQ(Thrown([] { Field(Hex({'N', 0x99, 0x78, 0x52, 0x51, 0x63, 0x51})).AsN(); }), text);
    // Either side of the ten's complement boundary is far outside 32 bits.
    EXPECT_EQ(Thrown([] { Field(Hex({'N', 0x49, 0x99, 0x99, 0x99, 0x99, 0x99})).AsN(); }), text);
    EXPECT_EQ(Thrown([] { Field(Hex({'N', 0x50, 0, 0, 0, 0, 0})).AsN(); }), text);
}

TEST(ComboDataSet, FieldsPastTheCountCannotBeRead)
{
    // Token 1, code 2110, two fields: B 7, V 0x0102.
    Bytes frame = Hex({0x02, 0, 0, 1, 0, 0, 0, 0, 0, 2, 0, 0x3E, 0x08, 'B', 7, 'V', 2, 1, 0, 0, 0x03});
    TComboDataSet set;
    set.ParseFromPacket(frame, nullptr);
    ASSERT_EQ(set.Count(), 2);
    EXPECT_EQ(set[0].AsB(), 7);
    EXPECT_EQ(set[1].AsV(), 0x0102);
    EXPECT_EQ(Thrown([&] { set[2].AsV(); }), "TComboData::AsV() - nieprawidłowy typ pola DATA");
    EXPECT_THROW(set[-1].AsB(), Exception);
    // After Clear the old fields are gone for readers as well.
    set.Clear();
    EXPECT_EQ(set.Count(), 0);
    EXPECT_THROW(set[0].AsB(), Exception);
}

TEST(ComboDataSet, TextsComeFromTheTextToolSectionWhenItHasThem)
{
    TMLgExtTools tool(nullptr, EchoLookup);
    TComboData d;
    d.Set(Hex({'S', 0}), &tool);
    EXPECT_EQ(Thrown([&] { d.AsB(); }), "velcombo_cbdata:AsB_type");
    TComboDataSet set;
    EXPECT_EQ(Thrown([&] { set.ParseFromPacket("short", &tool); }), "velcombo_cbdata:Parse_overrun");
    EXPECT_EQ(Thrown([&] { set[0].AsS(); }), "velcombo_cbdata:AsS_type");
}
