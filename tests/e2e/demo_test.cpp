// The README's main command, scripts/demo, run on the programs of this build
// (without its install and build step): the connection test ends with its
// last lines, the export programs the demo's goods and package and hands
// back "wynik.exp" with the goods carried out, and the sales import shows
// what the host took.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "testutil.h"

namespace {
// The part of the demo's output from the heading that starts with `from`
// to the next heading.
std::string Section(const std::string& out, const std::string& from)
{
    const size_t start = out.find("== " + from);
    if (start == std::string::npos) return "";
    const size_t end = out.find("\n== ", start);
    return out.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
}
}  // namespace

TEST(Demo, ConnectionTestExportWithGoodsAndSalesImportThroughTheHarness)
{
    // The simulator's complaints about a request come on standard error.
    const testutil::RunResult run =
        testutil::Run({"/bin/sh", "-c", "\"$0\" --built \"$1\" 2>&1", DEMO_SCRIPT, BUILD_DIR});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out.find("violation"), std::string::npos) << run.out;
    // It first says how to read it; then no warning or error line anywhere
    // (the demo starts the card server it asks for). The harness prints UTF-8.
    EXPECT_EQ(run.out.rfind("How to read what follows: each line the host receives is ADD", 0), 0u) << run.out;
    for (const char* kind : {"ADD W ", "UPD W ", "ADD E ", "UPD E "})
        EXPECT_EQ(run.out.find(std::string("\n") + kind), std::string::npos) << kind << run.out;
    // The legend explains every kind of line the harness printed in the jobs.
    std::set<std::string> kinds;
    for (const char* part : {"The library", "Connection test", "Export", "Sales import"}) {
        std::istringstream lines(Section(run.out, part));
        for (std::string line; std::getline(lines, line);) {
            const std::string kind = line.substr(0, line.find(' '));
            if (!kind.empty() && kind.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos)
                kinds.insert(kind);
        }
    }
    EXPECT_GE(kinds.size(), 8u);
    const std::string legend = run.out.substr(0, run.out.find("\n== "));
    for (const std::string& kind : kinds)
        EXPECT_NE(legend.find(kind), std::string::npos) << kind << " is not in the legend:\n" << legend;

    const std::string test = Section(run.out, "Connection test");
    const std::string end =
        "ADD N Odczyt numeru kasy...\n"
        "UPD N Odczyt numeru kasy...^AOK\n"
        "ADD N - kasa o numerze: 1\n"
        "ADD N Zamykanie po\xC5\x82\xC4\x85"
        "czenia TCP/IP...\n"
        "UPD N Zamykanie po\xC5\x82\xC4\x85"
        "czenia TCP/IP...^AOK\n"
        "ADD N Zdalne odblokowanie serwera Norvik (SKP)\n"
        "RESULT 0\n"
        "TEXT \n\n";
    ASSERT_GE(test.size(), end.size()) << run.out;
    EXPECT_EQ(test.substr(test.size() - end.size()), end) << test;
    EXPECT_NE(test.find("UPD N Weryfikacja zaprogramowanych form p\xC5\x82"
                        "atno\xC5\x9B"
                        "ci^AOK\n"),
              std::string::npos);

    // The export: the package pass and the goods pass, then what the
    // register took and what the host is told was carried out. The beer is
    // linked to its bottle, package 7; the weighed cheese's barcode template
    // reaches this NEO as its goods number, with unit 2 (kg) and precision 3.
    const std::string exportLines = Section(run.out, "Export");
    EXPECT_NE(exportLines.find("ADD N Programowanie opakowa\xC5\x84...:^A0\n"
                               "UPD N Programowanie opakowa\xC5\x84...:^A1\n"
                               "UPD N Programowanie opakowa\xC5\x84...^AOK\n"
                               "ADD N Programowanie towar\xC3\xB3w...:^A0\n"
                               "UPD N Programowanie towar\xC3\xB3w...:^A4\n"
                               "UPD N Programowanie towar\xC3\xB3w...^AOK\n"),
              std::string::npos)
        << exportLines;
    EXPECT_NE(exportLines.find("UPD N Zdalne zablokowanie serwera Norvik (SKP)^AOK\n"), std::string::npos)
        << exportLines;
    EXPECT_NE(exportLines.find("RESULT 0\n"), std::string::npos);
    // A value with line breaks stays one event line.
    EXPECT_NE(exportLines.find("\nEVENT change_param Vel_Combo_ComboAsort1=1=0^M^J2=1^M^J3=2^M^J\n"), std::string::npos)
        << exportLines;
    EXPECT_EQ(Section(run.out, "The goods commands"),
              "== The goods commands the register took (the simulator's journal)\n"
              "PACKINS [[\"V\",7],[\"S\",\"Butelka zwrotna 0,5 l\"],[\"S\",\"7\"],[\"N\",50],[\"N\",0],"
              "[\"B\",1],[\"B\",1],[\"B\",0]]\n"
              "PLUINS [[\"V\",101],[\"S\",\"Chleb \xC5\xBCytni\"],[\"S\",\"5900512300016\"],[\"N\",495],[\"N\",0],"
              "[\"B\",0],[\"B\",1],[\"B\",0],[\"B\",1],[\"B\",2],[\"B\",0],[\"B\",1],[\"B\",1],[\"B\",0],[\"B\",1],["
              "\"B\",0]]\n"
              "PLUINS [[\"V\",205],[\"S\",\"Mas\xC5\x82o ekstra\"],[\"S\",\"5901234123457\"],[\"N\",1350],[\"N\",0],"
              "[\"B\",0],[\"B\",1],[\"B\",0],[\"B\",2],[\"B\",2],[\"B\",0],[\"B\",1],[\"B\",1],[\"B\",0],[\"B\",1],["
              "\"B\",0]]\n"
              "PLUINS [[\"V\",310],[\"S\",\"Piwo jasne 0,5 l\"],[\"S\",\"5905617002018\"],[\"N\",399],[\"N\",0],"
              "[\"B\",7],[\"B\",1],[\"B\",0],[\"B\",3],[\"B\",0],[\"B\",0],[\"B\",1],[\"B\",1],[\"B\",0],[\"B\",1],["
              "\"B\",0]]\n"
              "PLUINS [[\"V\",420],[\"S\",\"Ser gouda na wag\xC4\x99\"],[\"S\",\"420\"],[\"N\",3290],[\"N\",0],"
              "[\"B\",0],[\"B\",2],[\"B\",0],[\"B\",2],[\"B\",2],[\"B\",3],[\"B\",1],[\"B\",1],[\"B\",0],[\"B\",1],["
              "\"B\",0]]\n\n");
    // Packages are not reported back: the host keeps goods by PLU.
    EXPECT_EQ(Section(run.out, "wynik.exp"),
              "== wynik.exp (the goods carried out)\n"
              "PLU;101;1010;5900512300016;DOD\r\n"
              "PLU;205;2050;5901234123457;DOD\r\n"
              "PLU;310;3100;5905617002018;DOD\r\n"
              "PLU;420;4200;27000420?????;DOD\r\n\n");

    // The sales import shows the receipt the host was handed.
    const std::string import = Section(run.out, "Sales import");
    EXPECT_NE(import.find("IMPORT 1\n  [TOWAROWE]\n"), std::string::npos) << import;
    // The receipt adds up: the cancelled bread is not paid for.
    EXPECT_NE(import.find("\n  [Paragon nr 412]\n"
                          "  TRN;1204;412;2;1;3;1;;;20240520091200000;0;-1\n"
                          "  ZAW;101;;1000;495;-1;-1;20240520091200000\n"
                          "  ZAW;205;;2000;1350;135;-1;20240520091200000\n"
                          "  PMT;0;1215;100;-1;-1;0;1;0;;20240520091200000\n"),
              std::string::npos)
        << import;
    EXPECT_NE(import.find("\n  OP_STORNO;1204;412;"), std::string::npos) << import;
}

