// The export buffer: reading the host's export file with its archive copy
// and message lines, the lists and look-ups, the status counters, the
// barcode index, and the action's summary of the counts. Then the Combo/NEO
// buffer: the register's goods lines, the status of every host row after
// the comparison with the register's list and the look-up of its barcodes,
// the exact export result file, the numbers of a goods line, and a
// reconciliation of 100000 rows on each side.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "VelExpBuf.h"
#include "cbexpbuf.h"
#include "emexception.h"
#include "inprocess_host.h"
#include "thrown.h"

namespace {

const std::string kFormatError = "Nieprawid\xB3owy format pliku eksportowego";
const std::string kReading = "Wczytywanie listy towar\xF3w";
const std::string kAnalysis = "Analiza listy towar\xF3w";
const std::string kNotInteger = " nie jest prawid\xB3ow\xB9 liczb\xB9 ca\xB3kowit\xB9";

class ExportingAction : public TVelComboAction {
public:
    using TVelComboAction::TVelComboAction;
    using TVelComboAction::PoziomCen;
    using TVelComboAction::protType;
    using VelAction::exp_buf;
};

class ExpBuf : public ::testing::Test {
protected:
    InProcessHost in;
    testutil::TempDir tmp;
    std::unique_ptr<ExportingAction> action;
    std::unique_ptr<VelExpBuf> buf;

    void SetUp() override
    {
        in.host.device.folder = tmp.Folder();
        in.Start();
        action = in.NewAction<ExportingAction>();
        buf = std::make_unique<VelExpBuf>(action.get());
    }

    std::string Kasa() const { return tmp.File("kasa.exp"); }

    // The error text of reading `text` as the export file (with write
    // false, the file as it is), "" when none.
    std::string Read(const std::string& text, int kind = -1, bool write = true)
    {
        if (write) testutil::WriteFile(Kasa(), text);
        const std::string error = testutil::Thrown([&] { buf->ReadFromFile(Kasa(), false, kind); });
        return error == testutil::kNothingThrown ? "" : error;
    }
    static std::vector<AnsiString> Of(const TStringList& list) { return {list.begin(), list.end()}; }

    VelTowRec Row(int row) const
    {
        VelTowRec rec;
        buf->CzytajRec(row, &rec);
        return rec;
    }
    void AddCodes(std::initializer_list<const char*> codes)
    {
        for (const char* kod : codes) {
            VelTowRec rec;
            rec.kod = kod;
            buf->DodajRec(&rec);
        }
    }
};

std::string PluLine(int plu, const std::string& kod, const std::string& status)
{
    return "PLU;" + std::to_string(plu) + ";0;" + kod + ";T" + std::to_string(plu) + ";100;0;0;0;23;1;F;0;F;F;F;0;;0;" +
           status + "\r\n";
}

}  // namespace

TEST_F(ExpBuf, EveryLineKindIsStoredWhereItBelongs)
{
    const std::string file =
        "[NAGLOWEK]\r\n"
        "# komentarz\r\n"
        "   # po odst\xEApie te\xBF komentarz\r\n"
        "\r\n"
        "   \r\n"
        "XYZ;1;2\r\n"
        "plu;1;0;1;a;1;1;1;1;23;1;F;0;F;F;F;0;;0;DOD\r\n" +
        PluLine(1, "590001", "DOD") + "  " + PluLine(2, "590002", "AKT") + PluLine(3, "590003", "CEN") +
        PluLine(4, "590004", "USU") +
        "PLU;5;0;OP5;Butelka;50;50;50;50;23;1;F;0;F;T;F;0;;0;DOD\r\n"
        "KON;11;Kowalski;K;;;;;;C1;20301231000000000;T;5;1;10\r\n"
        "VAT;23\r\n"
        "VAT;-1\r\n"
        "VAT;5;550\r\n"
        "VAT;zw\r\n"
        "JM;1;0;szt\r\n"
        "JM;2;3;kg;extra\r\n"
        "JM;x\r\n"
        "OPER;3;Nowak\r\n"
        "OPER;4;Kowal;1;ID;KARTA;extra\r\n"
        "WAL;EUR;Euro;42537;T;N\r\n"
        "ASS;17;Nabia\xB3\r\n"
        "EURO;42537\r\n";
    ASSERT_EQ(Read(file), "");

    EXPECT_EQ(std::tuple(buf->il_rec, buf->il_dod, buf->il_akt, buf->il_cen, buf->il_usu, buf->il_opak),
              std::tuple(5, 2, 1, 1, 1, 1));
    EXPECT_EQ(Row(1).kod, "590002") << "a line is trimmed before its kind is read";
    EXPECT_EQ(std::tuple(Row(4).nazwa, Row(4).nr_buf), std::tuple("Butelka", 4));

    EXPECT_EQ(std::tuple(buf->CountKontrahents(), buf->il_kontr, buf->zm_listy_kontr), std::tuple(1, 1, false));
    VelKontrRec k;
    buf->CzytajRec(0, &k);
    EXPECT_EQ(std::tuple(k.Nazwa, k.nr_buf), std::tuple("Kowalski", 0));

    EXPECT_EQ(Of(buf->stawki), (std::vector<AnsiString>{"23", "-1", "5", "zw"}));
    EXPECT_EQ(Of(buf->stawkiPrec), (std::vector<AnsiString>{"2300", "-1", "550", "0"}))
        << "a rate that is no number counts as 0";
    EXPECT_EQ(Of(buf->jmiary), (std::vector<AnsiString>{"1;0;szt", "2;3;kg", "x;;"}));

    ASSERT_EQ(buf->CountKasjer(), 2);
    EXPECT_EQ(buf->GetKasjer(0)->Text(), "3;Nowak;;;") << "always five fields";
    EXPECT_EQ(buf->GetKasjer(1)->Text(), "4;Kowal;1;ID;KARTA");
    ASSERT_EQ(buf->CountWaluta(), 1);
    EXPECT_EQ(buf->GetWaluta(0)->GetKurs(), 42537);

    ASSERT_EQ(buf->CountAsort(), 1);
    VelAsort a;
    buf->CzytajAsort(0, &a);
    EXPECT_EQ(std::tuple(a.nr, a.nazwa), std::tuple(17, "Nabia\xB3"));

    EXPECT_DOUBLE_EQ(buf->FKursEURO, 4.2537) << "\"EURO\" counts as the euro line";
}

// The resident memory of this process in kB as /proc/self/status gives it
// under `field` ("VmRSS:", "VmHWM:" the peak); 0 when it cannot be read.
size_t ResidentKb(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field)) return std::stoul(line.substr(field.size()));
    return 0;
}

