// A modem port that records its control-line and byte operations with the clock's time, and can force the carrier.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ModemCtl.h"
#include "clock.h"
#include "testutil.h"

namespace testutil {

// The operations are recorded in order; everything still reaches the device.
// A pseudo-terminal has no carrier-detect line, so what it reads can be set.
class TRecordingModemPort : public TModemPort {
public:
    using TModemPort::TModemPort;

    struct Event {
        uint64_t ms;       // GetTickCount64() when it happened
        std::string what;  // "RTS on", "DTR off", "DCD?", "PUT FE wait", "TX <bytes>"
    };
    std::vector<Event> events;
    // The carrier as IsDCDHigh reports it; unset: as the device reports it.
    std::optional<bool> carrier;
    // The modem is on line though this port did not dial: another one left
    // it so. Its escape is answered as well.
    bool modemOnLine = false;

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const Event& e : events) names.push_back(e.what);
        return names;
    }

    void SetDTR(bool on) override
    {
        Note(on ? "DTR on" : "DTR off");
        TModemPort::SetDTR(on);
    }
    void SetRTS(bool on) override
    {
        Note(on ? "RTS on" : "RTS off");
        TModemPort::SetRTS(on);
    }
    bool IsDCDHigh() override
    {
        Note("DCD?");
        return carrier ? *carrier : TModemPort::IsDCDHigh();
    }
    void Put(uint8_t byte, bool waitUntilSent) override
    {
        static const char hex[] = "0123456789ABCDEF";
        Note(std::string("PUT ") + hex[byte >> 4] + hex[byte & 15] + (waitUntilSent ? " wait" : ""));
        TModemPort::Put(byte, waitUntilSent);
    }
    // A modem on line answers the escape once its guard time has passed in
    // real time, which the driver's guard, on a scaled clock, may overtake
    // on a loaded machine. The answer is awaited before the driver goes on,
    // so that it is in before the driver's guard ends, as with real pauses.
    void Transmit(const void* bytes, int count, bool waitUntilSent) override
    {
        const std::string sent(static_cast<const char*>(bytes), static_cast<size_t>(count));
        Note("TX " + sent + (waitUntilSent ? " wait" : ""));
        TModemPort::Transmit(bytes, count, waitUntilSent);
        if ((ConnectedViaModem || modemOnLine) && sent == "+++")
            WaitUntil([this] { return TModemPort::GetBytesInInBuf() > 0; }, kEventWaitMs);
    }

private:
    void Note(const std::string& what) { events.push_back({GetTickCount64(), what}); }
};

}  // namespace testutil
