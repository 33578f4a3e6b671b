// Service function 6 through the real library against the register
// simulator: the exact arguments of callback 33, the summary for each of
// the host's results, "import.log" byte for byte, and a run cut half-way.
#include <gtest/gtest.h>

#include <regex>

#include "host_lines.h"
#include "register_session.h"

using namespace testutil;

namespace {
// Rates 23 %, 8 % and the exemption; a package; a goods record with two
// more barcodes linked to the package, a set, one with a group the
// register lacks and open price, one whose VAT slot is past the rates, one
// linked to a package the register lacks.
const char* const kRegister = R"({"vatRates": [2300, 800, "zw"],
  "groups": [{"number": 1, "name": "Napoje"}], "units": [{"number": 2, "name": "szt"}],
  "packages": [{"number": 1, "name": "Skrzynka", "barcode": "5900001", "price": 1299, "fixedPrice": 0}],
  "goods": [
    {"plu": 10, "name": "Woda, gazowana", "barcode": "590", "extraBarcodes": ["111", "222"], "price": 1299,
     "vat": 2, "package": 1, "unit": 2, "group": 1},
    {"plu": 11, "name": "Zestaw", "barcode": "2000011", "set": 1},
    {"plu": 12, "name": "Chleb", "barcode": "2000012", "price": 350, "group": 9, "fixedPrice": 0},
    {"plu": 13, "name": "Stara", "barcode": "2000013", "vat": 3},
    {"plu": 14, "name": "Ser", "barcode": "2000014", "vat": 1, "package": 5}]})";

const std::string kLogHead = "\r\n------------ [IMPORT WYKONANY DNIA: @] ------------\r\n"
                             "<NAZWA_TOWARU>,<PLU>,<KODY>,<ASORTYMENT>,<JEDNOSTA_MIARY>,<STAWKA>,<CENA>,"
                             "<CENA_OTWARTA>,<OPAKOWANIE>,<KOD_OPAKOWANIA>,<WYNIK_OPERACJI>\r\n";

// The log with its time stamps as "@".
std::string Log(const RegisterSession& s)
{
    return std::regex_replace(ReadFile(s.tmp / "import.log"), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"), "@");
}
}  // namespace

TEST(GoodsImport, RecordsGoToTheHostInOrderWithTheSummaryForEachResult)
{
    // The host's answer, the log's word for it, and the summary's counts: errors, skipped, added, updated.
    const std::tuple<int, std::string, int, int, int, int> cases[] = {{-1, "BLAD", 4, 4, 0, 0}, {0, "POMINIETY", 1, 4, 0, 0}, {1, "DODANO", 1, 1, 3, 0},
                 {2, "AKTUALIZACJA", 1, 1, 0, 3}};
    for (const auto& [answer, word, errors, skipped, added, updated] : cases) {
        RegisterSession s(kRegister);
        s.host.SetParam("ComboImportOverWrite", answer == 2 ? "TRUE" : "true");
        s.host.SetParam("ComboImportLogSave", answer == 2 ? "FALSE" : " TRUE ");
        s.host.answers["add_goods"] = answer;
        EXPECT_EQ(s.Run(-8, 6), 0);
        const std::string o = answer == 2 ? "1" : "0", p = ";12.99;12.99;12.99;12.99;";
        EXPECT_EQ(s.host.events,
                  (std::vector<std::string>{"add_goods Skrzynka;1;5900001;" + o + ";OPAKOWANIA;opak;-1" + p + "1;1;",
                                            "add_goods Woda, gazowana;10;590;111;222;" + o + ";Napoje;szt;-1" + p +
                                                "0;0;5900001",
                                            "add_goods Chleb;12;2000012;" + o + ";;;2300;3.5;3.5;3.5;3.5;1;0;",
                                            "add_goods Ser;14;2000014;" + o + ";Napoje;;800;0;0;0;0;0;0;"}));
        const std::vector<std::string> screen = HostScreen(s.host.lines);
        const auto at = std::find(screen.begin(), screen.end(), "Odczytano towarów:\x01" "4");
        ASSERT_LE(at + 4, screen.end());
        EXPECT_EQ(std::vector<std::string>(at + 1, at + 4),
                  (std::vector<std::string>{"- pominiętych (w tym " + std::to_string(errors) + " z błędem):\x01" +
                                                std::to_string(skipped),
                                            "- dodanych:\x01" + std::to_string(added),
                                            "- zaktualizowanych:\x01" + std::to_string(updated)}));
        EXPECT_EQ(CountOf(screen, "- odczyt towarów kontynuowany..."), answer > 0 ? 1u : 4u);
        EXPECT_TRUE(Shows(screen, "W:Towar PLU 13: stawka VAT nr 3 spoza tablicy stawek kasy"));
        EXPECT_EQ(s.Commands(), (std::vector<int>{501, 20, 2004, 2810, 2810, 2002, 2610, 2610, 2003, 2710, 2710,
                                                  2000, 2110, 2110, 2110, 2110, 2110, 2110}));
        if (answer == 2) {
            EXPECT_FALSE(Exists(s.tmp / "import.log"));
            continue;
        }
        EXPECT_EQ(Log(s), kLogHead + "Skrzynka,1,5900001,OPAKOWANIA,opak,-1,12.99,Tak,Tak,BRAK," + word +
                              "\r\nWoda, gazowana,10,590;111;222,Napoje,szt,-1,12.99,Nie,Nie,5900001," + word +
                              "\r\nChleb,12,2000012,NIE_ZDEFINIOWANO,NIE_ZDEFINIOWANO,2300,3.50,Tak,Nie,BRAK," +
                              word + "\r\nStara,13,2000013,Napoje,NIE_ZDEFINIOWANO,-999,0.00,Nie,Nie,BRAK,BLAD" +
                              "\r\nSer,14,2000014,Napoje,NIE_ZDEFINIOWANO,800,0.00,Nie,Nie,BRAK," + word + "\r\n");
        EXPECT_TRUE(Shows(screen, "Zapis logu importu do pliku: " + s.tmp.Folder() + "import.log"));
    }
}

