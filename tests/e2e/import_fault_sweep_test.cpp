// One fault at every file call of an import, then good runs: the host ends
// up with what one uninterrupted import gives it -- every receipt, item,
// payment, pay-in and pay-out once, and the same EDI documents with the same
// order lines -- or the faulted run says why not in an error line.
//
// The import is a small one that still has every kind of seam: two days (two
// hand-overs), an order corrected at the very end of the reading, a pay-in
// after the last receipt. A shim preloaded into the host counts the file
// calls it makes on the exchange folder, the EDI folder and the host's store
// (tests/support/file_call_shim.cpp) and after the N-th: kills the host,
// removes the exchange folder or the EDI folder, puts an empty file or a
// copy of the reading in its place, drops the link to the register, or cuts
// the power (kills the host and puts every file back as it was last
// synced); or fails the N-th call once, or it and every later one as a full
// disk does. Each point is a register and a host of its own, run as a
// process as a real host runs; the host syncs what it keeps, as a host that
// keeps its promises does.
//
// A power cut takes the records the register forgot since the reading was
// last synced; the same records taken from the register give the outcome
// the host must have then. Whether the product synced within its time bound
// is not checked (on a busy machine a time says nothing); its bound in
// records is, in a reading longer than it, every 41st point of its reading.
//
// The ordering system takes every finished document out of the EDI folder
// as soon as it appears: here after every run, the faulted one included, so
// a document written again after it was taken counts twice.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>

#include "hostlib.h"
#include "import_host.h"
#include "receipt_records.h"

using namespace testutil;
using namespace testutil::records;

