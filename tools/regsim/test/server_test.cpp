// The simulator on real transports: TCP on the loopback address, a
// pseudo-terminal, the multiplexer's channel selection, and the executable.
#include <fcntl.h>
#include <termios.h>

#include <fstream>

#include "peer_process.h"
#include "test_support.h"

using namespace regsim;
using regsim::test::TcpClient;
using regsim::test::TempDir;
using regsim::test::ThreadedSim;

namespace {

// CASHREGSTATUSGET, token 1, stuffed, built by hand.
const std::string kStatusRequest("\x10\x02\x00\x00\x01\x00\x00\x00\x10\x10\x00\x00\x00\xF5\x01\xD4\x89\x10\x03", 19);

Scenario Demo()
{
    return LoadScenario(REGSIM_DEMO_SCENARIO);
}

class PtyClient {
public:
    explicit PtyClient(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)), reader(fd_)
    {
        termios tio{};
        if (fd_ >= 0 && tcgetattr(fd_, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~PtyClient() { Close(); }
    bool Open() const { return fd_ >= 0; }
    void Send(const std::string& bytes) { ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    void Close()
    {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

private:
    int fd_;

public:
    test::FrameReader reader;
};

}  // namespace

TEST(Multiplexer, FramesCountOnlyAfterTheRegistersChannelWasSelected)
{
    TempDir dir;
    ServerOptions options;
    options.muxChannel = 2;
    ThreadedSim sim(Demo(), {}, options, dir.File("j.jsonl"));
    TcpClient client(sim.Port());
    client.SendRaw(kStatusRequest);
    EXPECT_FALSE(client.reader.Next(200).has_value());
    client.SendRaw(std::string("\xFE\x03", 2) + kStatusRequest);
    EXPECT_FALSE(client.reader.Next(200).has_value());
    client.SendRaw(std::string("\xFE\x02", 2) + kStatusRequest);
    EXPECT_EQ(client.reader.NextFrame().code, 501);

    const std::vector<std::string> violations = JournalViolations(dir.File("j.jsonl"));
    ASSERT_EQ(violations.size(), 3u);
    EXPECT_NE(violations[0].find("before any channel was selected"), std::string::npos);
    EXPECT_NE(violations[1].find("channel 3 selected"), std::string::npos);
    EXPECT_NE(violations[2].find("on channel 3"), std::string::npos);
}

TEST(Multiplexer, StrayBytesWithoutAMultiplexerAreAViolation)
{
    TempDir dir;
    ThreadedSim sim(Demo(), {}, {}, dir.File("j.jsonl"));
    TcpClient client(sim.Port());
    client.SendRaw(std::string("\xFE\x02", 2) + kStatusRequest);
    EXPECT_EQ(client.reader.NextFrame().code, 501);
    const std::vector<std::string> violations = JournalViolations(dir.File("j.jsonl"));
    ASSERT_EQ(violations.size(), 1u);
    EXPECT_EQ(violations[0], "bytes outside a frame: 0xFE 0x02");
}

TEST(Executable, AnnouncesItsPortServesAndEndsWithTheFirstClientWhenAskedOnce)
{
    TempDir dir;
    peerproc::PeerProcess sim;
    sim.Start(REGSIM_EXE,
              {"--tcp", "0", "--once", "--scenario", REGSIM_DEMO_SCENARIO, "--journal", dir.File("j.jsonl")});
    ASSERT_NE(sim.Port(), 0);
    {
        TcpClient client(sim.Port());
        client.SendRaw(kStatusRequest);
        EXPECT_EQ(client.reader.NextFrame().code, 501);
    }
    EXPECT_EQ(sim.Wait(5000), 0);
    const std::vector<nlohmann::json> lines = ReadJournal(dir.File("j.jsonl"));
    std::vector<std::string> seen;
    for (const auto& line : lines) seen.push_back(line.value("event", "") + line.value("name", ""));
    EXPECT_EQ(seen, (std::vector<std::string>{"connect", "CASHREGSTATUSGET", "disconnect"}));
}

TEST(Executable, HungUpPtyComesBackUnderANewPathBehindTheLink)
{
    TempDir dir;
    {
        std::ofstream plan(dir.File("faults.json"));
        plan << R"({"501": {"1": "dropConnection"}})";
    }
    const std::string link = dir.File("port");
    peerproc::PeerProcess sim;
    sim.Start(REGSIM_EXE,
              {"--pty", "--pty-link", link, "--faults", dir.File("faults.json"), "--journal", dir.File("j.jsonl")});
    {
        PtyClient port(link);
        ASSERT_TRUE(port.Open());
        port.Send(kStatusRequest);
        EXPECT_FALSE(port.reader.Next().has_value());
        EXPECT_TRUE(port.reader.closed);
    }
    EXPECT_EQ(sim.ReadLine(5000).rfind("PTY /dev/pts/", 0), 0u);
    // The kernel may hand out the same number again; the link follows anyway.
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.PtyPath());
    PtyClient port(link);
    ASSERT_TRUE(port.Open());
    port.Send(kStatusRequest);
    EXPECT_EQ(port.reader.NextFrame().code, 501);
    EXPECT_TRUE(JournalViolations(dir.File("j.jsonl")).empty());
}
