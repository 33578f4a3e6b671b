// The device-independent action layer: the report of rejected records and
// its log block, the answers given in place of message boxes, the warning
// log, paths and the wait for a file.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "VelImpBuf.h"
#include "clock.h"
#include "host_lines.h"
#include "inprocess_host.h"
#include "scaled_clock.h"

namespace {
// Opens the export's record lists to the test.
class ExportingAction : public TVelComboAction {
public:
    using TVelComboAction::TVelComboAction;
    using VelAction::error_log;
    using VelAction::Fcokolwiek_eksportowano;
    using VelAction::imp_buf;
    using VelAction::warning_log;
};

class ActionLayer : public ::testing::Test {
protected:
    InProcessHost in;
    testutil::TempDir tmp;
    std::unique_ptr<ExportingAction> action;
    void SetUp() override
    {
        in.host.device.folder = tmp.Folder();
        in.Start();
        action = in.NewAction<ExportingAction>();
        action->Fcokolwiek_eksportowano = true;
    }
};
}  // namespace

TEST_F(ActionLayer, TwelveRejectedRecordsShowTenAndAnEllipsis)
{
    for (int i = 1; i <= 12; ++i) action->error_log.Add("towar " + std::to_string(i));
    action->warning_log.Add("uwaga");
    action->LogujOdrzuconePrzyEksporcie();
    const auto& lines = in.host.lines;
    std::vector<HostLine> expected = {{false, 0, "- towary odrzucone:\x01" "0"}, {true, 0, "- towary odrzucone:\x01" "12"}};
    for (int i = 1; i <= 10; ++i) expected.push_back({false, 2, "...towar " + std::to_string(i)});
    expected.insert(expected.end(), {{false, 2, "i tak dalej..."}, {false, 0, "- ostrze\xBF" "enia:\x01" "0"},
                                     {true, 0, "- ostrze\xBF" "enia:\x01" "1"}, {false, 1, "...uwaga"}});
    EXPECT_EQ(lines, expected);

    const std::string log = testutil::ReadFile(tmp.File("import.log"));
    ASSERT_EQ(log.rfind(std::string(80, '-') + "\r\nEksport danych z dnia ", 0), 0u) << log;
    EXPECT_NE(log.find("\n\rTowary odrzucone i ostrze\xBF" "enia:\r\ntowar 1\r\n"), std::string::npos);
    EXPECT_EQ(log.substr(log.size() - 14), "towar 12\r\n\r\n\r\n");
    EXPECT_TRUE(action->error_log.Empty());

    in.host.lines.clear();
    action->error_log.Add("później");
    action->LogujOdrzuconePrzyEksporcie();
    EXPECT_TRUE(in.host.lines.empty()) << "reported once per export";
}

TEST_F(ActionLayer, ExactlyTenRejectedRecordsNeedNoEllipsisAndNothingExportedReportsNothing)
{
    for (int i = 1; i <= 10; ++i) action->error_log.Add("t");
    action->LogujOdrzuconePrzyEksporcie();
    EXPECT_EQ(in.host.lines.size(), 12u);
    EXPECT_NE(in.host.lines.back().text, "i tak dalej...");

    auto quiet = in.NewAction<ExportingAction>();
    quiet->error_log.Add("t");
    in.host.lines.clear();
    std::filesystem::remove(tmp.File("import.log"));
    quiet->LogujOdrzuconePrzyEksporcie();
    EXPECT_TRUE(in.host.lines.empty());
    EXPECT_FALSE(testutil::Exists(tmp.File("import.log")));
}

TEST_F(ActionLayer, EveryExportAppendsOneBlockToTheLog)
{
    action->error_log.Add("a");
    action->FlushErrorLog("pierwszy");
    action->error_log.Add("b");
    action->FlushErrorLog("drugi");
    const std::string dashes(80, '-');
    EXPECT_EQ(testutil::ReadFile(tmp.File("import.log")),
              dashes + "\r\npierwszy\r\na\r\n\r\n\r\n" + dashes + "\r\ndrugi\r\nb\r\n\r\n\r\n");
}

