// What cuts an import short, at every record of the register's day: the
// host process killed while the register holds its next request, done or
// not; the link closed the same two ways with the host alive; a full
// exchange folder. Each run is a host process of its own (the harness),
// keeping what it takes as a real host keeps it. After the cut, clean runs
// leave the host with every receipt, other operation and order exactly once,
// whole, and with the totals and hourly report of a day that never failed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "receipt_records.h"
#include "register_session.h"

using namespace testutil;
using namespace testutil::records;

namespace {

json Close(int number, int hour, int printout, int total)
{
    return Rec(17, {L(number), B(9), B(3), V(2026), B(hour), B(5), S("0001"), S("Ala"), V(3), N(total), N(total),
                    L(printout)});
}
json Payment(int type, int form, const char* name, int formType, int value)
{
    return Rec(type, {V(form), S(name), B(formType), N(value)});
}
json TillOperation(int type, int value) { return Rec(type, {V(1), S("Gotowka"), B(0), N(value), S(""), S("0001"), S("Ala"), V(3)}); }
json Order(int type, const char* code, int quantity) { return Rec(type, {V(9), S(code), N(quantity), S("Zamowienie")}); }

// Three receipts and every kind of record around them, no two alike in a row.
const json kDay = {
    Plu(10, 7, "Chleb", 1000, 350),
    Rec(0, {V(4), S("4"), N(2), N(100)}),
    Payment(2, 1, "Gotowka", 0, 450),
    Close(101, 9, 11, 450),
    TillOperation(4, 10000),
    Plu(10, 8, "Mleko", 2000, 600),
    Rec(21, {S("Rabat"), B(1), V(1), N(-60)}),
    Plu(13, 9, "Ser", 1000, 900),
    Rec(25, {V(1)}),
    Payment(2, 2, "Karta", 2, 540),
    Close(102, 10, 12, 540),
    Rec(16, {B(9), B(3), V(2026), V(12), B(0), B(0), N(1), N(2), N(3), N(4), N(5), N(6), N(7)}),
    Order(32, "590", 2500),
    Plu(10, 5, "Woda", 1000, 200),
    Rec(18, {B(9), B(3), V(2026), B(12), B(1), S("0001"), S("Ala"), V(3), V(1), N(200), N(200)}),
    TillOperation(5, 3000),
    Plu(10, 7, "Chleb", 3000, 4300),
    Rec(22, {S("Rabat"), B(1), V(2), N(-100)}),
    Rec(6, {V(3), S("EUR"), N(4200), N(1000), N(42000)}),
    Payment(3, 1, "Gotowka", 0, 100),
    Close(103, 17, 13, 4200),
    Order(33, "591", 3000),
};

// A host process of its own; the harness prints to a file of the test.
pid_t StartHost(const std::string& ini, const std::string& out, rlim_t fileSizeLimit = RLIM_INFINITY)
{
    const std::vector<std::string> argv = {VELHOST_EXE, "--lib", VELCOMBO_LIB, "--config", ini, "op", "-3"};
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        // A host left behind by a killed test would hold the simulator's link.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        dup2(fd, 2);
        if (fileSizeLimit != RLIM_INFINITY) {
            // A write past the limit fails as on a full disk, instead of
            // ending the process.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit = {fileSizeLimit, fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

int WaitHost(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// How a run is cut: the simulator's fault at the request, and whether the
// host is killed while the simulator holds it.
struct Cut {
    const char* fault;
    bool killHost;
};
void PrintTo(const Cut& cut, std::ostream* out) { *out << cut.fault; }
const Cut kCuts[] = {
    {"hold", true},
    {"holdDone", true},
    {"dropConnection", false},
    {"dropConnectionDone", false},
};

// The register simulator, the host's configuration and its store, and the
// exchange folder (by default a folder of the test).
class Register {
public:
    Register(const json& records, const std::string& faults, const std::string& exchange = "",
             const std::string& moreIni = "")
        : folder(exchange.empty() ? tmp / "exchange" : exchange), store(tmp / "store")
    {
        std::filesystem::create_directories(folder);
        std::filesystem::create_directories(store);
        journal = tmp / "journal.jsonl";
        const json scenario = {{"model", 24}, {"registerNumber", "1"}, {"operator", 0},
                               {"clock", "2026-03-09 18:30:15"}, {"receiptRecords", records}};
        sim.Start(REGSIM_EXE, Concat(RegsimArgs(tmp, journal, scenario.dump(), faults), {"--tcp", "0"}));
        // No trace: the full folder is to be filled by the import's own files.
        WriteFile(tmp / "host.ini", "[device]\nnumber=1\nfolder=" + folder + "/\n[params]\nComboDedbug=0\n"
                                    "ComboPort=TCP/IP\n"
                                    "ComboIpAddress=127.0.0.1\nComboIpPort=" + std::to_string(sim.Port()) +
                                    "\nComboImpMode=1\nComboImpReceipts=1\nDataImportu=20260309000000000\n"
                                    "ComboEdiFolder=" + tmp / "edi" + "\n[host]\nstore=" + store + "\n" + moreIni);
    }

    // One host run to its end (its exit status), or killed as soon as the
    // simulator holds a request (then -SIGKILL).
    int Run(bool killOnHold = false, rlim_t fileSizeLimit = RLIM_INFINITY)
    {
        const pid_t host = StartHost(tmp / "host.ini", tmp / "host.out", fileSizeLimit);
        if (killOnHold) {
            const bool held = WaitUntil([&] { return ReadFile(journal).find("\"event\":\"hold\"") != std::string::npos; },
                                        kEventWaitMs);
            kill(host, SIGKILL);
            EXPECT_TRUE(held);
        }
        return WaitHost(host);
    }

    std::string File(const std::string& name) const { return ReadFile(folder + "/" + name); }
    bool Leftover() const { return Exists(folder + "/combo.imp") || Exists(folder + "/receipt.tmp"); }

    TempDir tmp;
    std::string folder, store, journal;
    peerproc::PeerProcess sim;
};

// What the host holds: the receipt and other-operation blocks of every
// import it took, the totals and hourly report summed over them, and the
// order lines of the EDI documents.
struct Holdings {
    std::multiset<std::string> blocks;
    std::map<std::string, long long> sums;
    std::multiset<std::string> orders;
    bool operator==(const Holdings&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Holdings& h)
{
    for (const std::string& b : h.blocks) out << "\n  " << b;
    for (const auto& [k, v] : h.sums) out << "\n  " << k << " = " << v;
    for (const std::string& o : h.orders) out << "\n  " << o;
    return out;
}

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, ';');) fields.push_back(field);
    return fields;
}

Holdings Holds(const Register& r)
{
    Holdings h;
    for (const std::string& import : VelHost::StoredImports(r.store)) {
        for (const std::string& block : Blocks(import, "[Paragon")) h.blocks.insert(block);
        // A pay-in or pay-out is dated when it is imported: its times apart.
        for (std::string block : Blocks(import, "[INNA_OPER]")) {
            if (block.find("OP_WPL;") != std::string::npos || block.find("OP_WYPL;") != std::string::npos)
                block = std::regex_replace(block, std::regex("[0-9]{17}"), "<czas>");
            h.blocks.insert(block);
        }
        std::string section;
        std::istringstream lines(import);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty() && line[0] == '[') section = line;
            const std::vector<std::string> f = Split(line);
            if (section == "[FINANSOWE]" && f.size() == 2) h.sums[f[0]] += std::stoll(f[1]);
            if ((section == "[TOWAROWE]" || section == "[RAPORT_GODZINOWY]") && f.size() >= 4)
                for (size_t i = 2; i < f.size(); ++i)
                    if (!f[i].empty()) h.sums[f[0] + ";" + f[1] + ";" + std::to_string(i)] += std::stoll(f[i]);
        }
    }
    if (Exists(r.tmp / "edi"))
        for (const auto& doc : std::filesystem::directory_iterator(r.tmp / "edi"))
            for (const std::string& line : ReadLines(doc.path()))
                if (line.rfind("Linia:", 0) == 0) h.orders.insert(line);
    return h;
}

