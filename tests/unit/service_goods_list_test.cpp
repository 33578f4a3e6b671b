// The register's goods list read by the two operations no host call reaches,
// called on the real action in this process against the register simulator
// over loopback: into "combo.tow" in a session of its own, and into the
// device's numbered list with its log inside a session already open.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "host_lines.h"
#include "inprocess_host.h"
#include "register_session.h"
#include "thrown.h"

namespace {

const char* const kGoods = R"({"model": 1,
    "goods": [{"plu": 1, "name": "Chleb", "barcode": "5901", "price": 350},
              {"plu": 6, "name": "Kosz", "barcode": "5906", "set": 2, "discount": 3, "barcodes": 2}],
    "packages": [{"number": 4, "name": "Skrzynka", "barcode": "4", "price": 900}]})";
const std::string kChleb = "TOW;1;Chleb;5901;0;0;0;350;0;0;0;1;0;1;0;1\r\n";
const std::string kLines = kChleb + "ZES;6;Kosz;5906;0;2;0; ; ; ; ; ;3; ;0;2\r\nOPA;4;Skrzynka;4;900;0;1\r\n";
const std::string kRefused = "[W920] - nieunikalny kod kreskowy";

class GoodsList : public ::testing::Test {
protected:
    testutil::TempDir tmp;
    std::string journal = tmp.File("journal.jsonl");
    peerproc::PeerProcess sim;
    InProcessHost in;

    // The simulator with the goods above; faults as the simulator's fault plan.
    void Start(const std::string& faults = "")
    {
        std::vector<std::string> args = testutil::RegsimArgs(tmp, journal, kGoods, faults);
        args.insert(args.end(), {"--tcp", "0"});
        sim.Start(REGSIM_EXE, args);
        in.host.device.folder = tmp.Folder();
        in.host.device.number = 3;
        testutil::UseRegisterOverTcp(in.host, sim.Port());
        in.Start();
    }
    std::unique_ptr<TVelComboAction> Action()
    {
        auto action = in.NewAction();
        action->ReadParams();
        return action;
    }
    // The file's lines after its header; "<no header>" when it has none.
    std::string Records(const std::string& name) const
    {
        const std::string text = testutil::ReadFile(tmp.File(name));
        const size_t end = text.find("# OPA;");
        return end == std::string::npos ? "<no header>" : text.substr(text.find("#\r\n", end) + 3);
    }
    std::vector<std::string> LinkEvents() const
    {
        std::vector<std::string> events;
        for (const auto& line : regsim::ReadJournal(journal))
            if (line.contains("event")) events.push_back(line["event"]);
        return events;
    }
    bool Closed() const
    {
        testutil::WaitUntil([&] { return !LinkEvents().empty() && LinkEvents().back() == "disconnect"; }, 2000);
        return !LinkEvents().empty() && LinkEvents().back() == "disconnect";
    }
};

}  // namespace

TEST_F(GoodsList, ReadIntoComboTowInASessionOfItsOwn)
{
    Start(R"({"2110": {"5": {"kind": "executionError", "code": 920}}})");
    Action()->ImportTowF7();
    EXPECT_EQ(Records("combo.tow"), kLines);
    EXPECT_TRUE(Closed());
    const std::string goods = " - odczyt towar\xF3w z kasy ...", packages = " - odczyt opakowa\xF1 z kasy ...";
    using testutil::Added, testutil::Replaced;
    EXPECT_EQ(testutil::From(in.host.lines, Added(goods.substr(1) + ":\x01" "0"), 5),
              (testutil::HostLines{Added(goods.substr(1) + ":\x01" "0"), Replaced(goods.substr(1) + ":\x01" "1"),
                                   Replaced(goods.substr(1) + ":\x01" "2"), Added(packages.substr(1) + ":\x01" "0"),
                                   Replaced(packages.substr(1) + ":\x01" "1")}));

    // The second reading is refused after its first record: what was read
    // is written all the same, the session is closed and the refusal thrown.
    in.host.lines.clear();
    EXPECT_EQ(testutil::Thrown([&] { Action()->ImportTowF7(); }), kRefused);
    EXPECT_EQ(Records("combo.tow"), kChleb);
    EXPECT_TRUE(Closed());
    EXPECT_EQ(testutil::From(in.host.lines, Replaced(goods.substr(1) + ":\x01" "1"), 2),
              (testutil::HostLines{Replaced(goods.substr(1) + ":\x01" "1"), Replaced(goods.substr(1), 2)}));
    EXPECT_TRUE(regsim::JournalViolations(journal).empty());

    in.host.SetParam("ComboPort", "PLIK");
    const size_t events = LinkEvents().size();
    EXPECT_EQ(testutil::Thrown([&] { Action()->ImportTowF7(); }), "Ustaw port komunikacyjny");
    EXPECT_EQ(LinkEvents().size(), events);
}

TEST_F(GoodsList, ReadIntoTheDevicesListWithEveryReadingNotedInItsLog)
{
    Start(R"({"2110": {"5": {"kind": "executionError", "code": 920}}})");
    const std::string list = "03_combo.tow", log = "03_combo_tow.log";
    auto read = [&] {
        auto action = Action();
        action->OpenPort();
        action->ReadPluList();
        action->ClosePort();
    };
    read();
    EXPECT_FALSE(testutil::Exists(tmp.File(list))) << "not asked for by ComboImpTow";
    EXPECT_FALSE(testutil::Exists(tmp.File(log)));

    in.host.SetParam("ComboImpTow", "1");
    read();
    EXPECT_EQ(Records(list), kLines);
    in.host.lines.clear();
    read();  // refused after its first record: noted, not thrown
    EXPECT_EQ(Records(list), kChleb);
    EXPECT_TRUE(testutil::Contains(in.host.lines, HostLine{true, 2, "- odczyt towar\xF3w z kasy ..."}));
    const std::string stamp = R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] )";
    EXPECT_TRUE(std::regex_match(testutil::ReadFile(tmp.File(log)),
                                 std::regex(stamp + "Import towar\xF3w OK\r\n" + stamp +
                                            R"(### Import towar\xF3w NIEUDANY !!! ### - \[W920\] - nieunikalny kod kreskowy)"
                                            "\r\n")))
        << testutil::ReadFile(tmp.File(log));

    // An earlier list that cannot be removed ends the reading before it starts.
    std::filesystem::remove(tmp.File(list));
    std::filesystem::create_directory(tmp.File(list));
    auto action = Action();
    action->OpenPort();
    EXPECT_EQ(testutil::Thrown([&] { action->ReadPluList(); }), "B\xB3\xB9" "d usuni\xEA" "cia poprzedniego pliku z towarami");
    action->ClosePort();
    EXPECT_TRUE(regsim::JournalViolations(journal).empty());
}
