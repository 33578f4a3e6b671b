// The sales import against the register simulator through the harness:
// what the host receives as "kasa.imp", and that no sale is lost or handed
// over twice whatever cuts a run short.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <regex>

#include "host_lines.h"
#include "receipt_records.h"
#include "register_session.h"

using namespace testutil;
using namespace testutil::records;
using nlohmann::json;

namespace {

json Cash(int value) { return Rec(2, {V(1), S("Gotowka"), B(0), N(value)}); }

// A NEO XL (or another model) with Ala logged in (or nobody: 0), euro in her
// drawer, and these receipt records.
std::string Register(const json& records, int cashier, int model)
{
    json s = {{"model", model}, {"registerNumber", "1"}, {"operator", cashier}, {"clock", "2026-03-09 18:30:15"},
              {"receiptRecords", records},
              {"pluStats", {{{"number", 17}, {"value", -1250}, {"quantity", 3000}, {"stock", -2}, {"lastSale", "2026-03-08"}}}},
              {"packStats", {{{"number", 4}, {"soldQuantity", 10}, {"returnedQuantity", 2}, {"soldValue", 500},
                              {"returnedValue", 100}, {"stock", -3}}}},
              {"cashiers", {{{"number", 3}, {"name", "Ala;\r\nKot"}, {"discounts", -5}, {"surcharges", 6},
                             {"loginSeconds", 826794000}, {"packagesSold", 7}, {"packagesReturned", 8}, {"payIns", 9},
                             {"payOuts", 10}, {"sales", 9150}, {"receipts", 3}, {"cancelledReceipts", 2},
                             {"cancelledReceiptsValue", -12}, {"cancelledLines", 1}, {"cancelledLinesValue", 900},
                             {"drawer", {{1, 12000}, {9, 1}, {3, 500}, {6, 7}}}}}}};
    return s.dump();
}

// Cash, a card receipt with a line discount and a cancelled line, a pay-in
// and a euro payment: each the register's way.
const json kDay = {
    Plu(10, 7, "Chleb", 1000, 350), Cash(350), Close(101, 9, 11, 350),
    Plu(10, 8, "Mleko", 2000, 600), Rec(21, {S("Rabat"), B(1), V(1), N(-60)}),
    Plu(13, 9, "Ser", 1000, 900), Rec(2, {V(2), S("Karta"), B(2), N(540)}), Close(102, 10, 12, 540),
    Rec(4, {V(1), S("Gotowka"), B(0), N(10000), S(""), S("0001"), S("Ala"), V(3)}),
    Plu(10, 7, "Chleb", 1000, 4300), Rec(6, {V(3), S("EUR"), N(4300), N(1000), N(43000)}),
    Close(103, 17, 13, 4300)};

// The receipt and other-operation blocks of the host's accepted import
// files, each once per hand-over.
std::multiset<std::string> Blocks(const VelHost& host, bool others = true)
{
    std::multiset<std::string> blocks;
    for (size_t n = 0; n < host.imports.size(); ++n) {
        if (n + 1 == host.refuseImport) continue;
        for (const std::string& block : testutil::Blocks(host.imports[n], "[Paragon")) blocks.insert(block);
        // A pay-in is dated when it is imported.
        for (const std::string& block : testutil::Blocks(host.imports[n], "[INNA_OPER]"))
            if (others) blocks.insert(block.substr(0, block.find("OP_WPL;") != std::string::npos ? 39 : std::string::npos));
    }
    return blocks;
}

// An import of the receipt records since the day's start.
std::unique_ptr<RegisterSession> ImportSession(const std::string& scenario, const std::string& faults = "",
                                               RegisterLink link = RegisterLink::Tcp)
{
    auto s = std::make_unique<RegisterSession>(scenario, faults, link);
    SetParams(s->host, {{"ComboImpMode", "1"}, {"ComboImpReceipts", "1"}, {"DataImportu", "20260309000000000"}});
    return s;
}

std::unique_ptr<RegisterSession> Session(const json& records, const std::string& faults = "", int cashier = 3,
                                         int model = 24)
{
    return ImportSession(Register(records, cashier, model), faults);
}

}  // namespace

