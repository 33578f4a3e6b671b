// The import and its exchange folder, where other programs work too: one
// operation at a time in it, the reading kept whatever becomes of
// "combo.imp" meanwhile, leftovers that cannot be removed, orders kept and
// met again, a folder that is missing or given without a separator at its
// end, and a folder whose name fills the host's buffer. Whatever happens,
// every receipt reaches the host once and every order is one document.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <regex>
#include <set>

#include "host_lines.h"
#include "import_host.h"
#include "receipt_records.h"
#include "register_session.h"

using namespace testutil;
using namespace testutil::records;
using nlohmann::json;

// A file this test's process cannot delete, as another account's file in a
// folder with the sticky bit (the tests run as root, whom no folder refuses):
// the library's own removals end here, below its file functions. And a file
// another program puts in place of one the library has just created, before
// the library's next step: its opening ends here too.
namespace {
std::mutex g_undeletableLock;
std::string g_undeletable;
std::string g_replacedOnCreation;
std::function<void(const std::string&)> g_replace;
// The next write whose bytes begin with this text fails with a full disk;
// the next sync of receipt lines fails as a disk's error does.
std::string g_failingWrite;
bool g_failingSync = false;
// Receipt lines written since a file's data was last synced.
int g_unsyncedLines = 0;

class Undeletable {
public:
    explicit Undeletable(const std::string& path) { Set(path); }
    ~Undeletable() { Set(""); }
    static void Set(const std::string& path)
    {
        std::lock_guard<std::mutex> guard(g_undeletableLock);
        g_undeletable = path;
    }
};
}  // namespace

extern "C" int unlink(const char* path)
{
    {
        std::lock_guard<std::mutex> guard(g_undeletableLock);
        if (!g_undeletable.empty() && g_undeletable == path) {
            errno = EPERM;
            return -1;
        }
    }
    static const auto real = reinterpret_cast<int (*)(const char*)>(dlsym(RTLD_NEXT, "unlink"));
    return real(path);
}

extern "C" ssize_t pwrite(int fd, const void* data, size_t size, off_t at)
{
    {
        std::lock_guard<std::mutex> guard(g_undeletableLock);
        if (!g_failingWrite.empty() &&
            std::string_view(static_cast<const char*>(data), size).starts_with(g_failingWrite)) {
            g_failingWrite.clear();
            errno = ENOSPC;
            return -1;
        }
        if (std::string_view(static_cast<const char*>(data), size).starts_with("P_")) ++g_unsyncedLines;
    }
    static const auto real = reinterpret_cast<ssize_t (*)(int, const void*, size_t, off_t)>(dlsym(RTLD_NEXT, "pwrite"));
    return real(fd, data, size, at);
}

extern "C" int fdatasync(int fd)
{
    {
        std::lock_guard<std::mutex> guard(g_undeletableLock);
        if (g_failingSync && g_unsyncedLines > 0) {
            g_failingSync = false;
            errno = EIO;
            return -1;
        }
        g_unsyncedLines = 0;
    }
    static const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fdatasync"));
    return real(fd);
}

extern "C" int open(const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    static const auto real = reinterpret_cast<int (*)(const char*, int, ...)>(dlsym(RTLD_NEXT, "open"));
    const int fd = real(path, flags, mode);
    std::function<void(const std::string&)> replace;
    {
        std::lock_guard<std::mutex> guard(g_undeletableLock);
        if (fd >= 0 && (flags & O_CREAT) && !g_replacedOnCreation.empty() && g_replacedOnCreation == path) {
            g_replacedOnCreation.clear();
            replace = std::move(g_replace);
        }
    }
    if (replace) replace(path);
    return fd;
}

namespace {

json Cash(int value) { return Rec(2, {V(1), S("Gotowka"), B(0), N(value)}); }

// Three receipts and an order.
const json kDay = {Plu(10, 7, "Chleb", 1000, 350), Cash(350), Close(101, 9, 11, 350),
                   Plu(10, 8, "Mleko", 2000, 600), Cash(600), Close(102, 10, 12, 600),
                   Rec(32, {V(9), S("590"), N(2500), S("Mleko")}),
                   Plu(10, 9, "Ser", 1000, 900),   Cash(900), Close(103, 11, 13, 900)};

// An import of receipts, the exchange folder a folder of its own beside the
// simulator's files, the EDI folder beside it.
std::unique_ptr<RegisterSession> Session(const std::string& faults = "", const json& records = kDay)
{
    const json scenario = {{"model", 24}, {"registerNumber", "1"}, {"operator", 0},
                           {"clock", "2026-03-09 18:30:15"}, {"receiptRecords", records}};
    auto s = std::make_unique<RegisterSession>(scenario.dump(), faults);
    std::filesystem::create_directories(s->tmp / "exchange");
    s->host.device.folder = s->tmp / "exchange/";
    SetParams(s->host, {{"ComboImpMode", "1"}, {"ComboImpReceipts", "1"}, {"DataImportu", "20260309000000000"},
                        {"ComboEdiFolder", s->tmp / "edi"}});
    return s;
}

std::string Exchange(const RegisterSession& s, const std::string& name) { return s.host.device.folder + name; }

// The receipt blocks of every import the host took.
std::multiset<std::string> Receipts(const VelHost& host)
{
    std::multiset<std::string> receipts;
    for (const std::string& import : host.imports)
        for (const std::string& block : Blocks(import, "[Paragon")) receipts.insert(block);
    return receipts;
}

std::vector<std::string> Documents(const RegisterSession& s)
{
    std::vector<std::string> documents;
    if (Exists(s.tmp / "edi"))
        for (const auto& file : std::filesystem::directory_iterator(s.tmp / "edi"))
            documents.push_back(ReadFile(file.path()));
    std::sort(documents.begin(), documents.end());
    return documents;
}

bool HasLeftover(const RegisterSession& s)
{
    for (const char* name : {"combo.imp", "combo-1.imp", "receipt.tmp", "zamowienia.tmp"})
        if (Exists(Exchange(s, name))) return true;
    return false;
}

// Runs until nothing is left over (three runs at most), each ending well.
void Recover(RegisterSession& s, const std::string& where)
{
    for (int run = 0; run < 3 && HasLeftover(s); ++run) EXPECT_EQ(s.Run(-3), 0) << where;
    EXPECT_FALSE(HasLeftover(s)) << where;
}

bool ShowsError(const VelHost& host, const std::string& text)
{
    for (const HostLine& line : host.lines)
        if (line.kind == 2 && line.text.find(text) != std::string::npos) return true;
    return false;
}

// What a day that never failed gives the host.
const std::multiset<std::string>& CleanReceipts()
{
    static const std::multiset<std::string> receipts = [] {
        const auto s = Session();
        EXPECT_EQ(s->Run(-3), 0);
        return Receipts(s->host);
    }();
    return receipts;
}

// The order lines of every document in the EDI folder.
std::multiset<std::string> OrderLines(const RegisterSession& s)
{
    std::multiset<std::string> lines;
    for (const std::string& document : Documents(s))
        for (size_t at = document.find("Linia:"); at != std::string::npos; at = document.find("Linia:", at + 1))
            lines.insert(document.substr(at, document.find("\r\n", at) - at));
    return lines;
}

std::string Today()
{
    const std::time_t now = std::time(nullptr);
    char day[9];
    std::strftime(day, sizeof day, "%Y%m%d", std::localtime(&now));
    return day;
}

}  // namespace

