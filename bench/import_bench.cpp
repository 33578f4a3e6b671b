// The sales import as the host runs it, through the real library loaded by
// the host harness, with the protocol trace off and on (paired.h: sides in
// rounds, medians, targets).
//
// FileImport: operation -6 in file mode on a busy day's "combo.imp" of
// 700 000 lines (receipts of five goods lines, a discount, a payment and the
// close): parsed, written as "kasa.imp", archived and handed over. Before
// each run the host's parameters are as configured again (the printout
// number the last run stored would set every receipt aside) and the folder
// is emptied; each run must hand over every receipt of the file with every
// item and payment. Beside it, its floor: the same bytes read, the
// hand-over's bytes written as a file, and both appended to archives, the
// files' work no import can do without; and `wc -l` (started directly) on
// the same bytes. Target: the import at most 6 times its floor.
//
// LinkImport: operation -6 over TCP/IP against the register simulator, which
// serves 100 000 receipts of seven records (five goods lines, a payment, the
// close), read into "combo.imp" and on to "kasa.imp". Beside it, the bare
// client (bare_client.h) takes the same records from a simulator with the
// same scenario, SALERECGET after SALERECGET until the buffer is empty.
// Target: the bare client's time over the import's, the share of the link's
// pace the import keeps, at least 0.9. Every run has a simulator of its own,
// started before its time begins and keeping no journal, so that its work
// per record is the same for all; the CPU times are this process's own.
#include <fcntl.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bare_client.h"
#include "cbcommands.h"
#include "paired.h"
#include "peer_process.h"
#include "run_host.h"
#include "wire_codec.h"

namespace {

using paired::Goal;
using paired::Spent;

// A day of receipts in the intermediate file, `lines` lines in all. Its
// goods lines go through 4000 PLU numbers and then come back to them, as the
// simulator's receipts do (ReceiptScenario), at either size.
std::string DayFile(int lines)
{
    std::string text;
    for (int n = 0; n * 8 < lines; ++n) {
        for (int i = 0; i < 5; ++i)
            text += "P_PLU;1;" + std::to_string((n * 5 + i) % 4000 + 1) + ";590123412345" + std::to_string(i) +
                    ";Ser zolty " + std::to_string(i) + ";1000;599;0\r\n";
        text += "P_RAB;21;Rabat;1;2;50;\r\n";
        text += "P_PLA;2;1;Gotowka;0;2945;;;;-1\r\n";
        text += "P_TRN;" + std::to_string(n + 1) + ";202401021" + std::to_string(n % 10) +
                "1500000;1;Anna;3;2945;2945;" + std::to_string(n + 1) + "\r\n";
    }
    return text;
}

void EmptyFolder(const std::string& folder)
{
    for (const auto& entry : std::filesystem::directory_iterator(folder)) std::filesystem::remove_all(entry.path());
}

// What a day's hand-over must hold.
struct Expected {
    size_t receipts = 0, items = 0, payments = 0;
    bool HandedOver(const std::string& imported) const
    {
        return LinesStartingWith(imported, "[Paragon nr ") == receipts &&
               LinesStartingWith(imported, "ZAW;") == items && LinesStartingWith(imported, "PMT;") == payments;
    }
};

// --- FileImport ----------------------------------------------------------------------

// The host importing from "combo.imp" in a folder of its own.
struct FileImporter {
    testutil::TempDir dir;
    RunHost run;
    std::map<std::string, std::string> configured;

