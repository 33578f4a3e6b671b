// Commands through the command exchange, one at a time as the runs send them.
//
// On loopback TCP: against the register simulator (its own process), and
// against a peer that only bounces every byte back, which is the link's own
// limit (an echoed command frame carries the command's token and code, so it
// is a valid answer). Beside the driver, a bare client sends the same frame
// bytes to the same echo peer and reads the whole echo on a plain blocking
// socket with the driver's receive time-out; the two take turns in pairs of
// blocks of commands (paired.h). `ratio` is the driver's commands per second
// over the bare client's, from the medians of the blocks' wall-clock times
// (the peer's work is part of every command); `cpu_ratio` the same from this
// process's CPU time.
//
// Over a pseudo-terminal at 115200 baud, against the simulator: the driver's
// own CPU time per command beside the time the command's bytes take on a real
// line at that speed (`cpu_of_wire_pct`).
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "ModemCtl.h"
#include "cbcommands.h"
#include "cbexchange.h"
#include "cbframe.h"
#include "cblinks.h"
#include "cblinktimes.h"
#include "clientsocket.h"
#include "driver_client.h"
#include "echo_peer.h"
#include "paired.h"
#include "peer_process.h"
#include "serialport.h"

namespace {

// Sends the command over and over on one connection, as a run does.
void Commands(benchmark::State& state, uint16_t port, int cmd)
{
    DriverClient client(port);
    try {
        for (auto _ : state) client.Command(cmd);
    } catch (const Exception& e) {
        state.SkipWithError(e.Message().c_str());
    }
    state.SetItemsProcessed(state.iterations());
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

// A plain blocking client of the echo peer: the frame out, its echo in whole,
// each read bounded by the driver's own time-out, as any wait on a register
// must be (a bounded wait costs the kernel a timer per read).
class BareClient {
public:
    explicit BareClient(uint16_t port)
    {
        FFd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int one = 1;
        setsockopt(FFd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        const timeval timeout{TComboLinkTimes::RegisterTcpMs / 1000, TComboLinkTimes::RegisterTcpMs % 1000 * 1000};
        setsockopt(FFd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        if (connect(FFd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) throw Exception("bare client: no connection");
    }
    ~BareClient() { close(FFd); }
    void Command(const AnsiString& frame)
    {
        if (send(FFd, frame.data(), frame.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(frame.size()))
            throw Exception("bare client: send");
        char in[4096];
        for (size_t got = 0; got < frame.size();) {
            const ssize_t n = recv(FFd, in, sizeof in, 0);
            if (n <= 0) throw Exception("bare client: recv");
            got += static_cast<size_t>(n);
        }
    }

private:
    int FFd = -1;
};

void BM_ExchangeBesideBareClient(benchmark::State& state)
{
    constexpr int kBlock = 200;
    testutil::EchoPeer peer;
    const auto port = static_cast<uint16_t>(peer.Port());
    DriverClient driver(port);
    BareClient bare(port);
    const AnsiString frame = ComboBuildPacket(1, CMD_TIMEGET, 0, nullptr);
    paired::Pairs pairs;
    auto driverBlock = [&] {
        return paired::Own([&] {
            for (int i = 0; i < kBlock; ++i) driver.Command(CMD_TIMEGET);
        });
    };
    auto bareBlock = [&] {
        return paired::Own([&] {
            for (int i = 0; i < kBlock; ++i) bare.Command(frame);
        });
    };
    try {
        for (auto _ : state) pairs.Run(driverBlock, bareBlock);
    } catch (const Exception& e) {
        state.SkipWithError(e.Message().c_str());
        return;
    }
    state.counters["driver_per_s"] = kBlock / pairs.MedianOf(true, false);
    state.counters["bare_per_s"] = kBlock / pairs.MedianOf(false, false);
    pairs.Report(state, "driver_block", "bare_block", true);
}
BENCHMARK(BM_ExchangeBesideBareClient)->UseRealTime()->MinTime(2.0);

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void BM_SerialExchangeCpuOfWire(benchmark::State& state)
{
    peerproc::PeerProcess sim;
    sim.Start(REGSIM_EXE, {"--pty"});
    TMSerialPort port;
    port.SetPortName(sim.PtyPath());
    port.SetBaudRate(br115200);
    for (int slot = 0; slot < TMSerialPort::kTimeoutSlots; ++slot) port.SetTo(slot, TModemTimes::SerialSlotsMs[slot]);
    port.SetActive(true);
    TComboSerialLink link(port);
    TComboExchangeState exchange;
    const TComboExchangeHooks hooks;
    const int cmd = static_cast<int>(state.range(0));
    double cpu = 0, wireBytes = 0;
    try {
        for (auto _ : state) {
            const double before = ThreadCpuSeconds();
            TComboExchange(exchange, &link, hooks).SendAndReceive(cmd);
            cpu += ThreadCpuSeconds() - before;
            wireBytes += static_cast<double>(exchange.packet_out.size() + exchange.packet_in.size());
        }
    } catch (const Exception& e) {
        state.SkipWithError(e.Message().c_str());
        return;
    }
    // Ten bits a byte on the line: start, eight data, stop.
    const double wire = wireBytes * 10.0 / 115200.0;
    const double n = static_cast<double>(state.iterations());
    state.counters["cpu_us_per_cmd"] = cpu / n * 1e6;
    state.counters["wire_us_per_cmd"] = wire / n * 1e6;
    state.counters["cpu_of_wire_pct"] = 100.0 * cpu / wire;
    port.SetActive(false);
    sim.Stop();
}
BENCHMARK(BM_SerialExchangeCpuOfWire)->Arg(CMD_TIMEGET)->Arg(CMD_CASHREGSTATUSGET)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
