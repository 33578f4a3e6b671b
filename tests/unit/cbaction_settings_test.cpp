// The Combo/NEO action's settings, its protocol trace and its dispatch.
#include <gtest/gtest.h>

#include <filesystem>

#include "inprocess_host.h"

namespace {
class SettingsAction : public TVelComboAction {
public:
    using TVelComboAction::TVelComboAction;
    using TVelComboAction::asortMap;
    using TVelComboAction::FTrybOnLine;
    using TVelComboAction::KwFormat;
    using TVelComboAction::Medium;
};

class ComboSettings : public ::testing::Test {
protected:
    InProcessHost in;
    testutil::TempDir tmp;
    std::unique_ptr<SettingsAction> action;
    void Start()
    {
        in.host.device.folder = tmp.Folder();
        in.Start();
        action = in.NewAction<SettingsAction>();
    }
    std::vector<std::string> LogFiles()
    {
        std::vector<std::string> names;
        if (!std::filesystem::exists(tmp.File("log"))) return names;
        for (const auto& e : std::filesystem::directory_iterator(tmp.File("log")))
            names.push_back(e.path().filename().string());
        return names;
    }
};
}  // namespace

TEST_F(ComboSettings, ThePortSelectsTheLink)
{
    Start();
    const std::pair<const char*, e_Medium> cases[] = {
        {"PLIK", md_file}, {"TCP/IP", md_tcpip}, {"tcp/ip", md_rs232}, {"COM1", md_rs232}, {"", md_rs232}};
    for (const auto& [port, medium] : cases) {
        in.host.SetParam("ComboPort", port);
        action->ReadParams();
        EXPECT_EQ(action->Medium, medium) << port;
    }
}

TEST_F(ComboSettings, UnservedOperationsStillReadTheSettingsAndOpenTheTrace)
{
    in.host.SetParam("ComboDedbug", "1");
    Start();
    HORVDLLSRODOWISKO env;
    env.Wynik = 5;
    EXPECT_THROW(action->Operacja(&env, -7, 0), Exception);
    EXPECT_EQ(env.Wynik, 5);
    const auto files = LogFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].rfind("NEO_LOG ", 0), 0u);
    EXPECT_EQ(files[0].size(), std::string("NEO_LOG yyyy.mm.dd hh.nn.ss.TXT").size());
    EXPECT_NE(testutil::ReadFile(tmp.File("log/" + files[0])), "");
}

// The automatic export and import run in online mode, the ones the user starts do not.
TEST_F(ComboSettings, AutomaticRunsAreOnline)
{
    in.host.SetParam("ComboPort", "PLIK");
    Start();
    for (const int operation : {-2, -3, -5, -6}) {
        action = in.NewAction<SettingsAction>();
        HORVDLLSRODOWISKO env;
        try {
            action->Operacja(&env, operation, 0);
        } catch (const Exception&) {
            // In file mode a run may stop early; the mode is set before it starts.
        }
        EXPECT_EQ(action->FTrybOnLine, operation == -5 || operation == -6) << operation;
    }
}

TEST_F(ComboSettings, NoTraceMeansNoLogFolder)
{
    Start();
    HORVDLLSRODOWISKO env;
    EXPECT_THROW(action->Operacja(&env, 3, 0), Exception);
    EXPECT_FALSE(testutil::Exists(tmp.File("log")));
}

TEST_F(ComboSettings, TraceShowsControlBytesByName)
{
    in.host.SetParam("ComboDedbug", "1");
    Start();
    action->ReadParams();
    action->LogInit();
    action->Log("->", std::string("\x10\x02" "B\x00" "\x03\x0D\x0A\x09\x18" "z\xB3", 11));
    const auto files = LogFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::string trace = testutil::ReadFile(tmp.File("log/" + files[0]));
    EXPECT_NE(trace.find(" -> <SYN><STX>B.<ETX><CR><LF><TAB><CAN>z\xB3\r\n"), std::string::npos) << trace;
}

TEST_F(ComboSettings, WeighedFormatIsFoundByItsTwoDigitPrefixOrMissedWithAWarning)
{
    in.host.SetParam("ComboTowIdParag", "1");
    in.host.SetParam("ComboKwKodPocz", "1");
    in.host.SetParam("ComboKwKodKonc", "99");
    in.host.SetParam("ComboKwPrzedr", "5");
    in.host.weighted = {"2800SSSSWWWWWK", "05SSSSSWWWWWK"};
    Start();
    action->ReadParams();
    EXPECT_EQ(action->KwFormat, "05SSSSSWWWWWK");
    EXPECT_TRUE(in.host.lines.empty());

    in.host.SetParam("ComboKwPrzedr", "27");
    in.host.weighted.clear();
    action = in.NewAction<SettingsAction>();
    action->ReadParams();
    ASSERT_EQ(in.host.lines.size(), 1u);
    EXPECT_EQ(in.host.lines[0],
              (HostLine{false, 1, "UWAGA! W konfiguracji kasy zdefiniowano format kod\xF3w wa\xBFonych 27 dla zakresu "
                                  "kod\xF3w, lecz nie ma takiego formatu w konfiguracji programu."}));
    // Equal bounds never look.
    in.host.lines.clear();
    in.host.SetParam("ComboKwKodKonc", "1");
    action->ReadParams();
    EXPECT_TRUE(in.host.lines.empty());
}

TEST_F(ComboSettings, GroupMapIsReadFromSevenPartsAndDroppedWhenALineIsBad)
{
    in.host.SetParam("Vel_Combo_ComboAsort1", "10=0\r\n20=");
    in.host.SetParam("Vel_Combo_ComboAsort2", "1\r\n");
    in.host.SetParam("Vel_Combo_ComboAsort7", "30=2");
    Start();
    action->ReadParams();
    ASSERT_EQ(action->asortMap.Count(), 3);
    EXPECT_EQ(action->asortMap[1], "20=1");
    EXPECT_EQ(action->asortMap[2], "30=2");

    in.host.SetParam("Vel_Combo_ComboAsort7", "30=-2");
    action->ReadParams();
    EXPECT_EQ(action->asortMap.Count(), 0);
}
