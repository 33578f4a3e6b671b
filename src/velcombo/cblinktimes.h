// The waits of the register link that the session sets up. The serial port's
// time-out slots are the modem port's (TModemTimes::SerialSlotsMs): every
// serial link is a modem port.
#pragma once

#include <cstdint>

struct TComboLinkTimes {
    // Each byte of a register's answer over TCP/IP is awaited this long.
    static constexpr uint32_t RegisterTcpMs = 30000;
    // Connect, write and reply of a card-server lock command.
    static constexpr uint32_t CardServerMs = 2000;
    // After the control lines select a multiplexer channel 1 to 4.
    static constexpr uint32_t MuxSelectPauseMs = 300;
    // Between the steps of selecting a channel 5 to 12.
    static constexpr uint32_t MuxSwitchPauseMs = 500;
};
