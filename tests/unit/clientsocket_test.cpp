// The client socket and its stream on loopback: connecting and its failure
// text, reads that time out, and wait in the kernel while they do, a closed
// peer noticed at once, buffered reads, and the card-server simulator as a
// peer.
#include "clientsocket.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "loopback.h"
#include "testutil.h"
#include "thrown.h"

namespace {

int64_t ElapsedMs(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

// The processor time this thread has used so far.
double ThreadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

class Listener {
public:
    Listener() { fd = testutil::ListenOnLoopback(port); }
    ~Listener()
    {
        if (peer >= 0) close(peer);
        if (fd >= 0) close(fd);
    }
    void Accept() { peer = accept(fd, nullptr, nullptr); }
    void ClosePeer()
    {
        close(peer);
        peer = -1;
    }
    void Send(const std::string& bytes) { send(peer, bytes.data(), bytes.size(), 0); }

    int fd = -1;
    int peer = -1;
    int port = 0;
};

void Connect(TClientSocket& socket, int port)
{
    socket.SetHost("127.0.0.1");
    socket.SetPort(port);
    socket.SetClientType(ctBlocking);
    socket.SetActive(true);
}

std::string ConnectError(const AnsiString& host, int port)
{
    TClientSocket socket;
    socket.SetHost(host);
    socket.SetPort(port);
    try {
        socket.SetActive(true);
    } catch (const ESocketError& e) {
        EXPECT_FALSE(socket.GetActive());
        return e.Message();
    }
    return "connected";
}

class ClientSocket : public ::testing::Test {
protected:
    void SetUp() override
    {
        Connect(socket, l.port);
        l.Accept();
    }
    Listener l;
    TClientSocket socket;
};

}  // namespace

TEST(ClientSocketConnect, AConnectionThatCannotBeMadeNamesHostAndPort)
{
    testutil::RefusingPort refusing;
    const int port = refusing.port;
    EXPECT_EQ(ConnectError("127.0.0.1", port),
              "Nie można nawiązać połączenia z 127.0.0.1:" + std::to_string(port) + " - połączenie odrzucone");
    EXPECT_EQ(ConnectError("", 5000), "Nie można nawiązać połączenia z :5000 - nieznany adres");
    EXPECT_EQ(ConnectError("127.0.0.1", 0), "Nie można nawiązać połączenia z 127.0.0.1:0 - nieprawidłowy numer portu");
    EXPECT_EQ(ConnectError("127.0.0.1", 70000),
              "Nie można nawiązać połączenia z 127.0.0.1:70000 - nieprawidłowy numer portu");
}

// Bytes both ways are pinned by the links' test.
TEST_F(ClientSocket, ReadsTimeOutWithZero)
{
    TWinSocketStream stream(socket.Socket(), 150);

    char buffer[16];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(stream.Read(buffer, sizeof buffer), 0);
    EXPECT_GE(ElapsedMs(start), 150 - 5);
    EXPECT_FALSE(stream.WaitForData(50));

    socket.SetActive(false);
    EXPECT_THROW(stream.Read(buffer, 1), ESocketError);
}

// A register's answer is awaited in the kernel: once connected the descriptor
// blocks, as its reads expect, and a second of waiting costs next to no
// processor time. A descriptor left non-blocking would spin a core for as
// long as any answer is awaited.
TEST_F(ClientSocket, AWaitForAnAnswerSleepsInTheKernel)
{
    const int flags = fcntl(socket.Socket()->Handle(), F_GETFL);
    ASSERT_GE(flags, 0);
    EXPECT_EQ(flags & O_NONBLOCK, 0);

    TWinSocketStream stream(socket.Socket(), 1000);
    char buffer[16];
    const double cpu = ThreadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(stream.Read(buffer, sizeof buffer), 0);
    EXPECT_GE(ElapsedMs(start), 1000 - 5);
    EXPECT_LT(ThreadCpuSeconds() - cpu, 0.1);
}

TEST_F(ClientSocket, ByteByByteReadsGetEverythingSentBeforeAClosedPeerFailsThem)
{
    TWinSocketStream stream(socket.Socket(), 30000);
    std::string sent;
    for (int i = 0; i < 3000; ++i) sent += static_cast<char>(i * 7);
    l.Send(sent);
    l.ClosePeer();

    std::string got;
    uint8_t b = 0;
    while (got.size() < sent.size() && stream.WaitForData(2000) && stream.Read(&b, 1) == 1) got += static_cast<char>(b);
    EXPECT_EQ(got, sent);
    // Then the close: at once, not after the 30-second time-out, with its text.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(testutil::Thrown([&] { stream.Read(&b, 1); }),
              "Połączenie z 127.0.0.1:" + std::to_string(l.port) + " zostało zerwane - połączenie zamknięte przez drugą stronę");
    EXPECT_THROW(stream.WaitForData(30000), ESocketClosed);
    EXPECT_LT(ElapsedMs(start), 5000);
}

TEST_F(ClientSocket, AWriteWaitsForRoomAndToAClosedPeerFailsAsABrokenLink)
{
    TWinSocketStream stream(socket.Socket(), testutil::kEventWaitMs);
    const std::string big(8 << 20, 'x');
    size_t drained = 0;
    std::thread reader([&] {
        usleep(50000);  // the buffers fill first
        char buf[65536];
        for (ssize_t n; drained < big.size() && (n = recv(l.peer, buf, sizeof buf, 0)) > 0;) drained += size_t(n);
    });
    const std::string failure = testutil::Thrown([&] { stream.Write(big.data(), static_cast<int>(big.size())); });
    if (failure != testutil::kNothingThrown) socket.SetActive(false);  // lets the reader go
    reader.join();
    EXPECT_EQ(failure, testutil::kNothingThrown);
    EXPECT_EQ(drained, big.size());

    l.ClosePeer();
    std::string broken = testutil::kNothingThrown;
    for (int i = 0; i < 100 && broken == testutil::kNothingThrown; ++i, usleep(1000))
        broken = testutil::Thrown([&] { stream.Write(big.data(), 1000); });
    // A broken link at once, not a time-out; and the process is still here: no SIGPIPE.
    EXPECT_EQ(broken.substr(0, broken.find(" - ")), "Połączenie z 127.0.0.1:" + std::to_string(l.port) + " zostało zerwane");
}
