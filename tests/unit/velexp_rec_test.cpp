// The records of the host's export file: the goods line's words, defaults,
// price levels and scaling, the customer, group, cashier and currency lines,
// and the exact errors of a bad line.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "VelExpRec.h"
#include "thrown.h"

namespace {

const std::string kFormatError = "Nieprawid\xB3owy format pliku eksportowego";
const std::string kNotInteger = "\" nie jest prawid\xB3ow\xB9 liczb\xB9 ca\xB3kowit\xB9";

// Words 1 to 19 of a goods line: PLU 12, extra number 7, barcode 5900001,
// name, four prices, 23 %, unit 1, flags, package barcode 0, package PLU 3,
// group 4, and the status.
std::string Plu(const std::string& status = "DOD", const std::string& tail = "")
{
    return "PLU;12;7;5900001;Mleko;250;240;230;220;23;1;F;3;t;F;T;0;3;4;" + status + tail;
}

VelTowRec Parse(const std::string& line)
{
    VelTowRec rec;
    rec.FromLine(line, nullptr);
    return rec;
}

}  // namespace

TEST(VelTowRec, ClearedRecordHoldsThePackageBarcodeZeroAndAnOpenPrice)
{
    VelTowRec rec;
    rec.kod_opakowania = "55";
    rec.cena_otwarta = false;
    rec.status = rec.org_status = stUsu;
    rec.nr_buf = 9;
    rec.PKWiU = "kept";
    rec.Clear();
    EXPECT_EQ(std::tuple(rec.kod_opakowania, rec.cena_otwarta, rec.status, rec.org_status, rec.nr_buf),
              std::tuple("0", true, stNull, stNull, -1));
    EXPECT_EQ(rec.PKWiU, "kept") << "every reader sets the classification itself";
}

TEST(VelTowRec, LineUpToTheStatusGetsEveryDefault)
{
    const VelTowRec r = Parse(Plu("AKT"));
    EXPECT_EQ(std::tuple(r.plu, r.koldod, r.kod, r.nazwa, r.cena, r.cena_hurt, r.cena_noc, r.cena_dod),
              std::tuple(12, 7, "5900001", "Mleko", 250, 240, 230, 220));
    EXPECT_EQ(std::tuple(r.stawka, r.stawkaPrec, r.jedn, r.czy_wazony, r.precyzja, r.opakowanie, r.cena_otwarta),
              std::tuple(23, 2300, 1, false, 3, false, true));
    EXPECT_TRUE(r.wagowo_ilosciowy) << "lower-case t";
    EXPECT_EQ(std::tuple(r.kod_opakowania, r.plu_opakowania, r.nr_asort, r.status, r.org_status, r.org_barcode),
              std::tuple("0", 3, 4, stAkt, stAkt, "5900001"));
    EXPECT_EQ(r.opis1 + r.opis4 + r.PKWiU + r.SWW + r.nazwa_pelna, "");
    EXPECT_EQ(std::tuple(r.TerminW, r.poziom_cen, r.ile_w_kodzie, r.dod_rabat_tow, r.ile_jedn),
              std::tuple(0, -1, 1000, 0, 0));
    EXPECT_EQ(Parse(Plu("DOD", ";")).status, stDod) << "a trailing separator adds no word";
}

TEST(VelTowRec, EveryOptionalWordIsRead)
{
    const VelTowRec r = Parse(Plu("USU", ";o1;o2;PK;SW;30;0;1000;o3;o4;2.5;750;Mleko pe\xB3ne;4.9;ignored"));
    EXPECT_EQ(std::tuple(r.status, r.opis1, r.opis2, r.PKWiU, r.SWW, r.TerminW, r.poziom_cen, r.opis3, r.opis4),
              std::tuple(stUsu, "o1", "o2", "PK", "SW", 30, 0, "o3", "o4"));
    EXPECT_DOUBLE_EQ(r.dod_rabat_tow, 2.5);
    EXPECT_EQ(r.stawkaPrec, 750) << "the precise rate is taken from the file even against the whole one";
    EXPECT_EQ(r.nazwa_pelna, "Mleko pe\xB3ne");
    EXPECT_EQ(r.ile_jedn, 4) << "a decimal number of units is cut to a whole one";
}

