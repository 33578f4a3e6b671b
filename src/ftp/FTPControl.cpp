#include "FTPControl.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "sysfiles.h"

namespace {
const int DefaultTimeoutMs = 30000;

size_t AppendTo(char* data, size_t size, size_t count, void* text)
{
    static_cast<AnsiString*>(text)->append(data, size * count);
    return size * count;
}

// A name that would end an FTP command and start another.
void RequireOneLine(const AnsiString& name)
{
    if (name.find_first_of(AnsiString("\r\n\0", 3)) != AnsiString::npos)
        throw Exception("TFTPControl: niedozwolony znak końca linii w nazwie \"" + name + "\"");
}

std::vector<AnsiString> Words(const AnsiString& line)
{
    std::vector<AnsiString> words;
    for (size_t i = 0; i < line.size();) {
        const size_t start = line.find_first_not_of(' ', i);
        if (start == AnsiString::npos) break;
        i = std::min(line.find(' ', start), line.size());
        words.push_back(line.substr(start, i - start));
    }
    return words;
}

// Where the text after the first n words of a line starts.
AnsiString AfterWords(const AnsiString& line, size_t n)
{
    size_t i = 0;
    for (size_t w = 0; w < n; ++w) {
        i = line.find_first_not_of(' ', i);
        i = i == AnsiString::npos ? line.size() : std::min(line.find(' ', i), line.size());
    }
    const size_t at = line.find_first_not_of(' ', i);
    return at == AnsiString::npos ? AnsiString() : line.substr(at);
}

int MonthOf(const AnsiString& word)
{
    static const char* const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    for (int m = 0; m < 12; ++m)
        if (LowerCase(word) == months[m]) return m + 1;
    return 0;
}

// The items of a detailed listing in the Unix form ("drwxr-xr-x 2 u g 4096
// Dec  7 10:15 name", the group may be missing); other lines (a "total"
// line) are passed over.
struct Item {
    AnsiString line, name, size, date;
    bool dir = false;
};
std::vector<Item> ParseListing(const AnsiString& text)
{
    TStringList lines;
    lines.SetText(text);
    std::vector<Item> items;
    for (const AnsiString& line : lines) {
        const std::vector<AnsiString> words = Words(line);
        Item item;
        for (size_t m = 2; item.line.empty() && m + 3 < words.size(); ++m)
            if (MonthOf(words[m]) && IsAsciiDigit(words[m + 1][0])) {
                item = {line, AfterWords(line, m + 3), words[m - 1],
                        words[m] + " " + words[m + 1] + " " + words[m + 2], line[0] == 'd'};
                if (line[0] == 'l') item.name = item.name.substr(0, item.name.find(" -> "));
            }
        if (!item.name.empty()) items.push_back(item);
    }
    return items;
}
}  // namespace

// --- The listing model ------------------------------------------------------

void TFTPListingItems::AddFile(const AnsiString& name, const AnsiString& details, const AnsiString& size,
                               const AnsiString& date)
{
    int64_t bytes = 0;
    if (!TryStrToInt64(Trim(size), bytes)) bytes = 0;
    AddFile(name, details, bytes, ParseDate(date));
}

void TFTPListingItems::AddFile(const AnsiString& name, const AnsiString& details, int64_t size, TDateTime date)
{
    FItems.push_back({name, details, size, date});
}

const TFTPListingItem& TFTPListingItems::Get(int i) const
{
    if (i < 0 || i >= Count()) throw Exception("TFTPListingItems: rozmiar poza zakresem");
    return FItems[static_cast<size_t>(i)];
}

TDateTime TFTPListingItems::ParseDate(const AnsiString& text)
{
    const std::vector<AnsiString> words = Words(text);
    int month = 0, day = 0, year = 0, hour = 0, minute = 0;
    if (words.size() != 3 || (month = MonthOf(words[0])) == 0 || !TryStrToInt(words[1], day)) return 0;
    if (!TryStrToInt(words[2], year)) {
        if (std::sscanf(words[2].c_str(), "%2d:%2d", &hour, &minute) != 2) return 0;
        // No year: the date lies within the last year.
        int thisYear = 0, thisMonth = 0, today = 0;
        DecodeDate(Date(), thisYear, thisMonth, today);
        year = month > thisMonth || (month == thisMonth && day > today) ? thisYear - 1 : thisYear;
    }
    TDateTime value = 0;
    return TryEncodeDateTime(year, month, day, hour, minute, 0, 0, value) ? value : 0;
}

// --- The client -------------------------------------------------------------

TFTPControl::TFTPControl() = default;

TFTPControl::~TFTPControl()
{
    if (FCurl) curl_easy_cleanup(FCurl);
}

AnsiString TFTPControl::GetFTPControlVersionInfo()
{
    return AnsiString("libcurl ") + curl_version_info(CURLVERSION_NOW)->version;
}