// However long a line, reading the file takes at most three times its size
// (beside tables of a fixed size, such as the PLU numbers seen: a megabyte
// covers them), and a message quotes a bounded part of it; the lines after
// it are read. A long barcode is the worst: the line, the barcode and the
// barcode as the host gave it are held at once.
TEST_F(ExpBuf, ALineOfFiftyMegabytesTakesAtMostThreeTimesItsSizeAndIsQuotedShort)
{
    // The sanitizers keep freed memory back and shadow all of it.
    const bool measured = sizeof(SANITIZER_RUNTIME) == 1;
    constexpr size_t Word = size_t{50} << 20;
    const std::string nines = "\"" + std::string(40, '9') + "...\"";
    const std::string line2 = "Błąd w linii 2 pliku kasa.exp: ";
    const std::string tail = ";1;1;1;23;1;F;0;F;F;F;0;;0;DOD";
    // The line around the long word, the error, a goods row's refusal, and
    // the goods rows and cashiers read.
    const std::tuple<std::string, std::string, std::string, std::string, int, int> cases[] = {
        {"PLU;", ";0;1;n;1" + tail, line2 + nines + kNotInteger, "", 0, 0},
        {"KON;", ";a;;;;;;;;;;T;0;0", line2 + nines + kNotInteger, "", 0, 0},
        {"PLU;1;0;1;n;", tail, "", "cena (pole 5): " + nines + " nie jest liczb\xB9", 2, 0},
        {"PLU;1;0;1;", ";1" + tail, "", "", 2, 0},
        {"PLU;1;0;", ";n;1" + tail, "", "", 2, 0},
        {"OPER;1;", ";0;;", "", "", 1, 1},
        {"# ", "", "", "", 1, 0},
    };
    for (const auto& [head, rest, error, refusal, rows, cashiers] : cases) {
        SCOPED_TRACE(head);
        buf.reset();
        {
            std::ofstream out(Kasa(), std::ios::binary);
            out << "VAT;23\r\n" << head;
            const std::string block(1 << 20, '9');
            for (size_t n = 0; n < Word; n += block.size()) out << block;
            // A line ended by a CR alone follows.
            out << rest << "\rPLU;2;0;2;b;1;1;1;1;23;1;F;0;F;F;F;0;;0;DOD\r\n";
        }
        buf = std::make_unique<VelExpBuf>(action.get());
        // The peak from here on.
        const bool reset = measured && (std::ofstream("/proc/self/clear_refs") << "5").good();
        const size_t before = ResidentKb("VmRSS:");
        const std::string thrown = Read("", -1, false);
        const size_t peak = ResidentKb("VmHWM:");
        EXPECT_EQ(thrown, error);
        EXPECT_EQ(buf->odrzucone.empty() ? "" : buf->odrzucone[0].powod.substr(buf->odrzucone[0].powod.find(": ") + 2),
                  refusal);
        EXPECT_EQ(std::tuple(buf->il_rec, buf->CountKasjer()), std::tuple(rows, cashiers));
        if (reset && before > 0 && peak > 0) {
            EXPECT_LE(peak - before, 3 * (Word >> 10) + 1024) << "kB";
        }
        std::filesystem::remove(Kasa());
        std::filesystem::remove(tmp.File("ARCH2.EXP"));
    }
}

TEST_F(ExpBuf, CustomerListChangeIsFlaggedByKona)
{
    ASSERT_EQ(Read("KON;1;a;;;;;;;;;T;0;0\r\nKONA;2;b;;;;;;;;;F;0;0\r\n"), "");
    EXPECT_EQ(std::tuple(buf->il_kontr, buf->zm_listy_kontr), std::tuple(2, true));
}

TEST_F(ExpBuf, EuroRateConvertsBackToTheHostsNumber)
{
    for (const char* number : {"40013", "3", "29", "113", "42537", "10000", "40013.5"}) {
        VelExpBuf b(nullptr);
        testutil::WriteFile(Kasa(), std::string("EUR;") + number + "\r\n");
        b.ReadFromFile(Kasa(), false, -1);
        const double host = std::trunc(std::stod(number));
        EXPECT_EQ(std::trunc(b.FKursEURO * 10000), host) << number;
        EXPECT_NEAR(b.FKursEURO, std::stod(number) / 10000, 1e-12) << number;
    }
}

TEST_F(ExpBuf, BadLineStopsTheReadingAndKeepsTheRowsBeforeIt)
{
    const std::string head = PluLine(1, "1", "DOD") + "VAT;23\r\n" + PluLine(2, "2", "AKT");
    const std::string tail = PluLine(3, "3", "DOD") + "VAT;8\r\n";
    const std::string line4 = "B\xB3\xB9" "d w linii 4 pliku kasa.exp: ";
    EXPECT_EQ(Read(head + PluLine(9, "9", "ABC") + tail), line4 + kFormatError);
    EXPECT_EQ(std::tuple(buf->il_rec, buf->il_dod, buf->il_akt, buf->stawki.Count()), std::tuple(2, 1, 1, 1));
    ASSERT_FALSE(in.host.lines.empty());
    EXPECT_EQ(in.host.lines.back(), (HostLine{true, 2, kAnalysis})) << "the analysis line fails";

    struct Case {
        std::string line, error;
    };
    // Every kind of line stops alike; the records' own tests hold the rest of their errors.
    const Case cases[] = {
        {"KON;1;a;;;;;;;;;X;0;0\r\n", kFormatError},
        {"ASS;x;a\r\n", "\"x\" nie jest prawid\xB3ow\xB9 liczb\xB9 ca\xB3kowit\xB9"},
        {"EUR;4,2537\r\n", "Nieprawid\xB3owy zapis liczby: \"4,2537\""},
    };
    for (const Case& c : cases) {
        buf = std::make_unique<VelExpBuf>(action.get());
        EXPECT_EQ(Read(head + c.line + tail), line4 + c.error) << c.line;
        EXPECT_EQ(buf->il_rec, 2) << c.line;
    }
    // In a large file a line end split between two reads counts once, and a line longer than a read stays whole.
    for (const size_t size : {size_t{1} << 16, size_t{1} << 18, size_t{1} << 19, size_t{1} << 20, (size_t{1} << 20) + 1}) {
        const std::string big = "#" + std::string(size - 2, 'x') + "\r\n#" + std::string(size, 'y') + "\rVAT;1\n";
        EXPECT_EQ(Read(big + PluLine(9, "9", "ABC")), line4 + kFormatError) << size;
    }
}

TEST_F(ExpBuf, ReadingShowsTwoLinesThatEndOk)
{
    ASSERT_EQ(Read(PluLine(1, "1", "DOD") + PluLine(2, "2", "DOD") + "VAT;23\r\n"), "");
    std::vector<HostLine> expected = {
        {false, 0, kReading},
        {true, 0, kReading + "\x01OK"},
        {false, 0, kAnalysis + ":\x01" "0 %"},
        {true, 0, kAnalysis + ":\x01" "100 %"},
        {true, 0, kAnalysis + "\x01OK"},
    };
    EXPECT_EQ(in.host.lines, expected);

    // An empty file gives empty tables and no progress.
    in.host.lines.clear();
    buf = std::make_unique<VelExpBuf>(action.get());
    ASSERT_EQ(Read(""), "");
    EXPECT_EQ(buf->il_rec + buf->CountKontrahents() + buf->stawki.Count(), 0);
    expected.erase(expected.begin() + 3);
    EXPECT_EQ(in.host.lines, expected);
}

TEST_F(ExpBuf, MissingFileFailsWithoutAnArchive)
{
    EXPECT_THROW(buf->ReadFromFile(tmp.File("brak.exp"), false, -1), EMException);
    EXPECT_FALSE(testutil::Exists(tmp.File("ARCH2.EXP")));
    ASSERT_EQ(in.host.lines.size(), 2u);
    EXPECT_EQ(in.host.lines.back(), (HostLine{true, 2, kReading}));
}

TEST_F(ExpBuf, EveryReadingAppendsTheFileToItsArchive)
{
    ASSERT_EQ(Read("VAT;23\r\nVAT;8"), "");
    ASSERT_EQ(Read("VAT;5\r\n", 3), "");
    const std::string arch = testutil::ReadFile(tmp.File("ARCH2.EXP"));
    EXPECT_EQ(arch.rfind("\r\n----------- [EKSPORT WYKONANY DNIA: ", 0), 0u) << arch;
    EXPECT_NE(arch.find("] ------------\r\nVAT;23\r\nVAT;8\r\n\r\n"), std::string::npos) << arch;
    EXPECT_NE(arch.find("] ------------\r\nZMIANA LISTY\r\nVAT;5\r\n"), std::string::npos) << arch;
    EXPECT_EQ(buf->stawki.Count(), 3) << "a second reading adds to the first";
}

