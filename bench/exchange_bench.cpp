// Commands through the driver's command exchange, one at a time as the runs
// send them, in blocks timed in rounds (paired.h), the CPU time that of the
// thread sending them (the echo peer is a thread of this process).
//
// On loopback TCP, beside the bare client (bare_client.h) sending the same
// commands: against a peer that only bounces every byte back, the link's own
// limit (an echoed command frame carries the command's token and code, so it
// is a valid answer), both clients connected to it; and against the register
// simulator (its own process), a simulator each. Target: the bare client's
// time over the driver's, the share of the link's pace the exchange keeps,
// at least 0.95.
//
// Over a pseudo-terminal at 115200 baud, against the simulator: the driver's
// CPU time per command beside the time the command's bytes take on a real
// line at that speed. Target: at most 1 % of it.
#include <cstdint>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "ModemCtl.h"
#include "bare_client.h"
#include "cbcommands.h"
#include "cbexchange.h"
#include "cblinks.h"
#include "driver_client.h"
#include "echo_peer.h"
#include "paired.h"
#include "peer_process.h"
#include "serialport.h"

namespace {

using paired::Goal;
using paired::Spent;

int BlockSize()
{
    return paired::Sized(2000, 50);
}

// A client's last token before its first block: the tokens come back to 0
// after 9999 within that block at either size.
uint32_t TokenBeforeTheWrap(int block)
{
    return CB_TOKEN_WRAP - static_cast<uint32_t>(block) / 2;
}

// The driver's block of commands beside the bare client's, in rounds.
paired::Sides DriverBesideBare(benchmark::State& state, DriverClient& driver, BareClient& bare, int cmd)
{
    const int block = BlockSize();
    paired::Sides sides({"driver", "bare"});
    auto driverBlock = [&] {
        return paired::OwnThread([&] {
            for (int i = 0; i < block; ++i) {
                driver.Command(cmd);
                if (driver.exchange.last_err_wyk != 0) return paired::Fail(state, "the driver's command was refused");
            }
        });
    };
    auto bareBlock = [&] {
        return paired::OwnThread([&] {
            for (int i = 0; i < block; ++i)
                if (bare.Command(static_cast<uint16_t>(cmd)) != cmd)
                    return paired::Fail(state, "the bare client's command was not answered");
        });
    };
    try {
        for (auto _ : state) {
            sides.Run({driverBlock, bareBlock});
            if (state.error_occurred()) break;
        }
    } catch (const Exception& e) {
        paired::Fail(state, e.Message());
    } catch (const std::exception& e) {
        paired::Fail(state, e.what());
    }
    sides.Report(state);
    paired::Sides::Report(state, "ratio", sides.Over(1, 0));
    state.counters["driver_per_s"] = block / sides.Wall(0);
    state.counters["bare_per_s"] = block / sides.Wall(1);
    return sides;
}

void ExchangeWithEcho(benchmark::State& state)
{
    testutil::EchoPeer peer;
    const auto port = static_cast<uint16_t>(peer.Port());
    DriverClient driver(port, TokenBeforeTheWrap(BlockSize()));
    BareClient bare(port, TokenBeforeTheWrap(BlockSize()));
    const paired::Sides sides = DriverBesideBare(state, driver, bare, CMD_TIMEGET);
    if (state.error_occurred()) return;
    paired::Judge("ExchangeWithEcho: the bare client's time over the driver's", sides.Over(1, 0), Goal::AtLeast, 0.95);
}

void ExchangeWithSimulator(benchmark::State& state, int cmd, const char* name)
{
    peerproc::PeerProcess driverSim(REGSIM_EXE, {"--tcp", "0"}), bareSim(REGSIM_EXE, {"--tcp", "0"});
    DriverClient driver(driverSim.Port(), TokenBeforeTheWrap(BlockSize()));
    BareClient bare(bareSim.Port(), TokenBeforeTheWrap(BlockSize()));
    const paired::Sides sides = DriverBesideBare(state, driver, bare, cmd);
    if (state.error_occurred()) return;
    paired::Judge(std::string("ExchangeWithSimulator, ") + name + ": the bare client's time over the driver's",
                  sides.Over(1, 0), Goal::AtLeast, 0.95);
}

void SerialCpuOfWire(benchmark::State& state, int cmd, const char* name)
{
    peerproc::PeerProcess sim(REGSIM_EXE, {"--pty"});
    TMSerialPort port;
    port.SetPortName(sim.PtyPath());
    port.SetBaudRate(br115200);
    for (int slot = 0; slot < TMSerialPort::kTimeoutSlots; ++slot) port.SetTo(slot, TModemTimes::SerialSlotsMs[slot]);
    port.SetActive(true);
    TComboSerialLink link(port);
    const int block = paired::Sized(500, 20);
    TComboExchangeState exchange;
    exchange.token = TokenBeforeTheWrap(block);
    const TComboExchangeHooks hooks;
    // Per command, in seconds.
    std::vector<double> cpu, wire;
    try {
        for (auto _ : state) {
            double bytes = 0;
            const Spent spent = paired::OwnThread([&] {
                for (int i = 0; i < block; ++i) {
                    TComboExchange(exchange, &link, hooks).SendAndReceive(cmd);
                    if (exchange.last_err_wyk != 0) return paired::Fail(state, "the command was refused");
                    bytes += static_cast<double>(exchange.packet_out.size() + exchange.packet_in.size());
                }
            });
            if (state.error_occurred()) return;
            cpu.push_back(spent.cpu / block);
            // Ten bits a byte on the line: start, eight data, stop.
            wire.push_back(bytes * 10.0 / 115200.0 / block);
        }
    } catch (const Exception& e) {
        return paired::Fail(state, e.Message());
    }
    port.SetActive(false);
    const double share = 100 * paired::Median(cpu) / paired::Median(wire);
    state.counters["cpu_us_per_cmd"] = paired::Median(cpu) * 1e6;
    state.counters["wire_us_per_cmd"] = paired::Median(wire) * 1e6;
    state.counters["cpu_of_wire_pct"] = share;
    paired::Judge(std::string("SerialCpuOfWire, ") + name + ": the driver's CPU time in % of the wire's time", share,
                  Goal::AtMost, 1);
}

}  // namespace

int main(int argc, char** argv)
{
    return paired::Main(argc, argv, [] {
        paired::Register("ExchangeWithEcho", ExchangeWithEcho);
        // TIMEGET: three fields back; CASHREGSTATUSGET: twenty-two.
        for (const auto& [cmd, name] :
             {std::pair{CMD_TIMEGET, "TIMEGET"}, {CMD_CASHREGSTATUSGET, "CASHREGSTATUSGET"}}) {
            paired::Register(std::string("ExchangeWithSimulator/") + name,
                             [cmd, name](benchmark::State& state) { ExchangeWithSimulator(state, cmd, name); });
            paired::Register(std::string("SerialCpuOfWire/") + name,
                             [cmd, name](benchmark::State& state) { SerialCpuOfWire(state, cmd, name); });
        }
    });
}