// While one import reads the register, a second host process, a second
// handle of this process and a call from inside the first one's message
// callback each try the same folder: each is refused at once, naming it,
// and the first goes on to the end.
TEST(ImportFolder, OneOperationAtATimeInAnExchangeFolder)
{
    ASSERT_EQ(CleanReceipts().size(), 3u);
    const auto s = Session();
    const std::string folder = s->host.device.folder;
    const std::string busy =
        "Katalog wymiany \"" + folder + "\" jest zajęty przez inną operację (import lub eksport) - spróbuj później";
    WriteFile(s->tmp / "second.ini", "[device]\nfolder=" + folder +
                                         "\n[params]\nComboPort=TCP/IP\nComboIpAddress=127.0.0.1\nComboIpPort=1\n");
    VelHost other;
    std::string error;
    ASSERT_TRUE(other.Load(VELCOMBO_LIB, error)) << error;
    other.device.folder = folder;
    ASSERT_TRUE(other.Register());

    RunResult process;
    bool intruded = false;
    s->host.onLine = [&](const HostLine& line) {
        if (intruded || line.text != "- import paragonów szczegółowych...:\x01" "3") return;
        intruded = true;
        process = testutil::Run({VELHOST_EXE, "--lib", VELCOMBO_LIB, "--config", s->tmp / "second.ini", "op", "-3"});
        char text[301] = {};
        void* session = nullptr;
        other.Lib().SerKasOperacja(other.Handle(), other.Call(), &session, text, -3, 0);
        s->host.Lib().SerKasOperacja(s->host.Handle(), s->host.Call(), &session, text, -6, 0);
    };
    ASSERT_EQ(s->Run(-3), 0);
    ASSERT_TRUE(intruded) << ::testing::PrintToString(s->host.lines);
    EXPECT_EQ(process.status, 2);
    EXPECT_NE(process.out.find(Cp1250ToUtf8(busy)), std::string::npos) << process.out;
    EXPECT_EQ(other.lines, Failure("import sprzedaży", busy));
    EXPECT_EQ(CountOf(s->host.lines, Added(busy, 2)), 1u) << "the call from inside the callback";
    EXPECT_TRUE(other.imports.empty());
    EXPECT_EQ(Receipts(s->host), CleanReceipts());
    EXPECT_FALSE(HasLeftover(*s));

    // Free again: the other handle works in it.
    other.lines.clear();
    char text[301] = {};
    void* session = nullptr;
    EXPECT_EQ(other.Lib().SerKasOperacja(other.Handle(), other.Call(), &session, text, -3, 0), 0);
    EXPECT_FALSE(ShowsError(other, "zajęty"));
}

// While the receipts are read, once the first is in "combo.imp", another
// program deletes the file, puts a file of its own in its place, or deletes
// the whole folder; or it puts its file there the moment the library has made
// "combo.imp"; or a sync tool puts back a copy it took earlier, whole lines
// or cut in a line: the reading is written back where it may go, with a
// warning, and every receipt reaches the host once. A copy of the reading is
// dropped; a file of someone else's is moved to a name no import takes.
TEST(ImportFolder, TheReadingReachesTheHostWhateverBecomesOfComboImpMeanwhile)
{
    const std::string someoneElses = "\r\nKAS;0\r\n";
    // What another program does as the record of that count is about to be
    // read (0: as the library makes the file).
    using Meddle = std::function<void(const std::string& folder, int record)>;
    auto at = [](int record, std::function<void(const std::string&)> step) -> Meddle {
        return [=](const std::string& folder, int n) {
            if (n == record) step(folder);
        };
    };
    auto replace = [&](const std::string& folder) {
        std::filesystem::remove(folder + "combo.imp");
        WriteFile(folder + "combo.imp", someoneElses);
    };
    // A copy with the second receipt begun, put back with the third begun.
    auto copyBack = [](const std::string& cut) -> Meddle {
        return [=](const std::string& folder, int n) {
            if (n == 5) WriteFile(folder + "copy", ReadFile(folder + "combo.imp") + cut);
            if (n == 9) std::filesystem::rename(folder + "copy", folder + "combo.imp");
        };
    };
    const char* const replaced = " został podmieniony podczas odczytu z kasy - tamten plik przeniesiono do pliku @"
                                 "combo-obcy-1.imp, którego import nie bierze, a odczyt zapisano ponownie pod nazwą "
                                 "combo.imp";
    const char* const copied = " został podmieniony kopią odczytu podczas odczytu z kasy - odczyt zapisano w nim ponownie";
    const std::tuple<const char*, Meddle, const char*> cases[] = {
        {"deleted", at(4, [](const std::string& folder) { std::filesystem::remove(folder + "combo.imp"); }),
         " zniknął podczas odczytu z kasy - odczyt zapisano w nim ponownie"},
        {"replaced", at(4, replace), replaced},
        {"replaced as it is made", at(0, replace), replaced},
        {"its folder deleted", at(4, [](const std::string& folder) { std::filesystem::remove_all(folder); }),
         "\" zniknął podczas odczytu z kasy - utworzono go ponownie"},
        {"an earlier copy put back", copyBack(""), copied},
        {"a copy cut in a line put back", copyBack("P_ZAM;32;9;5"), copied},
    };
    for (const auto& [what, meddle, warning] : cases) {
        const auto s = Session();
        const std::string folder = s->host.device.folder;
        bool meddled = false;
        {
            std::lock_guard<std::mutex> guard(g_undeletableLock);
            g_replacedOnCreation = folder + "combo.imp";
            g_replace = [&, meddle = meddle](const std::string&) {
                meddled = true;
                meddle(folder, 0);
            };
        }
        const std::string count = "- import paragonów szczegółowych...:\x01";
        s->host.onLine = [&, meddle = meddle](const HostLine& line) {
            if (!line.text.starts_with(count)) return;
            meddled = true;
            meddle(folder, std::stoi(line.text.substr(count.size())));
        };
        const int result = s->Run(-3);
        EXPECT_TRUE(meddled) << what;
        EXPECT_EQ(result, 0) << what;
        const std::string expected = std::regex_replace(warning, std::regex("@"), folder);
        bool warned = false;
        for (const HostLine& line : s->host.lines)
            warned = warned || (line.kind == 1 && line.text.find(expected) != std::string::npos);
        EXPECT_TRUE(warned) << what << ::testing::PrintToString(s->host.lines);
        EXPECT_EQ(ReadFile(folder + "combo-obcy-1.imp"), std::string(what).starts_with("replaced") ? someoneElses : "")
            << what;
        EXPECT_FALSE(HasLeftover(*s)) << what;
        EXPECT_EQ(Receipts(s->host), CleanReceipts()) << what;
    }
}

