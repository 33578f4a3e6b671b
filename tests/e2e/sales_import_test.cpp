// The sales import against the register simulator: each receipt record to
// its line of the intermediate file, of the protocol trace and on to its
// record of the host's import file, and days kept apart.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "host_lines.h"
#include "receipt_records.h"
#include "register_session.h"

using namespace testutil;
using namespace testutil::records;

namespace {

RegisterSession& Configure(RegisterSession& s)
{
    SetParams(s.host, {{"ComboImpMode", "1"}, {"ComboImpReceipts", "1"}, {"ComboCardFormatFull", "2"},
                                 {"ComboCardMask", "99NNNNNNYYMMX"}});
    return s;
}

// Anna's register with these receipt records and more of the scenario.
std::string Scenario(const json& records, json more = json::object())
{
    more.update({{"model", 24}, {"clock", "2024-01-02 18:00:00"}, {"receiptRecords", records}});
    return more.dump();
}

// A receipt's close: number, day, printout number.
json Close(int number, int day, int printout)
{
    return Rec(17, {L(number), B(day), B(1), V(2024), B(10), B(15), S("1"), S("Anna"), V(3), N(899), N(899), L(printout)});
}
json Goods(int plu, int value) { return Plu(10, plu, "Ser", 1000, value, "5901234123457"); }

// The protocol trace of the exchange folder, its files one after another.
std::string Trace(const RegisterSession& s)
{
    std::string trace;
    for (const auto& file : std::filesystem::directory_iterator(s.tmp / "log")) trace += ReadFile(file.path());
    return trace;
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

}  // namespace

TEST(SalesImport, EachRecordBecomesItsLineAndItsHostRecord)
{
    struct Row {
        json record;
        std::string line, host;
    };
    const std::vector<Row> rows = {
        {Goods(5, 899), "P_PLU;1;5;5901234123457;Ser;1000;899;0", "ZAW;5;;1000;899;-50;-1;20240102101500000\n"},
        {Rec(21, {S("Rabat"), B(1), V(2), N(50)}), "P_RAB;21;Rabat;1;2;50;\r\n", ""},
        {Plu(13, 6, "Chleb; razowy", 1000, 300, "2"), "P_PLU;1;6;2;Chleb razowy;1000;300;1",
         "OP_STORNO;77;41;1;1;3;1;;0;20240102101500000;;-1\r\n"
         "ZAW;6;;1000;300;-1;-1;20240102101500000\nPMT;-1;300;100;-1;-1;-1;1;0;;20240102101500000\n"},
        {Rec(1, {V(7), S("7"), N(1), N(50)}), "P_OPA;1;7;7;1;50",
         "ZAW;;7;-1;-50;-1;-1;20240102101500000\n"},
        // The card number ends the code: the code is just long enough.
        {Rec(23, {S("Karta"), B(2), V(4), N(100), S("99123456")}), "P_RAB;23;Karta;2;4;100;99123456", "TRN;77;41;2;3;3;1;123456;;20240102101500000;-100;-1\r\n"},
        {Rec(2, {V(2), S("Karta"), B(2), N(500)}), "P_PLA;2;2;Karta;2;500;;;;-1",
         "PMT;3;500;100;-1;-1;3;0;0;;20240102101500000\n"},
        {Rec(3, {V(1), S("Gotówka"), B(0), N(101)}), "P_PLA;3;1;Gotówka;0;101;;;;-1",
         "PMT;0;-101;100;-1;-1;0;0;0;;20240102101500000\n"},
        {Rec(6, {V(3), S("EUR"), N(430), N(100), N(43000)}), "P_WAL;6;3;EUR;430;100;43000", "PMT;4;100;100;-1;-1;4;1;0;;20240102101500000;7;EUR;43000;430\n"},
        {Close(41, 2, 77), "P_TRN;41;20240102101500000;1;Anna;3;899;899;77", "[Paragon nr 41]\r\n"},
        {Rec(4, {V(1), S("Gotówka"), B(0), N(2000), S(""), S("1"), S("Anna"), V(3)}), "P_PLA;4;1;Gotówka;0;2000;;1;Anna;3", "OP_WPL;;;0;1;3;-1;;0;"},
        {Rec(16, {B(2), B(1), V(2024), V(12), B(0), B(0), N(1), N(2), N(3), N(4), N(5), N(6), N(7)}),
         "P_FSK;20240102000000000;12;1;2;3;4;5;6;7;\r\n", ""},
        {Rec(32, {V(9), S("590"), N(2500), S("Zamówienie")}), "P_ZAM;32;9;590;2500;Zamówienie", ""},
        {Rec(25, {V(1)}), "", ""},
        {Goods(8, 100), "P_PLU;1;8;5901234123457;Ser;1000;100;0", ""},
        {Rec(18, {B(2), B(1), V(2024), B(11), B(5), S("1"), S("Anna"), V(3), V(1), N(100), N(100)}),
         "P_ANU;20240102110500000;1;Anna;3;1;100;100",
         "OP_ANUL;;;0;1;3;1;;0;20240102110500000;;-1\r\nPMT;-1;100;100;-1;-1;-1;1;0;;20240102110500000\n"},
        {Plu(15, 11, "Bułka", 1000, 50), "P_PLU;1;11;;Bułka;1000;50;1", ""},
        {Close(42, 2, 78), "P_TRN;42;20240102101500000;1;Anna;3;899;899;78",
         "TRN;78;42;0;0;3;1;;;20240102101500000;0;-1\r\n"},
    };
    json records = json::array();
    for (const Row& row : rows) records.push_back(row.record);
    RegisterSession s(Scenario(records));
    Configure(s).host.SetParam("ComboDedbug", "1");
    ASSERT_EQ(s.Run(-3), 0);
    const std::string lines = s.File("arch.imp"), host = s.File("arch1.imp"), trace = Trace(s);
    for (const Row& row : rows) {
        EXPECT_TRUE(row.line.empty() || lines.find(row.line) != std::string::npos) << row.line;
        EXPECT_TRUE(row.host.empty() || host.find(row.host) != std::string::npos) << row.host;
        // The trace shows the line as it was received, its line end spelt out.
        std::string traced = " <- " + row.line;
        if (traced.ends_with("\r\n")) traced.replace(traced.size() - 2, 2, "<CR><LF>");
        EXPECT_TRUE(row.line.empty() || trace.find(traced) != std::string::npos) << row.line;
    }
    // The cancelled receipt's goods line went with it; the currency counts once.
    EXPECT_EQ(Count(host, "ZAW;8;"), 0u);
    EXPECT_NE(host.find("FPLATN_INNE;100\r\n"), std::string::npos);
    EXPECT_NE(host.find("KASPAR;ComboLastReceipt;78\r\n"), std::string::npos);
    EXPECT_EQ(Count(lines, "\r\nP_"), rows.size() - 1);
}

// A run stopped by a register of another number leaves an intermediate
// file without a line of the register: the next run hands no day over for
// it, in receipt mode or in totals mode, only the day of the register's
// sales.
TEST(SalesImport, OnlyLinesThatBelongToADayMakeOne)
{
    // The import mode and the day its sales are handed over as.
    const std::pair<const char*, const char*> modes[] = {{"1", "2024-01-02"}, {"0", "2024-03-05"}};
    for (const auto& [mode, day] : modes) {
        RegisterSession s(Scenario(json::array({Goods(5, 899), Close(41, 2, 77)})));
        Configure(s).host.device.number = 2;
        SetParams(s.host, {{"ComboImpMode", mode}, {"DataImportu", "20240305000000000"}});
        ASSERT_EQ(s.Run(-3), 0);
        EXPECT_EQ(s.host.lines.back(), Added("Niezgodny numer urządzenia!", 2));
        ASSERT_TRUE(std::regex_match(s.File("combo.imp"), std::regex("\r\n#ODCZYT;[0-9a-f]{24}\r\n")));

        s.host.device.number = 1;
        s.host.lines.clear();
        ASSERT_EQ(s.Run(-3), 0);
        std::vector<std::string> saves;
        for (const HostLine& line : s.host.lines)
            if (line.text.rfind("Zapis do bazy", 0) == 0) saves.push_back(line.text.substr(0, 24));
        EXPECT_EQ(saves, std::vector<std::string>{std::string("Zapis do bazy ") + day}) << mode;
        ASSERT_EQ(s.host.imports.size(), 1u) << mode;
        EXPECT_NE(s.host.imports[0].find("[Paragon nr 41]"), std::string::npos) << mode;
        EXPECT_FALSE(Exists(s.tmp / "combo.imp")) << mode;
    }
}

// A leftover intermediate file in file mode: the register is never asked
// what it is, yet receipts the host already has stay out.
TEST(SalesImport, DaysGoOverInOrderAndHandedOverReceiptsStayOut)
{
    RegisterSession s;
    Configure(s).host.SetParam("ComboPort", "PLIK");
    s.host.SetParam("ComboLastReceipt", "6");
    const std::string trn = ";1;Anna;3;100;100;";
    WriteFile(s.tmp / "combo.imp", "P_PLA;4;1;Gotówka;0;2000;;1;Anna;3\r\nP_PLU;1;5;590;Ser;1000;100;0\r\n"
                                   "P_TRN;5;20240103101500000" + trn + "5\r\nP_PLU;1;6;590;Ser;1000;100;0\r\n"
                                   "P_TRN;7;20240102120000000" + trn + "7\r\n\r\nP_TRN;8;20240103130000000" + trn +
                                   "8\r\nP_PLU;1;9;590;Ser;1000;1;0\r\n");
    ASSERT_EQ(s.Run(-3), 0);
    EXPECT_FALSE(s.LinkEverOpened());
    std::vector<std::string> saves;
    for (const HostLine& line : s.host.lines)
        if (line.text.rfind("Zapis do bazy", 0) == 0) saves.push_back(line.text);
    EXPECT_EQ(saves,
              std::vector<std::string>({"Zapis do bazy 2024-01-03 (środa):", "Zapis do bazy 2024-01-02 (wtorek):"}));
    const std::string host = s.File("arch1.imp");
    EXPECT_EQ(Blocks(host, "[Paragon nr "),
              std::vector<std::string>({"[Paragon nr 8]\r\nTRN;8;8;0;0;3;1;;;20240103130000000;0;-1",
                                        "[Paragon nr 7]\r\nTRN;7;7;1;0;3;1;;;20240102120000000;0;-1\r\n"
                                        "ZAW;6;;1000;100;-1;-1;20240102120000000"}));
    EXPECT_EQ(Count(host, "KASPAR;ComboLastReceipt;8\r\n"), 2u);
    EXPECT_EQ(Count(host, "OP_WPL;") + Count(host, "WPLATY;2000"), 0u) << "the pay-in went over with receipt 5";
    EXPECT_FALSE(Exists(s.tmp / "combo.imp"));

    // No receipt at all: no printout number goes over.
    s.host.SetParam("ComboLastReceipt", "0");
    WriteFile(s.tmp / "combo.imp", "KAS;0\r\n");
    s.Run(-6);
    EXPECT_EQ(Count(s.File("arch1.imp"), "KASPAR;"), 2u);

    // A line that does not hold what it must stops the parse at it and
    // keeps the file for the next run.
    WriteFile(s.tmp / "combo.imp", "KAS;0\r\nP_TRN;x;20240103101500000\r\n");
    s.host.lines.clear();
    s.Run(-3);
    EXPECT_EQ(s.host.lines.back(), Added("Plik combo.imp, wiersz 2, pole 1: \"x\" nie jest liczbą", 2));
    EXPECT_TRUE(Exists(s.tmp / "combo.imp"));
}

// Totals mode: the day's figures come from the register's statistics, the
// cashier's drawer goes over as the cashier state, and a card number is cut
// by the register's own pattern, here from the code's first digit.
TEST(SalesImport, StatisticsCashierAndReportInTotalsMode)
{
    json card = Rec(23, {S("Karta"), B(2), V(4), N(100), S("1234569907240")}), end = Rec(25, {});
    card["bufferFull"] = end["bufferFull"] = true;
    RegisterSession s(Scenario({card, Close(1, 2, 1), end}, json::parse(R"({"operator": 3, "totalsNonZero": true,
        "cardPattern": "NNNNNN99YYMMX",
        "pluStats": [{"number": 5, "value": 1250, "quantity": 2000, "stock": 10, "lastSale": "2024-01-02"}],
        "packStats": [{"number": 7, "soldQuantity": 3, "returnedQuantity": 1, "soldValue": 300, "returnedValue": 100}],
        "cashiers": [{"number": 3, "name": "Anna", "loginSeconds": 31651200, "drawer": [[1, 10000], [3, 500]]}]})")));
    SetParams(Configure(s).host, {{"ComboImpMode", "0"}, {"ComboCardFormatFull", "1"}, {"ComboFiscalReport", "1"},
                                  {"DataImportu", "20240102000000000"}});
    ASSERT_EQ(s.Run(-3), 0);
    const std::string host = s.File("arch1.imp");
    for (const char* record : {"[TOWAROWE]\r\nPLU;5;;2000;1250\r\nPLU;;7;2;200\r\n",
                               "RABATY;-100\r\nZWROT_OPAKOWAN;100\r\nSPRZEDAZ_OPAKOWAN;300\r\n",
                               "[STAN_KASY]\r\nKAS_NUMER;3\r\nKAS_NAZWISKO;Anna\r\n", "KAS_STANKASY;10000\r\n",
                               "TRN;1;1;0;0;3;1;123456;"})
        EXPECT_NE(host.find(record), std::string::npos) << record;
    EXPECT_EQ(s.Sent(1165, 1165), std::vector<std::string>{R"(1165 [["B",2],["B",1],["V",2024],["B",18],["B",0]])"});
    const char* const warning = "UWAGA! Osiągnięto niebezpieczny poziom zapełnienia bufora paragonów! Zwiększ "
                                "częstotliwość importów";
    EXPECT_EQ(CountOf(s.host.lines, Added(warning, 1)), 1u);
}

// Goods named by barcode: a code in the configured range of weighed goods
// is composed into the host's pattern, each with the configured prefix. The
// orders go to one EDI document, corrections applied.
TEST(SalesImport, WeighedGoodsCodesAndOrdersOfAFileImport)
{
    RegisterSession s;
    Configure(s);
    SetParams(s.host, {{"ComboPort", "PLIK"}, {"ComboTowIdParag", "1"}, {"ComboKwKodPocz", "10"},
                       {"ComboKwKodKonc", "99"}, {"ComboKwPrzedr", "28"}, {"ComboEdiFolder", s.tmp / "EDI"}});
    s.host.weighted = {"27SSSSS?????K", "28SSSSS?????K"};
    WriteFile(s.tmp / "combo.imp", "P_ZAM;32;9;590;2500;Mleko\r\nP_ZAM;32;10;591;1000;Chleb\r\nP_PLU;1;1;10;A;1;1;0\r\n"
                                   "P_PLU;1;2;0099;B;1;1;0\r\nP_PLU;1;3;100;C;1;1;0\r\n"
                                   "P_TRN;1;20240102101500000;1;Anna;3;3;3;1\r\nP_ZAM;33;9;590 ;1500;Mleko\r\n");
    ASSERT_EQ(s.Run(-3), 0);
    const std::string host = s.File("arch1.imp");
    for (const char* code : {"ZAW;;2800010??????;", "ZAW;;2800099??????;", "ZAW;;100;"})
        EXPECT_NE(host.find(code), std::string::npos) << code;

    // The document's name and its header are the EDI writer's own tests' to pin.
    const auto doc = *std::filesystem::directory_iterator(s.tmp / "EDI");
    const auto lines = ReadLines(doc.path());
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[8] + lines[9] + lines[10], "IloscLinii:2\rLinia:Kod{591}Ilosc{1.000}\rLinia:Kod{590}Ilosc{1.500}\r");
    EXPECT_EQ(s.host.lines.back(),
              Added("Utworzono nowy dokument EDI z zamówieniem: " + doc.path().filename().string(), 1));
}
