#include "folderlock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "process_state.h"

TFolderLock::Result TFolderLock::Take(const AnsiString& folder, const AnsiString& lockFileName)
{
    Release();
    FError = 0;
    const AnsiString dir = folder.empty() ? AnsiString(".") : folder;
    struct stat st {};
    const bool found = ::stat(dir.c_str(), &st) == 0;
    if (!found || !S_ISDIR(st.st_mode)) {
        FError = found ? ENOTDIR : errno;
        return fl_NoFolder;
    }
    {
        std::lock_guard<std::mutex> guard(Process().FoldersLock);
        if (!Process().FoldersHeld.insert({st.st_dev, st.st_ino}).second) return fl_Busy;
    }
    FInTable = true;
    FDevice = st.st_dev;
    FInode = st.st_ino;

    AnsiString path = dir;
    if (path.back() != '/' && path.back() != '\\') path += "/";
    path += lockFileName;
    // A folder where this account may not create files may still hold the
    // lock file: reading is enough to lock it.
    FFd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (FFd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
        FFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
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
    // No locks on this file system: the process's table still holds.
    ::close(FFd);
    FFd = -1;
    return fl_NotLockable;
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
