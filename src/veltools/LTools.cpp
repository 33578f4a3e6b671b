// TLTools: files, archives and the trace log.
#include "LTools.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "dttools.h"
#include "emexception.h"
#include "mfile.h"
#include "sysfiles.h"

namespace {

const char* const Section = "veltools_LTools";

AnsiString Text(const TMLgExtTools* lg, const char* key, const char* fallback)
{
    return GetString(lg, Section, key, 0, fallback);
}

AnsiString NowAs(TdtFormat format) { return TdtTools(Now()).ToString(format); }

// Opens `path` for writing with the pointer at its end.
void OpenForAppend(TMFile& file, const AnsiString& path)
{
    file.SetPath(path);
    file.SetReadOnly(false);
    file.Open();
    file.SetPointer(file.GetSize());
}

// The shift line under an export's archive header.
const char* KindLine(int kind)
{
    switch (kind) {
    case 0: return "OTWARTA ZM. FISK.";
    case 1: return "ZAMKNIETA ZM. FISK.";
    case 2: return "WSZYSTKIE";
    case 3: return "ZMIANA LISTY";
    default: return nullptr;
    }
}

// Runs the writes of an append; when one fails the file is cut back to its
// size before them, so a full disk never leaves a record cut mid-line.
template <typename Writes>
void AppendWhole(TMFile& file, Writes writes)
{
    const int64_t before = file.GetSize();
    try {
        writes();
    } catch (...) {
        try {
            file.SetPointer(before);
            file.SetEof();
        } catch (...) {
            // The first failure is the one to report.
        }
        throw;
    }
}

AnsiString ReasonOf(const Exception& e)
{
    const auto* em = dynamic_cast<const EMException*>(&e);
    return em ? em->GetDescription() : e.Message();
}

}  // namespace

void TLTools::BufToFile(const AnsiString& text, const AnsiString& path, bool durable)
{
    TMFile file;
    file.SetPath(path);
    file.SetReadOnly(false);
    file.Open();
    file.SetEof();
    file.Write(text.data(), static_cast<int64_t>(text.size()));
    if (durable) file.Sync();
    file.Close();
}

void TLTools::BufToAppendFile(const AnsiString& text, const AnsiString& path, bool durable)
{
    TMFile file;
    OpenForAppend(file, path);
    AppendWhole(file, [&] { file.Write(text.data(), static_cast<int64_t>(text.size())); });
    if (durable) file.Sync();
    file.Close();
}

void TLTools::RenFile(const AnsiString& from, const AnsiString& to, const TMLgExtTools* lg)
{
    // rename() puts the new file in place of an old one in one step, so the
    // old one is never deleted first; only a folder in the way cannot go.
    if (DirectoryExists(to)) throw Exception(Text(lg, "TLToolsRenFileExceptio", "Błąd usunięcia pliku ") + to);
    if (from.empty() || to.empty() || ::rename(from.c_str(), to.c_str()) != 0)
        throw Exception(Text(lg, "TLToolsRenFileExceptio_00001", "Błąd zmiany nazwy pliku") + to);
}

void TLTools::BufToFileEx(const AnsiString& text, const AnsiString& path, const AnsiString& work,
                          const TMLgExtTools* lg, bool append, bool durable)
{
    try {
        if (append && FileExists(path)) {
            // A copy, not a move: the final file stays until the new one is whole.
            if (!CopyFile(path, work, false))
                throw Exception(Text(lg, "TLToolsBufToFilExceptio", "Błąd kopiowania pliku ") + path);
            BufToAppendFile(text, work, durable);
        } else {
            BufToFile(text, work, durable);
        }
        RenFile(work, path, lg);
    } catch (...) {
        DeleteFile(work);
        throw;
    }
    // Renamed, the new file is the one in force: a folder that cannot be
    // synced is reported, and the file is not taken back.
    if (durable) TMFile::SyncFolderOf(path);
}

void TLTools::ArchiveFile(const AnsiString& src, const AnsiString& arc, const TMLgExtTools* lg, bool isExport,
                          int kind, bool header, const AnsiString& extra)
{
    if (!FileExists(src)) return;
    TMFile in;
    in.SetPath(src);
    in.SetReadOnly(true);
    in.Open();
    TMFile out;
    OpenForAppend(out, arc);

    AnsiString chunk;
    if (header) {
        const AnsiString stamp = NowAs(fmt4YDateTime);
        if (isExport) {
            chunk += Text(lg, "TLToolsArchiveFExport", "\r\n----------- [EKSPORT WYKONANY DNIA: ") + stamp +
                     Text(lg, "TLToolsArchiveFExport_00001", "] ------------") + "\r\n";
            if (const char* line = KindLine(kind)) {
                const AnsiString key = Format("TLToolsArchiveFKind_%05d", kind);
                chunk += GetString(lg, Section, key, 0, line) + "\r\n";
            }
        } else {
            chunk += Text(lg, "TLToolsArchiveFImport", "\r\n------------ [IMPORT WYKONANY DNIA: ") + stamp +
                     Text(lg, "TLToolsArchiveFImport_00001", "] ------------") + "\r\n";
        }
    }
    if (!extra.empty()) chunk += extra + "\r\n";

    // The source goes over in large blocks as it is: lines are only looked
    // for in the last two bytes, which must end the archive with a line end.
    constexpr int64_t Block = 1 << 20;
    AppendWhole(out, [&] {
        out.Write(chunk.data(), static_cast<int64_t>(chunk.size()));
        std::vector<char> block(Block);
        char tail[2] = {};
        int64_t copied = 0;
        for (int64_t n; (n = in.Read(block.data(), Block)) > 0; copied += n) {
            out.Write(block.data(), n);
            tail[0] = n >= 2 ? block[static_cast<size_t>(n - 2)] : tail[1];
            tail[1] = block[static_cast<size_t>(n - 1)];
        }
        if (copied > 0 && (tail[0] != '\r' || tail[1] != '\n')) out.Write("\r\n", 2);
    });
    out.Close();
    in.Close();
}

