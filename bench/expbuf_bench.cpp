// The export run's data step on a large shop: the host's export file of n
// goods read into the buffer, and reconciled against n goods read back from
// the register.
//
// ReadExportFile times the read beside `wc -l` on the same file in the same
// iteration (`ratio`: read time over wc's) and measures the read's memory:
// the peak resident growth during the read (`peak_MB`) against the file's
// size twice plus what the buffer keeps afterwards (`limit_MB`).
// Reconcile times the register's list taken in and the goods compared
// (`reconcile_s`), the file read excluded.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "StawkiKolejne.h"
#include "cbaction.h"
#include "cbexpbuf.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// A figure of /proc/self/status in MB ("VmRSS", "VmHWM").
double StatusMB(const std::string& key)
{
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, key.size() + 1, key + ":") == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
    return 0;
}

// Starts the peak resident figure (VmHWM) afresh from the present one.
void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

std::string Kod(long long base, int i)
{
    return std::to_string(base + i);
}

// Host goods i = 0..n-1; the register holds every even one unchanged, every
// fourth odd one at another price and n / 4 goods of its own.
struct Shop {
    std::string folder, path;
    int n;

    explicit Shop(int goods) : n(goods)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velbench-XXXXXX").string();
        folder = mkdtemp(pattern.data());
        path = folder + "/kasa.exp";
        std::ofstream out(path, std::ios::binary);
        out << "VAT;23\r\nVAT;8\r\nJM;1;0;szt\r\n";
        for (int i = 0; i < n; ++i)
            out << "PLU;" << i + 1 << ";" << i << ";" << Kod(5900000000000LL, i) << ";Towar numer " << i
                << ";1099;999;899;799;23;1;F;0;F;F;F;0;;3;AKT;opis;;PKWiU;SWW;0;0;1000;;;0;2300;Towar numer " << i
                << " pelna nazwa;1\r\n";
    }
    ~Shop() { std::filesystem::remove_all(folder); }

    double FileMB() const { return static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0); }

    template <typename Add>
    void RegisterGoods(Add add) const
    {
        for (int i = 0; i < n; ++i) {
            if (i % 4 == 3) continue;
            const std::string kod = Kod(5900000000000LL, i);
            add(kod, "TOW;" + std::to_string(i + 1) + ";Towar numer " + std::to_string(i) + ";" + kod + ";0;0;0;" +
                         (i % 4 == 1 ? "1199" : "1099") + ";0;1;0;0;0;4;1;1");
        }
        for (int i = 0; i < n / 4; ++i) {
            const std::string kod = Kod(2000000000000LL, i);
            add(kod, "TOW;" + std::to_string(200000 + i) + ";Obcy;" + kod + ";0;0;1;500;0;1;0;0;0;4;1;1");
        }
    }
};

// An action without a host, whose register order holds 23 % and 8 %.
struct Action {
    TVelComboAction action{nullptr, nullptr};
    Action() { action.GetStawkiKolejnePrec()->WczytajZTekstuParametru("2300\r\n800", false); }
};

void ReadExportFile(benchmark::State& state)
{
    const Shop shop(static_cast<int>(state.range(0)));
    Action a;
    const std::string wc = "wc -l < '" + shop.path + "' > /dev/null";
    Clock::duration readTime{}, wcTime{};
    double peak = 0, limit = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(shop.folder + "/ARCH2.EXP");
        state.ResumeTiming();
        const auto t0 = Clock::now();
        if (std::system(wc.c_str()) != 0) state.SkipWithError("wc -l failed");
        const auto t1 = Clock::now();
        // What the last iteration freed goes back to the system first.
        malloc_trim(0);
        const double before = StatusMB("VmRSS");
        ResetPeak();
        {
            TVelComboExpBuf buf(&a.action);
            buf.ReadFromFile(shop.path, false, -1);
            readTime += Clock::now() - t1;
            wcTime += t1 - t0;
            peak = std::max(peak, StatusMB("VmHWM") - before);
            malloc_trim(0);
            limit = std::max(limit, 2 * shop.FileMB() + (StatusMB("VmRSS") - before));
            if (buf.il_rec != shop.n) state.SkipWithError("wrong count");
        }
    }
    state.counters["read_s"] = Seconds(readTime) / static_cast<double>(state.iterations());
    state.counters["wc_s"] = Seconds(wcTime) / static_cast<double>(state.iterations());
    state.counters["ratio"] = Seconds(readTime) / Seconds(wcTime);
    state.counters["file_MB"] = shop.FileMB();
    state.counters["peak_MB"] = peak;
    state.counters["limit_MB"] = limit;
}
BENCHMARK(ReadExportFile)->Arg(1000000)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void Reconcile(benchmark::State& state)
{
    const Shop shop(static_cast<int>(state.range(0)));
    Action a;
    Clock::duration time{};
    for (auto _ : state) {
        TVelComboExpBuf buf(&a.action);
        buf.ReadFromFile(shop.path, false, -1);
        std::filesystem::remove(shop.folder + "/ARCH2.EXP");
        const auto t0 = Clock::now();
        shop.RegisterGoods([&](const std::string& kod, const std::string& line) { buf.AddInPlu(kod, line); });
        buf.AnalizujCancelBufor(false);
        time += Clock::now() - t0;
        const int quarter = shop.n / 4;
        if (buf.il_cen != quarter || buf.il_dod != quarter || buf.il_usu != quarter)
            state.SkipWithError("wrong counts");
    }
    state.counters["reconcile_s"] = Seconds(time) / static_cast<double>(state.iterations());
}
BENCHMARK(Reconcile)->Arg(1000000)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
