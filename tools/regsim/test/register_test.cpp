// The register's answers, the retry cache, the fault plan and the journal,
// without a transport in between.
#include <gtest/gtest.h>

#include "cash_register.h"
#include "journal.h"
#include "test_support.h"

using namespace regsim;
using nlohmann::json;
using regsim::test::Request;
using regsim::test::Unwire;

namespace {

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
    std::vector<json> JournalLines() { return ReadJournal(dir.File("journal.jsonl")); }
    static std::vector<Field> ErrorFields(uint16_t cmd, int trn, int exe)
    {
        return {Field::V(cmd), Field::V(static_cast<uint16_t>(trn)), Field::V(static_cast<uint16_t>(exe))};
    }

    test::TempDir dir;
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