TEST(ImportRun, EveryReceiptReachesTheHostOnceAndWholeWhateverCutsARunShort)
{
    // The next day, a receipt cancelled as a whole before the one closed.
    json twoDays = kDay;
    for (const json& record : {Plu(10, 5, "Woda", 1000, 200),
                               Rec(18, {B(10), B(3), V(2026), B(8), B(1), S("0001"), S("Ala"), V(3), V(1), N(200), N(200)}),
                               Plu(10, 6, "Sok", 1000, 300), Close(104, 8, 14, 300, 10)})
        twoDays.push_back(record);
    const auto clean = Session(twoDays);
    ASSERT_EQ(clean->Run(-3), 0);
    const std::multiset<std::string> expected = Blocks(clean->host);
    ASSERT_EQ(expected.size(), 7u);

    // What cuts the run, its faults, the hand-over the host refuses (from 1)
    // and the runs that fail.
    const std::tuple<const char*, const char*, size_t, int> plans[] = {
        {"link lost at the first record", R"({"451": {"1": "dropConnection"}})", 0, 1},
        {"link lost at the answer that no record is left", R"({"451": {"17": "dropConnection"}})", 0, 1},
        {"link lost in a receipt", R"({"451": {"6": "dropConnection"}})", 0, 1},
        {"and again in the next run", R"({"451": {"6": "dropConnection", "9": "dropConnection"}})", 0, 2},
        {"the next run cut before its first record", R"({"451": {"6": "dropConnection", "7": "dropConnection"}})", 0, 2},
        {"the next run cut before the receipts", R"({"451": {"6": "dropConnection"}, "321": {"2": "dropConnection"}})", 0, 2},
        {"link lost after a pay-in", R"({"451": {"11": "dropConnection"}})", 0, 1},
        {"link lost after a cancelled receipt", R"({"451": {"16": "dropConnection"}})", 0, 1},
        {"link lost reading the cashier", R"({"2510": {"1": "dropConnection"}})", 0, 1},
        {"day 2 of 2 refused", "", 2, 1},
    };
    for (const auto& [what, faults, refuse, failedRuns] : plans) {
        const auto s = Session(twoDays, faults);
        s->host.refuseImport = refuse;
        for (int run = 0; run < failedRuns; ++run) {
            s->Run(-3);
            EXPECT_TRUE(Exists(s->tmp / "combo.imp")) << what;
        }
        s->host.lines.clear();
        EXPECT_EQ(s->Run(-3), 0);
        // The leftover is handed over before the link opens.
        const auto screen = HostScreen(s->host.lines);
        EXPECT_EQ(screen[0], "W:Import z zaległego pliku combo.imp! Coś się nie udało przy ostatnim imporcie!");
        EXPECT_EQ(screen[1], "Analiza pliku combo.imp...\x01OK");
        EXPECT_EQ(Blocks(s->host), expected) << what;
        EXPECT_FALSE(Exists(s->tmp / "combo.imp") || Exists(s->tmp / "receipt.tmp")) << what;
    }
}

