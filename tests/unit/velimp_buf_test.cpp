// One sale date's import buffer: how sales, payments, receipts and the
// cashier state add up, and the host's import file written from it.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <array>
#include <csignal>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <tuple>

#include "VelImpBuf.h"
#include "scaled_clock.h"
#include "testutil.h"
#include "thrown.h"

namespace {
using testutil::Contains;
const TDateTime kDay = EncodeDate(2026, 3, 14);

std::unique_ptr<ORVPosition> Item(int32_t plu, const char* kod, int32_t ilosc, int64_t wartosc, int hour,
                                  position_type typ = ptSale)
{
    auto p = std::make_unique<ORVPosition>();
    p->Fplu = plu;
    p->Fkod = kod;
    p->Filosc = ilosc;
    p->Fwartosc = wartosc;
    p->Fdata_czas = kDay + EncodeTime(hour, 30, 0, 0);
    p->FTyp = typ;
    return p;
}

std::unique_ptr<ORVPayment> Payment(int32_t kod, int64_t wartosc, int32_t kurs)
{
    auto p = std::make_unique<ORVPayment>();
    p->Fkod = kod;
    p->Fwartosc = wartosc;
    p->Fkurs = kurs;
    return p;
}

class ImportBuffer : public ::testing::Test {
protected:
    testutil::TempDir dir;
    VelImpBuf buf;
    void SetUp() override { buf.data = TdtTools(kDay); }

    std::string SavedText(bool strip = false)
    {
        buf.Save(dir / "kasa.imp", strip);
        return testutil::ReadFile(dir / "kasa.imp");
    }
    std::vector<std::string> Saved(bool strip = false)
    {
        std::vector<std::string> lines;
        std::istringstream in(SavedText(strip));
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }
    // The lines of `want` that the saved file lacks.
    std::vector<std::string> Missing(std::initializer_list<std::string> want, bool strip = false)
    {
        const auto lines = Saved(strip);
        std::vector<std::string> missing;
        for (const std::string& line : want)
            if (!Contains(lines, line)) missing.push_back(line);
        return missing;
    }
    const std::vector<std::string> kNone;
    VelImpTowRec Row(int i) const
    {
        VelImpTowRec rec;
        buf.GetPlu(i, rec);
        return rec;
    }
};
}  // namespace

TEST_F(ImportBuffer, GoodsRowsAddUpByTextAndIdentifier)
{
    EXPECT_EQ(buf.FindRec("1"), -1);
    EXPECT_FALSE(buf.Sorted) << "an empty table builds no index";

    buf.AddToPlu("12", 1000, 250, id_plu);
    buf.AddToPlu("12", 500, 125, id_barcode);
    buf.AddToPlu("12", 2000, 500, id_plu);
    buf.AddToPlu("12", 1, 1, id_barcode);
    ASSERT_EQ(buf.CountPlu(), 2) << "a PLU number and a barcode that read alike stay apart";
    EXPECT_EQ(std::tuple(Row(0).quantity, Row(0).value, Row(0).identifier), std::tuple(3000, 750, id_plu));
    EXPECT_EQ(std::tuple(Row(1).quantity, Row(1).identifier, Row(1).save), std::tuple(501, id_barcode, true));

    buf.ExclAddToPlu("7", 2, 5);  // only to a row there is
    buf.AddToPlu("7", 1, 10, id_barcode);
    buf.ExclAddToPlu("7", 2, 5);
    EXPECT_EQ(std::tuple(buf.CountPlu(), Row(2).quantity, Row(2).value), std::tuple(3, 3, 15));
}

