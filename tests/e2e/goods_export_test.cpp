// Goods and packages through the real library against the register
// simulator's goods base: the four passes of an export with their exact
// fields, refused rows, the register's goods read back and reconciled, the
// goods base cleared, every kind of export leaving the register with the
// host's list (also after a run stopped at its deletions), and service
// functions 1 and 2.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "host_lines.h"
#include "register_session.h"

using namespace testutil;

namespace {

// A host goods line; `rest`: stawka, jedn, czy_wazony, precyzja, wagowo,
// opakowanie, cena_otwarta, kod_opakowania, plu_opakowania, nr_asort.
std::string Plu(const std::string& plu, const std::string& kod, const std::string& name, const std::string& price,
                const std::string& status, const std::string& rest = "23;1;F;0;F;F;F;;;0")
{
    const std::string line = "PLU;" + plu + ";" + plu + "0;" + kod + ";" + name + ";" + price + ";0;0;0;" + rest;
    return line + ";" + status + "\r\n";
}
// A package; with a PLU other than 0 the result file reports it.
std::string Pack(const std::string& kod, const std::string& name, const std::string& price, const std::string& status,
                 const std::string& plu = "0")
{
    return Plu(plu, kod, name, price, status, "0;1;F;0;F;T;F;;;0");
}

// The goods commands the register took, each with its fields.
std::vector<std::string> GoodsSent(const RegisterSession& s)
{
    std::vector<std::string> sent = s.Sent(2000, 2799);
    std::erase_if(sent, [](const std::string& c) { return c[1] == '5' || c[1] == '6'; });
    return sent;
}

// Kind "3" reads the register's goods first; towMax "1" clears them instead.
int Export(RegisterSession& s, const std::string& kasa, const char* kind = "0", const char* towMax = "0")
{
    WriteFile(s.tmp / "kasa.exp", kasa);
    SetParams(s.host, {{"Vel_Combo_PosortowaneStawkiVatPrec", "2300\r\n800\r\n500\r\n0\r\n-1\r\n-999\r\n-999"},
                       {"RodzajTransmisji", kind}, {"ComboKasTowMax", towMax}});
    return s.Run(-2);
}

// The rejected list (or with kind 1 the warnings) as the host is shown it:
// its count, then each line.
HostLines RejectedList(const std::vector<std::string>& lines, int kind = 2)
{
    const std::string title = kind == 2 ? "- towary odrzucone:\x01" : "- ostrzeżenia:\x01";
    HostLines shown = {Added(title + "0"), Replaced(title + std::to_string(lines.size()))};
    for (const std::string& line : lines) shown.push_back(Added("..." + line, kind));
    return shown;
}

const char* const kLongName = "Chleb razowy krojony pakowany z ziarnem slonecznika";

// The goods commands sent from the journal's entry `from` on, each with its first field.
std::string GoodsSentFrom(const RegisterSession& s, size_t from)
{
    const std::vector<std::string> sent = GoodsSent(s);
    std::string shown;
    for (size_t i = from; i < sent.size(); ++i) shown += sent[i].substr(0, sent[i].find(']')) + "]] ";
    return shown;
}

// A register holding what an earlier export put there, and a host file that
// adds, updates, reprices and deletes goods and packages of it: each kind of
// export must leave the register with exactly the host's list.
std::string HeldScenario(bool packageSold = false)
{
    // Besides the name, barcode and price, what an export programs for the host's goods below.
    const std::string programmed = R"(, "unit": 1, "group": 1, "fixedPrice": 1, "discountAllowed": 1, "barcodes": 1})";
    return R"({"reports": {"delayMs": 0}, "goods": [{"plu": 2, "name": "Maslo", "barcode": "5902", "price": 600)" +
           programmed + R"(, {"plu": 3, "name": "Ser", "barcode": "5903", "price": 900)" + programmed +
           R"(, {"plu": 4, "name": "Stary", "barcode": "5904", "price": 10)" + programmed +
           R"(], "packages": [{"number": 4, "name": "Skrzynka", "barcode": "4", "price": 900, "fixedPrice": 1},)"
           R"( {"number": 7, "name": "Stara", "barcode": "7", "price": 50, "fixedPrice": 1, "sales": )" +
           (packageSold ? "1" : "0") + "}]}";
}
const std::string kHostList = Plu("1", "5901", "Chleb", "350", "DOD") + Plu("2", "5902", "Maslo ekstra", "650", "AKT") +
                              Plu("3", "5903", "Ser", "950", "CEN") + Plu("4", "5904", "Stary", "10", "USU") +
                              Pack("5", "Butelka", "50", "DOD", "50") + Pack("4", "Skrzynka", "950", "CEN", "40") +
                              Pack("7", "Stara", "50", "USU", "70");
// Every row carried out, under its own status word.
const char* const kHostListDone = "PLU;1;10;5901;DOD\r\nPLU;2;20;5902;AKT\r\nPLU;3;30;5903;CEN\r\nPLU;4;40;5904;USU\r\n"
                                  "PLU;50;500;5;DOD\r\nPLU;40;400;4;CEN\r\nPLU;70;700;7;USU\r\n";
// The register's records once it holds the host's list, as "combo.tow" has them.
const char* const kHostListHeld = "TOW;1;Chleb;5901;0;0;0;350;0;1;0;1;0;1;1;1\r\n"
                                  "TOW;2;Maslo ekstra;5902;0;0;0;650;0;1;0;1;0;1;1;1\r\n"
                                  "TOW;3;Ser;5903;0;0;0;950;0;1;0;1;0;1;1;1\r\n"
                                  "OPA;4;Skrzynka;4;950;0;1\r\nOPA;5;Butelka;5;50;0;1\r\n";
// The reading of a register that holds so many goods and packages.
std::string ReadBack(int goods, int packages)
{
    std::string sent = R"(2000 [["B",0]] )";
    for (int i = 0; i <= goods; ++i) sent += R"(2110 [["V",0]] )";
    sent += R"(2003 [["B",0]] )";
    for (int i = 0; i <= packages; ++i) sent += R"(2710 [["V",0]] )";
    return sent;
}
const std::string kReadBack = ReadBack(3, 2);
// The commands the host's file needs of the register, after its reading or clearing.
const std::string kDeletions = R"(2140 [["V",4]] 2740 [["V",7]] )";
const std::string kProgramming = R"(2700 [["V",5]] 2700 [["V",4]] 2100 [["V",1]] 2100 [["V",2]] )";
const std::string kRepricing = R"(2181 [["V",3]] )";
const std::string kClearing = R"(2150 [["B",0]] 2750 [["B",0]] )";

// An export of the host's file, checked to have shown no error line.
void ExportWithoutErrors(RegisterSession& s, const std::string& kasa, const char* kind, const char* towMax)
{
    s.host.lines.clear();
    EXPECT_EQ(Export(s, kasa, kind, towMax), 0);
    for (const HostLine& line : s.host.lines) EXPECT_NE(line.kind, 2) << line.text;
}

// What the register holds, read back by a reconciling export of the host's
// file, which finds nothing to send when it holds the host's list.
void ExpectRegisterHoldsTheHostList(RegisterSession& s, const std::string& kasa)
{
    const size_t before = GoodsSent(s).size();
    ExportWithoutErrors(s, kasa, "3", "0");
    EXPECT_EQ(GoodsSentFrom(s, before), kReadBack);
    const std::string tow = s.File("combo.tow");
    EXPECT_EQ(tow.substr(tow.find("#\r\nTOW") + 3), kHostListHeld);
    EXPECT_EQ(s.File("wynik.exp"), kHostListDone);
}

}  // namespace

