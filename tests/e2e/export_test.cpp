// Operations -2 and -5 through the real library against the register and
// card-server simulators: a whole export of master data without goods, and
// runs cut by the register, the link, a fiscal register's payment forms and
// the user, each still handing the result file over.
#include <gtest/gtest.h>

#include <filesystem>

#include "card_server.h"
#include "host_lines.h"
#include "register_session.h"

using namespace testutil;

namespace {
// Groups, units, cashiers, currencies, the euro rate and customers; no goods.
const char* const kExport =
    "ASS;17;Nabiał\r\nJM;1;0;szt\r\nOPER;3;Nowak;0;ID1;KARTA1\r\n"
    "OPER;4;Kowalska-Wiśniewska Katarzyna;1;IDENTYFIKATOR;0123456789ABCDEFGH\r\nWAL;EUR;Euro;40200;T;N\r\n"
    "EUR;40200\r\nKON;11;Kowalski\tJan Spółdzielnia Pracy;K;;;;;;C\t1;20301231000000000;T;7.9;1;10\r\n"
    "KON;12;Nowak;N;;;;;;C2;20301231000000000;F;0;3;10\r\n";

// Register 3 over TCP/IP beside a card server, with every export option on.
struct Export : RegisterSession {
    explicit Export(const std::string& scenario = R"({"registerNumber": "3"})", const std::string& faults = "")
        : RegisterSession(scenario, faults)
    {
        cards.Configure(host);
        host.device.number = 3;
        for (const auto& [name, value] :
             std::map<std::string, std::string>{{"RodzajTransmisji", "1"},
                                                {"ComboExpCashier", "1"},
                                                {"ComboExpFPlatn", "1"},
                                                {"ComboSkpUse", "2"},
                                                {"ComboSkpPatterns", "232/3/0, ,72/0/0,29/5/1.5,12345678901234567/1/0"},
                                                {"ComboSkpAddToReb", "4"},
                                                {"ComboSkpAddToAddon", "5"},
                                                {"ComboSkpDane", tmp.File("skp")},
                                                {"ComboComplexOrdTimeout", "60"}})
            host.SetParam(name, value);
        WriteFile(tmp.File("kasa.exp"), kExport);
        std::filesystem::create_directory(tmp.File("skp"));
    }
    std::vector<std::string> Screen() const { return HostScreen(host.lines); }
    // The screen from its line `first` on.
    std::vector<std::string> ScreenFrom(const std::string& first) const
    {
        const auto screen = Screen();
        return {std::find(screen.begin(), screen.end(), first), screen.end()};
    }
    std::string CardFile() const { return ReadFile(tmp.File("skp/wejscie/2/dcrd_in.txt")); }
    CardServer cards;
};

const char* const kReport = "Czekaj na wykonanie raportu na kasie...";
const std::vector<std::string> kClosing = {"Zamykanie połączenia TCP/IP...\x01OK",
                                           "Zdalne odblokowanie serwera Norvik (SKP)\x01OK"};
}  // namespace

TEST(Export, MasterDataWithoutGoodsGoesToTheRegisterAndTheCardServer)
{
    Export s;
    EXPECT_EQ(s.Run(-5), 0);
    EXPECT_EQ(s.Commands(), (std::vector<int>{501, 321, 1171, 1171, 2500, 2500, 1171}));
    const auto journal = s.Journal();
    EXPECT_EQ(journal[4]["fields"].dump(), R"([["V",3],["S","Nowak"],["S","ID1"],["S","KARTA1"],["S",""],)"
                                           R"(["V",65534],["B",255],["B",6],["B",1],["B",1]])");
    EXPECT_EQ(journal[5]["fields"].dump(),
              "[[\"V\",4],[\"S\",\"Kowalska-Wi\xC5\x9Bniewska Kata\"],"  // the journal is UTF-8
              R"(["S","IDENTYFI"],)"
              R"(["S","0123456789ABCDEF"],["S",""],["V",65535],["B",255],["B",6],)"
              R"(["B",1],["B",1]])");
    EXPECT_EQ(s.CardFile(),
              "@2\r\n@1\r\n@\r\n@\r\n#!232\t0\t3\r\n#!29\t0\t0\t0\twg wzorca: 29\t150\t5\t4\r\n"
              "#C 1\t0\t0\t0\tKowalski Jan Spółdzie...\t7\t5\t4\r\n#C2\t1\t3\r\n");
    EXPECT_FALSE(std::filesystem::exists(s.tmp.File("skp/wejscie/2/dcrd_in.tmp")));
    EXPECT_EQ(ReadFile(s.tmp.File("wynik.exp")), "");
    EXPECT_EQ(s.cards.Received(), (std::vector<std::string>{"DISABLE 2", "ENABLE 2"}));
    const std::string report = kReport + std::string("\x01OK");
    std::vector<std::string> expected = {"Odczyt numeru kasy...\x01OK", "- kasa o numerze: 3", report, report,
                                         "- do dodania:\x01"
                                         "0",
                                         "- do zmiany nazwy/stawki:\x01"
                                         "0",
                                         "- do zmiany ceny:\x01"
                                         "0",
                                         "- do usunięcia:\x01"
                                         "0",
                                         // The step's state replaces the host's last line, the second warning.
                                         "Programowanie kart rabatowych...", "W:Nieprawidłowy wzorzec karty: 72/0/0",
                                         "Programowanie kart rabatowych...\x01OK", "Programowanie kasjerów...",
                                         "- Nr: 03, Nazwa: Nowak\x01OK",
                                         "- Nr: 04, Nazwa: Kowalska-Wiśniewska Katarzyna\x01OK", report};
    expected.insert(expected.end(), kClosing.begin(), kClosing.end());
    expected.push_back("Zapis wyniku eksportu:\x01OK");
    EXPECT_EQ(s.ScreenFrom(expected[0]), expected);
    EXPECT_TRUE(Contains(s.host.events, "save_export"));
    EXPECT_TRUE(s.Violations().empty());
}

