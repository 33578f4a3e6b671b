#include "folderlock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "process_state.h"
#include "sysfiles.h"

namespace {

// Opens the lock file for writing, creating it when it is not there. A file
// this process creates is made 0666 whatever the umask: an account that can
// only read it could take no lock where the file system locks only files
// open for writing, and would have to refuse every operation. A file that
// was there keeps the mode its owner gave it. -1 with errno set on failure.
int OpenForWriting(const AnsiString& path)
{
    // Bounded: the file may be removed between the two opens.
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            // Where the mode cannot be set the file still locks for this
            // account; another one meets the read-only case below.
            ::fchmod(fd, 0666);
            return fd;
        }
        if (errno != EEXIST) return -1;
        fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT) return fd;
    }
    return -1;
}

// What tells this machine from another that names itself the same: the
// running system's boot identity and the process id space this process
// sees (two containers of one machine have each their own).
AnsiString ThisMachine()
{
    static const AnsiString machine = [] {
        char boot[64] = {}, space[64] = {};
        const int fd = ::open("/proc/sys/kernel/random/boot_id", O_RDONLY | O_CLOEXEC);
        const ssize_t n = fd >= 0 ? ::read(fd, boot, sizeof boot - 1) : -1;
        if (fd >= 0) ::close(fd);
        const ssize_t m = ::readlink("/proc/self/ns/pid", space, sizeof space - 1);
        if (n <= 0 || m <= 0) return AnsiString();
        return Trim(AnsiString(boot)) + " " + AnsiString(space);
    }();
    return machine;
}

// Errors of link() on a file system that keeps no hard links.
bool NoHardLinks(int error)
{
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

long long Milliseconds(const timespec& t)
{
    return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

// Writes the whole text into a new file of its own, on the disk before the
// file can take the holder's name: a holder file that a power cut left
// without its text could name no process, and would keep the folder refused
// until it went stale. False with errno set.
bool WriteNewFile(const AnsiString& path, const AnsiString& text, struct stat& written)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, text.data(), text.size()) && ::fdatasync(fd) == 0 && ::fstat(fd, &written) == 0;
    const int error = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(path.c_str());
        errno = error;
    }
    return ok;
}

AnsiString ReadSmallFile(const AnsiString& path)
{
    char text[512] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "";
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    return n > 0 ? AnsiString(text, static_cast<size_t>(n)) : AnsiString();
}

// Puts the holder file judged left behind out of the way. It is first
// moved to a name of this process's own and checked to be the file judged:
// another process may have put a new holder file there since, which is
// then given back its name.
void RemoveLeftBehind(const AnsiString& holder, const struct stat& judged, const AnsiString& aside)
{
    if (::rename(holder.c_str(), aside.c_str()) != 0) return;
    struct stat moved {};
    if (::lstat(aside.c_str(), &moved) != 0) return;
    if (SameFile(moved, judged) && Milliseconds(moved.st_mtim) == Milliseconds(judged.st_mtim)) {
        ::unlink(aside.c_str());
        return;
    }
    if (::link(aside.c_str(), holder.c_str()) == 0 || !NoHardLinks(errno))
        ::unlink(aside.c_str());
    else
        ::rename(aside.c_str(), holder.c_str());
}

}  // namespace

TFolderLock::TFolderLock(std::chrono::milliseconds refreshPeriod) : FRefresh(refreshPeriod) {}

TFolderLock::Result TFolderLock::Take(const AnsiString& folder, const AnsiString& lockFileName)
{
    Release();
    FError = 0;
    const AnsiString dir = folder.empty() ? AnsiString(".") : folder;
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0) {
        FError = errno;
        return fl_NoFolder;
    }
    if (!S_ISDIR(st.st_mode)) {
        FError = ENOTDIR;
        return fl_NoFolder;
    }
    {
        std::lock_guard<std::mutex> guard(Process().FoldersLock);
        if (!Process().FoldersHeld.insert({st.st_dev, st.st_ino}).second) return fl_Busy;
    }
    FInTable = true;
    FDevice = st.st_dev;
    FInode = st.st_ino;

    const AnsiString path = IncludeTrailingPathDelimiter(dir) + lockFileName;
    FFile = path;
    FFd = OpenForWriting(path);
    bool readOnly = false;
    // A folder where this account may not create files may still hold a lock
    // file it can read. When that fails too, the reason is the one the write
    // met (a folder made immutable refuses the create; that the file is then
    // not there to read says nothing).
    if (FFd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        const int refused = errno;
        FFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        readOnly = FFd >= 0;
        if (FFd < 0) errno = refused;
    }
    if (FFd < 0) {
        FError = errno;
        Release();
        return fl_NoLockFile;
    }
    int result;
    do result = ::flock(FFd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        FError = errno;
        if (FError == EWOULDBLOCK) {
            Release();
            return fl_Busy;
        }
        // A file system that keeps no locks at all is left to the holder
        // file. ENOLCK on a file open only for reading may as well be a
        // refusal of that descriptor, and any other error may hide a holder
        // that locks with flock alone (an older version of this library):
        // refused.
        if (FError != EOPNOTSUPP && !(FError == ENOLCK && !readOnly)) {
            Release();
            return readOnly ? fl_NotLockedReadOnly : fl_NotLocked;
        }
        ::close(FFd);
        FFd = -1;
        FError = 0;
    }
    const Result held = TakeHolderFile(path + ".held");
    if (held != fl_Taken) Release();
    return held;
}