TEST(GoodsExport, FourPassesSendEveryFieldAsTheFamilyTakesIt)
{
    const std::string kasa = Plu("1", "5901", kLongName, "350", "DOD", "23;2;F;0;F;F;F;4;;3") +
                             Plu("2", "28001234?????", "Ser", "-120.9", "AKT", "8;3;T;3;F;F;T;70;;0") +
                             Plu("3", "777", "Cukier", "499", "CEN") + Plu("4", "888", "Stary", "1", "USU") +
                             Pack("5", "Butelka", "50", "USU") + Pack("4", "Skrzynka", "900", "DOD");
    const std::tuple<int, std::string, std::string> families[] = {
        {2, "Chleb razowy krojony pak", "1234"}, {30, "Chleb razowy krojony pakowany z ziarnem ", "28001234"},
        {5, "Chleb razowy kro", "28001234"}};
    for (const auto& [model, name, barcode] : families) {
        RegisterSession s(R"({"model": )" + std::to_string(model) +
                          R"(, "goods": [{"plu": 3, "barcode": "777"}, {"plu": 4, "barcode": "888"}],
                              "packages": [{"number": 5, "barcode": "5"}]})");
        // Saved as UTF-8 with a byte-order mark, which is passed over.
        EXPECT_EQ(Export(s, "\xEF\xBB\xBF" + kasa + "ASS;1;Napoje\r\nASS;3;Pieczywo\r\n"), 0);
        EXPECT_EQ(GoodsSent(s), (std::vector<std::string>{
                                    R"(2140 [["V",4],["B",0],["B",0]])", R"(2740 [["V",5],["B",0],["B",0]])",
                                    R"(2700 [["V",4],["S","Skrzynka"],["S","4"],["N",900],["N",0],["B",1],["B",1],["B",0]])",
                                    R"(2100 [["V",1],["S",")" + name + R"("],["S","5901"],["N",350],["N",0],)"
                                    R"(["B",4],["B",2],["B",0],["B",2],["B",0],["B",0],["B",1],["B",1],["B",0],["B",1],["B",0]])",
                                    R"(2100 [["V",2],["S","Ser"],["S",")" + barcode + R"("],["N",-120],["N",0],)"
                                    R"(["B",0],["B",3],["B",0],["B",1],["B",1],["B",3],["B",0],["B",1],["B",0],["B",1],["B",0]])",
                                    R"(2181 [["V",3],["N",499]])"}))
            << model;
        EXPECT_EQ(s.File("wynik.exp"), "PLU;1;10;5901;DOD\r\nPLU;2;20;28001234?????;AKT\r\n"
                                                 "PLU;3;30;777;CEN\r\nPLU;4;40;888;USU\r\n");
    }
}

TEST(GoodsExport, RefusedRowsAreListedAndTheNextOnesStillSent)
{
    RegisterSession s(R"({"goods": [{"plu": 9, "barcode": "590"}]})");
    EXPECT_EQ(Export(s, Plu("65536", "123", "Za duzy numer", "1", "DOD") + Plu("1", "590", "Mleko", "1", "DOD") +
                            Plu("2", "591", "Drogi", "2147483648", "DOD") + Pack("256", "Skrzynia", "1", "DOD") +
                            Pack("-1", "Minus", "1", "DOD") + Pack("0", "Zero", "1", "DOD") + Pack("249", "Kosz", "1", "DOD") +
                            Pack("12A", "Worek", "1", "USU") +
                            Plu("3", "592", "Woda zrodlana gazowana", "-2147483648", "CEN") +
                            Plu("65535", "593", "Graniczny", "2147483647.9", "DOD", "23;1;F;0;F;F;F;65;;0") +
                            Plu("4", "594", "Bez opakowania", "1", "DOD", "23;1;F;0;F;F;F;66;;0")),
              0);
    auto ins = [](const std::string& head, const std::string& price, const std::string& package) {
        return "2100 [" + head + R"(,["N",)" + price + R"(],["N",0],["B",)" + package +
               R"(],["B",1],["B",0],["B",1],["B",0],["B",0],["B",1],["B",1],["B",0],["B",1],["B",0]])";
    };
    EXPECT_EQ(GoodsSent(s),
              (std::vector<std::string>{R"(2740 [["V",99],["B",0],["B",0]])",
                                        R"(2700 [["V",0],["S","Zero"],["S","0"],["N",1],["N",0],["B",1],["B",1],["B",0]])",
                                        R"(2700 [["V",249],["S","Kosz"],["S","249"],["N",1],["N",0],["B",1],["B",1],["B",0]])",
                                        ins(R"(["V",1],["S","Mleko"],["S","590"])", "1", "0"),
                                        R"(2181 [["V",3],["N",-2147483648]])",
                                        ins(R"(["V",65535],["S","Graniczny"],["S","593"])", "2147483647", "65"),
                                        ins(R"(["V",4],["S","Bez opakowania"],["S","594"])", "1", "0")}));
    // The register holds no package 99, which the package 12A is deleted as:
    // nothing left to delete, and no rejected line.
    const HostLines refused = RejectedList({"256 Skrzynia        : kod opakowania 256 poza zakresem 0-255",
                                            "-1 Minus           : kod opakowania -1 poza zakresem 0-255",
                                            "0 Zero            : [W909] - nieprawidłowy numer rekordu",
                                            "123 Za duzy numer   : numer PLU 65536 poza zakresem 0-65535",
                                            "590 Mleko           : [W920] - nieunikalny kod kreskowy",
                                            "591 Drogi           : cena 2147483648 poza zakresem liczby 32-bitowej",
                                            "592 Woda zrodlana...: [W903] - rekord nie istnieje"});
    EXPECT_EQ(From(s.host.lines, refused[0], refused.size()), refused);
    // Six rows of goods: no count shown before the pass's end.
    const std::string pass = "Programowanie towarów...";
    const HostLines shown = {Added(pass + ":\x01" "0"), Replaced(pass + ":\x01" "6"), Replaced(pass + "\x01OK")};
    EXPECT_EQ(From(s.host.lines, shown[0], 3), shown);
    EXPECT_EQ(s.File("wynik.exp"), "PLU;65535;655350;593;DOD\r\nPLU;4;40;594;DOD\r\n");
}