TEST(ImportRun, TheHostGetsEachSaleOfTheDayAndTheCashierState)
{
    const auto day = Session(kDay);
    ASSERT_EQ(day->Run(-3), 0);
    EXPECT_TRUE(std::regex_search(day->File("arch.imp"),
                                  std::regex("\r\n\r\n#ODCZYT;[0-9a-f]{24}\r\nSPT;17;-1250;3000;-2;08-03-2026\r\n"
                                             "SPO;4;10;2;500;100;-3\r\n#PARAGONY;\r\nP_PLU;1;7;;Chleb;")));
    EXPECT_NE(day->File("arch.imp").find("\r\nKAS;3;Ala  Kot;-5;6;20260314090000000;20260309183015000;7;8;9;10;9150;3;2;-12;1;"
                        "900\r\nKPL;1;Gotówka;12000;10000\r\nKPL;3;Euro;500;43000\r\nKPL;6;Inna;7;10000\r\n"),
              std::string::npos);
    ASSERT_EQ(day->host.imports.size(), 1u);
    EXPECT_EQ(day->host.imports[0].substr(0, day->host.imports[0].find("\n[INNA_OPER]\nOP_WPL;;;0;1;3;-1;;0;")),
              "[TOWAROWE]\r\nPLU;7;;2000;4650\r\nPLU;8;;2000;600\r\n\r\n[OPERACJE]\r\nKASPAR;ComboLastReceipt;13\r\n"
              "\r\n[RAPORT_GODZINOWY]\r\nGODZ;9;350;1;1\r\nGODZ;10;600;1;1\r\nGODZ;17;4300;1;1\r\n\r\n[RAPORT_WALUTOWY]\r\n"
              "\r\n[FINANSOWE]\r\nWPLATY;10000\r\nWYPLATY;0\r\nRABATY;60\r\nZWROT_OPAKOWAN;0\r\nSPRZEDAZ_OPAKOWAN;0\r\nFPLATN_BON;0\r\n"
              "FPLATN_CZEK;0\r\nFPLATN_KARTA;540\r\nFPLATN_INNE;1000\r\nIL_KOSZYKOW;3\r\nIL_LINII_PAR;3\r\n"
              "\r\n[STAN_KASY]\r\nKAS_NUMER;3\r\nKAS_NAZWISKO;Ala  Kot\r\nKAS_ZMSTART;20260314090000000\r\n"
              "KAS_BIEZ;20260309183015000\r\nKAS_STANKASY;12000\r\nKAS_INNEFPLAT;7\r\nKAS_PARAGONOW;3\r\nKAS_IL_PAR_ANULOWANYCH;2\r\n"
              "KAS_WART_PAR_ANULOWANYCH;-12\r\nKAS_IL_STORNO;1\r\nKAS_WART_STORNO;900\r\nKAS_WAL1_NAZWA;EUR\r\n"
              "KAS_WAL1_KURS;43000\r\nKAS_WAL1_STAN;500\r\nKAS_WAL1_BILANS;2150\r\n"
              "\r\n[FLAGI]\r\nDATA_SPRZEDAZY;20260309090500000\r\nFISK_Z_PLU;T\r\nNADPISZ_FISK;N\r\nNADPISZ_OPAK;N\r\n"
              "PODSUMUJ_OPAK;N\r\nNADPISZ_PLU;N\r\nDOKLEJ_PLU;N\r\n"
              "\r\n[Paragon nr 101]\r\nTRN;11;101;1;1;3;1;;;20260309090500000;0;-1\r\n"
              "ZAW;7;;1000;350;-1;-1;20260309090500000\nPMT;0;350;100;-1;-1;0;1;0;;20260309090500000\n"
              "\r\n[Paragon nr 102]\r\nTRN;12;102;1;1;3;1;;;20260309100500000;0;-1\r\n"
              "ZAW;8;;2000;600;60;-1;20260309100500000\nPMT;3;540;100;-1;-1;3;1;0;;20260309100500000\n"
              "\r\n[Paragon nr 103]\r\nTRN;13;103;1;1;3;1;;;20260309170500000;0;-1\r\n"
              "ZAW;7;;1000;4300;-1;-1;20260309170500000\n"
              "PMT;4;1000;100;-1;-1;4;1;0;;20260309170500000;7;EUR;43000;4300\n"
              "\n[INNA_OPER]\nOP_STORNO;12;102;1;1;3;1;;0;20260309100500000;;-1\r\n"
              "ZAW;9;;1000;900;-1;-1;20260309100500000\nPMT;-1;900;100;-1;-1;-1;1;0;;20260309100500000\n");

    // Nothing sold and nobody logged in: one day of the import date, and the
    // intermediate file archived under the header of every line kind.
    const auto none = Session(json::array(), "", 0);
    none->host.SetParam("DataImportu", "20260310000000000");
    ASSERT_EQ(none->Run(-3), 0);
    ASSERT_EQ(none->host.imports.size(), 1u);
    EXPECT_NE(none->host.imports[0].find("IL_LINII_PAR;0\r\n\r\n[STAN_KASY]\r\nKAS_NUMER;0\r\n\r\n[FLAGI]\r\n"
                                         "DATA_SPRZEDAZY;20260310000000000\r\n"),
              std::string::npos);
    const std::string archive = ReadFile(none->tmp / "arch.imp");

    // A Bingo keeps no receipt records to be asked for.
    const auto bingo = Session(kDay, "", 3, 5);
    ASSERT_EQ(bingo->Run(-3), 0);
    EXPECT_FALSE(Contains(bingo->Commands(), 451));

    // A NEO 1.01 does not name the cashier of a pay-in.
    const auto neo = Session(json::array({kDay[8]}), "", 3, 2);
    ASSERT_EQ(neo->Run(-3), 0);
    EXPECT_NE(ReadFile(neo->tmp / "arch.imp").find("\r\nP_PLA;4;1;Gotowka;0;10000;;;;-1\r\n"), std::string::npos);
    EXPECT_EQ(archive.substr(0, 75), "#\r\n# SPT;<plu>;<wart_sprzed>;<il_sprzed>;<stan_mag>;<data_ost_sprz>\r\n# SPO;");
    EXPECT_NE(archive.find("# P_ZAM;<typ_oper>;<plu>;<kod>;<ilosc>;<opis>\r\n#\r\n\r\n-----"), std::string::npos);
}

