// The production waits of the register link, in one place: the tests of the
// link run them on a virtual clock, so a changed value would go unnoticed
// there.
#include <gtest/gtest.h>

#include <vector>

#include "ModemCtl.h"
#include "cblinktimes.h"
#include "clientsocket.h"

TEST(LinkTimes, ProductionValues)
{
    // Serial time-out slots 0 to 4 of every serial link.
    EXPECT_EQ(std::vector<uint32_t>(std::begin(TModemTimes::SerialSlotsMs), std::end(TModemTimes::SerialSlotsMs)),
              (std::vector<uint32_t>{50, 50, 5000, 50, 5000}));
    EXPECT_EQ(TComboLinkTimes::RegisterTcpMs, 30000u);
    EXPECT_EQ(TComboLinkTimes::CardServerMs, 2000u);
    EXPECT_EQ(TComboLinkTimes::MuxSelectPauseMs, 300u);
    EXPECT_EQ(TComboLinkTimes::MuxSwitchPauseMs, 500u);
    EXPECT_EQ(TClientSocket::kDefaultConnectTimeoutMs, 30000u);

    // The modem: pauses in ms, time-outs in hundredths of a second.
    EXPECT_EQ(TModemTimes::BufferSize, 2048);
    EXPECT_EQ(TModemTimes::BeforeCommandMs, 300u);
    EXPECT_EQ(TModemTimes::AnswerMaxBytes, 300);
    EXPECT_EQ(TModemTimes::SettleTries, 50);
    EXPECT_EQ(TModemTimes::SettleWait100, 50u);
    EXPECT_EQ(TModemTimes::BeforeDialMs, 3000u);
    EXPECT_EQ(TModemTimes::InitTimeout100, 2000);
    EXPECT_EQ(TModemTimes::CarrierWait100, 2000u);
    EXPECT_EQ(TModemTimes::AfterConnectMs, 3000u);
    EXPECT_EQ(TModemTimes::EscapeGuardBeforeMs[0], 3000u);
    EXPECT_EQ(TModemTimes::EscapeGuardBeforeMs[1], 1500u);
    EXPECT_EQ(TModemTimes::EscapeGuardAfterMs, 1500u);
    EXPECT_EQ(TModemTimes::HangUpTimeout100, 8000);
    EXPECT_EQ(TModemTimes::FactoryResetTimeout100, 8000);
    EXPECT_EQ(TModemTimes::FactoryResetTries, 2);
    EXPECT_EQ(TModemTimes::SetUpTimeout100, 2000);
    EXPECT_EQ(TModemTimes::StoreTimeout100, 400);
    EXPECT_EQ(TModemTimes::ClosePauseMs, 500u);
}