TEST_F(ExpBuf, SavingARowMovesOnlyTheStatusCounters)
{
    VelTowRec rec;
    rec.status = stDod;
    buf->DodajRec(&rec);
    rec.status = stNull;
    rec.opakowanie = true;
    rec.tow_z_kontr = true;
    buf->DodajRec(&rec);
    EXPECT_EQ(rec.nr_buf, -1) << "the record itself is not numbered";
    EXPECT_EQ(std::tuple(buf->il_rec, buf->il_dod, buf->il_opak, buf->il_tow_z_kontr), std::tuple(2, 1, 1, 1));

    VelTowRec first = Row(0);
    EXPECT_EQ(first.nr_buf, 0);
    first.status = stNull;
    first.opakowanie = true;
    buf->ZapiszRec(0, &first);
    EXPECT_EQ(std::tuple(buf->il_dod, buf->il_rec, buf->il_akt + buf->il_cen + buf->il_usu), std::tuple(0, 2, 0));
    EXPECT_EQ(buf->il_opak, 1) << "packages are not recounted";

    VelTowRec second = Row(1);
    second.status = stCen;
    buf->ZapiszRec(1, &second);
    EXPECT_EQ(buf->il_cen, 1);
    EXPECT_EQ(buf->PluStatus(1), stCen);
    second.status = stUsu;
    buf->ZapiszRec(1, &second);
    EXPECT_EQ(std::tuple(buf->il_cen, buf->il_usu), std::tuple(0, 1));
    buf->PrzeliczTowary();
    EXPECT_EQ(std::tuple(buf->il_opak, buf->il_usu), std::tuple(2, 1));
    EXPECT_EQ(buf->il_tow_z_kontr, 1) << "kept by the recount";

    buf->SetTrOk(1, true);
    EXPECT_TRUE(Row(1).tr_ok);
    buf->ResetFlags(true);
    EXPECT_TRUE(Row(0).flag && Row(1).flag);
    EXPECT_THROW(buf->CzytajRec(2, &rec), Exception);
    EXPECT_THROW(buf->SetTrOk(-1, true), Exception);
}

namespace {

// Every field of a goods record, for comparing two whole.
auto AllFields(const VelTowRec& r)
{
    return std::tuple(
        std::tuple(r.plu, r.koldod, r.kod, r.nazwa, r.cena, r.cena_hurt, r.cena_noc, r.cena_dod, r.stawka, r.stawkaPrec,
                   r.jedn, r.czy_wazony, r.precyzja, r.wagowo_ilosciowy, r.opakowanie, r.cena_otwarta),
        std::tuple(r.kod_opakowania, r.plu_opakowania, r.nr_asort, r.status, r.opis1, r.opis2, r.opis3, r.opis4, r.PKWiU,
                   r.SWW, r.TerminW, r.poziom_cen, r.ile_w_kodzie, r.dod_rabat_tow, r.nazwa_pelna, r.ile_jedn),
        std::tuple(r.nr_buf, r.plu_rec, r.tr_ok, r.flag, r.add_rec, r.org_barcode, r.org_status, r.nr_src_buf,
                   r.from_ecr, r.tow_z_kontr));
}

}  // namespace

TEST_F(ExpBuf, ARowGivesBackEveryFieldOfTheRecordStored)
{
    VelTowRec rec;
    rec.plu = 65535;
    rec.koldod = -7;
    rec.kod = std::string("59\0" "01", 5);
    rec.nazwa = "Mas\xB3o; extra";
    rec.cena = 1.5;
    rec.cena_hurt = -2;
    rec.cena_noc = 1e12;
    rec.cena_dod = 0.25;
    rec.stawka = 23;
    rec.stawkaPrec = -1;
    rec.jedn = 3;
    rec.czy_wazony = rec.wagowo_ilosciowy = rec.opakowanie = true;
    rec.cena_otwarta = false;
    rec.precyzja = 3;
    rec.kod_opakowania = "";
    rec.plu_opakowania = 9;
    rec.nr_asort = 12;
    rec.status = stCen;
    // Lengths on either side of one and two bytes of the stored length.
    rec.opis1 = std::string(127, 'a');
    rec.opis2 = std::string(128, 'b');
    rec.opis3 = std::string(16383, 'c');
    rec.opis4 = std::string(16384, 'd');
    rec.PKWiU = "10.51";
    rec.SWW = "x";
    rec.TerminW = 30;
    rec.poziom_cen = 2;
    rec.ile_w_kodzie = 500;
    rec.dod_rabat_tow = 3.5;
    rec.nazwa_pelna = std::string(300, '\xB3');
    rec.ile_jedn = 6;
    rec.plu_rec = "rec";
    rec.tr_ok = rec.flag = rec.add_rec = rec.from_ecr = rec.tow_z_kontr = true;
    rec.org_barcode = "590";
    rec.org_status = stUsu;
    rec.nr_src_buf = 41;
    buf->DodajRec(&rec);
    buf->DodajRec(&rec);
    rec.nr_buf = 1;
    EXPECT_EQ(AllFields(Row(1)), AllFields(rec));

    // Written back with other texts and numbers, and with the same ones.
    VelTowRec other;
    other.kod = "1";
    other.opis2 = "krótszy";
    other.nr_buf = 0;
    buf->ZapiszRec(0, &other);
    EXPECT_EQ(AllFields(Row(0)), AllFields(other));
    rec.flag = false;
    buf->ZapiszRec(1, &rec);
    EXPECT_EQ(AllFields(Row(1)), AllFields(rec));
}

TEST_F(ExpBuf, BarcodeIndexIsBuiltOnceForTheRowsSearched)
{
    AddCodes({"5", "30", "1", "200", "4"});
    EXPECT_EQ(buf->FindRec("1", 0), -1);
    EXPECT_FALSE(buf->Sorted) << "a search among no rows builds nothing";
    EXPECT_EQ(buf->FindRec("1", -3), -1);
    EXPECT_EQ(buf->FindRec("200", 5), 3);
    EXPECT_TRUE(buf->Sorted);
    EXPECT_EQ(buf->FindRec("5", 5), 0);
    EXPECT_EQ(buf->FindRec("4", 5), 4);
    EXPECT_EQ(buf->FindRec("2", 5), -1);

    AddCodes({"7"});
    EXPECT_EQ(buf->FindRec("7", 6), -1) << "a row appended after the index was built";
    EXPECT_EQ(buf->FindRec("7", 100), -1);

    buf->Clear();
    EXPECT_FALSE(buf->Sorted);
    EXPECT_EQ(buf->il_rec, 0);
    AddCodes({"9", "8", "7", "6"});
    EXPECT_EQ(buf->FindRec("8", 2), 1) << "a cleared buffer indexes its new rows";
    EXPECT_EQ(buf->FindRec("6", 2), -1) << "row 3 is not among the first two";
    EXPECT_EQ(buf->FindRec("6", 4), -1) << "the range stays that of the built index";
    EXPECT_EQ(buf->FindRec("9", 4), 0);
}

TEST_F(ExpBuf, BarcodesSharingTheirFirstSixteenBytesAreToldApart)
{
    const std::string codes[] = {"12345678901234567", "12345678901234568", "1234567890123456",
                                 "12345678901234560", std::string("1234567890123456\0", 17), std::string("12\0", 3),
                                 "12", "", "\xB3" "1", "123456789012345678901234567890"};
    for (const std::string& kod : codes) {
        VelTowRec rec;
        rec.kod = kod;
        buf->DodajRec(&rec);
    }
    const int n = static_cast<int>(std::size(codes));
    for (int row = 0; row < n; ++row) EXPECT_EQ(buf->FindRec(codes[row], n), row) << row;
    for (const std::string missing : {"123456789012345", "12345678901234569", "123456789012345678", "1", "\xB3"})
        EXPECT_EQ(buf->FindRec(missing, n), -1) << missing;
}

