#include "clock.h"

#include <ctime>

#include "process_state.h"

uint64_t RealMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

uint64_t SystemClock::NowMs() { return RealMs(); }

void SystemClock::SleepMs(uint32_t ms)
{
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

namespace {
SystemClock& TheSystemClock()
{
    static SystemClock clock;
    return clock;
}
}  // namespace

Clock& CurrentClock()
{
    Clock* c = Process().ClockOverride;
    return c ? *c : TheSystemClock();
}

Clock* SetCurrentClock(Clock* clock)
{
    Clock* previous = Process().ClockOverride;
    Process().ClockOverride = clock;
    return previous;
}

void Sleep(uint32_t ms) { CurrentClock().SleepMs(ms); }
uint64_t GetTickCount64() { return CurrentClock().NowMs(); }
