#include "mfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "emexception.h"
#include "sysfiles.h"

namespace {
constexpr size_t ReadChunk = 65536;

// The first whole `terminator` in data[0, size), or null. Its first byte is
// looked for many bytes at a time, which a search for the whole of a short
// terminator does not do; the rest, a byte or two, is compared in place
// rather than by a call for each line.
const char* Find(const char* data, size_t size, const AnsiString& terminator)
{
    const char* const end = data + size;
    const size_t k = terminator.size();
    for (const char* at = data;; ++at) {
        at = static_cast<const char*>(std::memchr(at, terminator[0], static_cast<size_t>(end - at)));
        if (!at || static_cast<size_t>(end - at) < k) return nullptr;
        size_t same = 1;
        while (same < k && at[same] == terminator[same]) ++same;
        if (same == k) return at;
    }
}
}  // namespace

TMFile::~TMFile() { Release(); }

void TMFile::Fail(const char* code, const char* title, int error) const
{
    throw EMException(code, title, "Plik \"" + FPath + "\": " + SysErrorMessage(error));
}

void TMFile::RequireOpen() const
{
    if (FFd < 0) throw EMException("MFILE-CLOSED", "Błąd dostępu do pliku", "Plik \"" + FPath + "\" nie jest otwarty");
}

void TMFile::Open()
{
    Close();
    const int flags = FReadOnly ? O_RDONLY : FCreate ? O_RDWR | O_CREAT : O_RDWR;
    int fd = -1;
    do {
        fd = FPath.empty() ? -1 : ::open(FPath.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) Fail("MFILE-OPEN", "Błąd otwarcia pliku", FPath.empty() ? ENOENT : errno);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        Fail("MFILE-OPEN", "Błąd otwarcia pliku", EISDIR);
    }
    FFd = fd;
    FPointer = 0;
    FBuffer.clear();
}

bool TMFile::Identity(uint64_t& device, uint64_t& inode) const
{
    struct stat st {};
    if (FFd < 0 || ::fstat(FFd, &st) != 0) return false;
    device = st.st_dev;
    inode = st.st_ino;
    return true;
}

void TMFile::SetWriteBuffer(size_t bytes)
{
    if (FFd >= 0) WriteHeld();
    FHeldLimit = bytes;
    FHeld.reserve(bytes);
}

void TMFile::Close()
{
    if (FFd < 0) return;
    try {
        WriteHeld();
    } catch (...) {
        Release();
        throw;
    }
    Release();
}

void TMFile::Release()
{
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
    FPointer = 0;
    FBuffer.clear();
    FHeld.clear();
}

int64_t TMFile::GetSize() const
{
    RequireOpen();
    struct stat st {};
    if (::fstat(FFd, &st) != 0) Fail("MFILE-READ", "Błąd odczytu pliku", errno);
    // Bytes held back past the end make the file longer already.
    if (FHeld.empty()) return st.st_size;
    return std::max<int64_t>(st.st_size, FHeldStart + static_cast<int64_t>(FHeld.size()));
}

void TMFile::SetPointer(int64_t position)
{
    RequireOpen();
    if (position < 0) Fail("MFILE-SEEK", "Błąd pozycji w pliku", EINVAL);
    FPointer = position;
}

void TMFile::Write(const void* bytes, int64_t count)
{
    RequireOpen();
    if (FReadOnly) Fail("MFILE-WRITE", "Błąd zapisu pliku", EBADF);
    FBuffer.clear();
    if (count <= 0) return;
    const char* p = static_cast<const char*>(bytes);
    // Only bytes that go on where the held ones end join them.
    if (!FHeld.empty() && FPointer != FHeldStart + static_cast<int64_t>(FHeld.size())) WriteHeld();
    if (static_cast<size_t>(count) > FHeldLimit - FHeld.size()) {
        WriteHeld();
        if (static_cast<size_t>(count) >= FHeldLimit) {
            WriteAt(p, count, FPointer);
            FPointer += count;
            return;
        }
    }
    if (FHeld.empty()) FHeldStart = FPointer;
    FHeld.append(p, static_cast<size_t>(count));
    FPointer += count;
}