TEST_F(ExpBuf, SortedReadingBuildsTheIndexAtTheEnd)
{
    testutil::WriteFile(Kasa(), PluLine(1, "30", "DOD") + PluLine(2, "10", "DOD") + PluLine(3, "20", "DOD"));
    buf->ReadFromFile(Kasa(), true, -1);
    EXPECT_TRUE(buf->Sorted);
    EXPECT_EQ(buf->FindRec("10", 3), 1);
    EXPECT_EQ(buf->FindRec("30", 3), 0);
}

TEST_F(ExpBuf, ListLookupsRefuseIndexesOutsideTheirLists)
{
    ASSERT_EQ(Read("JM;1;0;szt\r\nJM;x;y;kg\r\nOPER;1;a;0;;\r\nWAL;PLN;Z\xB3oty;1;T;T\r\n"
                   "VAT;23\r\nVAT;8\r\nVAT;23;2300\r\n"),
              "");
    EXPECT_EQ(std::tuple(buf->IdxJednId(0), buf->IdxJednPrec(0), buf->IdxJednNazwa(1)), std::tuple(1, 0, "kg"));
    EXPECT_EQ(std::tuple(buf->IdxJednId(1), buf->IdxJednPrec(1)), std::tuple(1, 0)) << "a unit number that is no number";
    EXPECT_EQ(std::tuple(buf->NazwaJedn(1), buf->NazwaJedn(5)), std::tuple("szt", "szt."));

    const std::string unit = "Indeks jednostki miary poza zakresem";
    EXPECT_EQ(testutil::Thrown([&] { buf->IdxJednId(2); }), unit);
    EXPECT_EQ(testutil::Thrown([&] { buf->IdxJednPrec(-1); }), unit);
    EXPECT_EQ(testutil::Thrown([&] { buf->IdxJednNazwa(7); }), unit);
    EXPECT_EQ(testutil::Thrown([&] { buf->GetKasjer(buf->CountKasjer()); }), "Nieprawid\xB3owy numer kasjera");
    EXPECT_EQ(testutil::Thrown([&] { buf->GetKasjer(-1); }), "Nieprawid\xB3owy numer kasjera");
    EXPECT_EQ(testutil::Thrown([&] { buf->GetWaluta(1); }), "Nieprawid\xB3owy numer waluty");
    EXPECT_EQ(testutil::Thrown([&] { buf->GetWaluta(-1); }), "Nieprawid\xB3owy numer waluty");
    EXPECT_EQ(buf->GetWaluta(0)->GetNazwa(), "Z\xB3oty");

    // The last equal rate; 0 for none.
    EXPECT_EQ(std::tuple(buf->NumerStawki(23), buf->NumerStawki(8), buf->NumerStawki(7)), std::tuple(3, 2, 0));
    EXPECT_EQ(std::tuple(buf->NumerStawkiPrec(2300), buf->NumerStawkiPrec(800)), std::tuple(3, 2));
}

TEST_F(ExpBuf, CustomersBecomeGoodsOfTheirDiscountCards)
{
    ASSERT_EQ(Read("JM;7;0;szt\r\nVAT;23\r\nVAT;8\r\nKON;11;Kowalski;K;;;;;;123;20310615000000000;T;0;5;10\r\n"
                   "KON;12;Nowak;N;;;;;;4567;20290101000000000;T;0;0;0\r\n"),
              "");
    in.host.lines.clear();
    AnsiString debug;
    EXPECT_EQ(buf->UtworzTowaryZKontrahentow(1000, "2kkkkkkkkrryx", debug), 2);
    // 2, the customer's code in 8, the level in 2, the year's last digit, the check digit.
    EXPECT_EQ(std::tuple(Row(0).kod, Row(0).plu, Row(0).nazwa, Row(0).jedn, Row(0).stawka, Row(0).tow_z_kontr),
              std::tuple("2000001230510", 1011, "Kowalski", 7, 23, true));
    EXPECT_EQ(std::tuple(Row(0).cena, Row(0).cena_hurt, Row(0).cena_noc, Row(0).cena_dod, Row(1).plu),
              std::tuple(1000, 1000, 1000, 1000, 1012));
    EXPECT_EQ(debug.substr(0, debug.find("(kod po konwersji)\r\n") + 20),
              "----------- [DEBUG KONWERSJI DANYCH KONTRAHENTA NA KOD KARTY RABATOWEJ] ------------\r\n"
              " 0(przedrostek) + 2031-06-15(termin ważn.) + 5(poziom rab.) +           123(kod karty) ---> "
              "2kkkkkkkkrryx (format)\r\n" +
                  std::string(92, ' ') + "2000001230510 (kod po konwersji)\r\n");
    const std::string line = "Przygotowanie kart stałego klienta...";
    const std::string shown = line + ":\x01" + "0", done = line + "\x01OK";
    EXPECT_EQ(in.host.lines, (std::vector<HostLine>{{false, 0, shown}, {true, 0, done}}));

    // Past 3000 customers the conversion is no longer written out.
    VelKontrRec customer;
    for (int i = 0; i < 3000; ++i) buf->DodajRec(&customer);
    EXPECT_EQ(buf->UtworzTowaryZKontrahentow(0, "kkkk", debug), 2 + 3002);
    EXPECT_EQ(debug.size() - debug.rfind("(kod po konwersji)\r\nitd...\r\n"), 28u);

    // A card needs a unit and a rate; the row's record text is copied no further than asked.
    buf = std::make_unique<VelExpBuf>(action.get());
    ASSERT_EQ(Read("JM;1;0;szt\r\nKON;1;a;;;;;;;1;20301231000000000;T;0;0;1\r\n"), "");
    EXPECT_EQ(testutil::Thrown([&] { buf->UtworzTowaryZKontrahentow(0, "kkkk", debug); }),
              "Konwersja kontrahentów na towary - błąd stawki VAT");
    EXPECT_EQ(std::tuple(in.host.lines.back(), buf->il_rec), std::tuple(HostLine{true, 2, line}, 0));
    VelTowRec rec;
    rec.plu_rec = "ABCDEF";
    buf->DodajRec(&rec);
    char text[8] = "-------";
    EXPECT_EQ(buf->CzytajPluRec(0, text, 4), 4u);
    EXPECT_EQ(std::string(text), "ABCD---");
}

TEST_F(ExpBuf, ActionShowsTheCountsToSend)
{
    action->exp_buf = std::make_unique<VelExpBuf>(action.get());
    VelTowRec rec;
    rec.status = stUsu;
    action->exp_buf->DodajRec(&rec);
    action->exp_buf->DodajRec(&rec);
    action->ShowTowInfo(false);
    const std::vector<HostLine> onlyDeletes = {
        {false, 0, "- do usuni\xEA" "cia:\x01" "0"},
        {true, 0, "- do usuni\xEA" "cia:\x01" "2"},
    };
    EXPECT_EQ(in.host.lines, onlyDeletes);

    in.host.lines.clear();
    action->ShowTowInfo(true);
    EXPECT_EQ(in.host.lines, (std::vector<HostLine>{{false, 0, "- do dodania:\x01" "0"},
                                                   {false, 0, "- do zmiany nazwy/stawki:\x01" "0"},
                                                   {false, 0, "- do zmiany ceny:\x01" "0"}, onlyDeletes[0], onlyDeletes[1]}));

    action->exp_buf.reset();
    in.host.lines.clear();
    action->ShowTowInfo(true);
    EXPECT_TRUE(in.host.lines.empty()) << "no buffer, nothing to show";
}

