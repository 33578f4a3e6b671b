// The sales import as the host runs it, through the real library loaded by
// the host harness.
//
// FileImport: operation -6 in file mode on a busy day's "combo.imp" of
// 700 000 lines (receipts of five goods lines, a discount, a payment and the
// close): parsed, written as "kasa.imp", archived and handed over. Beside it,
// in the same iteration, `wc -l` counts the lines of the same file; `ratio`
// is the import's time over wc's (at most 40).
//
// LinkImport: operation -6 over TCP/IP against the register simulator, which
// serves 100 000 receipts of seven records (five goods lines, a payment, the
// close), read into "combo.imp" and on to "kasa.imp". Beside it, a bare
// client of the command exchange takes the same records from a second
// simulator with the same scenario, SALERECGET after SALERECGET until the
// buffer is empty. `ratio` is the bare client's time over the import's, the
// share of the link's pace the import keeps (at least 0.9): the median over
// the iterations, in which the two take turns at going first. Each side's
// own CPU time is shown too (`import_cpu_s`, `bare_cpu_s`). Neither
// simulator keeps a journal: its work per record is the same for both.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "cbcommands.h"
#include "cbframe.h"
#include "driver_client.h"
#include "hostlib.h"
#include "peer_process.h"
#include "register_session.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// The harness's host with the library registered, answering from `folder`,
// importing receipts with their detail.
struct Host {
    VelHost host;
    void* session = nullptr;

    explicit Host(const std::string& folder)
    {
        std::string error;
        if (!host.Load(VELCOMBO_LIB, error)) throw std::runtime_error(error);
        host.device.folder = folder;
        testutil::SetParams(host, {{"ComboImpMode", "1"}, {"ComboImpReceipts", "1"}});
        if (!host.Register()) throw std::runtime_error("registration failed");
    }
    int Run(int operation)
    {
        char text[301] = {};
        host.imports.clear();
        return host.Lib().SerKasOperacja(host.Handle(), host.Call(), &session, text, operation, 0);
    }
};

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
    const std::string day = DayFile(static_cast<int>(state.range(0)));
    const std::string combo = dir / "combo.imp";
    const std::string wc = "wc -l < '" + combo + "' > /dev/null";
    Clock::duration importTime{}, wcTime{};
    for (auto _ : state) {
        state.PauseTiming();
        for (const char* name : {"arch.imp", "arch1.imp", "kasa.imp", "kasa.tmp"}) std::remove((dir / name).c_str());
        testutil::WriteFile(combo, day);
        state.ResumeTiming();
        const auto t0 = Clock::now();
        if (std::system(wc.c_str()) != 0) state.SkipWithError("wc -l failed");
        const auto t1 = Clock::now();
        if (host.Run(-6) != 0 || testutil::Exists(combo) || host.host.imports.size() != 1)
            state.SkipWithError("the import did not hand the day over");
        importTime += Clock::now() - t1;
        wcTime += t1 - t0;
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["import_s"] = Seconds(importTime) / iterations;
    state.counters["wc_s"] = Seconds(wcTime) / iterations;
    state.counters["ratio"] = Seconds(importTime) / Seconds(wcTime);
}
BENCHMARK(FileImport)->Arg(700000)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

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

// This process's own CPU time so far, user and system.
Clock::duration CpuTime()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto of = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return std::chrono::duration_cast<Clock::duration>(of(usage.ru_utime) + of(usage.ru_stime));
}

// The wall-clock and CPU time of a step.
struct Spent {
    Clock::duration wall{}, cpu{};
    template <typename Step>
    void Add(Step step)
    {
        const auto wall0 = Clock::now();
        const auto cpu0 = CpuTime();
        step();
        cpu += CpuTime() - cpu0;
        wall += Clock::now() - wall0;
    }
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
}

void LinkImport(benchmark::State& state)
{
    const int receipts = static_cast<int>(state.range(0));
    testutil::TempDir dir;
    const std::string scenario = dir / "scenario.json";
    testutil::WriteFile(scenario, ReceiptScenario(receipts));
    Spent import, bare;
    std::vector<double> ratios;
    // The two take turns at going first, so that a load that comes and goes
    // on a shared machine falls on both alike.
    bool importFirst = true;
    for (auto _ : state) {
        Spent thisImport, thisBare;
        auto runImport = [&] {
            testutil::TempDir exchange;
            Host host(exchange.Folder());
            peerproc::PeerProcess sim;
            StartSimulator(sim, scenario);
            testutil::UseRegisterOverTcp(host.host, sim.Port());
            int result = -1;
            state.ResumeTiming();
            thisImport.Add([&] { result = host.Run(-6); });
            state.PauseTiming();
            const std::string imported = host.host.imports.empty() ? "" : host.host.imports.back();
            if (result != 0 || imported.find("[Paragon nr " + std::to_string(receipts) + "]") == std::string::npos)
                state.SkipWithError("the import did not hand every receipt over");
        };
        auto runBare = [&] {
            peerproc::PeerProcess sim;
            StartSimulator(sim, scenario);
            int records = 0;
            state.ResumeTiming();
            thisBare.Add([&] { records = BareReceipts(sim.Port()); });
            state.PauseTiming();
            if (records != 7 * receipts) state.SkipWithError("the bare client did not take every record");
        };
        state.PauseTiming();
        if (importFirst) {
            runImport();
            runBare();
        } else {
            runBare();
            runImport();
        }
        state.ResumeTiming();
        importFirst = !importFirst;
        ratios.push_back(Seconds(thisBare.wall) / Seconds(thisImport.wall));
        for (auto [total, one] : {std::pair{&import, &thisImport}, std::pair{&bare, &thisBare}}) {
            total->wall += one->wall;
            total->cpu += one->cpu;
        }
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["records"] = 7.0 * receipts;
    state.counters["import_s"] = Seconds(import.wall) / iterations;
    state.counters["bare_s"] = Seconds(bare.wall) / iterations;
    state.counters["import_cpu_s"] = Seconds(import.cpu) / iterations;
    state.counters["bare_cpu_s"] = Seconds(bare.cpu) / iterations;
    state.counters["ratio"] = Median(ratios);
}
BENCHMARK(LinkImport)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