// The exchange folder deleted while the days go to the host, after the first
// of two or after the last: the run puts the reading back with what of it
// is done, writes its order, and ends saying so; the next run hands over
// the rest. Every receipt once, the order once.
TEST(ImportFolder, TheFolderDeletedDuringTheHandOverLosesNothing)
{
    json twoDays = kDay;
    for (const json& record : {Plu(10, 6, "Sok", 1000, 300), Cash(300),
                               Rec(17, {L(104), B(10), B(3), V(2026), B(8), B(5), S("0001"), S("Ala"), V(3), N(300),
                                        N(300), L(14)})})
        twoDays.push_back(record);
    const auto clean = Session("", twoDays);
    ASSERT_EQ(clean->Run(-3), 0);
    ASSERT_EQ(clean->host.imports.size(), 2u);
    ASSERT_EQ(Documents(*clean).size(), 1u);
    for (const size_t after : {1u, 2u}) {
        const auto s = Session("", twoDays);
        const std::string folder = s->host.device.folder;
        s->host.onImport = [&](size_t taken) {
            if (taken == after) std::filesystem::remove_all(folder);
        };
        s->Run(-3);
        s->host.onImport = nullptr;
        EXPECT_EQ(s->host.imports.size(), after);
        EXPECT_TRUE(ShowsError(s->host, "Katalog wymiany \"" + folder +
                                            "\" zniknął podczas przekazywania sprzedaży do bazy - odczyt z zapisem dni "
                                            "już przekazanych zapisano ponownie w pliku " + folder +
                                            "combo.imp; resztę przekaże następny import"))
            << after << ::testing::PrintToString(s->host.lines);
        EXPECT_EQ(Documents(*s), Documents(*clean)) << after;
        Recover(*s, "after " + std::to_string(after));
        EXPECT_EQ(Receipts(s->host), Receipts(clean->host)) << after;
        EXPECT_EQ(Documents(*s), Documents(*clean)) << after;
    }
}

namespace {
// A file's or folder's flags as chattr sets them (FS_APPEND_FL "+a": only
// appended to, FS_IMMUTABLE_FL "+i": never changed), its other flags kept;
// false when the file system keeps no such flags.
bool SetFlags(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    int now = 0;
    bool done = ioctl(fd, FS_IOC_GETFLAGS, &now) == 0;
    now = (now & ~(FS_APPEND_FL | FS_IMMUTABLE_FL)) | flags;
    done = done && ioctl(fd, FS_IOC_SETFLAGS, &now) == 0;
    close(fd);
    return done;
}
}  // namespace

// A leftover of an earlier run that cannot be removed stops the run, naming
// it, before a receipt is asked of the register: a new reading would join
// it and be taken for handed over. One the run can see cannot go, or cannot
// take the notes of what of it is handed over ("chattr +a" or "+i"), is
// refused before anything of it reaches the host, however often the run is
// repeated. Once it can go, nothing is lost or doubled against the same
// leftover in a folder that never refused.
TEST(ImportFolder, ALeftoverThatCannotBeRemovedStopsTheRunBeforeTheReceiptsAreRead)
{
    const std::string reading = "\r\n#PARAGONY;\r\nP_ZAM;32;9;591;1000;Sok\r\nP_PLU;1;5;;Woda;1000;200;0\r\n"
                                "P_PLA;2;1;Gotowka;0;200;;;;-1\r\nP_TRN;100;20260309080500000;0001;Ala;3;200;200;10\r\n"
                                "#BEZ_WATPLIWOSCI\r\n";
    const char* const unlinkRefused = "Błąd usunięcia pliku ";
    const char* const refused = "Nie można usunąć pliku ";
    // The leftover, its text, the flag that keeps it (0: its removal fails
    // below the library) and the error that names it.
    const std::tuple<const char*, std::string, int, const char*> leftovers[] = {
        {"combo.imp", reading, 0, unlinkRefused},
        {"zamowienia.tmp", "Doc001_" + Today() + "_001.txt\r\nChleb;123;1000\r\n\r\n", 0, unlinkRefused},
        {"receipt.tmp", "P_PLU;1;4;;Sok;1000;100;0\r\n", 0, unlinkRefused},
        {"combo.imp", reading, FS_APPEND_FL, refused},
        {"combo.imp", reading, FS_IMMUTABLE_FL, refused},
        {"combo-1.imp", reading, FS_APPEND_FL, refused},
        {"combo-1.imp", reading, FS_IMMUTABLE_FL, refused},
    };
    for (const auto& [name, text, flag, error] : leftovers) {
        const std::string where = std::string(name) + " " + std::to_string(flag);
        const auto never = Session();
        WriteFile(Exchange(*never, name), text);
        Recover(*never, where);

        const auto s = Session();
        const std::string path = Exchange(*s, name);
        WriteFile(path, text);
        if (flag && !SetFlags(path, flag))
            GTEST_SKIP() << "the test folder's file system keeps no append-only or immutable flag";
        {
            const Undeletable stays(flag ? "" : path);
            for (int run = 0; run < 3; ++run) {
                s->host.lines.clear();
                s->Run(-3);
                EXPECT_TRUE(ShowsError(s->host, error + path)) << where;
            }
            EXPECT_FALSE(Contains(s->Commands(), 451)) << where;
            EXPECT_TRUE(Exists(path)) << where;
            if (flag) {
                EXPECT_TRUE(s->host.imports.empty()) << where;
            }
        }
        SetFlags(path, 0);
        Recover(*s, where);
        EXPECT_EQ(Receipts(s->host), Receipts(never->host)) << where;
        EXPECT_EQ(Documents(*s), Documents(*never)) << where;
        EXPECT_EQ(Documents(*s).size(), std::string(name) == "zamowienia.tmp" ? 2u : 1u) << where;
    }
}

