// The export run's data step on a large shop: 100000 goods in the host's
// export file read, indexed and reconciled against 100000 goods read back
// from the register. Rows per second count both sides; peak_rss_MB is the
// process's peak resident memory (getrusage ru_maxrss) after the runs, and
// rss_before_MB the same before them, with the test data made.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "StawkiKolejne.h"
#include "cbaction.h"
#include "cbexpbuf.h"

namespace {

double PeakRssMB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Host goods i = 0..n-1; the register holds every even one unchanged, every
// fourth odd one at another price and n / 4 goods of its own.
struct Shop {
    std::string folder, path;
    std::vector<std::pair<std::string, std::string>> registerGoods;

    explicit Shop(int n)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velbench-XXXXXX").string();
        folder = mkdtemp(pattern.data());
        path = folder + "/kasa.exp";
        std::ofstream out(path, std::ios::binary);
        out << "VAT;23\r\nVAT;8\r\nJM;1;0;szt\r\n";
        for (int i = 0; i < n; ++i)
            out << "PLU;" << i + 1 << ";" << i << ";" << 5900000000000LL + i << ";Towar numer " << i
                << ";1099;999;899;799;23;1;F;0;F;F;F;0;;3;AKT;opis;;PKWiU;SWW;0;0;1000;;;0;2300;Towar numer "
                << i << " pelna nazwa;1\r\n";
        for (int i = 0; i < n; ++i) {
            if (i % 4 == 3) continue;
            const std::string kod = std::to_string(5900000000000LL + i);
            const int price = i % 4 == 1 ? 1199 : 1099;
            registerGoods.emplace_back(kod, "TOW;" + std::to_string(i + 1) + ";Towar numer " + std::to_string(i) +
                                                ";" + kod + ";0;0;0;" + std::to_string(price) +
                                                ";0;1;0;0;0;4;1;1");
        }
        for (int i = 0; i < n / 4; ++i) {
            const std::string kod = std::to_string(2000000000000LL + i);
            registerGoods.emplace_back(kod, "TOW;" + std::to_string(200000 + i) + ";Obcy;" + kod +
                                                ";0;0;1;500;0;1;0;0;0;4;1;1");
        }
    }
    ~Shop() { std::filesystem::remove_all(folder); }
};

// An action without a host, whose register order holds 23 % and 8 %.
struct Action {
    TVelComboAction action{nullptr, nullptr};
    Action() { action.GetStawkiKolejnePrec()->WczytajZTekstuParametru("2300\r\n800", false); }
};

// Reads the export file of a shop of state.range(0) goods into a fresh buffer
// in every iteration (with no archive copy left from the last one) and hands
// the buffer on to `then`; sides: how many sides' rows an item counts.
template <typename Then>
void ReadEachIteration(benchmark::State& state, int sides, Then then)
{
    const int n = static_cast<int>(state.range(0));
    Shop shop(n);
    Action a;
    state.counters["rss_before_MB"] = PeakRssMB();
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(shop.folder + "/ARCH2.EXP");
        state.ResumeTiming();
        TVelComboExpBuf buf(&a.action);
        buf.ReadFromFile(shop.path, false, -1);
        then(shop, buf);
        benchmark::DoNotOptimize(buf.il_rec);
    }
    state.SetItemsProcessed(state.iterations() * sides * n);
    state.counters["peak_rss_MB"] = PeakRssMB();
}

void ReadExportFile(benchmark::State& state)
{
    ReadEachIteration(state, 1, [](const Shop&, TVelComboExpBuf&) {});
}
BENCHMARK(ReadExportFile)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);

void ReadIndexReconcile(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    ReadEachIteration(state, 2, [&](const Shop& shop, TVelComboExpBuf& buf) {
        for (const auto& [kod, line] : shop.registerGoods) buf.AddInPlu(kod, line);
        buf.AnalizujCancelBufor(false);
        if (buf.il_cen != n / 4 || buf.il_dod != n / 4 || buf.il_usu != n / 4) state.SkipWithError("wrong counts");
    });
}
BENCHMARK(ReadIndexReconcile)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