// A number of "combo.imp" larger than its field can hold is no line the
// driver wrote: the parse stops at it, naming the place, hands nothing over
// and keeps the file, instead of wrapping it into another amount.
TEST(ImportRun, ANumberTooLargeForItsFieldStopsTheParseAtIt)
{
    const std::pair<const char*, const char*> lines[] = {
        {"P_RAB;22;Rabat;1;2;-9223372036854775808;", "pole 5: \"-9223372036854775808\""},
        {"P_RAB;21;Rabat;1;2;-4294967396;", "pole 5: \"-4294967396\""},
        {"P_RAB;21;Rabat;1;2;-2147483648;", "pole 5: \"-2147483648\""},
        {"P_OPA;1;7;7;-2147483648;50", "pole 4: \"-2147483648\""},
        {"P_ZAM;32;9;590;2147483648;Mleko", "pole 4: \"2147483648\""},
        {"P_ZAM;32;9;590;4294967296;Mleko", "pole 4: \"4294967296\""},
    };
    for (const auto& [line, place] : lines) {
        const auto s = Session(json::array());
        s->host.SetParam("ComboPort", "PLIK");
        WriteFile(s->tmp / "combo.imp", std::string("P_PLU;1;7;;Chleb;1000;350;0\r\n") + line + "\r\n");
        s->Run(-3);
        EXPECT_EQ(s->host.lines.back().text,
                  std::string("Plik combo.imp, wiersz 2, ") + place + " jest poza zakresem liczby 32-bitowej");
        // Its step is marked as failed.
        EXPECT_TRUE(Shows(HostScreen(s->host.lines), "E:Analiza pliku combo.imp...")) << line;
        EXPECT_TRUE(s->host.imports.empty()) << line;
        EXPECT_TRUE(Exists(s->tmp / "combo.imp")) << line;
    }
}