    explicit FileImporter(Trace trace)
        : run(dir.Folder(), trace, {{"ComboPort", "PLIK"}, {"ComboImpMode", "1"}, {"ComboImpReceipts", "1"}}),
          configured(run.host.params)
    {
    }
    // One whole operation -6 on the day; the hand-over, "" when the run did
    // not hand exactly one over or told of an error.
    std::string Import(const std::string& day, Spent& spent)
    {
        EmptyFolder(dir.Path());
        testutil::WriteFile(dir / "combo.imp", day);
        run.host.params = configured;
        run.host.imports.clear();
        run.host.lines.clear();
        int result = -1;
        spent = paired::Own([&] { result = run.Run(-6); });
        if (result != 0 || ToldOfError(run.host) || testutil::Exists(dir / "combo.imp") || run.host.imports.size() != 1)
            return "";
        return run.host.imports.front();
    }
};

// The files' work of an import: the sales file read whole, the hand-over's
// bytes written as a file, and both appended to archives.
Spent Floor(const std::string& sales, const std::string& handOver, const testutil::TempDir& dir)
{
    EmptyFolder(dir.Path());
    return paired::Own([&] {
        const std::string bytes = paired::ReadWhole(sales);
        paired::WriteWhole(dir / "kasa.imp", handOver, O_TRUNC);
        paired::WriteWhole(dir / "arch.imp", bytes, O_APPEND);
        paired::WriteWhole(dir / "arch1.imp", handOver, O_APPEND);
    });
}

void FileImport(benchmark::State& state)
{
    const std::string day = DayFile(paired::Sized(700000, 7000));
    const Expected expected{LinesStartingWith(day, "P_TRN;"), LinesStartingWith(day, "P_PLU;"),
                            LinesStartingWith(day, "P_PLA;")};
    FileImporter plain(Trace::Off), traced(Trace::On);
    testutil::TempDir dir, floorDir;
    // wc and the floor read a copy, as the import takes "combo.imp" away.
    const std::string sales = dir / "sales.imp";
    testutil::WriteFile(sales, day);
    // A first import, untimed, gives the floor the hand-over's bytes.
    Spent first;
    const std::string handOver = plain.Import(day, first);
    if (!expected.HandedOver(handOver)) return paired::Fail(state, "the import did not hand every receipt over");
    auto import = [&](FileImporter* importer) {
        return [&, importer] {
            Spent spent;
            if (!expected.HandedOver(importer->Import(day, spent)))
                paired::Fail(state, "the import did not hand every receipt, item and payment over");
            return spent;
        };
    };
    paired::Sides sides({"import", "import_traced", "floor", "wc"});
    if (!sides.Measure(state, {import(&plain), import(&traced), [&] { return Floor(sales, handOver, floorDir); },
                               [&] { return paired::CountLines(sales); }}))
        return;
    paired::Sides::Report(state, "floor_ratio", sides.Over(0, 2));
    paired::Sides::Report(state, "traced_floor_ratio", sides.Over(1, 2));
    paired::Sides::Report(state, "wc_ratio", sides.Over(0, 3));
    paired::Sides::Report(state, "traced_wc_ratio", sides.Over(1, 3));
    state.counters["receipts"] = static_cast<double>(expected.receipts);
    for (const Trace trace : {Trace::Off, Trace::On}) {
        const size_t side = trace == Trace::On ? 1 : 0;
        paired::Judge(std::string("FileImport, ") + TraceName(trace) +
                          ": op -6 over its floor (over wc -l: " + paired::Figure(sides.Over(side, 3).wall) + ")",
                      sides.Over(side, 2), Goal::AtMost, 6);
    }
}

// --- LinkImport ------------------------------------------------------------------------

// The simulator's scenario: `receipts` receipts of seven records, closing on
// one day.
std::string ReceiptScenario(int receipts)
{
    std::string text = R"({"model": 24, "clock": "2024-01-02 18:00:00", "receiptRecords": [)";
    for (int n = 0; n < receipts; ++n) {
        if (n > 0) text += ',';
        for (int i = 0; i < 5; ++i)
            text += R"({"type": 10, "fields": [["B", 1], ["V", )" + std::to_string((n * 5 + i) % 4000 + 1) +
                    R"(], ["S", "590123412345)" + std::to_string(i) + R"("], ["S", "Ser zolty )" + std::to_string(i) +
                    R"("], ["N", 1000], ["N", 599]]},)";
        text += R"({"type": 3, "fields": [["V", 1], ["S", "Gotowka"], ["B", 0], ["N", 2995]]},)";
        const std::string number = std::to_string(n + 1);
        text += R"({"type": 17, "fields": [["L", )" + number + R"(], ["B", 2], ["B", 1], ["V", 2024], ["B", 10], )" +
                R"(["B", 15], ["S", "1"], ["S", "Anna"], ["V", 3], ["N", 2995], ["N", 2995], ["L", )" + number + "]]}";
    }
    return text + "]}";
}