namespace {

// Counts the comparisons the index makes, so that a step of n * n shows.
class CountingExpBuf : public TVelComboExpBuf {
public:
    using TVelComboExpBuf::TVelComboExpBuf;
    long long compares = 0;
    int SortCompare(int a, int b) override
    {
        ++compares;
        return TVelComboExpBuf::SortCompare(a, b);
    }
    int FindCompare(int i) override
    {
        ++compares;
        return TVelComboExpBuf::FindCompare(i);
    }
};

// A host goods line: prices 100 retail, 90 wholesale, 80 night, 70 additional.
std::string Host(int plu, const std::string& kod, const std::string& name, const std::string& status, int stawka = 23,
                 bool package = false)
{
    return "PLU;" + std::to_string(plu) + ";" + std::to_string(plu * 10) + ";" + kod + ";" + name + ";100;90;80;70;" +
           std::to_string(stawka) + ";1;F;0;F;" + (package ? "T" : "F") + ";F;0;;0;" + status + "\r\n";
}

// A register goods line as the reading of the register's list writes it.
std::string Tow(int plu, const std::string& name, const std::string& kod, int slot = 0, long price = 100)
{
    return "TOW;" + std::to_string(plu) + ";" + name + ";" + kod + ";0;0;" + std::to_string(slot) + ";" +
           std::to_string(price) + ";0;1;0;0;0;1;1;1";
}

std::string Opa(int number, const std::string& name, long price)
{
    return "OPA;" + std::to_string(number) + ";" + name + ";;" + std::to_string(price) + ";0;0";
}

// A host goods line with the retail price and the rate as given.
std::string Priced(int plu, const std::string& kod, const std::string& price, const std::string& rate = "23")
{
    return "PLU;" + std::to_string(plu) + ";0;" + kod + ";T" + std::to_string(plu) + ";" + price + ";90;80;70;" + rate +
           ";1;F;0;F;F;F;0;;0;AKT\r\n";
}

// The Combo/NEO buffer on the same action, with slots 0 to 4 of the
// register's order at 23 %, 8 %, 5 %, 0 % and the exemption.
class ComboExpBuf : public ExpBuf {
protected:
    TVelComboExpBuf* combo = nullptr;

    void SetUp() override
    {
        in.host.SetParam("Vel_Combo_PosortowaneStawkiVatPrec", "2300\r\n800\r\n500\r\n0\r\n-1");
        ExpBuf::SetUp();
        Renew();
    }
    // A new, empty buffer on the same action.
    void Renew()
    {
        auto own = std::make_unique<TVelComboExpBuf>(action.get());
        combo = own.get();
        buf = std::move(own);
    }

    std::string Wynik()
    {
        combo->ZapiszWynikEksp(tmp.File("wynik.exp"));
        return testutil::ReadFile(tmp.File("wynik.exp"));
    }
};

}  // namespace

TEST_F(ComboExpBuf, RegisterGoodsLineGivesPluNameBarcodeRateAndPrice)
{
    const auto parsed = [&](const std::string& line, VelTowRec rec = {}) {
        combo->DodInfo2TowRec(line, &rec);
        return std::tuple(rec.plu, rec.nazwa, rec.kod, rec.stawkaPrec, rec.cena, rec.opakowanie);
    };
    // Slot 1 of the register's order is 8 %.
    EXPECT_EQ(parsed(" TOW ; 12 ; Mleko ; 5900001 ;0;0; 1 ;250;0;1;0;0;0;1;1;1"),
              std::tuple(12, "Mleko", "5900001", 800, 250, false));
    // A set is in the exempt slot and has no price column.
    EXPECT_EQ(parsed("ZES;13;Zestaw;77;0;2;4; ; ; ; ; ;0; ;1;1"), std::tuple(13, "Zestaw", "77", -1, 0, false));
    EXPECT_EQ(std::get<3>(parsed(Tow(1, "a", "1", 6))), -999) << "an empty slot";
    EXPECT_EQ(std::get<3>(parsed(Tow(1, "a", "1", 12))), -999) << "a slot number outside 0 to 9";
    EXPECT_EQ(std::get<4>(parsed("TOW;1;a;1;0;0;0;12zl")), 0) << "a price that is no number";
    VelTowRec package;
    package.plu = 44;
    EXPECT_EQ(parsed("OPA;5;Butelka;590;35;0;1", package), std::tuple(0, "Butelka", "5", 0, 35, true));
    VelTowRec other;
    other.nazwa = "kept";
    EXPECT_EQ(std::get<1>(parsed("XYZ;1;2;3", other)), "kept");

    VelTowRec rec;
    EXPECT_THROW(combo->DodInfo2TowRec("TOW;x;a;1;0;0;0;1", &rec), Exception);
    EXPECT_THROW(combo->DodInfo2TowRec("TOW;1;a;1;0;0;;1", &rec), Exception) << "a slot that is no number";
    EXPECT_THROW(combo->DodInfo2TowRec("OPA;5;a;;1.5", &rec), Exception);
}

