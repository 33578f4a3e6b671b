// Operations -2 and -5 through the real library against the register and
// card-server simulators: a whole export of master data without goods, and
// runs cut short, each still closing the session and handing the result over.
#include <gtest/gtest.h>

#include <filesystem>

#include "card_server.h"
#include "host_lines.h"
#include "register_session.h"

using namespace testutil;

namespace {
// Register 3 over TCP/IP beside a card server, with every export option on,
// and an export file of groups, units, cashiers, currencies, the euro rate
// and customers, but no goods.
struct Export : RegisterSession {
    explicit Export(const std::string& scenario = R"({"registerNumber": "3"})", const std::string& faults = "")
        : RegisterSession(scenario, faults)
    {
        cards.Configure(host);
        host.device.number = 3;
        SetParams(host, {{"RodzajTransmisji", "1"}, {"ComboExpCashier", "1"}, {"ComboExpFPlatn", "1"}, {"ComboSkpUse", "2"},
                         {"ComboSkpPatterns", "232/3/0, ,72/0/0,29/5/1.5,12345678901234567/1/0,1234567890123456/50/0"},
                         {"ComboSkpAddToReb", "4"}, {"ComboSkpAddToAddon", "5"}, {"ComboSkpDane", tmp.File("skp")},
                         {"ComboComplexOrdTimeout", "60"}});
        std::filesystem::create_directory(tmp.File("skp"));
        WriteFile(tmp.File("kasa.exp"),
                  "ASS;17;Nabiał\r\nJM;1;0;szt\r\nOPER;3;Nowak;0;ID1;KARTA1\r\nOPER;4;Kowalska-Wiśniewska Katarzyna;1;"
                  "IDENTYFIKATOR;0123456789ABCDEFGH\r\nWAL;EUR;Euro;40200;T;N\r\nEUR;40200\r\nKON;11;Kowalski\tJan "
                  "Spółdzielnia Pracy;K;;;;;;C\t1;20301231000000000;T;7.9;1;10\r\nKON;12;Nowak;N;;;;;;C2;"
                  "20301231000000000;F;0;3;10\r\n");
    }
    CardServer cards;
};

const std::string kReport = "Czekaj na wykonanie raportu na kasie...";
}  // namespace

TEST(Export, MasterDataWithoutGoodsGoesToTheRegisterAndTheCardServer)
{
    // The last report refused quietly: listed with the rejected records.
    Export s(R"({"registerNumber": "3"})", R"({"1171": {"3": {"kind": "executionError", "code": 909}}})");
    EXPECT_EQ(s.Run(-5), 0);
    EXPECT_EQ(s.Commands(), (std::vector<int>{501, 321, 1171, 1171, 2500, 2500, 1171}));
    // The journal is UTF-8.
    EXPECT_EQ(s.Sent(2500, 2500),
              (std::vector<std::string>{
                  R"(2500 [["V",3],["S","Nowak"],["S","ID1"],["S","KARTA1"],["S",""],["V",65534],["B",255],["B",6],["B",1],["B",1]])",
                  "2500 [[\"V\",4],[\"S\",\"Kowalska-Wi\xC5\x9Bniewska Kata\"],"
                  R"(["S","IDENTYFI"],["S","0123456789ABCDEF"],["S",""],["V",65535],["B",255],["B",6],["B",1],["B",1]])"}));
    EXPECT_EQ(
        s.File("skp/wejscie/2/dcrd_in.txt"),
        "@2\r\n@1\r\n@\r\n@\r\n#!232\t0\t3\r\n#!29\t0\t0\t0\twg wzorca: 29\t150\t5\t4\r\n#!1234567890123456\t0\t50\r\n"
        "#C 1\t0\t0\t0\tKowalski Jan Spółdzie...\t7\t5\t4\r\n#C2\t1\t3\r\n");
    EXPECT_FALSE(std::filesystem::exists(s.tmp.File("skp/wejscie/2/dcrd_in.tmp")));
    EXPECT_EQ(s.File("wynik.exp"), "");
    EXPECT_EQ(s.cards.Received(), (std::vector<std::string>{"DISABLE 2", "ENABLE 2"}));
    // Both pattern warnings stay: the step's state follows them on a line of its own.
    const std::vector<std::string> screen = HostScreen(s.host.lines);
    std::string tail;
    const std::string first = "- do usunięcia:\x01" + std::to_string(0);
    for (auto line = std::find(screen.begin(), screen.end(), first); line != screen.end(); ++line) tail += *line + "\n";
    EXPECT_EQ(tail,
              first +
                  "\nProgramowanie kart rabatowych...\nW:Nieprawidłowy wzorzec karty: 72/0/0\n"
                  "W:Nieprawidłowy wzorzec karty: 12345678901234567/1/0\n"
                  "Programowanie kart rabatowych...\x01OK\nProgramowanie kasjerów...\n- Nr: 03, Nazwa: Nowak\x01OK\n"
                  "- Nr: 04, Nazwa: Kowalska-Wiśniewska Katarzyna\x01OK\nUsuwanie towarów...\x01OK\n"
                  "Usuwanie opakowań...\x01OK\nProgramowanie opakowań...\x01OK\nProgramowanie towarów...\x01OK\n"
                  "E:Czekaj na wykonanie raportu na kasie...\n"
                  "Zamykanie połączenia TCP/IP...\x01OK\nZdalne odblokowanie serwera Norvik (SKP)\x01OK\n"
                  "- towary odrzucone:\x01\x31\nE:...Raport komunikacji: [W909] - nieprawidłowy numer rekordu\n"
                  "Zapis wyniku eksportu:\x01OK\n");
    EXPECT_EQ(CountOf(screen, kReport + "\x01OK"), 2u);
}

