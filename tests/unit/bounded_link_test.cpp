// The exchange over real links that misbehave: an answer that never ends, and
// a write the far end will not take.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

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
const AnsiString kCommError = "B\xB3\xB9" "d komunikacji z kas\xB9";

// A register on loopback: accepts one connection and hands it to `serve`.
class TcpRegister {
public:
    explicit TcpRegister(std::function<void(int fd)> serve, int receiveBuffer = 0)
    {
        listener = testutil::ListenOnLoopback(port);
        if (receiveBuffer) setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        thread = std::thread([this, serve] {
            const int fd = accept(listener, nullptr, nullptr);
            serve(fd);
            close(fd);
        });
        socket.SetHost("127.0.0.1");
        socket.SetPort(port);
        socket.SetActive(true);
    }
    ~TcpRegister()
    {
        stop = true;
        socket.SetActive(false);
        thread.join();
        close(listener);
    }
    int listener = -1, port = 0;
    std::atomic<bool> stop{false};
    TClientSocket socket;
    std::thread thread;
};

AnsiString Exchange(TComboLink& link, int& requests, const AnsiString& field = "")
{
    TComboExchangeState state;
    TComboExchangeHooks hooks;
    hooks.Trace = [&](const AnsiString& prefix, const AnsiString&) { requests += prefix == "->"; };
    requests = -1;  // the command's name is traced before its first frame
    return testutil::Thrown([&] { TComboExchange(state, &link, hooks).SendAndReceive(1, field.empty() ? 0 : 1, &field); });
}
}  // namespace

TEST(BoundedLink, AnAnswerDribbledByteByByteIsLostAfterThreeByteTimeouts)
{
    TcpRegister reg([&](int fd) {
        send(fd, "\x10\x02", 2, MSG_NOSIGNAL);
        for (int i = 0; i < 250 && !reg.stop && send(fd, "x", 1, MSG_NOSIGNAL) == 1; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
    TWinSocketStream stream(reg.socket.Socket(), 100);
    TComboSocketLink link(stream);
    int requests = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Exchange(link, requests), kCommError);
    EXPECT_EQ(requests, 3) << "each attempt gave up on its frame";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST(BoundedLink, AWriteThatTimesOutSaysSoInsteadOfTheCommunicationError)
{
    const AnsiString big(60000, 'a');
    int requests = 0;
    {
        TcpRegister reg([&](int) {
            while (!reg.stop) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }, 4096);
        const int small = 4096;
        setsockopt(reg.socket.Socket()->Handle(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        TWinSocketStream stream(reg.socket.Socket(), 200);
        TComboSocketLink link(stream);
        EXPECT_EQ(Exchange(link, requests, big), "Przekroczony czas wysy\xB3" "ania do 127.0.0.1:" + IntToStr(reg.port));
    }
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master) | unlockpt(master), 0);
    TMSerialPort port;
    port.SetPortName(ptsname(master));
    port.SetTo(2, 50);
    port.SetTo(3, 0);
    port.SetTo(4, 200);
    port.SetActive(true);
    TComboSerialLink serial(port);
    EXPECT_EQ(Exchange(serial, requests, big), "B\xB3\xB9" "d wysy\xB3" "ania na port " + AnsiString(ptsname(master)) +
                                                "\r\nPrzekroczony czas wysy\xB3" "ania danych");
    port.SetActive(false);
    close(master);
}