namespace {

// Day one: a receipt and an order; day two: a receipt, another order, a
// pay-in after it and the first order corrected.
const json kTwoDays = {
    Plu(10, 7, "Chleb", 1000, 350),
    Payment(2, 1, "Gotowka", 0, 350),
    Close(101, 9, 11, 350, 9),
    Order(32, "590", 2500),
    Plu(10, 8, "Mleko", 2000, 600),
    Payment(2, 2, "Karta", 2, 600),
    Close(102, 10, 12, 600, 10),
    Order(32, "591", 1000),
    TillOperation(4, 10000),
    Order(33, "590", 7500),
};

// The same and 400 more receipts on day two: a reading longer than the
// most records a power cut may take.
json LongReading()
{
    json records = kTwoDays;
    for (int receipt = 1001; receipt <= 1400; ++receipt) {
        records.push_back(Plu(10, 7, "Chleb", 1000, 350));
        records.push_back(Close(receipt, 11, receipt - 988, 350, 10));
    }
    return records;
}
const json kLongReading = LongReading();

// A file call of a host run as the shim traced it: its number, what it did,
// on which file (under the test's folder), and whether the register's link
// was open then.
struct FileCall {
    long number = 0;
    std::string op, path;
    bool linkOpen = false, failed = false;
    bool operator==(const FileCall& o) const { return number == o.number && op == o.op && path == o.path; }
};
std::ostream& operator<<(std::ostream& out, const FileCall& c)
{
    return out << "call " << c.number << " (" << c.op << " " << c.path << ")";
}
std::string ToString(const FileCall& c)
{
    std::ostringstream out;
    out << c;
    return out.str();
}

std::vector<FileCall> ReadTrace(const RegisterAndHost& r)
{
    std::vector<FileCall> calls;
    const std::string root = r.tmp.Path() + "/";
    for (std::string line : ReadLines(r.tmp / "calls.txt")) {
        FileCall call;
        const std::string link = " +link", failed = " !failed";
        call.failed = line.ends_with(failed);
        if (call.failed) line.resize(line.size() - failed.size());
        call.linkOpen = line.size() > link.size() && line.ends_with(link);
        if (call.linkOpen) line.resize(line.size() - link.size());
        std::istringstream fields(line);
        fields >> call.number >> call.op;
        std::getline(fields >> std::ws, call.path);
        if (call.path == r.tmp.Path()) call.path = ".";
        for (size_t at; (at = call.path.find(root)) != std::string::npos;) call.path.erase(at, root.size());
        // A file of the process's own is named after its machine and number.
        call.path = std::regex_replace(call.path, std::regex("(/velcombo\\.[a-z.]+)\\.[^/]+\\.[0-9]+$"), "$1.<pid>");
        calls.push_back(call);
    }
    return calls;
}

// The shim's setting for a run: its folders, its trace, and the fault after
// call `at` (none for 0). Under the sanitizers their runtime comes first.
std::vector<std::string> Shim(const RegisterAndHost& r, long at = 0, const std::string& fault = "",
                              const std::string& target = "")
{
    const std::string runtime = SANITIZER_RUNTIME;
    return {"LD_PRELOAD=" + (runtime.empty() ? "" : runtime + " ") + FILE_CALL_SHIM,
            "VELSHIM_WATCH=" + r.folder + ":" + r.edi + ":" + r.store,
            "VELSHIM_TRACE=" + r.tmp / "calls.txt",
            "VELSHIM_AT=" + std::to_string(at),
            "VELSHIM_FAULT=" + fault,
            "VELSHIM_TARGET=" + target,
            "VELSHIM_DURABLE=" + (fault == "powerCut" ? r.tmp / "durable" : "")};
}

// Where the ordering system puts the documents it took.
std::string Taken(const RegisterAndHost& r) { return r.tmp / "taken"; }

// The ordering system: every finished document ("Doc*.txt", never a file
// under its working name) moves out of the EDI folder, each under a name of
// its own however often a name comes again.
void TakeDocuments(const RegisterAndHost& r)
{
    std::filesystem::create_directories(Taken(r));
    std::error_code ignored;
    size_t taken = 0;
    for (auto it = std::filesystem::directory_iterator(Taken(r), ignored); it != decltype(it)(); ++it) ++taken;
    for (const auto& f : std::filesystem::directory_iterator(r.edi, ignored)) {
        const std::string name = f.path().filename();
        if (f.is_regular_file() && std::regex_match(name, std::regex("Doc.*\\.txt")))
            std::filesystem::rename(f.path(), Taken(r) + "/" + std::to_string(++taken) + "-" + name);
    }
}

// What a host, the EDI folder and the ordering system hold after the runs;
// a document as its order lines on one line. Whatever is left in the EDI
// folder counts as a document, a working file too.
struct Outcome {
    std::vector<std::string> imports;
    Holdings holds;
    std::multiset<std::string> documents;
};
Outcome OutcomeOf(const RegisterAndHost& r)
{
    Outcome o;
    o.imports = VelHost::StoredImports(r.store);
    o.holds = HoldingsOf(o.imports, r.edi);
    for (const std::string& folder : {r.edi, Taken(r)}) {
        for (const std::vector<std::string>& lines : EdiDocuments(folder)) {
            std::string document;
            for (const std::string& line : lines)
                document += (document.empty() ? "" : " ") + line.substr(0, line.find('\r'));
            o.documents.insert(document);
        }
    }
    return o;
}

// A block named by its head, an other operation by its lines.
std::string Named(const std::string& block)
{
    if (block.starts_with("[Paragon")) return block.substr(0, block.find('\n'));
    return std::regex_replace(block, std::regex("\r?\n"), " | ");
}

// What `actual` has that `expected` has not (multisets).
template <typename T>
std::vector<T> Beyond(const std::multiset<T>& actual, const std::multiset<T>& expected)
{
    std::vector<T> more;
    std::set_difference(actual.begin(), actual.end(), expected.begin(), expected.end(), std::back_inserter(more));
    return more;
}

// What a power cut took of the reading: the register's records from `first`
// to `end` (their lines, one a record, were read and not yet synced), and
// its notes.
struct Cut {
    size_t first = 0, end = 0;
    std::vector<std::string> notes;
};

// A power cut: each watched folder put back as the shim kept it when it
// was last synced.
Cut PutBackWhatWasSynced(const RegisterAndHost& r)
{
    const std::string kept = r.tmp / "durable";
    auto listing = [&](const std::string& key) {
        std::vector<std::array<std::string, 3>> entries;
        for (const std::string& line : ReadLines(kept + "/" + key + ".dir")) {
            std::array<std::string, 3> entry;
            std::istringstream fields(line);
            for (std::string& field : entry) std::getline(fields, field, '\t');
            entries.push_back(entry);
        }
        return entries;
    };
    std::function<void(const std::string&, const std::string&)> putBack = [&](const std::string& folder,
                                                                             const std::string& key) {
        std::filesystem::create_directory(folder);
        for (const auto& [name, entryKey, type] : listing(key)) {
            if (type == "d")
                putBack(folder + "/" + name, entryKey);
            else
                WriteFile(folder + "/" + name, ReadFile(kept + "/" + entryKey));
        }
    };
    const std::vector<std::string> before = ReadLines(r.folder + "/combo.imp");
    for (const std::string& root : {r.folder, r.edi, r.store}) {
        const std::filesystem::path path(root);
        struct stat parent {};
        stat(path.parent_path().c_str(), &parent);
        std::filesystem::remove_all(root);
        for (const auto& [name, key, type] : listing(std::to_string(parent.st_ino) + ".0"))
            if (name == path.filename()) putBack(root, key);
    }
    const std::vector<std::string> after = ReadLines(r.folder + "/combo.imp");
    auto records = [](const std::vector<std::string>& lines) {
        std::vector<std::string> kept;
        std::copy_if(lines.begin(), lines.end(), std::back_inserter(kept), [](auto& l) { return l.starts_with("P_"); });
        return kept;
    };
    const std::vector<std::string> read = records(before), synced = records(after);
    Cut cut;
    cut.end = read.size();
    while (cut.first < std::min(read.size(), synced.size()) && read[cut.first] == synced[cut.first]) ++cut.first;
    for (const std::string& line : Beyond(std::multiset<std::string>(before.begin(), before.end()),
                                          std::multiset<std::string>(after.begin(), after.end())))
        if (line.starts_with("#")) cut.notes.push_back(line);
    return cut;
}

// How the host's holdings differ from the uninterrupted run's; "" when not.
std::string Difference(const Outcome& expected, const Outcome& actual)
{
    std::ostringstream out;
    for (const std::string& b : Beyond(expected.holds.blocks, actual.holds.blocks)) out << "\n    lost: " << Named(b);
    for (const std::string& b : Beyond(actual.holds.blocks, expected.holds.blocks)) out << "\n    twice: " << Named(b);
    std::set<std::string> keys;
    for (const auto& [k, v] : expected.holds.sums) keys.insert(k);
    for (const auto& [k, v] : actual.holds.sums) keys.insert(k);
    std::string totals;
    for (const std::string& k : keys) {
        const auto e = expected.holds.sums.find(k), a = actual.holds.sums.find(k);
        const long long ev = e == expected.holds.sums.end() ? 0 : e->second;
        const long long av = a == actual.holds.sums.end() ? 0 : a->second;
        if (ev != av) totals += " " + k + " " + std::to_string(av) + " (not " + std::to_string(ev) + ")";
    }
    if (!totals.empty()) out << "\n    totals:" << totals;
    if (actual.documents != expected.documents) {
        out << "\n    EDI documents:";
        for (const std::string& d : actual.documents) out << "\n      [" << d << "]";
        out << "\n    instead of:";
        for (const std::string& d : expected.documents) out << "\n      [" << d << "]";
    }
    return out.str();
}

// The host's window: a host killed after it stored a day and before the
// library noted the day handed over gets the day again from the next run.
// Only the host could close that (it would have to know the day by what it
// keeps); what it gets again must be no more than that day's own: one more
// import of the same day, holding nothing the stored one did not.
std::string WithinTheHostsWindow(const Outcome& expected, const Outcome& actual, size_t stored)
{
    if (stored == 0 || stored > actual.imports.size()) return "";
    auto day = [](const std::string& import) {
        const size_t at = import.find("DATA_SPRZEDAZY;");
        return at == std::string::npos ? std::string() : import.substr(at + 15, 8);
    };
    const std::string& windowed = actual.imports[stored - 1];
    const Holdings window = HoldingsOf({windowed}, "");
    for (size_t again = stored; again < actual.imports.size(); ++again) {
        std::vector<std::string> rest = actual.imports;
        rest.erase(rest.begin() + static_cast<long>(again));
        const Holdings repeated = HoldingsOf({actual.imports[again]}, "");
        if (day(actual.imports[again]) != day(windowed) || !Beyond(repeated.blocks, window.blocks).empty()) continue;
        Outcome without = actual;
        without.holds = HoldingsOf(rest, "");
        without.holds.orders = actual.holds.orders;
        if (Difference(expected, without).empty())
            return "day " + day(windowed) + " handed over again as import " + std::to_string(again + 1);
    }
    return "";
}

// The error lines of the last run, the test's folder in them shown as "<test>".
std::vector<std::string> ErrorLines(const RegisterAndHost& r)
{
    std::vector<std::string> errors;
    for (std::string line : ReadLines(r.tmp / "host.out")) {
        if (!line.starts_with("ADD E ") && !line.starts_with("UPD E ")) continue;
        for (size_t at; (at = line.find(r.tmp.Path())) != std::string::npos;)
            line.replace(at, r.tmp.Path().size(), "<test>");
        errors.push_back(line);
    }
    return errors;
}

// What the sweep found, a finding of points in a row shown once.
class Findings {
public:
    // `point` counts the points swept: the one after the last found joins its group.
    void Add(size_t point, const FileCall& call, const std::string& finding)
    {
        ++FCount;
        if (!FGroups.empty() && FGroups.back().finding == finding && FGroups.back().lastPoint + 1 == point) {
            FGroups.back().last = call;
            FGroups.back().lastPoint = point;
            ++FGroups.back().points;
        } else {
            FGroups.push_back({call, call, point, 1, finding});
        }
    }
    size_t Count() const { return FCount; }
    std::string Text() const
    {
        std::ostringstream out;
        for (const Group& g : FGroups) {
            out << "\n  " << g.first;
            if (g.points > 1) out << " to " << g.last << ", " << g.points << " points";
            out << ":" << g.finding;
        }
        return out.str();
    }

private:
    struct Group {
        FileCall first, last;
        size_t lastPoint, points;
        std::string finding;
    };
    std::vector<Group> FGroups;
    size_t FCount = 0;
};

// Files of the exchange folder a run leaves for the next one.
std::vector<std::string> LeftFiles(const RegisterAndHost& r)
{
    std::vector<std::string> left;
    std::error_code ignored;
    for (const auto& f : std::filesystem::directory_iterator(r.folder, ignored)) {
        const std::string name = f.path().filename();
        if (std::regex_match(name, std::regex("combo(-[0-9]+)?\\.imp|receipt\\.tmp|zamowienia\\.tmp")))
            left.push_back(name);
    }
    return left;
}

// Where a fault means something: anywhere, while the exchange folder holds
// a reading, while the register is read (the link open, the reading still
// being written), or while the EDI folder is there without the run's
// document (removed after that, it takes the document with it as the
// ordering system would have), or at a call that may fail (any but a close
// or an open that makes no file).
enum class Applies { Always, ReadingThere, WhileReading, EdiFolderWithoutTheDocument, WriteType };

// A fault the shim does at a point, where it applies, and the cause an
// error line of the faulted run must name (a pattern) where the host's
// holdings differ (none: they may not differ); the register's records, and
// every how many points the fault is done (a long reading's points are
// many and alike).
struct Fault {
    const char* name;
    const char* shimFault;
    Applies applies;
    const char* cause;
    const json& records = kTwoDays;
    size_t every = 1;
};
void PrintTo(const Fault& fault, std::ostream* out)
{
    *out << fault.name;
}
// A day the host took whose note the disk refused comes again, as the
// faulted run says.
const char* const kNotNoted = "Nie odnotowano w pliku .* przekazania do bazy dni: [-0-9, ]+ - ";
const Fault kFaults[] = {
    {"Kill", "kill", Applies::Always, nullptr},
    {"FolderRemoved", "removeFolder", Applies::Always, "[Kk]atalog[a-z]* wymiany"},
    {"ReadingReplaced", "replaceFile", Applies::ReadingThere, "combo\\.imp"},
    {"LinkDropped", "dropLink", Applies::WhileReading, nullptr},
    {"EdiFolderRemoved", "removeFolder", Applies::EdiFolderWithoutTheDocument, nullptr},
    {"CopiedBack", "copyBack", Applies::ReadingThere, nullptr},
    {"WriteFailsOnce", "failOnce", Applies::WriteType, kNotNoted},
    {"DiskFull", "diskFull", Applies::WriteType, kNotNoted},
    {"PowerCut", "powerCut", Applies::Always, nullptr},
    {"PowerCutInALongReading", "powerCut", Applies::WhileReading, nullptr, kLongReading, 41},
};

// Under the sanitizers every second point, to stay within a minute.
constexpr size_t kStep = sizeof(SANITIZER_RUNTIME) > 1 ? 2 : 1;

// A point of the sweep: the call the fault follows, and the import the host
// stored whose note the library has not written yet (0: none).
struct Point {
    FileCall call;
    size_t window = 0;
};

// The calls of the uninterrupted run the fault applies at. A day the host
// stored is in its window until the library next writes the reading (its
// note of the day).
std::vector<Point> PointsOf(const Fault& fault, const std::vector<FileCall>& calls)
{
    std::vector<Point> points;
    bool readingThere = false, read = false, ediThere = false, documentThere = false;
    size_t stored = 0;
    const std::regex document(".* -> edi/Doc[^/]*\\.txt");
    const std::regex storing("store/import-([0-9]+)\\.imp\\.tmp -> store/import-\\1\\.imp");
    for (const FileCall& call : calls) {
        std::smatch m;
        // After a power cut the note is there once it is synced.
        const std::string noted = fault.shimFault == std::string("powerCut") ? "sync" : "write";
        if (call.op == "rename" && std::regex_match(call.path, m, storing))
            stored = std::stoul(m[1]);
        else if ((call.op == noted && call.path == "exchange/combo.imp") ||
                 call.path.ends_with("-> exchange/combo.imp"))
            stored = 0;
        if (call.path == "exchange/combo.imp") readingThere = call.op != "unlink";
        if (call.path.starts_with("exchange/combo.imp -> ")) readingThere = false;
        if (call.path.ends_with(" -> exchange/combo.imp")) readingThere = true;
        // The register is read until the first call on another file than
        // the reading (or its folder, synced once it is made).
        if (call.linkOpen && call.path != "exchange/combo.imp" && call.path != "exchange") read = true;
        const bool reading = call.linkOpen && !read;
        if (call.path.starts_with("edi")) ediThere = true;
        if (call.op == "rename" && std::regex_match(call.path, document)) documentThere = true;
        if (fault.applies == Applies::Always || (fault.applies == Applies::ReadingThere && readingThere) ||
            (fault.applies == Applies::WhileReading && reading) ||
            (fault.applies == Applies::EdiFolderWithoutTheDocument && ediThere && !documentThere) ||
            (fault.applies == Applies::WriteType && call.op != "close" && call.op != "open" && call.op != "rmdir"))
            points.push_back({call, stored});
    }
    return points;
}

// The uninterrupted run of a register that holds no records from `first`
// to `end`: what a host has after a power cut took them.
Outcome UninterruptedWithout(const json& held, size_t first, size_t end)
{
    static std::map<std::tuple<const json*, size_t, size_t>, Outcome> known;
    auto [it, added] = known.try_emplace({&held, first, end});
    if (added) {
        json records = json::array();
        for (size_t i = 0; i < held.size(); ++i)
            if (i < first || i >= end) records.push_back(held[i]);
        RegisterAndHost r(records, "");
        r.Run();
        TakeDocuments(r);
        it->second = OutcomeOf(r);
    }
    return it->second;
}

// The most records a power cut may take: the reading is synced before the
// register is told to forget once that many are not.
constexpr size_t kSyncedRecords = 256;

// A point's runs: what went wrong on the way ("" nothing), the faulted
// run's error lines, and what the host holds after the good runs.
struct PointRuns {
    std::string found;
    size_t window = 0;
    Cut cut;
    std::vector<std::string> errors;
    Outcome outcome;
};

// The reading is also synced once 200 ms of its records are not, so on a
// busy machine a run may sync it where the uninterrupted one did not, and
// every later call moves on. Two ways are the same when only those syncs
// differ up to where the shorter ends.
bool SameWay(const std::vector<FileCall>& a, const std::vector<FileCall>& b, FileCall* other)
{
    auto next = [](const std::vector<FileCall>& calls, size_t i) {
        while (i < calls.size() && calls[i].op == "sync" && calls[i].path == "exchange/combo.imp") ++i;
        return i;
    };
    for (size_t i = next(a, 0), j = next(b, 0); i < a.size() && j < b.size(); i = next(a, i + 1), j = next(b, j + 1))
        if (a[i].op != b[j].op || a[i].path != b[j].path) {
            *other = b[j];
            return false;
        }
    return true;
}

// The faulted run with a register and a host of their own, then good runs
// until nothing is left over (three at most).
PointRuns RunPoint(const Fault& fault, const std::vector<FileCall>& calls, const FileCall& call)
{
    PointRuns p;
    const bool powerCut = fault.shimFault == std::string("powerCut");
    const bool kill = fault.shimFault == std::string("kill") || powerCut;
    RegisterAndHost r(fault.records, "");
    if (powerCut) std::filesystem::create_directory(r.tmp / "durable");
    const bool reading = fault.applies == Applies::ReadingThere;
    const std::string target = reading                                                 ? r.folder + "/combo.imp"
                               : fault.applies == Applies::EdiFolderWithoutTheDocument ? r.edi
                                                                                       : r.folder;
    const int status = r.Run(false, RLIM_INFINITY, Shim(r, call.number, fault.shimFault, target));
    if (powerCut) p.cut = PutBackWhatWasSynced(r);
    TakeDocuments(r);
    p.errors = ErrorLines(r);
    const std::vector<FileCall> took = ReadTrace(r);
    const std::vector<FileCall> before(took.begin(), took.begin() + std::min<long>(call.number, std::ssize(took)));
    FileCall other;
    if (!SameWay(std::vector<FileCall>(calls.begin(), calls.begin() + call.number), before, &other))
        p.found += "\n    the run took another way to this call than the uninterrupted one: " + ToString(other);
    // The host's window by the way this run took.
    Fault everywhere = fault;
    everywhere.applies = Applies::Always;
    for (const Point& at : PointsOf(everywhere, before))
        if (at.call.number == call.number) p.window = at.window;
    if (kill && status != -SIGKILL) p.found += "\n    the host was not killed; it ended with " + std::to_string(status);
    // Done or failed with error lines; never a crash or a sanitizer's report.
    if (!kill && status != 0 && status != 2)
        p.found += "\n    the faulted run ended with " + std::to_string(status) + ":\n" + ReadFile(r.tmp / "host.out");
    // The user re-creates a folder that was taken away, as its error line asks.
    std::filesystem::create_directories(r.folder);
    std::string goodRuns;
    for (int run = 1; run <= 3; ++run) {
        const int good = r.Run();
        TakeDocuments(r);
        if (good != 0)
            goodRuns += "\n    good run " + std::to_string(run) + " ended with " + std::to_string(good) +
                        (good == 2 ? "" : ":\n" + ReadFile(r.tmp / "host.out"));
        for (const std::string& e : ErrorLines(r)) goodRuns += "\n      " + e;
        if (LeftFiles(r).empty()) break;
    }
    for (const std::string& left : LeftFiles(r)) p.found += "\n    left after three good runs: " + left;
    p.found += goodRuns;
    p.outcome = OutcomeOf(r);
    return p;
}

class FaultAtEveryFileCall : public ::testing::TestWithParam<Fault> {};

}  // namespace

