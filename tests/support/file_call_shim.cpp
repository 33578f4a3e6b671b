// Preloaded into a host process (LD_PRELOAD) to cut it short at a chosen
// file call. It counts the calls that change files under the folders it
// watches -- a file opened for writing ("create" when the open made it),
// written, truncated, synced or closed, a name made, renamed or removed, a
// folder synced -- and at the N-th does one fault. After the call: kills the
// process, removes a folder, puts another file in place of one, renames a
// copy of it over it, drops the process's TCP link, or cuts the power. In
// place of the call, when it is a write-type one (any but a close, an open
// that makes no file, or a removed folder): fails it once, or fails it and
// every later one, as on a full disk (ENOSPC; EIO for a sync). Everything
// else passes through untouched.
//
// Set by the environment:
//   VELSHIM_WATCH   folders whose file calls count, separated by ':'
//   VELSHIM_TRACE   a file each counted call is appended to: "N op path", and
//                   " +link" while a TCP link is open, " !failed" when failed
//   VELSHIM_AT      the call of the fault (from 1); unset: none
//   VELSHIM_FAULT   kill (default), removeFolder, replaceFile, copyBack,
//                   dropLink, powerCut, failOnce, diskFull
//   VELSHIM_TARGET  the folder removeFolder removes, the file replaceFile or
//                   copyBack replaces
//   VELSHIM_DURABLE a folder where the shim keeps what a power cut leaves of
//                   the watched folders, as it was last synced. A file, kept
//                   as "INODE.GEN" when it is synced, holds what the disk
//                   holds of it; a folder, kept as "INODE.GEN.dir" when it is
//                   synced, lists "name<TAB>INODE.GEN<TAB>f|d" for each entry.
//                   A file or folder made while the shim runs has a GEN of
//                   its own (an inode number comes again); one there before
//                   is GEN 0, kept as it was, with the folders above the
//                   watched ones. A listed file never synced is empty.
//                   powerCut only kills: the test puts the folders back.
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
const char* g_durable = nullptr;
// Each inode the shim met and the generation of the file that has it now,
// 0 for one there before the shim (open addressing; a run makes few files).
struct Generation {
    ino_t inode;
    unsigned generation;
};
constexpr size_t kGenerations = 8192;
Generation g_generations[kGenerations];
unsigned g_lastGeneration = 0;

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

bool Fails(const char* fault)
{
    return strcmp(g_fault, fault) == 0;
}

// Each watched folder, or with `parent` the folder it is in, till `visit`
// says stop.
template <typename F>
bool AnyRoot(bool parent, F visit)
{
    if (!g_watch) return false;
    for (const char* from = g_watch; *from;) {
        const char* end = strchrnul(from, ':');
        size_t n = static_cast<size_t>(end - from);
        if (parent)
            while (n > 0 && from[n - 1] != '/') --n;
        if (parent && n > 1) --n;
        if (n > 0 && n < kPath) {
            char root[kPath];
            memcpy(root, from, n);
            root[n] = 0;
            if (visit(root)) return true;
        }
        from = *end ? end + 1 : end;
    }
    return false;
}

unsigned& GenerationOf(ino_t inode)
{
    size_t at = inode % kGenerations;
    for (size_t tried = 0; g_generations[at].inode != 0 && g_generations[at].inode != inode; ++tried) {
        if (tried == kGenerations) abort();
        at = (at + 1) % kGenerations;
    }
    g_generations[at].inode = inode;
    return g_generations[at].generation;
}

void DurableName(char (&name)[kPath], ino_t inode, const char* suffix)
{
    snprintf(name, sizeof name, "%s/%lu.%u%s", g_durable, static_cast<unsigned long>(inode), GenerationOf(inode),
             suffix);
}

