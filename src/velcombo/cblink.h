// What the command exchange needs of an open link to the register (serial
// port, modem or TCP/IP). The exchange owns no link: the action opens one,
// hands it over for each command and closes it.
#pragma once

#include <cstddef>
#include <cstdint>

class TComboLink {
public:
    // ReceiveByte's answers other than a byte.
    static constexpr int kTimeout = -1;  // nothing came within the time-out
    static constexpr int kDead = -2;     // the link is gone (peer closed, device removed)

    virtual ~TComboLink() = default;
    // Sends the bytes whole; false when the link is dead. A write that only
    // timed out throws the port's own exception, which says what happened.
    virtual bool Send(const uint8_t* data, size_t size) = 0;
    // The next byte (0 to 255); kTimeout when none came within timeoutMs;
    // kDead at once, without waiting, when the link can never deliver again.
    virtual int ReceiveByte(uint32_t timeoutMs) = 0;
    // Drops whatever has arrived and was not read.
    virtual void PurgeInput() = 0;
    // The next bytes, already read in, so that taking them passes no time:
    // how many in count (none when the link cannot tell).
    virtual const uint8_t* BytesAtHand(size_t& count) const
    {
        count = 0;
        return nullptr;
    }
    // Takes count of the bytes at hand, as as many ReceiveByte calls would.
    virtual void SkipAtHand(size_t) {}
    // How long one byte of an answer is awaited on this link.
    virtual uint32_t ByteTimeoutMs() const = 0;
    // Whether a byte that did not come in time is written to the protocol
    // trace (the TCP/IP link) or passes silently (the serial port).
    virtual bool TracesSilence() const = 0;
};
