#include "sysfiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

namespace {

bool StatIs(const AnsiString& path, mode_t kind)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == kind;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool CopyContents(int in, int out)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!WriteAll(out, buffer, static_cast<size_t>(n))) return false;
    }
}

}  // namespace

bool FileExists(const AnsiString& path) { return StatIs(path, S_IFREG); }

bool DirectoryExists(const AnsiString& path) { return StatIs(path, S_IFDIR); }

bool ForceDirectories(const AnsiString& path)
{
    if (path.empty()) return false;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        const AnsiString part = path.substr(0, i);
        if (::mkdir(part.c_str(), 0777) == 0) {
            // Files are put in it next: it is on the disk before them.
            const size_t slash = part.find_last_of('/');
            if (!SyncFolder(slash == AnsiString::npos ? "." : slash == 0 ? "/" : part.substr(0, slash))) return false;
        } else if (errno != EEXIST) {
            return false;
        }
    }
    return DirectoryExists(path);
}

bool SyncFolder(const AnsiString& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    int result = 0;
    do {
        result = ::fsync(fd);
    } while (result != 0 && errno == EINTR);
    const int error = errno;
    ::close(fd);
    errno = error;
    return result == 0;
}

bool DeleteFile(const AnsiString& path) { return !path.empty() && ::unlink(path.c_str()) == 0; }

bool FileIdentity(const AnsiString& path, uint64_t& device, uint64_t& inode)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
    device = st.st_dev;
    inode = st.st_ino;
    return true;
}

bool MayRemove(const AnsiString& path)
{
    struct stat file {};
    if (path.empty() || ::lstat(path.c_str(), &file) != 0) return true;
    AnsiString folder = ExtractFilePath(path);
    if (folder.empty()) folder = ".";
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) != 0 || ::access(folder.c_str(), W_OK | X_OK) != 0) return false;
    // In a folder with the sticky bit only the file's or the folder's owner
    // may remove a file.
    const uid_t me = ::geteuid();
    if ((dir.st_mode & S_ISVTX) && me != 0 && me != file.st_uid && me != dir.st_uid) return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return true;
    int flags = 0;
    const bool known = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    ::close(fd);
    return !known || !(flags & (FS_IMMUTABLE_FL | FS_APPEND_FL));
}

bool MayWrite(const AnsiString& path, int& error)
{
    const int fd = path.empty() ? -1 : ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    error = path.empty() ? ENOENT : errno;
    return error == ENOENT;
}

bool RenameFile(const AnsiString& from, const AnsiString& to)
{
    if (from.empty() || to.empty()) return false;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the no-replace rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool CopyFile(const AnsiString& from, const AnsiString& to, bool failIfExists)
{
    if (from.empty() || to.empty() || !FileExists(from)) return false;
    struct stat st {};
    if (failIfExists && ::lstat(to.c_str(), &st) == 0) return false;
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const AnsiString work = WorkingFileName(to);
    const int out = ::open(work.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    bool ok = out >= 0 && CopyContents(in, out);
    ::close(in);
    if (out >= 0) ok = ::close(out) == 0 && ok;
    if (ok) ok = failIfExists ? RenameFile(work, to) : ::rename(work.c_str(), to.c_str()) == 0;
    if (!ok) ::unlink(work.c_str());
    return ok;
}

AnsiString ExtractFilePath(const AnsiString& path)
{
    const size_t i = path.find_last_of("/\\");
    return i == AnsiString::npos ? AnsiString() : path.substr(0, i + 1);
}

AnsiString ExtractFileName(const AnsiString& path)
{
    const size_t i = path.find_last_of("/\\");
    return i == AnsiString::npos ? path : path.substr(i + 1);
}

bool EndsWithPathDelimiter(const AnsiString& path) { return !path.empty() && IsSeparator(path.back()); }

AnsiString IncludeTrailingPathDelimiter(const AnsiString& path)
{
    return EndsWithPathDelimiter(path) ? path : path + "/";
}

AnsiString WorkingFileName(const AnsiString& path) { return path + ".tmp"; }

AnsiString MachineName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "";
    return name;
}

bool ProcessRunning(int pid)
{
    if (pid <= 0 || (::kill(pid, 0) != 0 && errno != EPERM)) return false;
    // The state follows the command name, which may hold anything, in
    // parentheses.
    char stat[512] = {};
    const int fd = ::open(Format("/proc/%d/stat", pid).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true;
    const ssize_t n = ::read(fd, stat, sizeof stat - 1);
    ::close(fd);
    const char* end = n > 0 ? std::strrchr(stat, ')') : nullptr;
    return !(end && end[1] == ' ' && end[2] == 'Z');
}

AnsiString ProcessFileName(const AnsiString& base)
{
    return base + "." + MachineName() + "." + IntToStr(static_cast<int>(::getpid()));
}

void RemoveFilesOfEndedProcesses(const AnsiString& base)
{
    const AnsiString folder = ExtractFilePath(base);
    const AnsiString prefix = ExtractFileName(base) + "." + MachineName() + ".";
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const AnsiString name = entry->d_name;
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        const AnsiString number = name.substr(prefix.size());
        if (number.find_first_not_of("0123456789") != AnsiString::npos || number.size() > 9) continue;
        const int pid = std::atoi(number.c_str());
        if (pid == ::getpid() || !ProcessRunning(pid)) ::unlink((folder + name).c_str());
    }
    ::closedir(dir);
}

AnsiString SysErrorMessage(int error)
{
    switch (error) {
    case ENOENT: return "plik lub folder nie istnieje";
    case EACCES:
    case EPERM: return "brak dostępu";
    case EISDIR: return "to jest folder";
    case ENOTDIR: return "część ścieżki nie jest folderem";
    case ENOSPC: return "brak miejsca na dysku";
    case EDQUOT: return "przekroczony przydział miejsca na dysku";
    case EROFS: return "nośnik tylko do odczytu";
    case EEXIST: return "plik już istnieje";
    case EMFILE:
    case ENFILE: return "za dużo otwartych plików";
    case ENAMETOOLONG: return "za długa nazwa pliku";
    case EIO: return "błąd wejścia-wyjścia";
    case EBUSY: return "plik jest zajęty";
    case EBADF: return "nieprawidłowy deskryptor pliku";
    case ENOLCK: return "brak blokad plików";
    case EOPNOTSUPP: return "operacja nieobsługiwana przez system plików";
    default: return Format("błąd systemu nr %d", error);
    }
}

AnsiString HostBinariesFolder()
{
    const char* value = std::getenv("ORVWIN_BINARIA");
    return value ? AnsiString(value) : AnsiString();
}