// A unit or precision past a byte would be programmed as another one; a text
// with a NUL byte would reach the register as a short text followed by
// garbage fields, refused until the whole export failed.
TEST(GoodsExport, ValuesTheRegisterWouldTakeWronglyAreRefusedAndTheExportGoesOn)
{
    const std::string nul = std::string("Chl\0eb", 6);
    RegisterSession s(R"({"goods": [{"plu": 10, "barcode": "5910"}]})");
    EXPECT_EQ(Export(s, Plu("5", "595", "Jednostka", "1", "DOD", "23;256;F;0;F;F;F;;;0") +
                            Plu("6", "596", "Precyzja", "1", "DOD", "23;1;F;256;F;F;F;;;0") +
                            Plu("7", "597", nul, "1", "DOD") + Plu("8", std::string("59\08", 4), "Kod", "1", "AKT") +
                            Pack("9", nul, "1", "DOD") +
                            // Only the price goes to the register.
                            Plu("10", "5910", nul, "2", "CEN") +
                            Plu("11", "5911", "Graniczny", "3", "DOD", "23;255;F;255;F;F;F;;;0")),
              0);
    EXPECT_EQ(GoodsSent(s), (std::vector<std::string>{
                                R"(2181 [["V",10],["N",2]])",
                                R"(2100 [["V",11],["S","Graniczny"],["S","5911"],["N",3],["N",0],["B",0],["B",255],)"
                                R"(["B",0],["B",1],["B",0],["B",255],["B",1],["B",1],["B",0],["B",1],["B",0]])"}));
    // A name is shown up to its NUL byte; the code, quoted, shows it.
    const HostLines refused =
        RejectedList({"9 Chl: znak NUL w nazwie", "595 Jednostka       : numer jednostki miary 256 poza zakresem 0-255",
                      "596 Precyzja        : precyzja 256 poza zakresem 0-255", "597 Chl: znak NUL w nazwie",
                      "59\\08 Kod             : znak NUL w kodzie"});
    EXPECT_EQ(From(s.host.lines, refused[0], refused.size()), refused);
    EXPECT_EQ(s.File("wynik.exp"), "PLU;10;100;5910;CEN\r\nPLU;11;110;5911;DOD\r\n");
}

TEST(GoodsExport, ReadBackSendsOnlyWhatDiffersAndWritesTheRegistersList)
{
    RegisterSession s(R"({"model": 1,
        "goods": [{"plu": 1, "name": "Chleb", "barcode": "5901", "price": 350},
                  {"plu": 2, "name": "Maslo", "barcode": "5902", "price": 600},
                  {"plu": 3, "name": "Ser", "barcode": "5903", "price": 900, "unit": 2, "group": 4},
                  {"plu": 4, "name": "Sta;ry", "barcode": "5904", "price": 10, "minStock": -3},
                  {"plu": 5, "name": "Jaja", "barcode": "000123", "vat": 1, "price": 100},
                  {"plu": 6, "name": "Kosz", "barcode": "5906", "set": 2, "discount": 3, "barcodes": 2}],
        "packages": [{"number": 4, "name": "Skrzynka", "barcode": "4", "price": 900},
                     {"number": 7, "name": "Stara", "barcode": "7", "price": 50}]})");
    EXPECT_EQ(Export(s, Plu("1", "5901", "Chleb", "350", "AKT") + Plu("2", "5902", "Maslo", "650", "DOD") +
                            Plu("3", "5903", "Ser zolty", "900", "AKT") + Plu("5", "123", "Jaja", "100", "CEN", "8;1;F;0;F;F;F;;;0") +
                            Plu("6", "5906", "Kosz", "0", "AKT") + Pack("4", "Skrzynka", "900", "DOD") +
                            Plu("8", "5908", "Nowy", "5", "AKT"),
                     "3"),
              0);
    std::string sent;  // each command with its first field
    for (const std::string& c : GoodsSent(s)) sent += c.substr(0, c.find(']')) + "]] ";
    std::string reads;
    for (int i = 0; i < 7; ++i) reads += R"(2110 [["V",0]] )";
    EXPECT_EQ(sent, R"(2000 [["B",0]] )" + reads + R"(2003 [["B",0]] 2710 [["V",0]] 2710 [["V",0]] 2710 [["V",0]] )"
                    R"(2140 [["V",4]] 2740 [["V",7]] 2181 [["V",2]] 2100 [["V",3]] 2100 [["V",8]] )");
    EXPECT_EQ(s.File("combo.tow"),
              "#\r\n# Format pliku nie jest zgodny z KASA.EXP!\r\n"
              "# TOW;<plu>;<nazwa>;<kod_kresk_gl>;<min_stan_mag>;<czy_zestaw>;<vat>;<cena>;<nr_opak>;<nr_jm>;<format_il>;"
              "<flaga_c_sztyw>;<nr_rabatu>;<nr_grupy_tow>;<flaga_zezw_rab>;<il_kod_kresk>\r\n"
              "# ZES;<plu>;<nazwa>;<kod_kresk_gl>;<min_stan_mag>;<czy_zestaw>;<vat>;      ;         ;       ;           ;"
              "               ;<nr_rabatu>;              ;<flaga_zezw_rab>;<il_kod_kresk>\r\n"
              "# OPA;<nr_opak>;<nazwa>;<kod_kresk>;<cena>;<min_stan_mag>;<flaga_c_sztywnej>\r\n#\r\n"
              "TOW;1;Chleb;5901;0;0;0;350;0;0;0;1;0;1;0;1\r\nTOW;2;Maslo;5902;0;0;0;600;0;0;0;1;0;1;0;1\r\n"
              "TOW;3;Ser;5903;0;0;0;900;0;2;0;1;0;4;0;1\r\nTOW;4;Stary;5904;-3;0;0;10;0;0;0;1;0;1;0;1\r\n"
              "TOW;5;Jaja;000123;0;0;1;100;0;0;0;1;0;1;0;1\r\nZES;6;Kosz;5906;0;2;0; ; ; ; ; ;3; ;0;2\r\n"
              "OPA;4;Skrzynka;4;900;0;1\r\nOPA;7;Stara;7;50;0;1\r\n");
    EXPECT_EQ(s.File("wynik.exp"), "PLU;1;10;5901;AKT\r\nPLU;2;20;5902;DOD\r\nPLU;3;30;5903;AKT\r\n"
                                             "PLU;5;50;123;CEN\r\nPLU;6;60;5906;AKT\r\nPLU;8;80;5908;AKT\r\n");
}