// The orders of a pass are kept, under their document's name, before its
// file goes. A pass over a file whose orders were kept writes none of its
// own; a kept document written again (the run ended before it was taken out
// of "zamowienia.tmp") is the same one document; a file of someone else's
// under its name is left alone.
TEST(ImportFolder, KeptOrdersBecomeOneDocumentWhateverComesBetween)
{
    const auto met = Session("", json::array());
    WriteFile(Exchange(*met, "combo.imp"), "\r\n#PARAGONY;\r\nP_ZAM;32;9;590;2500;Mleko\r\n"
                                           "P_PLU;1;5;;Woda;1000;200;0\r\nP_PLA;2;1;Gotowka;0;200;;;;-1\r\n"
                                           "P_TRN;100;20260309080500000;0001;Ala;3;200;200;10\r\n"
                                           "#PRZEKAZANO;1;2026-03-09\r\n#ZAMOWIENIA_ZACHOWANE\r\n");
    ASSERT_EQ(met->Run(-6), 0);
    EXPECT_TRUE(Documents(*met).empty());
    EXPECT_TRUE(Receipts(met->host).empty()) << "the day was handed over before";
    EXPECT_FALSE(HasLeftover(*met));

    const auto s = Session();
    s->host.SetParam("ComboEdiFolder", "");
    s->Run(-3);
    const std::string kept = ReadFile(Exchange(*s, "zamowienia.tmp"));
    ASSERT_TRUE(std::regex_match(
        kept, std::regex("#ZAMOWIENIA 2\r\n\r\nDoc001_" + Today() +
                         "_001\\.txt\r\n#ODCZYT [0-9a-f]{24}\r\nMleko;590;2500\r\n\r\n#KONIEC 1 1\r\n\r\n")))
        << kept;
    s->host.SetParam("ComboEdiFolder", s->tmp / "edi");
    ASSERT_EQ(s->Run(-3), 0);
    const std::vector<std::string> one = Documents(*s);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_NE(one[0].find("NrDok:1\r\n"), std::string::npos);

    WriteFile(Exchange(*s, "zamowienia.tmp"), kept);
    ASSERT_EQ(s->Run(-3), 0);
    EXPECT_EQ(Documents(*s), one);
    EXPECT_FALSE(Exists(Exchange(*s, "zamowienia.tmp")));

    const std::string document = s->tmp / ("edi/Doc001_" + Today() + "_001.txt");
    WriteFile(document, "someone else's");
    WriteFile(Exchange(*s, "zamowienia.tmp"), kept);
    ASSERT_EQ(s->Run(-3), 0);
    EXPECT_EQ(ReadFile(document), "someone else's");
    const std::string second = ReadFile(s->tmp / ("edi/Doc001_" + Today() + "_002.txt"));
    EXPECT_NE(second.find("NrDok:2\r\n"), std::string::npos);
    EXPECT_NE(second.find("Linia:Kod{590}Ilosc{2.500}"), std::string::npos);
}

// A run stopped anywhere while a pass keeps its orders (after handing its
// day over) leaves a reading and a kept-orders file from which the next
// run, over the link or from the file alone, makes one document.
TEST(ImportFolder, AStopAnywhereInKeepingOrdersLeavesOneDocument)
{
    const std::string reading = "\r\n#PARAGONY;\r\nP_ZAM;32;9;590;2500;Mleko\r\n"
                                "P_PLU;1;5;;Woda;1000;200;0\r\nP_PLA;2;1;Gotowka;0;200;;;;-1\r\n"
                                "P_TRN;100;20260309080500000;0001;Ala;3;200;200;10\r\n#BEZ_WATPLIWOSCI\r\n"
                                "#PRZEKAZANO;1;2026-03-09\r\n";
    const std::string named = "#ODCZYT;00c0ffee00c0ffee00c0ffee\r\n", from = "#ODCZYT 00c0ffee00c0ffee00c0ffee\r\n";
    const std::tuple<const char*, std::string, std::string> stops[] = {
        {"before the reading is named", reading, ""},
        {"named, nothing kept", reading + named, ""},
        {"kept, not noted in the reading", reading + named,
         "Doc001_" + Today() + "_001.txt\r\n" + from + "Mleko;590;2500\r\n\r\n"},
        {"kept waiting, not noted in the reading", reading + named, "#CZEKA\r\n" + from + "Mleko;590;2500\r\n\r\n"},
    };
    for (const char* port : {"TCP/IP", "PLIK"})
        for (const auto& [stop, combo, kept] : stops) {
            const std::string where = std::string(port) + ", " + stop;
            const auto s = Session("", json::array());
            s->host.SetParam("ComboPort", port);
            WriteFile(Exchange(*s, "combo.imp"), combo);
            if (!kept.empty()) WriteFile(Exchange(*s, "zamowienia.tmp"), kept);
            EXPECT_EQ(s->Run(-3), 0) << where;
            EXPECT_FALSE(HasLeftover(*s)) << where;
            EXPECT_TRUE(Receipts(s->host).empty()) << where;
            const std::vector<std::string> documents = Documents(*s);
            ASSERT_EQ(documents.size(), 1u) << where;
            EXPECT_NE(documents[0].find("IloscLinii:1\r\nLinia:Kod{590}Ilosc{2.500}\r\n"), std::string::npos) << where;
        }
}

