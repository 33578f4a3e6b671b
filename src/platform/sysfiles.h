// The framework's file and folder functions, and the host's binaries folder.
// Paths use "/"; a folder "ends with a separator" when it ends with "/" or "\".
#pragma once

#include <cstdint>

#include "sysutils.h"

// A plain file (or a link to one) exists; false for a folder.
bool FileExists(const AnsiString& path);
bool DirectoryExists(const AnsiString& path);
// Creates the folder with every missing parent, each synced into its own;
// true when it exists afterwards, else errno tells why.
bool ForceDirectories(const AnsiString& path);
// Puts the folder's names on the disk, as a power cut finds them; false with
// errno set when it cannot.
bool SyncFolder(const AnsiString& folder);
// Removes a file (not a folder); false when it cannot.
bool DeleteFile(const AnsiString& path);
// The file system's identity (device and inode) of what the path leads to;
// false when it leads nowhere.
bool FileIdentity(const AnsiString& path, uint64_t& device, uint64_t& inode);
// A forecast whether this process may remove the file, from its folder's
// permissions and sticky bit and the file's own flags: true for a missing
// file. The removal itself may still fail, and is checked where it is done.
bool MayRemove(const AnsiString& path);
// Whether this process may open the file for writing (a file only appended
// to, or one that may not change, refuses), trying it; error: the reason
// when not. True for a missing file.
bool MayWrite(const AnsiString& path, int& error);
// Gives the file `from` the name `to`; false when it cannot, and also when
// something named `to` already exists (it is never overwritten).
bool RenameFile(const AnsiString& from, const AnsiString& to);
// Copies a file. With `failIfExists` an existing `to` makes it fail; else
// `to` is replaced whole (written under a working name, then renamed over),
// so a failed copy leaves the old `to` as it was.
bool CopyFile(const AnsiString& from, const AnsiString& to, bool failIfExists);

// Everything up to and including the last separator ("/" or "\"); empty
// when there is none.
AnsiString ExtractFilePath(const AnsiString& path);
// Everything after the last separator.
AnsiString ExtractFileName(const AnsiString& path);
bool EndsWithPathDelimiter(const AnsiString& path);
// The path with "/" appended unless it already ends with a separator (an
// empty path gives "/", as the framework's function does).
AnsiString IncludeTrailingPathDelimiter(const AnsiString& path);

// The working name beside `path` under which a whole new file is written
// before it is renamed over `path`.
AnsiString WorkingFileName(const AnsiString& path);

// Writes the whole of the bytes, whatever number of writes it takes; false
// with errno set when a write fails.
bool WriteAll(int fd, const char* data, size_t size);

// This machine's name as the system gives it ("" when it gives none).
AnsiString MachineName();
// Whether a process of this machine is running (a process that ended and
// waits for its parent is not).
bool ProcessRunning(int pid);
// A name of this process's own beside `base`: `base`, this machine's name
// and the process id, each after a ".", so that no other process, of this
// machine or another reaching the folder, takes it.
AnsiString ProcessFileName(const AnsiString& base);
// Removes the files named so by processes of this machine that are no
// longer running (a host killed while it had one), and this process's own:
// a process works with one such file at a time.
void RemoveFilesOfEndedProcesses(const AnsiString& base);

// A Polish text for a system error number (errno).
AnsiString SysErrorMessage(int error);

// The host's registered binaries folder: the environment variable
// ORVWIN_BINARIA exactly as set; empty when unset.
AnsiString HostBinariesFolder();
