// The package's text file: 8-bit bytes as they are, no line-end translation,
// reads and writes at a pointer the caller moves. Writes go to the system at
// once (no buffering of our own), so a written line is in the file even when
// the process dies right after; unless the owner asks for a write buffer.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "classes.h"
#include "sysutils.h"

class TMFile {
public:
    TMFile() = default;
    ~TMFile();
    TMFile(const TMFile&) = delete;
    TMFile& operator=(const TMFile&) = delete;

    void SetPath(const AnsiString& path) { FPath = path; }
    const AnsiString& GetPath() const { return FPath; }
    // True: open for reading only (the file must exist). False (the
    // default): open for reading and writing, creating a missing file.
    void SetReadOnly(bool readOnly) { FReadOnly = readOnly; }
    bool GetReadOnly() const { return FReadOnly; }
    // False: opening for writing does not create a missing file either
    // (the default: it does).
    void SetCreate(bool create) { FCreate = create; }

    // Writes gather in memory up to `bytes` and go to the system in one
    // write when that is full, at Flush and Close, and before anything else
    // is done with the file (0, the default: each write goes at once). For a
    // file written under a working name and put in place when complete,
    // which a crash half-way cannot harm: a file destroyed without Close is
    // given up, and what it held back is dropped.
    void SetWriteBuffer(size_t bytes);

    // Opens the file with the pointer at 0; a file already open is closed
    // first. Throws EMException with a Polish text when it cannot.
    void Open();
    bool IsOpen() const { return FFd >= 0; }
    // The file system's identity of the file opened, whatever became of its
    // name since; false when nothing is open.
    bool Identity(uint64_t& device, uint64_t& inode) const;
    // Writes what is held back and closes; when that write fails, the file
    // is closed all the same and the failure thrown.
    void Close();

    int64_t GetSize() const;
    int64_t GetPointer() const { return FPointer; }
    // Any position from 0; the size is where appending starts.
    void SetPointer(int64_t position);

    // Writes at the pointer and moves it past the bytes.
    void Write(const void* bytes, int64_t count);
    // `text`, then `end` (for the driver's files "\r\n").
    void WriteLine(const AnsiString& text, const AnsiString& end = "\r\n");
    // The bytes from the pointer up to the next `end` (not included); the
    // pointer moves past it. A last line without `end` is still read; false
    // only when the pointer is at the end of the file already.
    bool ReadLine(AnsiString& text, const AnsiString& end = "\r\n");
    // The same line as a view, of the bytes read ahead where it lies whole
    // among them (no copy), else of a text the file keeps; valid until the
    // next call on the file.
    bool ReadLine(std::string_view& line, const AnsiString& end = "\r\n");
    // Up to `count` bytes from the pointer into `bytes`, the pointer moved
    // past them; how many were read, 0 at the end of the file.
    int64_t Read(void* bytes, int64_t count);
    // Cuts the file at the pointer.
    void SetEof();
    // Writes what is held back.
    void Flush();
    // Writes what is held back and puts the file's data on the disk, so that
    // a power cut takes none of it back. A failure throws, and then nothing
    // written since the last sync that succeeded is known to be on the disk.
    void Sync();
    // Puts the folder that holds `path` on the disk: a name made, renamed or
    // removed in it stays so after a power cut. Throws naming the folder.
    static void SyncFolderOf(const AnsiString& path);

    // The whole file as lines into `list` (emptied first), split at CR LF,
    // LF or CR as the string list does. `mode` is the size of the reading
    // chunks in bytes (0 or less: a default). A file that cannot be read
    // throws EMException.
    static void ReadStringsFromFile(const AnsiString& path, TStringList& list, int mode);
    // The whole file's bytes, read in chunks of `mode` bytes as above.
    static AnsiString ReadWholeFile(const AnsiString& path, int mode);

private:
    [[noreturn]] void Fail(const char* code, const char* title, int error) const;
    void RequireOpen() const;
    // Makes the read buffer hold the byte at the pointer; false at the end.
    bool FillBuffer();
    // Writes count bytes at position `at`.
    void WriteAt(const char* bytes, int64_t count, int64_t at);
    // Writes what is held back; nothing is held afterwards, also on failure.
    void WriteHeld();
    // Closes the descriptor, dropping what is held back.
    void Release();

    AnsiString FPath;
    bool FReadOnly = false;
    bool FCreate = true;
    int FFd = -1;
    int64_t FPointer = 0;
    // Bytes read ahead, starting at file position FBufferStart.
    std::vector<char> FBuffer;
    int64_t FBufferStart = 0;
    // The last line read as a view that did not lie whole in the buffer.
    AnsiString FLine;
    // Bytes held back for file position FHeldStart, at most FHeldLimit.
    size_t FHeldLimit = 0;
    AnsiString FHeld;
    int64_t FHeldStart = 0;
};
