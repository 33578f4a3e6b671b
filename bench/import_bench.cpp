// The sales import as the host runs it, through the real library loaded by
// the host harness. Both benchmarks time pairs (paired.h): each side's
// median wall-clock and CPU time, `ratio` and `cpu_ratio` of the medians.
//
// FileImport: operation -6 in file mode on a busy day's "combo.imp" of
// 700 000 lines (receipts of five goods lines, a discount, a payment and the
// close): parsed, written as "kasa.imp", archived and handed over. Before
// each run the host's parameters are as configured again: the printout
// number the last run stored would set every receipt aside. Each run must
// hand over every receipt of the file with every item and payment. Beside
// it, `wc -l` (started directly) counts the lines of the same bytes;
// `ratio` is the import's time over wc's (at most 40).
//
// LinkImport: operation -6 over TCP/IP against the register simulator, which
// serves 100 000 receipts of seven records (five goods lines, a payment, the
// close), read into "combo.imp" and on to "kasa.imp". Beside it, a bare
// client of the command exchange takes the same records from a second
// simulator with the same scenario, SALERECGET after SALERECGET until the
// buffer is empty. `ratio` is the bare client's time over the import's, the
// share of the link's pace the import keeps (at least 0.9). Neither
// simulator keeps a journal: its work per record is the same for both; the
// CPU times are this process's own.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cbcommands.h"
#include "cbframe.h"
#include "driver_client.h"
#include "hostlib.h"
#include "paired.h"
#include "peer_process.h"
#include "register_session.h"

namespace {

// The harness's host with the library registered, answering from `folder`,
// importing receipts with their detail. VELCOMBO_BENCH_LIB names another
// build of the library to time in its place, such as an earlier one.
struct Host {
    VelHost host;
    void* session = nullptr;

    explicit Host(const std::string& folder)
    {
        std::string error;
        const char* other = std::getenv("VELCOMBO_BENCH_LIB");
        if (!host.Load(other ? other : VELCOMBO_LIB, error)) throw std::runtime_error(error);
        host.device.folder = folder;
        testutil::SetParams(host, {{"ComboImpMode", "1"}, {"ComboImpReceipts", "1"}});
        if (!host.Register()) throw std::runtime_error("registration failed");
    }
    int Run(int operation)
    {
        char text[301] = {};
        return host.Lib().SerKasOperacja(host.Handle(), host.Call(), &session, text, operation, 0);
    }
};

// How often `part` begins a line of `text`.
size_t LinesStartingWith(std::string_view text, std::string_view part)
{
    size_t n = text.starts_with(part) ? 1 : 0;
    for (size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1))
        if (text.substr(at + 1).starts_with(part)) ++n;
    return n;
}

// A day of receipts in the intermediate file, `lines` lines in all.
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

void FileImport(benchmark::State& state)
{
    testutil::TempDir dir;
    Host host(dir.Folder());
    host.host.SetParam("ComboPort", "PLIK");
    const auto configured = host.host.params;
    const std::string day = DayFile(static_cast<int>(state.range(0)));
    // What the host must get: a receipt block for each close, its items and
    // payments.
    const size_t receipts = LinesStartingWith(day, "P_TRN;");
    const size_t items = LinesStartingWith(day, "P_PLU;");
    const size_t payments = LinesStartingWith(day, "P_PLA;");
    const std::string combo = dir / "combo.imp";
    // wc counts a copy, as the import takes "combo.imp" away.
    const std::string counted = dir / "counted.imp";
    testutil::WriteFile(counted, day);
    paired::Pairs pairs;
    for (auto _ : state) {
        for (const char* name : {"arch.imp", "arch1.imp", "kasa.imp", "kasa.tmp", "receipt.tmp"})
            std::remove((dir / name).c_str());
        testutil::WriteFile(combo, day);
        host.host.params = configured;
        host.host.imports.clear();
        int result = -1;
        pairs.Run([&] { return paired::Own([&] { result = host.Run(-6); }); },
                  [&] { return paired::CountLines(counted); });
        const std::string imported = host.host.imports.size() == 1 ? host.host.imports.front() : "";
        if (result != 0 || testutil::Exists(combo) || host.host.imports.size() != 1 ||
            LinesStartingWith(imported, "[Paragon nr ") != receipts || LinesStartingWith(imported, "ZAW;") != items ||
            LinesStartingWith(imported, "PMT;") != payments) {
            state.SkipWithError("the import did not hand every receipt, item and payment over");
            return;
        }
    }
    state.counters["receipts"] = static_cast<double>(receipts);
    pairs.Report(state, "import", "wc");
}
BENCHMARK(FileImport)->Arg(700000)->Iterations(6)->Unit(benchmark::kMillisecond)->UseRealTime();

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
    sim.Start(REGSIM_EXE, {"--tcp", "0", "--scenario", scenario}, 120000);
}

// SALERECGET until the buffer is empty; the records taken.
int BareReceipts(uint16_t port)
{
    DriverClient client(port);
    int records = 0;
    for (;; ++records) {
        const AnsiString field = ComboDataB(records == 0 ? 0 : 1);
        client.Command(CMD_SALERECGET, 1, &field);
        if (client.exchange.last_err_wyk != 0) return records;
    }
}

void LinkImport(benchmark::State& state)
{
    const int receipts = static_cast<int>(state.range(0));
    testutil::TempDir dir;
    const std::string scenario = dir / "scenario.json";
    testutil::WriteFile(scenario, ReceiptScenario(receipts));
    paired::Pairs pairs;
    for (auto _ : state) {
        // Each side's simulator is started before its time begins.
        auto runImport = [&] {
            testutil::TempDir exchange;
            Host host(exchange.Folder());
            peerproc::PeerProcess sim;
            StartSimulator(sim, scenario);
            testutil::UseRegisterOverTcp(host.host, sim.Port());
            int result = -1;
            const paired::Spent spent = paired::Own([&] { result = host.Run(-6); });
            const std::string imported = host.host.imports.empty() ? "" : host.host.imports.back();
            if (result != 0 || LinesStartingWith(imported, "[Paragon nr ") != static_cast<size_t>(receipts) ||
                LinesStartingWith(imported, "ZAW;") != 5 * static_cast<size_t>(receipts))
                state.SkipWithError("the import did not hand every receipt over");
            return spent;
        };
        auto runBare = [&] {
            peerproc::PeerProcess sim;
            StartSimulator(sim, scenario);
            int records = 0;
            const paired::Spent spent = paired::Own([&] { records = BareReceipts(sim.Port()); });
            if (records != 7 * receipts) state.SkipWithError("the bare client did not take every record");
            return spent;
        };
        pairs.Run(runImport, runBare);
    }
    state.counters["records"] = 7.0 * receipts;
    pairs.Report(state, "import", "bare", true);
}
BENCHMARK(LinkImport)->Arg(100000)->Iterations(4)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
