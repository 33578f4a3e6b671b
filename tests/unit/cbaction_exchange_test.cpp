// The Combo/NEO action's commands to the register simulator over a real
// loopback socket: answers that come after the driver gave a command up are
// dropped before the next one. The exchange's own rules (repeats, error
// answers, a dead link) are pinned by cbexchange_test.cpp.
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
    using TVelComboAction::DataSet;
    using TVelComboAction::TVelComboAction;

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
