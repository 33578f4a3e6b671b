// Folder values as paths of this system, the protocol trace, and writes that
// run out of room (a file-size limit makes every write past it fail as on a
// full disk). Each test runs inside its temp folder, so anything created
// under a relative name shows.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "LTools.h"
#include "inprocess_host.h"
#include "sysfiles.h"
#include "thrown.h"

namespace fs = std::filesystem;
namespace {
class TraceAction : public TVelComboAction {
public:
    using TVelComboAction::tools;
    using TVelComboAction::TVelComboAction;
};

class FilesAndFolders : public ::testing::Test {
protected:
    testutil::TempDir tmp;
    InProcessHost in;
    fs::path was = fs::current_path();
    FilesAndFolders() { fs::current_path(tmp.Path()); }
    ~FilesAndFolders() override { fs::current_path(was); }
    std::unique_ptr<TraceAction> Start(const std::string& exchangeFolder)
    {
        in.host.device.folder = exchangeFolder;
        in.Start();
        return in.NewAction<TraceAction>();
    }
    long Entries() { return std::distance(fs::directory_iterator(tmp.Path()), fs::directory_iterator()); }
};
}  // namespace

TEST_F(FilesAndFolders, BackslashSeparatesAndAWindowsDriveIsRefusedByName)
{
    const std::string refused = "Parametr 'Dir' wskazuje katalog Windows \"";
    const std::string hint = "\": podaj katalog tego systemu lub ustaw zmienną środowiskową ORVWIN_BINARIA";
    const std::tuple<std::string, std::string, std::string> cases[] = {  // the value, its folder, the failure
        {tmp / "bin\\Norvik\\skp", tmp / "bin/Norvik/skp", ""},
        {"edi\\in", "edi/in", ""},
        {"c:\\OrvWin\\EDI", "", refused + "c:\\OrvWin\\EDI" + hint},
        {"D:/dane", "", refused + "D:/dane" + hint},
    };
    auto action = Start(tmp.Folder());
    for (const auto& [value, folder, failure] : cases) {
        in.host.SetParam("Dir", value);
        std::string got;
        const std::string error = testutil::Thrown([&] { got = action->ParamAsDir("Dir"); });
        EXPECT_EQ(error == testutil::kNothingThrown ? "" : error, failure) << value;
        EXPECT_EQ(got, folder) << value;
        EXPECT_TRUE(folder.empty() || fs::is_directory(folder)) << value;
    }
    EXPECT_EQ(Entries(), 2) << "bin and edi: nothing named after a drive";
}

// The exchange folder the host gives follows the same rule as the folder values.
TEST_F(FilesAndFolders, ExchangeFolderTakesBackslashesAndAWindowsDriveIsRefusedByName)
{
    in.host.SetParam("ComboDedbug", "1");
    in.host.SetParam("ComboPort", "PLIK");
    auto action = Start("kasa1\\");
    EXPECT_EQ(action->FNameKEXP(), "kasa1/kasa.exp");
    HORVDLLSRODOWISKO env;
    action->Operacja(&env, -8, 0);
    EXPECT_EQ(action->tools.dbg_fname.rfind("kasa1/log/NEO_LOG ", 0), 0u) << action->tools.dbg_fname;

    const std::string refused =
        "Katalog wymiany urządzenia \"C:\\OrvWin\\Kasa1\\\" wskazuje katalog Windows: podaj w programie katalog "
        "tego systemu";
    in.host.device.folder = "C:\\OrvWin\\Kasa1\\";
    for (const char* trace : {"1", "0"}) {
        in.host.SetParam("ComboDedbug", trace);
        action = in.NewAction<TraceAction>();
        EXPECT_EQ(testutil::Thrown([&] { action->Operacja(&env, -3, 0); }), refused) << trace;
    }
    EXPECT_EQ(Entries(), 1) << "kasa1: nothing named after a drive";
}

TEST_F(FilesAndFolders, NoFolderUpFrontNoTraceWithoutAnExchangeFolderAndAFailedTraceSaysSoOnce)
{
    in.host.SetParam("ComboEdiFolder", "c:\\OrvWin\\EDI");
    in.host.SetParam("ComboDedbug", "1");
    auto action = Start("");
    HORVDLLSRODOWISKO env;
    action->Operacja(&env, -8, 0);
    EXPECT_TRUE(in.host.lines.empty());
    EXPECT_EQ(Entries(), 0);

    in.host.device.folder = tmp.Folder();
    action = in.NewAction<TraceAction>();
    action->Operacja(&env, -8, 0);
    const std::string trace = action->tools.dbg_fname;
    fs::remove(trace);
    fs::create_directory(trace);  // appending to it now fails
    for (int i = 0; i < 3; ++i) action->Log("->", "frame");
    EXPECT_EQ(in.host.lines,
              (std::vector<HostLine>{{false, 1, "Nie można zapisać logu komunikacji do pliku " + trace + ", log wyłączono"}}));
}

// A line of "combo.imp" whose write fails takes back the bytes it wrote, so
// no half line joins the next run's first one.
TEST_F(FilesAndFolders, AFailedWriteLeavesTheOldFileWholeAndNoWorkingFile)
{
    auto action = Start(tmp.Folder());
    std::string lines;
    for (int i = 0; i < 200; ++i) lines += "TOW;" + std::to_string(i) + ";Towar;\r\n";
    testutil::WriteFile("kasa.exp", lines);
    const std::pair<const char*, std::function<void(const std::string&)>> cases[] = {
        {"ARCH2.EXP", [&](const std::string& p) { TLTools::ArchiveFile("kasa.exp", p, nullptr, true, 2, true, ""); }},
        {"wynik.exp", [&](const std::string& p) { TLTools::BufToFileEx(lines, p, p + ".tmp", nullptr, false); }},
        {"wynik.app", [&](const std::string& p) { TLTools::BufToFileEx(lines, p, p + ".tmp", nullptr, true); }},
        {"NEO_LOG.TXT", [&](const std::string& p) { TLTools::BufToAppendFile(lines, p); }},
        {"combo.imp", [&](const std::string&) { action->LineToIMPFile(lines); }},
        {"kasa.cpy", [&](const std::string& p) { if (!CopyFile("kasa.exp", p, false)) throw Exception("copy"); }},
    };
    rlimit was{};
    getrlimit(RLIMIT_FSIZE, &was);
    signal(SIGXFSZ, SIG_IGN);
    for (const auto& [name, write] : cases) {
        testutil::WriteFile(name, "old line\r\n");
        rlimit room = was;
        room.rlim_cur = 100;
        setrlimit(RLIMIT_FSIZE, &room);
        EXPECT_THROW(write(name), Exception) << name;
        setrlimit(RLIMIT_FSIZE, &was);
        EXPECT_EQ(testutil::ReadFile(name), "old line\r\n") << name;
        EXPECT_FALSE(testutil::Exists(name + std::string(".tmp"))) << name;
    }
    signal(SIGXFSZ, SIG_DFL);
}