// What the disk holds of a file once it is synced: its bytes now.
void KeepFile(const char* path, ino_t inode)
{
    char kept[kPath];
    DurableName(kept, inode, "");
    const int in = RealOpen(path, O_RDONLY | O_CLOEXEC, 0);
    const int out = RealOpen(kept, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    char buffer[65536];
    for (ssize_t n; in >= 0 && (n = read(in, buffer, sizeof buffer)) > 0;) RealWrite(out, buffer, static_cast<size_t>(n));
    if (in >= 0) RealClose(in);
    if (out >= 0) RealClose(out);
}

// What the disk holds of a folder once it is synced: its names now.
void KeepFolder(const char* path, ino_t inode)
{
    char kept[kPath];
    DurableName(kept, inode, ".dir");
    const int out = RealOpen(kept, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (DIR* dir = opendir(path)) {
        while (const dirent* entry = readdir(dir)) {
            if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
            char child[kPath], line[2 * kPath];
            snprintf(child, sizeof child, "%s/%s", path, entry->d_name);
            struct stat st {};
            if (lstat(child, &st) != 0) continue;
            const int size = snprintf(line, sizeof line, "%s\t%lu.%u\t%c\n", entry->d_name,
                                      static_cast<unsigned long>(st.st_ino), GenerationOf(st.st_ino),
                                      S_ISDIR(st.st_mode) ? 'd' : 'f');
            if (size > 0 && static_cast<size_t>(size) < sizeof line) RealWrite(out, line, static_cast<size_t>(size));
        }
        closedir(dir);
    }
    if (out >= 0) RealClose(out);
}

// Calls `each` with the path of every entry of the folder at `path`.
template <class Each>
void ForEachChild(const char* path, Each each)
{
    DIR* dir = opendir(path);
    if (!dir) return;
    while (const dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
        char child[kPath];
        snprintf(child, sizeof child, "%s/%s", path, entry->d_name);
        each(child);
    }
    closedir(dir);
}

// Whatever is there when the shim starts is on the disk.
void KeepTree(const char* path)
{
    struct stat st {};
    if (lstat(path, &st) != 0) return;
    if (!S_ISDIR(st.st_mode)) return KeepFile(path, st.st_ino);
    KeepFolder(path, st.st_ino);
    ForEachChild(path, KeepTree);
}

void Init()
{
    g_watch = getenv("VELSHIM_WATCH");
    if (const char* at = getenv("VELSHIM_AT")) g_at = atol(at);
    if (const char* fault = getenv("VELSHIM_FAULT")) g_fault = fault;
    if (const char* target = getenv("VELSHIM_TARGET")) g_target = target;
    if (const char* trace = getenv("VELSHIM_TRACE"))
        g_trace = RealOpen(trace, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    g_durable = getenv("VELSHIM_DURABLE");
    if (g_durable && *g_durable) {
        AnyRoot(true, [](const char* parent) {
            struct stat st {};
            if (stat(parent, &st) == 0) KeepFolder(parent, st.st_ino);
            return false;
        });
        AnyRoot(false, [](const char* root) {
            KeepTree(root);
            return false;
        });
    } else {
        g_durable = nullptr;
    }
}

// Every call that may change a watched file asks first: what was there
// before the first is what the disk held.
void Start()
{
    pthread_once(&g_once, Init);
}

bool Watched(const char* path)
{
    Start();
    if (!path) return false;
    return AnyRoot(false, [path](const char* root) {
        const size_t n = strlen(root);
        return strncmp(path, root, n) == 0 && (path[n] == '/' || path[n] == 0);
    });
}

// A folder a power cut can change: a watched one, or one a watched one is in.
bool WatchedFolder(const char* path)
{
    return Watched(path) || AnyRoot(true, [path](const char* parent) { return strcmp(path, parent) == 0; });
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
    ForEachChild(path, RemoveTree);
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
    } else if (strcmp(g_fault, "copyBack") == 0) {
        // A copy of the file as it is now, as a sync or backup tool writes it back.
        char other[kPath];
        snprintf(other, sizeof other, "%s.copy", g_target);
        const int in = RealOpen(g_target, O_RDONLY | O_CLOEXEC, 0);
        if (in < 0) return;
        const int out = RealOpen(other, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        char buffer[65536];
        for (ssize_t n; out >= 0 && (n = read(in, buffer, sizeof buffer)) > 0;)
            RealWrite(out, buffer, static_cast<size_t>(n));
        RealClose(in);
        if (out >= 0) RealClose(out);
        RealRename(other, g_target);
    } else if (strcmp(g_fault, "dropLink") == 0) {
        if (g_socket >= 0) shutdown(g_socket, SHUT_RDWR);
    } else if (!Fails("failOnce") && !Fails("diskFull")) {
        kill(getpid(), SIGKILL);
    }
}

void Trace(long n, const char* op, const char* path, const char* more)
{
    if (g_trace < 0) return;
    char line[2 * kPath + 64];
    const int size = snprintf(line, sizeof line, "%ld %s %s%s%s\n", n, op, path, g_socket >= 0 ? " +link" : "", more);
    if (size > 0) RealWrite(g_trace, line, static_cast<size_t>(size) < sizeof line ? size : sizeof line - 1);
}

// A write-type call asks before it is made whether it is to fail, and so
// counts as made: once at call N, or from call N on when the disk is full.
bool Refused(const char* op, const char* path)
{
    pthread_mutex_lock(&g_lock);
    const long n = g_calls + 1;
    const bool refused = g_at > 0 && ((Fails("failOnce") && n == g_at) || (Fails("diskFull") && n >= g_at));
    if (refused) {
        g_calls = n;
        Trace(n, op, path, " !failed");
    }
    pthread_mutex_unlock(&g_lock);
    if (refused) errno = strcmp(op, "sync") == 0 ? EIO : ENOSPC;
    return refused;
}
bool RefusedFd(const char* op, int fd)
{
    pthread_mutex_lock(&g_lock);
    char path[kPath] = "";
    if (Tracked(fd)) memcpy(path, g_fdPath[fd], kPath);
    pthread_mutex_unlock(&g_lock);
    return path[0] && Refused(op, path);
}

// One counted call, after it was made: traced, and the fault after the N-th.
void Count(const char* op, const char* path)
{
    pthread_mutex_lock(&g_lock);
    const long n = ++g_calls;
    Trace(n, op, path, "");
    if (n == g_at) Fault();
    pthread_mutex_unlock(&g_lock);
}

// A call on a descriptor counts when it did what it was asked on a watched
// file; a write-type one is made only when it is not to fail.
template <typename F>
auto OnFd(const char* op, int fd, F call) -> decltype(call())
{
    if (RefusedFd(op, fd)) return -1;
    const auto result = call();
    pthread_mutex_lock(&g_lock);
    if (result >= 0 && Tracked(fd)) Count(op, g_fdPath[fd]);
    pthread_mutex_unlock(&g_lock);
    return result;
}
// A call on a name counts when it changed one in a watched folder.
template <typename F>
int OnNamed(const char* op, const char* path, F call)
{
    const bool watched = Watched(path);
    // Only a call that would change something counts, so fails.
    struct stat there {};
    const bool changes = (lstat(path, &there) == 0) != (strcmp(op, "mkdir") == 0);
    if (watched && changes && strcmp(op, "rmdir") != 0 && Refused(op, path)) return -1;
    const int result = call();
    if (result == 0 && watched) {
        pthread_mutex_lock(&g_lock);
        struct stat st {};
        // A folder made is new to a power cut, whatever inode it had before.
        if (g_durable && strcmp(op, "mkdir") == 0 && stat(path, &st) == 0) GenerationOf(st.st_ino) = ++g_lastGeneration;
        Count(op, path);
        pthread_mutex_unlock(&g_lock);
    }
    return result;
}
// A rename is traced "from -> to".
template <typename F>
int OnRename(const char* from, const char* to, F call)
{
    if (!from || !to || !(Watched(from) || Watched(to))) return call();
    char both[2 * kPath];
    snprintf(both, sizeof both, "%s -> %s", from, to);
    // Only a rename that would change something counts, so fails.
    struct stat there {};
    if (lstat(from, &there) == 0 && Refused("rename", both)) return -1;
    const int result = call();
    if (result == 0) Count("rename", both);
    return result;
}
// A sync of a watched file or folder, and what a power cut keeps of it.
template <typename F>
int OnSync(int fd, F call)
{
    Start();
    char path[kPath] = "", link[64];
    struct stat st {};
    const bool folder = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    if (folder) {
        const ssize_t n = readlink(link, path, sizeof path - 1);
        path[n > 0 ? n : 0] = 0;
        if (!WatchedFolder(path)) path[0] = 0;
    } else {
        pthread_mutex_lock(&g_lock);
        if (Tracked(fd)) memcpy(path, g_fdPath[fd], kPath);
        pthread_mutex_unlock(&g_lock);
    }
    if (!path[0]) return call();
    if (Refused("sync", path)) return -1;
    const int result = call();
    if (result != 0) return result;
    pthread_mutex_lock(&g_lock);
    if (g_durable && folder) KeepFolder(path, st.st_ino);
    if (g_durable && !folder) KeepFile(link, st.st_ino);
    Count("sync", path);
    pthread_mutex_unlock(&g_lock);
    return result;
}

bool Writes(int flags)
{
    return (flags & O_ACCMODE) != O_RDONLY || (flags & (O_CREAT | O_TRUNC)) != 0;
}

// An open of a watched file for writing: "create" when it makes the file,
// and then a write-type call that may fail.
template <typename F>
int OnOpen(const char* path, int flags, F call)
{
    Start();
    const bool watched = Writes(flags) && Watched(path);
    struct stat st {};
    const bool makes = watched && (flags & O_CREAT) && lstat(path, &st) != 0;
    if (makes && Refused("create", path)) return -1;
    const int fd = call();
    pthread_mutex_lock(&g_lock);
    if (fd >= 0 && fd < kFds) g_fdPath[fd][0] = 0;
    if (fd >= 0 && watched) {
        if (g_durable && makes && fstat(fd, &st) == 0) GenerationOf(st.st_ino) = ++g_lastGeneration;
        Track(fd, path);
        Count(makes ? "create" : "open", path);
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
template <typename F>
int OnOpenAt(int dir, const char* path, int flags, F call)
{
    return dir == AT_FDCWD || path[0] == '/' ? OnOpen(path, flags, call) : call();
}

mode_t ModeOf(int flags, va_list args)
{
    return (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

// The flags of a stream's mode.
int FlagsOf(const char* mode)
{
    return mode[0] == 'r' ? (strchr(mode, '+') ? O_RDWR : O_RDONLY) : O_RDWR | O_CREAT;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    return OnOpen(path, flags, [&] { return RealOpen(path, flags, mode); });
}
int open64(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    REAL(open64, int (*)(const char*, int, ...));
    return OnOpen(path, flags, [&] { return next(path, flags, mode); });
}
int openat(int dir, const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    REAL(openat, int (*)(int, const char*, int, ...));
    return OnOpenAt(dir, path, flags, [&] { return next(dir, path, flags, mode); });
}
int openat64(int dir, const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    REAL(openat64, int (*)(int, const char*, int, ...));
    return OnOpenAt(dir, path, flags, [&] { return next(dir, path, flags, mode); });
}
int __open_2(const char* path, int flags)
{
    return OnOpen(path, flags, [&] { return RealOpen(path, flags, 0); });
}
int __open64_2(const char* path, int flags)
{
    return OnOpen(path, flags, [&] { return RealOpen(path, flags, 0); });
}

// A stream opens its file inside the C library, past open(): the host's
// files are written through streams.
FILE* fopen(const char* path, const char* mode)
{
    REAL(fopen, FILE * (*)(const char*, const char*));
    FILE* file = nullptr;
    OnOpen(path, FlagsOf(mode), [&] {
        file = next(path, mode);
        return file ? fileno(file) : -1;
    });
    return file;
}
FILE* fopen64(const char* path, const char* mode)
{
    REAL(fopen64, FILE * (*)(const char*, const char*));
    FILE* file = nullptr;
    OnOpen(path, FlagsOf(mode), [&] {
        file = next(path, mode);
        return file ? fileno(file) : -1;
    });
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
    return OnFd("write", fd, [&] { return RealWrite(fd, data, size); });
}
ssize_t pwrite(int fd, const void* data, size_t size, off_t at)
{
    REAL(pwrite, ssize_t(*)(int, const void*, size_t, off_t));
    return OnFd("write", fd, [&] { return next(fd, data, size, at); });
}
ssize_t pwrite64(int fd, const void* data, size_t size, off_t at)
{
    REAL(pwrite64, ssize_t(*)(int, const void*, size_t, off_t));
    return OnFd("write", fd, [&] { return next(fd, data, size, at); });
}
ssize_t writev(int fd, const struct iovec* parts, int count)
{
    REAL(writev, ssize_t(*)(int, const struct iovec*, int));
    return OnFd("write", fd, [&] { return next(fd, parts, count); });
}
int ftruncate(int fd, off_t size)
{
    REAL(ftruncate, int (*)(int, off_t));
    return OnFd("truncate", fd, [&] { return next(fd, size); });
}
int ftruncate64(int fd, off_t size)
{
    REAL(ftruncate64, int (*)(int, off_t));
    return OnFd("truncate", fd, [&] { return next(fd, size); });
}
int fsync(int fd)
{
    REAL(fsync, int (*)(int));
    return OnSync(fd, [&] { return next(fd); });
}
int fdatasync(int fd)
{
    REAL(fdatasync, int (*)(int));
    return OnSync(fd, [&] { return next(fd); });
}

int rename(const char* from, const char* to)
{
    return OnRename(from, to, [&] { return RealRename(from, to); });
}
int renameat(int fromDir, const char* from, int toDir, const char* to)
{
    REAL(renameat, int (*)(int, const char*, int, const char*));
    return OnRename(from, to, [&] { return next(fromDir, from, toDir, to); });
}
int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags)
{
    REAL(renameat2, int (*)(int, const char*, int, const char*, unsigned int));
    return OnRename(from, to, [&] { return next(fromDir, from, toDir, to, flags); });
}
int unlink(const char* path)
{
    return OnNamed("unlink", path, [&] { return RealUnlink(path); });
}
int unlinkat(int dir, const char* path, int flags)
{
    REAL(unlinkat, int (*)(int, const char*, int));
    return OnNamed("unlink", path, [&] { return next(dir, path, flags); });
}
int mkdir(const char* path, mode_t mode)
{
    REAL(mkdir, int (*)(const char*, mode_t));
    return OnNamed("mkdir", path, [&] { return next(path, mode); });
}
int rmdir(const char* path)
{
    return OnNamed("rmdir", path, [&] { return RealRmdir(path); });
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