TEST(Export, ARunCutShortClosesTheSessionAndStillHandsOverTheResult)
{
    const std::string ok = R"({"registerNumber": "3"})", drop = R"({"any": {"4": "dropConnection"}})",
                      refused = R"({"1171": {"2": {"kind": "executionError", "code": 1}}})",
                      fiscal = R"({"registerNumber": "3", "fiscalState": 1, "payForms": [{"number": 2}, {"number": 3},)"
                               R"( {"number": 4}, {"number": 5}, {"number": 6}]})",
                      forms = "Kasa jest w trybie fiskalnym. Formy płatności należy zaprogramować ręcznie zgodnie z "
                              "powyższymi zaleceniami.";
    const struct {
        std::string scenario, faults, transmission;
        int stopAfterPolls;
        std::vector<int> commands;
        std::string message, marked;
        // The clearing of the goods closes the session itself, and the run closes it again.
        int unlocks = 1;
    } cases[] = {
        {ok, refused, "1", -1, {501, 321, 1171, 1171}, "Kasa zgłosiła błąd wykonania: [W1] - ", "E:" + kReport},
        {ok, drop, "1", -1, {501, 321, 1171, 1171}, "Błąd komunikacji z kasą", "E:" + kReport},
        {R"({"registerNumber": "9"})", "", "1", -1, {501, 321}, "Niezgodny numer urządzenia!", "E:- kasa o numerze: 9"},
        {R"({"registerNumber": "12A"})", "", "1", -1, {501, 321}, "'12A' nie jest poprawną wartością całkowitą",
         "E:Odczyt numeru kasy..."},
        // A Combo is never asked for the communication report.
        {R"({"registerNumber": "3", "model": 1})", "", "3", 0, {501, 321}, "Operacja przerwana przez użytkownika",
         "E:- kasa o numerze: 3"},
        // A fiscal NEO takes no cashiers and only has its payment forms checked.
        {fiscal, "", "1", -1, {501, 321, 1171, 1171, 2910, 2910, 2910, 2910, 2910}, forms,
         "E:Weryfikacja zaprogramowanych form płatności"},
        // The register refuses to clear goods that have sales.
        {R"({"registerNumber": "3", "goods": [{"plu": 1, "sales": 2}]})", "", "3", -1, {501, 321, 1171, 2150},
         "[W944] - niedozwolona operacja na rekordzie z niezerową statystyką", "E:Czyszczenie bazy towarów...", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Export s(c.scenario, c.faults);
        SetParams(s.host, {{"RodzajTransmisji", c.transmission}, {"ComboKasTowMax", "1"}});
        s.host.stopAfterPolls = c.stopAfterPolls;
        // The host refuses the result as well: an extra error line, never in place of the run's own.
        s.host.answers["save_export"] = 0;
        EXPECT_EQ(s.Run(-2), 0);
        EXPECT_EQ(s.Commands(), c.commands);
        const HostLines& lines = s.host.lines;
        EXPECT_EQ(lines[lines.size() - 2], Failure("eksport", "")[0]);
        EXPECT_EQ(lines.back().text.substr(0, c.message.size()), c.message);
        // The failed step's line is the one marked, not the session's last.
        EXPECT_TRUE(Shows(HostScreen(lines), c.marked));
        const std::string unlock = "Zdalne odblokowanie serwera Norvik (SKP)";
        EXPECT_EQ(CountOf(HostScreen(lines), unlock + "\x01OK"), static_cast<size_t>(c.unlocks));
        EXPECT_FALSE(Shows(HostScreen(lines), "E:" + unlock));
        EXPECT_TRUE(s.LinkClosedAtTheEnd());
        std::vector<std::string> received = {"DISABLE 2"};
        received.insert(received.end(), static_cast<size_t>(c.unlocks), "ENABLE 2");
        EXPECT_EQ(s.cards.Received(), received);
        EXPECT_TRUE(Contains(s.host.events, "save_export"));
        EXPECT_TRUE(Contains(lines, Added("Błąd zapisu wyniku eksportu do bazy danych", 2)));
        // The warnings the failure refers to stay on screen above the failed step.
        const std::vector<std::string> screen = HostScreen(lines);
        const auto warning =
            std::find(screen.begin(), screen.end(), "W:Forma płatności nr 6 powinna być typu \"Inne\"");
        EXPECT_EQ(warning != screen.end(), c.commands.size() == 9);
        if (warning != screen.end()) {
            EXPECT_EQ(warning[1], c.marked);
        }
    }
}