TEST(VelTowRec, LenientWordsFallBackToTheirDefaults)
{
    const VelTowRec r = Parse(Plu("DOD", ";;;;;12abc;x;y;;;;;;"));
    EXPECT_EQ(r.TerminW, 12) << "the validity term takes the leading number";
    EXPECT_EQ(Parse(Plu("DOD", ";;;;;\r12abc")).TerminW, 12) << "after a bare carriage return too";
    EXPECT_EQ(std::tuple(r.poziom_cen, r.ile_w_kodzie, r.cena, r.dod_rabat_tow, r.ile_jedn, r.odrzucenie),
              std::tuple(-1, 1000, 250, 0, 0, ""));
    // Blanks around a number, a carriage return among them, are trimmed.
    const VelTowRec p = Parse("PLU;1;0;1;n;12.345 ;;-3.5;\r1e2;23;1;F;0;F;F;F;;;0;DOD");
    EXPECT_EQ(std::tuple(p.cena, p.cena_hurt, p.cena_noc, p.cena_dod, p.kod_opakowania, p.odrzucenie),
              std::tuple(12.345, 0, -3.5, 100, "", ""));
    EXPECT_EQ(p.plu_opakowania, 0) << "an empty package PLU is no number and no error";
}

// A price is never guessed from a word that is no number: the line is read,
// its price 0, and the first such word named with its field.
TEST(VelTowRec, ADecimalWordIsANumberAsAWholeOrTheLineIsRefused)
{
    const char* const numbers[] = {"1250",
                                   "1250,00",
                                   " 12.5 ",
                                   "",
                                   "+7",
                                   "-3.5",
                                   "\t1e2\r",
                                   ".5",
                                   "5.",
                                   "2,5E-1",
                                   "1e+3",
                                   "0000000000000000000012",
                                   "123456789012345678"};
    const double values[] = {1250, 1250, 12.5, 0, 7, -3.5, 100, 0.5, 5, 0.25, 1000, 12, 123456789012345678.0};
    for (size_t i = 0; i < std::size(numbers); ++i) {
        const VelTowRec r =
            Parse("PLU;12;7;5900001;Mleko;" + std::string(numbers[i]) + ";240;230;220;23;1;F;3;t;F;T;0;3;4;DOD");
        EXPECT_EQ(std::tuple(r.cena, r.odrzucenie), std::tuple(values[i], "")) << numbers[i];
    }
    // The word, and as it is quoted when it is longer than 40 characters.
    std::vector<std::pair<std::string, std::string>> refused = {
        {"1" + std::string(400, '0'), "1" + std::string(39, '0') + "..."},
        {std::string(41, '7') + "x", std::string(40, '7') + "..."}};
    for (const char* word : {"abc", "1 250", "nan", "inf", "1.2.3", "1,2.3", "1.250,00", "12abc", "1e", "1e+", "-",
                             "+-1", "--1", "0x10", "1e999"})
        refused.emplace_back(word, word);
    // A NUL byte is shown, not taken for the word's end.
    refused.emplace_back(std::string("12\0"
                                     "5",
                                     4),
                         "12\\05");
    for (const auto& [word, quoted] : refused) {
        const VelTowRec r = Parse("PLU;12;7;5900001;Mleko;" + word + ";240;230;220;23;1;F;3;t;F;T;0;3;4;DOD");
        EXPECT_EQ(std::tuple(r.cena, r.odrzucenie),
                  std::tuple(0, "cena (pole 5): \"" + quoted + "\" nie jest liczb\xB9"))
            << word;
    }
    // Only the price the export programs refuses the line: that of the
    // export's level after the line's own level (word 25). Any other decimal
    // word, and every price of a deletion, is read as far as it is a number.
    const char* const names[] = {"cena", "cena hurtowa", "cena nocna", "cena dodatkowa"};
    const struct {
        int poziomCen;
        const char *level, *status;
        int word;
        bool refused;
    } levels[] = {{0, "", "DOD", 5, true},  {0, "", "AKT", 6, false},  {0, "", "CEN", 7, false},
                  {0, "", "DOD", 8, false}, {0, "1", "DOD", 6, true},  {0, "1", "DOD", 5, false},
                  {0, "2", "DOD", 8, true}, {0, "3", "DOD", 7, true},  {1, "", "DOD", 6, true},
                  {1, "", "DOD", 5, false}, {2, "3", "DOD", 7, true},  {3, "", "DOD", 8, true},
                  {0, "", "USU", 5, false}, {0, "", "DOD", 29, false}, {0, "", "DOD", 32, false}};
    for (const auto& c : levels) {
        std::vector<std::string> words(33, "1");
        words[0] = "PLU";
        words[3] = "5900001";
        words[11] = words[13] = words[14] = words[15] = "F";
        words[19] = c.status;
        words[25] = c.level;
        words[26] = "1000";
        words[c.word] = "7 szt";
        std::string line = words[0];
        for (size_t i = 1; i < words.size(); ++i) line += ";" + words[i];
        TLJWords split = ExpWords(line);
        VelTowRec r;
        r.FromLine(split, nullptr, c.poziomCen);
        const std::string why =
            std::to_string(c.poziomCen) + "/" + c.level + " " + c.status + " " + std::to_string(c.word);
        EXPECT_EQ(r.odrzucenie, c.refused ? names[c.word - 5] + std::string(" (pole ") + std::to_string(c.word) +
                                                "): \"7 szt\" nie jest liczb\xB9"
                                          : "")
            << why;
        const bool programmed = r.SlowoCeny(c.poziomCen) == c.word;
        EXPECT_EQ(r.CenaAkt(c.poziomCen), c.refused ? 0 : programmed ? 7 : 1) << why;
        EXPECT_EQ(std::tuple(r.dod_rabat_tow, r.ile_jedn), std::tuple(c.word == 29 ? 7 : 1, c.word == 32 ? 7 : 1))
            << why;
    }
    EXPECT_EQ(Parse(Plu("DOD", ";;;;;;;;;;brak;;;n/d")).dod_rabat_tow, 0) << "no number: no discount";
}

