// The lines of "combo.imp" made from register answers, byte for byte, with
// what each does to the receipt in progress; a write that fails takes back
// its bytes.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "cbframe.h"
#include "inprocess_host.h"

namespace {
class ImpFileAction : public TVelComboAction {
public:
    using TVelComboAction::TVelComboAction;
    using TVelComboAction::protType;
    using TVelComboAction::receiptTemp;
    // DataSet as the register answers with these typed fields.
    void Answer(const std::vector<AnsiString>& fields)
    {
        const AnsiString frame = ComboUnstuff(ComboBuildPacket(7, 451, static_cast<int>(fields.size()), fields.data()));
        ASSERT_EQ(ComboParsePacket(frame, 7, DataSet, nullptr), 451);
    }
};
AnsiString B(int v) { return ComboDataB(static_cast<uint8_t>(v)); }
AnsiString V(int v) { return ComboDataV(static_cast<uint16_t>(v)); }
AnsiString L(uint32_t v) { return ComboDataL(v); }
AnsiString N(int32_t v) { return ComboDataN(v); }
AnsiString S(const char* v) { return ComboDataS(v); }

class ImpFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        in.host.device.folder = tmp.Folder();
        in.Start();
        action = in.NewAction<ImpFileAction>();
    }
    std::string Written() const { return testutil::ReadFile(tmp / "combo.imp"); }

    testutil::TempDir tmp;
    InProcessHost in;
    std::unique_ptr<ImpFileAction> action;
};
}  // namespace

TEST_F(ImpFile, EveryReceiptRecordBecomesItsLineAndKeepsTheReceiptInProgress)
{
    using W = void (TVelComboAction::*)();
    struct Row {
        e_ProtocolType prot;
        W writer;
        std::vector<AnsiString> fields;  // from field 2, the record type, on
        std::string line;
        int receiptLines;  // in receiptTemp afterwards
    };
    const Row rows[] = {
        {pt_Neo, &TVelComboAction::Par_ParsePlu, {V(10), B(2), V(17), S("590123"), S("Chleb; \xBFytni\r\n"), N(1500), N(-350)},
         "P_PLU;2;17;590123;Chleb \xBFytni  ;1500;-350;0\r\n", 1},
        {pt_Neo, &TVelComboAction::Par_ParsePlu, {V(15), B(1), V(3), S("a;b"), S(""), N(-1), N(-99)}, "P_PLU;1;3;ab;;-1;-99;1\r\n", 2},
        {pt_Neo, &TVelComboAction::Par_ParseOpak, {V(1), V(4), S("0004"), N(2), N(-60)}, "P_OPA;1;4;0004;2;-60\r\n", 3},
        {pt_Neo, &TVelComboAction::Par_ParseRabat, {V(21), S("Rab"), B(1), V(2), N(-50)}, "P_RAB;21;Rab;1;2;-50;\r\n", 4},
        {pt_Neo, &TVelComboAction::Par_ParseRabat, {V(23), S("Karta"), B(2), V(5), N(-10), S("9912345624010")},
         "P_RAB;23;Karta;2;5;-10;9912345624010\r\n", 5},
        {pt_Neo, &TVelComboAction::Par_ParseWaluta, {V(6), V(8), S("EUR"), N(4300), N(1000), N(43000)}, "P_WAL;6;8;EUR;4300;1000;43000\r\n", 6},
        // Only the newer registers name the cashier of a payment.
        {pt_Neo, &TVelComboAction::Par_ParseFormPl, {V(2), V(1), S("Got\xF3wka"), B(0), N(5000), S("x"), S("1"), S("Ala"), V(3)},
         "P_PLA;2;1;Got\xF3wka;0;5000;;;;-1\r\n", 7},
        // A pay-in stands alone: never part of a receipt.
        {pt_Neo201, &TVelComboAction::Par_ParseFormPl, {V(4), V(1), S("G"), B(0), N(900), S("na;\nwydatki"), S("2"), S("Ola"), V(4)},
         "P_PLA;4;1;G;0;900;na wydatki;2;Ola;4\r\n", 7},
        {pt_Neo, &TVelComboAction::Par_ParseZam, {V(32), V(12), S("200012"), N(1500), S("Zam\xF3wienie")}, "P_ZAM;32;12;200012;1500;Zam\xF3wienie\r\n", 7},
        {pt_Neo, &TVelComboAction::Par_ParseRapfisk, {V(16), B(9), B(3), V(2026), V(41), B(0), B(0), N(1), N(2), N(3), N(4), N(5), N(6), N(-7)},
         "P_FSK;20260309000000000;41;1;2;3;4;5;6;-7;\r\n", 7},
        {pt_Neo, &TVelComboAction::Par_ParseAcceptTrn, {V(17), L(501), B(9), B(3), V(2026), B(14), B(5), S("0001"), S("Ala;Kot"), V(3), N(4650), N(4650), L(77)},
         "P_TRN;501;20260309140500000;0001;AlaKot;3;4650;4650;77\r\n", 0},
        {pt_Neo, &TVelComboAction::Par_ParsePlu, {V(11), B(1), V(3), S(""), S("X"), N(1), N(1)}, "P_PLU;1;3;;X;1;1;0\r\n", 1},
        // A cancelled receipt takes its lines with it.
        {pt_Neo, &TVelComboAction::Par_ParseAnulTrn, {V(18), B(9), B(3), V(2026), B(8), B(0), S("0001"), S("Ala"), V(3), V(1), N(100), N(120)},
         "P_ANU;20260309080000000;0001;Ala;3;1;100;120\r\n", 0},
        // A Combo does not number its printouts.
        {pt_Combo, &TVelComboAction::Par_ParseAcceptTrn, {V(19), L(0xFFFFFFFF), B(9), B(3), V(2026), B(0), B(59), S("1"), S(""), V(0), N(0), N(0), L(5)},
         "P_TRN;-1;20260309005900000;1;;0;0;0;-1\r\n", 0},
    };
    std::string expected;
    int before = 0;
    for (const Row& row : rows) {
        action->protType = row.prot;
        std::vector<AnsiString> fields = {B(0), V(0)};
        fields.insert(fields.end(), row.fields.begin(), row.fields.end());
        action->Answer(fields);
        (action.get()->*row.writer)();
        expected += row.line;
        EXPECT_EQ(Written(), expected);
        ASSERT_EQ(action->receiptTemp.Count(), row.receiptLines) << row.line;
        if (row.receiptLines > before) {
            EXPECT_EQ(action->receiptTemp[row.receiptLines - 1], row.line);
        }
        before = row.receiptLines;
    }
}

