// One operation at a time in a folder. The lock file beside the folder's
// other files is held with flock, which the kernel gives back when the
// process ends however it ends, so a killed host leaves no stale lock; the
// file itself is never deleted (deleting it would let a second operation
// lock a new file while the first still holds the old one). Within one
// process a table of the folders held decides, whatever the file system
// makes of two locks of one process: a second library handle, or a call
// from inside a host callback, meets the folder busy. A lock file this
// process creates is open to every account (0666), so that whoever works in
// the folder can lock it.
#pragma once

#include <cstdint>

#include "sysutils.h"

class TFolderLock {
public:
    enum Result {
        fl_Taken,
        // Another operation, in this process or another, works in the folder.
        fl_Busy,
        // The folder is not there or cannot be reached (Error() tells why).
        fl_NoFolder,
        // The lock file can be neither created nor opened (Error() tells why).
        fl_NoLockFile,
        // The file system refused the lock (Error() tells why), so another
        // process may hold it.
        fl_NotLocked,
        // The same with the lock file open only for reading, which some file
        // systems (an NFSv4 client) never lock: write access to it helps.
        fl_NotLockedReadOnly,
        // The file system keeps no locks at all (Error() is EOPNOTSUPP, or
        // ENOLCK for a file open for writing): only the table of this
        // process guards the folder.
        fl_NotLockable,
    };

    TFolderLock() = default;
    ~TFolderLock() { Release(); }
    TFolderLock(const TFolderLock&) = delete;
    TFolderLock& operator=(const TFolderLock&) = delete;

    // Takes the folder for this object; fl_NotLockable holds it for this
    // process only. Nothing is held after any other result.
    Result Take(const AnsiString& folder, const AnsiString& lockFileName);
    void Release();
    int Error() const { return FError; }

private:
    int FFd = -1;
    bool FInTable = false;
    uint64_t FDevice = 0, FInode = 0;
    int FError = 0;
};