TEST_F(ActionLayer, MessageBoxesAnswerTheirDefaultButton)
{
    const std::pair<int, int> answers[] = {{0, 1}, {1, 1}, {2, 5}, {3, 2}, {4, 7}, {5, 2}, {6, 2}, {0x34, 7}};
    for (const auto& [flags, answer] : answers) EXPECT_EQ(action->MessageBoxA("t", "c", flags), answer) << flags;
    EXPECT_EQ(action->error_log[0], "c (t)");
}

TEST_F(ActionLayer, SalesTotalLineShowsTheBuffersTotalInZloty)
{
    VelImpBuf day;
    day.fisk_z_plu = true;
    day.AddPlu("1", 1, 123000, id_plu);
    day.AddPlu("2", 1, 456, id_plu);
    action->ShowTotalValue(&day);
    day.fisk_z_plu = false;
    action->imp_buf = &day;
    action->ShowTotalValue();
    // The host's line loses its leading blank, as every line does.
    const std::string line = "------ WARTO\x8C\xC6 SPRZEDA\xAFY:     ";
    EXPECT_EQ(in.host.lines, (std::vector<HostLine>{{false, 0, line + "1234.56 z\xB3. (w/g PLU) ------"},
                                                   {false, 0, line + "0.00 z\xB3. (w/g finans.) ------"}}));

    in.host.lines.clear();
    action->imp_buf = nullptr;
    action->ShowTotalValue();
    EXPECT_TRUE(in.host.lines.empty()) << "no buffer, no line";
}

TEST(ActionLayerTexts, SalesTotalLineTakesOnlyATranslationWithTheSameValues)
{
    for (const auto& [translation, expected] : std::vector<std::pair<std::string, std::string>>{
             {"Sales: %.02Lf PLN %s", "Sales: 12.50 PLN (by PLU)"},
             {"Sales: %.02Lf PLN %d", "------ WARTO\x8C\xC6 SPRZEDA\xAFY:     12.50 z\xB3. (by PLU) ------"},
             {"Sales: %.02Lf %s %n", "------ WARTO\x8C\xC6 SPRZEDA\xAFY:     12.50 z\xB3. (by PLU) ------"}}) {
        InProcessHost in;
        in.host.hasTexts = true;
        in.host.texts["veltools_VelAction/ ------ WARTO\x8C\xC6 SPRZEDA\xAFY:     %.02Lf z\xB3. %s ------"] =
            translation;
        in.host.texts["veltools_VelAction/(w/g PLU)"] = "(by PLU)";
        in.Start();
        auto action = in.NewAction<ExportingAction>();
        VelImpBuf day;
        day.fisk_z_plu = true;
        day.AddPlu("1", 1, 1250, id_plu);
        action->ShowTotalValue(&day);
        ASSERT_EQ(in.host.lines.size(), 1u);
        EXPECT_EQ(in.host.lines[0].text, expected) << translation;
    }
}

TEST_F(ActionLayer, WarningLogListsTwentyEntriesWithTheirStateAndWarningsWithoutALogGoToTheHost)
{
    testutil::WriteFile(tmp.File("uwagi.txt"), "stare\r\n");
    TErrorLog log(tmp.File("uwagi.txt"));
    action->LogWarnings(&log, "Uwag: ", ".", LPV_Error);
    action->LogWarnings(nullptr, "Uwag: ", ".", LPV_Error);
    EXPECT_TRUE(in.host.lines.empty()) << "an empty or missing log shows nothing";

    for (int i = 1; i <= 22; ++i) action->AddWarning(i == 2 ? "" : "u" + std::to_string(i), &log);
    AnsiString first;
    log.GetFirst(first);
    log.Add("u23");  // after reading, still appended at the end
    EXPECT_EQ(first, "u1");
    const std::string file = testutil::ReadFile(tmp.File("uwagi.txt"));
    EXPECT_EQ(file.substr(0, 10), "u1\r\n\r\nu3\r\n");
    EXPECT_EQ(file.substr(file.size() - 10), "u22\r\nu23\r\n");

    action->LogWarnings(&log, "Uwag: ", ".", LPV_Error);
    testutil::HostLines expected = {testutil::Added("Uwag: 23.", 2), testutil::Added("u1", 2)};
    for (int i = 3; i <= 20; ++i) expected.push_back(testutil::Added("u" + std::to_string(i), 2));
    expected.push_back(testutil::Added("i tak dalej...", 2));
    EXPECT_EQ(in.host.lines, expected);

    in.host.lines.clear();
    action->AddWarning("bez logu", nullptr);
    action->SetErrorLog("odrzucony");
    EXPECT_EQ(in.host.lines, testutil::HostLines{testutil::Added("bez logu", 1)});
    EXPECT_EQ(action->error_log[0], "odrzucony");
}