// A weighed article is held under the barcode its template became when it
// was programmed, on each family its own way: unchanged, it is left alone
// like a plain one; at a new price only the price goes.
TEST(GoodsExport, ReadBackFindsAWeighedArticleUnderTheBarcodeItsTemplateBecame)
{
    for (const auto& [model, held] : {std::pair(2, "420"), std::pair(4, "27000420")}) {
        SCOPED_TRACE(model);
        RegisterSession s(R"({"model": )" + std::to_string(model) + R"(, "reports": {"delayMs": 0}, "goods": [
            {"plu": 420, "name": "Ser gouda", "barcode": ")" + held + R"(", "price": 2999, "format": 3, "sales": 5},
            {"plu": 1, "name": "Chleb", "barcode": "5901", "price": 350}]})");
        const std::string bread = Plu("1", "5901", "Chleb", "350", "AKT");
        for (const char* price : {"2999", "3199"}) {
            EXPECT_EQ(Export(s, Plu("420", "27000420?????", "Ser gouda", price, "AKT", "23;1;T;3;F;F;F;;;0") + bread, "3"), 0);
            EXPECT_EQ(s.File("wynik.exp"), "PLU;420;4200;27000420?????;AKT\r\nPLU;1;10;5901;AKT\r\n");
        }
        std::vector<std::string> sent = GoodsSent(s);
        std::erase_if(sent, [](const std::string& c) { return c.starts_with("2000 ") || c.starts_with("2110 ") ||
                                                              c.starts_with("2003 ") || c.starts_with("2710 "); });
        EXPECT_EQ(sent, std::vector<std::string>{R"(2181 [["V",420],["N",3199]])"});
        EXPECT_EQ(s.host.lines.back().kind, 0) << s.host.lines.back().text;
    }
}