// Around the run: the printout guard tells of what it sets aside from the
// register, and an order the EDI folder refuses waits for a later run.
TEST(ImportRun, TheGuardTellsWhatItSetsAsideAndAnOrderWaitsForItsFolder)
{
    const char* const setAside = "Pominięto paragonów: 3 - ich numery wydruku nie są większe niż numer ostatniego "
                                 "przekazanego paragonu (ComboLastReceipt = 20)";
    // A register whose printout numbers began again lower.
    const auto restarted = Session(kDay);
    restarted->host.SetParam("ComboLastReceipt", "20");
    ASSERT_EQ(restarted->Run(-3), 0);
    EXPECT_EQ(CountOf(restarted->host.lines, Added(setAside, 1)), 1u);
    EXPECT_TRUE(Blocks(restarted->host, false).empty());

    // Parsing a leftover again after the host refused its second day is the
    // guard's ordinary work: quiet.
    json twoDays = kDay;
    twoDays.push_back(Plu(10, 6, "Sok", 1000, 300));
    twoDays.push_back(Close(104, 8, 14, 300, 10));
    const auto refused = Session(twoDays);
    refused->host.refuseImport = 2;
    refused->Run(-3);
    refused->host.lines.clear();
    ASSERT_EQ(refused->Run(-3), 0);
    for (const HostLine& line : refused->host.lines) EXPECT_NE(line.text.rfind("Pominięto", 0), 0u) << line;

    // No EDI folder, or one that cannot be made (a file stands in its way)
    // with the exchange folder given ending in "\": the sales go over, the
    // order waits in its own file inside the exchange folder and a later run
    // writes it first, once.
    const json order = Rec(32, {V(9), S("590"), N(2500), S("Mleko")});
    const std::time_t now = std::time(nullptr);
    char today[9];
    std::strftime(today, sizeof today, "%Y%m%d", std::localtime(&now));
    for (const bool unwritable : {false, true}) {
        SCOPED_TRACE(unwritable);
        const auto edi = Session(json::array({order, kDay[0], kDay[1], kDay[2]}));
        if (unwritable) {
            edi->host.device.folder = edi->tmp.Path() + "\\";
            WriteFile(edi->tmp / "plik", "");
            edi->host.SetParam("ComboEdiFolder", edi->tmp / "plik/EDI");
        }
        edi->Run(-3);
        ASSERT_EQ(edi->host.imports.size(), 1u);
        EXPECT_NE(edi->host.imports[0].find("[FINANSOWE]"), std::string::npos);
        EXPECT_EQ(edi->host.lines.back().kind, 2);
        // The folder's own text, and a line of what becomes of the order.
        const auto screen = HostScreen(edi->host.lines);
        ASSERT_GE(screen.size(), 2u);
        EXPECT_TRUE(screen[screen.size() - 2].ends_with(unwritable ? "Próba utworzenia katalogu zakończona błędem"
                                                                   : "na zapisanie dokumentu zamówienia"))
            << screen[screen.size() - 2];
        EXPECT_EQ(screen.back(), "E:Zamówienia czekają w pliku " + edi->tmp.Path() +
                                     "/zamowienia.tmp - zapisze je następny import");
        // The document's name, the reading it came from, its order line.
        EXPECT_TRUE(std::regex_match(ReadFile(edi->tmp / "zamowienia.tmp"),
                                     std::regex(std::string("#ZAMOWIENIA 2\r\n\r\nDoc001_") + today +
                                                "_001\\.txt\r\n#ODCZYT [0-9a-f]{24}\r\nMleko;590;2500\r\n\r\n"
                                                "#KONIEC 1 1\r\n\r\n")))
            << ReadFile(edi->tmp / "zamowienia.tmp");
        EXPECT_FALSE(Exists(edi->tmp.Path() + "\\zamowienia.tmp"));
        edi->host.SetParam("ComboEdiFolder", edi->tmp / "EDI");
        for (int run = 0; run < 2; ++run) ASSERT_EQ(edi->Run(-3), 0);
        const auto documents = std::distance(std::filesystem::directory_iterator(edi->tmp / "EDI"), {});
        EXPECT_EQ(documents, 1);
        EXPECT_FALSE(Exists(edi->tmp / "zamowienia.tmp"));
    }

    // A reading read to its end whose day the host refused: its order waits
    // for no later reading (none completes it), and is a document of its
    // own when the next run cannot read the register.
    const auto whole = Session(json::array({order, kDay[0], kDay[1], kDay[2]}), R"({"451": {"6": "dropConnection"}})");
    whole->host.SetParam("ComboEdiFolder", whole->tmp / "EDI");
    whole->host.refuseImport = 1;
    whole->Run(-3);
    ASSERT_TRUE(Exists(whole->tmp / "combo.imp"));
    whole->host.lines.clear();
    whole->Run(-3);
    EXPECT_EQ(whole->host.imports.size(), 2u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(whole->tmp / "EDI"), {}), 1);
    for (const HostLine& line : whole->host.lines) EXPECT_EQ(line.text.find("czekają"), std::string::npos) << line;
}

