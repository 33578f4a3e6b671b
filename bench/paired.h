// Two sides of a comparison timed in pairs: each iteration runs both, the
// side that goes first changing from one pair to the next, so that a load
// that comes and goes on a shared machine falls on both alike. Each side's
// wall-clock and CPU time are kept per pair; the figures are their medians,
// and the ratios are of the medians, so that a pair the scheduler held up
// weighs no more than any other.
#pragma once

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace paired {

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
inline double OwnCpu()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

// A step of this process.
template <typename Step>
Spent Own(Step&& step)
{
    const auto wall0 = Clock::now();
    const double cpu0 = OwnCpu();
    step();
    const double cpu = OwnCpu() - cpu0;
    return {std::chrono::duration<double>(Clock::now() - wall0).count(), cpu};
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

inline double Median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
}

// The pairs of one benchmark: side a (the driver's) beside side b (its
// baseline).
class Pairs {
public:
    // Runs one pair; a goes first in the first pair, b in the second, and so on.
    template <typename A, typename B>
    void Run(A&& a, B&& b)
    {
        Spent sa, sb;
        if (FA.size() % 2 == 0) {
            sa = a();
            sb = b();
        } else {
            sb = b();
            sa = a();
        }
        Add(sa, sb);
    }
    void Add(Spent a, Spent b)
    {
        FA.push_back(a);
        FB.push_back(b);
    }
    size_t Count() const { return FA.size(); }
    // The median seconds of a side, wall or CPU.
    double MedianOf(bool sideA, bool cpu) const
    {
        std::vector<double> values;
        for (const Spent& s : sideA ? FA : FB) values.push_back(cpu ? s.cpu : s.wall);
        return Median(values);
    }
    // NAME_s, NAME_cpu_s for each side, `ratio` and `cpu_ratio` (a over b,
    // or b over a with `inverse`).
    void Report(benchmark::State& state, const std::string& a, const std::string& b, bool inverse = false) const
    {
        const double aw = MedianOf(true, false), ac = MedianOf(true, true);
        const double bw = MedianOf(false, false), bc = MedianOf(false, true);
        state.counters[a + "_s"] = aw;
        state.counters[a + "_cpu_s"] = ac;
        state.counters[b + "_s"] = bw;
        state.counters[b + "_cpu_s"] = bc;
        state.counters["pairs"] = static_cast<double>(Count());
        state.counters["ratio"] = inverse ? bw / aw : aw / bw;
        state.counters["cpu_ratio"] = inverse ? bc / ac : ac / bc;
    }

private:
    std::vector<Spent> FA, FB;
};

}  // namespace paired