TEST(VelTowRec, PreciseRateMissingOrNoNumberFallsBackToTheWholeRate)
{
    const std::string to29 = ";;;;;;;;;;";
    EXPECT_EQ(Parse(Plu("DOD", to29 + ";;pe\xB3na")).stawkaPrec, 2300) << "word 30 empty";
    EXPECT_EQ(Parse(Plu("DOD", to29 + ";zw;pe\xB3na")).stawkaPrec, 2300) << "word 30 no number";
    EXPECT_EQ(Parse(Plu("DOD", to29 + ";0;x")).stawkaPrec, 0) << "0 is a rate";
    const std::string exempt = "PLU;1;0;1;n;1;1;1;1;-1;1;F;0;F;F;F;0;;0;DOD";
    EXPECT_EQ(Parse(exempt).stawkaPrec, -1);
    EXPECT_EQ(Parse(exempt + to29 + ";-1").stawkaPrec, -1);
    EXPECT_EQ(Parse(exempt + to29 + ";500").stawkaPrec, 500);
}

TEST(VelTowRec, PriceLevelReplacesTheRetailPrice)
{
    const std::string to24 = ";;;;;";
    const std::pair<const char*, double> levels[] = {{"1", 240}, {"2", 220}, {"3", 230}, {"4", 250}};
    for (const auto& [level, price] : levels) EXPECT_EQ(Parse(Plu("DOD", to24 + ";" + level)).cena, price) << level;
    const VelTowRec r = Parse(Plu());
    // Level 2 of the file reads the additional price, while CenaAkt(2) is the night one.
    EXPECT_EQ(std::tuple(r.CenaAkt(0), r.CenaAkt(1), r.CenaAkt(2), r.CenaAkt(3), r.CenaAkt(-1)),
              std::tuple(250, 240, 230, 220, 250));
}

TEST(VelTowRec, QuantityInTheBarcodeScalesEveryPriceRoundingExactly)
{
    auto scaled = [](const std::string& prices, const std::string& level, const std::string& ile) {
        return Parse("PLU;1;0;1;n;" + prices + ";23;1;F;0;F;F;F;0;;0;DOD;;;;;;" + level + ";" + ile);
    };
    const auto prices = [](const VelTowRec& r) { return std::tuple(r.cena, r.cena_hurt, r.cena_noc, r.cena_dod); };
    // 120.5 and 6.25 round half away from zero.
    EXPECT_EQ(prices(scaled("250;241;3;12.5", "", "500")), std::tuple(125, 121, 2, 6));
    // 0.7 is no exact double: 5 * 0.7 would give 3.4999... and round down; 0.35 and 0.7 round to 0 and 1.
    EXPECT_EQ(prices(scaled("5;-5;0.5;1", "", "700")), std::tuple(4, -4, 0, 1));
    const VelTowRec levelled = scaled("100;200;300;400", "1", "2000");
    EXPECT_EQ(levelled.cena, 400) << "the level's price is scaled";
    EXPECT_DOUBLE_EQ(scaled("12.34;1;1;1", "", "1000").cena, 12.34) << "1000 leaves the price exactly as read";
    EXPECT_DOUBLE_EQ(scaled("12.34;1;1;1", "", "0").cena, 12.34) << "no quantity scales nothing";
    EXPECT_DOUBLE_EQ(scaled("12.34;1;1;1", "", "-500").cena, 12.34);
}

