#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <tuple>
#include <vector>

#include "cbcommands.h"
#include "cbexchange.h"
#include "cberrors.h"
#include "cblink.h"
#include "clock.h"
#include "thrown.h"
#include "wire_codec.h"

namespace {
using Bytes = std::string;
using regsim::Field;
using regsim::Stuff;
using Fields = std::vector<Field>;

// The register's side of the frame comes from the simulator's codec, written
// on its own from the frame table.
Bytes PlainFrame(uint8_t flags, uint32_t token, uint16_t code, Fields fields = {})
{
    return regsim::BuildFrame({flags, token, code, std::move(fields)});
}

struct Request : regsim::ParsedFrame {
    Bytes wire, plain;
};

Request Decode(const Bytes& wire)
{
    Request r;
    r.wire = wire;
    regsim::WireDecoder d;
    for (char c : wire)
        if (auto ev = d.Feed(static_cast<uint8_t>(c)); ev.kind == regsim::WireDecoder::Event::kFrame) r.plain = ev.frame;
    static_cast<regsim::ParsedFrame&>(r) = regsim::ParseFrame(r.plain);
    return r;
}

class VirtualClock : public Clock {
public:
    uint64_t NowMs() override { return now; }
    void SleepMs(uint32_t ms) override { now += ms; }
    uint64_t now = 1000000;
};

// The register at the far end of a socketpair, answering in the driver's own
// thread: a request is read and scripted as soon as the driver has sent it, and
// each byte wait that passes in silence is reported to it, so every test runs
// the same way each time and the waits pass in virtual time.
class Peer {
public:
    int fd = -1;
    std::vector<Request> requests;
    // Called with the number of the request (from 0).
    std::function<void(Peer&, size_t)> onRequest;
    // Called with the number of the silent wait (from 1).
    std::function<void(Peer&, int)> onSilence;
    int silences = 0;

    void Write(const Bytes& wire) const { ASSERT_EQ(write(fd, wire.data(), wire.size()), (ssize_t)wire.size()); }
    void Answer(uint16_t code, Fields fields = {}) const
    {
        Write(Stuff(PlainFrame(0, requests.back().frame.token, code, std::move(fields))));
    }
    void ErrorAnswer(uint16_t trn, uint16_t wyk) const { Answer(0, {Field::V(0), Field::V(trn), Field::V(wyk)}); }
    void Close() { close(fd), fd = -1; }

    void TakeRequest()
    {
        Bytes wire;
        char buf[4096];
        ssize_t n;
        while ((n = recv(fd, buf, sizeof buf, MSG_DONTWAIT)) > 0) wire.append(buf, static_cast<size_t>(n));
        requests.push_back(Decode(wire));
        if (onRequest) onRequest(*this, requests.size() - 1);
    }
    void Silence()
    {
        ++silences;
        if (onSilence && fd >= 0) onSilence(*this, silences);
    }
};

// The driver's end of the socketpair. It never blocks: a byte not there yet is
// a silent wait of the full time-out on the current clock.
class PairLink : public TComboLink {
public:
    PairLink(int fd, Peer* peer, uint32_t byteTimeoutMs, bool tracesSilence)
        : FFd(fd), FPeer(peer), FTimeout(byteTimeoutMs), FTracesSilence(tracesSilence) {}
    bool Send(const uint8_t* data, size_t size) override
    {
        if (send(FFd, data, size, MSG_NOSIGNAL) != static_cast<ssize_t>(size)) return false;
        if (FPeer->fd >= 0) FPeer->TakeRequest();
        return true;
    }
    int ReceiveByte(uint32_t timeoutMs) override
    {
        int b = Read();
        if (b != kTimeout) return b;
        Sleep(timeoutMs);
        FPeer->Silence();
        return Read();
    }
    void PurgeInput() override
    {
        char buf[256];
        while (recv(FFd, buf, sizeof buf, MSG_DONTWAIT) > 0) continue;
    }
    uint32_t ByteTimeoutMs() const override { return FTimeout; }
    bool TracesSilence() const override { return FTracesSilence; }

private:
    int Read()
    {
        pollfd p{FFd, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0) return kTimeout;
        unsigned char c;
        return read(FFd, &c, 1) == 1 ? c : kDead;
    }

