// The receipt model's records as the host reads them from the import file.
#include "ORVParagon.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <tuple>

#include "mfile.h"
#include "testutil.h"

namespace {
const TDateTime kNoon = EncodeDateTime(2026, 3, 14, 12, 5, 9, 7);
const char* const kNoonText = "20260314120509007";
const char* const kUnsetDate = "18991230000000000";

std::unique_ptr<ORVPosition> Item(int32_t plu, const char* kod, int32_t ilosc, int64_t wartosc)
{
    auto p = std::make_unique<ORVPosition>();
    p->Fplu = plu;
    p->Fkod = kod;
    p->Filosc = ilosc;
    p->Fwartosc = wartosc;
    p->Frabat = 0;
    p->FnrParagonu = 77;
    p->Fdata_czas = kNoon;
    return p;
}

std::unique_ptr<ORVPayment> Payment(int32_t kod, int64_t wartosc)
{
    auto p = std::make_unique<ORVPayment>();
    p->Fkod = kod;
    p->Fwartosc = wartosc;
    p->Fkurs = 100;
    p->Frodzaj = FP_GOT;
    p->Fdata_czas = kNoon;
    return p;
}

// What a writer puts into a file, read back whole.
template <typename Write>
std::string Written(Write write)
{
    testutil::TempDir dir;
    TMFile file;
    file.SetPath(dir / "kasa.imp");
    file.Open();
    write(file);
    file.Close();
    return testutil::ReadFile(dir / "kasa.imp");
}

}  // namespace

TEST(ReceiptRecords, ItemAndPaymentLines)
{
    EXPECT_EQ(Item(12, "590123", 2000, 1599)->ToString(),
              std::string("ZAW;12;590123;2000;1599;0;77;") + kNoonText + "\n");
    // An item without PLU number leaves its field empty; an unset one is all -1.
    EXPECT_EQ(Item(-1, "", 1, 5)->ToString(), std::string("ZAW;;;1;5;0;77;") + kNoonText + "\n");
    EXPECT_EQ(ORVPosition().ToString(), std::string("ZAW;;;-1;-1;-1;-1;") + kUnsetDate + "\n");

    ORVPayment p = *Payment(3, 2500);
    p.Frodzaj = FP_KARTA;
    p.Fterminowa = true;
    p.Ftytul = "karta";
    EXPECT_EQ(p.ToString(), std::string("PMT;3;2500;100;-1;-1;3;0;1;karta;") + kNoonText + "\n");

    p.Fkod_f_plat_ext = 7;
    p.Fkod_waluty = "EUR";
    p.Fkurs_prec = 43125;
    p.Fwartosc_pln = 10781;
    EXPECT_EQ(p.ToString(), std::string("PMT;3;2500;100;-1;-1;3;0;1;karta;") + kNoonText + ";7;EUR;43125;10781\n");
    // 64-bit amounts are not cut to 32 bits.
    p.Fwartosc = 5000000000LL;
    EXPECT_NE(p.ToString().find(";5000000000;"), std::string::npos);
}

TEST(ReceiptRecords, FirstItemGivesAnUnsetReceiptItsNumberAndDate)
{
    ORVParagon fresh;
    fresh + Item(1, "", 1, 1);
    auto second = Item(2, "", 1, 1);
    second->FnrParagonu = 99;
    fresh + std::move(second);
    EXPECT_EQ(std::tuple(fresh.FnrPar, fresh.Fdata_czas, fresh.GetnPosCount()), std::tuple(77, kNoon, 2));

    ORVParagon numbered;
    numbered.FnrPar = 5;
    numbered + Item(1, "", 1, 1);
    EXPECT_EQ(std::tuple(numbered.FnrPar, numbered.Fdata_czas), std::tuple(5, kNoon));
}

