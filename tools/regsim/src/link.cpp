#include "link.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace regsim {

uint64_t MonotonicMs()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

Link::Link(int fd, bool isSocket, CashRegister& cashRegister, Journal& journal, int muxChannel)
    : fd_(fd), isSocket_(isSocket), register_(cashRegister), journal_(journal), muxChannel_(muxChannel)
{
}

Link::End Link::Serve(int stopFd)
{
    End end = End::kPeerClosed;
    for (;;) {
        const uint64_t now = MonotonicMs();
        if (!SendDue(now)) break;
        int timeout = -1;
        if (!queue_.empty())
            timeout =
                static_cast<int>(std::min<uint64_t>(queue_.front().dueMs - std::min(now, queue_.front().dueMs), 60000));
        pollfd fds[2] = {{fd_, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int rc = poll(fds, 2, timeout);
        if (rc < 0 && errno == EINTR) continue;
        if (rc < 0) break;
        if (fds[1].revents) {
            end = End::kStopped;
            break;
        }
        if (!fds[0].revents) continue;
        char buf[4096];
        const ssize_t n = read(fd_, buf, sizeof buf);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) break;  // closed; a hung-up pseudo-terminal reads EIO
        if (!HandleBytes(buf, static_cast<size_t>(n), MonotonicMs())) {
            end = End::kDropped;
            break;
        }
    }
    FlushStray();
    register_.OnLinkClosed();
    return end;
}

bool Link::HandleBytes(const char* data, size_t size, uint64_t nowMs)
{
    if (held_) return true;
    for (size_t i = 0; i < size; ++i) {
        WireDecoder::Event ev = decoder_.Feed(static_cast<uint8_t>(data[i]));
        switch (ev.kind) {
            case WireDecoder::Event::kNothing:
                break;
            case WireDecoder::Event::kOutsideByte:
                HandleOutsideByte(ev.byte);
                break;
            case WireDecoder::Event::kGarbled:
                FlushStray();
                journal_.Event("garbled", HexBytes(ev.frame.substr(0, 64)),
                               "bytes on the line that make no frame: " + HexBytes(ev.frame.substr(0, 64)));
                break;
            case WireDecoder::Event::kFrame:
                FlushStray();
                if (!HandleFrame(ev.frame, nowMs)) return false;
                break;
        }
    }
    FlushStray();
    return true;
}

bool Link::HandleFrame(const std::string& plain, uint64_t nowMs)
{
    if (muxChannel_ && selectedChannel_ != muxChannel_) {
        const std::string where = selectedChannel_ < 0 ? std::string("before any channel was selected")
                                                       : "on channel " + std::to_string(selectedChannel_);
        journal_.Event(
            "ignored", HexBytes(plain.substr(0, 64)),
            "frame sent " + where + ", the register is on multiplexer channel " + std::to_string(muxChannel_));
        return true;
    }
    if (held_) return true;
    Response response = register_.OnFrame(plain, nowMs);
    held_ = response.holdLink;
    for (Output& out : response.outputs) Schedule(nowMs + out.atMs, std::move(out.bytes), out.repeatMs);
    return !response.dropLink;
}

void Link::HandleOutsideByte(uint8_t byte)
{
    if (expectChannel_) {
        expectChannel_ = false;
        selectedChannel_ = byte;
        journal_.Event("channel", std::to_string(byte),
                       byte == muxChannel_
                           ? std::string()
                           : "multiplexer channel " + std::to_string(byte) + " selected, the register is on channel " +
                                 std::to_string(muxChannel_));
        return;
    }
    if (muxChannel_ && byte == kMuxSelect) {
        FlushStray();
        expectChannel_ = true;
        return;
    }
    stray_.push_back(static_cast<char>(byte));
}

void Link::FlushStray()
{
    if (stray_.empty()) return;
    const std::string hex = HexBytes(stray_.substr(0, 64));
    journal_.Event("stray", hex, "bytes outside a frame: " + hex);
    stray_.clear();
}

void Link::Schedule(uint64_t dueMs, std::string bytes, uint32_t repeatMs)
{
    auto at = std::upper_bound(queue_.begin(), queue_.end(), dueMs,
                               [](uint64_t due, const Scheduled& s) { return due < s.dueMs; });
    queue_.insert(at, Scheduled{dueMs, std::move(bytes), repeatMs});
}

bool Link::SendDue(uint64_t nowMs)
{
    while (!queue_.empty() && queue_.front().dueMs <= nowMs) {
        Scheduled s = std::move(queue_.front());
        queue_.erase(queue_.begin());
        if (!WriteAll(s.bytes)) return false;
        if (s.repeatMs) Schedule(s.dueMs + s.repeatMs, std::move(s.bytes), s.repeatMs);
    }
    return true;
}

bool Link::WriteAll(const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = isSocket_ ? send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                                    : write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        // A terminal nobody reads any more: the answer is lost, as on a wire.
        if (n < 0 && errno == EAGAIN && !isSocket_) return true;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace regsim