// What a day that never failed leaves with the host.
const Holdings& Clean(const json& records)
{
    static std::map<std::string, Holdings> done;
    auto [it, fresh] = done.try_emplace(records.dump());
    if (fresh) {
        Register r(records, "");
        EXPECT_EQ(r.Run(), 0) << ReadFile(r.tmp / "host.out");
        it->second = Holds(r);
    }
    return it->second;
}

std::string Faults(int occurrence, const char* fault)
{
    return json{{"451", {{std::to_string(occurrence), fault}}}}.dump();
}

// The cut run, then clean runs until nothing is left over (two at most).
// A host alive at the cut leaves "receipt.tmp" as it was when the run
// failed; what a pass over the leftover alone (file mode) carries on from
// the files must be just that.
void CutAndRecover(Register& r, const Cut& cut, const std::string& where)
{
    const int status = r.Run(cut.killHost);
    // A run cut with the host alive ends in error lines.
    EXPECT_EQ(status, cut.killHost ? -SIGKILL : 2) << where;
    if (!cut.killHost) {
        const std::string spilled = r.File("receipt.tmp"), ini = ReadFile(r.tmp / "host.ini");
        WriteFile(r.tmp / "host.ini", std::regex_replace(ini, std::regex("ComboPort=TCP/IP"), "ComboPort=PLIK"));
        EXPECT_EQ(r.Run(), 0) << where << ReadFile(r.tmp / "host.out");
        EXPECT_EQ(r.File("receipt.tmp"), spilled) << where;
        WriteFile(r.tmp / "host.ini", ini);
    }
    for (int run = 0; run < 2 && (run == 0 || r.Leftover()); ++run)
        EXPECT_EQ(r.Run(), 0) << where << ReadFile(r.tmp / "host.out");
    EXPECT_FALSE(r.Leftover()) << where;
}