    int FFd;
    Peer* FPeer;
    uint32_t FTimeout;
    bool FTracesSilence;
};

class ComboExchangeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        peer.fd = fds[1];
        previousClock = SetCurrentClock(&clock);
        start = clock.now;
        state.token = 6;
        hooks.Trace = [this](const AnsiString& prefix, const AnsiString& data) { trace.push_back(prefix + data); };
        hooks.Progress = [this](int p) {
            progress.push_back(p);
            // A wait that no longer advances the clock would spin for ever.
            if (progress.size() > 1000) throw Exception("report wait spins");
        };
        hooks.ReportTimeoutSeconds = [this] { return reportTimeout; };
        UseLink(5050, false);
    }
    void TearDown() override
    {
        SetCurrentClock(previousClock);
        close(fds[0]);
        if (peer.fd >= 0) close(peer.fd);
    }
    void UseLink(uint32_t byteTimeoutMs, bool tracesSilence)
    {
        link = std::make_unique<PairLink>(fds[0], &peer, byteTimeoutMs, tracesSilence);
    }
    // Each request answered by the step of its number; past the steps, silence.
    void Script(std::vector<std::function<void(Peer&)>> steps)
    {
        peer.onRequest = [steps](Peer& p, size_t i) {
            if (i < steps.size() && steps[i]) steps[i](p);
        };
    }
    void Run(int cmd, int n = 0, const AnsiString* fields = nullptr)
    {
        TComboExchange(state, link.get(), hooks).SendAndReceive(cmd, n, fields);
    }
    AnsiString Failure(int cmd) { return testutil::Thrown([&] { Run(cmd); }); }
    bool Traced(const AnsiString& line) const { return std::find(trace.begin(), trace.end(), line) != trace.end(); }
    uint64_t Elapsed() const { return clock.now - start; }

    int fds[2] = {-1, -1};
    VirtualClock clock;
    Clock* previousClock = nullptr;
    uint64_t start = 0;
    Peer peer;
    std::unique_ptr<PairLink> link;
    TComboExchangeState state;
    TComboExchangeHooks hooks;
    std::vector<AnsiString> trace;
    std::vector<int> progress;
    int reportTimeout = 60;
};

const Fields kStatusFields = {Field::B(2), Field::B(0), Field::B(0), Field::B(1)};
const AnsiString kCommError = "B\xB3\xB9" "d komunikacji z kas\xB9";
}  // namespace

TEST_F(ComboExchangeTest, CommandIsTracedSentAndItsAnswerParsed)
{
    Script({[](Peer& p) { p.Answer(501, kStatusFields); }});
    Run(501);
    ASSERT_EQ(peer.requests.size(), 1u);
    const Bytes expected = PlainFrame(0, 7, 501);
    EXPECT_EQ(peer.requests[0].plain, expected);
    EXPECT_EQ(peer.requests[0].wire, Stuff(expected));
    EXPECT_EQ(state.token, 7u);
    EXPECT_EQ(state.cmd_id, 501);
    ASSERT_EQ(state.DataSet.Count(), 4);
    EXPECT_EQ(state.DataSet[0].AsB(), 2);
    EXPECT_EQ(state.DataSet[3].AsB(), 1);
    EXPECT_EQ(state.last_err_trn, 0);
    EXPECT_EQ(state.last_err_wyk, 0);
    EXPECT_TRUE(state.firstLineRepeated);
    EXPECT_EQ(trace, (std::vector<AnsiString>{"->CASHREGSTATUSGET", "->" + Stuff(expected),
                                              "<-" + PlainFrame(0, 7, 501, kStatusFields)}));
    EXPECT_EQ(Elapsed(), 0u);
}

TEST_F(ComboExchangeTest, FieldsGoOutInOrderWithTheirCount)
{
    Script({[](Peer& p) { p.Answer(2100); }});
    const AnsiString fields[] = {"V\x05\x10", AnsiString("Sab\0", 4)};
    Run(2100, 2, fields);
    ASSERT_EQ(peer.requests.size(), 1u);
    EXPECT_EQ(peer.requests[0].plain, PlainFrame(0, 7, 2100, {Field::Raw(fields[0]), Field::Raw(fields[1])}));
    EXPECT_EQ(state.fld_num, 2);
    EXPECT_EQ(trace[0], "->PLUINS");
}

TEST_F(ComboExchangeTest, LostAnswerIsAskedForAgainWithTheRetryFlagAndTheSameToken)
{
    const auto answer = [](Peer& p) { p.Answer(501, kStatusFields); };
    Script({nullptr, answer, nullptr, answer});
    Run(501);
    ASSERT_EQ(peer.requests.size(), 2u);
    EXPECT_EQ(peer.requests[1].plain, PlainFrame(0x10, 7, 501));
    EXPECT_EQ(Elapsed(), 5050u);
    // A serial link passes a silence without a trace line, a TCP/IP link traces it.
    EXPECT_FALSE(Traced("<-<kasa nie odpowiada>"));
    UseLink(30000, true);
    start = clock.now;
    Run(501);
    EXPECT_TRUE(Traced("<-<kasa nie odpowiada>"));
    EXPECT_EQ(Elapsed(), 30000u);
}

