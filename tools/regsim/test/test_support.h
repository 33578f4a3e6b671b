// Helpers of the simulator's own tests: a unique temporary folder, a TCP
// client and the simulator running in a thread of the test.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "cash_register.h"
#include "journal.h"
#include "link.h"
#include "server.h"
#include "wire_codec.h"

namespace regsim::test {

class TempDir {
public:
    TempDir()
    {
        std::filesystem::create_directories(REGSIM_TEST_TMP);
        std::string pattern = std::string(REGSIM_TEST_TMP) + "/regsim-XXXXXX";
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Reads wire bytes from a descriptor and hands out whole plain frames.
class FrameReader {
public:
    explicit FrameReader(int fd) : fd_(fd) {}
    // The next plain frame, or nothing when `timeoutMs` passes or the peer
    // closes.
    std::optional<std::string> Next(int timeoutMs = 3000)
    {
        const uint64_t deadline = MonotonicMs() + static_cast<uint64_t>(timeoutMs);
        for (;;) {
            while (pos_ < buffer_.size()) {
                WireDecoder::Event ev = decoder_.Feed(static_cast<uint8_t>(buffer_[pos_++]));
                if (ev.kind == WireDecoder::Event::kFrame) return ev.frame;
            }
            const uint64_t now = MonotonicMs();
            pollfd p = {fd_, POLLIN, 0};
            if (now >= deadline || poll(&p, 1, static_cast<int>(deadline - now)) <= 0) return std::nullopt;
            char buf[512];
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n <= 0) {
                closed = true;
                return std::nullopt;
            }
            buffer_.assign(buf, static_cast<size_t>(n));
            pos_ = 0;
        }
    }
    // Parsed; fails the test when the frame is unsound.
    Frame NextFrame(int timeoutMs = 3000);

    bool closed = false;

private:
    int fd_;
    WireDecoder decoder_;
    std::string buffer_;
    size_t pos_ = 0;
};

class TcpClient {
public:
    explicit TcpClient(uint16_t port) : reader(-1)
    {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(port);
        EXPECT_EQ(connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        reader = FrameReader(fd_);
    }
    ~TcpClient() { close(fd_); }
    void SendRaw(const std::string& bytes)
    {
        ASSERT_EQ(send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
    }

    FrameReader reader;

private:
    int fd_ = -1;
};

// The simulator served from a thread of the test process.
class ThreadedSim {
public:
    explicit ThreadedSim(Scenario scenario = {}, FaultPlan faults = {}, ServerOptions options = {},
                         const std::string& journalPath = {})
        : journal_(journalPath.empty() ? std::make_unique<Journal>() : std::make_unique<Journal>(journalPath)),
          register_(std::move(scenario), std::move(faults), *journal_),
          server_(options, register_, *journal_)
    {
        server_.Open();
        thread_ = std::thread([this] { server_.Run(); });
    }
    ~ThreadedSim()
    {
        server_.Stop();
        thread_.join();
    }
    uint16_t Port() const { return server_.Port(); }

private:
    std::unique_ptr<Journal> journal_;
    CashRegister register_;
    Server server_;
    std::thread thread_;
};

inline Frame FrameReader::NextFrame(int timeoutMs)
{
    const std::optional<std::string> plain = Next(timeoutMs);
    if (!plain) {
        ADD_FAILURE() << "no frame came";
        return {};
    }
    const ParsedFrame parsed = ParseFrame(*plain);
    EXPECT_EQ(parsed.error, "");
    return parsed.frame;
}

// The first frame in wire bytes, parsed.
inline ParsedFrame Unwire(const std::string& wire)
{
    WireDecoder d;
    for (char c : wire)
        if (auto ev = d.Feed(static_cast<uint8_t>(c)); ev.kind == WireDecoder::Event::kFrame) return ParseFrame(ev.frame);
    ADD_FAILURE() << "no frame in " << HexBytes(wire);
    return {};
}

inline Frame Request(uint16_t code, uint32_t token, std::vector<Field> fields = {}, uint8_t flags = 0)
{
    return Frame{flags, token, code, std::move(fields)};
}

}  // namespace regsim::test
