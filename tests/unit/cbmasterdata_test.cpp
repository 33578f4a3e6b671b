// Groups, units and payment forms of an export whose buffer holds goods, sent
// by the real action to the register simulator over loopback; the group map
// kept in the host's parameters from one export to the next.
#include <gtest/gtest.h>

#include "cbexpbuf.h"
#include "inprocess_host.h"
#include "register_session.h"

namespace {
class MasterDataAction : public TVelComboAction {
public:
    using TVelComboAction::TVelComboAction;
    // The steps that wait for goods, on the buffer of the export file `path`.
    void Send(const std::string& path)
    {
        exp_buf = std::make_unique<TVelComboExpBuf>(this);
        exp_buf->ReadFromFile(path, false, -1);
        OpenPort();
        SendAssort();
        SendJMiary();
        SendOrVerifyFPlatn();
        ClosePort();
    }
};

const std::string kGoods = "PLU;1;10;1001;Chleb;100;90;80;70;23;1;F;0;F;F;F;0;;0;DOD\r\n";

// One simulator and one host, whose parameters outlive each export.
struct MasterData : ::testing::Test {
    void Start(const std::string& scenario)
    {
        journal = tmp.File("journal.jsonl");
        std::vector<std::string> args = testutil::RegsimArgs(tmp, journal, scenario, "");
        args.insert(args.end(), {"--tcp", "0"});
        sim.Start(REGSIM_EXE, args);
        in.host.device.folder = tmp.Folder();
        testutil::UseRegisterOverTcp(in.host, sim.Port());
        in.Start();
    }
    // Sends the master data of an export file; the fields of each request.
    std::vector<std::string> Export(const std::string& file)
    {
        const size_t before = Requests().size();
        testutil::WriteFile(tmp.File("kasa.exp"), kGoods + file);
        auto action = in.NewAction<MasterDataAction>();
        action->ReadParams();
        action->Send(tmp.File("kasa.exp"));
        const auto all = Requests();
        return {all.begin() + static_cast<long>(before), all.end()};
    }
    std::vector<std::string> Requests() const
    {
        std::vector<std::string> r;
        for (const auto& line : regsim::ReadJournal(journal))
            if (line.contains("cmd") && line["cmd"] > 2000)
                r.push_back(line["name"].get<std::string>() + line["fields"].dump());
        return r;
    }
    void TearDown() override { EXPECT_TRUE(regsim::JournalViolations(journal).empty()); }

    testutil::TempDir tmp;
    std::string journal;
    peerproc::PeerProcess sim;
    InProcessHost in;
};
}  // namespace

TEST_F(MasterData, GroupsUnitsAndPaymentFormsAsTheRegisterGetsThem)
{
    Start("");
    for (const auto& [name, value] : std::map<std::string, std::string>{
             {"ComboGroupOverwrite", "1"}, {"ComboExpFPlatn", "1"}, {"ComboResztaZInnychFP", "1"}})
        in.host.SetParam(name, value);
    EXPECT_EQ(
        Export("ASS;17;Pieczywo i wyroby cukiernicze\r\nASS;3;Nabial\r\nJM;1;0;szt\r\n"
               "JM;2;3;kilogramy na wage sklepowa\r\nEUR;40200\r\n"),
        (std::vector<std::string>{
            R"(GROUPINS[["V",2],["S","Pieczywo i wyroby cu"],["B",1],["B",1]])",
            R"(GROUPINS[["V",1],["S","Nabial"],["B",1],["B",1]])", R"(MUINS[["V",1],["S","szt"],["S","szt"],["B",1]])",
            R"(MUINS[["V",2],["S","kilogramy na wage sklepo"],["S","kilo"],["B",1]])",
            "PAYFORMINS[[\"V\",2],[\"S\",\"Karta p\xC5\x82"
            R"(atnicza"],["B",2],["V",3],["S",""],["N",1],["B",1],["B",1]])",
            R"(PAYFORMINS[["V",3],["S","Euro"],["B",1],["V",3],["S","EUR"],["N",40200],["B",1],["B",1]])",
            R"(PAYFORMINS[["V",4],["S","Bon"],["B",4],["V",3],["S",""],["N",1],["B",1],["B",1]])",
            R"(PAYFORMINS[["V",5],["S","Czek"],["B",3],["V",3],["S",""],["N",1],["B",1],["B",1]])",
            R"(PAYFORMINS[["V",6],["S","Inna"],["B",6],["V",2],["S",""],["N",1],["B",1],["B",1]])"}));
    EXPECT_EQ(in.host.Param("Vel_Combo_ComboAsort1"), "3=0\r\n17=1\r\n");
}

TEST_F(MasterData, GroupsKeepTheirNumbersAndNewOnesTakeTheFreedOnes)
{
    Start("");
    in.host.SetParam("Vel_Combo_ComboAsort1", "3=0\r\n17=1\r\n");
    // 3 is gone: 5 takes its number, 9 the next; 17 has 9's name, which the
    // register refuses without ending the export.
    EXPECT_EQ(Export("ASS;9;Pieczywo\r\nASS;17;Pieczywo\r\nASS;5;Nabial\r\n"),
              (std::vector<std::string>{R"(GROUPINS[["V",3],["S","Pieczywo"],["B",0],["B",0]])",
                                        R"(GROUPINS[["V",2],["S","Pieczywo"],["B",0],["B",0]])",
                                        R"(GROUPINS[["V",1],["S","Nabial"],["B",0],["B",0]])"}));
    EXPECT_EQ(in.host.Param("Vel_Combo_ComboAsort1"), "5=0\r\n17=1\r\n9=2\r\n");
    EXPECT_TRUE(testutil::Contains(in.host.lines, HostLine{true, 2, "Programowanie grup towarowych"}));
    in.host.SetParam("ComboOneAsortOnly", "1");
    EXPECT_EQ(
        Export("ASS;4;Nabial\r\n"),
        (std::vector<std::string>{"GROUPINS[[\"V\",1],[\"S\",\"Grupa g\xC5\x82\xC3\xB3wna\"],[\"B\",0],[\"B\",0]]"}));
}

TEST_F(MasterData, PaymentFormsAreProgrammedWhereTheRegisterStillTakesThem)
{
    // NEO and NEO XL 2.01 in fiscal mode, and a fiscal Combo.
    for (const auto& [model, sent] :
         std::map<int, std::string>{{2, "PAYFORMREAD"}, {24, "PAYFORMINS"}, {1, "PAYFORMINS"}}) {
        Start(R"({"fiscalState": 1, "model": )" + std::to_string(model) + "}");
        in.host.SetParam("ComboExpFPlatn", "1");
        const auto requests = Export("");
        ASSERT_EQ(requests.size(), 5u) << model;
        EXPECT_EQ(requests.back().substr(0, sent.size() + 1), sent + "[") << model;
        sim.Stop();
    }
}