TEST_F(ImpFile, StatisticsAndCashierLines)
{
    action->Answer({V(17), N(-1250), N(3000), N(-2), B(9), B(3), V(2026)});
    EXPECT_EQ(action->ParsePluStatLine(), "SPT;17;-1250;3000;-2;09-03-2026\r\n");
    action->Answer({V(4), N(10), N(2), N(500), N(100), N(-3)});
    EXPECT_EQ(action->ParsePackStatLine(), "SPO;4;10;2;500;100;-3\r\n");

    action->WriteCashierStatus(0, "", "", 0);
    // USERSTATREAD: login 2001-01-01 01:01:01; three forms, one of them unknown.
    action->Answer({V(3), N(-5), N(6), L(366 * 86400 + 3661), B(0), B(0), N(7), N(8), N(9), N(10), N(11), L(4000000000u),
                    L(2), N(-12), L(3), N(-13), B(3), B(0), V(1), N(5000), V(3), N(2000000000), V(9), N(1)});
    action->WriteCashierStatus(3, "Ala;\r\nKot", TVelComboAction::CompressedTime(2026, 3, 9, 14, 5, 7), 43125);
    EXPECT_EQ(Written(),
              "KAS;0\r\n"
              "KAS;3;Ala  Kot;-5;6;20010101010101000;20260309140507000;7;8;9;10;11;4000000000;2;-12;3;-13\r\n"
              "KPL;1;Got\xF3wka;5000;10000\r\nKPL;3;Euro;2000000000;43125\r\n");
}

TEST_F(ImpFile, AFailedWriteTakesBackItsBytes)
{
    action->LineToIMPFile("SPT;1\r\n");
    // The file may grow by 4 bytes only: the next line is cut after them.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 11;
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_ANY_THROW(action->LineToIMPFile("SPT;2;3;4\r\n"));
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(Written(), "SPT;1\r\n");
    action->LineToIMPFile("KAS;0\r\n");
    EXPECT_EQ(Written(), "SPT;1\r\nKAS;0\r\n");
}
