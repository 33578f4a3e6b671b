// Operation -1 against the register simulator: what the register is asked,
// in what order, and every line the host is shown, with its kind and whether
// it was added or replaced the last one.
#include <gtest/gtest.h>

#include <algorithm>

#include "host_lines.h"
#include "register_session.h"

using namespace testutil;

namespace {

const char* const kOperation = "test połączenia";

const char* const kDatabaseLabels[] = {
    "- rozmiar bazy opakowań:",         "- ilość zaprogramowanych opakowań:",
    "- rozmiar bazy klawiszy:",         "- ilość zaprogramowanych klawiszy:",
    "- rozmiar bazy kasjerów:",         "- ilość zaprogramowanych kasjerów:",
    "- rozmiar bazy form płatności:",   "- ilość zaprogramowanych form płatności:",
    "- rozmiar bazy rabatów/narzutów:", "- ilość zaprogramowanych rabatów/narzutów:",
    "- rozmiar bazy PLU:",              "- ilość zaprogramowanych PLU:",
    "- rozmiar bazy grup towarowych:",  "- ilość zaprogramowanych grup towarowych:",
    "- rozmiar bazy jednostem miary:",  "- ilość zaprogramowanych jednostek miary:",
    "- rozmiar bazy kodów kreskowych:", "- ilość zaprogramowanych kodów kreskowych:",
    "- rozmiar bazy formatów kodów:",   "- ilość zaprogramowanych formatów kodów:"};

const char* const kFiscalPayForms =
    "Kasa jest w trybie fiskalnym. Formy płatności należy zaprogramować ręcznie zgodnie z powyższymi zaleceniami.";
const char* const kUnknownModel = "Błąd podczas odczytu typu kasy. Przyjęto domyślnie Combo";

// A scenario written in this file's code page, as the simulator reads it.
std::string Scenario(const std::string& cp1250Json) { return Cp1250ToUtf8(cp1250Json); }

// A fiscal NEO with every answer of the test filled in.
const char* const kFiscalNeo = R"({
  "model": 2, "registerNumber": "1", "operator": 12, "fiscalState": 1,
  "fiscalisation": "2019-11-05 08:07:06",
  "taxNumber": "526-000-12-46", "uniqueNumber": "ABC00000001", "firmware": "NEO 1.01.09",
  "header": ["Kiosk \"Żabka\"", "ul. Długa 5"],
  "vatRates": [2300, "zw", "-"],
  "clock": "2024-02-29 23:59:58",
  "database": {
    "packages": [100, 4], "keys": [64, 12], "cashiers": [32, 5], "payForms": [16, 6],
    "discounts": [20, 0], "plu": [8000, 1534], "groups": [100, 18], "units": [32, 7],
    "barcodes": [65535, 1622], "codeFormats": [10, 2]
  }
})";

}  // namespace

TEST(ConnectionTest, FiscalNeoShowsEveryAnswerInOrder)
{
    RegisterSession s(Scenario(kFiscalNeo));
    EXPECT_EQ(s.Run(-1), 0);

    const std::vector<int> commands = {501, 18, 20, 15, 14, 501, 502, 2910, 2910, 2910, 2910, 2910, 321};
    EXPECT_EQ(s.Commands(), commands);
    std::vector<int> forms;
    for (const auto& request : s.Journal())
        if (request["cmd"] == 2910) forms.push_back(request["fields"][0][1].get<int>());
    EXPECT_EQ(forms, (std::vector<int>{2, 3, 4, 5, 6}));

    HostLines expected = TcpOpening("NEO 1.01");
    expected += Step("Odczyt nagłówka...");
    expected += {Added("- linia 1: Kiosk \"Żabka\""), Added("- linia 2: ul. Długa 5")};
    expected += Step("Odczyt stawek VAT...");
    expected += {Added("- A: 23.00%"), Added("- B: zw"), Added("- C: -")};
    expected += Step("Odczyt daty i czasu...");
    expected += {Added("- 2024-02-29 23:59:58")};
    expected += Step("Odczyt statusu kasy...");
    expected += {Added("- typ protokołu komunikacyjnego: NEO 1.01"),
                 Added("- numer kasy: 1"),
                 Added("- numer zalogowanego operatora: 12"),
                 Added("- tryb pracy: FISKALNY"),
                 Added("- data i czas fiskalizacji: 2019-11-05 8:07:06"),
                 Added("- NIP: 526-000-12-46"),
                 Added("- numer unikatowy: ABC00000001"),
                 Added("- wersja firmware(oprogramowania): NEO 1.01.09")};
    expected += Step("Odczyt statusu baz kasy...");
    expected += {Added("- stan totalizerów: ZEROWE")};
    const int values[] = {100, 4, 64, 12, 32, 5, 16, 6, 20, 0, 8000, 1534, 100, 18, 32, 7, 65535, 1622, 10, 2};
    for (int i = 0; i < 20; ++i) {
        // A value line starts at 0, so a value of 0 leaves it as it is.
        expected.push_back(Added(std::string(kDatabaseLabels[i]) + ":\x01" "0"));
        if (values[i] != 0) expected.push_back(Replaced(kDatabaseLabels[i] + (":\x01" + std::to_string(values[i]))));
    }
    expected += Step("Weryfikacja zaprogramowanych form płatności");
    expected += Step("Odczyt numeru kasy...");
    expected += {Added("- kasa o numerze: 1")};
    expected += TcpClosing();
    EXPECT_EQ(s.host.lines, expected);

    // The texts are code page 1250 on the host's side.
    EXPECT_EQ(s.host.lines[TcpOpening("").size() + 2].text, "- linia 1: Kiosk \"\xAF" "abka\"");
    EXPECT_TRUE(s.LinkClosedAtTheEnd());
}

