// The export buffer: reading the host's export file with its archive copy
// and message lines, the lists and look-ups, the status counters, the
// barcode index, and the action's summary of the counts.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "VelExpBuf.h"
#include "emexception.h"
#include "inprocess_host.h"
#include "thrown.h"

namespace {

const std::string kFormatError = "Nieprawid\xB3owy format pliku eksportowego";
const std::string kReading = "Wczytywanie listy towar\xF3w";
const std::string kAnalysis = "Analiza listy towar\xF3w";

// Opens the action's export buffer to the test.
class ExportingAction : public TVelComboAction {
public:
    using TVelComboAction::TVelComboAction;
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

    // Reads `text` as the export file; the error text, or "" when none.
    std::string Read(const std::string& text, int kind = -1)
    {
        testutil::WriteFile(Kasa(), text);
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
    // Rows of these barcodes and nothing else.
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
    for (const size_t size : {size_t{1} << 16, size_t{1} << 18, size_t{1} << 19}) {
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
