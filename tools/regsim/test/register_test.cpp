// The register's answers, the retry cache, the fault plan and the journal,
// without a transport in between; and one link over a socket pair.
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "cash_register.h"
#include "journal.h"
#include "link.h"
#include "testutil.h"

using namespace regsim;
using nlohmann::json;
using F = Field;

namespace {

Frame Request(uint16_t code, uint32_t token, std::vector<Field> fields = {}, uint8_t flags = 0)
{
    return Frame{flags, token, code, std::move(fields)};
}

// The first frame in wire bytes, parsed.
ParsedFrame Unwire(const std::string& wire)
{
    WireDecoder d;
    for (char c : wire)
        if (auto ev = d.Feed(static_cast<uint8_t>(c)); ev.kind == WireDecoder::Event::kFrame) return ParseFrame(ev.frame);
    ADD_FAILURE() << "no frame in " << HexBytes(wire);
    return {};
}

class RegisterTest : public ::testing::Test {
protected:
    void Make(Scenario scenario = LoadScenario(REGSIM_DEMO_SCENARIO), FaultPlan faults = {})
    {
        journal = std::make_unique<Journal>(dir.File("journal.jsonl"));
        reg = std::make_unique<CashRegister>(std::move(scenario), std::move(faults), *journal);
    }
    Response Send(const Frame& f, uint64_t now = 1000) { return reg->OnFrame(BuildFrame(f), now); }
    // The single immediate answer to a simple command.
    Frame Answer(const Frame& f, uint64_t now = 1000)
    {
        Response r = Send(f, now);
        EXPECT_EQ(r.outputs.size(), 1u);
        if (r.outputs.empty()) return {};
        EXPECT_EQ(r.outputs[0].atMs, 0u);
        ParsedFrame p = Unwire(r.outputs[0].bytes);
        EXPECT_EQ(p.error, "");
        EXPECT_EQ(p.frame.token, f.token);
        return p.frame;
    }
    // The bytes served over a socket pair until they run out; the codes of
    // the answers.
    std::vector<int> Serve(const std::string& bytes, int muxChannel)
    {
        int fds[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        EXPECT_EQ(write(fds[0], bytes.data(), bytes.size()), ssize_t(bytes.size()));
        shutdown(fds[0], SHUT_WR);
        EXPECT_EQ(Link(fds[1], true, *reg, *journal, muxChannel).Serve(-1), Link::End::kPeerClosed);
        close(fds[1]);
        std::vector<int> codes;
        WireDecoder d;
        char buffer[4096];
        for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
            for (ssize_t i = 0; i < n; ++i)
                if (auto ev = d.Feed(static_cast<uint8_t>(buffer[i])); ev.kind == WireDecoder::Event::kFrame)
                    codes.push_back(ParseFrame(ev.frame).frame.code);
        close(fds[0]);
        return codes;
    }
    std::vector<json> JournalLines() { return ReadJournal(dir.File("journal.jsonl")); }
    static std::vector<Field> ErrorFields(uint16_t cmd, int trn, int exe)
    {
        return {Field::V(cmd), Field::V(static_cast<uint16_t>(trn)), Field::V(static_cast<uint16_t>(exe))};
    }

    testutil::TempDir dir;
    std::unique_ptr<Journal> journal;
    std::unique_ptr<CashRegister> reg;
};

FaultPlan Plan(const char* text)
{
    return FaultPlan::FromJson(json::parse(text));
}

}  // namespace

TEST_F(RegisterTest, RepeatedSendingOfTheLastCommandGetsTheCachedAnswer)
{
    const Frame daily = Request(1165, 8, {Field::B(20), Field::B(5), Field::V(2024), Field::B(14), Field::B(30)});
    Scenario s;
    s.totalsNonZero = true;
    Make(s, Plan(R"({"1165": {"1": "lostAnswer"}})"));
    EXPECT_TRUE(Send(daily).outputs.empty());
    EXPECT_FALSE(reg->State().totalsNonZero);  // executed, only the answer was lost

    Frame retry = daily;
    retry.flags = kRetryFlag;
    const Response again = Send(retry, 5000);
    ASSERT_EQ(again.outputs.size(), 2u);
    EXPECT_EQ(Unwire(again.outputs[0].bytes).frame.code, kReportAcknowledged);
    EXPECT_EQ(Unwire(again.outputs[1].bytes).frame.code, 1165);

    // A repeated sending with another token is a command of its own.
    Frame other = Request(501, 9, {}, kRetryFlag);
    EXPECT_EQ(Answer(other, 6000).code, 501);
    const std::vector<json> lines = JournalLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]["fault"], "lostAnswer");
    EXPECT_EQ(lines[1]["answer"], "cached");
    EXPECT_EQ(lines[1]["retry"], true);
    EXPECT_EQ(lines[1]["occurrence"], 2);
    EXPECT_EQ(lines[2]["answer"], "answer");
}