TEST_F(ImportBuffer, RowsAddedAfterTheIndexIsBuiltAreFound)
{
    // Random texts with repeats under both identifiers, some added before
    // the first search builds the index and the rest kept in order by
    // insertion; half-way the buffer is cleared and filled again.
    std::mt19937 random(7);
    std::map<std::pair<std::string, e_identifier>, double> expected;
    for (int i = 0; i < 600; ++i) {
        const std::string text = std::to_string(random() % 150);
        const e_identifier id = random() % 3 == 0 ? id_barcode : id_plu;
        buf.AddToPlu(text, 1, 1, id);
        expected[{text, id}] += 1;
        if (i == 40) {
            ASSERT_GE(buf.FindRec(text), 0);
        }
        if (i == 300) {
            buf.Clear();
            expected.clear();
        }
    }
    ASSERT_EQ(buf.CountPlu(), static_cast<int>(expected.size()));
    for (int i = 0; i < buf.CountPlu(); ++i) {
        const VelImpTowRec rec = Row(i);
        EXPECT_EQ(rec.quantity, (expected[{rec.plu, rec.identifier}])) << rec.plu;
        const int found = buf.FindRec(rec.plu);
        ASSERT_GE(found, 0) << rec.plu;
        EXPECT_EQ(Row(found).plu, rec.plu);
    }
    EXPECT_EQ(buf.FindRec("x"), -1);
}

TEST_F(ImportBuffer, AnItemsPluNumberFindsTheRowItsTextWould)
{
    // Rows whose texts read as numbers or nearly ("07", "-0"), under both
    // identifiers, some more than once; then items by PLU number. Each
    // item must land where AddToPlu of the number's text puts its twin.
    VelImpBuf twin;
    std::mt19937 random(11);
    const char* const texts[] = {"7", "07", "12", "-0", "0", "2147483647", "-5", "12 "};
    for (int i = 0; i < 400; ++i) {
        if (i == 200) {
            buf.Clear();
            twin.Clear();
        }
        if (random() % 4 == 0) {
            const char* text = texts[random() % std::size(texts)];
            const e_identifier id = random() % 3 == 0 ? id_barcode : id_plu;
            buf.AddPlu(text, 1, 1, id);
            twin.AddPlu(text, 1, 1, id);
            continue;
        }
        const int32_t plu = std::array<int32_t, 6>{7, 12, 0, -5, 2147483647, 99}[random() % 6];
        buf + *Item(plu, "", 1000, 10, 9);
        twin.AddToPlu(IntToStr(plu), 1000, 10, id_plu);
    }
    ASSERT_EQ(buf.CountPlu(), twin.CountPlu());
    for (int i = 0; i < buf.CountPlu(); ++i) {
        VelImpTowRec mine, theirs;
        buf.GetPlu(i, mine);
        twin.GetPlu(i, theirs);
        EXPECT_EQ(std::tuple(mine.plu, mine.identifier, mine.quantity, mine.value),
                  std::tuple(theirs.plu, theirs.identifier, theirs.quantity, theirs.value))
            << i;
    }
}

TEST_F(ImportBuffer, PaymentsConvertAtTheirRateTruncatingTowardZero)
{
    buf + *Payment(1, 1000, 150);  // 1500
    buf + *Payment(1, -1, 50);     // -0.5 counts 0
    buf + *Payment(2, 333, 100);
    buf + *Payment(3, -301, 50);  // -150.5 counts -150
    buf + Payment(4, 7, 100).get();
    buf + static_cast<const ORVPayment*>(nullptr);
    buf + *Payment(0, 999, 100);  // cash: in no total
    buf + *Payment(5, 999, 100);
    buf + *Payment(4, 4000000000LL, 200);  // no 32-bit overflow
    EXPECT_EQ(Missing({"FPLATN_BON;1500", "FPLATN_CZEK;333", "FPLATN_KARTA;-150", "FPLATN_INNE;8000000007"}), kNone);
}

TEST_F(ImportBuffer, ReceiptsCarryTheSalesOnlyWhenAsked)
{
    struct Counted : ORVParagon {
        int* calls;
        explicit Counted(int* c) : calls(c) {}
        void PostProcess() override { ++*calls; }
    };
    auto receipt = [](int* calls) {
        auto r = std::make_unique<Counted>(calls);
        *r + Item(12, "", 2, 300, 9) + Item(0, " 590012 ", 1, 100, 9) + Item(0, "5901", 1, 50, 9, ptBottleSale) +
            Item(0, "5901", -1, -50, 10, ptBottleReturn) + Payment(3, 400, 100);
        r->Frabat = -25;
        return r;
    };
    int calls = 0;
    buf.AddReceipt(receipt(&calls));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(buf.CountPlu(), 0) << "the receipt is only kept";
    EXPECT_EQ(buf.GetReceiptsCount(), 1);

    buf.sprzedaz_z_paragonow = true;
    buf.AddReceipt(receipt(&calls));
    EXPECT_EQ(calls, 2);
    ASSERT_EQ(buf.CountPlu(), 3);
    EXPECT_EQ(std::tuple(Row(0).plu, Row(0).identifier), std::tuple("12", id_plu));
    EXPECT_EQ(std::tuple(Row(1).plu, Row(1).identifier), std::tuple("590012", id_barcode)) << "barcodes are trimmed";
    EXPECT_EQ(Row(2).quantity, 0);
    // The receipt counts once, at its own hour.
    EXPECT_EQ(Missing({"GODZ;9;450;1;4", "GODZ;10;-50;0;0", "SPRZEDAZ_OPAKOWAN;50", "ZWROT_OPAKOWAN;50", "RABATY;25",
                       "FPLATN_KARTA;400"}),
              kNone);
}