// A kept document takes its name in steps: written whole under its working
// name, noted in "zamowienia.tmp" as being published, renamed, taken out of
// "zamowienia.tmp". Whatever a stop between them left, and whatever the
// ordering system took meanwhile, the next run gives it the document once:
// a working file no note names is written anew, never renamed as it is; a
// noted one is renamed; a noted document whose working file is gone is
// never written again, and its name is given to no other. The EDI folder
// refusing the rename, or someone else's file taking the name, between the
// note and the rename: the run says so, and it or the next one publishes
// the document once. A noted document is finished in the folder it was
// begun in, though the setting names another since; gone, the folder is
// named with the document, whose orders stay kept.
TEST(ImportFolder, AStopAnywhereInPublishingADocumentLeavesItOnce)
{
    const std::string name = "Doc001_" + Today() + "_001.txt", second = "Doc001_" + Today() + "_002.txt";
    // Noted by this version, the folder too ("@": the EDI folder, as noted).
    auto kept = [&](bool noted, bool folder = false) {
        return name + "\r\n" + (noted ? "#PUBLIKOWANY\r\n" : "") + (folder ? "#KATALOG @\r\n" : "") +
               "Mleko;590;2500\r\n\r\n";
    };
    auto ediFiles = [](const std::string& edi) {
        std::map<std::string, std::string> files;
        for (const auto& file : std::filesystem::directory_iterator(edi))
            files[file.path().filename()] = ReadFile(file.path());
        return files;
    };
    const auto clean = Session("", json::array());
    WriteFile(Exchange(*clean, "zamowienia.tmp"), kept(false));
    ASSERT_EQ(clean->Run(-3), 0);
    const std::string document = ReadFile(clean->tmp / ("edi/" + name)), half = document.substr(0, document.size() / 2);
    const std::string renumbered = std::regex_replace(document, std::regex("NrDok:1\r\n"), "NrDok:2\r\n");
    const std::string someoneElses = "someone else's", work = name + ".tmp";
    auto immutable = [](const std::string& edi) { SetFlags(edi, FS_IMMUTABLE_FL); };
    using Files = std::map<std::string, std::string>;
    // What a stop left: the kept-orders file and the EDI folder; what
    // another program does as the note is stored; whether the setting names
    // another EDI folder after the stop; the EDI folder after.
    const std::tuple<const char*, std::string, Files, std::function<void(const std::string&)>, bool, Files> stops[] = {
        {"a whole working file, no note", kept(false), {{work, document}}, nullptr, false, {{name, document}}},
        {"half a working file, no note", kept(false), {{work, half}}, nullptr, false, {{name, document}}},
        {"noted, not renamed", kept(true), {{work, document}}, nullptr, false, {{name, document}}},
        {"noted, the working file not the document", kept(true), {{work, half}}, nullptr, false, {{name, document}}},
        {"noted and renamed", kept(true), {{name, document}}, nullptr, false, {{name, document}}},
        {"noted, renamed and taken", kept(true), {}, nullptr, false, {}},
        {"noted, someone else's file under its name", kept(true), {{work, document}, {name, someoneElses}}, nullptr,
         false, {{name, someoneElses}, {second, renumbered}}},
        {"noted and taken, after a document of an older file without a name", "Mleko;590;2500\r\n\r\n" + kept(true),
         {}, nullptr, false, {{second, renumbered}}},
        {"someone else's file under its name as it is noted", kept(false), {},
         [&](const std::string& edi) { WriteFile(edi + name, someoneElses); }, false,
         {{name, someoneElses}, {second, renumbered}}},
        {"the EDI folder refusing the rename as it is noted", kept(false), {}, immutable, false, {{name, document}}},
        {"noted with its folder, not renamed, the setting changed", kept(true, true), {{work, document}}, nullptr, true,
         {{name, document}}},
        {"noted with its folder, renamed and taken, the setting changed", kept(true, true), {}, nullptr, true, {}},
        {"the EDI folder refusing the rename as it is noted, the setting changed", kept(false), {}, immutable, true,
         {{name, document}}},
    };
    for (const auto& [what, keptText, before, atNote, moved, after] : stops) {
        const auto s = Session("", json::array());
        // A folder whose name holds what no line of the kept-orders file may.
        const std::string edi = s->tmp / "edi;50%/", noted = s->tmp / "edi%3B50%25/";
        s->host.SetParam("ComboEdiFolder", edi);
        std::filesystem::create_directories(edi);
        if (atNote && !SetFlags(edi, 0)) GTEST_SKIP() << "the test folder's file system keeps no immutable flag";
        WriteFile(Exchange(*s, "zamowienia.tmp"), std::regex_replace(keptText, std::regex("@"), noted));
        for (const auto& [file, text] : before) WriteFile(edi + file, text);
        if (atNote) {
            {
                std::lock_guard<std::mutex> guard(g_undeletableLock);
                g_replacedOnCreation = Exchange(*s, "zamowienia.tmp.tmp");
                g_replace = [&, atNote = atNote](const std::string&) { atNote(edi); };
            }
            s->Run(-3);
            EXPECT_TRUE(ShowsError(s->host, s->tmp / "edi")) << what << ::testing::PrintToString(s->host.lines);
            SetFlags(edi, 0);
        }
        if (moved) s->host.SetParam("ComboEdiFolder", s->tmp / "edi-now");
        Recover(*s, what);
        EXPECT_EQ(ediFiles(edi), after) << what;
        EXPECT_FALSE(Exists(s->tmp / "edi-now")) << what;
    }

    const auto gone = Session("", json::array());
    const std::string edi = gone->tmp / "edi;50%/", zam = Exchange(*gone, "zamowienia.tmp");
    WriteFile(zam, std::regex_replace(kept(true, true), std::regex("@"), gone->tmp / "edi%3B50%25/"));
    gone->host.SetParam("ComboEdiFolder", gone->tmp / "edi-now");
    gone->Run(-3);
    EXPECT_TRUE(ShowsError(gone->host, "Katalog EDI \"" + edi + "\", w którym zaczęto zapis dokumentu " + name +
                                           ", nie istnieje - dokumentu nie dokończono; jego zamówienia czekają w "
                                           "pliku " + zam))
        << ::testing::PrintToString(gone->host.lines);
    EXPECT_NE(ReadFile(zam).find("Mleko;590;2500\r\n"), std::string::npos);
    EXPECT_FALSE(Exists(edi) || Exists(gone->tmp / "edi-now"));
}

// The host cuts the folder to its buffer of 260 bytes and a terminator: a
// folder that fills it may be the beginning of a longer one. Refused, with
// nothing made anywhere; one byte shorter works.
TEST(ImportFolder, AFolderThatFillsTheHostsBufferIsRefusedBeforeAnythingIsMade)
{
    for (const size_t length : {259u, 260u, 261u, 4000u}) {
        const auto s = Session();
        TempDir base;
        std::string folder = base.Path();
        ASSERT_LT(folder.size() + 3, length);
        for (size_t rest = length - folder.size() - 1; rest > 0;) {
            size_t name = std::min<size_t>(100, rest - 1);
            if (rest - 1 - name == 1) --name;
            folder += "/" + std::string(name, 'd');
            rest -= name + 1;
        }
        folder += "/";
        ASSERT_EQ(folder.size(), length);
        s->host.device.folder = folder;
        if (length == 259) std::filesystem::create_directories(folder);
        EXPECT_EQ(s->Run(-3), 0);
        if (length == 259) {
            EXPECT_EQ(Receipts(s->host), CleanReceipts());
            EXPECT_FALSE(ShowsError(s->host, "")) << length;
            continue;
        }
        EXPECT_TRUE(ShowsError(s->host, "Katalog wymiany urządzenia ma 260 znaków i wypełnia cały bufor programu"))
            << length;
        EXPECT_TRUE(std::filesystem::is_empty(base.Path())) << length;
        EXPECT_FALSE(s->LinkEverOpened()) << length;
    }
}