// The script as a user calls it from a folder of their own: the help is its
// opening comment and no line of its code, a build folder is read against the
// caller's folder (not the repository's), and one that is not there is one
// line and exit status 1.
TEST(Demo, HelpAndABuildFolderAreTakenFromTheCallersFolder)
{
    testutil::TempDir dir;
    auto from = [](const std::string& folder, const std::string& arguments) {
        return testutil::Run({"/bin/sh", "-c", "cd \"$1\" && \"$0\" " + arguments + " 2>&1", DEMO_SCRIPT, folder});
    };
    const testutil::RunResult help = from(dir.Path(), "--help");
    EXPECT_EQ(help.status, 0) << help.out;
    EXPECT_EQ(help.out.rfind("Builds the driver, the host harness and the simulators,", 0), 0u) << help.out;
    const std::string last = "\nstep fails or a job shows a warning or an error line.\n";
    ASSERT_GE(help.out.size(), last.size()) << help.out;
    EXPECT_EQ(help.out.substr(help.out.size() - last.size()), last) << help.out;

    const testutil::RunResult built = from(BUILD_DIR, "--built .");
    EXPECT_EQ(built.status, 0) << built.out;
    size_t results = 0;
    for (size_t at = built.out.find("\nRESULT 0\n"); at != std::string::npos;
         at = built.out.find("\nRESULT 0\n", at + 1))
        ++results;
    EXPECT_EQ(results, 3u) << built.out;

    const testutil::RunResult missing = from(dir.Path(), "--built no-such-build");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "demo: --built no-such-build: no such folder\n");
}