class CutAtEveryRecord : public ::testing::TestWithParam<Cut> {};

}  // namespace

TEST_P(CutAtEveryRecord, EverySaleReachesTheHostExactlyOnce)
{
    const Cut cut = GetParam();
    const Holdings& expected = Clean(kDay);
    ASSERT_EQ(expected.blocks.size(), 7u) << expected;
    ASSERT_EQ(expected.orders.size(), 2u) << expected;
    // The request after record n confirms it; the last gets "no record left".
    for (size_t n = 0; n <= kDay.size(); ++n) {
        const std::string where = std::string(cut.fault) + " at the request after record " + std::to_string(n);
        Register r(kDay, Faults(static_cast<int>(n) + 1, cut.fault));
        CutAndRecover(r, cut, where);
        EXPECT_EQ(Holds(r), expected) << where;
    }
}

INSTANTIATE_TEST_SUITE_P(, CutAtEveryRecord, ::testing::ValuesIn(kCuts),
                         [](const ::testing::TestParamInfo<Cut>& info) { return std::string(info.param.fault); });

// Two scans of one article give two records with the same line, one after
// the other. With the request confirming the first of them cut, the register
// serves the same line next whether it took the confirmation or not: the
// driver takes it for the first served again. Cut before the register did
// the request, that is right; cut after it, the second scan is taken for the
// first and the receipt reaches the host with one of them.
TEST(CutImport, TwoRecordsWithTheSameLineInARow)
{
    const json scan = Plu(10, 7, "Chleb", 1000, 350);
    const json twoScans = {scan, scan, Payment(2, 1, "Gotowka", 0, 700), Close(101, 9, 11, 700)};
    const Holdings& both = Clean(twoScans);
    const Holdings& one = Clean({scan, Payment(2, 1, "Gotowka", 0, 700), Close(101, 9, 11, 700)});
    const std::tuple<int, Cut, const Holdings*> cases[] = {
        {1, kCuts[0], &both}, {1, kCuts[2], &both},  // before the register took the first scan's confirmation
        {1, kCuts[1], &one},  {1, kCuts[3], &one},   // after it
        {2, kCuts[0], &both}, {2, kCuts[1], &both}, {2, kCuts[2], &both}, {2, kCuts[3], &both},
    };
    for (const auto& [record, cut, expected] : cases) {
        const std::string where = std::string(cut.fault) + " after scan " + std::to_string(record);
        Register r(twoScans, Faults(record + 1, cut.fault));
        CutAndRecover(r, cut, where);
        const Holdings holds = Holds(r);
        EXPECT_EQ(holds.blocks, expected->blocks) << where;
    }
}

