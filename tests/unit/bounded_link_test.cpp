// The exchange over real links that misbehave: an answer that never ends, and
// a write the far end will not take.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "cbexchange.h"
#include "cblinks.h"
#include "clientsocket.h"
#include "loopback.h"
#include "serialport.h"
#include "thrown.h"

namespace {
using namespace std::chrono;

// A register on loopback that does `serve` with its one connection until told to stop.
struct TcpRegister {
    std::atomic<bool> stop{false};
    int port = 0, listener;
    TClientSocket socket;
    std::thread thread;
    TcpRegister(std::function<void(int fd, std::atomic<bool>& stop)> serve, int buffer)
        : listener(testutil::ListenOnLoopback(port))
    {
        setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        thread = std::thread([this, serve] {
            const int fd = accept(listener, nullptr, nullptr);
            serve(fd, stop);
            close(fd);
        });
        socket.SetHost("127.0.0.1");
        socket.SetPort(port);
        socket.SetActive(true);
        setsockopt(socket.Socket()->Handle(), SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    }
    ~TcpRegister()
    {
        stop = true;
        thread.join();
        close(listener);
    }
};

// The failure of one command with one field; frames counts the frames sent.
AnsiString Exchange(TComboLink& link, int& frames, const AnsiString& field = "")
{
    TComboExchangeState state;
    TComboExchangeHooks hooks;
    frames = -1;  // the command's name is traced before its first frame
    hooks.Trace = [&](const AnsiString& prefix, const AnsiString&) { frames += prefix == "->"; };
    return testutil::Thrown([&] { TComboExchange(state, &link, hooks).SendAndReceive(1, 1, &field); });
}
}  // namespace

// The register dribbles for a minute, unless the test ends first; the driver
// gives up within three byte time-outs an attempt, a second or so, even when
// a loaded machine makes that many seconds.
TEST(BoundedLink, AnAnswerDribbledByteByByteIsLostAfterThreeByteTimeouts)
{
    TcpRegister reg(
        [](int fd, std::atomic<bool>& stop) {
            send(fd, "\x10\x02", 2, MSG_NOSIGNAL);
            for (int i = 0; i < 3000 && !stop && send(fd, "x", 1, MSG_NOSIGNAL) == 1; ++i)
                std::this_thread::sleep_for(milliseconds(20));
        },
        65536);
    TWinSocketStream stream(reg.socket.Socket(), 100);
    TComboSocketLink link(stream);
    int frames = 0;
    const auto start = steady_clock::now();
    EXPECT_EQ(Exchange(link, frames), "Błąd komunikacji z kasą");
    EXPECT_EQ(frames, 3) << "each attempt gave up on its answer";
    EXPECT_LT(steady_clock::now() - start, seconds(30));
}

TEST(BoundedLink, AWriteThatTimesOutSaysSoInsteadOfTheCommunicationError)
{
    const AnsiString big(60000, 'a');
    const AnsiString timedOut = "Przekroczony czas wysyłania";
    int frames = 0;
    {
        TcpRegister reg(
            [](int, std::atomic<bool>& stop) {
                while (!stop) std::this_thread::sleep_for(milliseconds(10));
            },
            4096);
        TWinSocketStream stream(reg.socket.Socket(), 200);
        TComboSocketLink link(stream);
        EXPECT_EQ(Exchange(link, frames, big), timedOut + " do 127.0.0.1:" + IntToStr(reg.port));
    }
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_EQ(grantpt(master) | unlockpt(master), 0);
    TMSerialPort port;
    port.SetPortName(ptsname(master));
    for (auto [slot, ms] : {std::pair{2, 50}, {3, 0}, {4, 200}}) port.SetTo(slot, ms);
    port.SetActive(true);
    TComboSerialLink serial(port);
    EXPECT_EQ(Exchange(serial, frames, big),
              "Błąd wysyłania na port " + AnsiString(ptsname(master)) + "\r\n" + timedOut + " danych");
    port.SetActive(false);
    close(master);
}