TEST(GoodsImport, ACutRunStillLogsWhatTheHostTookAndClosesTheSession)
{
    RegisterSession s(kRegister, R"({"2110": {"3": {"kind": "executionError", "code": 1}}})");
    s.host.SetParam("ComboImportLogSave", "TRUE");
    WriteFile(s.tmp / "import.log", "earlier\r\n");
    s.Run(-8, 6);
    EXPECT_EQ(s.host.events.size(), 2u);
    EXPECT_EQ(Log(s), "earlier\r\n" + kLogHead +
                          "Skrzynka,1,5900001,OPAKOWANIA,opak,-1,12.99,Tak,Tak,BRAK,DODANO\r\n"
                          "Woda, gazowana,10,590;111;222,Napoje,szt,-1,12.99,Nie,Nie,5900001,DODANO\r\n"
                          "IMPORT PRZERWANY: Kasa zgłosiła błąd wykonania: [W1] - nieznany błąd przesłany "
                          "przez kasę\r\n");
    const std::vector<std::string> screen = HostScreen(s.host.lines);
    // No summary and no "Zapis logu" line: the session is closed at once.
    const auto cut = std::find(screen.begin(), screen.end(), "E:- trwa odczyt towarów...");
    ASSERT_LT(cut + 1, screen.end());
    EXPECT_EQ(cut[1], "Zamykanie połączenia TCP/IP...\x01OK");
    EXPECT_TRUE(s.LinkClosedAtTheEnd());
}

TEST(GoodsImport, RatesTheRegisterRefusesQuietlyFailTheImportBeforeAnyGoodsAreHandedOver)
{
    RegisterSession s(kRegister, R"({"20": {"1": {"kind": "executionError", "code": 2035}}})");
    EXPECT_EQ(s.Run(-8, 6), 0);
    EXPECT_TRUE(s.host.events.empty());
    EXPECT_EQ(s.Commands(), (std::vector<int>{501, 20}));
    HostLines expected = {Replaced("- trwa odczyt stawek VAT...", 2)};
    expected += TcpClosing();
    expected += Failure("operacja [-8]", "[W2035] - niezerowe totalizery (wykonaj raport dobowy)");
    EXPECT_EQ(From(s.host.lines, expected[0]), expected);
    EXPECT_TRUE(s.LinkClosedAtTheEnd());
}