TEST_F(RegisterTest, RepeatedSendingOfAnOlderCommandIsExecutedAgain)
{
    Make();
    Answer(Request(20, 1));
    Answer(Request(15, 2));
    EXPECT_EQ(Answer(Request(20, 1, {}, kRetryFlag)).code, 20);
    EXPECT_EQ(JournalLines().back()["answer"], "answer");
}

TEST_F(RegisterTest, LineNoiseFollowsEveryAnswerFrameButNoBusyByte)
{
    Scenario s = ScenarioFromJson(json::parse(R"({"lineNoise": "ff 10 41", "reports": {"polls": 1}})"));
    Make(s);
    const Response status = Send(Request(501, 1));
    ASSERT_EQ(status.outputs.size(), 1u);
    EXPECT_EQ(status.outputs[0].bytes.substr(status.outputs[0].bytes.size() - 5), "\x10\x03\xff\x10\x41");
    EXPECT_EQ(Unwire(status.outputs[0].bytes).frame.code, 501);
    std::vector<std::string> report;  // acknowledgement, busy byte, final answer
    for (const Output& out : Send(Request(1171, 2)).outputs)
        report.push_back(out.bytes.ends_with("\xff\x10\x41") ? "noise" : out.bytes);
    EXPECT_EQ(report, (std::vector<std::string>{"noise", "\x06", "noise"}));
}

// A wrong token, a late answer and a lost one reach the driver's exchange
// tests through the simulator and its journal; a bad checksum does not.
TEST_F(RegisterTest, ABadChecksumSpoilsTheAnswerButTheCommandRuns)
{
    Make(LoadScenario(REGSIM_DEMO_SCENARIO), Plan(R"({"20": {"1": {"kind": "badCrc"}}})"));
    const ParsedFrame badCrc = Unwire(Send(Request(20, 1)).outputs.at(0).bytes);
    EXPECT_FALSE(badCrc.checksumOk);
    EXPECT_EQ(badCrc.frame.code, 20);
    // The repeat gets the cached answer, now sound.
    EXPECT_TRUE(Unwire(Send(Request(20, 1, {}, kRetryFlag)).outputs.at(0).bytes).checksumOk);
    EXPECT_EQ(JournalLines().back()["answer"], "cached");
}

// Frames must reach the register's channel and nothing else may be on the
// line: the simulator notes each slip as a violation.
TEST_F(RegisterTest, OnlyFramesOnTheRegistersChannelAreServedAndStrayBytesAreViolations)
{
    const std::string status = Stuff(BuildFrame(Request(501, 1)));
    const std::string select2("\xFE\x02", 2), select3("\xFE\x03", 2);
    const struct {
        int muxChannel;
        std::string bytes;
        std::vector<std::string> violations;
    } cases[] = {
        {2, status + select3 + status + select2 + status,
         {"frame sent before any channel was selected, the register is on multiplexer channel 2",
          "multiplexer channel 3 selected, the register is on channel 2",
          "frame sent on channel 3, the register is on multiplexer channel 2"}},
        {0, select2 + status, {"bytes outside a frame: 0xFE 0x02"}},
    };
    for (const auto& c : cases) {
        std::remove(dir.File("journal.jsonl").c_str());
        Make();
        EXPECT_EQ(Serve(c.bytes, c.muxChannel), std::vector<int>{501});
        EXPECT_EQ(JournalViolations(dir.File("journal.jsonl")), c.violations);
    }
}