TEST(VelTowRec, EveryFormatErrorHasItsTextWhichTheTextToolMayTranslate)
{
    const std::pair<std::string, std::string> cases[] = {
        {Plu("dod"), kFormatError},  // the status word is case-sensitive
        {Plu(""), kFormatError},
        {"PLU;12;7;5900001;Mleko;250;240;230;220;23;1;X;3;T;F;T;0;3;4;DOD", kFormatError},
        {"PLU;12;7;5900001;Mleko;250;240;230;220;23;1;F;3;T;F;;0;3;4;DOD", kFormatError},  // an empty flag
        {"PLU;12;7;5900001;Mleko;250;240;230;220;23;1", kFormatError},  // a line that stops before its flags
        {"PLU;12x;7;5900001", "\"12x" + kNotInteger},
        {"PLU;12;7;5900001;Mleko;250;240;230;220;23.5;1;F;3;T;F;T;0;3;4;DOD", "\"23.5" + kNotInteger},
        // A package PLU that is given must be a number.
        {"PLU;12;7;5900001;Mleko;250;240;230;220;23;1;F;3;T;F;T;0;x;4;DOD", "\"x" + kNotInteger},
        {"PLU", "\"" + kNotInteger},
        // A word is quoted up to 40 characters.
        {"PLU;" + std::string(41, '9'), "\"" + std::string(40, '9') + "..." + kNotInteger},
        {"PLU;" + std::string(40, '9'), "\"" + std::string(40, '9') + kNotInteger}};
    for (const auto& [line, error] : cases) EXPECT_EQ(testutil::Thrown([&] { Parse(line); }), error) << line;
    TMLgExtTools lg(nullptr, [](char* buffer, int size, const char* section, const char* key) {
        if (std::string(section) != "veltools_VelExpBuf" || std::string(key) != "VelTowRecBoolExceptio") return 0;
        snprintf(buffer, static_cast<size_t>(size), "bad flag");
        return 1;
    });
    VelTowRec rec;
    EXPECT_EQ(testutil::Thrown([&] { rec.FromLine("PLU;12;7;5900001;Mleko;250;240;230;220;23;1;X", &lg); }),
              "bad flag");
}