TEST_F(ComboExchangeTest, WrongTokenAndBadChecksumCountAsNoAnswer)
{
    Script({[](Peer& p) { p.Write(Stuff(PlainFrame(0, p.requests.back().frame.token + 1, 501))); },
            [](Peer& p) {
                Bytes f = PlainFrame(0, p.requests.back().frame.token, 501, {Field::B(9)});
                f[14] = 8;  // the field changed after the checksum was made
                p.Write(Stuff(f));
            },
            [](Peer& p) { p.Answer(501, {Field::B(7)}); }});
    Run(501);
    ASSERT_EQ(peer.requests.size(), 3u);
    for (size_t i : {1, 2}) EXPECT_EQ(peer.requests[i].plain, PlainFrame(0x10, 7, 501));
    EXPECT_EQ(state.DataSet[0].AsB(), 7);
}

TEST_F(ComboExchangeTest, NoiseBeforeAnAnswerIsPassedOverWithinTheFrameLimit)
{
    // Noise after each answer: every next answer is still taken at its command's first sending.
    peer.onRequest = [](Peer& p, size_t) {
        p.Answer(501, {Field::B(3)});
        p.Write("\x55");
    };
    for (int i = 0; i < 3; ++i) Run(501);
    EXPECT_EQ(peer.requests.size(), 3u);
    EXPECT_EQ(state.DataSet[0].AsB(), 3);
    EXPECT_EQ(trace.end()[-2], "<-<pomini\xEAte bajty spoza ramki: 1>");
    EXPECT_EQ(Elapsed(), 0u);

    // Noise dribbling in for ever holds a receive as long as an unfinished
    // frame: three byte time-outs from its first byte.
    link->PurgeInput();  // the noise after the last answer
    peer.requests.clear();
    peer.onRequest = nullptr;
    peer.onSilence = [](Peer& p, int) { p.Write("\x55"); };
    start = clock.now;
    EXPECT_EQ(Failure(501), kCommError);
    EXPECT_EQ(peer.requests.size(), 3u);
    EXPECT_EQ(Elapsed(), 3u * 5u * 5050u);
    EXPECT_TRUE(Traced("<-<ramka niekompletna po 15150 ms>"));
    peer.onSilence = nullptr;

    // In a report wait a byte outside a frame is the register at work: a try of its own.
    progress.clear();
    peer.requests.clear();
    Script({[](Peer& p) {
        p.Answer(1);
        p.Write("\x06\x06");
    }});
    peer.onSilence = [](Peer& p, int) { p.Answer(1171); };
    start = clock.now;
    Run(1171);
    EXPECT_EQ(progress, (std::vector<int>{5, 10, 15}));
    EXPECT_EQ(Elapsed(), 5050u);
    EXPECT_TRUE(Traced("<-<bajt spoza ramki: 0x06>"));
}

TEST_F(ComboExchangeTest, ThreeTransmissionErrorsEndInTheCommunicationFailure)
{
    Script({[](Peer& p) { p.ErrorAnswer(3006, 0); }, [](Peer& p) { p.ErrorAnswer(3006, 0); },
            [](Peer& p) { p.ErrorAnswer(5, 0); }});
    EXPECT_EQ(Failure(501), kCommError);
    ASSERT_EQ(peer.requests.size(), 3u);
    // Sent again unchanged: no retry flag, the same token.
    for (const Request& r : peer.requests) EXPECT_EQ(r.plain, PlainFrame(0, 7, 501));
    EXPECT_FALSE(state.firstLineRepeated);
    EXPECT_EQ(state.last_err_trn, 5);
}

TEST_F(ComboExchangeTest, SilenceOnEveryAttemptEndsInTheCommunicationFailure)
{
    EXPECT_EQ(Failure(501), kCommError);
    EXPECT_EQ(peer.requests.size(), 3u);
    EXPECT_EQ(Elapsed(), 3u * 5050u);
    EXPECT_FALSE(state.firstLineRepeated);
    // The next command starts afresh.
    Script({nullptr, nullptr, nullptr, [](Peer& p) { p.Answer(501); }});
    Run(501);
    EXPECT_TRUE(state.firstLineRepeated);
    EXPECT_EQ(peer.requests[3].plain, PlainFrame(0, 8, 501));
}