// The card pattern the register gives is kept for later parses: a refused
// store warns, under the step's own line, and this run uses the register's
// pattern, an empty one too, never an earlier register's.
TEST(ImportRun, TheCardPatternsStoreNeverStopsTheImport)
{
    const json card = Rec(23, {S("Karta"), B(2), V(4), N(100), S("1234569907240")});
    // The pattern, and an answer of only the three fields before it, which
    // reads as an empty pattern.
    const std::pair<const char*, bool> answers[] = {{"NNNNNN99YYMMX", false}, {"", false}, {"", true}};
    for (const auto& [pattern, threeFields] : answers) {
        json scenario = json::parse(Register(json::array({kDay[0], card, kDay[1], kDay[2]}), 3, 24));
        scenario["cardPattern"] = threeFields ? "NNNNNN99YYMMX" : pattern;
        if (threeFields)
            scenario["overrides"]["334"] = json::parse(R"({"fields": [["B", 0], ["B", 0], ["B", 0]]})");
        RegisterSession s(scenario.dump());
        SetParams(s.host, {{"ComboImpMode", "1"}, {"ComboImpReceipts", "1"}, {"ComboCardFormatFull", "1"},
                           {"Vel_Combo_CardPattern", "99NNNNNNYYMMX"}});
        s.host.answers["change_param"] = 0;
        ASSERT_EQ(s.Run(-3), 0);
        const auto screen = HostScreen(s.host.lines);
        const auto step = std::find(screen.begin(), screen.end(), "- odczyt formatu kart rabatowych...\x01OK");
        ASSERT_NE(step, screen.end()) << pattern;
        EXPECT_EQ(*(step - 1), "W:Błąd zapisu własnego parametru 'Vel_Combo_CardPattern' do bazy danych");
        ASSERT_EQ(s.host.imports.size(), 1u);
        EXPECT_NE(s.host.imports[0].find(*pattern ? ";3;1;123456;" : ";3;1;1234569907240;"), std::string::npos)
            << s.host.imports[0];
    }
    // A file parsed without the register takes the pattern kept, not the mask.
    const auto file = Session(json::array());
    SetParams(file->host, {{"ComboPort", "PLIK"}, {"ComboCardFormatFull", "1"}, {"ComboCardMask", "NNNNNN99YYMMX"},
                           {"Vel_Combo_CardPattern", "99NNNNNNYYMMX"}});
    WriteFile(file->tmp / "combo.imp", "P_RAB;23;Karta;2;4;100;1234569907240\r\n"
                                       "P_TRN;1;20260309090500000;1;Ala;3;0;0;11\r\n");
    ASSERT_EQ(file->Run(-3), 0);
    EXPECT_NE(file->host.imports.at(0).find(";3;1;345699;"), std::string::npos) << file->host.imports[0];
}

// A leftover cut while the receipt carried in was being copied into it
// holds part of that receipt before any record of its own: "receipt.tmp",
// still there, has the whole of it, which reaches the host once.
TEST(ImportRun, APartCopiedCarryLeavesTheReceiptToReceiptTmp)
{
    const auto s = Session(json::array({kDay[1], kDay[2]}));
    const std::string chleb = "P_PLU;1;7;;Chleb;1000;350;0\r\n";
    WriteFile(s->tmp / "combo.imp", "\r\nSPT;17;-1250;3000;-2;08-03-2026\r\n" + chleb);
    WriteFile(s->tmp / "receipt.tmp", chleb + "FIRST_LINE_REPEATED");
    ASSERT_EQ(s->Run(-3), 0);
    EXPECT_EQ(s->File("arch.imp").find("FIRST_LINE_REPEATED"), std::string::npos) << "a marker is no line of it";
    EXPECT_EQ(Blocks(s->host, false), (std::multiset<std::string>{"[Paragon nr 101]\r\nTRN;11;101;1;1;3;1;;;20260309090500000;0;-1\r\n"
                                                       "ZAW;7;;1000;350;-1;-1;20260309090500000\nPMT;0;350;100;-1;-1;0;1;0;;"
                                                       "20260309090500000"}));
    EXPECT_FALSE(Exists(s->tmp / "combo.imp") || Exists(s->tmp / "receipt.tmp"));
}

// Noise on the line after every answer, one stray byte or seven (a false
// frame start among them), is passed over before the next answer: no request
// is sent twice and the host gets what it gets without the noise.
TEST(ImportRun, LineNoiseAfterTheAnswersCostsNothing)
{
    const auto clean = Session(kDay);
    ASSERT_EQ(clean->Run(-3), 0);
    for (const RegisterLink link : {RegisterLink::Tcp, RegisterLink::Pty})
        for (const char* noise : {"FF", "02 00 55 03 10 10 41"}) {
            json scenario = json::parse(Register(kDay, 3, 24));
            scenario["lineNoise"] = noise;
            const auto s = ImportSession(scenario.dump(), "", link);
            EXPECT_EQ(s->Run(-3), 0);
            for (const HostLine& line : s->host.lines) EXPECT_NE(line.kind, 2) << noise << ": " << line;
            EXPECT_EQ(s->Commands(), clean->Commands()) << noise;
            EXPECT_EQ(Blocks(s->host), Blocks(clean->host)) << noise;
        }
}