TEST_F(ComboExpBuf, EveryHostStatusAgainstEveryRegisterSituation)
{
    const std::string file = Host(1, "1001", "A", "DOD") + Host(2, "1002", "B", "AKT") + Host(3, "1003", "C", "CEN") +
                             Host(4, "1004", "D", "USU") +  // identical
                             Host(5, "1005", "E", "DOD") + Host(6, "1006", "F", "AKT") + Host(7, "1007", "G", "CEN") +
                             Host(8, "1008", "H", "USU") +                                 // another price
                             Host(9, "1009", "I", "DOD") + Host(10, "1010", "J", "CEN") +  // another name, PLU
                             Host(11, "1011", "K", "AKT") +                                // another rate
                             Host(12, "1012", "L", "DOD") + Host(13, "1013", "M", "AKT") +
                             Host(14, "1014", "N", "CEN") + Host(15, "1015", "O", "USU") +   // not in the register
                             Host(16, "123", "P", "DOD") + Host(17, "000777", "R", "AKT") +  // leading zeros
                             Host(18, "5", "Butelka", "DOD", 23, true) + Host(19, "6", "Skrzynka", "AKT", 23, true) +
                             Host(20, "7", "Kosz", "CEN", 23, true) +  // packages
                             Host(21, "1021", "S", "DOD", -1);         // exempt
    ASSERT_EQ(Read(file), "");
    ASSERT_EQ(combo->il_rec, 21);

    for (int plu = 1; plu <= 4; ++plu)
        combo->AddInPlu(std::to_string(1000 + plu),
                        Tow(plu, std::string(1, char('A' + plu - 1)), std::to_string(1000 + plu)));
    combo->AddInPlu("1005", Tow(5, "E", "1005", 0, 101));
    combo->AddInPlu("1006", Tow(6, "F", "1006", 0, 99));
    combo->AddInPlu("1007", Tow(7, "G", "1007", 0, 0));
    combo->AddInPlu("1008", Tow(8, "H", "1008", 0, 1));
    combo->AddInPlu("1009", Tow(9, "i", "1009"));
    combo->AddInPlu("1010", Tow(110, "J", "1010"));
    combo->AddInPlu("1011", Tow(11, "K", "1011", 1));
    combo->AddInPlu("000123", Tow(16, "P", "000123"));
    combo->AddInPlu("000777", Tow(17, "R", "000777"));
    combo->AddInPlu("0000", Tow(90, "zera", "0000"));
    combo->AddInPlu("", Tow(91, "pusty", ""));
    combo->AddInPlu("5", Opa(5, "Butelka", 100));
    combo->AddInPlu("6", Opa(6, "Skrzynka", 90));
    combo->AddInPlu("7", Opa(7, "Kosz wiklinowy", 100));
    combo->AddInPlu("1021", Tow(21, "S", "1021", 4));
    combo->AddInPlu("2000", Tow(300, "Obcy", "2000", 2, 500));
    combo->AnalizujCancelBufor(false);

    struct Expect {
        stTow status;
        bool trOk;
    };
    const Expect expected[] = {
        {stNull, true}, {stNull, true}, {stNull, true}, {stUsu, false},   // identical; USU stays a deletion
        {stCen, false}, {stCen, false}, {stCen, false}, {stUsu, false},   // another price
        {stAkt, false}, {stAkt, false}, {stAkt, false},                   // name (case matters), PLU, rate
        {stDod, false}, {stDod, false}, {stDod, false}, {stNull, true},   // the register lacks them
        {stNull, true}, {stNull, true},                                   // 000123 finds 123; 000777 itself
        {stNull, true}, {stCen, false}, {stAkt, false},                   // packages: the PLU is not compared
        {stNull, true},                                                   // the exempt slot
    };
    for (int row = 0; row < 21; ++row) {
        const VelTowRec r = Row(row);
        EXPECT_EQ(r.status, expected[row].status) << "PLU " << r.plu;
        EXPECT_EQ(r.tr_ok, expected[row].trOk) << "PLU " << r.plu;
    }
    EXPECT_TRUE(Row(0).flag);
    EXPECT_FALSE(Row(11).flag);

    ASSERT_EQ(combo->il_rec, 22) << "only the register's own goods are appended";
    const VelTowRec extra = Row(21);
    EXPECT_EQ(std::tuple(extra.status, extra.org_status, extra.from_ecr, extra.flag, extra.plu, extra.kod, extra.nazwa,
                         extra.stawkaPrec),
              std::tuple(stUsu, stNull, true, true, 300, "2000", "Obcy", 500));
    EXPECT_EQ(std::tuple(combo->il_dod, combo->il_akt, combo->il_cen, combo->il_usu, combo->il_opak),
              std::tuple(3, 4, 4, 3, 3));

    // Before anything is sent, only what needed nothing is reported, with
    // the status the host asked for: a deletion of goods already gone too.
    EXPECT_EQ(Wynik(),
              "PLU;1;10;1001;DOD\r\nPLU;2;20;1002;AKT\r\nPLU;3;30;1003;CEN\r\nPLU;15;150;1015;USU\r\n"
              "PLU;16;160;123;DOD\r\nPLU;17;170;000777;AKT\r\nPLU;18;180;5;DOD\r\nPLU;21;210;1021;DOD\r\n");
    EXPECT_EQ(combo->effect_exp, 8);

    // Every row to send is carried out but PLU 6, which the register refuses.
    for (int row = 0; row < combo->il_rec; ++row)
        if (combo->PluStatus(row) != stNull && Row(row).plu != 6) combo->SetTrOk(row, true);
    EXPECT_EQ(Wynik(),
              "PLU;1;10;1001;DOD\r\nPLU;2;20;1002;AKT\r\nPLU;3;30;1003;CEN\r\nPLU;4;40;1004;USU\r\n"
              "PLU;5;50;1005;DOD\r\nPLU;7;70;1007;CEN\r\nPLU;8;80;1008;USU\r\n"
              "PLU;9;90;1009;DOD\r\nPLU;10;100;1010;CEN\r\nPLU;11;110;1011;AKT\r\n"
              "PLU;12;120;1012;DOD\r\nPLU;13;130;1013;AKT\r\nPLU;14;140;1014;CEN\r\nPLU;15;150;1015;USU\r\n"
              "PLU;16;160;123;DOD\r\nPLU;17;170;000777;AKT\r\nPLU;18;180;5;DOD\r\nPLU;19;190;6;AKT\r\n"
              "PLU;20;200;7;CEN\r\nPLU;21;210;1021;DOD\r\n")
        << "the second file replaces the first; the register's own goods are never reported";
}

TEST_F(ComboExpBuf, PriceIsTheActionsLevelAsTheRegisterGetsIt)
{
    action->PoziomCen = 2;
    ASSERT_EQ(Read(Host(1, "1", "A", "CEN") + Host(2, "2", "B", "CEN") +
                   "PLU;3;0;3;C;0;0;100.5;0;23;1;F;0;F;F;F;0;;0;DOD\r\n" +
                   "PLU;4;0;4;D;0;0;100.99;0;23;1;F;0;F;F;F;0;;0;DOD\r\n"),
              "");
    combo->AddInPlu("1", Tow(1, "A", "1", 0, 80));
    combo->AddInPlu("2", Tow(2, "B", "2", 0, 100));
    combo->AddInPlu("3", Tow(3, "C", "3", 0, 100));
    combo->AddInPlu("4", Tow(4, "D", "4", 0, 101));
    combo->AnalizujCancelBufor(false);
    EXPECT_EQ(Row(0).status, stNull) << "level 2 is the night price";
    EXPECT_EQ(Row(1).status, stCen);
    EXPECT_EQ(Row(2).status, stNull) << "the fraction of the smallest unit is never sent";
    EXPECT_EQ(Row(3).status, stCen) << "100.99 goes out as 100";
}

TEST_F(ComboExpBuf, StrippedBarcodesAreKeptStripped)
{
    ASSERT_EQ(Read(Host(1, "123", "A", "DOD")), "");
    combo->AddInPlu("000123", Tow(1, "A", "000123"));
    combo->AddInPlu("00099", Tow(2, "B", "00099"));
    combo->AddInPlu("000", Tow(3, "C", "000"));
    combo->AnalizujCancelBufor(true);
    EXPECT_EQ(Row(0).status, stNull);
    ASSERT_EQ(combo->il_rec, 2);
    EXPECT_EQ(Row(1).kod, "00099") << "the register's line gives the barcode";
    EXPECT_EQ(Row(1).status, stUsu);
}

TEST_F(ComboExpBuf, BadRegisterLineEndsTheReconciliation)
{
    ASSERT_EQ(Read(Host(1, "1", "A", "DOD")), "");
    combo->AddInPlu("1", "TOW;1x;A;1;0;0;0;100");
    EXPECT_EQ(testutil::Thrown([&] { combo->AnalizujCancelBufor(false); }),
              "\"1x\" nie jest prawid\xB3ow\xB9 liczb\xB9 ca\xB3kowit\xB9");
}

TEST_F(ComboExpBuf, ResultFileSkipsRowsWithoutAPluOrAddedWhileReconciling)
{
    VelTowRec rec;
    rec.tr_ok = true;
    rec.org_status = stDod;
    rec.org_barcode = "b";
    rec.plu = 0;
    combo->DodajRec(&rec);
    rec.plu = 5;
    rec.add_rec = true;
    combo->DodajRec(&rec);
    rec.add_rec = false;
    rec.koldod = -3;
    combo->DodajRec(&rec);
    in.host.lines.clear();
    EXPECT_EQ(Wynik(), "PLU;5;-3;b;DOD\r\n");
    // The step starts at none, ends at all, then is marked done.
    EXPECT_EQ(in.host.lines, (std::vector<HostLine>{{false, 0, "Zapis wyniku eksportu::\x01" "0 %"},
                                                    {true, 0, "Zapis wyniku eksportu::\x01" "100 %"},
                                                    {true, 0, "Zapis wyniku eksportu:\x01OK"}}));
}

