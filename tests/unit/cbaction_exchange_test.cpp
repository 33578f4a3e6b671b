// The Combo/NEO action's commands to the register simulator over a real
// loopback socket: repeated sendings, error answers, stale input and a link
// that goes away. The simulator's journal shows what reached the register.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <chrono>
#include <thread>

#include "cbcommands.h"
#include "cbframe.h"
#include "clientsocket.h"
#include "inprocess_host.h"
#include "register_session.h"
#include "thrown.h"

namespace {
class ExchangeAction : public TVelComboAction {
public:
    using TVelComboAction::TVelComboAction;
    using TVelComboAction::DataSet;
    using TVelComboAction::firstLineRepeated;
    using TVelComboAction::last_err_trn;
    using TVelComboAction::last_err_wyk;
    using TVelComboAction::packet_out;
    using TVelComboAction::token;

    // The session awaits each byte of an answer 30 s; a lost answer in a test
    // costs only this much.
    void SetByteWait(uint32_t ms) { pStream = std::make_unique<TWinSocketStream>(pSocket->Socket(), ms); }
    // Bytes that arrived on the socket and were not read yet.
    int Unread() const
    {
        int n = 0;
        ioctl(pSocket->Socket()->Handle(), FIONREAD, &n);
        return n;
    }
};

const AnsiString kCommError = "B\xB3\xB9" "d komunikacji z kas\xB9";

class ActionExchange : public ::testing::Test {
protected:
    // Starts the simulator with the fault plan (JSON) and opens the action's
    // session with it; an answer that does not come is awaited byteWaitMs.
    void Start(const std::string& faults, uint32_t byteWaitMs = 5000)
    {
        journal = tmp.File("journal.jsonl");
        std::vector<std::string> args = testutil::RegsimArgs(tmp, journal, "", faults);
        args.insert(args.end(), {"--tcp", "0"});
        sim.Start(REGSIM_EXE, args);
        in.host.device.folder = tmp.Folder();
        testutil::UseRegisterOverTcp(in.host, sim.Port());
        in.host.SetParam("ComboComplexOrdTimeout", "60");
        in.Start();
        action = in.NewAction<ExchangeAction>();
        action->ReadParams();
        action->OpenPort();
        action->SetByteWait(byteWaitMs);
    }
    void TearDown() override
    {
        if (action) action->ClosePortAfterFailure();
        action.reset();
        sim.Stop();
        if (!journal.empty()) {
            EXPECT_TRUE(regsim::JournalViolations(journal).empty());
        }
    }
    AnsiString Failure(int cmd)
    {
        return testutil::Thrown([&] { action->SendAndReceive(cmd); });
    }
    // The journal's requests of one command, in order.
    std::vector<nlohmann::json> Requests(int cmd) const
    {
        std::vector<nlohmann::json> lines;
        for (const auto& line : regsim::ReadJournal(journal))
            if (line.contains("cmd") && line["cmd"] == cmd) lines.push_back(line);
        return lines;
    }

    testutil::TempDir tmp;
    std::string journal;
    peerproc::PeerProcess sim;
    InProcessHost in;
    std::unique_ptr<ExchangeAction> action;
};
}  // namespace

TEST_F(ActionExchange, LostAnswerIsAskedForAgainWithTheRetryFlagAndTheSameToken)
{
    Start(R"({"14": {"1": "lostAnswer"}})", 200);
    action->SendAndReceive(CMD_TIMEGET);
    ASSERT_EQ(action->DataSet.Count(), 3);
    EXPECT_EQ(action->DataSet[0].AsB(), 12);  // the simulator's clock stands at 12:00:00
    EXPECT_TRUE(action->firstLineRepeated);
    EXPECT_EQ(static_cast<uint8_t>(ComboUnstuff(action->packet_out)[CB_OFS_FLAGS]), CB_RETRY_FLAG);

    const auto sent = Requests(CMD_TIMEGET);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0]["retry"], false);
    EXPECT_EQ(sent[0]["fault"], "lostAnswer");
    EXPECT_EQ(sent[1]["retry"], true);
    EXPECT_EQ(sent[1]["token"], sent[0]["token"]);
    EXPECT_EQ(sent[1]["token"], action->token);
    EXPECT_EQ(sent[1]["answer"], "cached");
}

TEST_F(ActionExchange, WrongTokenAndBadChecksumCountAsNoAnswer)
{
    Start(R"({"14": {"1": "wrongToken", "2": "badCrc"}})");
    action->SendAndReceive(CMD_TIMEGET);
    EXPECT_EQ(action->DataSet[0].AsB(), 12);
    const auto sent = Requests(CMD_TIMEGET);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0]["retry"], false);
    EXPECT_EQ(sent[1]["retry"], true);
    EXPECT_EQ(sent[2]["retry"], true);
    for (const auto& r : sent) EXPECT_EQ(r["token"], action->token);
    EXPECT_EQ(sent[2]["answer"], "cached");
}