TEST_P(FaultAtEveryFileCall, TheGoodRunsAfterItHandOverWhatOneUninterruptedRunWould)
{
    const Fault& fault = GetParam();
    const bool kill = fault.shimFault == std::string("kill") || fault.shimFault == std::string("powerCut");

    // The uninterrupted run, traced.
    RegisterAndHost clean(fault.records, "");
    ASSERT_EQ(clean.Run(false, RLIM_INFINITY, Shim(clean)), 0) << ReadFile(clean.tmp / "host.out");
    TakeDocuments(clean);
    const Outcome expected = OutcomeOf(clean);
    ASSERT_EQ(expected.imports.size(), 2u) << "two days, two hand-overs";
    ASSERT_EQ(expected.documents, (std::multiset<std::string>{"Linia:Kod{591}Ilosc{1.000} Linia:Kod{590}Ilosc{7.500}"}))
        << "one document, the order corrected";
    const std::vector<FileCall> calls = ReadTrace(clean);
    ASSERT_FALSE(calls.empty()) << "the shim traced no call";
    if (getenv("DUMPTRACE")) for (auto& c : calls) std::cout << "clean " << c << (c.linkOpen ? " +link" : "") << "\n";

    const std::vector<Point> points = PointsOf(fault, calls);
    if (kill) {
        std::ostringstream window;
        size_t width = 0;
        for (const Point& p : points)
            if (p.window) window << " " << p.call.number << " (import " << p.window << ")", ++width;
        std::cout << "The host's window, calls:" << window.str() << "\n";
        // The host's rename of what it stored and its folder's sync, and at
        // most the library's opening of the reading for its note; after a
        // power cut the note's write too, till its sync.
        const size_t calls = fault.shimFault == std::string("powerCut") ? 4 : 3;
        EXPECT_LE(width, calls * expected.imports.size()) << "a window wider than the host's store and the note";
    }

    Findings failures, notes;
    size_t swept = 0;
    for (size_t i = 0; i < points.size(); i += kStep * fault.every, ++swept) {
        const Point& point = points[i];
        PointRuns runs = RunPoint(fault, calls, point.call);
        std::string said;
        for (const std::string& e : runs.errors) said += "\n      " + e;
        // A power cut may take what the register forgot since the reading
        // was last synced: the host then holds what one uninterrupted run of
        // a register without those records would have given it, nothing
        // else lost. The last record read may be one the register has not
        // yet been told to forget.
        Outcome reference = expected;
        const Cut& cut = runs.cut;
        if (cut.end > cut.first) {
            reference = UninterruptedWithout(fault.records, cut.first, cut.end);
            const Outcome unconfirmed = UninterruptedWithout(fault.records, cut.first, cut.end - 1);
            if (!Difference(reference, runs.outcome).empty() && Difference(unconfirmed, runs.outcome).empty())
                reference = unconfirmed;
            if (cut.end - cut.first > kSyncedRecords)
                runs.found += "\n    " + std::to_string(cut.end - cut.first) + " records read and not synced";
        }
        std::string difference = Difference(reference, runs.outcome);
        if (!difference.empty())
            for (const std::string& note : cut.notes) difference += "\n    the power cut took the note " + note;
        if (difference.empty() && cut.end > cut.first)
            notes.Add(swept, point.call, "\n    the power cut took records " + std::to_string(cut.first + 1) + " to " +
                                             std::to_string(cut.end) + " read and not yet synced");
        if (!difference.empty()) {
            const std::string inWindow = kill ? WithinTheHostsWindow(expected, runs.outcome, runs.window) : "";
            const bool named =
                fault.cause && std::any_of(runs.errors.begin(), runs.errors.end(), [&](const std::string& e) {
                    return std::regex_search(e, std::regex(fault.cause));
                });
            if (!inWindow.empty())
                notes.Add(swept, point.call, "\n    the host's window: " + inWindow);
            else if (named)
                notes.Add(swept, point.call, "\n    said by the faulted run:" + said + difference);
            else
                runs.found = difference + runs.found;
        }
        if (!runs.found.empty())
            failures.Add(swept, point.call,
                         (said.empty() ? "" : "\n    the faulted run's errors:" + said) + runs.found);
    }
    // The points passed over: those where the fault means nothing, and
    // between the strides.
    std::cout << fault.name << ": " << swept << " points of " << calls.size() << " file calls (every "
              << kStep * fault.every << " of the " << points.size() << " where it applies), " << failures.Count()
              << " failed" << notes.Text() << "\n";
    EXPECT_EQ(failures.Count(), 0u) << fault.name << " at these points left the host other than the uninterrupted run:"
                                    << failures.Text();
}

INSTANTIATE_TEST_SUITE_P(, FaultAtEveryFileCall, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });
