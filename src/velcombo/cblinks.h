// The register links the exchange talks over: the serial port (also behind a
// modem or a multiplexer) and the TCP/IP stream. A link that is gone is told
// apart from one that is only silent.
#pragma once

#include "cblink.h"

class TMSerialPort;
class TWinSocketStream;

class TComboSerialLink : public TComboLink {
public:
    explicit TComboSerialLink(TMSerialPort& port) : FPort(port) {}
    bool Send(const uint8_t* data, size_t size) override;
    // Waits as the port's time-out slots say; timeoutMs is theirs already.
    int ReceiveByte(uint32_t timeoutMs) override;
    void PurgeInput() override;
    const uint8_t* BytesAtHand(size_t& count) const override;
    void SkipAtHand(size_t count) override;
    uint32_t ByteTimeoutMs() const override;
    bool TracesSilence() const override { return false; }

private:
    TMSerialPort& FPort;
};

class TComboSocketLink : public TComboLink {
public:
    explicit TComboSocketLink(TWinSocketStream& stream) : FStream(stream) {}
    bool Send(const uint8_t* data, size_t size) override;
    // Waits up to the stream's time-out.
    int ReceiveByte(uint32_t timeoutMs) override;
    void PurgeInput() override;
    const uint8_t* BytesAtHand(size_t& count) const override;
    void SkipAtHand(size_t count) override;
    uint32_t ByteTimeoutMs() const override;
    bool TracesSilence() const override { return true; }

private:
    TWinSocketStream& FStream;
};
