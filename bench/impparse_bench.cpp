// The parse of a busy day's intermediate file: 200 000 receipt records (goods
// lines, discounts, payments and closes) in receipt mode, through the
// action's own parse pass with the host's callbacks answered in this
// process. Its baseline is a plain line count of the same file by `wc -l`.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "inprocess_host.h"
#include "paired.h"

namespace {

constexpr int kRecords = 200000;

// Receipts of eight records: five goods lines, a line discount, a payment
// and the close, closing on one day.
struct DayFile {
    testutil::TempDir dir;
    DayFile()
    {
        std::ofstream out(dir / "combo.imp", std::ios::binary);
        for (int n = 0; n < kRecords / 8; ++n) {
            for (int i = 0; i < 5; ++i)
                out << "P_PLU;1;" << (n * 5 + i) % 4000 + 1 << ";590123412345" << i << ";Ser zolty " << i
                    << ";1000;599;0\r\n";
            out << "P_RAB;21;Rabat;1;2;50;\r\n";
            out << "P_PLA;2;1;Gotowka;0;2945;;;;-1\r\n";
            out << "P_TRN;" << n + 1 << ";202401021" << n % 10 << "1500000;1;Anna;3;2945;2945;" << n + 1 << "\r\n";
        }
    }
};

class ParseAction : public TVelComboAction {
public:
    using TVelComboAction::TVelComboAction;
    size_t Parse()
    {
        imp_bufs.clear();
        imp_buf = nullptr;
        ReadFromFile();
        return imp_bufs.size();
    }
};

DayFile& Day()
{
    static DayFile day;
    return day;
}

// The parse beside `wc -l` (started directly) on the same file, in pairs
// (paired.h); the medians' lines a minute must be at least 1 000 000.
bool tooSlow = false;

void ParseDay(benchmark::State& state)
{
    InProcessHost in;
    in.host.device.folder = Day().dir.Folder();
    in.host.SetParam("ComboImpMode", "1");
    in.Start();
    auto action = in.NewAction<ParseAction>();
    const std::string combo = Day().dir / "combo.imp";
    paired::Pairs pairs;
    for (auto _ : state) {
        in.host.lines.clear();
        pairs.Run([&] { return paired::Own([&] { benchmark::DoNotOptimize(action->Parse()); }); },
                  [&] { return paired::CountLines(combo); });
    }
    pairs.Report(state, "parse", "wc");
    const double perMinute = kRecords / pairs.MedianOf(true, false) * 60;
    state.counters["lines_per_min"] = perMinute;
    if (perMinute < 1000000) {
        tooSlow = true;
        state.SkipWithError("the parse keeps to fewer than 1 000 000 lines a minute");
    }
}
BENCHMARK(ParseDay)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return tooSlow ? 1 : 0;
}
