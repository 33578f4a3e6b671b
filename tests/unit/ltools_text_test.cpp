// TLTools: texts to field widths, packed digits, decimal texts, EAN-13 and
// the Polish-letter code pages.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <string>
#include <tuple>

#include "LTools.h"
#include "thrown.h"

namespace {

// One character converted by glibc's iconv from UTF-8 to `charset`.
std::string Iconv(const char* charset, const std::string& utf8)
{
    iconv_t cd = iconv_open(charset, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return "<no " + std::string(charset) + ">";
    char out[16] = {};
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* o = out;
    size_t outLeft = sizeof out;
    const size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1)) return "<unconvertible>";
    return std::string(out, sizeof out - outLeft);
}

// The 18 letters in the table's column order, as UTF-8 (this file's own
// literals are code page 1250, so they are spelt in bytes).
const char* const PolishUtf8[18] = {"\xC4\x84", "\xC4\x86", "\xC4\x98", "\xC5\x81", "\xC5\x83", "\xC3\x93",
                                    "\xC5\x9A", "\xC5\xBB", "\xC5\xB9", "\xC4\x85", "\xC4\x87", "\xC4\x99",
                                    "\xC5\x82", "\xC5\x84", "\xC3\xB3", "\xC5\x9B", "\xC5\xBC", "\xC5\xBA"};

AnsiString Convert(int from, int to, AnsiString text)
{
    TLTools t;
    t.pltype_in = from;
    t.pltype_out = to;
    t.plstring(text);
    return text;
}

}  // namespace

TEST(LToolsText, StrSizePadsOrCutsInPlaceAndStrMaxCutsAndMarks)
{
    const struct {
        const char* text;
        int size;
        char pad;
        e_just fill, cut;
        const char* sized;
    } cases[] = {{"7", 3, '0', left, left, "007"},   {"12345", 3, '0', left, left, "345"},
                 {"12345", 3, '0', left, right, "123"}, {"ab", 4, ' ', right, right, "ab  "},
                 {"abc", 3, ' ', right, right, "abc"},  {"abc", -2, ' ', right, right, ""}};
    for (const auto& c : cases) {
        AnsiString s = c.text;
        EXPECT_EQ(TLTools::StrSize(s, c.size, c.pad, c.fill, c.cut), c.sized) << c.text << " " << c.size;
        EXPECT_EQ(s, c.sized);
    }
    EXPECT_EQ(TLTools::StrSize(TLTools::StrMax("Ser żółty bardzo długi", 16, true), 16, ' ', right, right),
              "Ser \xBF\xF3\xB3ty bar...");
    const AnsiString ten = "0123456789";
    const std::tuple<int, bool, const char*> maxCases[] = {{8, true, "01234..."},   {3, true, "012"},
                                                           {4, true, "0..."},       {8, false, "01234567"},
                                                           {10, true, ten.c_str()}, {-1, true, ""}};
    for (const auto& [size, mark, cut] : maxCases) EXPECT_EQ(TLTools::StrMax(ten, size, mark), cut) << size;
    EXPECT_EQ(ten, "0123456789");
}

TEST(LToolsText, PackedDigitsBothWays)
{
    uint8_t packed[6] = {};
    TLTools::Dec2Bin("000001234599", packed, 6);
    const uint8_t want[6] = {0x00, 0x00, 0x01, 0x23, 0x45, 0x99};
    EXPECT_EQ(std::memcmp(packed, want, 6), 0);
    char digits[13];
    std::memset(digits, '#', sizeof digits);
    TLTools::Bin2Dec(packed, digits, 6);
    EXPECT_EQ(std::string(digits, 12), "000001234599");
    EXPECT_EQ(digits[12], '#');  // no terminating zero
    for (int v = 0; v < 100; ++v) {
        const std::string two = Format("%02d", v);
        uint8_t b = 0;
        TLTools::Dec2Bin(two.c_str(), &b, 1);
        ASSERT_EQ(b, (v / 10) * 16 + v % 10);
        char back[2];
        TLTools::Bin2Dec(&b, back, 1);
        ASSERT_EQ(std::string(back, 2), two);
    }
    const uint8_t odd = 0x1A;
    char c[2];
    TLTools::Bin2Dec(&odd, c, 1);
    EXPECT_EQ(std::string(c, 2), "1:");
    EXPECT_EQ(TLTools::Hex2BinDigit("1A"), 0x1A);
    EXPECT_EQ(TLTools::Hex2BinDigit("FF"), 0xFF);
}

TEST(LToolsText, Str2IntIsExactAndRefusesWhatDoesNotFit)
{
    // Read to ten places first, then scaled and rounded half away from zero.
    const std::tuple<const char*, unsigned, int32_t> exact[] = {
        {"12.35", 2, 1235},         {"-0.285", 2, -29},           {"1.005", 2, 101},
        {"5", 2, 500},              {" 7 ", 0, 7},                {"2.5", 0, 3},
        {"0.00000000005", 10, 1},   {"0", 4000000000u, 0},         {"2147483647", 0, INT32_MAX},
        {"-2147483648", 0, INT32_MIN}, {"21474836.47", 2, INT32_MAX}};
    for (const auto& [text, decimals, value] : exact) EXPECT_EQ(TLTools::Str2Int(text, decimals), value) << text;
    const std::pair<const char*, unsigned> refused[] = {{"2147483648", 0}, {"21474836.475", 2}, {"-2147483649", 0},
                                                        {"1", 20},         {"1", 4000000000u}, {"abc", 2},
                                                        {"", 2}};
    for (const auto& [text, decimals] : refused) EXPECT_THROW(TLTools::Str2Int(text, decimals), Exception) << text;
    EXPECT_EQ(testutil::Thrown([&] { TLTools::Str2Int("99999999999", 0); }),
              "Liczba \"99999999999\" poza zakresem 32 bit\xF3w");
}