// A reconciling export reports a deletion once the register holds nothing
// of the goods: their barcode held under another PLU is deleted there,
// unless the host keeps that PLU; renumbered goods are deleted under the old
// number before the new one goes in; goods gone already are reported at
// once; a deletion refused, also as a record the register just listed, is
// not. A price with a fraction of the smallest unit is compared as the
// register got it, so an unchanged one is not sent again. The register is
// read back by the next reconciling export of the same file.
TEST(GoodsExport, AReconcilingExportReportsWhatTheRegisterHoldsAfterIt)
{
    const std::string sold = "[W944] - niedozwolona operacja na rekordzie z niezerową statystyką";
    const struct {
        std::string held, faults, kasa, sent, wynik;
        std::vector<std::string> rejected, heldAfter;
        std::string sentAgain, wynikAgain;
    } cases[] = {
        {R"("goods": [{"plu": 171, "name": "Cukier", "barcode": "5900700", "price": 100}])", "",
         Plu("700", "5900700", "Cukier", "100", "USU"), R"(2140 [["V",171]] )", "PLU;700;7000;5900700;USU\r\n", {}, {},
         "", "PLU;700;7000;5900700;USU\r\n"},
        {R"("goods": [{"plu": 171, "name": "Cukier", "barcode": "5900700", "price": 100}])", "",
         Plu("700", "5900700", "Cukier", "100", "USU") + Plu("171", "5900171", "Cukier", "100", "AKT"),
         R"(2100 [["V",171]] )", "PLU;700;7000;5900700;USU\r\nPLU;171;1710;5900171;AKT\r\n", {},
         {"TOW;171;5900171;100"}, "", "PLU;700;7000;5900700;USU\r\nPLU;171;1710;5900171;AKT\r\n"},
        {R"("goods": [{"plu": 171, "name": "Cukier", "barcode": "5900700", "price": 100, "sales": 1}])", "",
         Plu("700", "5900700", "Cukier", "100", "USU"), R"(2140 [["V",171]] )", "",
         {"5900700 Cukier          : " + sold}, {"TOW;171;5900700;100"}, R"(2140 [["V",171]] )", ""},
        {R"("goods": [{"plu": 191, "name": "Maka", "barcode": "5900600", "price": 100}])", "",
         Plu("600", "5900600", "Maka", "100", "DOD") + Plu("191", "5900600", "Maka", "100", "USU"),
         R"(2140 [["V",191]] 2100 [["V",600]] )", "PLU;600;6000;5900600;DOD\r\nPLU;191;1910;5900600;USU\r\n", {},
         {"TOW;600;5900600;100"}, "", "PLU;600;6000;5900600;DOD\r\nPLU;191;1910;5900600;USU\r\n"},
        {R"("goods": [{"plu": 1, "name": "Chleb", "barcode": "5901", "price": 350}])", "",
         Plu("1", "5901", "Chleb", "350", "AKT") + Plu("800", "5900800", "Stary", "10", "USU"), "",
         "PLU;1;10;5901;AKT\r\nPLU;800;8000;5900800;USU\r\n", {}, {"TOW;1;5901;350"}, "",
         "PLU;1;10;5901;AKT\r\nPLU;800;8000;5900800;USU\r\n"},
        {R"("goods": [{"plu": 5, "name": "Stary", "barcode": "5905", "price": 10}])",
         R"({"2140": {"1": {"kind": "executionError", "code": 903}}})", Plu("5", "5905", "Stary", "10", "USU"),
         R"(2140 [["V",5]] )", "", {"5905 Stary           : [W903] - rekord nie istnieje"}, {"TOW;5;5905;10"},
         R"(2140 [["V",5]] )", "PLU;5;50;5905;USU\r\n"},
        {R"("packages": [{"number": 5, "name": "Stara", "barcode": "7", "price": 50}])", "",
         Pack("7", "Stara", "50", "USU", "70"), R"(2740 [["V",5]] )", "PLU;70;700;7;USU\r\n", {}, {}, "",
         "PLU;70;700;7;USU\r\n"},
        {R"("goods": [{"plu": 1, "name": "Chleb", "barcode": "5901", "price": 300}])", "",
         Plu("1", "5901", "Chleb", "350.5", "CEN"), R"(2181 [["V",1]] )", "PLU;1;10;5901;CEN\r\n", {},
         {"TOW;1;5901;350"}, "", "PLU;1;10;5901;CEN\r\n"},
    };
    // The goods commands of an export after its reading, each with its first field.
    auto sentAfterReading = [](const RegisterSession& s, size_t from) {
        std::string sent = GoodsSentFrom(s, from);
        for (const char* read : {R"(2000 [["B",0]] )", R"(2110 [["V",0]] )", R"(2003 [["B",0]] )", R"(2710 [["V",0]] )"})
            for (size_t at; (at = sent.find(read)) != std::string::npos;) sent.erase(at, std::strlen(read));
        return sent;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kasa);
        RegisterSession s(R"({"reports": {"delayMs": 0}, )" + c.held + "}", c.faults);
        s.host.lines.clear();
        EXPECT_EQ(Export(s, c.kasa, "3"), 0);
        EXPECT_EQ(sentAfterReading(s, 0), c.sent);
        EXPECT_EQ(s.File("wynik.exp"), c.wynik);
        const HostLines listed = RejectedList(c.rejected);
        if (c.rejected.empty())
            EXPECT_EQ(std::count_if(s.host.lines.begin(), s.host.lines.end(), [](const HostLine& l) { return l.kind == 2; }), 0);
        else
            EXPECT_EQ(From(s.host.lines, listed[0], listed.size()), listed);

        const size_t before = GoodsSent(s).size();
        EXPECT_EQ(Export(s, c.kasa, "3"), 0);
        std::vector<std::string> heldAfter;  // kind, number, barcode and price of each record
        std::istringstream tow(s.File("combo.tow"));
        for (std::string line; std::getline(tow, line);) {
            if (line.starts_with("#")) continue;
            std::vector<std::string> f;
            std::istringstream fields(line);
            for (std::string field; std::getline(fields, field, ';');) f.push_back(field);
            const bool goods = f[0] == "TOW";
            heldAfter.push_back(f[0] + ";" + f[1] + ";" + f[3] + ";" + f[goods ? 7 : 4]);
        }
        EXPECT_EQ(heldAfter, c.heldAfter);
        EXPECT_EQ(sentAfterReading(s, before), c.sentAgain);
        EXPECT_EQ(s.File("wynik.exp"), c.wynikAgain);
    }
}

TEST(GoodsExport, AQuietRefusalInTheListEndsTheReadingAndKeepsWhatWasRead)
{
    RegisterSession s(R"({"model": 1, "goods": [{"plu": 1, "name": "Chleb", "barcode": "5901"}, {"plu": 2}]})",
                      R"({"2110": {"2": {"kind": "executionError", "code": 920}}})");
    EXPECT_EQ(Export(s, Plu("1", "5901", "Chleb", "350", "DOD"), "3"), 0);
    EXPECT_EQ(s.host.lines.back(), Added("[W920] - nieunikalny kod kreskowy", 2));
    const std::string tow = s.File("combo.tow");
    EXPECT_EQ(tow.substr(tow.find("#\r\nTOW")), "#\r\nTOW;1;Chleb;5901;0;0;0;0;0;0;0;1;0;1;0;1\r\n");
    EXPECT_EQ(GoodsSent(s).back(), R"(2110 [["V",0],["B",1]])");
    EXPECT_TRUE(s.LinkClosedAtTheEnd());
}

TEST(GoodsExport, ClearingRefusedEndsTheExportWithItsTextAndTheLinkClosed)
{
    RegisterSession s(R"({"model": 1, "goods": [{"plu": 1, "barcode": "1", "sales": 2}]})");
    EXPECT_EQ(Export(s, Plu("1", "5901", "Chleb", "350", "DOD"), "3", "1"), 0);
    EXPECT_EQ(GoodsSent(s), std::vector<std::string>{R"(2150 [["B",0]])"});
    const HostLines tail = {Added("Czyszczenie bazy towarów..."), Replaced("Czyszczenie bazy towarów...", 2)};
    EXPECT_EQ(From(s.host.lines, tail[0], 2), tail);
    EXPECT_EQ(s.host.lines.back(),
              Added("[W944] - niedozwolona operacja na rekordzie z niezerową statystyką", 2));
    EXPECT_TRUE(s.LinkClosedAtTheEnd());
    EXPECT_EQ(s.File("wynik.exp"), "");
}