TEST_F(RegisterTest, ReportFaultOnASimpleCommandIsRefused)
{
    EXPECT_THROW(Make({}, Plan(R"({"501": {"1": "slowReport"}})")), std::runtime_error);
}

TEST_F(RegisterTest, MalformedRequestsAreViolationsAndGetTransmissionErrors)
{
    Make();
    EXPECT_EQ(Answer(Request(2910, 1)).fields, ErrorFields(2910, 3013, 0));
    EXPECT_EQ(Answer(Request(501, 2, {Field::B(1)})).fields, ErrorFields(501, 3012, 0));
    EXPECT_EQ(Answer(Request(2910, 3, {Field::B(1)})).fields, ErrorFields(2910, 3010, 0));
    EXPECT_EQ(Answer(Request(999, 4)).fields, ErrorFields(999, 3008, 0));
    EXPECT_EQ(Answer(Request(306, 5)).fields, ErrorFields(306, 3008, 0));  // known, not served yet
    const Response crc = reg->OnFrame(CorruptChecksum(BuildFrame(Request(501, 6))), 1000);
    EXPECT_EQ(Unwire(crc.outputs[0].bytes).frame.fields, ErrorFields(501, 3006, 0));
    EXPECT_TRUE(reg->OnFrame(std::string("\x02\x00\x03", 3), 1000).outputs.empty());

    const std::vector<std::string> violations = JournalViolations(dir.File("journal.jsonl"));
    ASSERT_EQ(violations.size(), 7u);
    EXPECT_EQ(violations[0], "PAYFORMREAD takes V, the request has no fields");
    EXPECT_EQ(violations[1], "CASHREGSTATUSGET takes no fields, the request has B");
    EXPECT_NE(violations[3].find("not served"), std::string::npos);
    EXPECT_NE(violations[5].find("bad checksum"), std::string::npos);
    EXPECT_EQ(journal->Violations(), 7);
    EXPECT_EQ(JournalLines().back()["event"], "garbled");
}

TEST_F(RegisterTest, JournalShowsTextFieldsInUtf8AndFaultsOnlyWhereApplied)
{
    Make({}, Plan(R"({"306": {"1": "lostAnswer"}})"));
    // "Grupa główna" in code page 1250, for a command not served yet: the
    // frame is refused before the fault plan is consulted.
    const Response r = Send(Request(306, 1, {Field::V(1), Field::S("Grupa g\xB3\xF3wna"), Field::B(0), Field::B(0)}));
    EXPECT_EQ(r.outputs.size(), 1u);
    const json line = JournalLines().at(0);
    EXPECT_EQ(line["fields"][1], json::parse(R"(["S", "Grupa główna"])"));
    EXPECT_TRUE(line["fault"].is_null());
    EXPECT_EQ(line["answer"], "transmissionError");
}

TEST_F(RegisterTest, OverridesReplaceTheAnswer)
{
    // Replaced fields reach the driver's tests through the simulator.
    Scenario s = ScenarioFromJson(json::parse(R"({"overrides": {
        "1171": {"code": 1171},
        "18": {"fields": [["B", 1], ["raw", "58 01"]]}}})"));
    Make(s);
    const Response report = Send(Request(1171, 2));
    ASSERT_EQ(report.outputs.size(), 1u);
    EXPECT_EQ(Unwire(report.outputs[0].bytes).frame.code, 1171);
    const Response raw = Send(Request(18, 3));
    EXPECT_NE(Unwire(raw.outputs[0].bytes).error.find("unknown field type 0x58"), std::string::npos);
}