void StartSimulator(peerproc::PeerProcess& sim, const std::string& scenario)
{
    // A large scenario takes the simulator a while to read.
    sim.Start(REGSIM_EXE, {"--tcp", "0", "--scenario", scenario}, 300000);
}

// The records taken, SALERECGET after SALERECGET (the first asks for the
// first record, each next one confirms the last), up to the register's "no
// more records" (801); -1 when the buffer ended otherwise.
int BareReceipts(BareClient& client)
{
    static constexpr std::string_view kFirst("B\0", 2), kNext("B\1", 2);
    for (int records = 0;; ++records) {
        if (client.Command(CMD_SALERECGET, records == 0 ? kFirst : kNext, 1) == CMD_SALERECGET) continue;
        const auto answer = regsim::ParseFrame(client.Answer());
        const auto& fields = answer.frame.fields;
        return fields.size() > 2 && fields[2].number == 801 ? records : -1;
    }
}

void LinkImport(benchmark::State& state)
{
    // At the small size too, enough records for the command tokens to come
    // back to 0 after 9999.
    const int receipts = paired::Sized(100000, 1500);
    const Expected expected{static_cast<size_t>(receipts), 5 * static_cast<size_t>(receipts),
                            static_cast<size_t>(receipts)};
    testutil::TempDir dir;
    const std::string scenario = dir / "scenario.json";
    testutil::WriteFile(scenario, ReceiptScenario(receipts));
    auto import = [&](Trace trace) {
        return [&, trace] {
            testutil::TempDir exchange;
            RunHost run(exchange.Folder(), trace, {{"ComboImpMode", "1"}, {"ComboImpReceipts", "1"}});
            peerproc::PeerProcess sim;
            StartSimulator(sim, scenario);
            testutil::UseRegisterOverTcp(run.host, sim.Port());
            int result = -1;
            const Spent spent = paired::Own([&] { result = run.Run(-6); });
            if (result != 0 || ToldOfError(run.host) || run.host.imports.size() != 1 ||
                !expected.HandedOver(run.host.imports.front()))
                paired::Fail(state, "the import did not hand every receipt, item and payment over");
            return spent;
        };
    };
    auto bare = [&] {
        peerproc::PeerProcess sim;
        StartSimulator(sim, scenario);
        int records = 0;
        const Spent spent = paired::Own([&] {
            BareClient client(sim.Port());
            records = BareReceipts(client);
        });
        if (records != 7 * receipts) paired::Fail(state, "the bare client did not take every record");
        return spent;
    };
    paired::Sides sides({"import", "import_traced", "bare"});
    if (!sides.Measure(state, {import(Trace::Off), import(Trace::On), bare})) return;
    paired::Sides::Report(state, "ratio", sides.Over(2, 0));
    paired::Sides::Report(state, "traced_ratio", sides.Over(2, 1));
    state.counters["records"] = 7.0 * receipts;
    for (const Trace trace : {Trace::Off, Trace::On})
        paired::Judge(std::string("LinkImport, ") + TraceName(trace) + ": the bare client's time over the import's",
                      sides.Over(2, trace == Trace::On ? 1 : 0), Goal::AtLeast, 0.9);
}

}  // namespace

int main(int argc, char** argv)
{
    return paired::Main(argc, argv, [] {
        paired::Register("FileImport", FileImport);
        paired::Register("LinkImport", LinkImport);
    });
}
