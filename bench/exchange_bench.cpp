// Commands per second through the command exchange on loopback TCP, one
// command at a time as the runs send them: against the register simulator
// (its own process), and against a peer that only bounces every byte back,
// which is the link's own limit (an echoed command frame carries the
// command's token and code, so it is a valid answer). Times are wall-clock:
// the peer's work is part of every command.
#include <benchmark/benchmark.h>

#include "cbcommands.h"
#include "cbexchange.h"
#include "cblinks.h"
#include "cblinktimes.h"
#include "clientsocket.h"
#include "echo_peer.h"
#include "peer_process.h"

namespace {

// Sends the command over and over on one connection, as a run does.
void Commands(benchmark::State& state, uint16_t port, int cmd)
{
    TClientSocket socket;
    socket.SetHost("127.0.0.1");
    socket.SetPort(port);
    socket.SetActive(true);
    TWinSocketStream stream(socket.Socket(), TComboLinkTimes::RegisterTcpMs);
    TComboSocketLink link(stream);
    TComboExchangeState exchange;
    const TComboExchangeHooks hooks;
    try {
        for (auto _ : state) TComboExchange(exchange, &link, hooks).SendAndReceive(cmd);
    } catch (const Exception& e) {
        state.SkipWithError(e.Message().c_str());
    }
    state.SetItemsProcessed(state.iterations());
    socket.SetActive(false);
}

void BM_ExchangeWithSimulator(benchmark::State& state)
{
    peerproc::PeerProcess sim;
    sim.Start(REGSIM_EXE, {"--tcp", "0"});
    Commands(state, sim.Port(), static_cast<int>(state.range(0)));
    sim.Stop();
}
// TIMEGET: three fields back; CASHREGSTATUSGET: twenty-two.
BENCHMARK(BM_ExchangeWithSimulator)->Arg(CMD_TIMEGET)->Arg(CMD_CASHREGSTATUSGET)->UseRealTime();

void BM_ExchangeWithEchoPeer(benchmark::State& state)
{
    testutil::EchoPeer peer;
    Commands(state, static_cast<uint16_t>(peer.Port()), static_cast<int>(state.range(0)));
}
BENCHMARK(BM_ExchangeWithEchoPeer)->Arg(CMD_TIMEGET)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