TEST(ConnectionTest, NonFiscalComboWithoutHeaderLinesSkipsThePaymentForms)
{
    RegisterSession s(Scenario(R"({"model": 1, "fiscalState": 0, "vatRates": [800, 0], "operator": 65535,
                                   "fiscalisation": "2000-01-02 23:04:05"})"));
    EXPECT_EQ(s.Run(-1), 0);
    EXPECT_EQ(s.Commands(), (std::vector<int>{501, 18, 20, 15, 14, 501, 502, 321}));

    const HostLines& lines = s.host.lines;
    HostLines opening = TcpOpening("COMBO 1.01");
    EXPECT_EQ(First(lines, opening.size()), opening);
    // A header of no lines: the VAT rates follow at once.
    HostLines head = Step("Odczyt nagłówka...");
    head += Step("Odczyt stawek VAT...");
    head += {Added("- A: 8.00%"), Added("- B: 0.00%")};
    EXPECT_EQ(From(lines, head[0], head.size()), head);
    // Lines reach the host trimmed: an empty tax number leaves the bare label.
    for (const char* text :
         {"- typ protokołu komunikacyjnego: COMBO", "- tryb pracy: NIEFISKALNY", "- numer zalogowanego operatora: 65535",
          "- data i czas fiskalizacji: 2000-01-02 23:04:05", "- stan totalizerów: ZEROWE", "- NIP:"})
        EXPECT_TRUE(Contains(lines, Added(text))) << text;
    EXPECT_FALSE(Contains(lines, Added("Weryfikacja zaprogramowanych form płatności")));
    for (const HostLine& line : lines) EXPECT_EQ(line.kind, 0) << line;
}

// A lost link is pinned by the export's and the serial link's tests.
TEST(ConnectionTest, AMalformedOrRefusedAnswerEndsTheTestWithItsLineFailedAndTheLinkClosed)
{
    const struct {
        const char *scenario, *faults;
        std::vector<int> commands;
        HostLines failedStep;
        std::string message;
    } cases[] = {
        // The year of the date comes as a byte instead of a 16-bit number.
        {R"({"overrides": {"15": {"fields": [["B", 20], ["B", 5], ["B", 24]]}}})", "", {501, 18, 20, 15},
         Concat(Step("Odczyt daty i czasu..."), {Replaced("Odczyt daty i czasu...", 2)}),
         "TComboData::AsV() - nieprawidłowy typ pola DATA"},
        {R"({"model": 2})", R"({"20": {"1": {"kind": "executionError", "code": 1}}})", {501, 18, 20},
         {Added("Odczyt stawek VAT..."), Replaced("Odczyt stawek VAT...", 2)},
         "Kasa zgłosiła błąd wykonania: [W1] - nieznany błąd przesłany przez kasę"},
    };
    for (const auto& c : cases) {
        RegisterSession s(Scenario(c.scenario), c.faults);
        s.Run(-1);
        EXPECT_EQ(s.Commands(), c.commands);
        HostLines tail = c.failedStep;
        tail += TcpClosing();
        tail += Failure(kOperation, c.message);
        EXPECT_EQ(From(s.host.lines, tail[0]), tail);
        EXPECT_TRUE(s.LinkClosedAtTheEnd());
    }
}

