// The goods base: the refusals and reads the driver's own tests do not reach.
#include <gtest/gtest.h>

#include "cash_register.h"
#include "test_support.h"

using namespace regsim;
using nlohmann::json;
using F = Field;

TEST(GoodsBase, CommandsChangeTheBaseAndRefuseAsTheRegisterDoes)
{
    regsim::test::TempDir dir;
    Journal journal(dir.File("journal.jsonl"));
    CashRegister reg(ScenarioFromJson(json::parse(R"({
        "packages": [{"number": 4, "name": "Butelka", "barcode": "4", "price": 50}, {"number": 5, "sales": 1}],
        "goods": [{"plu": 7, "name": "Mleko", "barcode": "590", "vat": 1, "package": 4, "sales": 1},
                  {"plu": 9, "name": "Kosz", "barcode": "77", "set": 2, "discount": 3}]})")),
                     FaultPlan(), journal);
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
        const Response r = reg.OnFrame(BuildFrame(regsim::test::Request(step.code, token, step.request)), 0);
        ASSERT_EQ(r.outputs.size(), 1u);
        const Frame a = regsim::test::Unwire(r.outputs[0].bytes).frame;
        const std::vector<F> expected =
            step.error ? std::vector<F>{F::V(step.code), F::V(0), F::V(static_cast<uint16_t>(step.error))} : step.answer;
        EXPECT_EQ(a.code, step.error ? kErrorAnswer : step.code) << "step " << token;
        EXPECT_EQ(a.fields, expected) << "step " << token++;
    }
    EXPECT_TRUE(JournalViolations(dir.File("journal.jsonl")).empty());
}
