// Reading and archiving the intermediate sales file: a busy register's day
// gives tens of thousands of lines, read line by line and archived whole.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "LTools.h"
#include "mfile.h"

namespace {

struct SalesFile {
    std::string folder, path;
    explicit SalesFile(int lines)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velbench-XXXXXX").string();
        folder = mkdtemp(pattern.data());
        path = folder + "/combo.imp";
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < lines; ++i) out << "P_PLU;1;" << i << ";5901234123457;Ser zolty;1000;599;0\r\n";
    }
    ~SalesFile() { std::filesystem::remove_all(folder); }
};

void ReadLines(benchmark::State& state)
{
    SalesFile file(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TMFile f;
        f.SetPath(file.path);
        f.SetReadOnly(true);
        f.Open();
        AnsiString line;
        int64_t n = 0;
        while (f.ReadLine(line, "\r\n")) ++n;
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ReadLines)->Arg(100000);

void Archive(benchmark::State& state)
{
    SalesFile file(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::filesystem::remove(file.folder + "/arch.imp");
        TLTools::ArchiveFile(file.path, file.folder + "/arch.imp", nullptr, false, -1, true, "");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(Archive)->Arg(100000);

}  // namespace

BENCHMARK_MAIN();
