// What every benchmark shares: its size, its sides timed in rounds, its
// targets and its closing lines.
//
// A benchmark runs at full size when started by hand, and at a small size
// with --small, as the test command runs it: there only its results are
// checked (what the driver handed over, programmed or matched), since a
// shared machine's speed proves nothing; a wrong result or a crash fails it
// at either size, a missed target never does.
//
// The sides of a comparison (the driver's and its baseline's) are timed in
// rounds: each round runs every side once, first to last in one round and
// last to first in the next, so that a load that comes and goes on a shared
// machine falls on all alike. Each side's wall-clock and CPU time are kept
// per round; the figures are their medians and the ratios are of the
// medians, so that a round the scheduler held up weighs no more than any
// other. A target holds only when it holds in wall and in CPU time.
#pragma once

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace paired {

// --- The run's size ------------------------------------------------------------

inline bool& SmallFlag()
{
    static bool small = false;
    return small;
}
inline bool Small()
{
    return SmallFlag();
}
// The full size's figure, or the small size's.
template <typename T>
T Sized(T full, T small)
{
    return Small() ? small : full;
}
// Rounds of a comparison: enough at full size for a median to stand, at the
// small size enough to run the sides in both orders.
inline int Rounds()
{
    return Sized(11, 2);
}

// --- Timing ----------------------------------------------------------------------

using Clock = std::chrono::steady_clock;

// Wall-clock and CPU seconds of one step.
struct Spent {
    double wall = 0, cpu = 0;
};

inline double Seconds(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

// This process's CPU time so far, user and system, all threads.
inline double ProcessCpu()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

// The calling thread's CPU time so far: a peer served by another thread of
// this process is left out.
inline double ThreadCpu()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A step of this process, its CPU time all of the process's threads'.
template <typename Step>
Spent Own(Step&& step, double (*cpuClock)() = ProcessCpu)
{
    const auto wall0 = Clock::now();
    const double cpu0 = cpuClock();
    step();
    const double cpu = cpuClock() - cpu0;
    return {std::chrono::duration<double>(Clock::now() - wall0).count(), cpu};
}

// A step of the calling thread alone.
template <typename Step>
Spent OwnThread(Step&& step)
{
    return Own(std::forward<Step>(step), ThreadCpu);
}

// A program started directly (no shell), its output to /dev/null; its CPU
// time is the child's own. Throws when it cannot start or fails.
inline Spent Program(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto wall0 = Clock::now();
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) throw std::runtime_error(args[0] + ": cannot start");
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0)
        if (errno != EINTR) throw std::runtime_error(args[0] + ": lost");
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error(args[0] + " failed");
    return {wall, Seconds(usage.ru_utime) + Seconds(usage.ru_stime)};
}

// `wc -l FILE`.
inline Spent CountLines(const std::string& path)
{
    return Program({"wc", "-l", path});
}

// A whole file in one read, as a baseline does its files' work.
inline std::string ReadWhole(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    std::string bytes;
    if (fd >= 0 && fstat(fd, &st) == 0) bytes.resize(static_cast<size_t>(st.st_size));
    if (fd < 0 || read(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) || close(fd) != 0)
        throw std::runtime_error("cannot read " + path);
    return bytes;
}

// Bytes written in one write(): flags O_TRUNC for a new file, O_APPEND to
// add them to it.
inline void WriteWhole(const std::string& path, const std::string& bytes, int flags)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0644);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) || close(fd) != 0)
        throw std::runtime_error("cannot write " + path);
}

inline double Median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
}

// --- Sides in rounds -------------------------------------------------------------

// One figure over another, in wall and in CPU time.
struct Ratio {
    double wall = 0, cpu = 0;
};

class Sides {
public:
    using Step = std::function<Spent()>;

    // The sides' names, as their counters are named.
    explicit Sides(std::vector<std::string> names) : FNames(std::move(names)), FSpent(FNames.size()) {}

    // One round: the steps, one a side in the names' order, run first to
    // last in the first round, last to first in the second, and so on.
    void Run(const std::vector<Step>& steps)
    {
        if (steps.size() != FNames.size()) throw std::logic_error("a step for each side");
        const bool backwards = FRounds % 2 == 1;
        for (size_t n = 0; n < steps.size(); ++n) {
            const size_t side = backwards ? steps.size() - 1 - n : n;
            FSpent[side].push_back(steps[side]());
        }
        ++FRounds;
    }
    size_t RoundsRun() const { return FRounds; }
    // A round for each of the benchmark's iterations, then the sides'
    // counters; false, with nothing reported, once a step failed.
    bool Measure(benchmark::State& state, const std::vector<Step>& steps)
    {
        for (auto _ : state) {
            Run(steps);
            if (state.error_occurred()) return false;
        }
        Report(state);
        return true;
    }

    // A side's median seconds.
    double Wall(size_t side) const { return MedianOf(side, &Spent::wall); }
    double Cpu(size_t side) const { return MedianOf(side, &Spent::cpu); }
    // Side a's medians over side b's.
    Ratio Over(size_t a, size_t b) const { return {Wall(a) / Wall(b), Cpu(a) / Cpu(b)}; }

