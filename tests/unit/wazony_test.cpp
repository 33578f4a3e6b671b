#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <tuple>
#include <vector>

#include "thrown.h"
#include "wazony.h"

namespace {
using testutil::Thrown;

TStringList Formats(std::vector<AnsiString> v)
{
    TStringList l;
    for (const auto& s : v) l.Add(s);
    return l;
}

TKodWazony Goods(const TStringList* formats, const AnsiString& prefix, const AnsiString& number)
{
    TKodWazony k(formats);
    k.Przedrostek = prefix;
    k.KodZZerami = number;
    return k;
}
}  // namespace

TEST(KodWazony, ComposesThePatternOfTheGoods)
{
    const TStringList formats = Formats({"21SSSSS?????K"});
    TKodWazony k = Goods(&formats, "21", "00123");
    EXPECT_EQ(k.Poskladaj("xxSSSSS?????K", nullptr), "2100123??????");
    EXPECT_EQ(k.FullZZerami, "2100123000000");
    // A goods number longer than its run is cut, not spilled into the next.
    k.KodZZerami = "1234567";
    EXPECT_EQ(k.Poskladaj("xxSSSSS?????K", nullptr), "2112345??????");
    EXPECT_EQ(k.FullZZerami, "2112345000000");
    // A short one gets zeros in front; so does a short prefix.
    k.Przedrostek = "7";
    k.KodZZerami = "000";
    EXPECT_EQ(k.Poskladaj("xxSSSSS?????K", nullptr), "0700000??????");
    // A check digit after a literal is zero; at the very start there is
    // nothing before it to look at.
    k.Przedrostek = "21";
    k.KodZZerami = "123";
    EXPECT_EQ(k.Poskladaj("xxSSSSS????0K", nullptr), "2100123????00");
    EXPECT_EQ(k.FullZZerami, "2100123000000");
    EXPECT_EQ(k.Poskladaj("KxxSSSSS????K", nullptr), "02100123?????");
    // A group run takes the group digits.
    k.Grupa = "7";
    EXPECT_EQ(k.Poskladaj("xxGGSSSS????K", nullptr), "21070123?????");
}

TEST(KodWazony, MalformedFormatsFailWithTheirMessages)
{
    const TStringList formats = Formats({"21SSSSS?????K"});
    TKodWazony k = Goods(&formats, "21", "123");
    const std::pair<const char*, const char*> cases[] = {
        {"xxSSSSS????K", "TKodWazony: nieprawidłowy format wcorca kodu"},
        {"xxSSSSS?????KK", "TKodWazony: nieprawidłowy format wcorca kodu"},
        {"xx00000?????K", "TKodWazony: brak cześci stałej \"S\" w formacie"},
        {"xxSSSSS000000", "TKodWazony: brak cze\x9C" "ci zmiennej \"?\" w formacie"}};  // code page 1250
    for (const auto& [format, error] : cases) EXPECT_EQ(Thrown([&] { k.Poskladaj(format, nullptr); }), error) << format;
}

TEST(KodWazony, WithoutFormatsEveryOperationButClearingFails)
{
    TKodWazony k(nullptr);
    const AnsiString msg = "TKodWazony: formaty wa\xBFone nie zainicjowane!";
    k.Czysc();
    EXPECT_EQ(Thrown([&] { k.Poskladaj("xxSSSSS?????K", nullptr); }), msg);
    EXPECT_EQ(Thrown([&] { k.NormalizujPelny("2100123456789", nullptr); }), msg);
    EXPECT_EQ(Thrown([&] { k.NormalizujNiepelny("2100123", nullptr); }), msg);
    EXPECT_EQ(Thrown([&] { k.Rozparsuj("2100123456789", nullptr); }), msg);
    EXPECT_EQ(Thrown([&] { k.ZnajdzFormat("2100123456789", nullptr); }), msg);
    // A list handed over takes the place of the missing one.
    const TStringList formats = Formats({"21SSSSS?????K"});
    EXPECT_EQ(k.ZnajdzFormat("2100123456789", nullptr, &formats), "21SSSSS?????K");
    EXPECT_EQ(k.formaty, &formats);
    EXPECT_EQ(k.NormalizujNiepelny("2100123", nullptr), "2100123??????");
}

TEST(KodWazony, NormalisesAFullCode)
{
    const TStringList formats = Formats({"22SSSSS?????K", "21SSSS??????K", "21SSSSSSS???K"});
    TKodWazony k(&formats);
    // No format of that prefix or length: unchanged.
    const std::pair<const char*, const char*> cases[] = {{"2101234567890", "210123???????"},
                                                         {"2201234567890", "2201234??????"},
                                                         {"2901234567890", "2901234567890"},
                                                         {"210123456789", "210123456789"},
                                                         {"", ""}};
    for (const auto& [code, normal] : cases) EXPECT_EQ(k.NormalizujPelny(code, nullptr), normal) << code;
}

