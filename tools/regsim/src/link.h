// One connected peer: a TCP connection or the master side of a
// pseudo-terminal. Decodes the incoming bytes (with the multiplexer's channel
// selection in front when configured), hands frames to the register and sends
// its answers at their time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cash_register.h"
#include "journal.h"
#include "wire_codec.h"

namespace regsim {

// The multiplexer puts this byte and then the channel byte on the line.
constexpr uint8_t kMuxSelect = 0xFE;

uint64_t MonotonicMs();

class Link {
public:
    enum class End { kPeerClosed, kDropped, kStopped };

    // `muxChannel` 1-8: the register sits behind the multiplexer on that
    // channel; 0: directly on the line.
    Link(int fd, bool isSocket, CashRegister& cashRegister, Journal& journal, int muxChannel);

    // Until the peer closes, the fault plan drops the link, or `stopFd` turns
    // readable. Does not close `fd`.
    End Serve(int stopFd);

private:
    struct Scheduled {
        uint64_t dueMs;
        std::string bytes;
        uint32_t repeatMs;
    };

    bool HandleBytes(const char* data, size_t size, uint64_t nowMs);  // false: drop the link
    bool HandleFrame(const std::string& plain, uint64_t nowMs);
    void HandleOutsideByte(uint8_t byte);
    void FlushStray();
    void Schedule(uint64_t dueMs, std::string bytes, uint32_t repeatMs);
    bool SendDue(uint64_t nowMs);  // false: the peer is gone
    bool WriteAll(const std::string& bytes);

    int fd_;
    bool isSocket_;
    CashRegister& register_;
    Journal& journal_;
    int muxChannel_;
    int selectedChannel_ = -1;
    bool expectChannel_ = false;
    WireDecoder decoder_;
    std::string stray_;
    std::vector<Scheduled> queue_;
    // A held link takes no more frames and answers nothing until it closes.
    bool held_ = false;
};

}  // namespace regsim