TEST_F(ImportBuffer, CashierBlockHoldsWhatWasSetInItsOrderWithCurrenciesMergedByName)
{
    buf.Kas_ActiveKasjerSection();
    buf.Kas_SetNumer(3);
    buf.Kas_AddWaluta("EUR", 43000, 1000, 200);
    buf.Kas_AddWaluta("USD", 39000, 50, 5);
    buf.Kas_AddWaluta("EUR", 0, 500, -100);
    buf.Kas_AddWaluta("USD", 40000, 0, 0);
    buf.MakeStanKasyStr();
    EXPECT_EQ(buf.GetStanKasyStr(),
              "KAS_NUMER;3\r\n"
              "KAS_WAL1_NAZWA;EUR\r\nKAS_WAL1_KURS;43000\r\nKAS_WAL1_STAN;1500\r\n"
              "KAS_WAL1_BILANS;100\r\n"
              "KAS_WAL2_NAZWA;USD\r\nKAS_WAL2_KURS;40000\r\nKAS_WAL2_STAN;50\r\n"
              "KAS_WAL2_BILANS;5\r\n");

    buf.Kas_Clear();
    buf.MakeStanKasyStr();
    EXPECT_EQ(buf.GetStanKasyStr(), "KAS_NUMER;0\r\n");
    buf.Kas_SetNumer(2);
    buf.Kas_SetWartStorno(120);
    buf.Kas_SetIlStorno(1);
    buf.Kas_SetParagonow(44);
    buf.Kas_SetStankasy(150000);
    buf.Kas_SetZmstart(TdtTools(kDay + EncodeTime(6, 0, 0, 0)));
    buf.Kas_SetNazwisko("Kowalska");
    buf.MakeStanKasyStr();
    EXPECT_EQ(buf.GetStanKasyStr(),
              "KAS_NUMER;2\r\nKAS_NAZWISKO;Kowalska\r\nKAS_ZMSTART;20260314060000000\r\n"
              "KAS_STANKASY;150000\r\nKAS_PARAGONOW;44\r\nKAS_IL_STORNO;1\r\n"
              "KAS_WART_STORNO;120\r\n");
    buf.Kas_Clear();
    buf.MakeStanKasyStr();
    EXPECT_EQ(buf.GetStanKasyStr(), "KAS_NUMER;0\r\n");
}

TEST_F(ImportBuffer, CashierValuesWithoutASetterHaveTheirPlaceAndLinesOfABlockOfItsOwnGoInAsTheyAre)
{
    struct EveryValue : VelImpBuf {
        EveryValue() { kas_nr_kasjera = 7, kas_uprawn = 3, kas_przelewy = 300, kas_dodfplat = 40; }
    } every;
    every.Kas_SetNumer(2);
    every.Kas_SetNazwisko("Nowak");
    every.Kas_SetCzeki(10);
    every.Kas_SetInnefplat(20);
    every.MakeStanKasyStr();
    EXPECT_EQ(every.GetStanKasyStr(),
              "KAS_NUMER;2\r\nKAS_NR_KASJERA;7\r\nKAS_NAZWISKO;Nowak\r\nKAS_UPRAWN;3\r\n"
              "KAS_CZEKI;10\r\nKAS_PRZELEWY;300\r\nKAS_DODFPLAT;40\r\nKAS_INNEFPLAT;20\r\n");
    every.Kas_Clear();
    every.Kas_SetNumer(2);
    every.MakeStanKasyStr();
    EXPECT_EQ(every.GetStanKasyStr(), "KAS_NUMER;2\r\n");

    buf.AddLinieStanuKasy("KAS_NUMER;4");
    buf.AddLinieStanuKasy("KAS_BONY;5");
    EXPECT_NE(SavedText().find("\r\n[STAN_KASY]\r\nKAS_NUMER;4\r\nKAS_BONY;5\r\n\r\n[FLAGI]"), std::string::npos);
}