// Whatever the kind of export, the register ends with the host's list and
// the host learns that every row was carried out; so too when the export runs
// again because the host never took its result, or after a run whose link
// dropped as its last deletion was done, before the answer came (as when the
// host is killed then): that run's result has what was answered, and the
// next one reports the deletions with no rejected line, whether it deletes
// again and finds the goods gone, finds them gone in the register's list, or
// clears it.
TEST(GoodsExport, EveryKindOfExportLeavesTheRegisterWithTheHostsList)
{
    // A cleared register holds nothing to reprice or delete: every row is programmed whole.
    const std::string cleared = kClearing + kProgramming + R"(2100 [["V",3]] )";
    const std::string deletions = kDeletions + kProgramming + kRepricing;
    const struct {
        const char *kind, *towMax, *cut;
        std::string sent, sentAgain;
    } kinds[] = {
        {"0", "0", "", deletions, deletions},
        {"1", "0", "", deletions, deletions},
        {"3", "0", "", kReadBack + deletions, kReadBack},
        {"3", "1", "", cleared, cleared},
        {"1", "0", "2740", kDeletions, deletions},
        {"3", "0", "2740", kReadBack + kDeletions, ReadBack(2, 1) + kProgramming + kRepricing},
        {"3", "1", "2750", kClearing, cleared},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(std::string(k.kind) + "/" + k.towMax + " " + k.cut);
        const bool cut = *k.cut != 0;
        const std::string faults = R"({")" + std::string(k.cut) + R"(": {"1": "dropConnectionDone"}})";
        RegisterSession s(HeldScenario(), cut ? faults : "");
        if (cut) {
            EXPECT_EQ(Export(s, kHostList, k.kind, k.towMax), 0);
            EXPECT_EQ(s.host.lines.back(), Added("Błąd komunikacji z kasą", 2));
            EXPECT_TRUE(s.LinkClosedAtTheEnd());
        } else {
            ExportWithoutErrors(s, kHostList, k.kind, k.towMax);
        }
        EXPECT_EQ(GoodsSentFrom(s, 0), k.sent);
        EXPECT_EQ(s.File("wynik.exp"), cut ? "PLU;4;40;5904;USU\r\n" : kHostListDone);
        const size_t before = GoodsSent(s).size();
        ExportWithoutErrors(s, kHostList, k.kind, k.towMax);
        EXPECT_EQ(GoodsSentFrom(s, before), k.sentAgain);
        EXPECT_EQ(s.File("wynik.exp"), kHostListDone);
        ExpectRegisterHoldsTheHostList(s, kHostList);
    }
}

// After a clearing the result file reports the deletions it did: those of
// goods once the goods are cleared, those of packages once the packages are.
// A file of deletions alone then has nothing left to send, not even groups,
// units or payment forms. A register that cleared its goods but refused to
// clear its packages is programmed all the same: the goods as after a
// clearing, the packages as a plain export sends them (a sold one refused
// again on its own line); the refusal is listed and fails the run at its end.
TEST(GoodsExport, AClearingReportsTheDeletionsItDid)
{
    const std::string deletionsOnly = "ASS;1;Napoje\r\nJM;1;0;szt\r\n" + Plu("4", "5904", "Stary", "10", "USU") +
                                      Pack("7", "Stara", "50", "USU", "70");
    const std::string refusal = "[W944] - niedozwolona operacja na rekordzie z niezerową statystyką";
    const std::vector<int> programmed = {2900, 2900, 2900, 2900, 2900, 2740, 2700, 2700, 2100, 2100, 2100};
    std::vector<int> clearedAndProgrammed = {2150, 2750};
    clearedAndProgrammed.insert(clearedAndProgrammed.end(), programmed.begin(), programmed.end());
    const struct {
        std::string kasa;
        bool packageSold;
        const char* faults;
        std::vector<int> sent;
        std::string wynik, failure;
        std::vector<std::string> rejected;
    } cases[] = {
        {deletionsOnly, false, "", {2150, 2750}, "PLU;4;40;5904;USU\r\nPLU;70;700;7;USU\r\n", "", {}},
        {kHostList, true, "", clearedAndProgrammed, "PLU;1;10;5901;DOD\r\nPLU;2;20;5902;AKT\r\nPLU;3;30;5903;CEN\r\n"
         "PLU;4;40;5904;USU\r\nPLU;50;500;5;DOD\r\nPLU;40;400;4;CEN\r\n", refusal,
         {"Czyszczenie bazy opakowań: " + refusal, "7 Stara           : " + refusal}},
        {kHostList, false, R"({"2750": {"1": {"kind": "executionError", "code": 944}}})", clearedAndProgrammed,
         kHostListDone, refusal, {"Czyszczenie bazy opakowań: " + refusal}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.packageSold) + c.faults);
        RegisterSession s(HeldScenario(c.packageSold), c.faults);
        SetParams(s.host, {{"ComboExpFPlatn", "1"}});
        EXPECT_EQ(Export(s, c.kasa, "3", "1"), 0);
        std::vector<int> sent = s.Commands();
        std::erase_if(sent, [](int code) { return code < 2000 || code == 1171; });
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(s.File("wynik.exp"), c.wynik);
        const HostLine last = c.failure.empty() ? Added("Zapis wyniku eksportu:\x01OK") : Added(c.failure, 2);
        EXPECT_EQ(s.host.lines.back().text, last.text);
        EXPECT_EQ(s.host.lines.back().kind, last.kind);
        if (!c.rejected.empty()) {
            const HostLines listed = RejectedList(c.rejected);
            EXPECT_EQ(From(s.host.lines, listed[0], listed.size()), listed);
        }
        if (*c.faults) ExpectRegisterHoldsTheHostList(s, kHostList);
    }
}

