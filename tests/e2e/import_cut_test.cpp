// What cuts an import short, at every record of the register's day: the
// host process killed while the register holds its next request, done or
// not; the link closed the same two ways with the host alive; a full
// exchange folder. Each run is a host process of its own (the harness),
// keeping what it takes as a real host keeps it. After the cut, clean runs
// leave the host with every receipt, other operation and order exactly once,
// whole, and with the totals and hourly report of a day that never failed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>

#include <filesystem>
#include <map>
#include <regex>

#include "import_host.h"
#include "receipt_records.h"
#include "register_session.h"

using namespace testutil;
using namespace testutil::records;

namespace {

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

// What a day that never failed leaves with the host.
const Holdings& Clean(const json& records)
{
    static std::map<std::string, Holdings> done;
    auto [it, fresh] = done.try_emplace(records.dump());
    if (fresh) {
        RegisterAndHost r(records, "");
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
void CutAndRecover(RegisterAndHost& r, const Cut& cut, const std::string& where)
{
    const int status = r.Run(cut.killHost);
    EXPECT_TRUE(r.held || !cut.killHost) << where << ": the simulator held no request";
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
        RegisterAndHost r(kDay, Faults(static_cast<int>(n) + 1, cut.fault));
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
        RegisterAndHost r(twoScans, Faults(record + 1, cut.fault));
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
    RegisterAndHost r(busyDay, "", full.path);
    constexpr rlim_t kRoom = 4096;
    // Where no file system can be mounted, the process's file size limit
    // makes the writes fail the same way. The folder's holder file takes a
    // page of the room.
    if (full.mounted) full.LeaveRoom(2 * kRoom);
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
    RegisterAndHost r(twoDays, "", "", "[callbacks]\ndie_at_import=2\n");
    EXPECT_EQ(r.Run(), -SIGKILL);
    EXPECT_EQ(VelHost::StoredImports(r.store).size(), 1u);
    WriteFile(r.tmp / "host.ini", std::regex_replace(ReadFile(r.tmp / "host.ini"), std::regex("die_at_import=2"), ""));
    EXPECT_EQ(r.Run(), 0);
    EXPECT_FALSE(r.Leftover());
    EXPECT_EQ(Holds(r), expected);
}

// An order and its correction with a receipt and a pay-in between them: a
// cut anywhere, by a killed host or a lost link, once or twice, still gives
// the ordering system one document with the corrected quantity, and the
// host what a day that never failed gives it. A run that ends while orders
// wait for the rest of their reading says how many.
TEST(CutImport, AnOrderAndItsCorrectionCutApartAreOneDocument)
{
    const json corrected = {
        Order(32, "59000", 1000),
        Plu(10, 7, "Chleb", 1000, 350),
        Payment(2, 1, "Gotowka", 0, 350),
        Close(101, 9, 11, 350),
        Order(33, "59000", 7500),
        TillOperation(4, 500),
    };
    const Holdings& expected = Clean(corrected);
    const std::vector<std::vector<std::string>> one = {{"Linia:Kod{59000}Ilosc{7.500}\r"}};
    ASSERT_EQ(expected.orders, std::multiset<std::string>(one[0].begin(), one[0].end())) << expected;
    std::vector<std::pair<std::string, std::string>> plans;
    for (const Cut& cut : kCuts)
        for (size_t n = 0; n <= corrected.size(); ++n)
            plans.emplace_back(std::string(cut.fault) + " at the request after record " + std::to_string(n),
                               Faults(static_cast<int>(n) + 1, cut.fault));
    // The second run takes the first one's orders in and is cut before the
    // correction: they wait on.
    plans.emplace_back("twice", R"({"451": {"2": "dropConnection", "5": "dropConnection"}})");
    for (const auto& [where, faults] : plans) {
        RegisterAndHost r(corrected, faults);
        const bool kill = where.rfind("hold", 0) == 0;
        int runs = 0;
        for (int status = r.Run(kill); status != 0 && runs < 4; status = r.Run(), ++runs) {
            const std::string out = ReadFile(r.tmp / "host.out");
            if (where == "twice" && runs == 1) {
                EXPECT_NE(out.find(Cp1250ToUtf8("W Zamówienia z przerwanego odczytu z kasy (wierszy: 1) czekają w pliku ")),
                          std::string::npos)
                    << out;
            }
            EXPECT_TRUE(EdiDocuments(r.edi).empty()) << where << ", run " << runs << out;
        }
        EXPECT_FALSE(r.Leftover() || Exists(r.folder + "/zamowienia.tmp")) << where;
        EXPECT_EQ(EdiDocuments(r.edi), one) << where;
        EXPECT_EQ(Holds(r), expected) << where;
    }
}
