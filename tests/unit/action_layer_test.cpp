// The device-independent action layer: the report of rejected records and
// its log block, the answers given in place of message boxes, the warning
// log, paths and the wait for a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "VelImpBuf.h"
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
    for (int i = 1; i <= 22; ++i) action->AddWarning(i == 2 ? "" : "u" + std::to_string(i), &log);
    AnsiString first;
    log.GetFirst(first);
    log.Add("u23");  // after reading, still at the end
    EXPECT_EQ(testutil::ReadFile(tmp.File("uwagi.txt")).substr(0, 10), "u1\r\n\r\nu3\r\n");
    action->LogWarnings(&log, "Uwag: ", ".", LPV_Error);
    testutil::HostLines expected = {testutil::Added("Uwag: 23.", 2), testutil::Added(first, 2)};
    for (int i = 3; i <= 20; ++i) expected.push_back(testutil::Added("u" + std::to_string(i), 2));
    expected.push_back(testutil::Added("i tak dalej...", 2));
    action->AddWarning("bez logu", nullptr);
    expected.push_back(testutil::Added("bez logu", 1));
    EXPECT_EQ(in.host.lines, expected) << "an empty log shows nothing";
}

TEST_F(ActionLayer, ShortPathNamesAreThePathsThatExistUpTo260Characters)
{
    const std::string longest = tmp.Folder() + std::string(260 - tmp.Folder().size(), 'a');
    testutil::WriteFile(longest, "");
    testutil::WriteFile(longest + "b", "");
    EXPECT_EQ(std::tuple(action->ShortenPathName(longest), action->ShortenPathName(longest + "b"),
                         action->ShortenPathName(tmp.Folder()), action->ShortenPathName(tmp.File("brak"))),
              std::tuple(longest, "", tmp.Folder(), ""));
}

TEST_F(ActionLayer, WaitingForAFileCountsOnTheHostsLastLineUntilItsStateTimeOrAStop)
{
    // Wanted state, seconds, the number shown when the file comes or goes,
    // the host's stop after so many looks, the answer and the numbers shown.
    const std::tuple<bool, int, char, int, int, std::string> cases[] = {{true, 5, '3', -1, 1, "543"},
                                                                        {true, 3, 0, -1, -1, "321"},
                                                                        {true, 0, '3', -1, 1, "0123"},
                                                                        {true, 0, 0, 2, 0, "01"},
                                                                        {false, 5, '4', -1, 1, "54"}};
    const std::string path = tmp.File("znacznik");
    testutil::ScaledClock clock;
    testutil::ClockScope scope(&clock);
    for (const auto& [exists, seconds, change, stopAfter, answer, shown] : cases) {
        auto reach = [&, exists = exists] {
            exists ? testutil::WriteFile(path, "") : void(std::filesystem::remove(path));
        };
        exists ? void(std::filesystem::remove(path)) : testutil::WriteFile(path, "");
        in.host.onLine = [&, change = change](const HostLine& line) {
            if (line.replaced && line.text.back() == change) reach();
        };
        in.host.stopAfterPolls = stopAfter;
        in.host.polls = 0;
        in.host.lines.clear();
        action->MsgAdd("Czekam", LPV_Value, 100);
        EXPECT_EQ(action->WaitForFileState(path, exists, seconds), answer) << shown;
        std::string seen;
        for (const HostLine& line : in.host.lines) seen += line.replaced ? line.text.substr(8) : "";
        EXPECT_EQ(seen, shown);
    }
}