    // NAME_s and NAME_cpu_s for each side, and the rounds run.
    void Report(benchmark::State& state) const
    {
        for (size_t side = 0; side < FNames.size(); ++side) {
            state.counters[FNames[side] + "_s"] = Wall(side);
            state.counters[FNames[side] + "_cpu_s"] = Cpu(side);
        }
        state.counters["rounds"] = static_cast<double>(FRounds);
    }
    // A ratio as the counters NAME and NAME_cpu.
    static void Report(benchmark::State& state, const std::string& name, Ratio ratio)
    {
        state.counters[name] = ratio.wall;
        state.counters[name + "_cpu"] = ratio.cpu;
    }

private:
    double MedianOf(size_t side, double Spent::*part) const
    {
        std::vector<double> values;
        for (const Spent& s : FSpent.at(side)) values.push_back(s.*part);
        return Median(values);
    }

    std::vector<std::string> FNames;
    std::vector<std::vector<Spent>> FSpent;
    size_t FRounds = 0;
};

// --- Targets and the closing lines -------------------------------------------------

enum class Goal { AtMost, AtLeast };

struct Verdicts {
    // A line for each target, its figures and whether they met it.
    std::vector<std::string> lines;
    // Each target in short, with its bound, met and not met.
    std::vector<std::string> met, missed;
    bool failed = false;
};
inline Verdicts& TheVerdicts()
{
    static Verdicts verdicts;
    return verdicts;
}

// A figure of the closing lines, to about three significant digits.
inline std::string Figure(double value)
{
    char text[32];
    std::snprintf(text, sizeof text,
                  value >= 100  ? "%.0f"
                  : value >= 10 ? "%.1f"
                  : value >= 1  ? "%.2f"
                                : "%.3f",
                  value);
    return text;
}

namespace detail {
inline bool Holds(double value, Goal goal, double target)
{
    return goal == Goal::AtMost ? value <= target : value >= target;
}

inline void Note(const std::string& what, const std::string& figures, bool holds, Goal goal, double target)
{
    Verdicts& v = TheVerdicts();
    char bound[32];
    std::snprintf(bound, sizeof bound, "%s %.10g", goal == Goal::AtMost ? "<=" : ">=", target);
    std::string line = what + ": " + figures + "; target " + bound;
    const std::string brief = what.substr(0, what.find(':')) + " (" + bound + ")";
    if (Small()) {
        line += ", not judged at the small size";
    } else if (holds) {
        line += ", met";
        v.met.push_back(brief);
    } else {
        line += ", NOT met";
        v.missed.push_back(brief);
    }
    v.lines.push_back(line);
}
}  // namespace detail

// A target on a ratio of medians: it holds when it holds in wall and in CPU
// time.
inline void Judge(const std::string& what, Ratio ratio, Goal goal, double target)
{
    detail::Note(what, Figure(ratio.wall) + " in wall time, " + Figure(ratio.cpu) + " in CPU time",
                 detail::Holds(ratio.wall, goal, target) && detail::Holds(ratio.cpu, goal, target), goal, target);
}

// A target on one figure (a memory ratio, a share of the wire's time).
inline void Judge(const std::string& what, double value, Goal goal, double target)
{
    detail::Note(what, Figure(value), detail::Holds(value, goal, target), goal, target);
}

// A result check that failed: the benchmark stops, and the run fails.
inline void Fail(benchmark::State& state, const std::string& why)
{
    TheVerdicts().failed = true;
    state.SkipWithError(why.c_str());
}

// The machine's load over the last minute.
inline std::string Load()
{
    std::ifstream in("/proc/loadavg");
    std::string load;
    in >> load;
    return load.empty() ? "unknown" : load;
}

// The benchmark program's main: takes --small, registers the benchmarks,
// runs them, and closes with a line a target, its figures and whether they
// met it, then a last line of the targets not met and met, with their
// bounds, and the machine's load. Non-zero only when a result was wrong.
inline int Main(int argc, char** argv, const std::function<void()>& registerBenchmarks)
{
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--small") == 0)
            SmallFlag() = true;
        else
            args.push_back(argv[i]);
    }
    int count = static_cast<int>(args.size());
    const std::string loadBefore = Load();
    benchmark::Initialize(&count, args.data());
    registerBenchmarks();
    Verdicts& v = TheVerdicts();
    // Caught here, a failure unwinds the benchmark first: its folders and
    // peers go with it.
    try {
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "a benchmark failed: %s\n", e.what());
        v.failed = true;
    }
    benchmark::Shutdown();
    std::printf("\n");
    for (const std::string& line : v.lines) std::printf("%s\n", line.c_str());
    const std::string name = std::filesystem::path(argv[0]).filename().string();
    const std::string load = "load " + loadBefore + " at the start, " + Load() + " at the end, " +
                             std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " CPUs";
    auto list = [](const std::vector<std::string>& items) {
        std::string text;
        for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
        return text;
    };
    if (v.failed)
        std::printf("%s FAILED: a result was wrong or a benchmark broke off (above); %s\n", name.c_str(), load.c_str());
    else if (Small())
        std::printf("%s at the small size: every result right, no figure judged; %s\n", name.c_str(), load.c_str());
    else
        std::printf("%s at full size: %zu of %zu targets met%s%s%s%s; %s\n", name.c_str(), v.met.size(),
                    v.met.size() + v.missed.size(), v.missed.empty() ? "" : "; NOT met: ", list(v.missed).c_str(),
                    v.met.empty() ? "" : "; met: ", list(v.met).c_str(), load.c_str());
    std::fflush(stdout);
    return v.failed ? 1 : 0;
}

// A benchmark of Rounds() iterations, each a round of its sides, timed in
// milliseconds of wall-clock time.
template <typename Fn>
benchmark::internal::Benchmark* Register(const std::string& name, Fn&& fn)
{
    return benchmark::RegisterBenchmark(name.c_str(), std::forward<Fn>(fn))
        ->Iterations(Rounds())
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

}  // namespace paired