// The exchange folder as the host's value names it, and where its files go:
// the value followed directly by each file's name. A missing folder is made
// with every missing parent when the trace is on (the trace makes it for its
// "log" folder, and the first import on a new device relies on it) and
// refused before the register hears a word when it is off; a refusal names
// the system's reason. A value without a separator at its end puts the files
// beside it: the lock is taken there, and the user is told.
TEST(ImportFolder, TheFolderTheFilesGoToIsMadeWithTheTraceRefusedWithoutItAndLockedWhereTheyAre)
{
    const auto clean = CleanReceipts();
    const struct {
        const char* what;
        std::string value;  // the exchange folder, below the session's folder
        const char* trace;
        std::string files;  // the folder the files go to, below the session's folder
        std::string error;  // "": the import runs
        std::string warning;
    } cases[] = {
        {"missing, traced", "new/", "1", "new/", "", ""},
        {"missing with its parents, traced", "a/b/new/", "1", "a/b/new/", "", ""},
        {"missing, untraced", "new/", "0", "new/", "Brak katalogu wymiany \"@new/\"", ""},
        {"missing with its parents, untraced", "a/b/new/", "0", "a/b/new/", "Brak katalogu wymiany \"@a/b/new/\"", ""},
        {"a file on its way, traced", "file/new/", "1", "file/new/",
         "Nie można utworzyć katalogu wymiany \"@file/new/\": część ścieżki nie jest folderem", ""},
        {"a file on its way, untraced", "file/new/", "0", "file/new/",
         "Katalog wymiany \"@file/new/\" jest niedostępny: część ścieżki nie jest folderem", ""},
        {"no separator at its end", "exchange", "0", "", "",
         "Katalog wymiany \"@exchange\" nie kończy się separatorem - pliki wymiany trafią do katalogu \"@\""},
        {"no separator, naming no folder, its parent made", "a/exchange", "1", "a/", "", ""},
    };
    for (const auto& c : cases) {
        const auto s = Session();
        const std::string base = s->tmp.Folder();
        auto at = [&](std::string text) {
            for (size_t i = text.find('@'); i != std::string::npos; i = text.find('@', i + base.size()))
                text.replace(i, 1, base);
            return text;
        };
        WriteFile(s->tmp / "file", "");
        s->host.device.folder = at("@" + c.value);
        s->host.SetParam("ComboDedbug", c.trace);
        const std::string files = at("@" + c.files);
        s->Run(-3);
        std::vector<std::string> warnings;
        for (const HostLine& line : s->host.lines)
            if (line.kind == 1 && line.text.find("separatorem") != std::string::npos) warnings.push_back(line.text);
        EXPECT_EQ(warnings, c.warning.empty() ? std::vector<std::string>() : std::vector{at(c.warning)}) << c.what;
        if (!c.error.empty()) {
            EXPECT_TRUE(ShowsError(s->host, at(c.error))) << c.what << ::testing::PrintToString(s->host.lines);
            EXPECT_TRUE(s->Commands().empty()) << c.what;
            EXPECT_FALSE(Exists(files)) << c.what;
            continue;
        }
        EXPECT_FALSE(ShowsError(s->host, "")) << c.what << ::testing::PrintToString(s->host.lines);
        EXPECT_EQ(Receipts(s->host), clean) << c.what;
        EXPECT_TRUE(Exists(files + "velcombo.lck")) << c.what;
        EXPECT_TRUE(Exists(at("@" + c.value) + "arch.imp")) << c.what;
        EXPECT_EQ(Exists(at("@" + c.value) + "log"), std::string(c.trace) == "1") << c.what;
        // A folder the value names holds nothing of the files put beside it.
        if (c.value.back() != '/' && std::filesystem::is_directory(at("@" + c.value))) {
            EXPECT_TRUE(std::filesystem::is_empty(at("@" + c.value))) << c.what;
        }
    }
    // The connection test puts only its trace there, and says so alike.
    const auto s = Session();
    s->host.device.folder = s->tmp / "exchange";
    s->host.SetParam("ComboDedbug", "1");
    s->Run(-1);
    EXPECT_FALSE(ShowsError(s->host, "")) << ::testing::PrintToString(s->host.lines);
    const std::string warning = "Katalog wymiany \"" + s->host.device.folder +
                                "\" nie kończy się separatorem - pliki wymiany trafią do katalogu \"" +
                                s->tmp.Folder() + "\"";
    EXPECT_EQ(std::count_if(s->host.lines.begin(), s->host.lines.end(),
                            [&](const HostLine& line) { return line.kind == 1 && line.text == warning; }),
              1)
        << ::testing::PrintToString(s->host.lines);
    EXPECT_TRUE(Exists(s->host.device.folder + "log"));
}