TEST(VelTowRec, DecimalsIgnoreTheProcessLocale)
{
    const std::string saved = setlocale(LC_ALL, nullptr);
    if (!setlocale(LC_ALL, "pl_PL.UTF-8") && !setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "no comma-decimal locale installed";
    const VelTowRec r = Parse("PLU;1;0;1;n;12.5;1,5;0;0;23;1;F;0;F;F;F;0;;0;DOD;;;;;;;;;;2.25;;;7.9");
    setlocale(LC_ALL, saved.c_str());
    EXPECT_DOUBLE_EQ(r.cena, 12.5);
    EXPECT_DOUBLE_EQ(r.cena_hurt, 1.5) << "a comma is the point as well";
    EXPECT_DOUBLE_EQ(r.dod_rabat_tow, 2.25);
    EXPECT_EQ(r.ile_jedn, 7);
}

TEST(VelKontrRec, CustomerLineFillsEveryFieldAndEveryLineItsOwnCardExpiry)
{
    VelKontrRec k;
    k.FromLine("KON;15;Kowalski Sp.;Kow;Polna 1;00-001;Warszawa;221234567;5250000000;2000123;"
               "20251231235959000;t;12.5;3;4200",
               nullptr);
    EXPECT_EQ(std::tuple(k.KontrId, k.Nazwa, k.Skrot, k.Ulica, k.Kod, k.Miasto, k.Telefon, k.NIP, k.KodKarty),
              std::tuple(15, "Kowalski Sp.", "Kow", "Polna 1", "00-001", "Warszawa", "221234567", "5250000000",
                         "2000123"));
    EXPECT_EQ(TdtTools(k.TermWaznKarty).ToString(fmtDateTimeCompressed), "20251231235959000");
    EXPECT_EQ(std::tuple(k.KartaAktywna, k.RabatOdbiorcy, k.PoziomRabatu, k.IloscPunktow, k.nr_buf),
              std::tuple(true, 12.5, 3, 4200, -1));
    k.FromLine("KON;1;a;;;;;;;1;20301231000000000;T;0;0;1", nullptr);
    const TDateTime before = Now();
    k.FromLine("KON;2;b;;;;;;;2;;T;0;0;x", nullptr);
    EXPECT_GE(k.TermWaznKarty, before - 1e-6) << "an empty expiry is not the previous customer's";
    EXPECT_LT(k.TermWaznKarty, EncodeDate(2030, 1, 1));
    EXPECT_EQ(k.IloscPunktow, 0) << "points that are no number";
    k.FromLine("KON;3;c;;;;;;;3;31.12.2030;T;0;0", nullptr);
    EXPECT_LT(k.TermWaznKarty, EncodeDate(2030, 1, 1)) << "a text that is no date";
    EXPECT_EQ(k.IloscPunktow, 0) << "missing points";
    k.FromLine("KON;4;d;;;;;;;4;;T;\r7.5;0;1", nullptr);
    EXPECT_EQ(k.RabatOdbiorcy, 7.5) << "a discount after a bare carriage return";
}

TEST(VelKontrRec, BadFlagOrNumberStopsTheLine)
{
    const std::pair<const char*, std::string> cases[] = {{"KON;1;a;;;;;;;1;;N;0;0", kFormatError},
                                                         {"KON;1;a;;;;;;;1", kFormatError},  // a missing flag
                                                         {"KON;x", "\"x" + kNotInteger},
                                                         {"KON;1;a;;;;;;;1;;T;0;1.5", "\"1.5" + kNotInteger}};
    VelKontrRec k;
    for (const auto& [line, error] : cases) EXPECT_EQ(testutil::Thrown([&] { k.FromLine(line, nullptr); }), error);
}

TEST(VelAsort, GroupLineGivesNumberAndName)
{
    VelAsort a;
    a.FromLine("ASS;17;Nabia\xB3;extra");
    EXPECT_EQ(std::tuple(a.nr, a.nazwa), std::tuple(17, "Nabia\xB3"));
    a.FromLine("ASS;18");
    EXPECT_EQ(a.nazwa, "") << "cleared first";
    EXPECT_THROW(a.FromLine("ASS;;x"), Exception);
}

TEST(VelKasjer, FieldsAreReadWhenAskedWithTheirOwnMessages)
{
    VelKasjer full("3;Nowak;1;ID7;K99", nullptr);
    EXPECT_EQ(std::tuple(full.GetNumer(), full.GetNazwisko(), full.GetPoziomUprawnien(), full.GetIdentyfikator(),
                         full.GetKodKarty()),
              std::tuple(3, "Nowak", 1, "ID7", "K99"));
    VelKasjer shortOne("4;Kowal;;;", nullptr);
    EXPECT_EQ(shortOne.GetKodKarty(), "");
    EXPECT_EQ(testutil::Thrown([&] { shortOne.GetPoziomUprawnien(); }),
              "B\xB3\xB9" "d odczytu poziomu uprawnie\xF1 kasjera");
    EXPECT_EQ(testutil::Thrown([&] { VelKasjer("x;a;1;;", nullptr).GetNumer(); }),
              "B\xB3\xB9" "d odczytu numeru kasjera");
    VelKasjer built(5, "Zi\xEA" "ba", 0, "I", "C", nullptr);
    EXPECT_EQ(built.Text(), "5;Zi\xEA" "ba;0;I;C");
    EXPECT_EQ(VelKasjer(built).GetNazwisko(), "Zi\xEA" "ba");
}

TEST(VelWaluta, FieldsAreReadWhenAsked)
{
    VelWaluta w("EUR;Euro;42537;T;N", nullptr);
    EXPECT_EQ(std::tuple(w.GetKod(), w.GetNazwa(), w.GetKurs(), w.GetCzyDomyslna(), w.GetCzyMoznaWydawacReszte()),
              std::tuple("EUR", "Euro", 42537, true, false));
    VelWaluta bad("USD;Dolar;4,1;t;T", nullptr);
    EXPECT_FALSE(bad.GetCzyDomyslna()) << "only a capital T means yes";
    EXPECT_TRUE(bad.GetCzyMoznaWydawacReszte());
    EXPECT_EQ(testutil::Thrown([&] { bad.GetKurs(); }), "B\xB3\xB9" "d odczytu kursu waluty");
}
