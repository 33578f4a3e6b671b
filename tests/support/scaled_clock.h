// A virtual clock for the driver's pauses that lets a fraction of real time pass, so other processes get their turn.
#pragma once

#include <time.h>

#include <cstdint>
#include <vector>

#include "clock.h"

namespace testutil {

// A peer in another process (a simulator on a pseudo-terminal) still gets
// its turn while the driver waits: a tenth of each wait passes in real time,
// so the 20 s the driver gives the modem for an answer are 2 s, which a
// loaded machine may need.
class ScaledClock : public Clock {
public:
    // start: the first reading; divisor: real time is virtual time / divisor.
    explicit ScaledClock(uint64_t start = 1000000, uint32_t divisor = 10) : FNow(start), FDivisor(divisor) {}
    uint64_t NowMs() override { return FNow; }
    void SleepMs(uint32_t ms) override
    {
        FNow += ms;
        FSleeps.push_back(ms);
        const uint64_t us = static_cast<uint64_t>(ms) * 1000 / FDivisor;
        timespec ts{static_cast<time_t>(us / 1000000), static_cast<long>(us % 1000000) * 1000};
        nanosleep(&ts, nullptr);
    }
    // Every pause asked for, in order.
    const std::vector<uint32_t>& Sleeps() const { return FSleeps; }
    uint32_t Divisor() const { return FDivisor; }

private:
    uint64_t FNow;
    uint32_t FDivisor;
    std::vector<uint32_t> FSleeps;
};

// Installs a clock for a scope.
class ClockScope {
public:
    explicit ClockScope(Clock* clock) : FPrevious(SetCurrentClock(clock)) {}
    ~ClockScope() { SetCurrentClock(FPrevious); }
    ClockScope(const ClockScope&) = delete;
    ClockScope& operator=(const ClockScope&) = delete;

private:
    Clock* FPrevious;
};

}  // namespace testutil