// One note of the reading that cannot be written (the disk full for that one
// write): the archive note of a leftover handed over, with a fresh reading
// after it in the same run, or a day's note in totals mode. The run goes on,
// removes the reading as usual and never says it vanished. The first sync of
// the reading failing instead: the run stops saying how many records a
// power cut may take. With the runs after it, every receipt, day and order
// reaches the host and the EDI folder once, as when nothing failed.
TEST(ImportFolder, ANoteThatCannotBeWrittenLosesNothingAndBringsNothingTwice)
{
    const std::string leftover = "\r\n#PARAGONY;\r\nP_ZAM;32;9;591;1000;Sok\r\nP_PLU;1;5;;Woda;1000;200;0\r\n"
                                 "P_PLA;2;1;Gotowka;0;200;;;;-1\r\nP_TRN;100;20260309080500000;0001;Ala;3;200;200;10\r\n"
                                 "#BEZ_WATPLIWOSCI\r\n";
    // The case, its import mode, its leftover, the write that fails ("": the
    // first sync) and the error the run ends with ("": none).
    const std::tuple<const char*, const char*, std::string, const char*, const char*> cases[] = {
        {"the archive note of a leftover", "1", leftover, "#ZARCHIWIZOWANO", ""},
        {"a day note in totals mode", "0", "", "#PRZEKAZANO;", ""},
        {"the first sync of the reading", "1", "", "",
         ": błąd wejścia-wyjścia) - odczyt przerwany; przy zaniku zasilania może zginąć rekordów: "},
    };
    for (const auto& [what, mode, left, note, error] : cases) {
        auto session = [&, mode = mode, left = left] {
            auto s = Session();
            s->host.SetParam("ComboImpMode", mode);
            if (!left.empty()) WriteFile(Exchange(*s, "combo.imp"), left);
            return s;
        };
        const auto never = session();
        ASSERT_EQ(never->Run(-3), 0) << what;
        const auto s = session();
        {
            std::lock_guard<std::mutex> guard(g_undeletableLock);
            g_failingWrite = note;
            g_failingSync = *note == 0;
        }
        s->Run(-3);
        EXPECT_TRUE(g_failingWrite.empty() && !g_failingSync) << what;
        // A run stopped leaves the cashier state to the next one's reading too.
        if (*error == 0) {
            EXPECT_FALSE(ShowsError(s->host, "")) << what << ::testing::PrintToString(s->host.lines);
            EXPECT_FALSE(HasLeftover(*s)) << what;
            EXPECT_EQ(s->host.imports.size(), never->host.imports.size()) << what;
        } else {
            EXPECT_TRUE(ShowsError(s->host, error)) << what << ::testing::PrintToString(s->host.lines);
        }
        Recover(*s, what);
        EXPECT_EQ(Receipts(s->host), Receipts(never->host)) << what;
        EXPECT_EQ(OrderLines(*s), OrderLines(*never)) << what;
    }
}

// A kept-orders file cut at every byte, or its end line changed: before the
// register is read the run sets it aside, naming both files, and writes
// nothing from it; the sales of the run and their order reach the host and
// the EDI folder, and the run ends with the error. Put back whole, its
// orders are written once. A file cut only after its end line is whole.
TEST(ImportFolder, AKeptOrdersFileCutShortOrChangedIsSetAsideAndLosesNothingOnceMended)
{
    const auto keeping = Session();
    keeping->host.SetParam("ComboEdiFolder", "");
    keeping->Run(-3);
    // Another order than the run's own, so that its document is no copy of the run's.
    const std::string kept = std::regex_replace(ReadFile(Exchange(*keeping, "zamowienia.tmp")),
                                                std::regex("Mleko;590;2500"), "Sok;591;1000");
    const size_t endLine = kept.rfind("#KONIEC 1 1\r\n");
    ASSERT_NE(endLine, std::string::npos) << kept;
    const auto clean = Session();
    ASSERT_EQ(clean->Run(-3), 0);
    std::multiset<std::string> all = OrderLines(*clean);
    all.insert("Linia:Kod{591}Ilosc{1.000}");

    std::vector<std::pair<std::string, std::string>> files;
    for (size_t cut = 0; cut < kept.size(); ++cut)
        files.emplace_back("cut at " + std::to_string(cut), kept.substr(0, cut));
    for (const char* end : {"#KONIEC 1 2", "#KONIEC 2 1", "#KONIEC 1 1 0"})
        files.emplace_back(end, kept.substr(0, endLine) + end + "\r\n\r\n");
    for (const auto& [what, text] : files) {
        const auto s = Session();
        const std::string path = Exchange(*s, "zamowienia.tmp"), aside = Exchange(*s, "zamowienia-uszkodzony.tmp");
        WriteFile(path, text);
        s->Run(-3);
        EXPECT_EQ(Receipts(s->host), CleanReceipts()) << what;
        if (what.starts_with("cut") && text.size() >= endLine + 11) {
            EXPECT_FALSE(ShowsError(s->host, "")) << what;
            EXPECT_EQ(OrderLines(*s), all) << what;
            continue;
        }
        const std::string damaged = "Plik " + path + " był uszkodzony (ucięty lub zmieniony) - przeniesiono go do pliku " +
                                    aside + "; nie zapisano z niego żadnego zamówienia";
        EXPECT_TRUE(ShowsError(s->host, damaged)) << what << ::testing::PrintToString(s->host.lines);
        size_t told = 0, read = 0;
        for (size_t i = 0; i < s->host.lines.size(); ++i) {
            if (!told && s->host.lines[i].text.starts_with(damaged)) told = i + 1;
            if (!read && s->host.lines[i].text.starts_with("- import paragonów szczegółowych")) read = i + 1;
        }
        EXPECT_TRUE(told && told < read) << what << ": told before the register is read";
        EXPECT_EQ(ReadFile(aside), text) << what;
        EXPECT_EQ(OrderLines(*s), OrderLines(*clean)) << what;
        std::filesystem::remove(aside);
        WriteFile(path, kept);
        EXPECT_EQ(s->Run(-3), 0) << what;
        EXPECT_EQ(OrderLines(*s), all) << what;
    }
}

// 300 receipts in a row: whenever the register is asked for the next record,
// which lets it forget the one before, at most 255 of the records read are
// not on the disk yet, and none is once the first day goes to the host.
TEST(ImportFolder, TheRecordsTheRegisterForgetsReachTheDiskInGroups)
{
    json records = json::array();
    for (int n = 1; n <= 300; ++n) {
        records.push_back(Plu(10, 7, "Chleb", 1000, 350));
        records.push_back(Close(n, 9, n, 350));
    }
    const auto s = Session("", records);
    int most = 0, atHandOver = -1;
    s->host.onLine = [&](const HostLine& line) {
        if (!line.text.starts_with("- import paragonów szczegółowych...:")) return;
        std::lock_guard<std::mutex> guard(g_undeletableLock);
        most = std::max(most, g_unsyncedLines);
    };
    s->host.onImport = [&](size_t taken) {
        std::lock_guard<std::mutex> guard(g_undeletableLock);
        if (taken == 1) atHandOver = g_unsyncedLines;
    };
    {
        std::lock_guard<std::mutex> guard(g_undeletableLock);
        g_unsyncedLines = 0;
    }
    ASSERT_EQ(s->Run(-3), 0);
    EXPECT_EQ(Receipts(s->host).size(), 300u);
    EXPECT_GT(most, 0);
    EXPECT_LE(most, 255);
    EXPECT_EQ(atHandOver, 0);
}

