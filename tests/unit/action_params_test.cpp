// Parameters and host data through the host's real callbacks: long values,
// folders, and the answers of callbacks the host left out.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <filesystem>
#include <set>
#include <tuple>

#include "inprocess_host.h"
#include "thrown.h"

// A file system that makes no files without a name, while set.
namespace {
bool g_unnamedFilesRefused = false;
}  // namespace

extern "C" int open(const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    if (g_unnamedFilesRefused && (flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    static const auto real = reinterpret_cast<int (*)(const char*, int, ...)>(dlsym(RTLD_NEXT, "open"));
    return real(path, flags, mode);
}

namespace {
class ActionParams : public ::testing::Test {
protected:
    InProcessHost in;
    testutil::TempDir tmp;
    std::unique_ptr<TVelComboAction> action;

    void Start()
    {
        in.host.device.folder = tmp.Folder();
        in.Start();
        action = in.NewAction();
    }
};
}  // namespace

TEST_F(ActionParams, LongValueIsSplitIntoPartsOf250AndJoinedBack)
{
    Start();
    const std::string value = std::string(250, 'a') + std::string(250, 'b') + std::string(100, 'c');
    action->WriteLongParamEx("ComboAsort", value, 6);
    EXPECT_EQ(in.host.Param("Vel_Combo_ComboAsort1"), std::string(250, 'a'));
    EXPECT_EQ(in.host.Param("Vel_Combo_ComboAsort3"), std::string(100, 'c'));
    EXPECT_EQ(in.host.Param("Vel_Combo_ComboAsort6"), "");
    EXPECT_TRUE(in.host.params.count("VEL_COMBO_COMBOASORT6")) << "parts past the end are written empty";
    EXPECT_EQ(action->ReadLongParamEx("ComboAsort", 6), value);
    EXPECT_EQ(action->ReadLongParamEx("ComboAsort", 8), value) << "parts never written read empty";
    action->WriteLongParamEx("ComboAsort", "1;1\r\n", 6);
    EXPECT_EQ(action->ReadLongParamEx("ComboAsort", 6), "1;1\r\n") << "a shorter value leaves no old parts behind";
}

TEST_F(ActionParams, OverlongValueIsCutAtTheLastWholeLineWithAWarning)
{
    Start();
    std::string value;
    for (int i = 1; value.size() < 1600; ++i) value += std::to_string(i) + ";" + std::to_string(i) + "\r\n";
    action->WriteLongParamEx("ComboAsort", value, 6);
    const std::string stored = action->ReadLongParamEx("ComboAsort", 6);
    ASSERT_LE(stored.size(), 1500u);
    EXPECT_EQ(stored.substr(stored.size() - 2), "\r\n");
    EXPECT_EQ(value.compare(0, stored.size(), stored), 0) << "the kept part is the value's beginning";
    EXPECT_EQ(value[stored.size() - 1], '\n');
    ASSERT_FALSE(in.host.lines.empty());
    EXPECT_EQ(in.host.lines.back().kind, 1);
}

TEST_F(ActionParams, RefusedWriteThrowsTheHostWriteError)
{
    in.host.answers["change_param"] = 0;
    Start();
    EXPECT_EQ(testutil::Thrown([&] { action->WriteParamEx("PosortowaneStawkiVat", "23"); }),
              "B\xB3\xB9" "d zapisu w\xB3" "asnego parametru 'Vel_Combo_PosortowaneStawkiVat' do bazy danych");
}

TEST_F(ActionParams, IntegersAreReadStrictlyAndAMissingCallbackReadsEmpty)
{
    in.host.SetParam("A", " 12 ");
    in.host.SetParam("B", "12x");
    Start();
    EXPECT_EQ(std::tuple(action->ParamAsInt("A"), action->ParamAsInt("B"), action->ParamAsInt("missing")),
              std::tuple(12, 0, 0));
    in.library->RejestrujCallback(nullptr, 6);
    EXPECT_EQ(action->WartoscParametru("A"), "");
    EXPECT_EQ(action->ParamAsInt("A"), 0);
}

// The probe of a folder leaves nothing behind: a file without a name where
// the file system makes one; else a name of the process's own, and a probe
// file left by a process of this machine that ended is removed by the next
// probe, while one of a running process or of another machine, and the
// user's own files, stay.
TEST_F(ActionParams, DirectoryIsCreatedAndProbedLeavingNothingAndTouchingNoFileOfTheUsers)
{
    const std::string folder = tmp.File("a/b");
    in.host.SetParam("Dir", folder);
    Start();
    EXPECT_EQ(action->ParamAsDir("Dir"), folder);
    ASSERT_EQ(in.host.lines.size(), 1u);
    EXPECT_EQ(in.host.lines[0].text, "Katalog \"" + folder + "\" nie istnieje, pr\xF3" "ba utworzenia");

    char machine[256] = {};
    gethostname(machine, sizeof machine - 1);
    const pid_t ended = fork();
    if (ended == 0) _exit(0);
    waitpid(ended, nullptr, 0);
    const std::string probe = folder + "/velcombo.probe.";
    const std::string kept[] = {folder + "/test", probe + machine + "." + std::to_string(getppid()),
                                probe + "kasa-zaplecze." + std::to_string(ended)};
    for (const bool withoutNames : {false, true}) {
        testutil::WriteFile(probe + machine + "." + std::to_string(ended), "");
        for (const std::string& file : kept) testutil::WriteFile(file, "user's own");
        g_unnamedFilesRefused = withoutNames;
        in.host.lines.clear();
        EXPECT_EQ(action->ParamAsDir("Dir"), folder);
        g_unnamedFilesRefused = false;
        EXPECT_TRUE(in.host.lines.empty());
        std::set<std::string> left;
        for (const auto& e : std::filesystem::directory_iterator(folder)) left.insert(e.path());
        EXPECT_EQ(left.size(), withoutNames ? 3u : 4u) << withoutNames;
        for (const std::string& file : kept) EXPECT_EQ(testutil::ReadFile(file), "user's own") << withoutNames;
    }
}

// The host's answer is cut to its 300 bytes: a folder that fills them may
// be the beginning of a longer one, and is refused with nothing made.
TEST_F(ActionParams, AFolderThatFillsItsBufferIsRefusedWithItsLength)
{
    std::string folder = tmp.Path();
    while (folder.size() < 300) folder += "/" + std::string(std::min<size_t>(50, 300 - folder.size() - 1), 'd');
    ASSERT_EQ(folder.size(), 300u);
    in.host.SetParam("Dir", folder);
    Start();
    EXPECT_EQ(testutil::Thrown([&] { action->ParamAsDir("Dir"); }),
              "Parametr 'Dir' ma 300 znak\xF3w i wype\xB3nia ca\xB3y bufor programu, wi\xEA" "c m\xF3g\xB3 zosta\xE6 "
              "obci\xEAty: podaj kr\xF3tszy katalog");
    EXPECT_TRUE(std::filesystem::is_empty(tmp.Path()));
    folder.resize(299);
    in.host.SetParam("Dir", folder);
    EXPECT_EQ(action->ParamAsDir("Dir"), folder);
}

TEST_F(ActionParams, UnwritableDirectoryIsRefusedWithItsName)
{
    if (geteuid() == 0) {
        // root writes everywhere; a plain file in the path makes the folder unusable instead.
        testutil::WriteFile(tmp.File("file"), "x");
    }
    const std::string folder = geteuid() == 0 ? tmp.File("file/sub") : tmp.File("ro");
    if (geteuid() != 0) {
        std::filesystem::create_directory(folder);
        chmod(folder.c_str(), 0500);
    }
    in.host.SetParam("Dir", folder);
    Start();
    EXPECT_EQ(testutil::Thrown([&] { action->ParamAsDir("Dir"); }),
              geteuid() == 0 ? "Pr\xF3" "ba utworzenia katalogu zako\xF1" "czona b\xB3\xEA" "dem"
                             : "Orvena nie ma uprawnie\xF1 do zapisu w katalogu \"" + folder +
                                   "\", nadaj uprawnienia aby kontynuowa\xE6");
}

TEST_F(ActionParams, HostResultsThatAreRefusedOrMissingThrow)
{
    in.host.answers["save_export"] = 0;
    in.host.omitted = {17};
    Start();
    EXPECT_THROW(action->ZapiszWynikEksportu(), Exception);
    EXPECT_THROW(action->ZapiszKasaImp(), Exception);
    EXPECT_NO_THROW(action->ZapiszParagonImp());
}

TEST_F(ActionParams, DeviceDataComeFromTheHostOrTheirDefaults)
{
    in.host.omitted = {11};
    Start();
    EXPECT_EQ(action->FNameKEXP(), "kasa.exp");
}

TEST_F(ActionParams, ResourceNeverGrantedWaitsUntilTheStopPoll)
{
    in.host.omitted = {23};
    in.host.stopAfterPolls = 2;
    Start();
    EXPECT_THROW(action->ZajmijZasobSterownika("COM1"), EAbort);
    EXPECT_EQ(in.host.polls, 3);
}

TEST_F(ActionParams, WeightedFormatsAreReadOnceAndTrimmed)
{
    in.host.weighted = {" 2800SSSSWWWWWK ", "29"};
    Start();
    TStringList* formats = action->GetFormatyWazone();
    ASSERT_EQ(formats->Count(), 2);
    EXPECT_EQ((*formats)[0], "2800SSSSWWWWWK");
    in.host.weighted.clear();
    EXPECT_EQ(action->GetFormatyWazone()->Count(), 2);
}
