// The goods base: what each goods command does to it, its refusals, and the
// two lists read to their end code.
#include <gtest/gtest.h>

#include "cash_register.h"
#include "test_support.h"

using namespace regsim;
using nlohmann::json;

namespace {

struct Step {
    uint16_t code;
    std::vector<Field> request;
    int error;  // execution code, 0: answered with the command's code
    std::vector<Field> answer;
};

std::vector<Field> PluIns(uint16_t plu, const char* name, const char* barcode, int64_t price, uint8_t vat,
                          uint8_t package = 0)
{
    return {Field::V(plu), Field::S(name), Field::S(barcode), Field::N(price), Field::N(0), Field::B(package),
            Field::B(1),   Field::B(0),    Field::B(2),       Field::B(vat),   Field::B(3), Field::B(1),
            Field::B(1),   Field::B(0),    Field::B(1),       Field::B(0)};
}

}  // namespace

TEST(GoodsBase, CommandsChangeTheBaseAndRefuseAsTheRegisterDoes)
{
    regsim::test::TempDir dir;
    Journal journal(dir.File("journal.jsonl"));
    Scenario s = ScenarioFromJson(json::parse(R"({
        "packages": [{"number": 4, "name": "Butelka", "barcode": "4", "price": 50, "sales": 2},
                     {"number": 5, "sales": 1}],
        "goods": [{"plu": 7, "name": "Mleko", "barcode": "590", "vat": 1, "price": 299, "package": 4, "sales": 1},
                  {"plu": 9, "name": "Kosz", "barcode": "77", "set": 2, "vat": 0, "discount": 3}]})"));
    CashRegister reg(std::move(s), FaultPlan(), journal);
    using F = Field;
    const std::vector<F> goods7 = {F::V(7), F::S("Mleko"), F::S("590"), F::N(0), F::B(0), F::B(1), F::N(299), F::B(4),
                                   F::B(0), F::B(0), F::B(1), F::B(0), F::B(1), F::B(0), F::V(1)};
    const std::vector<F> set9 = {F::V(9), F::S("Kosz"), F::S("77"), F::N(0), F::B(2), F::B(0), F::B(3), F::B(0), F::V(1)};
    const std::vector<F> goods3 = {F::V(3), F::S("Ser"), F::S("12"), F::N(0), F::B(0), F::B(2), F::N(-5), F::B(0),
                                   F::B(1), F::B(3), F::B(1), F::B(0), F::B(2), F::B(1), F::V(1)};
    const std::vector<Step> steps = {
        {2100, PluIns(0, "Zero", "1", 1, 0), 909, {}},
        {2100, PluIns(3, "Ser", "590", 1, 0), 920, {}},     // barcode of PLU 7
        {2100, PluIns(7, "Mleko", "590", 299, 2), 944, {}}, // sold: its rate stays
        {2100, PluIns(3, "Ser", "12", -5, 2), 0, {}},
        {2100, PluIns(3, "Ser", "12", -5, 2), 0, {}},       // an upsert
        {2181, {F::V(5), F::N(1)}, 903, {}},
        {2140, {F::V(7), F::B(0), F::B(0)}, 944, {}},
        {2140, {F::V(5), F::B(0), F::B(0)}, 903, {}},
        {2740, {F::V(4), F::B(0), F::B(0)}, 938, {}},        // PLU 7 links it
        {2740, {F::V(5), F::B(0), F::B(0)}, 944, {}},
        {2700, {F::V(256), F::S("X"), F::S("256"), F::N(1), F::N(0), F::B(1), F::B(1), F::B(0)}, 909, {}},
        {2000, {F::B(0), F::B(0)}, 0, {}},
        {2110, {F::V(0), F::B(1)}, 0, goods3},
        {2110, {F::V(0), F::B(1)}, 0, goods7},
        {2110, {F::V(0), F::B(1)}, 0, set9},
        {2110, {F::V(0), F::B(1)}, 975, {}},
        {2110, {F::V(9), F::B(0)}, 0, set9},
        {2150, {F::B(0)}, 944, {}},
        {2170, {F::B(1), F::B(1)}, 0, {}},
        {2150, {F::B(0)}, 0, {}},
        {2000, {F::B(0), F::B(0)}, 0, {}},
        {2110, {F::V(0), F::B(1)}, 975, {}},
        {2750, {F::B(0)}, 944, {}},
        {2770, {F::B(1)}, 0, {}},
        {2740, {F::V(5), F::B(0), F::B(0)}, 0, {}},
        {2003, {F::B(0), F::B(0)}, 0, {}},
        {2710, {F::V(0)}, 0, {F::V(4), F::S("Butelka"), F::S("4"), F::N(50), F::N(0), F::B(1)}},
        {2710, {F::V(0)}, 975, {}},
        {2750, {F::B(0)}, 0, {}},
        {2710, {F::V(4)}, 903, {}},
    };
    uint32_t token = 1;
    for (const Step& step : steps) {
        const Response r = reg.OnFrame(BuildFrame(regsim::test::Request(step.code, token++, step.request)), 0);
        ASSERT_EQ(r.outputs.size(), 1u);
        WireDecoder d;
        ParsedFrame a;
        for (char c : r.outputs[0].bytes)
            if (auto ev = d.Feed(static_cast<uint8_t>(c)); ev.kind == WireDecoder::Event::kFrame) a = ParseFrame(ev.frame);
        const std::string where = "step " + std::to_string(token - 1) + " (" + std::to_string(step.code) + ")";
        if (step.error) {
            EXPECT_EQ(a.frame.code, kErrorAnswer) << where;
            EXPECT_EQ(a.frame.fields, (std::vector<F>{F::V(step.code), F::V(0), F::V(static_cast<uint16_t>(step.error))}))
                << where;
        } else {
            EXPECT_EQ(a.frame.code, step.code) << where;
            EXPECT_EQ(a.frame.fields, step.answer) << where;
        }
    }
    EXPECT_TRUE(JournalViolations(dir.File("journal.jsonl")).empty());
}

TEST(GoodsBase, ScenarioEntriesAreCheckedByName)
{
    const std::pair<const char*, const char*> bad[] = {
        {R"({"goods": [{"plu": 0}]})", "\"goods[0].plu\": 0 is outside 1..65535"},
        {R"({"goods": [{"plu": 1, "barcode": "5"}, {"plu": 2, "barcode": "5"}]})", "\"goods[1].barcode\": is given twice"},
        {R"({"packages": [{"number": 3}, {"number": 3}]})", "\"packages[1].number\": is given twice"},
        {R"({"packages": [{"number": 1, "colour": 1}]})", "\"packages[0].colour\": unknown key"},
    };
    for (const auto& [doc, message] : bad) {
        try {
            ScenarioFromJson(json::parse(doc));
            ADD_FAILURE() << doc;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}
