#include "folderlock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

}  // namespace

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
    if (result == 0) return fl_Taken;
    FError = errno;
    if (FError == EWOULDBLOCK) {
        Release();
        return fl_Busy;
    }
    // Only a file system that keeps no locks at all is worked in unguarded
    // between processes: the process's table still holds. ENOLCK on a file
    // open only for reading may as well be a refusal of that descriptor,
    // and any other error may hide a holder: refused.
    if (FError == EOPNOTSUPP || (FError == ENOLCK && !readOnly)) {
        ::close(FFd);
        FFd = -1;
        return fl_NotLockable;
    }
    Release();
    return readOnly ? fl_NotLockedReadOnly : fl_NotLocked;
}

void TFolderLock::Release()
{
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
    if (!FInTable) return;
    std::lock_guard<std::mutex> guard(Process().FoldersLock);
    Process().FoldersHeld.erase({FDevice, FInode});
    FInTable = false;
}
