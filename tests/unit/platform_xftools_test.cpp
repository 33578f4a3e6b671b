#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <tuple>

#include "thrown.h"
#include "xftools.h"

namespace {
AnsiString Rounded(const char* text, int decimals)
{
    return TxfTools().FromString(text, 10).Round(decimals).ToString(0, decimals);
}
}  // namespace

TEST(Decimal, RoundsHalfAwayFromZeroExactly)
{
    // -0.004 gives no negative zero.
    const std::tuple<const char*, int, const char*> cases[] = {
        {"0.285", 2, "0.29"}, {"-0.285", 2, "-0.29"},      {"1.005", 2, "1.01"},       {"2.5", 0, "3"},
        {"-2.5", 0, "-3"},    {"2.4999999999", 0, "2"}, {"999.995", 2, "1000.00"}, {"-0.004", 2, "0.00"}};
    for (const auto& [text, decimals, rounded] : cases) EXPECT_EQ(Rounded(text, decimals), rounded) << text;
}

TEST(Decimal, DoublesKeepTheirShortestDecimal)
{
    // 0.285 as a double is 0.28499999999999998: binary rounding would give 0.28.
    EXPECT_EQ(TxfTools(0.285).Round(2).Value(), 0.29);
    EXPECT_EQ(TxfTools(1999.0 * 0.5).Round(0).Value(), 1000.0);
    EXPECT_EQ(TxfTools(-1.5).Round(0).Value(), -2.0);
    EXPECT_EQ(TxfTools(0.1).ToString(0, 18), "0.100000000000000000");
    for (double v : {0.1, 123.456, -7.25, 1e-7, 98765432.125, 0.0})
        EXPECT_EQ(TxfTools(v).Value(), v) << v;
    EXPECT_THROW(TxfTools(std::numeric_limits<double>::quiet_NaN()), Exception);
    EXPECT_THROW(TxfTools(std::numeric_limits<double>::infinity()), Exception);
    EXPECT_THROW(TxfTools(1e19), Exception);
}

TEST(Decimal, ReadsPlainDecimalTextsOnly)
{
    TxfTools x;
    for (const auto& [text, value] : {std::pair{" +1.5 ", 1.5}, {"12.", 12.0}, {".5", 0.5}, {"-007", -7.0}})
        EXPECT_EQ(x.FromString(text, 10).Value(), value) << text;
    EXPECT_EQ(x.FromString("1,5", 10, true).Value(), 1.5);
    x.FromString("42", 0);
    for (const char* bad : {"", " ", "-", ".", "abc", "1e5", "1.2.3", "1,5", "12 3", "0x10", "--1"}) {
        EXPECT_THROW(x.FromString(bad, 10), Exception) << bad;
        EXPECT_EQ(x.Value(), 42.0) << "a failed read must leave the number";
    }
    EXPECT_EQ(testutil::Thrown([&] { x.FromString("12zł", 2); }), "Nieprawid\xB3owy zapis liczby: \"12z\xB3\"");
}

TEST(Decimal, ExtraPlacesAreRoundedAtTheLimitOfEighteenWholeDigits)
{
    TxfTools x;
    EXPECT_EQ(x.FromString("1.23456", 2).ToString(0, 5), "1.23000");
    EXPECT_EQ(x.FromString("1.235", 2).ToString(0, 2), "1.24");
    EXPECT_EQ(x.FromString("0.1234567890123456789012", 10).ToString(0, 12), "0.123456789000");
    EXPECT_EQ(x.FromString("0.99999999999", 10).ToString(0, 10), "1.0000000000");
    EXPECT_EQ(x.Scale(), 10);
    EXPECT_EQ(x.FromString("999999999999999999.999999999", 9).ToString(0, 9), "999999999999999999.999999999");
    EXPECT_THROW(x.FromString("1000000000000000000", 0), Exception);
    EXPECT_THROW(x.FromString("123456789012345678901234567890123456789012345", 0), Exception);
    EXPECT_THROW(x.FromString("999999999999999999.9", 0), Exception);
}

TEST(Decimal, WidthPadsOnTheLeftAndPowersOfTenAreExact)
{
    TxfTools x;
    x.FromString("23", 10);
    EXPECT_EQ(x.ToString(2, 2), "23.00");
    EXPECT_EQ(x.ToString(8, 2), "   23.00");
    EXPECT_EQ(x.ToString(0, 0), "23");
    x.FromString("-5.5", 10);
    EXPECT_EQ(x.ToString(6, 1), "  -5.5");
    EXPECT_EQ(x.ToString(0, 0), "-6");
    EXPECT_EQ(x.FromString("1.5", 10).MulPow10(2).ToString(0, 0), "150");
    EXPECT_EQ(x.Scale(), 0);
    EXPECT_EQ(x.FromString("0.285", 10).MulPow10(2).ToString(0, 3), "28.500");
    // Trailing zeros count in the scale, not in the range.
    EXPECT_EQ(x.FromString("12.5000000000", 10).MulPow10(2).ToString(0, 0), "1250");
    EXPECT_EQ(x.FromString("12345", 10).MulPow10(-3).ToString(0, 3), "12.345");
    EXPECT_EQ(x.FromString("5", 10).MulPow10(-19).ToString(0, 18), "0.000000000000000001");
    EXPECT_EQ(x.FromString("1", 10).MulPow10(17).ToString(0, 0), "100000000000000000");
    EXPECT_THROW(x.FromString("10", 10).MulPow10(17), Exception);
    EXPECT_EQ(x.FromString("0", 10).MulPow10(1000).ToString(0, 0), "0");
}

TEST(Decimal, IgnoresACommaDecimalLocale)
{
    const char* old = setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    if (!setlocale(LC_ALL, "pl_PL.UTF-8") && !setlocale(LC_ALL, "pl_PL.utf8"))
        GTEST_SKIP() << "no Polish locale installed";
    TxfTools x;
    const double read = x.FromString("12.5", 10).Value();
    const AnsiString written = x.ToString(0, 2) + " " + TxfTools(0.25).ToString(0, 2);
    const AnsiString comma = testutil::Thrown([&] { x.FromString("12,5", 10); });
    setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(read, 12.5);
    EXPECT_EQ(written, "12.50 0.25");
    EXPECT_NE(comma, testutil::kNothingThrown);
}