void TLTools::SaveListToFile(const TStringList* list, const AnsiString& path)
{
    if (!list) return;
    const AnsiString work = WorkingFileName(path);
    try {
        BufToFile(list->Text(), work);
        if (::rename(work.c_str(), path.c_str()) != 0) {
            const int error = errno;
            throw Exception(SysErrorMessage(error));
        }
    } catch (const Exception& e) {
        DeleteFile(work);
        throw Exception("Błąd zapisu pliku " + path + ": " + ReasonOf(e));
    }
}

bool TLTools::IsFile(const AnsiString& path) { return FileExists(path); }

AnsiString TLTools::GetDirShortPath(const AnsiString& path)
{
    return FileExists(path) || DirectoryExists(path) ? path : AnsiString();
}

AnsiString TLTools::WczytajSciezkeDoBinariow()
{
    const AnsiString folder = HostBinariesFolder();
    return folder.empty() ? folder : IncludeTrailingPathDelimiter(folder);
}

void TLTools::ArchiveFileUpdateFileNames(const AnsiString& path)
{
    const AnsiString folder = ExtractFilePath(path);
    const AnsiString name = ExtractFileName(path);
    const size_t dot = name.rfind('.');
    const AnsiString base = name.substr(0, dot);
    // A name without an extension has numbered copies without one.
    const AnsiString ext = dot == AnsiString::npos ? AnsiString() : name.substr(dot);
    const AnsiString head = base + "_";

    std::vector<std::pair<int64_t, AnsiString>> copies;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, error)) {
        const AnsiString file = entry.path().filename().string();
        if (file.size() <= head.size() + ext.size() || file.compare(0, head.size(), head) != 0 ||
            file.compare(file.size() - ext.size(), ext.size(), ext) != 0)
            continue;
        const AnsiString digits = file.substr(head.size(), file.size() - head.size() - ext.size());
        int64_t number = 0;
        if (!std::all_of(digits.begin(), digits.end(), IsAsciiDigit) || !TryStrToInt64(digits, number) ||
            number >= INT32_MAX)
            continue;
        copies.emplace_back(number, file);
    }
    // The highest number first: each copy moves to a name just left free.
    std::sort(copies.begin(), copies.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    for (const auto& [number, file] : copies) {
        const AnsiString to = folder + Format("%s_%04d%s", base.c_str(), static_cast<int>(number + 1), ext.c_str());
        if (!RenameFile(folder + file, to))
            throw Exception(Text(nullptr, "TLToolsRenFileExceptio_00001", "Błąd zmiany nazwy pliku") + to);
    }
}

void TLTools::InitDebug(const AnsiString& path, const TMLgExtTools* lg)
{
    dbg_fname = path;
    try {
        const AnsiString header = Text(lg, "TLToolsInitDebuHeader", "\r\n--- [KOMUNIKACJA Z DNIA: ") +
                                  NowAs(fmt4YDateTime) + Text(lg, "TLToolsInitDebuHeader_00001", "] ---") + "\r\n";
        BufToAppendFile(header, dbg_fname);
        czy_debug = true;
    } catch (...) {
        // The trace must never stop the operation it watches.
    }
}

void TLTools::DebugIt(const AnsiString& a, const AnsiString& b)
{
    if (!czy_debug) return;
    try {
        BufToAppendFile(NowAs(fmtTimeHMSms) + " " + a + " " + b + "\r\n", dbg_fname);
    } catch (...) {
        czy_debug = false;
    }
}

void TLTools::DebugItHex(const uint8_t* bytes, int count)
{
    if (!czy_debug) return;
    if (!bytes || count < 0) count = 0;
    AnsiString dump;
    const AnsiString time = NowAs(fmtTimeHMSms);
    int i = 0;
    do {
        AnsiString hex, chars;
        for (int j = 0; j < 16 && i + j < count; ++j) {
            const uint8_t b = bytes[i + j];
            hex += Format("%02X ", b);
            chars += b < 0x20 ? '.' : static_cast<char>(b);
        }
        hex.resize(48, ' ');
        chars.resize(16, ' ');
        dump += (i == 0 ? time : AnsiString(12, ' ')) + "   " + hex + "  " + chars + "\r\n";
        i += 16;
    } while (i < count);
    try {
        BufToAppendFile(dump, dbg_fname);
    } catch (...) {
        czy_debug = false;
    }
}