// What the register cannot take of a file is found before the session
// opens: not a frame goes out, and the error names the line, the goods and
// the rate, or quotes the unit line.
TEST(GoodsExport, AnUnknownRateOrABadUnitLineEndsTheExportBeforeAnyFrame)
{
    const std::string head = "ASS;1;Napoje\r\nJM;1;0;szt\r\n";
    const std::string goods = Plu("1", "5901", "Chleb", "350", "DOD") + Plu("2", "5902", "Maslo", "600", "AKT");
    auto rated7 = [](const std::string& status) { return Plu("3", "5903", "Ser", "900", status, "7;1;F;0;F;F;F;;;0"); };
    const std::string rate = "Błąd w linii 5 pliku kasa.exp, towar 5903: Niezdefiniowana stawka 7.00%";
    auto unit = [](const std::string& quoted) {
        return "Nieprawidłowy numer jednostki miary w wierszu \"" + quoted + "\" (linia 3 pliku ";
    };
    const struct {
        std::string file;
        const char *kind, *towMax;
        std::string error;
    } cases[] = {
        {head + goods + rated7("DOD"), "0", "0", rate},
        // A price change goes as the whole goods once the register's goods
        // are cleared, or when reconciliation finds them missing.
        {head + goods + rated7("CEN"), "3", "1", rate},
        {head + goods + rated7("CEN"), "3", "0", rate},
        {head + "JM;x;0;szt\r\n" + goods, "0", "0", unit("JM;x;0;szt")},
        {head + "JM;" + std::string(50, '1') + ";0;szt\r\n" + goods, "0", "0",
         unit("JM;" + std::string(37, '1') + "...")},
        // No goods in the file, but reconciliation may find some to delete.
        {head + "JM;-1;0;szt\r\n", "3", "0", unit("JM;-1;0;szt")},
        // A word longer than anything read at once is quoted short.
        {"PLU;" + std::string(3 << 20, '9') + ";0;1;n;1;1;1;1;23;1;F;0;F;F;F;0;;0;DOD\r\n" + goods, "0", "0",
         "Błąd w linii 1 pliku kasa.exp: \"" + std::string(40, '9') + "...\" nie jest prawidłową liczbą całkowitą"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.substr(0, 80) + c.kind + c.towMax);
        RegisterSession s(R"({"goods": [{"plu": 7, "barcode": "5907"}]})");
        EXPECT_EQ(Export(s, c.file, c.kind, c.towMax), 0);
        EXPECT_EQ(s.Commands(), std::vector<int>{});
        EXPECT_FALSE(s.LinkEverOpened());
        ASSERT_GE(s.host.lines.size(), 2u);
        const HostLine& error = s.host.lines.back();
        EXPECT_EQ(s.host.lines[s.host.lines.size() - 2], Failure("eksport", "")[0]);
        EXPECT_TRUE(error.text.starts_with(c.error)) << error.text.substr(0, 200);
        EXPECT_LT(error.text.size(), 300u);
        // The failure's heading and its one line are the only error lines added.
        EXPECT_EQ(std::count_if(s.host.lines.begin(), s.host.lines.end(),
                                [](const HostLine& l) { return l.kind == 2 && !l.replaced; }),
                  2);
        EXPECT_EQ(s.File("wynik.exp"), "");
    }
}

// A row that programs no goods needs no rate slot: a deletion, a price
// change alone, a package. A unit line is read only when there are goods.
TEST(GoodsExport, RowsThatProgramNoGoodsGoOutWhateverTheirRate)
{
    RegisterSession s(R"({"goods": [{"plu": 3, "barcode": "5903"}, {"plu": 4, "barcode": "5904"}]})");
    const std::string rest7 = "7;1;F;0;F;F;F;;;0";
    EXPECT_EQ(Export(s, "JM;1;0;szt\r\n" + Plu("3", "5903", "Ser", "900", "USU", rest7) +
                            Plu("4", "5904", "Jaja", "120", "CEN", rest7) + Pack("5", "Butelka", "50", "DOD")),
              0);
    EXPECT_EQ(GoodsSent(s), (std::vector<std::string>{
                                R"(2140 [["V",3],["B",0],["B",0]])",
                                R"(2700 [["V",5],["S","Butelka"],["S","5"],["N",50],["N",0],["B",1],["B",1],["B",0]])",
                                R"(2181 [["V",4],["N",120]])"}));
    EXPECT_EQ(s.File("wynik.exp"), "PLU;3;30;5903;USU\r\nPLU;4;40;5904;CEN\r\n");

    RegisterSession masterOnly;
    EXPECT_EQ(Export(masterOnly, "JM;x;0;szt\r\nASS;1;Napoje\r\n"), 0);
    EXPECT_EQ(masterOnly.host.lines.back().kind, 0) << masterOnly.host.lines.back().text;
}

