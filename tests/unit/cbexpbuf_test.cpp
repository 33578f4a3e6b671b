// The Combo/NEO export buffer: the register's goods lines, the status of
// every host row after the comparison with the register's list, the exact
// export result file, and a reconciliation of 100000 rows on each side.
#include "cbexpbuf.h"

#include <gtest/gtest.h>

#include <tuple>

#include "inprocess_host.h"
#include "thrown.h"

namespace {

class ExportingAction : public TVelComboAction {
public:
    using TVelComboAction::TVelComboAction;
    using TVelComboAction::PoziomCen;
};

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
std::string Host(int plu, const std::string& kod, const std::string& name, const std::string& status,
                 int stawka = 23, bool package = false)
{
    return "PLU;" + std::to_string(plu) + ";" + std::to_string(plu * 10) + ";" + kod + ";" + name +
           ";100;90;80;70;" + std::to_string(stawka) + ";1;F;0;F;" + (package ? "T" : "F") + ";F;0;;0;" + status +
           "\r\n";
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

class ComboExpBuf : public ::testing::Test {
protected:
    InProcessHost in;
    testutil::TempDir tmp;
    std::unique_ptr<ExportingAction> action;
    std::unique_ptr<TVelComboExpBuf> buf;

    void SetUp() override
    {
        in.host.device.folder = tmp.Folder();
        // Slots 0 to 4: 23 %, 8 %, 5 %, 0 % and the exemption.
        in.host.SetParam("Vel_Combo_PosortowaneStawkiVatPrec", "2300\r\n800\r\n500\r\n0\r\n-1");
        in.Start();
        action = in.NewAction<ExportingAction>();
        buf = std::make_unique<TVelComboExpBuf>(action.get());
    }

    void Read(const std::string& text)
    {
        testutil::WriteFile(tmp.File("kasa.exp"), text);
        buf->ReadFromFile(tmp.File("kasa.exp"), false, -1);
    }

    VelTowRec Row(int row) const
    {
        VelTowRec rec;
        buf->CzytajRec(row, &rec);
        return rec;
    }

    std::string Wynik()
    {
        buf->ZapiszWynikEksp(tmp.File("wynik.exp"));
        return testutil::ReadFile(tmp.File("wynik.exp"));
    }
};

}  // namespace

TEST_F(ComboExpBuf, RegisterGoodsLineGivesPluNameBarcodeRateAndPrice)
{
    const auto parsed = [&](const std::string& line, VelTowRec rec = {}) {
        buf->DodInfo2TowRec(line, &rec);
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
    EXPECT_THROW(buf->DodInfo2TowRec("TOW;x;a;1;0;0;0;1", &rec), Exception);
    EXPECT_THROW(buf->DodInfo2TowRec("TOW;1;a;1;0;0;;1", &rec), Exception) << "a slot that is no number";
    EXPECT_THROW(buf->DodInfo2TowRec("OPA;5;a;;1.5", &rec), Exception);
}

TEST_F(ComboExpBuf, EveryHostStatusAgainstEveryRegisterSituation)
{
    Read(Host(1, "1001", "A", "DOD") + Host(2, "1002", "B", "AKT") + Host(3, "1003", "C", "CEN") +
         Host(4, "1004", "D", "USU") +                                       // identical
         Host(5, "1005", "E", "DOD") + Host(6, "1006", "F", "AKT") + Host(7, "1007", "G", "CEN") +
         Host(8, "1008", "H", "USU") +                                       // another price
         Host(9, "1009", "I", "DOD") + Host(10, "1010", "J", "CEN") +        // another name, PLU
         Host(11, "1011", "K", "AKT") +                                      // another rate
         Host(12, "1012", "L", "DOD") + Host(13, "1013", "M", "AKT") + Host(14, "1014", "N", "CEN") +
         Host(15, "1015", "O", "USU") +                                      // not in the register
         Host(16, "123", "P", "DOD") + Host(17, "000777", "R", "AKT") +      // leading zeros
         Host(18, "5", "Butelka", "DOD", 23, true) + Host(19, "6", "Skrzynka", "AKT", 23, true) +
         Host(20, "7", "Kosz", "CEN", 23, true) +                            // packages
         Host(21, "1021", "S", "DOD", -1));                                  // exempt
    ASSERT_EQ(buf->il_rec, 21);

    for (int plu = 1; plu <= 4; ++plu)
        buf->AddInPlu(std::to_string(1000 + plu), Tow(plu, std::string(1, char('A' + plu - 1)), std::to_string(1000 + plu)));
    buf->AddInPlu("1005", Tow(5, "E", "1005", 0, 101));
    buf->AddInPlu("1006", Tow(6, "F", "1006", 0, 99));
    buf->AddInPlu("1007", Tow(7, "G", "1007", 0, 0));
    buf->AddInPlu("1008", Tow(8, "H", "1008", 0, 1));
    buf->AddInPlu("1009", Tow(9, "i", "1009"));
    buf->AddInPlu("1010", Tow(110, "J", "1010"));
    buf->AddInPlu("1011", Tow(11, "K", "1011", 1));
    buf->AddInPlu("000123", Tow(16, "P", "000123"));
    buf->AddInPlu("000777", Tow(17, "R", "000777"));
    buf->AddInPlu("0000", Tow(90, "zera", "0000"));
    buf->AddInPlu("", Tow(91, "pusty", ""));
    buf->AddInPlu("5", Opa(5, "Butelka", 100));
    buf->AddInPlu("6", Opa(6, "Skrzynka", 90));
    buf->AddInPlu("7", Opa(7, "Kosz wiklinowy", 100));
    buf->AddInPlu("1021", Tow(21, "S", "1021", 4));
    buf->AddInPlu("2000", Tow(300, "Obcy", "2000", 2, 500));
    buf->AnalizujCancelBufor(false);

    struct Expect {
        stTow status;
        bool trOk;
    };
    const Expect expected[] = {
        {stNull, true}, {stNull, true}, {stNull, true}, {stUsu, false},  // identical; USU stays a deletion
        {stCen, false}, {stCen, false}, {stCen, false}, {stUsu, false},  // another price
        {stAkt, false}, {stAkt, false}, {stAkt, false},                  // name (case matters), PLU, rate
        {stDod, false}, {stDod, false}, {stDod, false}, {stNull, false}, // the register lacks them
        {stNull, true}, {stNull, true},                                  // 000123 finds 123; 000777 itself
        {stNull, true}, {stCen, false}, {stAkt, false},                  // packages: the PLU is not compared
        {stNull, true},                                                  // the exempt slot
    };
    for (int row = 0; row < 21; ++row) {
        const VelTowRec r = Row(row);
        EXPECT_EQ(r.status, expected[row].status) << "PLU " << r.plu;
        EXPECT_EQ(r.tr_ok, expected[row].trOk) << "PLU " << r.plu;
    }
    EXPECT_TRUE(Row(0).flag);
    EXPECT_FALSE(Row(11).flag);

    ASSERT_EQ(buf->il_rec, 22) << "only the register's own goods are appended";
    const VelTowRec extra = Row(21);
    EXPECT_EQ(std::tuple(extra.status, extra.org_status, extra.from_ecr, extra.flag, extra.plu, extra.kod, extra.nazwa,
                         extra.stawkaPrec),
              std::tuple(stUsu, stNull, true, true, 300, "2000", "Obcy", 500));
    EXPECT_EQ(std::tuple(buf->il_dod, buf->il_akt, buf->il_cen, buf->il_usu, buf->il_opak), std::tuple(3, 4, 4, 3, 3));

    // Before anything is sent, only what needed nothing is reported, with
    // the status the host asked for.
    EXPECT_EQ(Wynik(),
              "PLU;1;10;1001;DOD\r\nPLU;2;20;1002;AKT\r\nPLU;3;30;1003;CEN\r\n"
              "PLU;16;160;123;DOD\r\nPLU;17;170;000777;AKT\r\nPLU;18;180;5;DOD\r\nPLU;21;210;1021;DOD\r\n");
    EXPECT_EQ(buf->effect_exp, 7);

    // Every row to send is carried out but PLU 6, which the register refuses.
    for (int row = 0; row < buf->il_rec; ++row)
        if (buf->PluStatus(row) != stNull && Row(row).plu != 6) buf->SetTrOk(row, true);
    EXPECT_EQ(Wynik(),
              "PLU;1;10;1001;DOD\r\nPLU;2;20;1002;AKT\r\nPLU;3;30;1003;CEN\r\nPLU;4;40;1004;USU\r\n"
              "PLU;5;50;1005;DOD\r\nPLU;7;70;1007;CEN\r\nPLU;8;80;1008;USU\r\n"
              "PLU;9;90;1009;DOD\r\nPLU;10;100;1010;CEN\r\nPLU;11;110;1011;AKT\r\n"
              "PLU;12;120;1012;DOD\r\nPLU;13;130;1013;AKT\r\nPLU;14;140;1014;CEN\r\n"
              "PLU;16;160;123;DOD\r\nPLU;17;170;000777;AKT\r\nPLU;18;180;5;DOD\r\nPLU;19;190;6;AKT\r\n"
              "PLU;20;200;7;CEN\r\nPLU;21;210;1021;DOD\r\n")
        << "the second file replaces the first; the register's own goods are never reported";
}

TEST_F(ComboExpBuf, PriceIsTheActionsLevelComparedExactly)
{
    action->PoziomCen = 2;
    Read(Host(1, "1", "A", "CEN") + Host(2, "2", "B", "CEN") +
         "PLU;3;0;3;C;0;0;100.5;0;23;1;F;0;F;F;F;0;;0;DOD\r\n");
    buf->AddInPlu("1", Tow(1, "A", "1", 0, 80));
    buf->AddInPlu("2", Tow(2, "B", "2", 0, 100));
    buf->AddInPlu("3", Tow(3, "C", "3", 0, 100));
    buf->AnalizujCancelBufor(false);
    EXPECT_EQ(Row(0).status, stNull) << "level 2 is the night price";
    EXPECT_EQ(Row(1).status, stCen);
    EXPECT_EQ(Row(2).status, stCen) << "a fraction of the smallest unit is a different price";
}

TEST_F(ComboExpBuf, StrippedBarcodesAreKeptStripped)
{
    Read(Host(1, "123", "A", "DOD"));
    buf->AddInPlu("000123", Tow(1, "A", "000123"));
    buf->AddInPlu("00099", Tow(2, "B", "00099"));
    buf->AddInPlu("000", Tow(3, "C", "000"));
    buf->AnalizujCancelBufor(true);
    EXPECT_EQ(Row(0).status, stNull);
    ASSERT_EQ(buf->il_rec, 2);
    EXPECT_EQ(Row(1).kod, "00099") << "the register's line gives the barcode";
    EXPECT_EQ(Row(1).status, stUsu);
}

TEST_F(ComboExpBuf, BadRegisterLineEndsTheReconciliation)
{
    Read(Host(1, "1", "A", "DOD"));
    buf->AddInPlu("1", "TOW;1x;A;1;0;0;0;100");
    EXPECT_EQ(testutil::Thrown([&] { buf->AnalizujCancelBufor(false); }),
              "\"1x\" nie jest prawid\xB3ow\xB9 liczb\xB9 ca\xB3kowit\xB9");
}

TEST_F(ComboExpBuf, ResultFileSkipsRowsWithoutAPluOrAddedWhileReconciling)
{
    VelTowRec rec;
    rec.tr_ok = true;
    rec.org_status = stDod;
    rec.org_barcode = "b";
    rec.plu = 0;
    buf->DodajRec(&rec);
    rec.plu = 5;
    rec.add_rec = true;
    buf->DodajRec(&rec);
    rec.add_rec = false;
    rec.koldod = -3;
    buf->DodajRec(&rec);
    in.host.lines.clear();
    EXPECT_EQ(Wynik(), "PLU;5;-3;b;DOD\r\n");
    EXPECT_EQ(in.host.lines.front(), (HostLine{false, 0, "Zapis wyniku eksportu::\x01" "0 %"}));
    EXPECT_EQ(in.host.lines.back(), (HostLine{true, 0, "Zapis wyniku eksportu:\x01OK"}));
}

TEST_F(ComboExpBuf, UnwritableResultFileFailsTheMessageLine)
{
    testutil::WriteFile(tmp.File("plik"), "x");
    EXPECT_THROW(buf->ZapiszWynikEksp(tmp.File("plik/wynik.exp")), Exception);
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
    for (int i = 0; i < n; ++i) file += Host(i + 1, std::to_string(5900000000000LL + i), "T" + std::to_string(i), "AKT");
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