namespace {
// The exchange folder on a small file system of its own where this process
// may mount one; a file filling all of it but the room given.
class FullFolder {
public:
    explicit FullFolder(const std::string& path) : path(path)
    {
        std::filesystem::create_directories(path);
        mounted = mount("tmpfs", path.c_str(), "tmpfs", 0, "size=256k") == 0;
    }
    ~FullFolder()
    {
        if (mounted) umount(path.c_str());
    }
    void LeaveRoom(uint64_t bytes) const
    {
        struct statvfs fs {};
        statvfs(path.c_str(), &fs);
        const uint64_t free = uint64_t{fs.f_bavail} * fs.f_bsize;
        WriteFile(path + "/filler", std::string(free > bytes ? free - bytes : 0, 'x'));
    }
    void Free() const { std::filesystem::remove(path + "/filler"); }

    std::string path;
    bool mounted = false;
};
}  // namespace

// A full disk stops the run at the first line it cannot write, before the
// request that would confirm that record; a later run, with room again,
// loses nothing of the day and hands nothing over twice.
TEST(CutImport, FullExchangeFolder)
{
    json busyDay = json::array();
    for (int n = 1; n <= 60; ++n)
        for (const json& record : {Plu(10, n, "Chleb", 1000, 100 + n), Payment(2, 1, "Gotowka", 0, 100 + n),
                                   Close(100 + n, 9 + n / 10, n, 100 + n)})
            busyDay.push_back(record);
    const Holdings& expected = Clean(busyDay);

    TempDir tmp;
    const FullFolder full(tmp / "exchange");
    Register r(busyDay, "", full.path);
    constexpr rlim_t kRoom = 4096;
    // Where no file system can be mounted, the process's file size limit
    // makes the writes fail the same way.
    if (full.mounted) full.LeaveRoom(kRoom);
    EXPECT_EQ(r.Run(false, full.mounted ? RLIM_INFINITY : kRoom), 2);
    const std::string combo = r.File("combo.imp");
    ASSERT_NE(combo.find("P_TRN;"), std::string::npos);
    EXPECT_EQ(combo.find("P_TRN;160;"), std::string::npos) << "the run stopped while reading receipts";
    EXPECT_EQ(combo.back(), '\n') << "no half line";

    full.Free();
    for (int run = 0; run < 2 && r.Leftover(); ++run) EXPECT_EQ(r.Run(), 0) << ReadFile(r.tmp / "host.out");
    EXPECT_FALSE(r.Leftover());
    EXPECT_EQ(Holds(r), expected);
}

// The host process ends while it is handed the second day: the first is
// with it, and the next run hands over the second alone.
TEST(CutImport, TheHostDyingAsItIsHandedTheSecondDay)
{
    json twoDays = kDay;
    for (const json& record : {Plu(10, 6, "Sok", 1000, 300), Payment(2, 1, "Gotowka", 0, 300),
                               Rec(17, {L(104), B(10), B(3), V(2026), B(8), B(5), S("0001"), S("Ala"), V(3), N(300),
                                        N(300), L(14)}),
                               TillOperation(4, 500)})
        twoDays.push_back(record);
    const Holdings& expected = Clean(twoDays);
    Register r(twoDays, "", "", "[callbacks]\ndie_at_import=2\n");
    EXPECT_EQ(r.Run(), -SIGKILL);
    EXPECT_EQ(VelHost::StoredImports(r.store).size(), 1u);
    WriteFile(r.tmp / "host.ini", std::regex_replace(ReadFile(r.tmp / "host.ini"), std::regex("die_at_import=2"), ""));
    EXPECT_EQ(r.Run(), 0);
    EXPECT_FALSE(r.Leftover());
    EXPECT_EQ(Holds(r), expected);
}