// A price that is no number, a PLU number an earlier goods row has for
// other goods, or a row whose frame the register could not take keeps the
// row out of the register and of "wynik.exp"; it is listed with its line and
// the export goes on. Reconciliation leaves the register's item under a
// refused row's barcode where it is. Only the price programmed refuses a row;
// a price with a fraction is programmed cut and warned of.
TEST(GoodsExport, ARowWithAPriceThatIsNoNumberOrARepeatedPluIsRefusedAndTheRestGoesOut)
{
    const std::string longCode(65536, '7');
    const std::string file = Plu("1", "5901", "Zla cena", "abc", "DOD") + Plu("2", "5902", "Spacja", "1 250", "DOD") +
                             Plu("3", "5903", "Nan", "nan", "AKT") + Plu("4", "5904", "Calkowita", "1250", "DOD") +
                             Plu("5", "5905", "Przecinek", "1250,00", "DOD") +
                             Plu("6", "5906", "Odstepy", " 12.5 ", "DOD") + Plu("7", "5907", "Pusta", "", "DOD") +
                             Plu("4", "5908", "Powtorka", "1", "DOD") + Plu("8", "5909", "Usuwany", "1", "USU") +
                             Plu("8", "5910", "Nowy", "2", "DOD") + Pack("5", "Butelka", "1", "DOD") +
                             Pack("6", "Skrzynka", "1", "AKT") +
                             // Text in the wholesale price, the extra discount and the number of units.
                             "PLU;9;90;5911;Tekst;300;n/d;0;0;23;1;F;0;F;F;F;;;0;DOD;;;;;;;;;;brak;;;1 szt\r\n" +
                             Plu("10", "5912", "Usun", "abc", "USU") + Plu("11", "5913", "Para", "100", "DOD") +
                             Plu("11", "5913", "Para", "120", "CEN") + Plu("12", "5914", "Ulamek", "12,50", "DOD") +
                             Plu("13", "5915", "Grosz", "0.999", "AKT") + Plu("14", longCode, "Dlugi kod", "1", "DOD") +
                             Pack(std::string(70000, 'A'), "Dluga skrzynka", "1", "DOD");
    const std::string programmed = R"(2100 [["V",4] 1250 2100 [["V",5] 1250 2100 [["V",6] 12 2100 [["V",7] 0 )"
                                   R"(2100 [["V",8] 2 2100 [["V",9] 300 2100 [["V",11] 100 )";
    for (const char* kind : {"0", "1", "3"}) {
        SCOPED_TRACE(kind);
        RegisterSession s(R"({"goods": [{"plu": 1, "name": "Zla cena", "barcode": "5901", "price": 0},
                                        {"plu": 8, "name": "Usuwany", "barcode": "5909", "price": 1},
                                        {"plu": 10, "name": "Usun", "barcode": "5912", "price": 5}]})");
        EXPECT_EQ(Export(s, file, kind), 0);
        std::vector<std::string> sent = GoodsSent(s);
        std::erase_if(sent, [](const std::string& c) { return !c.starts_with("21") || c.starts_with("2110 "); });
        std::string firsts;  // each command with its first field and its price
        for (const std::string& c : sent) {
            const size_t price = c.find(R"(["N",)");
            firsts += c.substr(0, c.find(']')) + "] " +
                      (price == std::string::npos ? "" : c.substr(price + 5, c.find(']', price) - price - 5) + " ");
        }
        // The later price of goods already added is a change of price, or,
        // where the register lacks the goods, the goods again.
        EXPECT_EQ(firsts, R"(2140 [["V",8] 2140 [["V",10] )" + programmed +
                              (*kind == '3' ? R"(2100 [["V",11] 120 )" : R"(2181 [["V",11] 120 )") +
                              R"(2100 [["V",12] 12 2100 [["V",13] 0 )");
        // Text in the extra discount gives no discount.
        const auto withText = std::find_if(sent.begin(), sent.end(),
                                           [](const std::string& c) { return c.starts_with(R"(2100 [["V",9])"); });
        ASSERT_NE(withText, sent.end());
        EXPECT_TRUE(withText->ends_with(R"(["B",1],["B",0],["B",1],["B",0]])")) << *withText;
        const HostLines refused =
            RejectedList({"5901 Zla cena        : linia 1 pliku kasa.exp: cena (pole 5): \"abc\" nie jest liczbą",
                          "5902 Spacja          : linia 2 pliku kasa.exp: cena (pole 5): \"1 250\" nie jest liczbą",
                          "5903 Nan             : linia 3 pliku kasa.exp: cena (pole 5): \"nan\" nie jest liczbą",
                          "5908 Powtorka        : linia 8 pliku kasa.exp: numer PLU 4 ma już towar z linii 4",
                          std::string(40, '7') + "... Dlugi kod       : linia 19 pliku kasa.exp: "
                                                 "Ramka polecenia za długa: 65604 bajtów (najwyżej 65535)",
                          std::string(40, 'A') + "... Dluga skrzynka  : linia 20 pliku kasa.exp: "
                                                 "Ramka polecenia za długa: 70057 bajtów (najwyżej 65535)"});
        EXPECT_EQ(From(s.host.lines, refused[0], refused.size()), refused);
        const std::string cut = ": cena (pole 5): ";
        const HostLines warned = RejectedList({"5906 Odstepy         : linia 6 pliku kasa.exp" + cut +
                                                   "12.5 ma ułamek najmniejszej jednostki waluty, kasa dostanie 12",
                                               "5914 Ulamek          : linia 17 pliku kasa.exp" + cut +
                                                   "12.5 ma ułamek najmniejszej jednostki waluty, kasa dostanie 12",
                                               "5915 Grosz           : linia 18 pliku kasa.exp" + cut +
                                                   "0.999 ma ułamek najmniejszej jednostki waluty, kasa dostanie 0"},
                                              1);
        EXPECT_EQ(From(s.host.lines, warned[0], warned.size()), warned);
        EXPECT_EQ(s.host.lines.back(), Replaced("Zapis wyniku eksportu:\x01OK")) << "never halfway";
        EXPECT_EQ(s.File("wynik.exp"),
                  "PLU;4;40;5904;DOD\r\nPLU;5;50;5905;DOD\r\nPLU;6;60;5906;DOD\r\nPLU;7;70;5907;DOD\r\n"
                  "PLU;8;80;5909;USU\r\nPLU;8;80;5910;DOD\r\nPLU;9;90;5911;DOD\r\nPLU;10;100;5912;USU\r\n"
                  "PLU;11;110;5913;DOD\r\nPLU;11;110;5913;CEN\r\nPLU;12;120;5914;DOD\r\nPLU;13;130;5915;AKT\r\n");
    }
}

TEST(GoodsServiceFunctions, ZeroingSalesAndClearingTheGoodsBase)
{
    const char* const kSold = R"({"model": 1, "goods": [{"plu": 1, "sales": 2}], "packages": [{"number": 1}]})";
    const std::string zero1 = "Zerowanie sprzedaży towarów na kasie...", zero2 = "Zerowanie sprzedaży opakowań na kasie...";
    const std::string clear1 = "Czyszczenie bazy towarów...", clear2 = "Czyszczenie bazy opakowań...";
    const std::string refusal = "[W944] - niedozwolona operacja na rekordzie z niezerową statystyką";
    const struct {
        int function;
        const char *scenario, *faults;
        std::vector<std::string> sent;
        HostLines work;
        std::string failure;
    } cases[] = {
        {1, kSold, "", {R"(2170 [["B",1],["B",1]])", R"(2770 [["B",1]])"}, Concat(Step(zero1), Step(zero2)), ""},
        {1, kSold, R"({"2770": {"1": {"kind": "executionError", "code": 944}}})",
         {R"(2170 [["B",1],["B",1]])", R"(2770 [["B",1]])"}, Concat(Step(zero1), {Added(zero2), Replaced(zero2, 2)}),
         refusal},
        {2, R"({"model": 1, "goods": [{"plu": 1, "package": 1}], "packages": [{"number": 1}]})", "",
         {R"(2150 [["B",0]])", R"(2750 [["B",0]])"}, Concat(Step(clear1), Step(clear2)), ""},
        {2, kSold, "", {R"(2150 [["B",0]])"}, {Added(clear1), Replaced(clear1, 2)}, refusal},
    };
    for (const auto& c : cases) {
        RegisterSession s(c.scenario, c.faults);
        EXPECT_EQ(s.Run(-8, c.function), 0);
        EXPECT_EQ(GoodsSent(s), c.sent) << c.function << c.failure;
        HostLines expected = TcpOpening("COMBO 1.01");
        expected += c.work;
        expected += TcpClosing();
        if (!c.failure.empty()) expected += Failure("operacja [-8]", c.failure);
        EXPECT_EQ(s.host.lines, expected) << c.function << c.failure;
        EXPECT_TRUE(s.LinkClosedAtTheEnd());
    }
}
