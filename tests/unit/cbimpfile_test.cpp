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

// Every line kind against the simulator: tests/e2e. Here what a run cut
// short relies on: which lines the receipt in progress keeps.
TEST_F(ImpFile, TheReceiptInProgressKeepsItsOwnLinesOnly)
{
    struct Row {
        e_ProtocolType prot;
        void (TVelComboAction::*writer)();
        std::vector<AnsiString> fields;  // from field 2, the record type, on
        std::string line;
        int receiptLines;  // in receiptTemp afterwards
    };
    const Row rows[] = {
        {pt_Neo, &TVelComboAction::Par_ParsePlu, {V(10), B(2), V(17), S("59\r\n"), S("Chleb; \xBFytni\r\n"), N(1500), N(-350)},
         "P_PLU;2;17;59  ;Chleb \xBFytni  ;1500;-350;0\r\n", 1},
        {pt_Neo201, &TVelComboAction::Par_ParseFormPl, {V(5), V(1), S("G"), B(0), N(900), S("na;\nbank"), S("2"), S("Ola"), V(4)},
         "P_PLA;5;1;G;0;900;na bank;2;Ola;4\r\n", 1},
        {pt_Neo, &TVelComboAction::Par_ParseAnulTrn, {V(18), B(9), B(3), V(2026), B(8), B(0), S("1"), S("A"), V(3), V(1), N(10), N(12)},
         "P_ANU;20260309080000000;1;A;3;1;10;12\r\n", 0},
        {pt_Neo, &TVelComboAction::Par_ParseRabat, {V(22), S("R"), B(1), V(2), N(-5)}, "P_RAB;22;R;1;2;-5;\r\n", 1},
        {pt_Combo, &TVelComboAction::Par_ParseAcceptTrn, {V(19), L(0xFFFFFFFF), B(9), B(3), V(2026), B(0), B(59), S("1"), S(""), V(0), N(0), N(0), L(5)},
         "P_TRN;-1;20260309005900000;1;;0;0;0;-1\r\n", 0},
    };
    std::string expected;
    for (const Row& row : rows) {
        action->protType = row.prot;
        std::vector<AnsiString> fields = {B(0), V(0)};
        fields.insert(fields.end(), row.fields.begin(), row.fields.end());
        action->Answer(fields);
        (action.get()->*row.writer)();
        EXPECT_EQ(Written(), expected += row.line);
        EXPECT_EQ(action->receiptTemp.Count(), row.receiptLines) << row.line;
    }
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
