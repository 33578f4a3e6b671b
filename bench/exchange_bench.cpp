// Commands per second through the command exchange on loopback TCP, one
// command at a time as the runs send them: against the register simulator
// (its own process), and against a peer that only bounces every byte back,
// which is the link's own limit (an echoed command frame carries the
// command's token and code, so it is a valid answer). Times are wall-clock:
// the peer's work is part of every command.
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <thread>

#include "cbcommands.h"
#include "cbexchange.h"
#include "cblinks.h"
#include "cblinktimes.h"
#include "clientsocket.h"
#include "regsim_process.h"

namespace {

// Accepts one connection on 127.0.0.1 and writes back whatever it reads.
class EchoPeer {
public:
    EchoPeer()
    {
        FListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (bind(FListen, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(FListen, 1) != 0 ||
            getsockname(FListen, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            throw std::runtime_error("echo peer: cannot listen");
        FPort = ntohs(addr.sin_port);
        FThread = std::thread([this] { Serve(); });
    }
    ~EchoPeer()
    {
        shutdown(FListen, SHUT_RDWR);
        FThread.join();
        close(FListen);
    }
    uint16_t Port() const { return FPort; }

private:
    void Serve()
    {
        const int fd = accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        char buffer[4096];
        ssize_t n;
        while ((n = read(fd, buffer, sizeof buffer)) > 0)
            for (ssize_t done = 0, w; done < n; done += w)
                if ((w = send(fd, buffer + done, static_cast<size_t>(n - done), MSG_NOSIGNAL)) <= 0) n = 0;
        close(fd);
    }

    int FListen = -1;
    uint16_t FPort = 0;
    std::thread FThread;
};

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
    regsim::RegsimProcess sim;
    sim.Start(REGSIM_EXE, {"--tcp", "0"});
    Commands(state, sim.Port(), static_cast<int>(state.range(0)));
    sim.Stop();
}
// TIMEGET: three fields back; CASHREGSTATUSGET: twenty-two.
BENCHMARK(BM_ExchangeWithSimulator)->Arg(CMD_TIMEGET)->Arg(CMD_CASHREGSTATUSGET)->UseRealTime();

void BM_ExchangeWithEchoPeer(benchmark::State& state)
{
    EchoPeer peer;
    Commands(state, peer.Port(), static_cast<int>(state.range(0)));
}
BENCHMARK(BM_ExchangeWithEchoPeer)->Arg(CMD_TIMEGET)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
