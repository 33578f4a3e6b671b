// Groups, units and payment forms of an export whose buffer holds goods, sent
// by the real action to the register simulator over loopback; the group map
// kept in the host's parameters from one export to the next.
#include <gtest/gtest.h>

#include <algorithm>

#include "cbexpbuf.h"
#include "host_lines.h"
#include "inprocess_host.h"
#include "register_session.h"

namespace {
struct MasterDataAction : TVelComboAction {
    using TVelComboAction::error_log;
    using TVelComboAction::TVelComboAction;
    // The steps that wait for goods, and the cashiers, on the buffer of the
    // export file `path`.
    void Send(const std::string& path)
    {
        ReadParams();
        exp_buf = std::make_unique<TVelComboExpBuf>(this);
        exp_buf->ReadFromFile(path, false, -1);
        OpenPort();
        SendAssort();
        SendJMiary();
        SendOrVerifyFPlatn();
        SendCashiers();
        ClosePort();
    }
};

// A register simulator, and the host in this process pointed at it.
struct MasterDataSetting {
    testutil::TempDir tmp;
    std::string journal = tmp.File("journal.jsonl");
    peerproc::PeerProcess sim{REGSIM_EXE, {"--journal", journal, "--tcp", "0"}};
    InProcessHost in;

    MasterDataSetting()
    {
        in.host.device.folder = tmp.Folder();
        testutil::UseRegisterOverTcp(in.host, sim.Port());
        in.Start();
    }
    // The export file `kasa` sent; the action that sent it.
    std::unique_ptr<MasterDataAction> Send(const std::string& kasa)
    {
        testutil::WriteFile(tmp / "kasa.exp", kasa);
        auto action = in.NewAction<MasterDataAction>();
        action->Send(tmp / "kasa.exp");
        return action;
    }
};

const std::string kChleb = "PLU;1;10;1001;Chleb;100;90;80;70;23;1;F;0;F;F;F;0;;0;";
}  // namespace

TEST(MasterData, GroupsUnitsAndPaymentFormsWithTheGroupMapAcrossExports)
{
    testutil::TempDir tmp;
    const std::string journal = tmp.File("journal.jsonl");
    peerproc::PeerProcess sim;
    sim.Start(REGSIM_EXE, {"--journal", journal, "--tcp", "0"});
    InProcessHost in;
    in.host.device.folder = tmp.Folder();
    testutil::UseRegisterOverTcp(in.host, sim.Port());
    testutil::SetParams(in.host, {{"ComboGroupOverwrite", "1"}, {"ComboExpFPlatn", "1"}, {"ComboResztaZInnychFP", "1"}});
    in.Start();
    const std::string chleb = "PLU;1;10;1001;Chleb;100;90;80;70;23;1;F;0;F;F;F;0;;0;";
    auto send = [&](const std::string& data, const std::string& status = "DOD") {
        testutil::WriteFile(tmp / "kasa.exp", (status.empty() ? "" : chleb + status + "\r\n") + data);
        in.NewAction<MasterDataAction>()->Send(tmp / "kasa.exp");
    };
    send("ASS;17;Pieczywo i wyroby cukiernicze\r\nASS;3;Nabial\r\nJM;1;0;szt\r\nJM;2;3;kilogramy na wage sklepowa\r\n"
         "EUR;40200\r\n");
    EXPECT_EQ(in.host.Param("Vel_Combo_ComboAsort1"), "3=0\r\n17=1\r\n");
    // 3 is gone: 5 takes its number, 9 the next; 17 has 9's name, which the
    // register refuses without ending the export.
    testutil::SetParams(in.host, {{"ComboGroupOverwrite", "0"}, {"ComboExpFPlatn", "0"}});
    send("ASS;9;Pieczywo\r\nASS;17;Pieczywo\r\nASS;5;Nabial\r\n");
    EXPECT_EQ(in.host.Param("Vel_Combo_ComboAsort1"), "5=0\r\n17=1\r\n9=2\r\n");
    EXPECT_TRUE(testutil::Contains(in.host.lines, HostLine{true, 2, "Programowanie grup towarowych"}));
    in.host.SetParam("ComboOneAsortOnly", "1");
    send("ASS;4;Nabial\r\n");

    std::vector<std::string> sent;
    for (const auto& line : regsim::ReadJournal(journal))
        if (line.value("cmd", 0) > 2000) sent.push_back(line["name"].get<std::string>() + line["fields"].dump());
    const std::string forms = R"(["B",1],["B",1]])";
    EXPECT_EQ(sent, (std::vector<std::string>{
                        R"(GROUPINS[["V",2],["S","Pieczywo i wyroby cu"],["B",1],["B",1]])",
                        R"(GROUPINS[["V",1],["S","Nabial"],["B",1],["B",1]])",
                        R"(MUINS[["V",1],["S","szt"],["S","szt"],["B",1]])",
                        R"(MUINS[["V",2],["S","kilogramy na wage sklepo"],["S","kilo"],["B",1]])",
                        "PAYFORMINS[[\"V\",2],[\"S\",\"Karta p\xC5\x82" R"(atnicza"],["B",2],["V",3],["S",""],["N",1],)" + forms,
                        R"(PAYFORMINS[["V",3],["S","Euro"],["B",1],["V",3],["S","EUR"],["N",40200],)" + forms,
                        R"(PAYFORMINS[["V",4],["S","Bon"],["B",4],["V",3],["S",""],["N",1],)" + forms,
                        R"(PAYFORMINS[["V",5],["S","Czek"],["B",3],["V",3],["S",""],["N",1],)" + forms,
                        R"(PAYFORMINS[["V",6],["S","Inna"],["B",6],["V",2],["S",""],["N",1],)" + forms,
                        R"(GROUPINS[["V",3],["S","Pieczywo"],["B",0],["B",0]])",
                        R"(GROUPINS[["V",2],["S","Pieczywo"],["B",0],["B",0]])",
                        R"(GROUPINS[["V",1],["S","Nabial"],["B",0],["B",0]])",
                        "GROUPINS[[\"V\",1],[\"S\",\"Grupa g\xC5\x82\xC3\xB3wna\"],[\"B\",0],[\"B\",0]]"}));
    EXPECT_TRUE(regsim::JournalViolations(journal).empty());

    // Any goods row to add, update, reprice or delete brings the groups; a
    // file of customers alone does not.
    for (const auto& [status, groups] : {std::pair{"AKT", 1u}, {"CEN", 1u}, {"USU", 1u}, {"", 0u}}) {
        const size_t before = regsim::ReadJournal(journal).size();
        send("ASS;4;Nabial\r\n", status);
        const auto after = regsim::ReadJournal(journal);
        EXPECT_EQ(std::count_if(after.begin() + static_cast<long>(before), after.end(),
                                [](const auto& line) { return line.value("name", "") == "GROUPINS"; }),
                  groups)
            << status;
    }
}