TFolderLock::Result TFolderLock::TakeHolderFile(const AnsiString& holder)
{
    FFile = holder;
    const AnsiString own = ProcessFileName(holder);
    // What a host killed on its way through here left.
    RemoveFilesOfEndedProcesses(holder);
    const AnsiString text = MachineName() + "\n" + IntToStr(static_cast<int>(::getpid())) + "\n" + ThisMachine() + "\n";
    // Bounded: each round ends with a holder file removed as left behind,
    // which a third process may replace at once.
    for (int round = 0; round < 3; ++round) {
        struct stat mine {};
        struct stat there {};
        if (!WriteNewFile(own, text, mine)) {
            FError = errno;
            return fl_NoLockFile;
        }
        // A network file system may lose the answer to a link it made:
        // whether the holder file is this one decides.
        const bool linked = ::link(own.c_str(), holder.c_str()) == 0;
        const int linkError = errno;
        bool exists = ::lstat(holder.c_str(), &there) == 0;
        ::unlink(own.c_str());
        int fd = -1;
        if (exists && SameFile(there, mine)) {
            fd = ::open(holder.c_str(), O_RDWR | O_CLOEXEC);
        } else if (!linked && !exists && NoHardLinks(linkError)) {
            fd = ::open(holder.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd >= 0 && !WriteAll(fd, text.data(), text.size())) {
                FError = errno;
                ::close(fd);
                ::unlink(holder.c_str());
                return fl_NoLockFile;
            }
            if (fd < 0 && errno != EEXIST) {
                FError = errno;
                return fl_NoLockFile;
            }
            exists = fd < 0 && ::lstat(holder.c_str(), &there) == 0;
        } else if (!linked && !exists && linkError != EEXIST) {
            FError = linkError;
            return fl_NoLockFile;
        }
        if (fd >= 0) {
            FHolder = holder;
            FHolderFd = fd;
            FHolderText = text;
            try {
                FRefresher = std::thread([this] { KeepRefreshing(); });
            } catch (const std::system_error& e) {
                FError = e.code().value();
                return fl_NoLockFile;
            }
            return fl_Taken;
        }
        if (!exists) continue;
        if (!LeftBehind(holder, there, mine)) return fl_Busy;
        RemoveLeftBehind(holder, there, own);
    }
    return fl_Busy;
}

// `now` is a file this process has just written in the folder: its time is
// the file server's now.
bool TFolderLock::LeftBehind(const AnsiString& holder, const struct stat& there, const struct stat& now) const
{
    const AnsiString text = ReadSmallFile(holder);
    const size_t first = text.find('\n'), second = first == AnsiString::npos ? first : text.find('\n', first + 1);
    if (second != AnsiString::npos && !ThisMachine().empty() && text.substr(second + 1) == ThisMachine() + "\n" &&
        text.substr(0, first) == MachineName()) {
        const int pid = std::atoi(text.substr(first + 1, second - first - 1).c_str());
        // This process holds nothing here (its table said so): the file is
        // of an earlier process that had the same number.
        if (pid == ::getpid() || !ProcessRunning(pid)) return true;
    }
    // A process of this machine that is running may have a number an ended
    // holder had: the time decides then too.
    return Milliseconds(now.st_mtim) - Milliseconds(there.st_mtim) > 5 * FRefresh.count();
}

// Rewritten, not touched: a write dates the file by the file server's clock
// on every network file system, a touch on some by this machine's.
void TFolderLock::KeepRefreshing() noexcept
{
    try {
        std::unique_lock<std::mutex> guard(FRefreshLock);
        while (!FStop.wait_for(guard, FRefresh, [this] { return FStopping; })) {
            if (::pwrite(FHolderFd, FHolderText.data(), FHolderText.size(), 0) > 0) ::fdatasync(FHolderFd);
        }
    } catch (...) {
        // Unrefreshed, the holder file is taken as left behind by another
        // machine after five periods; nothing else is harmed.
    }
}

void TFolderLock::Release()
{
    if (FRefresher.joinable()) {
        {
            std::lock_guard<std::mutex> guard(FRefreshLock);
            FStopping = true;
        }
        FStop.notify_all();
        FRefresher.join();
        FStopping = false;
    }
    if (FHolderFd >= 0) {
        // Removed only while it is still the one this object made: after a
        // stall of five periods another machine may have put its own there.
        struct stat mine {};
        struct stat there {};
        const bool ours =
            ::fstat(FHolderFd, &mine) == 0 && ::lstat(FHolder.c_str(), &there) == 0 && SameFile(mine, there);
        ::close(FHolderFd);
        FHolderFd = -1;
        if (ours) ::unlink(FHolder.c_str());
    }
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
    if (!FInTable) return;
    std::lock_guard<std::mutex> guard(Process().FoldersLock);
    Process().FoldersHeld.erase({FDevice, FInode});
    FInTable = false;
}