TEST_F(ImportBuffer, CurrencyMovementsAddUpByCurrencyAndRateAndAreListed)
{
    const VelWymiana euro("EUR", 430, 100);
    EXPECT_EQ(euro.GetKurs() + " " + euro.GetText(), "EUR;430 EUR;430;100");
    buf.FWymiany + euro + VelWymiana("USD", 400, INT32_MAX) + VelWymiana("EUR", 430, -30) + VelWymiana("EUR", 431, 1) +
        VelWymiana("USD", 400, INT32_MAX);
    EXPECT_NE(SavedText().find("\r\n[RAPORT_WALUTOWY]\r\nWALUTA;EUR;430;70\r\nWALUTA;USD;400;4294967294\r\n"
                               "WALUTA;EUR;431;1\r\n\r\n[FINANSOWE]\r\n"),
              std::string::npos);
}

TEST_F(ImportBuffer, ReceiptLinesNameTheirGoodsByTheDaysRuleAndAreSavedWhole)
{
    const TDateTime noon = kDay + EncodeTime(12, 0, 0, 0);
    const std::tuple<bool, e_identifier, int, int, std::string> lines[] = {
        {false, id_plu, 3, 5, "PAR;12;;2;300;-5;Chleb;20260314120000000;3;5\r\n"},
        {false, id_barcode, -1, 5, "PAR;;12;2;300;-5;Chleb;20260314120000000;;5\r\n"},
        {true, id_global, -1, -1, "PAR;;12;2;300;-5;Chleb;20260314120000000;;\r\n"},
    };
    std::string all;
    for (const auto& [barcodes, identifier, a, b, line] : lines) {
        buf.ident_barcode = barcodes;
        buf.AddLiniaParEx("12", 2, 300, -5, "Chleb", noon, a, b, identifier);
        all += line;
    }
    EXPECT_EQ(
        testutil::Thrown([&] { buf.AddLiniaParEx("12", 2, 300, 0, "", noon, 0, 0, static_cast<e_identifier>(3)); }),
        "VelExpBuf::AddLiniaParEx() - nieprawidłowy _ident");
    testutil::WriteFile(dir / "paragon.imp", std::string(1000, 'x'));
    buf.SaveOneParag(dir / "paragon.imp");
    EXPECT_EQ(testutil::ReadFile(dir / "paragon.imp"), all);
    buf.Clear();
    buf.SaveOneParag(dir / "paragon.imp");
    EXPECT_EQ(testutil::ReadFile(dir / "paragon.imp"), "");
}