// Two hosts, each of its own register, on one exchange folder of a file
// system whose flock keeps no locks, or locks without excluding anyone (the
// shim answers for it so). Started together, many times: whenever the two
// meet, one is refused before it reaches its register, naming the folder,
// and every receipt reaches its own host once (the refused host runs again
// alone). A host that starts while the other waits for its register is
// refused; once that one is killed, the next run on this machine goes on at
// once, and the killed host's next run hands over all its register holds.
TEST(ImportFolder, TwoHostsOfTwoRegistersOnOneFolderWhoseFlockExcludesNoOne)
{
    const int kTrials = sizeof(SANITIZER_RUNTIME) > 1 ? 8 : 20;
    // Each register's day: receipts of numbers of its own.
    auto dayOf = [](int till) {
        return json{Plu(10, 7, "Chleb", 1000, 350), Cash(350), Close(till * 100 + 1, 9, 11, 350),
                    Plu(10, 8, "Mleko", 2000, 600), Cash(600), Close(till * 100 + 2, 10, 12, 600)};
    };
    std::multiset<std::string> alone[2];
    for (int till : {0, 1}) {
        RegisterAndHost r(dayOf(till + 1), "");
        ASSERT_EQ(r.Run(), 0) << ReadFile(r.tmp / "host.out");
        alone[till] = Holds(r).blocks;
        ASSERT_EQ(alone[till].size(), 2u);
    }
    auto connected = [](const RegisterAndHost& r) {
        return ReadFile(r.journal).find("\"event\":\"connect\"") != std::string::npos;
    };
    auto refused = [](const RegisterAndHost& r) {
        const std::string busy = "Katalog wymiany \"" + r.folder + "/\" jest zajęty przez inną operację (import lub "
                                 "eksport) - spróbuj później";
        return ReadFile(r.tmp / "host.out").find(Cp1250ToUtf8(busy)) != std::string::npos;
    };
    // Receipts a host lacks, holds twice, or holds of the other register.
    struct Count {
        size_t lost = 0, doubled = 0, foreign = 0;
    };
    auto count = [&](Count& n, const RegisterAndHost& r, int till) {
        const std::multiset<std::string> held = Holds(r).blocks;
        for (const std::string& block : alone[till]) n.lost += held.count(block) == 0;
        for (const std::string& block : held) {
            n.doubled += alone[till].count(block) > 0 && held.count(block) > 1;
            n.foreign += alone[1 - till].count(block);
        }
    };
    const std::string runtime = SANITIZER_RUNTIME;
    for (const char* flock : {"unsupported", "unshared"}) {
        const std::vector<std::string> shim = {"LD_PRELOAD=" + (runtime.empty() ? "" : runtime + " ") + FILE_CALL_SHIM,
                                               std::string("VELSHIM_FLOCK=") + flock};
        int oneRefused = 0, bothRan = 0, otherwise = 0;
        Count n;
        for (int trial = 1; trial <= kTrials; ++trial) {
            TempDir shared;
            RegisterAndHost a(dayOf(1), "", shared.Path()), b(dayOf(2), "", shared.Path());
            const pid_t first = StartHost(a.tmp / "host.ini", a.tmp / "host.out", RLIM_INFINITY, shim);
            const pid_t second = StartHost(b.tmp / "host.ini", b.tmp / "host.out", RLIM_INFINITY, shim);
            const int statuses[2] = {WaitHost(first), WaitHost(second)};
            RegisterAndHost* both[2] = {&a, &b};
            if (statuses[0] == 0 && statuses[1] == 0) ++bothRan;
            for (int i : {0, 1}) {
                RegisterAndHost& r = *both[i];
                if (statuses[i] == 0) continue;
                const bool wasRefused = statuses[i] == 2 && refused(r) && statuses[1 - i] == 0;
                ++(wasRefused ? oneRefused : otherwise);
                EXPECT_TRUE(wasRefused) << flock << ", trial " << trial << ": " << statuses[i] << "\n"
                                        << ReadFile(r.tmp / "host.out");
                EXPECT_FALSE(connected(r)) << flock << ", trial " << trial;
                EXPECT_EQ(r.Run(false, RLIM_INFINITY, shim), 0) << ReadFile(r.tmp / "host.out");
            }
            count(n, a, 0);
            count(n, b, 1);
            for (const auto& file : std::filesystem::directory_iterator(shared.Path()))
                EXPECT_FALSE(std::regex_match(file.path().filename().string(),
                                              std::regex("combo.*\\.imp|.*\\.tmp|velcombo\\.lck\\..*")))
                    << flock << ", trial " << trial << ": left " << file.path();
        }
        std::cout << "flock " << flock << ": " << kTrials << " trials; the two met and one was refused in "
                  << oneRefused << ", ran one after the other in " << bothRan << ", ended otherwise in " << otherwise
                  << "; receipts lost " << n.lost << ", doubled " << n.doubled << ", of the other register "
                  << n.foreign << "\n";
        EXPECT_EQ(n.lost + n.doubled + n.foreign, 0u) << flock;

        TempDir shared;
        RegisterAndHost a(dayOf(1), R"({"501": {"1": "hold"}})", shared.Path()), b(dayOf(2), "", shared.Path());
        const pid_t first = StartHost(a.tmp / "host.ini", a.tmp / "host.out", RLIM_INFINITY, shim);
        ASSERT_TRUE(WaitUntil([&] { return ReadFile(a.journal).find("\"event\":\"hold\"") != std::string::npos; },
                              kEventWaitMs))
            << flock;
        EXPECT_EQ(b.Run(false, RLIM_INFINITY, shim), 2) << flock;
        EXPECT_TRUE(refused(b)) << flock << ReadFile(b.tmp / "host.out");
        EXPECT_FALSE(connected(b)) << flock;
        kill(first, SIGKILL);
        EXPECT_EQ(WaitHost(first), -SIGKILL);
        EXPECT_TRUE(Exists(shared / "velcombo.lck.held")) << flock << ": the killed host's holder file";
        EXPECT_EQ(b.Run(false, RLIM_INFINITY, shim), 0) << flock << ReadFile(b.tmp / "host.out");
        EXPECT_EQ(a.Run(false, RLIM_INFINITY, shim), 0) << flock << ReadFile(a.tmp / "host.out");
        EXPECT_EQ(Holds(a).blocks, alone[0]) << flock;
        EXPECT_EQ(Holds(b).blocks, alone[1]) << flock;
        EXPECT_FALSE(Exists(shared / "velcombo.lck.held")) << flock;
    }
}