TEST_F(RegisterTest, DailyReportChecksItsDateAndZeroesTheTotals)
{
    Scenario s;
    s.totalsNonZero = true;
    Make(s);
    EXPECT_EQ(Answer(Request(1165, 1, {Field::B(31), Field::B(2), Field::V(2024), Field::B(10), Field::B(0)})).fields,
              ErrorFields(1165, 0, 723));
    EXPECT_TRUE(reg->State().totalsNonZero);
    EXPECT_EQ(
        Send(Request(1165, 2, {Field::B(29), Field::B(2), Field::V(2024), Field::B(10), Field::B(0)})).outputs.size(),
        2u);
    EXPECT_FALSE(reg->State().totalsNonZero);
}

// The goods base: the refusals and reads the driver's own tests do not reach.
TEST_F(RegisterTest, GoodsCommandsChangeTheBaseAndRefuseAsTheRegisterDoes)
{
    Make(ScenarioFromJson(json::parse(R"({
        "packages": [{"number": 4, "name": "Butelka", "barcode": "4", "price": 50}, {"number": 5, "sales": 1}],
        "goods": [{"plu": 7, "name": "Mleko", "barcode": "590", "vat": 1, "package": 4, "sales": 1},
                  {"plu": 9, "name": "Kosz", "barcode": "77", "set": 2, "discount": 3}]})")));
    auto ins = [](uint16_t plu, uint8_t vat) {
        return std::vector<F>{F::V(plu), F::S("Mleko"), F::S("590"), F::N(1), F::N(0), F::B(4), F::B(1), F::B(0),
                              F::B(2), F::B(vat), F::B(3), F::B(1), F::B(1), F::B(0), F::B(1), F::B(0)};
    };
    const std::vector<F> set9 = {F::V(9), F::S("Kosz"), F::S("77"), F::N(0), F::B(2), F::B(0), F::B(3), F::B(0), F::V(1)};
    const struct {
        uint16_t code;
        std::vector<F> request;
        int error;  // execution code; 0: answered with the command's code
        std::vector<F> answer;
    } steps[] = {
        {2100, ins(0, 1), 909, {}},
        {2100, ins(7, 2), 944, {}},  // sold: its rate stays
        {2100, ins(7, 1), 0, {}},    // an upsert
        {2140, {F::V(7), F::B(0), F::B(0)}, 944, {}},
        {2740, {F::V(4), F::B(0), F::B(0)}, 938, {}},  // PLU 7 links it
        {2740, {F::V(5), F::B(0), F::B(0)}, 944, {}},
        {2700, {F::V(256), F::S("X"), F::S("256"), F::N(1), F::N(0), F::B(1), F::B(1), F::B(0)}, 909, {}},
        {2110, {F::V(9), F::B(0)}, 0, set9},
        {2110, {F::V(8), F::B(0)}, 903, {}},
        {2181, {F::V(8), F::N(5)}, 903, {}},
        {2140, {F::V(8), F::B(0), F::B(0)}, 903, {}},
        {2740, {F::V(6), F::B(0), F::B(0)}, 903, {}},
        {2750, {F::B(0)}, 938, {}},
        {2170, {F::B(1), F::B(1)}, 0, {}},
        {2150, {F::B(0)}, 0, {}},
        {2750, {F::B(0)}, 944, {}},
        {2710, {F::V(4)}, 0, {F::V(4), F::S("Butelka"), F::S("4"), F::N(50), F::N(0), F::B(1)}},
        {2770, {F::B(1)}, 0, {}},
        {2750, {F::B(0)}, 0, {}},
        {2710, {F::V(4)}, 903, {}},
    };
    uint32_t token = 1;
    for (const auto& step : steps) {
        const Frame a = Answer(Request(step.code, token, step.request));
        const std::vector<F> expected =
            step.error ? std::vector<F>{F::V(step.code), F::V(0), F::V(static_cast<uint16_t>(step.error))} : step.answer;
        EXPECT_EQ(a.code, step.error ? kErrorAnswer : step.code) << "step " << token;
        EXPECT_EQ(a.fields, expected) << "step " << token++;
    }
    EXPECT_TRUE(JournalViolations(dir.File("journal.jsonl")).empty());
}
