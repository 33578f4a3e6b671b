// The README's main command, scripts/demo, without its build step: the
// harness's command line runs the connection test against the simulator's
// demo register and must end with the test's last lines and status 0; then
// a sales import that shows what the host took.
#include <gtest/gtest.h>

#include "register_session.h"

TEST(Demo, ConnectionTestThroughTheHarnessEndsCleanly)
{
    testutil::TempDir dir;
    peerproc::PeerProcess sim;
    sim.Start(REGSIM_EXE, {"--tcp", "0", "--scenario", REGSIM_SCENARIOS "/demo.json", "--journal",
                           dir.File("journal.jsonl")});
    // The same configuration as the script writes.
    testutil::WriteFile(dir.File("host.ini"), "[device]\nnumber=1\nfolder=" + dir.Folder() +
                                                  "\n[params]\nComboPort=TCP/IP\nComboIpAddress=127.0.0.1\n"
                                                  "ComboIpPort=" + std::to_string(sim.Port()) +
                                                  "\nComboImpMode=1\nComboImpReceipts=1\n");
    const testutil::RunResult run = testutil::Run({VELHOST_EXE, "--config", dir.File("host.ini"), "op", "-1"});
    EXPECT_EQ(run.status, 0) << run.out;
    // The harness prints UTF-8.
    const std::string end = "ADD N Odczyt numeru kasy...\n"
                            "UPD N Odczyt numeru kasy...^AOK\n"
                            "ADD N - kasa o numerze: 1\n"
                            "ADD N Zamykanie po\xC5\x82\xC4\x85" "czenia TCP/IP...\n"
                            "UPD N Zamykanie po\xC5\x82\xC4\x85" "czenia TCP/IP...^AOK\n"
                            "ADD N Zdalne odblokowanie serwera Norvik (SKP)\n"
                            "RESULT 0\n"
                            "TEXT \n";
    ASSERT_GE(run.out.size(), end.size()) << run.out;
    EXPECT_EQ(run.out.substr(run.out.size() - end.size()), end) << run.out;
    EXPECT_NE(run.out.find("UPD N Weryfikacja zaprogramowanych form p\xC5\x82" "atno\xC5\x9B" "ci^AOK\n"),
              std::string::npos);
    EXPECT_EQ(run.out.find(" E "), std::string::npos) << run.out;

    // The script's sales import shows the receipt the host was handed.
    const testutil::RunResult import = testutil::Run({VELHOST_EXE, "--config", dir.File("host.ini"), "op", "-3"});
    EXPECT_EQ(import.status, 0) << import.out;
    EXPECT_NE(import.out.find("IMPORT 1\n  [TOWAROWE]\n"), std::string::npos) << import.out;
    EXPECT_NE(import.out.find("\n  [Paragon nr 412]\n"), std::string::npos) << import.out;
    EXPECT_TRUE(regsim::JournalViolations(dir.File("journal.jsonl")).empty());
}
