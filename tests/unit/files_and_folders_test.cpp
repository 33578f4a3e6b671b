// Folder values as paths of this system, the protocol trace, the exchange
// folder's lock, and writes that run out of room (a file-size limit makes
// every write past it fail as on a full disk). Each test runs inside its temp
// folder, so anything created under a relative name shows.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "LTools.h"
#include "folderlock.h"
#include "inprocess_host.h"
#include "sysfiles.h"
#include "thrown.h"

// The file system's answer to a lock, as a network file system may give it
// where this machine's own lock every descriptor: while set, flock fails with
// the error given, on every descriptor or on those open only for reading
// (an NFSv4 client's EBADF).
namespace {
int g_flockError = 0;
bool g_flockOnlyReadOnly = false;
bool g_noHardLinks = false;

class FlockAnswers {
public:
    FlockAnswers(int error, bool onlyReadOnly, bool noHardLinks = false)
    {
        g_flockError = error;
        g_flockOnlyReadOnly = onlyReadOnly;
        g_noHardLinks = noHardLinks;
    }
    ~FlockAnswers() { g_flockError = 0, g_noHardLinks = false; }
};
}  // namespace

// And a file system that keeps no hard links, as some network shares.
extern "C" int link(const char* from, const char* to)
{
    if (g_noHardLinks) {
        errno = EPERM;
        return -1;
    }
    static const auto real = reinterpret_cast<int (*)(const char*, const char*)>(dlsym(RTLD_NEXT, "link"));
    return real(from, to);
}