TEST(KodWazony, NormalisesACodeHoldingOnlyItsFixedPart)
{
    const TStringList formats = Formats({"21SSSS??????K", "21SSSSS?????K"});
    TKodWazony k(&formats);
    const std::pair<const char*, const char*> cases[] = {{"2100123", "2100123??????"}, {"210012", "210012???????"},
                                                         {"21001", "21001"}, {"2200123", "2200123"}, {"21", "21"}};
    for (const auto& [code, normal] : cases) EXPECT_EQ(k.NormalizujNiepelny(code, nullptr), normal) << code;

    const TStringList one = Formats({"21SSSSS?????K"});
    TKodWazony k1(&one);
    EXPECT_EQ(k1.NormalizujNiepelny("210012", nullptr), "210012");
}

TEST(KodWazony, UnusableFormatsInTheListMatchNothing)
{
    const TStringList formats = Formats({"", "2", "21", "21SSS?K", "21SSSSS?????K?", "K1SSSSS?????K", "21SSSSSS????K"});
    TKodWazony k(&formats);
    EXPECT_EQ(k.ZnajdzFormat("2112345678901", nullptr), "21SSSSSS????K");
    EXPECT_EQ(k.NormalizujNiepelny("21SSS", nullptr), "21SSS");
    EXPECT_EQ(k.NormalizujNiepelny("21001234", nullptr), "21001234?????");
    EXPECT_EQ(k.NormalizujPelny("2112345678901", nullptr), "21123456?????");
    EXPECT_EQ(k.NormalizujPelny("K100000000000", nullptr), "K100000000000");
    EXPECT_FALSE(k.Rozparsuj("K100000000000", nullptr));

    const TStringList bad = Formats({"2", "21SSS?K"});
    TKodWazony kb(&bad);
    EXPECT_FALSE(kb.Rozparsuj("2112345678901", nullptr));
    EXPECT_EQ(kb.NormalizujNiepelny("21SS", nullptr), "21SS");
}

TEST(KodWazony, FindsTheFormatOfACode)
{
    const TStringList formats = Formats({"22SSSSS?????K", "21SSSS??????K", "21SSSSS?????K"});
    TKodWazony k(&formats);
    EXPECT_EQ(k.ZnajdzFormat("2100123456789", nullptr), "21SSSS??????K");
    EXPECT_EQ(Thrown([&] { k.ZnajdzFormat("210012345678", nullptr); }),
              "TKodWazony: Podany kod niby ważony, a nie ma odpowiedniej długości: 210012345678");
    EXPECT_EQ(Thrown([&] { k.ZnajdzFormat("2900123456789", nullptr); }),
              "TKodWazony: Nie znaleziono pasującego formatu dla kodu: 2900123456789");
}

TEST(KodWazony, MessagesGoThroughTheTextTool)
{
    static const auto lookup = [](char* buffer, int size, const char* section, const char* key) -> int {
        if (std::strcmp(section, "veltools_wazony") != 0 || std::strstr(key, "TKodWazony") != key) return 0;
        std::snprintf(buffer, static_cast<size_t>(size), "No format for code: ");
        return 1;
    };
    TMLgExtTools tool(nullptr, lookup);
    const TStringList formats = Formats({"21SSSSS?????K"});
    TKodWazony k(&formats);
    EXPECT_EQ(Thrown([&] { k.ZnajdzFormat("2900123456789", &tool); }), "No format for code: 2900123456789");
}

TEST(KodWazony, SplitsACodeIntoItsFields)
{
    const TStringList formats = Formats({"21GGSSSS????K"});
    TKodWazony k(&formats);
    ASSERT_TRUE(k.Rozparsuj("2145001234567", nullptr));
    EXPECT_EQ(std::tuple(k.Przedrostek, k.Grupa, k.KodZZerami, k.KodBezZer, k.RozmiarKodu, k.CzescStala),
              std::tuple("21", "45", "0012", "12", 4, ""));

    ASSERT_TRUE(k.Rozparsuj("21450012?????", nullptr));
    EXPECT_EQ(std::tuple(k.CzescStala, k.FullZZerami), std::tuple("21450012", "2145001200000"));

    EXPECT_FALSE(k.Rozparsuj("214500123456", nullptr));
    EXPECT_EQ(std::tuple(k.RozmiarKodu, k.Grupa), std::tuple(0, ""));  // cleared even when it fails
    EXPECT_FALSE(k.Rozparsuj("2245001234567", nullptr));
}