TEST(ReceiptRecords, DetailedReceiptBlockMarksItsLastPaymentAsClosing)
{
    ORVParagon r;
    r.FwoDetails = false;
    r.FnrTrans = 1001;
    r.FnrKasjera = 4;
    r.FnrKlienta = "K7";
    r + Item(12, "", 2, 300) + Item(-1, "590", 1, 100) + Payment(0, 300) + Payment(3, 100);
    const std::string text = Written([&](TMFile& f) { r >> f; });
    const std::string noon = kNoonText;
    EXPECT_EQ(text, "\r\n[Paragon nr 77]\r\nTRN;1001;77;2;2;4;;K7;;" + noon + ";0;-1\r\nZAW;12;;2;300;0;77;" + noon +
                        "\nZAW;;590;1;100;0;77;" + noon + "\nPMT;0;300;100;-1;-1;0;0;0;;" + noon +
                        "\nPMT;3;100;100;-1;-1;0;1;0;;" + noon + "\n");
}

TEST(ReceiptRecords, ReceiptWithoutDetailWritesItsHeadAndPaymentsOnly)
{
    ORVParagon r;
    r + Item(12, "", 2, 300) + Payment(0, 300);
    const std::string text = Written([&](TMFile& f) { r >> f; });
    EXPECT_NE(text.find("\r\nVelK;-1;77;1;1;;;;;"), std::string::npos) << text;
    EXPECT_EQ(text.find("ZAW;"), std::string::npos);
    EXPECT_NE(text.find("PMT;0;300;100;-1;-1;0;1;"), std::string::npos);

    ORVParagon empty;
    EXPECT_EQ(Written([&](TMFile& f) { empty >> f; }),
              std::string("\r\n[Paragon nr -1]\r\nVelK;-1;-1;0;0;;;;;") + kUnsetDate + ";0;-1\r\n");

    ORVParagon longCustomer;
    longCustomer.FnrKlienta = std::string(400, 'k');
    longCustomer + Payment(0, 1);
    const std::string tail = std::string(400, 'k') + ";;" + kUnsetDate + ";0;-1\r\nPMT;";
    EXPECT_NE(Written([&](TMFile& f) { longCustomer >> f; }).find(tail), std::string::npos) << "the head line is whole";
}

TEST(ReceiptRecords, OtherOperationBlocks)
{
    ORVOther other;
    other.typOperacji = op_storno;
    other.nrTrans = "15";
    other.nrPar = "8";
    other.nrKasjera = 2;
    other.nrKasy = 1;
    other.dataCzas = TdtTools(kNoon);
    other.Add(Item(3, "", 1, 250));
    other.Add(Payment(0, 250));
    const std::string noon = kNoonText;
    const std::string block = "\n[INNA_OPER]\nOP_STORNO;15;8;1;1;2;1;;0;" + noon + ";;-1\r\nZAW;3;;1;250;0;77;" + noon +
                              "\nPMT;0;250;100;-1;-1;0;0;0;;" + noon + "\n";
    EXPECT_EQ(other.ToString(), block);
    EXPECT_EQ(Written([&](TMFile& f) { other >> f; }), block);
    std::ostringstream stream;
    other >> stream;
    EXPECT_EQ(stream.str(), block);
    std::ofstream closed;
    EXPECT_THROW(other >> closed, Exception) << "a stream that takes nothing";

    const std::pair<e_TypOper, std::string> tags[] = {{op_wpl, "OP_WPL;"},       {op_wypl, "OP_WYPL;"},
                                                      {op_anul, "OP_ANUL;"},     {op_otw_zm, "OP_OTW_ZW;"},
                                                      {op_zamk_zm, "OP_ZAMK_ZM;"}};
    for (const auto& [type, tag] : tags) {
        ORVOther o;
        o.typOperacji = type;
        EXPECT_EQ(o.ToString().substr(0, 13 + tag.size()), "\n[INNA_OPER]\n" + tag);
    }
    ORVOther unknown;
    unknown.typOperacji = static_cast<e_TypOper>(9);
    EXPECT_EQ(unknown.ToString().substr(0, 16), "\n[INNA_OPER]\n;;0");
}