TEST_F(ImportBuffer, ImportFileLayout)
{
    buf.ident_barcode = true;
    buf.fisk_z_plu = true;
    buf.doklej_plu = true;
    buf.AddPlu("12", 2000, 1500, id_plu);
    buf.AddPlu("0059012", 1, 100, id_global);
    buf.AddPlu("13", 0, 700, id_plu);  // no quantity: not written
    buf.AddParameter("ComboLastReceipt", "10");
    buf.AddParameter("Inny", "a=b");
    buf.AddParameter("ComboLastReceipt", "12");
    buf.AddGodzinowy(0, 1600, 2, 3);
    buf.AddGodzinowy(9, 0, 1, 1);  // no sales value: not written
    buf.AddGodzinowy(24, 5, 1, 1);
    buf.AddGodzinowy(-1, 5, 1, 1);
    buf.AddPayIn(10000);
    buf.AddPayOut(2500);
    buf.AddDiscount(-30, false);
    buf.AddKoszyk(2);
    buf.AddLiniaPar(3);
    buf.Kas_ActiveKasjerSection();
    buf.Kas_SetNumer(1);
    buf.Kas_SetBony(40);
    const std::string expected =
        "[TOWAROWE]\r\n"
        "PLU;12;;2000;1500\r\n"
        "PLU;;0059012;1;100\r\n"
        "\r\n[OPERACJE]\r\n"
        "KASPAR;ComboLastReceipt;12\r\n"
        "KASPAR;Inny;a;b\r\n"
        "\r\n[RAPORT_GODZINOWY]\r\n"
        "GODZ;0;1600;2;3\r\n"
        "\r\n[RAPORT_WALUTOWY]\r\n"
        "\r\n[FINANSOWE]\r\n"
        "WPLATY;10000\r\nWYPLATY;2500\r\nRABATY;-30\r\nZWROT_OPAKOWAN;0\r\nSPRZEDAZ_OPAKOWAN;0\r\n"
        "FPLATN_BON;0\r\nFPLATN_CZEK;0\r\nFPLATN_KARTA;0\r\nFPLATN_INNE;0\r\nIL_KOSZYKOW;2\r\nIL_LINII_PAR;3\r\n"
        "\r\n[STAN_KASY]\r\n"
        "KAS_NUMER;1\r\nKAS_BONY;40\r\n"
        "\r\n[FLAGI]\r\n"
        "DATA_SPRZEDAZY;20260314000000000\r\n"
        "FISK_Z_PLU;T\r\nNADPISZ_FISK;N\r\nNADPISZ_OPAK;T\r\nPODSUMUJ_OPAK;N\r\nNADPISZ_PLU;N\r\nDOKLEJ_PLU;T\r\n";
    EXPECT_EQ(SavedText(), expected);
}

TEST_F(ImportBuffer, StrippedBarcodesKeepOneDigit)
{
    buf.AddPlu("000", 1, 1, id_barcode);
    buf.AddPlu("0012", 1, 1, id_barcode);
    buf.AddPlu("0012", 1, 1, id_plu);  // PLU numbers are never stripped
    buf.AddPlu("7", 1, 1, id_global);  // by PLU number without ident_barcode
    EXPECT_EQ(Missing({"PLU;;0;1;1", "PLU;;12;1;1", "PLU;0012;;1;1", "PLU;7;;1;1"}, true), kNone);
}

TEST_F(ImportBuffer, WithoutCashierSectionNoCashierBlock)
{
    buf.Kas_SetNumer(4);
    auto lines = Saved();
    EXPECT_FALSE(Contains(lines, "[STAN_KASY]"));
    EXPECT_TRUE(Contains(lines, "FISK_Z_PLU;N"));

    // A block written once is not carried into the buffer's next fill.
    buf.Kas_ActiveKasjerSection();
    ASSERT_TRUE(Contains(Saved(), "KAS_NUMER;4"));
    buf.Clear();
    lines = Saved();
    EXPECT_FALSE(Contains(lines, "[STAN_KASY]"));
    EXPECT_FALSE(Contains(lines, "KAS_NUMER;4"));
}

TEST_F(ImportBuffer, SalesAtTheEdgesOfTheDayCountInTheirHour)
{
    ORVPosition item;
    item.Fplu = 1;
    item.Filosc = 1;
    item.Fwartosc = 5;
    item.Fdata_czas = kDay + EncodeTime(23, 59, 59, 999);
    buf + item;
    item.Fdata_czas = -1.25;  // a day before the epoch, 06:00
    buf + &item;
    buf + static_cast<const ORVPosition*>(nullptr);
    EXPECT_EQ(Missing({"GODZ;23;5;0;0", "GODZ;6;5;0;0"}), kNone);
}