TEST_F(ComboExpBuf, UnwritableResultFileFailsTheMessageLine)
{
    testutil::WriteFile(tmp.File("plik"), "x");
    EXPECT_THROW(combo->ZapiszWynikEksp(tmp.File("plik/wynik.exp")), Exception);
    EXPECT_EQ(in.host.lines.back().kind, 2);
}

TEST_F(ComboExpBuf, HundredThousandRowsEachSideReconcileWithoutAQuadraticStep)
{
    // Host goods i = 0..n-1. The register holds every even one unchanged,
    // every fourth odd one (i % 4 == 1) at another price, and n / 2 goods of
    // its own; the other odd ones are new to it.
    constexpr int n = 100000;
    std::string file;
    file.reserve(static_cast<size_t>(n) * 70);
    for (int i = 0; i < n; ++i)
        file += Host(i + 1, std::to_string(5900000000000LL + i), "T" + std::to_string(i), "AKT");
    testutil::WriteFile(tmp.File("kasa.exp"), file);
    auto counting = std::make_unique<CountingExpBuf>(action.get());
    counting->ReadFromFile(tmp.File("kasa.exp"), false, -1);
    ASSERT_EQ(counting->il_rec, n);
    for (int i = 0; i < n; ++i) {
        if (i % 4 == 3) continue;
        const std::string kod = std::to_string(5900000000000LL + i);
        counting->AddInPlu(kod, Tow(i + 1, "T" + std::to_string(i), kod, 0, i % 4 == 1 ? 1 : 100));
    }
    for (int i = 0; i < n / 4; ++i) {
        const std::string kod = std::to_string(2000000000000LL + i);
        counting->AddInPlu(kod, Tow(200000 + i, "R", kod));
    }
    ASSERT_EQ(counting->CountInPlu(), n);
    counting->AnalizujCancelBufor(false);

    EXPECT_EQ(std::tuple(counting->il_rec, counting->il_akt, counting->il_cen, counting->il_dod, counting->il_usu),
              std::tuple(n + n / 4, 0, n / 4, n / 4, n / 4));
    // Sorting and n searches take some n log n comparisons; a step over all
    // pairs would take 10^10.
    EXPECT_LT(counting->compares, 10LL * n * 17) << counting->compares;
}

TEST_F(ComboExpBuf, ABadNumberIsAFormatErrorNamingItsLine)
{
    const std::string at = "Błąd w linii 2 pliku kasa.exp: ", format = "Nieprawidłowy format pliku eksportowego";
    // Price and rate as the file has them, the failure, and the row's price,
    // rate and status as read; a price that is no number leaves the row with
    // nothing to do.
    const std::tuple<std::string, std::string, std::string, double, int32_t, stTow> cases[] = {
        {"100", "21474836", "", 100, 2147483600, stAkt},
        {"12abc", "0", "", 0, 0, stNull},
        {"100", "21474837", at + format, 0, 0, stNull},
        {"100", "99999999", at + format, 0, 0, stNull},
        {"nan", "23", "", 0, 2300, stNull},
        {"1e999", "23", "", 0, 2300, stNull},
    };
    for (const auto& [price, rate, error, cena, stawkaPrec, status] : cases) {
        Renew();
        EXPECT_EQ(Read("VAT;23\r\n" + Priced(1, "1", price, rate)), error) << price << " " << rate;
        EXPECT_TRUE(!error.empty() || (Row(0).cena == cena && Row(0).stawkaPrec == stawkaPrec &&
                                       Row(0).status == status && Row(0).org_status == stAkt))
            << price << " " << rate;
    }
}

// A goods line that must not reach the register stays a row with nothing to
// do, named among the rejected lines with its line; the reading goes on.
TEST_F(ComboExpBuf, AGoodsLineWithAPriceThatIsNoNumberOrAnEarlierRowsPluIsRefused)
{
    const std::string file = Priced(1, "5901", "abc") + Priced(2, "5902", "1 250") + Priced(3, "5903", "nan") +
                             Priced(4, "5904", "1250") + Priced(5, "5905", "1250,00") + Priced(6, "5906", " 12.5 ") +
                             Priced(7, "5907", "") + Host(4, "5908", "Drugi", "DOD") +
                             // Packages of PLU 0, and a deletion and a new row of one PLU, are no repeat.
                             Host(0, "11", "Butelka", "DOD", 23, true) + Host(0, "12", "Skrzynka", "DOD", 23, true) +
                             Host(9, "5909", "Stary", "USU") + Host(9, "5910", "Nowy", "DOD") +
                             Host(0, "5911", "Bez numeru", "DOD") + Host(0, "5912", "Bez numeru", "AKT") +
                             // A row refused for its price claims no PLU; the next one of it is taken.
                             Priced(10, "5913", "x") + Priced(10, "5914", "1") + Host(4, "5915", "Trzeci", "CEN") +
                             // A number the register has no room for is refused as each row is sent.
                             Host(70000, "5916", "Poza", "DOD") + Host(70000, "5917", "Poza", "DOD") +
                             // A later row of the same goods follows the first; only other goods are refused.
                             Host(11, "5918", "Para", "DOD") + Host(11, "5918", "Para", "CEN") +
                             Host(11, "5919", "Inny", "AKT") +
                             // Neither a deletion's price nor a price the export does not program refuses.
                             "PLU;12;0;5920;Usuwany;abc;90;80;70;23;1;F;0;F;F;F;0;;0;USU\r\n"
                             "PLU;13;0;5921;Hurt;100;n/d;80;70;23;1;F;0;F;F;F;0;;0;DOD\r\n";
    // A file saved as UTF-8 may begin with a byte-order mark.
    ASSERT_EQ(Read("\xEF\xBB\xBFVAT;23\r\n" + file), "");
    ASSERT_EQ(combo->stawki.Count(), 1) << "the first line is read";
    ASSERT_EQ(combo->il_rec, 24);
    const std::vector<int> refusedRows = {0, 1, 2, 7, 14, 16, 21};
    for (int row = 0; row < combo->il_rec; ++row) {
        const bool refused = std::find(refusedRows.begin(), refusedRows.end(), row) != refusedRows.end();
        EXPECT_EQ(Row(row).status == stNull, refused) << row;
        EXPECT_EQ(combo->LiniaPliku(row), row + 2) << row;
    }
    EXPECT_EQ(std::tuple(Row(3).cena, Row(4).cena, Row(5).cena, Row(6).cena), std::tuple(1250, 1250, 12.5, 0));
    EXPECT_EQ(std::tuple(combo->il_dod, combo->il_akt, combo->il_cen, combo->il_usu), std::tuple(8, 6, 1, 2));
    std::vector<std::string> listed;
    for (const auto& line : combo->odrzucone) listed.push_back(line.rekord + ": " + line.powod);
    EXPECT_EQ(listed, (std::vector<std::string>{
                          "5901 T1              : linia 2 pliku kasa.exp: cena (pole 5): \"abc\" nie jest liczb\xB9",
                          "5902 T2              : linia 3 pliku kasa.exp: cena (pole 5): \"1 250\" nie jest liczb\xB9",
                          "5903 T3              : linia 4 pliku kasa.exp: cena (pole 5): \"nan\" nie jest liczb\xB9",
                          "5908 Drugi           : linia 9 pliku kasa.exp: numer PLU 4 ma ju\xBF towar z linii 5",
                          "5913 T10             : linia 16 pliku kasa.exp: cena (pole 5): \"x\" nie jest liczb\xB9",
                          "5915 Trzeci          : linia 18 pliku kasa.exp: numer PLU 4 ma ju\xBF towar z linii 5",
                          "5919 Inny            : linia 23 pliku kasa.exp: numer PLU 11 ma ju\xBF towar z linii 21"}));
    EXPECT_EQ(combo->LiniaPliku(-1) + combo->LiniaPliku(combo->il_rec), 0);
    // The wholesale price is the one programmed at the action's level 1.
    action->PoziomCen = 1;
    Renew();
    ASSERT_EQ(Read("PLU;13;0;5921;Hurt;100;n/d;80;70;23;1;F;0;F;F;F;0;;0;DOD\r\n"), "");
    EXPECT_EQ(Row(0).status, stNull);
}

