// The register's goods list read by the two operations no host call reaches,
// on the real action against the register simulator over loopback: into
// "combo.tow" in a session of its own, and into the device's numbered list
// with its log inside a session already open.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "inprocess_host.h"
#include "register_session.h"
#include "thrown.h"

TEST(GoodsList, ReadIntoComboTowOrIntoTheDevicesListWithEveryReadingNotedInItsLog)
{
    // Two goods and a package; the fifth goods read and the tenth (each the
    // second record of a reading) are refused.
    testutil::TempDir tmp;
    const std::string journal = tmp.File("journal.jsonl");
    auto args = testutil::RegsimArgs(tmp, journal, R"({"model": 1,
        "goods": [{"plu": 1, "name": "Chleb", "barcode": "5901", "price": 350}, {"plu": 6, "name": "Kosz", "set": 2}],
        "packages": [{"number": 4, "name": "Skrzynka", "barcode": "4", "price": 900}]})",
                                     R"({"2110": {"5": {"kind": "executionError", "code": 920},
                                                   "10": {"kind": "executionError", "code": 920}}})");
    args.insert(args.end(), {"--tcp", "0"});
    peerproc::PeerProcess sim;
    sim.Start(REGSIM_EXE, args);
    InProcessHost in;
    in.host.device.folder = tmp.Folder();
    in.host.device.number = 3;
    testutil::UseRegisterOverTcp(in.host, sim.Port());
    in.Start();
    auto action = [&] {
        auto a = in.NewAction();
        a->ReadParams();
        return a;
    };
    const auto records = [&](const std::string& name) {
        const std::string text = testutil::ReadFile(tmp.File(name));
        return text.substr(text.find("#\r\n", text.find("# OPA;")) + 3);
    };
    const std::string chleb = "TOW;1;Chleb;5901;0;0;0;350;0;0;0;1;0;1;0;1\r\n";
    const std::string all = chleb + "ZES;6;Kosz;;0;2;0; ; ; ; ; ;0; ;0;1\r\nOPA;4;Skrzynka;4;900;0;1\r\n";
    const std::string refused = "[W920] - nieunikalny kod kreskowy";

    auto a = action();
    a->ImportTowF7();
    EXPECT_EQ(records("combo.tow"), all);
    // Refused after its first record: what was read is written all the same.
    EXPECT_EQ(testutil::Thrown([&] { a->ImportTowF7(); }), refused);
    EXPECT_EQ(records("combo.tow"), chleb);
    EXPECT_TRUE(testutil::Contains(in.host.lines, HostLine{true, 2, "- odczyt towarów z kasy ..."}));

    auto readList = [&] {
        auto b = action();
        b->OpenPort();
        b->ReadPluList();
        b->ClosePort();
    };
    readList();
    EXPECT_FALSE(testutil::Exists(tmp.File("03_combo.tow"))) << "not asked for by ComboImpTow";
    in.host.SetParam("ComboImpTow", "1");
    readList();
    EXPECT_EQ(records("03_combo.tow"), all);
    readList();  // refused: noted, not thrown
    EXPECT_EQ(records("03_combo.tow"), chleb);
    const std::string stamp = R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] )";
    const std::string log = testutil::ReadFile(tmp.File("03_combo_tow.log"));
    EXPECT_TRUE(std::regex_match(log, std::regex(stamp + "Import towarów OK\r\n" + stamp +
                                                 "### Import towarów NIEUDANY !!! ### - \\" + refused + "\r\n")))
        << log;
    std::filesystem::remove(tmp.File("03_combo.tow"));
    std::filesystem::create_directory(tmp.File("03_combo.tow"));
    EXPECT_EQ(testutil::Thrown(readList), "Błąd usunięcia poprzedniego pliku z towarami");
    EXPECT_TRUE(regsim::JournalViolations(journal).empty());

    in.host.SetParam("ComboPort", "PLIK");
    EXPECT_EQ(testutil::Thrown([&] { action()->ImportTowF7(); }), "Ustaw port komunikacyjny");
}