TEST(LToolsText, VatTextsAndCopiesUpToAStop)
{
    const std::pair<const char*, int32_t> rates[] = {{"zw", -1}, {"23", 23}, {"0", 0}, {"-1", -1}};
    for (const auto& [text, rate] : rates) EXPECT_EQ(TLTools::Str2Vat(text), rate) << text;
    for (const char* text : {"ZW", "8.5", "", "23%"}) EXPECT_THROW(TLTools::Str2Vat(text), EConvertError) << text;

    const std::tuple<const char*, const char*, int, const char*> copies[] = {
        {"ab;cd,ef", ";,", 1, "ab"}, {"ab;cd,ef", ";,", 4, "cd"}, {"ab;cd,ef", ";", 4, "cd,ef"}, {"ab;cd", ";", 3, ""},
        {"abc", ";", 0, "abc"},      {"abc", ";", 4, ""},         {"abc", "", 2, "bc"}};
    for (const auto& [src, stops, start, expected] : copies) {
        AnsiString out = "old";
        EXPECT_EQ(TLTools::CopyTill(src, out, stops, start), expected) << src << " " << start;
        EXPECT_EQ(out, expected);
    }
}

TEST(LToolsText, Ean13CheckDigitsAndLeadingZerosDownToWhatMustBeKept)
{
    const auto corrected = [](AnsiString code) {
        TLTools::KorygujCyfreKontrolnaEAN13(code);
        return code;
    };
    EXPECT_EQ(corrected("590123412345"), "5901234123457");
    EXPECT_EQ(corrected("400638133393"), "4006381333931");
    EXPECT_EQ(corrected("12-34"), "1234000000008");
    // A wrong check digit and anything after it is replaced.
    EXPECT_EQ(corrected("59012341234509"), "5901234123457");
    EXPECT_EQ(corrected(""), "0000000000000");
    const std::tuple<const char*, int, const char*> cases[] = {{"000777", 0, "777"}, {"000", 0, ""}, {"000", 1, "0"},
                                                               {"0012", 1, "12"},    {"0012", 3, "012"}, {"", 1, ""},
                                                               {"1200", 0, "1200"}};
    for (const auto& [code, keep, stripped] : cases) EXPECT_EQ(TLTools::BezZerWiodacych(code, keep), stripped) << code;
}

TEST(LToolsText, CodePageTableAgreesWithIconv)
{
    for (int col = 0; col < 18; ++col) {
        const std::string cp1250 = Iconv("CP1250", PolishUtf8[col]);
        const std::string cp852 = Iconv("IBM852", PolishUtf8[col]);
        ASSERT_EQ(cp1250.size(), 1u) << col;
        ASSERT_EQ(cp852.size(), 1u) << col;
        EXPECT_EQ(Convert(2, 0, cp1250), cp852) << "column " << col;
        EXPECT_EQ(Convert(0, 2, cp852), cp1250) << "column " << col;
    }
    EXPECT_EQ(Convert(2, 0, "\xB3"), "\x88");
}

TEST(LToolsText, PlstringLeavesOtherBytesKeepsTheFirstColumnAndRefusesARowOutsideTheTable)
{
    AnsiString all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const AnsiString converted = Convert(2, 0, all);
    const AnsiString letters = "\xA5\xC6\xCA\xA3\xD1\xD3\x8C\xAF\x8F\xB9\xE6\xEA\xB3\xF1\xF3\x9C\xBF\x9F";
    for (int b = 0; b < 256; ++b) {
        if (letters.find(static_cast<char>(b)) != AnsiString::npos) continue;
        ASSERT_EQ(converted[static_cast<size_t>(b)], static_cast<char>(b)) << b;
    }
    EXPECT_EQ(Convert(2, 6, "Żółć ŹŻ"), "Zolc ZZ");
    EXPECT_EQ(Convert(6, 2, "Z"), "\xAF");  // Ż, the first column that writes "Z"
    EXPECT_EQ(Convert(2, 2, "zażółć"), "za\xBF\xF3\xB3\xE6");
    AnsiString s = "ł";
    TLTools t;
    EXPECT_EQ(t.plstring(s), "\xB3");
    for (int row : {-1, 14, 1000}) {
        t.pltype_in = row;
        t.pltype_out = 0;
        EXPECT_THROW(t.plstring(s), Exception) << row;
        t.pltype_in = 2;
        t.pltype_out = row;
        EXPECT_THROW(t.plstring(s), Exception) << row;
        EXPECT_EQ(s, "\xB3");
    }
}