void TMFile::WriteAt(const char* bytes, int64_t count, int64_t at)
{
    while (count > 0) {
        const ssize_t n = ::pwrite(FFd, bytes, static_cast<size_t>(count), at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail("MFILE-WRITE", "Błąd zapisu pliku", n < 0 ? errno : ENOSPC);
        bytes += n;
        count -= n;
        at += n;
    }
}

void TMFile::WriteHeld()
{
    if (FHeld.empty()) return;
    // Nothing stays held after a failure: the caller hears of it once.
    try {
        WriteAt(FHeld.data(), static_cast<int64_t>(FHeld.size()), FHeldStart);
    } catch (...) {
        FHeld.clear();
        throw;
    }
    FHeld.clear();
}

void TMFile::WriteLine(const AnsiString& text, const AnsiString& end)
{
    const AnsiString line = text + end;
    Write(line.data(), static_cast<int64_t>(line.size()));
}

bool TMFile::FillBuffer()
{
    const int64_t bufferEnd = FBufferStart + static_cast<int64_t>(FBuffer.size());
    if (!FBuffer.empty() && FPointer >= FBufferStart && FPointer < bufferEnd) return true;
    FBuffer.resize(ReadChunk);
    ssize_t n = 0;
    do {
        n = ::pread(FFd, FBuffer.data(), ReadChunk, FPointer);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        FBuffer.clear();
        Fail("MFILE-READ", "Błąd odczytu pliku", errno);
    }
    FBuffer.resize(static_cast<size_t>(n));
    FBufferStart = FPointer;
    return n > 0;
}

bool TMFile::ReadLine(AnsiString& text, const AnsiString& end)
{
    RequireOpen();
    WriteHeld();
    const AnsiString& terminator = end.empty() ? AnsiString("\r\n") : end;
    const size_t k = terminator.size();
    text.clear();
    bool any = false;
    while (FillBuffer()) {
        const char* data = FBuffer.data() + (FPointer - FBufferStart);
        const size_t available = FBuffer.size() - static_cast<size_t>(FPointer - FBufferStart);
        if (!text.empty() && k > 1) {
            // A line end that began in the previous chunk.
            const size_t tailSize = std::min(text.size(), k - 1);
            const AnsiString seam = text.substr(text.size() - tailSize) + AnsiString(data, std::min(available, k - 1));
            const size_t at = seam.find(terminator);
            if (at != AnsiString::npos && at < tailSize) {
                text.resize(text.size() - tailSize + at);
                FPointer += static_cast<int64_t>(at + k - tailSize);
                return true;
            }
        }
        const char* found = Find(data, available, terminator);
        if (found) {
            const size_t length = static_cast<size_t>(found - data);
            text.append(data, length);
            FPointer += static_cast<int64_t>(length + k);
            return true;
        }
        text.append(data, available);
        FPointer += static_cast<int64_t>(available);
        any = true;
    }
    return any;
}

bool TMFile::ReadLine(std::string_view& line, const AnsiString& end)
{
    RequireOpen();
    WriteHeld();
    const AnsiString& terminator = end.empty() ? AnsiString("\r\n") : end;
    if (FillBuffer()) {
        const char* data = FBuffer.data() + (FPointer - FBufferStart);
        const size_t available = FBuffer.size() - static_cast<size_t>(FPointer - FBufferStart);
        if (const char* found = Find(data, available, terminator)) {
            line = std::string_view(data, static_cast<size_t>(found - data));
            FPointer += static_cast<int64_t>(line.size() + terminator.size());
            return true;
        }
    }
    // A line that goes on past the bytes read ahead, or the last one.
    const bool any = ReadLine(FLine, terminator);
    line = FLine;
    return any;
}

int64_t TMFile::Read(void* bytes, int64_t count)
{
    RequireOpen();
    WriteHeld();
    FBuffer.clear();
    ssize_t n = 0;
    do {
        n = ::pread(FFd, bytes, static_cast<size_t>(std::max<int64_t>(count, 0)), FPointer);
    } while (n < 0 && errno == EINTR);
    if (n < 0) Fail("MFILE-READ", "Błąd odczytu pliku", errno);
    FPointer += n;
    return n;
}

void TMFile::SetEof()
{
    RequireOpen();
    WriteHeld();
    FBuffer.clear();
    if (::ftruncate(FFd, FPointer) != 0) Fail("MFILE-WRITE", "Błąd zapisu pliku", errno);
}

void TMFile::Flush()
{
    RequireOpen();
    WriteHeld();
}

void TMFile::Sync()
{
    Flush();
    int result = 0;
    do {
        result = ::fdatasync(FFd);
    } while (result != 0 && errno == EINTR);
    if (result != 0) Fail("MFILE-SYNC", "Błąd zapisu pliku na dysk", errno);
}

void TMFile::SyncFolderOf(const AnsiString& path)
{
    AnsiString folder = ExtractFilePath(path);
    if (folder.empty()) folder = ".";
    if (SyncFolder(folder)) return;
    const int error = errno;
    throw EMException("MFILE-SYNC", "Błąd zapisu katalogu na dysk",
                      "Katalog \"" + folder + "\": " + SysErrorMessage(error));
}

void TMFile::ReadStringsFromFile(const AnsiString& path, TStringList& list, int mode)
{
    list.SetText(ReadWholeFile(path, mode));
}

AnsiString TMFile::ReadWholeFile(const AnsiString& path, int mode)
{
    TMFile file;
    file.SetPath(path);
    file.SetReadOnly(true);
    file.Open();
    const size_t chunk = mode > 0 && mode <= (1 << 20) ? static_cast<size_t>(mode) : ReadChunk;
    // Sized for the whole file at once and read straight into, so that it is
    // never held twice nor copied; a file that grows meanwhile is read on.
    AnsiString all(static_cast<size_t>(std::max<int64_t>(file.GetSize(), 0)), '\0');
    size_t got = 0;
    for (;;) {
        if (got == all.size()) all.resize(got + chunk);
        const int64_t n = file.Read(all.data() + got, static_cast<int64_t>(std::min(chunk, all.size() - got)));
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    all.resize(got);
    return all;
}
