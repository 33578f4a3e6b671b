// Folder values of the host's parameters as paths of this system, and the
// protocol trace that lives in the exchange folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "inprocess_host.h"

namespace {
class TraceAction : public TVelComboAction {
public:
    using TVelComboAction::TVelComboAction;
    using TVelComboAction::tools;
};

// Runs the test inside a temp folder, so anything created under a relative
// name lands where it can be seen.
class FolderValues : public ::testing::Test {
protected:
    testutil::TempDir tmp;
    InProcessHost in;
    std::filesystem::path was = std::filesystem::current_path();
    FolderValues() { std::filesystem::current_path(tmp.Path()); }
    ~FolderValues() override { std::filesystem::current_path(was); }
    std::unique_ptr<TraceAction> Start(const std::string& exchangeFolder)
    {
        in.host.device.folder = exchangeFolder;
        in.Start();
        return in.NewAction<TraceAction>();
    }
    int Entries(const std::string& folder)
    {
        int n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
        return n;
    }
};
}  // namespace

TEST_F(FolderValues, BackslashSeparatesAndAWindowsDriveIsRefusedByName)
{
    const std::string refused = "Parametr 'Dir' wskazuje katalog Windows \"";
    const std::string hint = "\": podaj katalog tego systemu lub ustaw zmienn\xB9 \x9Crodowiskow\xB9 ORVWIN_BINARIA";
    const struct {
        std::string value, folder, error;
    } cases[] = {
        {tmp.File("bin") + "\\Norvik\\skp\\dane", tmp.File("bin/Norvik/skp/dane"), ""},
        {"edi\\in", "edi/in", ""},
        {"c:\\OrvWin\\EDI", "", refused + "c:\\OrvWin\\EDI" + hint},
        {"D:/dane", "", refused + "D:/dane" + hint},
    };
    auto action = Start(tmp.Folder());
    for (const auto& c : cases) {
        in.host.SetParam("Dir", c.value);
        std::string got, error;
        try {
            got = action->ParamAsDir("Dir");
        } catch (const Exception& e) {
            error = e.Message();
        }
        EXPECT_EQ(error, c.error) << c.value;
        EXPECT_EQ(got, c.folder) << c.value;
        EXPECT_TRUE(c.folder.empty() || std::filesystem::is_directory(c.folder)) << c.value;
    }
    EXPECT_EQ(Entries(tmp.Path()), 2) << "only bin and edi: nothing named after a drive";
}

TEST_F(FolderValues, AnOperationCreatesNoFolderUpFrontAndNoTraceWithoutAnExchangeFolder)
{
    in.host.SetParam("ComboEdiFolder", "c:\\OrvWin\\EDI");
    in.host.SetParam("ComboDedbug", "1");
    auto action = Start("");
    HORVDLLSRODOWISKO env;
    env.Wynik = 9;
    action->Operacja(&env, -8, 0);
    EXPECT_EQ(env.Wynik, 0);
    EXPECT_TRUE(in.host.lines.empty());
    EXPECT_EQ(Entries(tmp.Path()), 0);
}

TEST_F(FolderValues, ATraceThatCannotBeWrittenSaysSoOnce)
{
    in.host.SetParam("ComboDedbug", "1");
    auto action = Start(tmp.Folder());
    action->ReadParams();
    action->LogInit();
    const std::string trace = action->tools.dbg_fname;
    ASSERT_TRUE(testutil::Exists(trace));
    std::filesystem::remove(trace);
    std::filesystem::create_directory(trace);  // appending to it now fails
    for (int i = 0; i < 3; ++i) action->Log("->", "frame");
    ASSERT_EQ(in.host.lines.size(), 1u);
    EXPECT_EQ(in.host.lines[0].kind, 1);
    EXPECT_EQ(in.host.lines[0].text,
              "Nie mo\xBFna zapisa\xE6 logu komunikacji do pliku " + trace + ", log wy\xB3\xB9" "czono");
}