TEST(MasterData, AGroupMapTooLongToStoreKeepsItsWarningAndTheGroupsLineFollowsIt)
{
    MasterDataSetting m;
    // 200 lines of ten characters: more than the six parts of the map hold.
    std::string kasa = kChleb + "DOD\r\n";
    for (int i = 0; i < 200; ++i) kasa += "ASS;" + std::to_string(100000 + i) + ";Grupa " + std::to_string(i) + "\r\n";
    m.Send(kasa);

    const std::vector<std::string> screen = testutil::HostScreen(m.in.host.lines);
    const auto warning = std::find(screen.begin(), screen.end(),
                                   "W:Wartość parametru 'ComboAsort' jest za długa, zapisano tylko jej początek");
    ASSERT_NE(warning, screen.end());
    EXPECT_EQ(warning[-1],
              "Programowanie grup towarowych:\x01"
              "0");
    EXPECT_EQ(warning[1], "Programowanie grup towarowych\x01OK");
}

// The register would end such a text at its NUL byte and take the rest for
// further fields.
TEST(MasterData, GroupsUnitsAndCashiersWithANulByteInATextAreRefusedAndTheNextOnesSent)
{
    MasterDataSetting m;
    m.in.host.SetParam("ComboExpCashier", "1");
    const auto action = m.Send(kChleb + "DOD\r\n" +
                               std::string("ASS;1;Nap\0oje\r\nASS;2;Pieczywo\r\nJM;1;0;k\0g\r\nJM;2;0;szt\r\n"
                                           "OPER;3;Nowak;0;I\0D;K1\r\nOPER;4;Kowalska;0;ID2;K2\r\n",
                                           104) +
                               "OPER;5;" + std::string(1000, 'x') + ";0;ID5;K5\r\n");
    std::vector<std::string> sent;
    for (const auto& line : regsim::ReadJournal(m.journal))
        if (line.value("cmd", 0) > 2000) sent.push_back(line["name"].get<std::string>() + line["fields"][1].dump());
    EXPECT_EQ(sent, (std::vector<std::string>{R"(GROUPINS["S","Pieczywo"])", R"(MUINS["S","szt"])",
                                              R"(USERINS["S","Kowalska"])",
                                              R"(USERINS["S",")" + std::string(24, 'x') + "\"]"}));
    // A group's name is shown up to its NUL byte; a quoted one shows it.
    EXPECT_EQ(action->error_log.Text(),
              "Grupa towarowa nr 1 \"Nap\": znak NUL w nazwie\r\n"
              "Jednostka miary nr 1 \"k\\0g\": znak NUL w nazwie\r\n");
    const std::vector<std::string> screen = testutil::HostScreen(m.in.host.lines);
    EXPECT_TRUE(testutil::Shows(screen, "E:Programowanie grup towarowych"));
    EXPECT_TRUE(testutil::Shows(screen, "E:Programowanie jednostek miary"));
    EXPECT_TRUE(testutil::Shows(screen, "E:Kasjer nr 3 \"Nowak\": znak NUL w danych kasjera"));
    EXPECT_TRUE(testutil::Shows(screen, "- Nr: 04, Nazwa: Kowalska\x01OK"));
    EXPECT_TRUE(testutil::Shows(screen, "- Nr: 05, Nazwa: " + std::string(40, 'x') + "...\x01OK"));
}