TEST(ConnectionTest, PaymentFormsOfAnotherTypeOrMissingWarnAndTheTestGoesOn)
{
    const std::vector<int> all = {2910, 2910, 2910, 2910, 2910, 321};
    const struct {
        const char* scenario;
        std::vector<int> lastCommands;
        std::vector<std::string> warnings;
    } cases[] = {
        // Forms 2 and 6 of the wrong types.
        {R"({"model": 2, "fiscalState": 1, "payForms": [
            {"number": 2, "name": "Karta", "type": 1, "flags": 1},
            {"number": 3, "name": "Euro", "type": 1, "flags": 1, "shortName": "EUR", "rate": 42537},
            {"number": 4, "name": "Bon", "type": 4, "flags": 1},
            {"number": 5, "name": "Czek", "type": 3, "flags": 1},
            {"number": 6, "name": "Inna", "type": 5, "flags": 0}]})",
         all, {"Forma płatności nr 2 powinna być typu \"Karta\"", "Forma płatności nr 6 powinna być typu \"Inne\""}},
        // Five fields instead of six: no type is taken from any of them.
        {R"({"model": 4, "fiscalState": 1, "overrides": {"2910": {"fields":
            [["V", 2], ["S", "Karta"], ["B", 2], ["V", 1], ["S", ""]]}}})",
         all,
         {"Forma płatności nr 2 powinna być typu \"Karta\"", "Forma płatności nr 3 powinna być walutą euro",
          "Forma płatności nr 4 powinna być typu \"Bon\"", "Forma płatności nr 5 powinna być typu \"Czek\"",
          "Forma płatności nr 6 powinna być typu \"Inne\""}},
        // Form 4 is not there: the register refuses its reading, and the check stops.
        {R"({"model": 2, "fiscalState": 1, "payForms": [
            {"number": 2, "name": "Karta", "type": 2, "flags": 1},
            {"number": 3, "name": "Euro", "type": 1, "flags": 1},
            {"number": 5, "name": "Czek", "type": 3, "flags": 1},
            {"number": 6, "name": "Inna", "type": 6, "flags": 0}]})",
         {2910, 2910, 2910, 321}, {}},
    };
    for (const auto& c : cases) {
        RegisterSession s(Scenario(c.scenario));
        EXPECT_EQ(s.Run(-1), 0);
        const std::vector<int> commands = s.Commands();
        ASSERT_GE(commands.size(), c.lastCommands.size());
        EXPECT_EQ(std::vector<int>(commands.end() - static_cast<long>(c.lastCommands.size()), commands.end()),
                  c.lastCommands);
        HostLines tail = {Added("Weryfikacja zaprogramowanych form płatności")};
        for (const std::string& warning : c.warnings) tail.push_back(Added(warning, 1));
        tail.push_back(Added(kFiscalPayForms, 2));
        tail += Step("Odczyt numeru kasy...");
        tail += {Added("- kasa o numerze: 1")};
        tail += TcpClosing();
        EXPECT_EQ(From(s.host.lines, tail[0]), tail);
    }
}

TEST(ConnectionTest, PaymentFormsAreCheckedOnFiscalRegistersOfTheNewerFamiliesOnly)
{
    struct Case {
        int model;
        int fiscalState;
        bool checked;
    };
    // The BINGO HS family (BINGO HS 3.03, BINGO HS EJ 4.01) and the BINGO family
    // (BINGO HS 3.02) are never checked; COMBO 1.02, NEO 1.02 (read-only), NEO
    // 1.01 and REVO 1.01 are when fiscal.
    const Case cases[] = {{26, 1, false}, {11, 1, false}, {5, 1, false}, {3, 1, true},  {4, 2, true},
                          {2, 1, true},   {30, 1, true},  {2, 0, false}, {3, 0, false}, {30, 0, false}};
    for (const Case& c : cases) {
        RegisterSession s(Scenario(R"({"model": )" + std::to_string(c.model) +
                                   R"(, "fiscalState": )" + std::to_string(c.fiscalState) + "}"));
        EXPECT_EQ(s.Run(-1), 0);
        EXPECT_EQ(CountOf(s.Commands(), 2910), c.checked ? 5u : 0u) << "model " << c.model << " state " << c.fiscalState;
        EXPECT_EQ(Contains(s.host.lines, Replaced("Weryfikacja zaprogramowanych form płatności\x01OK")), c.checked)
            << "model " << c.model;
        for (const HostLine& line : s.host.lines) EXPECT_EQ(line.kind, 0) << line;
    }
}