// A refused row is never carried out: the register's item under its barcode
// is neither deleted nor taken as the row's, however equal it is.
TEST_F(ComboExpBuf, ReconciliationLeavesARefusedRowAndTheRegistersItemOfItsBarcodeAlone)
{
    ASSERT_EQ(Read(Priced(1, "5901", "abc") + Priced(2, "5902", "100") + Host(2, "5903", "T2", "DOD")), "");
    combo->AddInPlu("5901", Tow(1, "T1", "5901", 0, 0));
    combo->AddInPlu("5903", Tow(2, "T2", "5903", 0, 100));
    combo->AnalizujCancelBufor(false);
    ASSERT_EQ(combo->il_rec, 3) << "nothing of the register's to delete";
    for (int row : {0, 2}) EXPECT_EQ(std::tuple(Row(row).status, Row(row).tr_ok), std::tuple(stNull, false)) << row;
    EXPECT_EQ(Row(1).status, stDod);
    combo->SetTrOk(1, true);
    EXPECT_EQ(Wynik(), "PLU;2;0;5902;AKT\r\n");
}

TEST_F(ComboExpBuf, TheRegistersBarcodeFindsTheHostsExactRowBeforeTheStrippedOne)
{
    for (const int exact : {1, 0}) {  // the host's "0123" in either row
        const std::string rows[] = {Priced(1, "123", "100"), Priced(2, "0123", "100")};
        Renew();
        ASSERT_EQ(Read(exact ? rows[0] + rows[1] : rows[1] + rows[0]), "");
        combo->AddInPlu("0123", "TOW;2;T2;0123;0;0;0;100;0;1;0;0;0;1;1;1");
        combo->AnalizujCancelBufor(false);
        ASSERT_EQ(combo->il_rec, 2) << "nothing inserted again";
        EXPECT_EQ(Row(1 - exact).status, stDod) << "the register lacks 123";
        EXPECT_EQ(Row(exact).status, stNull) << "0123 is the register's own, unchanged";
    }
    // Even when the row of 123 has the register's PLU.
    Renew();
    ASSERT_EQ(Read(Priced(1, "123", "100") + Priced(2, "0123", "100")), "");
    combo->AddInPlu("0123", "TOW;1;T1;0123;0;0;0;100;0;1;0;0;0;1;1;1");
    combo->AnalizujCancelBufor(false);
    EXPECT_EQ(std::tuple(Row(0).status, Row(1).status), std::tuple(stDod, stAkt));
}

// A deletion of the host's (PLU 7, barcode 5907) is carried out once every
// command it waits for is taken: its own, sent when the register holds PLU
// 7, and that of the register's item holding 5907 under another PLU, made
// for it unless the host keeps that PLU.
TEST_F(ComboExpBuf, AHostDeletionIsCarriedOutOnceTheRegisterHoldsNothingOfIt)
{
    const std::string deletion = Host(7, "5907", "G", "USU");
    const struct {
        std::string more;
        std::vector<std::pair<std::string, std::string>> held;
        std::vector<int> taken;  // rows whose command the register took, in order
        int rows;
        stTow status;
        bool trOk;
    } cases[] = {
        {"", {{"5917", Tow(7, "G", "5917")}, {"5907", Tow(171, "X", "5907")}}, {0, 1}, 2, stUsu, true},
        {"", {{"5917", Tow(7, "G", "5917")}, {"5907", Tow(171, "X", "5907")}}, {0}, 2, stUsu, false},
        {"", {{"5917", Tow(7, "G", "5917")}, {"5907", Tow(171, "X", "5907")}}, {1}, 2, stUsu, false},
        {"", {{"5907", Tow(171, "X", "5907")}}, {1}, 2, stNull, true},
        {"", {{"5907", Tow(171, "X", "5907")}}, {}, 2, stNull, false},
        {"", {{"5907", Tow(7, "G", "5907")}}, {0}, 1, stUsu, true},
        // The same deletion twice: the second is carried out with the first.
        {deletion, {{"5907", Tow(7, "G", "5907")}}, {0}, 2, stUsu, true},
        {deletion, {{"5907", Tow(7, "G", "5907")}}, {}, 2, stUsu, false},
        {deletion, {}, {}, 2, stNull, true},
        {"", {{"5999", Tow(8, "Y", "5999")}}, {}, 2, stNull, true},
        {Host(9, "5999", "Z", "DOD"), {{"5907", Tow(171, "X", "5907")}}, {2}, 3, stNull, true},
        // The host keeps PLU 171, or barcode 5907 under another PLU.
        {Host(171, "5999", "X", "AKT"), {{"5907", Tow(171, "X", "5907")}}, {}, 2, stNull, true},
        {Host(9, "5907", "G", "DOD"), {{"5907", Tow(171, "X", "5907")}}, {}, 2, stNull, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.held.empty() ? "" : c.held.back().second) + c.more + " " + std::to_string(c.taken.size()));
        Renew();
        ASSERT_EQ(Read(deletion + c.more), "");
        for (const auto& [kod, line] : c.held) combo->AddInPlu(kod, line);
        combo->AnalizujCancelBufor(false);
        EXPECT_EQ(combo->il_rec, c.rows) << "rows with the register's deletions";
        for (const int row : c.taken) combo->Wykonany(row);
        EXPECT_EQ(std::tuple(Row(0).status, Row(0).tr_ok), std::tuple(c.status, c.trOk));
        if (c.more == deletion) {
            EXPECT_EQ(std::tuple(Row(1).status, Row(1).tr_ok), std::tuple(stNull, c.trOk));
        }
    }
}

TEST_F(ComboExpBuf, TheRegistersBarcodeFindsTheHostRowThatWouldPutItThere)
{
    // A weighed article's template, a plain barcode that a NEO 1.01 holds
    // for it as well, and a second template it holds the same way.
    const std::string file =
        Priced(420, "27000420?????", "100") + Priced(7, "420", "100") + Priced(421, "28000420?????", "100");
    // The family, the register's barcode and PLU number, the rows' statuses after.
    const std::tuple<e_ProtocolType, std::string, int, std::vector<stTow>> cases[] = {
        {pt_Neo, "420", 420, {stNull, stDod, stDod}},
        {pt_Neo, "420", 7, {stDod, stNull, stDod}},
        {pt_Neo, "420", 421, {stDod, stDod, stNull}},
        // None under the register's PLU number: the row of the very barcode.
        {pt_Neo, "420", 9, {stDod, stAkt, stDod}},
        // Leading zeros are dropped from the host's own barcodes only.
        {pt_Neo, "0420", 7, {stDod, stNull, stDod}},
        {pt_Neo102, "27000420", 420, {stNull, stDod, stDod}},
        {pt_Neo102, "420", 420, {stDod, stAkt, stDod}},
    };
    for (const auto& [family, held, plu, statuses] : cases) {
        action->protType = family;
        Renew();
        ASSERT_EQ(Read(file), "");
        combo->AddInPlu(held, Tow(plu, "T" + std::to_string(plu), held));
        combo->AnalizujCancelBufor(false);
        ASSERT_EQ(combo->il_rec, 3) << held << " " << plu;
        for (int row = 0; row < 3; ++row) EXPECT_EQ(Row(row).status, statuses[row]) << held << " " << plu << " row " << row;
    }
}