void TFTPControl::OnStatusLocal(TFTPStatus, const AnsiString& text)
{
    if (OnStatus && FReportLevel != 0) OnStatus(text);
}

void TFTPControl::RequireConnected() const
{
    if (!FConnected) throw Exception("TFTPControl: brak połączenia z serwerem FTP");
}

void TFTPControl::Prepare(const AnsiString& path)
{
    curl_easy_reset(FCurl);
    const int ms = FTimeout > 0 ? FTimeout : DefaultTimeoutMs;
    const long seconds = (ms + 999) / 1000;
    const AnsiString host = FHost.find(':') != AnsiString::npos ? "[" + FHost + "]" : FHost;
    // An absolute path starts with an escaped "/" so that it is not taken as
    // relative to the login folder.
    AnsiString url = Format("ftp://%s:%d/", host.c_str(), FPort);
    size_t at = 0;
    if (!path.empty() && path[0] == '/') {
        url += "%2F";
        at = 1;
    }
    while (at < path.size()) {
        const size_t slash = path.find('/', at);
        const AnsiString segment = path.substr(at, slash == AnsiString::npos ? AnsiString::npos : slash - at);
        char* escaped = curl_easy_escape(FCurl, segment.data(), static_cast<int>(segment.size()));
        url += escaped;
        curl_free(escaped);
        if (slash == AnsiString::npos) break;
        url += "/";
        at = slash + 1;
    }
    curl_easy_setopt(FCurl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(FCurl, CURLOPT_USERNAME, FUser.c_str());
    curl_easy_setopt(FCurl, CURLOPT_PASSWORD, FPassword.c_str());
    curl_easy_setopt(FCurl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(FCurl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(ms));
    curl_easy_setopt(FCurl, CURLOPT_SERVER_RESPONSE_TIMEOUT, seconds);
    curl_easy_setopt(FCurl, CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(ms));
    curl_easy_setopt(FCurl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(FCurl, CURLOPT_LOW_SPEED_TIME, seconds);
    curl_easy_setopt(FCurl, CURLOPT_FTPPORT, FPassive ? nullptr : "-");
    curl_easy_setopt(FCurl, CURLOPT_ERRORBUFFER, FError);
    FError[0] = 0;
}

void TFTPControl::Perform(const AnsiString& what)
{
    const CURLcode result = curl_easy_perform(FCurl);
    if (result != CURLE_OK)
        throw Exception("TFTPControl: " + what + ": " + (FError[0] ? FError : curl_easy_strerror(result)));
}

AnsiString TFTPControl::Resolve(const AnsiString& name) const
{
    RequireOneLine(name);
    const AnsiString path = !name.empty() && name[0] == '/' ? name : FDir + name;
    std::vector<AnsiString> parts;
    size_t at = 0;
    while (at <= path.size()) {
        size_t slash = path.find('/', at);
        if (slash == AnsiString::npos) slash = path.size();
        const AnsiString part = path.substr(at, slash - at);
        if (part == ".." && !parts.empty() && parts.back() != "..")
            parts.pop_back();
        else if (!part.empty() && part != ".")
            parts.push_back(part);
        at = slash + 1;
    }
    AnsiString resolved = !path.empty() && path[0] == '/' ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) resolved += (i ? "/" : "") + parts[i];
    return resolved;
}

void TFTPControl::Connect()
{
    if (FConnected) Disconnect();
    if (!FCurl) FCurl = curl_easy_init();
    if (!FCurl) throw Exception("TFTPControl: nie można utworzyć klienta FTP");
    OnStatusLocal(ftpConnecting, Format("Łączenie z serwerem FTP %s:%d", FHost.c_str(), FPort));
    Prepare("");
    curl_easy_setopt(FCurl, CURLOPT_NOBODY, 1L);
    try {
        Perform(Format("błąd połączenia z serwerem FTP %s:%d", FHost.c_str(), FPort));
    } catch (...) {
        curl_easy_cleanup(FCurl);
        FCurl = nullptr;
        throw;
    }
    // Every later path is absolute, so that no command depends on the folder
    // the previous one left the server in.
    const char* entry = nullptr;
    curl_easy_getinfo(FCurl, CURLINFO_FTP_ENTRY_PATH, &entry);
    FDir = entry ? AnsiString(entry) : AnsiString();
    if (!FDir.empty() && FDir.back() != '/') FDir += "/";
    FConnected = true;
    OnStatusLocal(ftpConnected, "Połączono z serwerem FTP " + FHost);
}

void TFTPControl::Disconnect()
{
    if (!FConnected) return;
    curl_easy_cleanup(FCurl);
    FCurl = nullptr;
    FConnected = false;
    OnStatusLocal(ftpDisconnected, "Rozłączono z serwerem FTP " + FHost);
}

void TFTPControl::Upload(const AnsiString& local, const AnsiString& remote)
{
    RequireConnected();
    const AnsiString path = Resolve(remote);
    FILE* in = std::fopen(local.c_str(), "rb");
    if (!in) throw Exception("TFTPControl: nie można otworzyć pliku " + local + ": " + SysErrorMessage(errno));
    OnStatusLocal(ftpTransfer, "Wysyłanie pliku " + local);
    Prepare(path);
    curl_easy_setopt(FCurl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(FCurl, CURLOPT_READDATA, in);
    try {
        Perform("błąd wysyłania pliku " + local + " jako " + path);
    } catch (...) {
        std::fclose(in);
        throw;
    }
    std::fclose(in);
    OnStatusLocal(ftpReady, "Wysłano plik " + local);
}

void TFTPControl::Download(const AnsiString& remote, const AnsiString& local)
{
    RequireConnected();
    const AnsiString path = Resolve(remote);
    const AnsiString work = WorkingFileName(local);
    FILE* out = std::fopen(work.c_str(), "wb");
    if (!out) throw Exception("TFTPControl: nie można utworzyć pliku " + work + ": " + SysErrorMessage(errno));
    OnStatusLocal(ftpTransfer, "Pobieranie pliku " + path);
    Prepare(path);
    curl_easy_setopt(FCurl, CURLOPT_WRITEDATA, out);
    try {
        Perform("błąd pobierania pliku " + path);
    } catch (...) {
        std::fclose(out);
        std::remove(work.c_str());
        throw;
    }
    if (std::fclose(out) != 0 || std::rename(work.c_str(), local.c_str()) != 0) {
        const int error = errno;
        std::remove(work.c_str());
        throw Exception("TFTPControl: błąd zapisu pliku " + local + ": " + SysErrorMessage(error));
    }
    OnStatusLocal(ftpReady, "Pobrano plik " + path);
}

void TFTPControl::ChangeDir(const AnsiString& dir)
{
    RequireConnected();
    AnsiString path = Resolve(dir);
    if (!path.empty() && path.back() != '/') path += "/";
    Prepare(path);
    curl_easy_setopt(FCurl, CURLOPT_NOBODY, 1L);
    Perform("błąd zmiany folderu na " + path);
    FDir = path;
}

void TFTPControl::DeleteFileA(const AnsiString& name)
{
    RequireConnected();
    const AnsiString path = Resolve(name);
    Quote("DELE " + path, "błąd usunięcia pliku " + path);
}

void TFTPControl::MakeDir(const AnsiString& dir)
{
    RequireConnected();
    const AnsiString path = Resolve(dir);
    Quote("MKD " + path, "błąd tworzenia folderu " + path);
}

void TFTPControl::Quote(const AnsiString& command, const AnsiString& what)
{
    curl_slist* commands = curl_slist_append(nullptr, command.c_str());
    Prepare(FDir);
    curl_easy_setopt(FCurl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(FCurl, CURLOPT_QUOTE, commands);
    try {
        Perform(what);
    } catch (...) {
        curl_slist_free_all(commands);
        throw;
    }
    curl_slist_free_all(commands);
}

AnsiString TFTPControl::Listing()
{
    RequireConnected();
    AnsiString text;
    Prepare(FDir);
    curl_easy_setopt(FCurl, CURLOPT_WRITEFUNCTION, AppendTo);
    curl_easy_setopt(FCurl, CURLOPT_WRITEDATA, &text);
    Perform("błąd odczytu zawartości folderu " + FDir);
    return text;
}

void TFTPControl::List(TStringList* list)
{
    TStringList lines;
    lines.SetText(Listing());
    if (!list) return;
    list->Clear();
    for (const AnsiString& line : lines)
        if (!line.empty()) list->Add(line);
}

void TFTPControl::List(TStringList* dirs, TStringList* files)
{
    const std::vector<Item> items = ParseListing(Listing());
    if (dirs) dirs->Clear();
    if (files) files->Clear();
    for (const Item& item : items)
        if (item.name != "." && item.name != "..")
            if (TStringList* to = item.dir ? dirs : files) to->Add(item.name);
}

TFTPListingItems TFTPControl::ListAndParse()
{
    TFTPListingItems items;
    for (const Item& item : ParseListing(Listing())) items.AddFile(item.name, item.line, item.size, item.date);
    return items;
}

bool TFTPControl::FileExists(const AnsiString& name)
{
    TStringList files;
    List(nullptr, &files);
    return files.IndexOf(name) >= 0;
}

bool TFTPControl::DirExists(const AnsiString& name)
{
    TStringList dirs;
    List(&dirs, nullptr);
    return dirs.IndexOf(name) >= 0;
}
