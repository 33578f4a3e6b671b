// Operation -1 against the register simulator: what the register is asked,
// in what order, and what the host is shown.
#include <gtest/gtest.h>

#include "register_session.h"

TEST(ConnectionTest, FiscalNeoIsReportedAndItsNumberChecked)
{
    RegisterSession s(testutil::ReadFile(REGSIM_SCENARIOS "/demo.json"));
    EXPECT_EQ(s.Run(-1), 0);
    const std::vector<int> expected = {501, 18, 20, 15, 14, 501, 502, 2910, 2910, 2910, 2910, 2910, 321};
    EXPECT_EQ(s.Commands(), expected);
    EXPECT_TRUE(s.Violations().empty());
    const auto texts = s.Texts();
    for (const char* line : {"- A: 23.00%", "- E: zw", "- F: -", "- kasa o numerze: 1",
                             "- typ protoko\xB3u komunikacyjnego: NEO 1.01"})
        EXPECT_NE(std::find(texts.begin(), texts.end(), line), texts.end()) << line;
    for (const HostLine& line : s.host.lines) EXPECT_NE(line.kind, 2) << line;
}