extern "C" int flock(int fd, int operation)
{
    if (g_flockError != 0 && (!g_flockOnlyReadOnly || (fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDONLY)) {
        errno = g_flockError;
        return -1;
    }
    static const auto real = reinterpret_cast<int (*)(int, int)>(dlsym(RTLD_NEXT, "flock"));
    return real(fd, operation);
}

namespace fs = std::filesystem;
namespace {
// A file or folder this process may not change: the file system's immutable
// flag, which stops root too (the tests run as root, whom permissions do
// not stop), or for another account its write permission taken away.
class Unwritable {
public:
    explicit Unwritable(const std::string& path) : FPath(path)
    {
        if (Immutable(true)) {
            FHow = kFlag;
        } else if (::geteuid() != 0 && ::stat(path.c_str(), &FWas) == 0 && ::chmod(path.c_str(), 0555) == 0) {
            FHow = kMode;
        }
    }
    ~Unwritable()
    {
        if (FHow == kFlag) Immutable(false);
        if (FHow == kMode) ::chmod(FPath.c_str(), FWas.st_mode & 07777);
    }
    bool Held() const { return FHow != kNone; }

private:
    bool Immutable(bool on)
    {
        const int fd = ::open(FPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return done;
    }
    enum { kNone, kFlag, kMode } FHow = kNone;
    std::string FPath;
    struct stat FWas {};
};

mode_t ModeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

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

// The lock refuses wherever another process may hold it, naming the lock
// file and the system's reason; a file system that keeps no locks at all is
// worked in under the holder file alone. A holder file of another machine
// refuses until it has gone unrewritten for five minutes. A lock file made
// here can be locked by any account whatever the umask; one that was there
// keeps its owner's mode. The holder file goes with the operation.
TEST_F(FilesAndFolders, TheFolderLockRefusesWhereAnotherMayHoldItOnAnyFileSystem)
{
    in.host.SetParam("ComboPort", "PLIK");
    in.host.SetParam("ComboDedbug", "0");
    in.Start();
    const std::string wentOn = "Ustawione złącze na PLIK, a brak pliku combo.imp!";
    const std::string readOnly = ", który ten program może tylko czytać: ";
    const std::string toWrite = " - nadaj wszystkim prawo zapisu do tego pliku";
    const std::string busy = "\" jest zajęty przez inną operację (import lub eksport) - spróbuj później";
    const std::string otherMachine = "kasa-zaplecze\n4242\n0f6d2c1e-77a8-4c59-9d0e-5e1b2f0c9a11 pid:[4026531836]\n";
    // "@" stands for the folder, "$" for its lock file.
    const struct {
        const char* what;
        mode_t there;       // the lock file's mode before, 0: not there
        bool readOnly;      // the lock file can only be read
        bool closedFolder;  // nothing can be made in the folder
        bool heldElsewhere;
        int flockError;
        bool onlyReadOnly;
        std::string holder;  // a holder file there before, "": none
        int minutesOld;      // since it was last written
        std::string error;
        bool held;     // a second operation meets the folder busy
        mode_t after;  // the lock file's mode after, 0: not there
        bool noHardLinks = false;
    } cases[] = {
        {"made here", 0, false, false, false, 0, false, "", 0, wentOn, true, 0666},
        {"there, its mode kept", 0640, false, false, false, 0, false, "", 0, wentOn, true, 0640},
        {"held by another", 0, false, false, true, 0, false, "", 0, "Katalog wymiany \"@" + busy, true, 0644},
        {"read-only, locked", 0644, true, false, false, 0, false, "", 0, wentOn, true, 0644},
        {"read-only, refused as by NFSv4", 0644, true, false, false, EBADF, true, "", 0,
         "Nie można zablokować pliku \"$\"" + readOnly + "nieprawidłowy deskryptor pliku" + toWrite, false, 0644},
        {"read-only, ENOLCK", 0644, true, false, false, ENOLCK, false, "", 0,
         "Nie można zablokować pliku \"$\"" + readOnly + "brak blokad plików" + toWrite, false, 0644},
        {"read-only, no locks kept", 0644, true, false, false, EOPNOTSUPP, false, "", 0, wentOn, true, 0644},
        {"for writing, no locks kept", 0, false, false, false, ENOLCK, false, "", 0, wentOn, true, 0666},
        {"for writing, another refusal", 0, false, false, false, EIO, false, "", 0,
         "Nie można zablokować pliku \"$\": błąd wejścia-wyjścia", false, 0666},
        {"a folder nothing can be made in", 0, false, true, false, 0, false, "", 0,
         "Nie można utworzyć pliku blokady \"$\": brak dostępu", false, 0},
        {"another machine's holder, rewritten 4 minutes ago", 0, false, false, false, 0, false, otherMachine, 4,
         "Katalog wymiany \"@" + busy, true, 0666},
        {"another machine's holder, not rewritten for 6 minutes", 0, false, false, false, 0, false, otherMachine, 6,
         wentOn, true, 0666},
        {"no locks kept, another machine's holder of 4 minutes", 0, false, false, false, EOPNOTSUPP, false,
         otherMachine, 4, "Katalog wymiany \"@" + busy, true, 0666},
        {"no locks kept, another machine's holder of 6 minutes", 0, false, false, false, EOPNOTSUPP, false,
         otherMachine, 6, wentOn, true, 0666},
        {"a holder file being written", 0, false, false, false, 0, false, "\n", 0, "Katalog wymiany \"@" + busy,
         true, 0666},
        {"no hard links", 0, false, false, false, 0, false, "", 0, wentOn, true, 0666, true},
        {"no hard links, another machine's holder of 4 minutes", 0, false, false, false, 0, false, otherMachine, 4,
         "Katalog wymiany \"@" + busy, true, 0666, true},
        {"no hard links, another machine's holder of 6 minutes", 0, false, false, false, 0, false, otherMachine, 6,
         wentOn, true, 0666, true},
    };
    const mode_t umaskWas = ::umask(022);
    for (const auto& c : cases) {
        const std::string folder = tmp / c.what + "/";
        const std::string lockFile = folder + "velcombo.lck";
        const std::string holder = lockFile + ".held";
        auto at = [&](std::string text) {
            for (const auto& [mark, value] : {std::pair{'@', folder}, {'$', lockFile}})
                if (const size_t i = text.find(mark); i != std::string::npos) text.replace(i, 1, value);
            return text;
        };
        fs::create_directory(folder);
        if (c.there) {
            testutil::WriteFile(lockFile, "");
            ::chmod(lockFile.c_str(), c.there);
        }
        if (!c.holder.empty()) {
            testutil::WriteFile(holder, c.holder == "\n" ? "" : c.holder);
            const timespec written[2] = {{0, UTIME_OMIT}, {::time(nullptr) - c.minutesOld * 60, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, holder.c_str(), written, 0), 0);
        }
        const int other = c.heldElsewhere ? ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666) : -1;
        if (c.heldElsewhere) {
            ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
        }
        const Unwritable closed(c.readOnly ? lockFile : c.closedFolder ? folder : "");
        if ((c.readOnly || c.closedFolder) && !closed.Held()) GTEST_SKIP() << "no file can be made unwritable here";
        in.host.device.folder = folder;
        in.host.lines.clear();
        {
            const FlockAnswers answers(c.flockError, c.onlyReadOnly, c.noHardLinks);
            HORVDLLSRODOWISKO env;
            auto first = in.NewAction<TraceAction>(), second = in.NewAction<TraceAction>();
            EXPECT_EQ(testutil::Thrown([&] { first->Operacja(&env, -6, 0); }), at(c.error)) << c.what;
            EXPECT_EQ(in.host.lines, std::vector<HostLine>()) << c.what;
            const std::string again = testutil::Thrown([&] { second->Operacja(&env, -6, 0); });
            EXPECT_EQ(again == at("Katalog wymiany \"@" + busy), c.held) << c.what << ": " << again;
        }
        EXPECT_EQ(ModeOf(lockFile), c.after) << c.what;
        const bool refusedByHolder = c.error == "Katalog wymiany \"@" + busy && !c.heldElsewhere;
        EXPECT_EQ(testutil::ReadFile(holder), refusedByHolder ? (c.holder == "\n" ? "" : c.holder) : "") << c.what;
        EXPECT_EQ(testutil::Exists(holder), refusedByHolder) << c.what;
        for (const auto& file : fs::directory_iterator(folder))
            EXPECT_TRUE(file.path() == lockFile || file.path() == holder) << c.what << ": " << file.path();
        if (other >= 0) ::close(other);
    }
    ::umask(umaskWas);
}

// The holder file names this machine and process, and is rewritten every
// refresh period from the moment the folder is taken until it is given back,
// whatever the operation does meanwhile; then it is gone.
TEST_F(FilesAndFolders, TheHolderFileIsRewrittenWhileTheFolderIsHeldAndGoesWithIt)
{
    const std::string folder = tmp.Folder();
    const std::string holder = folder + "velcombo.lck.held";
    auto writtenAt = [&] {
        struct stat st {};
        return ::stat(holder.c_str(), &st) == 0 ? st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec : 0LL;
    };
    TFolderLock lock(std::chrono::milliseconds(20));
    ASSERT_EQ(lock.Take(folder, "velcombo.lck"), TFolderLock::fl_Taken);
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    const std::string text = testutil::ReadFile(holder);
    EXPECT_EQ(text.substr(0, text.find('\n', text.find('\n') + 1) + 1),
              std::string(name) + "\n" + std::to_string(::getpid()) + "\n");
    for (int refresh = 0; refresh < 3; ++refresh) {
        const long long before = writtenAt();
        EXPECT_TRUE(testutil::WaitUntil([&] { return writtenAt() != before; }, testutil::kEventWaitMs)) << refresh;
    }
    EXPECT_EQ(testutil::ReadFile(holder), text);
    lock.Release();
    EXPECT_FALSE(testutil::Exists(holder));
    EXPECT_TRUE(testutil::Exists(folder + "velcombo.lck"));
}
