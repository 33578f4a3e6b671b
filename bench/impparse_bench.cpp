// The parse of a busy day's intermediate file: 200 000 receipt records (goods
// lines, discounts, payments and closes) in receipt mode, through the
// action's own parse pass with the host's callbacks answered in this
// process. Its baseline is a plain line count of the same file by `wc -l`.
// The parse must keep to at least 1 000 000 lines a minute.
#include <benchmark/benchmark.h>
#include <stdio.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "inprocess_host.h"

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

// The rates of each run of the two, repetitions included.
std::vector<double> parseRates, countRates;

void BM_ParseDay(benchmark::State& state)
{
    InProcessHost in;
    in.host.device.folder = Day().dir.Folder();
    in.host.SetParam("ComboImpMode", "1");
    in.Start();
    auto action = in.NewAction<ParseAction>();
    for (auto _ : state) {
        in.host.lines.clear();
        benchmark::DoNotOptimize(action->Parse());
    }
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kRecords, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ParseDay)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CountLinesWithWc(benchmark::State& state)
{
    const std::string command = "wc -l < '" + (Day().dir / "combo.imp") + "'";
    for (auto _ : state) {
        FILE* pipe = popen(command.c_str(), "r");
        long lines = 0;
        if (!pipe || fscanf(pipe, "%ld", &lines) != 1) state.SkipWithError("wc -l failed");
        if (pipe) pclose(pipe);
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kRecords, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CountLinesWithWc)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps the rate of every run of the two for the closing ratio. With
// repetitions the reporter also gets their mean, median and deviation as
// rows of their own; those are no runs and are left out.
class RateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            const double seconds = run.GetAdjustedRealTime() / 1000.0;  // milliseconds per iteration
            if (seconds <= 0) continue;
            if (run.benchmark_name().find("ParseDay") != std::string::npos) parseRates.push_back(kRecords / seconds);
            if (run.benchmark_name().find("Wc") != std::string::npos) countRates.push_back(kRecords / seconds);
        }
    }
};

double Median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double parseRate = Median(parseRates), countRate = Median(countRates);
    if (parseRate > 0 && countRate > 0)
        printf(
            "parse: %.0f lines/s (%.0f lines/min, at least 1000000 needed); wc -l: %.0f lines/s; "
            "parse / wc -l = %.4f (medians of %zu and %zu runs)\n",
            parseRate, parseRate * 60, countRate, parseRate / countRate, parseRates.size(), countRates.size());
    return parseRate * 60 >= 1000000 ? 0 : 1;
}
