// Everything the library keeps across host calls, in one place. The host
// calls one export at a time; a careless one that calls from two threads
// must still not corrupt it, so what registration and release change is
// kept under a lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <utility>

class Clock;
class TMLgExtTools;
class TVelLibrary;

struct ProcessState {
    // Guards the library objects handed out: the two fields below and each
    // object's count of calls running on it.
    std::mutex LibraryLock;
    // The most recently registered library object.
    TVelLibrary* Library = nullptr;
    // Every library object handed to the host and not yet released: a handle
    // outside this set is never followed.
    std::set<const void*> IssuedLibraries;
    // The text tool of that library as it stood at registration (always
    // none: callback 34 arrives later), through which the Combo/NEO driver's
    // own texts are looked up, so they keep their Polish defaults.
    std::atomic<const TMLgExtTools*> DriverTextTool = nullptr;
    // The component package's language, as the host set it.
    std::atomic<int> ComponentLanguage = 0;
    // The host's window, owner of the library's dialogs: an X11 window id
    // handed over at registration; 0 leaves them without one.
    std::atomic<uintptr_t> OwnerWindow = 0;
    // The folders an operation works in (device and inode), each held by
    // one operation at a time (TFolderLock), and the lock over that table.
    std::mutex FoldersLock;
    std::set<std::pair<uint64_t, uint64_t>> FoldersHeld;
    // A test's replacement for the system clock (none in production).
    Clock* ClockOverride = nullptr;
};

ProcessState& Process();
