// Discount-card codes built from card patterns, and the faults a pattern is refused for.
#include <gtest/gtest.h>

#include "KartaRab.h"
#include "thrown.h"

TEST(KartaRab, CodesAreBuiltByThePatternAndBadPatternsRefused)
{
    // Prefix 5, level 7, valid until 2031-03-09; the code, or the failure's text.
    const struct {
        const char *pattern, *customer, *expected;
    } cases[] = {
        {"29kkkkkkkkkkx", "123", "2900000001237"},
        {"kkk", "12345", "123"},
        {"sskkkrryyMMdd", "42", "0504207310309"},
        {"YYk", "9", "209"},
        {"yk", "9", "19"},
        {"DDkM9", "1", "09139"},
        {"k1kk", "345", "3133"},
        {"kkkkkkkkkkk1", "123", "000000001231"},
        {"", "1", "TKartaRab: jak mam przetwarzać karty klienta, jeśli format nie wprowadzony?"},
        {"yYk", "1", "TKartaRab: w formacie nie mogą występować równocześnie y i Y"},
        {"mMk", "1", "TKartaRab: w formacie nie mogą występować równocześnie m i M"},
        {"kq dD", "1", "TKartaRab: w formacie nie mogą występować równocześnie d i D"},
        {"kkkkkkkkkkkx", "1",
         "TKartaRab: cyfra kontrolna EAN13 (literka 'x' w formacie karty) może być tylko na 13 miejscu, albo wcale"},
        {"kk-k", "1", "TKartaRab: niedopuszczalne znaki w formacie karty - używaj tylko 0-9 oraz skymdYMDrx"},
        {"29ss", "1", "TKartaRab: format karty musi zawierać sekcję z kodem klienta (\"kkk...\")"},
    };
    for (const auto& c : cases) {
        TKartaRab card;
        card.Przedrostek = 5;
        card.PoziomRabatu = 7;
        card.KodKlienta = c.customer;
        card.DataWaznosci = EncodeDate(2031, 3, 9);
        AnsiString code;
        const std::string failure = testutil::Thrown([&] { code = card.Poskladaj(c.pattern, nullptr); });
        EXPECT_EQ(failure == testutil::kNothingThrown ? code : failure, c.expected) << c.pattern;
    }

    TKartaRab card;
    card.Rozparsuj("29kkkk", "290012345", nullptr);
    EXPECT_EQ(card.KodKlienta, "0012");
    card.Rozparsuj("29kkkk", "29", nullptr);
    EXPECT_EQ(card.KodKlienta, "");
}