TEST_F(ActionExchange, ThreeTransmissionErrorsEndInTheCommunicationFailure)
{
    Start(R"({"14": {"1": "transmissionError", "2": {"kind": "transmissionError", "code": 3015},
                     "3": {"kind": "transmissionError", "code": 3004}}})");
    EXPECT_EQ(Failure(CMD_TIMEGET), kCommError);
    EXPECT_FALSE(action->firstLineRepeated);
    EXPECT_EQ(action->last_err_trn, 3004);
    const auto sent = Requests(CMD_TIMEGET);
    ASSERT_EQ(sent.size(), 3u);
    // Sent again unchanged: the register did not take it, so no retry flag.
    for (const auto& r : sent) {
        EXPECT_EQ(r["retry"], false);
        EXPECT_EQ(r["token"], sent[0]["token"]);
    }

    // The link stays usable and the next command starts afresh.
    action->SendAndReceive(CMD_TIMEGET);
    EXPECT_TRUE(action->firstLineRepeated);
    EXPECT_EQ(action->last_err_trn, 0);
    EXPECT_EQ(Requests(CMD_TIMEGET).back()["token"], sent[0]["token"].get<int>() + 1);
}

TEST_F(ActionExchange, QuietExecutionErrorsReturnWithTheirCode)
{
    const int quiet[] = {801, 901, 903, 909, 910, 920, 921, 926, 938, 944,
                         948, 949, 950, 951, 959, 975, 2035, 2106, 6666};
    nlohmann::json plan;
    for (size_t i = 0; i < std::size(quiet); ++i)
        plan["14"][std::to_string(i + 1)] = {{"kind", "executionError"}, {"code", quiet[i]}};
    Start(plan.dump());
    for (int code : quiet) {
        action->SendAndReceive(CMD_TIMEGET);
        EXPECT_EQ(action->last_err_wyk, code);
        EXPECT_EQ(action->last_err_trn, 0);
        EXPECT_EQ(action->DataSet.Count(), 3);
    }
    const auto sent = Requests(CMD_TIMEGET);
    ASSERT_EQ(sent.size(), std::size(quiet));
    for (const auto& r : sent) EXPECT_EQ(r["retry"], false);
    // A sound answer clears the code.
    action->SendAndReceive(CMD_TIMEGET);
    EXPECT_EQ(action->last_err_wyk, 0);
}

TEST_F(ActionExchange, OtherExecutionErrorsThrowAtOnceWithTheRegistersText)
{
    const std::pair<int, const char*> refused[] = {
        {1, "nieznany b\xB3\xB9" "d przes\xB3" "any przez kas\xEA"},
        {902, "rekord jest predefiniowany"},
        {2023, "r\xF3\xBFnica wi\xEAksza ni\xBF godzina w trybie u\xBFytkownika w trybie fiskalnym "},
        {2036, "urz\xB9" "dzenie w stanie tylko do odczytu."},
        {6669, "B\xB3\xB9" "d pola BCD"},
        {65535, "nieznany b\xB3\xB9" "d przes\xB3" "any przez kas\xEA"},
    };
    nlohmann::json plan;
    for (size_t i = 0; i < std::size(refused); ++i)
        plan["14"][std::to_string(i + 1)] = {{"kind", "executionError"}, {"code", refused[i].first}};
    Start(plan.dump());
    for (const auto& [code, text] : refused) {
        EXPECT_EQ(Failure(CMD_TIMEGET),
                  "Kasa zg\xB3osi\xB3" "a b\xB3\xB9" "d wykonania: [W" + std::to_string(code) + "] - " + text);
        EXPECT_EQ(action->last_err_wyk, code);
    }
    // Each refusal cost one sending only.
    EXPECT_EQ(Requests(CMD_TIMEGET).size(), std::size(refused));
}

TEST_F(ActionExchange, LateAnswersToAFailedCommandDoNotEatTheNextOnesAttempts)
{
    // Every sending of TIMEGET is answered long after the driver gave it up.
    Start(R"({"14": {"1": {"kind": "lateAnswer", "delayMs": 600}, "2": {"kind": "lateAnswer", "delayMs": 600},
                     "3": {"kind": "lateAnswer", "delayMs": 600}}})",
          60);
    EXPECT_EQ(Failure(CMD_TIMEGET), kCommError);
    action->SetByteWait(5000);
    // Wait until the three late answers (at least 22 bytes each) have arrived.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (action->Unread() < 3 * 22 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GE(action->Unread(), 3 * 22);

    action->SendAndReceive(CMD_DATEGET);
    EXPECT_EQ(action->DataSet[2].AsV(), 2024);
    EXPECT_EQ(action->Unread(), 0);
    const auto sent = Requests(CMD_DATEGET);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["retry"], false);
}

TEST_F(ActionExchange, DroppedConnectionFailsAtOnce)
{
    // The session's own 30 s wait for each byte stays in force.
    Start(R"({"14": {"1": "dropConnection"}})", 30000);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Failure(CMD_TIMEGET), kCommError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_FALSE(action->firstLineRepeated);
    EXPECT_EQ(Requests(CMD_TIMEGET).size(), 1u);
    // A later command on the dead link fails at once as well.
    EXPECT_EQ(Failure(CMD_DATEGET), kCommError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}