TEST_F(ComboExchangeTest, QuietExecutionErrorsReturnWithTheirCode)
{
    const int quiet[] = {801, 901, 903, 909, 910, 920, 921, 926, 938, 944,
                         948, 949, 950, 951, 959, 975, 2035, 2106, 6666};
    int wyk = 0;
    peer.onRequest = [&wyk](Peer& p, size_t) { p.ErrorAnswer(0, static_cast<uint16_t>(wyk)); };
    for (int code : quiet) {
        wyk = code;
        const size_t before = peer.requests.size();
        Run(2110);
        EXPECT_EQ(peer.requests.size(), before + 1) << code;
        EXPECT_EQ(state.last_err_wyk, code);
        EXPECT_EQ(state.last_err_trn, 0);
        EXPECT_EQ(state.DataSet.Count(), 3);
    }
    // The next answer clears them.
    peer.onRequest = [](Peer& p, size_t) { p.Answer(2110); };
    Run(2110);
    EXPECT_EQ(state.last_err_wyk, 0);
}

TEST_F(ComboExchangeTest, OtherErrorAnswersAndMalformedAnswersFailAtOnce)
{
    const std::tuple<uint16_t, Fields, AnsiString> cases[] = {  // answer code, fields, failure
        {0, {Field::V(0), Field::V(0), Field::V(1)},
         "Kasa zg\xB3osi\xB3" "a b\xB3\xB9" "d wykonania: [W1] - nieznany b\xB3\xB9" "d przes\xB3" "any przez kas\xEA"},
        {0, {Field::V(0), Field::V(0), Field::V(902)}, "Kasa zgłosiła błąd wykonania: [W902] - rekord jest predefiniowany"},
        // An error answer without its codes is refused by the accessor.
        {0, {Field::V(0)}, "TComboData::AsV() - nieprawid\xB3owy typ pola DATA"},
        {501, {Field::Raw("X\x01")}, "TComboDataSet::ParseFromPacket() - niew\xB3" "a\x9C" "ciwy typ pola DATA"},
    };
    for (const auto& [code, fields, failure] : cases) {
        peer.requests.clear();
        peer.onRequest = [&](Peer& p, size_t) { p.Answer(code, fields); };
        EXPECT_EQ(Failure(501), failure);
        EXPECT_EQ(peer.requests.size(), 1u) << failure;
    }
    EXPECT_EQ(state.DataSet.Count(), 0);
}

TEST_F(ComboExchangeTest, SimpleCommandAnsweredWithAnotherCodeIsSentAgainUnchanged)
{
    Script({[](Peer& p) { p.Answer(502); }, [](Peer& p) { p.Answer(501); }});
    Run(501);
    ASSERT_EQ(peer.requests.size(), 2u);
    EXPECT_EQ(peer.requests[1].plain, peer.requests[0].plain);
}

TEST_F(ComboExchangeTest, TokenAdvancesPerCommandAndWraps)
{
    state.token = 9998;
    peer.onRequest = [](Peer& p, size_t i) {
        if (i != 1) p.Answer(p.requests.back().frame.code);  // the second sending is lost
    };
    Run(14);
    Run(15);
    Run(20);
    std::vector<std::pair<uint32_t, int>> sent;  // token and flags
    for (const Request& r : peer.requests) sent.emplace_back(r.frame.token, r.frame.flags);
    EXPECT_EQ(sent, (std::vector<std::pair<uint32_t, int>>{{9999, 0}, {0, 0}, {0, 0x10}, {1, 0}}));
}

// With the links' own purge (see cblinks_test.cpp) this keeps late answers
// from eating the next command's attempts: those waiting when the link opens,
// and the second answer to a command sent twice.
TEST_F(ComboExchangeTest, LateAnswersAreDroppedBeforeTheNextCommand)
{
    for (int i = 0; i < 3; ++i) peer.Write(Stuff(PlainFrame(0, 6, 2110)));
    Script({[](Peer& p) { p.Answer(501); }, nullptr,
            [](Peer& p) {
                p.Answer(2110);
                p.Answer(2110);
            },
            [](Peer& p) { p.Answer(501); }});
    Run(501);
    Run(2110);
    Run(501);
    EXPECT_EQ(peer.requests.size(), 4u);
}

TEST_F(ComboExchangeTest, ReportIsAwaitedAfterItsAcknowledgementWithProgress)
{
    Script({[](Peer& p) { p.Answer(1); }});
    peer.onSilence = [](Peer& p, int n) {
        if (n == 4) p.Answer(1171);
    };
    Run(1171);
    EXPECT_EQ(peer.requests.size(), 1u);
    EXPECT_EQ(progress, (std::vector<int>{5, 10, 15, 20}));
    EXPECT_EQ(trace[0], "->REPCOMM");
    EXPECT_EQ(Elapsed(), 4u * 5050u);
}