TEST_F(ActionLayer, BaseFileNamesLeaveTheDriversOwnInPlace)
{
    const std::string folder = tmp.Folder();
    EXPECT_EQ(std::vector<std::string>({action->VelAction::FNameIMP(), action->VelAction::FNameEXP(),
                                        action->FNamePAR(), action->FNamePARC(), action->FNameKEARC()}),
              std::vector<std::string>({folder + "null.imp", folder + "null.exp", folder + "paragon.imp",
                                        folder + "archpar.imp", folder + "arch1.exp"}));
    EXPECT_EQ(std::tuple(action->FNameIMP(), action->FNameEXP(), action->FNameDBG()),
              std::tuple(folder + "combo.imp", folder + "combo.exp", folder + "combo.dbg"));
}

TEST_F(ActionLayer, ShortPathNamesAreThePathsThatExist)
{
    // The longest path taken is 260 characters.
    const std::string folder = tmp.Folder();
    const std::string longest = folder + std::string(260 - folder.size(), 'a');
    testutil::WriteFile(longest, "");
    testutil::WriteFile(longest.substr(0, 259) + "bb", "");
    const std::pair<std::string, std::string> cases[] = {{longest, longest},
                                                         {tmp.Folder(), tmp.Folder()},
                                                         {longest.substr(0, 259) + "bb", ""},
                                                         {tmp.File("brak.txt"), ""},
                                                         {"", ""}};
    for (const auto& [path, expected] : cases) EXPECT_EQ(action->ShortenPathName(path), expected) << path;
}

namespace {
// Whole seconds on a virtual clock, with something happening at each pause.
class SteppingClock : public Clock {
public:
    std::function<void(int)> onSleep;
    uint64_t NowMs() override { return FNow; }
    void SleepMs(uint32_t ms) override
    {
        FNow += ms;
        if (onSleep) onSleep(++FSleeps);
    }

private:
    uint64_t FNow = 5000;
    int FSleeps = 0;
};
}  // namespace

TEST_F(ActionLayer, WaitingForAFileCountsOnTheHostsLastLineUntilItsStateTimeOrAStop)
{
    const std::string path = tmp.File("znacznik");
    using testutil::Replaced;
    struct Case {
        bool exists;
        int seconds, appearsAt, stopAfter, answer;
        std::vector<std::string> shown;
    } cases[] = {
        {true, 5, 3, -1, 1, {"5", "4", "3"}},            // the file comes before the time is up
        {true, 3, 0, -1, -1, {"3", "2", "1"}},           // it never comes
        {true, 0, 4, -1, 1, {"0", "1", "2", "3"}},       // no time limit: the passes counted
        {true, 0, 0, 2, 0, {"0", "1"}},                  // the host asks to stop at the third look
        {false, 5, 2, -1, 1, {"5", "4"}},                // waiting for the file to go
        {false, 5, 0, -1, 1, {}},                        // nothing to wait for
    };
    for (const Case& c : cases) {
        std::filesystem::remove(path);
        if (!c.exists && c.appearsAt > 0) testutil::WriteFile(path, "");
        SteppingClock clock;
        clock.onSleep = [&](int sleeps) {
            if (sleeps != c.appearsAt) return;
            if (c.exists)
                testutil::WriteFile(path, "");
            else
                std::filesystem::remove(path);
        };
        testutil::ClockScope scope(&clock);
        in.host.stopAfterPolls = c.stopAfter;
        in.host.polls = 0;
        in.host.lines.clear();
        action->MsgAdd("Czekam na plik", LPV_Value, 100);
        EXPECT_EQ(action->WaitForFileState(path, c.exists, c.seconds), c.answer) << c.seconds << " " << c.appearsAt;
        testutil::HostLines expected = {testutil::Added("Czekam na plik:\x01" "0")};
        for (const std::string& n : c.shown) expected.push_back(Replaced("Czekam na plik:\x01" + n));
        EXPECT_EQ(in.host.lines, expected) << c.seconds << " " << c.appearsAt;
    }
}