TEST_F(ImportBuffer, ReceiptsAreFreedAsTheyAreWrittenAndWrittenOnlyInDetailMode)
{
    auto fill = [this] {
        auto r = std::make_unique<ORVParagon>();
        r->FnrPar = 1;
        r->FnrTrans = 7;
        *r + Item(1, "", 1, 100, 8) + Payment(0, 100, 100);
        buf.AddReceipt(std::move(r));
        auto o = std::make_unique<ORVOther>();
        o->typOperacji = op_wpl;
        buf.AddReceiptOtherInfo(std::move(o));
    };
    fill();
    EXPECT_EQ(buf.LastReceiptTrans(), 7);
    std::string text = SavedText();
    EXPECT_EQ(text.find("[Paragon nr"), std::string::npos);
    EXPECT_EQ(text.find("[INNA_OPER]"), std::string::npos);
    ASSERT_EQ(buf.GetReceiptsCount(), 1);
    EXPECT_EQ(buf.LastReceiptTrans(), std::nullopt);

    buf.par_szczeg = true;
    fill();
    text = SavedText();
    const size_t flags = text.find("DOKLEJ_PLU;N\r\n");
    const size_t receipt = text.find("\r\n[Paragon nr 1]\r\nVelK;");
    const size_t other = text.find("\n[INNA_OPER]\nOP_WPL;");
    EXPECT_LT(flags, receipt);
    EXPECT_LT(receipt, other);
    EXPECT_NE(other, std::string::npos);
    EXPECT_EQ(buf.LastReceiptTrans(), std::nullopt);
    // Saving again writes nothing of what was freed.
    text = SavedText();
    EXPECT_EQ(text.find("[Paragon nr"), std::string::npos);

    // A day cleared because the host has it already drops its receipts and
    // other operations too.
    fill();
    buf.Clear();
    EXPECT_EQ(buf.GetReceiptsCount(), 0);
    text = SavedText();
    EXPECT_EQ(text.find("[Paragon nr"), std::string::npos);
    EXPECT_EQ(text.find("[INNA_OPER]"), std::string::npos);
}

TEST_F(ImportBuffer, FailedWriteLeavesTheOldFileWhole)
{
    testutil::WriteFile(dir / "kasa.imp", "poprzedni dzie\xF1");
    buf.AddPlu("1", 1, 1, id_plu);
    buf.AddPlu("2", 1, 1, static_cast<e_identifier>(7));
    EXPECT_EQ(testutil::Thrown([&] { buf.Save(dir / "kasa.imp", false); }),
              "VelExpBuf::WriteToFile() - nieprawid\xB3owy ident");
    EXPECT_EQ(testutil::ReadFile(dir / "kasa.imp"), "poprzedni dzie\xF1");
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) ++files;
    EXPECT_EQ(files, 1u) << "no working file is left behind";

    // A folder that does not exist fails with the file layer's error.
    EXPECT_THROW(buf.Save(dir / "brak/kasa.imp", false), Exception);
}

TEST_F(ImportBuffer, AFileTheSystemRefusesToTakeLeavesTheOldFileWhole)
{
    // The system takes no file past 1000 bytes: a day that fits the write
    // buffer fails as it is closed, a longer one on the way.
    for (const int rows : {100, 20000}) {
        testutil::WriteFile(dir / "kasa.imp", "poprzedni dzie\xF1");
        buf.Clear();
        for (int i = 0; i < rows; ++i) buf.AddPlu(std::to_string(i), 1, 1, id_plu);
        rlimit before{};
        getrlimit(RLIMIT_FSIZE, &before);
        const rlimit small{1000, before.rlim_max};
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        const std::string error = testutil::Thrown([&] { buf.Save(dir / "kasa.imp", false); });
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, handler);
        EXPECT_NE(error.find("B\xB3\xB9" "d zapisu pliku"), std::string::npos) << rows << ": " << error;
        EXPECT_EQ(testutil::ReadFile(dir / "kasa.imp"), "poprzedni dzie\xF1") << rows;
        EXPECT_FALSE(testutil::Exists(dir / "kasa.imp.tmp")) << rows;
    }
}

TEST_F(ImportBuffer, LongGoodsListIsWrittenWithoutPauses)
{
    // The host's thread waits for the call anyway: a pause only makes the
    // import slower.
    struct TickingClock : Clock {
        uint64_t now = 0;
        std::vector<uint32_t> sleeps;
        uint64_t NowMs() override { return now++; }
        void SleepMs(uint32_t ms) override { sleeps.push_back(ms); }
    } clock;
    for (int i = 0; i < 1000; ++i) buf.AddPlu(std::to_string(i), i % 2, 1, id_plu);
    {
        testutil::ClockScope scope(&clock);
        buf.Save(dir / "kasa.imp", false);
    }
    EXPECT_TRUE(clock.sleeps.empty());
}
