// The harness refuses wrong usage before it runs anything: one line naming
// the culprit, exit code 1, nothing on standard output.
#include <gtest/gtest.h>

#include "testutil.h"

TEST(HarnessUsage, EachWrongUsageIsOneLineNamingTheCulpritAndExitCodeOne)
{
    testutil::TempDir dir;
    const std::string ini = dir.File("host.ini");
    testutil::WriteFile(ini, "[device]\nfolder=" + dir.File("exchange/") + "\n");
    const struct {
        std::vector<std::string> args;
        std::string line;
    } cases[] = {
        {{"--config", ini, "op", "abc"}, "velhost: operation \"abc\" is not a number"},
        {{"--owner", "xyz", "info"}, "velhost: --owner window handle \"xyz\" is not a number"},
        {{"--cfg", ini, "op", "-1"}, "velhost: unknown option --cfg"},
        {{"--config"}, "velhost: option --config needs a value"},
        {{"op"}, "velhost: op needs its operation"},
        {{"op", "-8", "x1"}, "velhost: parameter \"x1\" is not a number"},
        {{"op", "-1", "0", "text", "more"}, "velhost: op: unexpected argument \"more\""},
        {{"op", "99999999999"}, "velhost: operation \"99999999999\" is out of range"},
        {{"window", "six"}, "velhost: window number \"six\" is not a number"},
        {{"property"}, "velhost: property needs its property number"},
        {{"frob"}, "velhost: unknown command \"frob\" (velhost --help lists them)"},
        {{}, "velhost: no command given (velhost --help lists them)"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = {"/bin/sh", "-c", "\"$0\" \"$@\" 2>&1 >/dev/null; echo \"exit $?\"",
                                         VELHOST_EXE};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const testutil::RunResult run = testutil::Run(argv);
        EXPECT_EQ(run.out, c.line + "\nexit 1\n") << testing::PrintToString(c.args);
    }
    // Nothing was run: the exchange folder was never made.
    EXPECT_FALSE(testutil::Exists(dir.File("exchange")));
}

TEST(HarnessUsage, HelpDescribesTheIniFileTheOutputAndTheExitCodes)
{
    const testutil::RunResult run = testutil::Run({VELHOST_EXE, "--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* part : {"[device]", "[params]", "[vatprec]", "code page 1250", "catalogue's default",
                             "RESULT 0 follows a failed operation", "^M^J", "Exit codes:"})
        EXPECT_NE(run.out.find(part), std::string::npos) << part;
}

// A host that never stored a parameter shows the catalogue's default: the
// port "PLIK" makes the shared resource the exchange folder's "combo.exp".
TEST(HarnessUsage, AParameterTheIniDoesNotSetIsAnsweredWithTheCataloguesDefault)
{
    testutil::TempDir dir;
    const std::string ini = dir.File("host.ini");
    for (const auto& [params, resource] :
         {std::pair<std::string, std::string>{"", dir.Folder() + "combo.exp"}, {"ComboPort=COM3\n", "COM3"}}) {
        testutil::WriteFile(ini, "[device]\nfolder=" + dir.Folder() + "\n[params]\n" + params);
        const testutil::RunResult run = testutil::Run({VELHOST_EXE, "--config", ini, "resource"});
        EXPECT_EQ(run.out, "TEXT " + resource + "\n") << params;
    }
}
