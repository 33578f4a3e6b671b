// One operation at a time in a folder, between the processes of every
// machine that reaches it, whatever its file system. Two locks keep it:
// - The lock file (the name given) held with flock, which the kernel gives
//   back when the process ends however it ends. The file itself is never
//   deleted (deleting it would let a second operation lock a new file while
//   the first still holds the old one). flock answers success on some
//   network and FUSE file systems while it excludes only this machine's
//   processes, and on others keeps no locks at all.
// - The holder file (the lock file's name followed by ".held"), which names
//   the machine and process holding the folder. A file of this process's own
//   is written and then linked to that name, which one process alone
//   succeeds in on every file system that keeps hard links, a network share
//   included; where there are none, it is created exclusively. The holder
//   rewrites it every refresh period, from a thread of its own: an
//   operation can wait minutes inside a host callback or for a register,
//   and must not look abandoned meanwhile. It is removed when the folder is
//   given back.
// A holder file left by a process of this machine that is no longer running
// (a killed host) is removed at once. One of another machine is taken as
// left behind only when it has not been rewritten for five refresh periods:
// this machine cannot see whether that process still runs, and network file
// systems may show a file's time up to a minute late. Its age is measured
// on the file server's clock, by the time of a file this process has just
// written, so the machines' clocks need not agree.
// Within one process a table of the folders held decides, whatever the file
// system makes of two locks of one process: a second library handle, or a
// call from inside a host callback, meets the folder busy. A lock file this
// process creates is open to every account (0666), so that whoever works in
// the folder can lock it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "sysutils.h"

class TFolderLock {
public:
    enum Result {
        fl_Taken,
        // Another operation, in this process or another, of this machine or
        // another, works in the folder.
        fl_Busy,
        // The folder is not there or cannot be reached (Error() tells why).
        fl_NoFolder,
        // The lock file or the holder file (File()) can be neither created
        // nor opened (Error() tells why).
        fl_NoLockFile,
        // The file system refused the lock (Error() tells why), so another
        // process may hold it.
        fl_NotLocked,
        // The same with the lock file open only for reading, which some file
        // systems (an NFSv4 client) never lock: write access to it helps.
        fl_NotLockedReadOnly,
    };

    // The holder file is rewritten every refreshPeriod.
    explicit TFolderLock(std::chrono::milliseconds refreshPeriod = std::chrono::minutes(1));
    ~TFolderLock() { Release(); }
    TFolderLock(const TFolderLock&) = delete;
    TFolderLock& operator=(const TFolderLock&) = delete;

    // Takes the folder for this object. Nothing is held after any result but
    // fl_Taken.
    Result Take(const AnsiString& folder, const AnsiString& lockFileName);
    void Release();
    int Error() const { return FError; }
    // The file the last failure concerns.
    const AnsiString& File() const { return FFile; }

private:
    Result TakeHolderFile(const AnsiString& holder);
    bool LeftBehind(const AnsiString& holder, const struct stat& there, const struct stat& now) const;
    void KeepRefreshing() noexcept;

    const std::chrono::milliseconds FRefresh;
    int FFd = -1;
    bool FInTable = false;
    uint64_t FDevice = 0, FInode = 0;
    int FError = 0;
    AnsiString FFile;
    // The holder file while this object holds it, open for its refreshing.
    AnsiString FHolder;
    int FHolderFd = -1;
    AnsiString FHolderText;
    std::thread FRefresher;
    std::mutex FRefreshLock;
    std::condition_variable FStop;
    bool FStopping = false;
};
