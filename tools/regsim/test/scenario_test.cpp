// Reading the scenario and the fault plan, and refusing what is wrong in them.
#include "scenario.h"

#include <gtest/gtest.h>

#include "fault_plan.h"

using namespace regsim;
using nlohmann::json;

namespace {

// What reading the text refuses, or "(accepted)".
template <class Read>
std::string Refusal(Read read, const char* text)
{
    try {
        read(json::parse(text));
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(accepted)";
}
std::string ScenarioError(const char* text) { return Refusal(ScenarioFromJson, text); }
std::string PlanError(const char* text) { return Refusal(FaultPlan::FromJson, text); }

}  // namespace

TEST(Scenario, RefusesMistakesNamingTheEntry)
{
    EXPECT_EQ(ScenarioError(R"({"modle": 2})"), "\"modle\": unknown key");
    EXPECT_EQ(ScenarioError(R"({"model": 300})"), "\"model\": 300 is outside 0..255");
    EXPECT_EQ(ScenarioError(R"({"clock": "2024-02-30 10:00:00"})"),
              "\"clock\": \"2024-02-30 10:00:00\" is no valid date and time");
    EXPECT_EQ(ScenarioError(R"({"clock": "2024-02-03"})"), "\"clock\": \"2024-02-03\" is not \"YYYY-MM-DD HH:MM:SS\"");
    EXPECT_EQ(ScenarioError(R"({"header": ["日本"]})"), "header[0]: a character has no code page 1250 byte");
    EXPECT_EQ(ScenarioError(R"({"database": {"plu": [1]}})"),
              "\"database.plu\": a pair [size, programmed] is expected");
    EXPECT_EQ(ScenarioError(R"({"payForms": [{"name": "x"}]})"), "\"payForms[0].number\": is missing");
    EXPECT_EQ(ScenarioError(R"({"overrides": {"abc": {}}})"), "\"overrides.abc\": the key must be a command code");
    EXPECT_EQ(ScenarioError(R"({"overrides": {"15": {"fields": [["Q", 1]]}}})"),
              "\"overrides.15.fields\": unknown field type \"Q\" (B, V, L, N, S or raw)");
    EXPECT_EQ(ScenarioError(R"({"overrides": {"15": {"fields": [["B", 256]]}}})"),
              "\"overrides.15.fields\": B field: 256 is outside 0..255");
    EXPECT_EQ(ScenarioError(R"({"pluStats": [{"number": 65536}]})"),
              "\"pluStats[0].number\": 65536 is outside 0..65535");
    EXPECT_EQ(ScenarioError(R"({"pluStats": [{"lastSale": "2024-01"}]})"),
              "\"pluStats[0].lastSale\": a text \"YYYY-MM-DD\" is expected");
    EXPECT_EQ(ScenarioError(R"({"pluStats": [{"lastSale": "2024-01-02x"}]})"),
              "\"pluStats[0].lastSale\": a text \"YYYY-MM-DD\" is expected");
    EXPECT_EQ(ScenarioError(R"({"receiptRecords": [{"fields": []}]})"), "\"receiptRecords[0].type\": is missing");
    EXPECT_EQ(ScenarioError(R"({"goods": [{"plu": 0}]})"), "\"goods[0].plu\": 0 is outside 1..65535");
    EXPECT_EQ(ScenarioError(R"({"goods": [{"plu": 1, "barcode": "5"}, {"plu": 2, "barcode": "5"}]})"),
              "\"goods[1].barcode\": is given twice");
    EXPECT_EQ(ScenarioError(R"({"packages": [{"number": 1, "colour": 1}]})"), "\"packages[0].colour\": unknown key");
    EXPECT_EQ(ScenarioError(R"({"lineNoise": "F"})"), "\"lineNoise\": hex bytes: odd number of hex digits in \"F\"");
    std::string pairs = "[1,1]";
    for (int i = 1; i < 20; ++i) pairs += ",[1,1]";
    auto drawer = [](const std::string& list) {
        return ScenarioError((R"({"cashiers": [{"number": 1, "drawer": [)" + list + "]}]}").c_str());
    };
    EXPECT_EQ(drawer(pairs), "(accepted)");
    EXPECT_EQ(drawer(pairs + ",[1,1]"), "\"cashiers[0].drawer\": a list of at most 20 pairs is expected");
}

TEST(FaultPlan, FindsFaultsByCommandAndOccurrenceOrByPosition)
{
    const FaultPlan plan = FaultPlan::FromJson(json::parse(R"({
        "501": {"1": "lostAnswer", "3": {"kind": "executionError", "code": 2035}},
        "1171": {"2": {"kind": "slowReport", "polls": 7}},
        "any": {"3": "dropConnection", "5": "badCrc"}})"));
    EXPECT_EQ(plan.Find(501, 1, 1)->kind, FaultKind::kLostAnswer);
    EXPECT_FALSE(plan.Find(501, 2, 2).has_value());
    EXPECT_EQ(plan.Find(501, 3, 4)->code, 2035);
    EXPECT_EQ(plan.Find(1171, 2, 7)->polls, 7);
    EXPECT_FALSE(plan.Find(1171, 2, 7)->pollIntervalMs.has_value());
    EXPECT_EQ(plan.Find(14, 1, 3)->kind, FaultKind::kDropConnection);
    EXPECT_EQ(plan.Find(501, 3, 5)->kind, FaultKind::kExecutionError);  // the command's own fault wins
    EXPECT_EQ(FaultPlan::FromJson(json::parse(R"({"18": {"1": "transmissionError"}})")).Find(18, 1, 1)->code, 3006);
}

TEST(FaultPlan, RefusesMistakes)
{
    EXPECT_EQ(PlanError(R"({"501": {"1": "lost"}})"), "501.1: unknown fault kind \"lost\"");
    EXPECT_EQ(PlanError(R"({"501": {"0": "lostAnswer"}})"),
              "501: occurrence: \"0\" must be a number from 1 to 1000000");
    EXPECT_EQ(PlanError(R"({"x": {}})"), "command: \"x\" must be a number from 1 to 65535");
    EXPECT_EQ(PlanError(R"({"501": {"1": {"kind": "executionError"}}})"),
              "501.1: an execution error needs its \"code\"");
    EXPECT_EQ(PlanError(R"({"14": {"1": "lateAnswer"}})"), "14.1: a late answer needs its \"delayMs\"");
    EXPECT_EQ(PlanError(R"({"501": {"1": {"kind": "lostAnswer", "cod": 1}}})"), "501.1.cod: unknown key");
}
