// The one clock behind every pause and time-out, so that tests can run the
// long waits (multiplexer, modem, report polling) in virtual time.
#pragma once

#include <cstdint>

class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic milliseconds since an arbitrary start.
    virtual uint64_t NowMs() = 0;
    virtual void SleepMs(uint32_t ms) = 0;
};

// The real monotonic clock.
class SystemClock : public Clock {
public:
    uint64_t NowMs() override;
    void SleepMs(uint32_t ms) override;
};

// The clock in use: the system clock unless a test installed another.
Clock& CurrentClock();
// Installs a clock (null restores the system clock); returns the previous one.
Clock* SetCurrentClock(Clock* clock);

// The system's monotonic milliseconds, whatever clock is installed: the
// waits that poll() makes on a port or socket pass in real time.
uint64_t RealMs();

// The platform's names for the two, on the current clock.
void Sleep(uint32_t ms);
uint64_t GetTickCount64();
