// The two register links the exchange talks over, each on the real thing: the
// serial port on a pseudo-terminal and the TCP/IP stream on a loopback socket.
// Bytes go out whole and come back one at a time, a purge drops what waits,
// silence is a time-out and a link that is closed is dead, not silent.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "cblinks.h"
#include "clientsocket.h"
#include "loopback.h"
#include "serialport.h"
#include "testutil.h"

namespace {

// One link with its far end: `peer` is the descriptor the register would hold.
struct Rig {
    std::unique_ptr<TComboLink> link;
    int peer = -1;
    std::function<void()> closeOurs, closePeer;
    // The bytes from the peer that wait at our end, taken in or not.
    std::function<size_t()> waiting;
    uint32_t byteTimeoutMs = 0;
    bool tracesSilence = false;
    std::shared_ptr<void> keep;  // what the link stands on
};

Rig Serial()
{
    struct Parts {
        TMSerialPort port;
        int master = -1;
        ~Parts() { close(master); }
    };
    auto parts = std::make_shared<Parts>();
    parts->master = posix_openpt(O_RDWR | O_NOCTTY);
    if (parts->master < 0 || grantpt(parts->master) != 0 || unlockpt(parts->master) != 0) return {};
    parts->port.SetPortName(ptsname(parts->master));
    for (auto [slot, ms] : {std::pair{0, 50u}, {1, 30u}, {2, 70u}, {3, 50u}, {4, 1000u}}) parts->port.SetTo(slot, ms);
    parts->port.SetActive(true);
    Rig rig;
    rig.link = std::make_unique<TComboSerialLink>(parts->port);
    rig.peer = parts->master;
    rig.closeOurs = [p = parts.get()] { p->port.SetActive(false); };
    rig.closePeer = [p = parts.get()] { close(std::exchange(p->master, -1)); };
    rig.waiting = [p = parts.get()] { return static_cast<size_t>(p->port.GetBytesInInBuf()); };
    rig.byteTimeoutMs = 100;  // slot 1 for the one byte, and slot 2
    rig.keep = parts;
    return rig;
}

Rig Socket()
{
    struct Parts {
        TClientSocket socket;
        std::unique_ptr<TWinSocketStream> stream;
        int listener = -1, peer = -1;
        ~Parts()
        {
            close(peer);
            close(listener);
        }
    };
    auto parts = std::make_shared<Parts>();
    int port = 0;
    parts->listener = testutil::ListenOnLoopback(port);
    parts->socket.SetHost("127.0.0.1");
    parts->socket.SetPort(port);
    parts->socket.SetActive(true);
    parts->peer = accept(parts->listener, nullptr, nullptr);
    parts->stream = std::make_unique<TWinSocketStream>(parts->socket.Socket(), 100);
    Rig rig;
    rig.link = std::make_unique<TComboSocketLink>(*parts->stream);
    rig.peer = parts->peer;
    rig.closeOurs = [p = parts.get()] { p->socket.SetActive(false); };
    rig.closePeer = [p = parts.get()] { close(std::exchange(p->peer, -1)); };
    rig.waiting = [p = parts.get()] {
        int inKernel = 0;
        ioctl(p->socket.Socket()->Handle(), FIONREAD, &inKernel);
        return static_cast<size_t>(inKernel) + p->stream->Buffered();
    };
    rig.byteTimeoutMs = 100;
    rig.tracesSilence = true;
    rig.keep = parts;
    return rig;
}

std::string ReadPeer(int fd, size_t count)
{
    std::string got;
    while (got.size() < count) {
        pollfd p{fd, POLLIN, 0};
        char buffer[64];
        if (poll(&p, 1, testutil::kEventWaitMs) <= 0) break;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}

}  // namespace

TEST(Links, CarryBytesTellSilenceFromADeadLinkAndPurge)
{
    // With every byte a cooked terminal would eat or translate.
    const std::string frame("\x10\x02\x00\xFF\x0D\x0A\x11\x13\x03\x04\x1A\x7F\x1C\x15\x10\x03", 16);
    for (auto make : {Serial, Socket}) {
        Rig rig = make();
        ASSERT_TRUE(rig.link) << "no pseudo-terminal";
        SCOPED_TRACE(rig.tracesSilence ? "TCP/IP" : "serial");
        EXPECT_EQ(rig.link->ByteTimeoutMs(), rig.byteTimeoutMs);

        const auto* bytes = reinterpret_cast<const uint8_t*>(frame.data());
        EXPECT_TRUE(rig.link->Send(bytes, frame.size()));
        EXPECT_EQ(ReadPeer(rig.peer, frame.size()), frame);

        // Each byte is awaited for a tenth of a second once it is there: a
        // pseudo-terminal hands bytes on a moment after they were written.
        ASSERT_EQ(write(rig.peer, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
        const auto arrived = [&](size_t count) {
            return testutil::WaitUntil([&] { return rig.waiting() >= count; }, testutil::kEventWaitMs);
        };
        ASSERT_TRUE(arrived(frame.size()));
        // The first byte read the rest in: it is at hand, and what is
        // skipped of it is taken as byte after byte would be.
        std::string back(1, static_cast<char>(rig.link->ReceiveByte(100)));
        size_t atHand = 0;
        const uint8_t* run = rig.link->BytesAtHand(atHand);
        ASSERT_EQ(std::string(reinterpret_cast<const char*>(run), atHand), frame.substr(1));
        back.append(reinterpret_cast<const char*>(run), 5);
        rig.link->SkipAtHand(5);
        while (back.size() < frame.size()) back.push_back(static_cast<char>(rig.link->ReceiveByte(100)));
        EXPECT_EQ(back, frame);
        EXPECT_EQ(rig.link->ReceiveByte(100), TComboLink::kTimeout);
        rig.link->BytesAtHand(atHand);
        EXPECT_EQ(atHand, 0u);

        // What waits when a command starts is dropped, also what was already taken in.
        ASSERT_EQ(write(rig.peer, "ab", 2), 2);
        ASSERT_TRUE(arrived(2));
        ASSERT_EQ(rig.link->ReceiveByte(100), 'a');
        ASSERT_EQ(write(rig.peer, "cd", 2), 2);
        ASSERT_TRUE(arrived(3));
        rig.link->PurgeInput();
        EXPECT_EQ(rig.link->ReceiveByte(100), TComboLink::kTimeout);

        // A peer that closes while its last bytes wait read in: they are
        // still handed out one by one, then the link is dead.
        ASSERT_EQ(write(rig.peer, "xyz", 3), 3);
        ASSERT_TRUE(arrived(3));
        ASSERT_EQ(rig.link->ReceiveByte(100), 'x');
        rig.closePeer();
        EXPECT_EQ(rig.link->ReceiveByte(100), 'y');
        EXPECT_EQ(rig.link->ReceiveByte(100), 'z');
        EXPECT_EQ(rig.link->ReceiveByte(100), TComboLink::kDead);

        rig.closeOurs();
        EXPECT_FALSE(rig.link->Send(bytes, frame.size()));
        EXPECT_EQ(rig.link->ReceiveByte(100), TComboLink::kDead);
        EXPECT_EQ(rig.link->TracesSilence(), rig.tracesSilence);
    }
}
