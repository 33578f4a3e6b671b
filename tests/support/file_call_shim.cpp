// Preloaded into a host process (LD_PRELOAD) to cut it short at a chosen
// file call. It counts the calls that change files under the folders it
// watches -- a file opened for writing, written, truncated, synced or closed,
// a name made, renamed or removed -- and right after the N-th does one fault:
// kills the process, removes a folder, puts another file in place of one, or
// drops the process's TCP link. Everything else passes through untouched.
//
// Set by the environment:
//   VELSHIM_WATCH   folders whose file calls count, separated by ':'
//   VELSHIM_TRACE   a file each counted call is appended to: "N op path", and
//                   " +link" while a TCP link is open
//   VELSHIM_AT      the call the fault follows (from 1); unset: none
//   VELSHIM_FAULT   kill (default), removeFolder, replaceFile, dropLink
//   VELSHIM_TARGET  the folder removeFolder removes, the file replaceFile replaces
//
// Under AddressSanitizer the sanitizer's runtime must come first in
// LD_PRELOAD; its interceptors then reach these, and these the C library.
#include <dirent.h>
#include <errno.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <type_traits>

namespace {

// Plain data only: calls come before any constructor of this library runs.
constexpr int kFds = 1024;
constexpr size_t kPath = 512;
char g_fdPath[kFds][kPath];  // a watched file open for writing: its path; else ""
int g_socket = -1;           // the last socket connected
// Over the table, the count and the fault: a call counts whole, in the order
// the calls return, from whichever thread.
pthread_mutex_t g_lock = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
pthread_once_t g_once = PTHREAD_ONCE_INIT;
long g_calls = 0;
long g_at = 0;
int g_trace = -1;
const char* g_watch = nullptr;
const char* g_fault = "kill";
const char* g_target = "";

template <typename F>
F Real(F& slot, const char* name)
{
    if (!slot) slot = reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
    return slot;
}
// The C library's function of that name, as `next`.
#define REAL(name, ...)                                             \
    static std::type_identity_t<__VA_ARGS__> real_##name = nullptr; \
    const auto next = Real(real_##name, #name)

int RealOpen(const char* path, int flags, mode_t mode)
{
    REAL(open, int (*)(const char*, int, ...));
    return next(path, flags, mode);
}
ssize_t RealWrite(int fd, const void* data, size_t size)
{
    REAL(write, ssize_t(*)(int, const void*, size_t));
    return next(fd, data, size);
}
int RealClose(int fd)
{
    REAL(close, int (*)(int));
    return next(fd);
}
int RealUnlink(const char* path)
{
    REAL(unlink, int (*)(const char*));
    return next(path);
}
int RealRmdir(const char* path)
{
    REAL(rmdir, int (*)(const char*));
    return next(path);
}
int RealRename(const char* from, const char* to)
{
    REAL(rename, int (*)(const char*, const char*));
    return next(from, to);
}

void Init()
{
    g_watch = getenv("VELSHIM_WATCH");
    if (const char* at = getenv("VELSHIM_AT")) g_at = atol(at);
    if (const char* fault = getenv("VELSHIM_FAULT")) g_fault = fault;
    if (const char* target = getenv("VELSHIM_TARGET")) g_target = target;
    if (const char* trace = getenv("VELSHIM_TRACE"))
        g_trace = RealOpen(trace, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

bool Watched(const char* path)
{
    pthread_once(&g_once, Init);
    if (!g_watch || !path) return false;
    for (const char* from = g_watch; *from;) {
        const char* end = strchrnul(from, ':');
        const size_t n = static_cast<size_t>(end - from);
        if (n > 0 && strncmp(path, from, n) == 0 && (path[n] == '/' || path[n] == 0)) return true;
        from = *end ? end + 1 : end;
    }
    return false;
}

bool Tracked(int fd)
{
    return fd >= 0 && fd < kFds && g_fdPath[fd][0] != 0;
}

void Track(int fd, const char* path)
{
    if (fd < 0 || fd >= kFds) return;
    strncpy(g_fdPath[fd], path, kPath - 1);
    g_fdPath[fd][kPath - 1] = 0;
}

void RemoveTree(const char* path)
{
    if (RealUnlink(path) == 0) return;
    if (DIR* dir = opendir(path)) {
        while (const dirent* entry = readdir(dir)) {
            if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
            char child[kPath];
            snprintf(child, sizeof child, "%s/%s", path, entry->d_name);
            RemoveTree(child);
        }
        closedir(dir);
    }
    RealRmdir(path);
}

void Fault()
{
    if (strcmp(g_fault, "removeFolder") == 0) {
        RemoveTree(g_target);
    } else if (strcmp(g_fault, "replaceFile") == 0) {
        char other[kPath];
        snprintf(other, sizeof other, "%s.other", g_target);
        const int fd = RealOpen(other, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) RealClose(fd);
        RealRename(other, g_target);
    } else if (strcmp(g_fault, "dropLink") == 0) {
        if (g_socket >= 0) shutdown(g_socket, SHUT_RDWR);
    } else {
        kill(getpid(), SIGKILL);
    }
}

// One counted call, after it was made: traced, and the fault after the N-th.
void Count(const char* op, const char* path)
{
    pthread_mutex_lock(&g_lock);
    const long n = ++g_calls;
    if (g_trace >= 0) {
        char line[2 * kPath + 64];
        const int size = snprintf(line, sizeof line, "%ld %s %s%s\n", n, op, path, g_socket >= 0 ? " +link" : "");
        if (size > 0) RealWrite(g_trace, line, static_cast<size_t>(size) < sizeof line ? size : sizeof line - 1);
    }
    if (n == g_at) Fault();
    pthread_mutex_unlock(&g_lock);
}

// A call on a descriptor counts when it did what it was asked on a watched file.
template <typename R>
R CountFd(const char* op, int fd, R result)
{
    pthread_mutex_lock(&g_lock);
    if (result >= 0 && Tracked(fd)) Count(op, g_fdPath[fd]);
    pthread_mutex_unlock(&g_lock);
    return result;
}
// A call on a name counts when it changed one in a watched folder.
int CountNamed(const char* op, const char* path, int result)
{
    if (result == 0 && Watched(path)) Count(op, path);
    return result;
}
// A rename is traced "from -> to".
int CountRename(const char* from, const char* to, int result)
{
    if (result != 0 || !(Watched(from) || Watched(to))) return result;
    char both[2 * kPath];
    snprintf(both, sizeof both, "%s -> %s", from, to);
    Count("rename", both);
    return result;
}

bool Writes(int flags)
{
    return (flags & O_ACCMODE) != O_RDONLY || (flags & (O_CREAT | O_TRUNC)) != 0;
}

int Opened(int fd, const char* path, int flags)
{
    pthread_mutex_lock(&g_lock);
    if (fd >= 0 && fd < kFds) g_fdPath[fd][0] = 0;
    if (fd >= 0 && Writes(flags) && Watched(path)) {
        Track(fd, path);
        Count("open", path);
    }
    pthread_mutex_unlock(&g_lock);
    return fd;
}

// Forgets what the descriptor was; its path, for the count once it is
// closed, when it was a watched file open for writing.
bool Closing(int fd, char (&path)[kPath])
{
    pthread_mutex_lock(&g_lock);
    path[0] = 0;
    if (fd == g_socket) g_socket = -1;
    const bool tracked = Tracked(fd);
    if (tracked) {
        memcpy(path, g_fdPath[fd], kPath);
        g_fdPath[fd][0] = 0;
    }
    pthread_mutex_unlock(&g_lock);
    return tracked;
}

// A file opened relative to a folder descriptor is one the host names by
// its path only when the folder is the current one or the path is absolute.
int OpenedAt(int fd, int dir, const char* path, int flags)
{
    return dir == AT_FDCWD || path[0] == '/' ? Opened(fd, path, flags) : fd;
}

mode_t ModeOf(int flags, va_list args)
{
    return (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    return Opened(RealOpen(path, flags, mode), path, flags);
}
int open64(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    REAL(open64, int (*)(const char*, int, ...));
    return Opened(next(path, flags, mode), path, flags);
}
int openat(int dir, const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    REAL(openat, int (*)(int, const char*, int, ...));
    return OpenedAt(next(dir, path, flags, mode), dir, path, flags);
}
int openat64(int dir, const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    REAL(openat64, int (*)(int, const char*, int, ...));
    return OpenedAt(next(dir, path, flags, mode), dir, path, flags);
}
int __open_2(const char* path, int flags)
{
    return Opened(RealOpen(path, flags, 0), path, flags);
}
int __open64_2(const char* path, int flags)
{
    return Opened(RealOpen(path, flags, 0), path, flags);
}

// A stream opens its file inside the C library, past open(): the host's
// files are written through streams.
FILE* fopen(const char* path, const char* mode)
{
    REAL(fopen, FILE * (*)(const char*, const char*));
    FILE* file = next(path, mode);
    if (file) Opened(fileno(file), path, mode[0] != 'r' || strchr(mode, '+') ? O_RDWR : O_RDONLY);
    return file;
}
FILE* fopen64(const char* path, const char* mode)
{
    REAL(fopen64, FILE * (*)(const char*, const char*));
    FILE* file = next(path, mode);
    if (file) Opened(fileno(file), path, mode[0] != 'r' || strchr(mode, '+') ? O_RDWR : O_RDONLY);
    return file;
}
int fclose(FILE* file)
{
    char path[kPath];
    const bool tracked = Closing(fileno(file), path);
    REAL(fclose, int (*)(FILE*));
    const int result = next(file);
    if (tracked && result == 0) Count("close", path);
    return result;
}

int close(int fd)
{
    char path[kPath];
    const bool tracked = Closing(fd, path);
    const int result = RealClose(fd);
    if (tracked && result == 0) Count("close", path);
    return result;
}

ssize_t write(int fd, const void* data, size_t size)
{
    return CountFd("write", fd, RealWrite(fd, data, size));
}
ssize_t pwrite(int fd, const void* data, size_t size, off_t at)
{
    REAL(pwrite, ssize_t(*)(int, const void*, size_t, off_t));
    return CountFd("write", fd, next(fd, data, size, at));
}
ssize_t pwrite64(int fd, const void* data, size_t size, off_t at)
{
    REAL(pwrite64, ssize_t(*)(int, const void*, size_t, off_t));
    return CountFd("write", fd, next(fd, data, size, at));
}
ssize_t writev(int fd, const struct iovec* parts, int count)
{
    REAL(writev, ssize_t(*)(int, const struct iovec*, int));
    return CountFd("write", fd, next(fd, parts, count));
}
int ftruncate(int fd, off_t size)
{
    REAL(ftruncate, int (*)(int, off_t));
    return CountFd("truncate", fd, next(fd, size));
}
int ftruncate64(int fd, off_t size)
{
    REAL(ftruncate64, int (*)(int, off_t));
    return CountFd("truncate", fd, next(fd, size));
}
int fsync(int fd)
{
    REAL(fsync, int (*)(int));
    return CountFd("sync", fd, next(fd));
}
int fdatasync(int fd)
{
    REAL(fdatasync, int (*)(int));
    return CountFd("sync", fd, next(fd));
}

int rename(const char* from, const char* to)
{
    return CountRename(from, to, RealRename(from, to));
}
int renameat(int fromDir, const char* from, int toDir, const char* to)
{
    REAL(renameat, int (*)(int, const char*, int, const char*));
    return CountRename(from, to, next(fromDir, from, toDir, to));
}
int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags)
{
    REAL(renameat2, int (*)(int, const char*, int, const char*, unsigned int));
    return CountRename(from, to, next(fromDir, from, toDir, to, flags));
}
int unlink(const char* path)
{
    return CountNamed("unlink", path, RealUnlink(path));
}
int unlinkat(int dir, const char* path, int flags)
{
    REAL(unlinkat, int (*)(int, const char*, int));
    return CountNamed("unlink", path, next(dir, path, flags));
}
int mkdir(const char* path, mode_t mode)
{
    REAL(mkdir, int (*)(const char*, mode_t));
    return CountNamed("mkdir", path, next(path, mode));
}
int rmdir(const char* path)
{
    return CountNamed("rmdir", path, RealRmdir(path));
}

int connect(int fd, const struct sockaddr* address, socklen_t size)
{
    REAL(connect, int (*)(int, const struct sockaddr*, socklen_t));
    // The register's link; a name service's local socket is not it.
    if (address && (address->sa_family == AF_INET || address->sa_family == AF_INET6)) g_socket = fd;
    return next(fd, address, size);
}

}  // extern "C"

// The answer of a file system to flock, set by VELSHIM_FLOCK apart from the
// faults above: "unsupported" fails every flock with EOPNOTSUPP, as a file
// system that keeps no locks; "unshared" answers success without excluding
// anyone, as a network or FUSE file system that locks for this machine
// alone while another machine works in the folder. Unset: the real flock.
extern "C" int flock(int fd, int operation)
{
    static const char* const answer = getenv("VELSHIM_FLOCK");
    if (answer && strcmp(answer, "unsupported") == 0) {
        errno = EOPNOTSUPP;
        return -1;
    }
    if (answer && strcmp(answer, "unshared") == 0) return 0;
    static int (*real)(int, int) = nullptr;
    return Real(real, "flock")(fd, operation);
}