TEST_F(ComboExchangeTest, ReportAnsweredAtOnceWithItsOwnCodeFails)
{
    Script({[](Peer& p) { p.Answer(1171); }});
    EXPECT_EQ(Failure(1171), kCommError);
    EXPECT_EQ(peer.requests.size(), 1u);
    EXPECT_FALSE(state.firstLineRepeated);
}

TEST_F(ComboExchangeTest, ReportNotFinishedInTimeThrowsTheTimeout)
{
    // 20 s with a byte time-out of 5 s: three tries show progress, the
    // fourth ends on the limit.
    reportTimeout = 20;
    UseLink(5000, false);
    Script({[](Peer& p) { p.Answer(1); }});
    EXPECT_EQ(Failure(1168), ComboReportTimeoutText());
    EXPECT_EQ(progress, (std::vector<int>{5, 10, 15}));
    EXPECT_EQ(Elapsed(), 4u * 5000u);
    EXPECT_EQ(peer.requests.size(), 1u);
}

TEST_F(ComboExchangeTest, ErrorAnswerDuringAReportWaitFollowsTheErrorRule)
{
    Script({[](Peer& p) { p.Answer(1); }});
    peer.onSilence = [](Peer& p, int n) {
        if (n == 2) p.ErrorAnswer(0, 975);
    };
    Run(1171);
    EXPECT_EQ(state.last_err_wyk, 975);
    EXPECT_EQ(progress, (std::vector<int>{5, 10}));

    peer.onSilence = [](Peer& p, int) { p.ErrorAnswer(0, 2036); };
    EXPECT_EQ(Failure(1171), "Kasa zgłosiła błąd wykonania: [W2036] - urządzenie w stanie tylko do odczytu.");

    // A transmission error, or another command's code, sends the report command again.
    for (const bool transmission : {true, false}) {
        peer.requests.clear();
        peer.onRequest = [](Peer& p, size_t) { p.Answer(1); };
        peer.onSilence = [transmission](Peer& p, int) {
            if (p.requests.size() > 1) p.Answer(1171);
            else if (transmission) p.ErrorAnswer(3015, 0);
            else p.Answer(1165);
        };
        Run(1171);
        ASSERT_EQ(peer.requests.size(), 2u);
        EXPECT_EQ(peer.requests[1].plain, peer.requests[0].plain);
        EXPECT_EQ(state.last_err_trn, 0);
    }
}

TEST_F(ComboExchangeTest, DeadLinkFailsAtOnce)
{
    Script({[](Peer& p) { p.Close(); }});
    EXPECT_EQ(Failure(501), kCommError);
    EXPECT_EQ(peer.requests.size(), 1u);
    EXPECT_EQ(Elapsed(), 0u);
    EXPECT_FALSE(state.firstLineRepeated);
    EXPECT_TRUE(Traced("<-<po\xB3\xB9" "czenie z kas\xB9 zerwane>"));
}

TEST_F(ComboExchangeTest, WithoutALinkOrWithOneDeadDuringAReportWaitACommandFailsAtOnce)
{
    EXPECT_EQ(testutil::Thrown([&] { TComboExchange(state, nullptr, hooks).SendAndReceive(501); }), kCommError);
    EXPECT_EQ(trace[0], "->CASHREGSTATUSGET");
    Script({[](Peer& p) { p.Answer(1), p.Close(); }});
    EXPECT_EQ(Failure(1171), kCommError);
    EXPECT_EQ(Elapsed(), 0u);
    EXPECT_TRUE(progress.empty());
}

TEST(ComboCommands, NamesForTheTraceAndTheReportCommands)
{
    const std::pair<unsigned, const char*> names[] = {
        {14, "TIMEGET"}, {501, "CASHREGSTATUSGET"}, {2561, "USERPAYFORMSTATREAD"}, {2910, "PAYFORMREAD"}, {0, "???"},
        {1, "???"},      {16, "???"},               {2001, "???"},                 {2911, "???"},        {65535, "???"},
        {4294967295u, "???"}};
    for (const auto& [code, name] : names) EXPECT_EQ(ComboCmdName(code), name) << code;
    std::vector<int> reports;
    for (int code = 0; code < 70000; ++code)
        if (ComboIsReportCommand(code)) reports.push_back(code);
    EXPECT_EQ(reports, (std::vector<int>{1165, 1168, 1171}));
}