TEST(Export, ARunCutShortClosesTheSessionAndStillHandsOverTheResult)
{
    const std::string refused = "Kasa zgłosiła błąd wykonania: [W1] - ", report = kReport;
    std::string fiscal = R"({"registerNumber": "3", "fiscalState": 1, "payForms": [)";
    for (int form = 2; form <= 6; ++form)
        fiscal += R"({"number": )" + std::to_string(form) + (form < 6 ? "}, " : "}]}");
    const struct {
        std::string scenario, faults, transmission;
        int stopAfterPolls;
        std::vector<int> commands;
        std::string message, marked;
    } cases[] = {
        {R"({"registerNumber": "3"})",
         R"({"1171": {"2": {"kind": "executionError", "code": 1}}})",
         "1",
         -1,
         {501, 321, 1171, 1171},
         refused,
         "E:" + report},
        {R"({"registerNumber": "3"})",
         R"({"any": {"4": "dropConnection"}})",
         "1",
         -1,
         {501, 321, 1171, 1171},
         "Błąd komunikacji z kasą",
         "E:" + report},
        {R"({"registerNumber": "9"})", "", "1", -1, {501, 321}, "Niezgodny numer urządzenia!", "E:- kasa o numerze: 9"},
        {R"({"registerNumber": "3"})",
         "",
         "3",
         0,
         {501, 321, 1171},
         "Operacja przerwana przez użytkownika",
         "E:" + report},
        // A fiscal NEO takes no cashiers and only has its payment forms checked.
        {fiscal,
         "",
         "1",
         -1,
         {501, 321, 1171, 1171, 2910, 2910, 2910, 2910, 2910},
         "Kasa jest w trybie fiskalnym. Formy płatności należy zaprogramować ręcznie zgodnie z powyższymi "
         "zaleceniami.",
         "E:Weryfikacja zaprogramowanych form płatności"},
    };
    for (const auto& c : cases) {
        Export s(c.scenario, c.faults);
        s.host.SetParam("RodzajTransmisji", c.transmission);
        s.host.stopAfterPolls = c.stopAfterPolls;
        EXPECT_EQ(s.Run(-2), 0);
        EXPECT_EQ(s.Commands(), c.commands) << c.message;
        const HostLines& lines = s.host.lines;
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[lines.size() - 2], Failure("eksport", "")[0]) << c.message;
        EXPECT_EQ(lines.back().text.substr(0, c.message.size()), c.message);
        EXPECT_TRUE(s.LinkClosedAtTheEnd()) << c.message;
        // The failed step's line is the one marked, not the session's last.
        EXPECT_TRUE(Shows(s.Screen(), c.marked)) << c.message;
        EXPECT_EQ(s.cards.Received(), (std::vector<std::string>{"DISABLE 2", "ENABLE 2"})) << c.message;
        EXPECT_TRUE(Contains(s.host.events, "save_export")) << c.message;
        EXPECT_EQ(ReadFile(s.tmp.File("wynik.exp")), "");
        EXPECT_TRUE(s.Violations().empty());
        int warnings = 0;
        for (const HostLine& l : lines) warnings += l.kind == 1 && l.text.rfind("Forma płatności nr ", 0) == 0;
        EXPECT_EQ(warnings, c.commands.size() == 9 ? 5 : 0);
    }
}

TEST(Export, AReportTheRegisterRefusesQuietlyIsListedAsRejected)
{
    Export s(R"({"registerNumber": "3"})", R"({"1171": {"3": {"kind": "executionError", "code": 909}}})");
    EXPECT_EQ(s.Run(-2), 0);
    std::vector<std::string> expected = {"E:" + std::string(kReport)};
    expected.insert(expected.end(), kClosing.begin(), kClosing.end());
    expected.insert(expected.end(),
                    {"- towary odrzucone:\x01"
                     "1",
                     "E:...Raport komunikacji: [W909] - nieprawidłowy numer rekordu", "Zapis wyniku eksportu:\x01OK"});
    EXPECT_EQ(s.ScreenFrom(expected[0]), expected);
}
