// regsim: a simulated cash register of the Combo/NEO family for tests.
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cash_register.h"
#include "fault_plan.h"
#include "journal.h"
#include "scenario.h"
#include "server.h"

namespace {

const char kHelp[] = R"(Usage: regsim (--tcp PORT | --pty) [options]

A simulated cash register of the Combo/NEO family: it answers the register's
binary frame protocol from a scenario, journals every request and checks it
against the command's field layout, and injects faults on request.

Transport (one of):
  --tcp PORT        listen on 127.0.0.1:PORT, one connection at a time,
                    reconnections accepted; PORT 0 picks a free port.
                    Prints "PORT <n>" on stdout once listening.
  --pty             open a pseudo-terminal in raw mode for the driver to use as
                    its serial port. Prints "PTY <path>" once open (again with
                    a new path after a dropConnection fault hung it up).

Options:
  --pty-link PATH   with --pty: keep a symbolic link PATH to the current slave
  --mux N           the register sits behind the 8-channel multiplexer on
                    channel N (1-8, the byte after 0xFE; the driver's channel
                    setting minus 4): frames count only after 0xFE N
  --scenario FILE   register state (JSON); built-in defaults without it
  --faults FILE     fault plan (JSON), keyed by command code and occurrence
  --journal FILE    append one JSON line per request and link event
  --once            end when the first client disconnects
  -h, --help        this text

Runs until SIGTERM/SIGINT (or --once). Violations of the protocol are written
to the journal and to stderr. Formats: tools/regsim/README.md.
Exit codes: 0 done, 1 run-time failure, 2 bad arguments or input files.
)";

regsim::Server* g_server = nullptr;

void OnSignal(int)
{
    if (g_server) g_server->Stop();
}

int Usage(const std::string& message)
{
    std::fprintf(stderr, "regsim: %s\nTry 'regsim --help'.\n", message.c_str());
    return 2;
}

bool ParseInt(const char* text, int low, int high, int& out)
{
    const char* end = text + std::strlen(text);
    auto [p, ec] = std::from_chars(text, end, out);
    return ec == std::errc() && p == end && out >= low && out <= high;
}

}  // namespace

int main(int argc, char** argv)
{
    regsim::ServerOptions options;
    bool haveTransport = false;
    std::string scenarioPath, faultsPath, journalPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "-h" || arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg == "--tcp") {
            const char* v = value();
            int port = 0;
            if (!v || !ParseInt(v, 0, 65535, port)) return Usage("--tcp needs a port number from 0 to 65535");
            if (haveTransport) return Usage("choose one transport: --tcp or --pty");
            options.transport = regsim::ServerOptions::Transport::kTcp;
            options.port = static_cast<uint16_t>(port);
            haveTransport = true;
        } else if (arg == "--pty") {
            if (haveTransport) return Usage("choose one transport: --tcp or --pty");
            options.transport = regsim::ServerOptions::Transport::kPty;
            haveTransport = true;
        } else if (arg == "--pty-link") {
            const char* v = value();
            if (!v || !*v) return Usage("--pty-link needs a path");
            options.ptyLink = v;
        } else if (arg == "--mux") {
            const char* v = value();
            if (!v || !ParseInt(v, 1, 8, options.muxChannel)) return Usage("--mux needs a channel from 1 to 8");
        } else if (arg == "--scenario" || arg == "--faults" || arg == "--journal") {
            const char* v = value();
            if (!v || !*v) return Usage(arg + " needs a file name");
            (arg == "--scenario" ? scenarioPath : arg == "--faults" ? faultsPath : journalPath) = v;
        } else if (arg == "--once") {
            options.once = true;
        } else {
            return Usage("unknown argument '" + arg + "'");
        }
    }
    if (!haveTransport) return Usage("a transport is needed: --tcp PORT or --pty");
    if (!options.ptyLink.empty() && options.transport != regsim::ServerOptions::Transport::kPty)
        return Usage("--pty-link goes with --pty");

    std::unique_ptr<regsim::Journal> journal;
    std::unique_ptr<regsim::CashRegister> cashRegister;
    try {
        journal =
            journalPath.empty() ? std::make_unique<regsim::Journal>() : std::make_unique<regsim::Journal>(journalPath);
        regsim::Scenario scenario = scenarioPath.empty() ? regsim::Scenario{} : regsim::LoadScenario(scenarioPath);
        regsim::FaultPlan faults = faultsPath.empty() ? regsim::FaultPlan{} : regsim::FaultPlan::Load(faultsPath);
        cashRegister = std::make_unique<regsim::CashRegister>(std::move(scenario), std::move(faults), *journal);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "regsim: %s\n", e.what());
        return 2;
    }

    try {
        regsim::Server server(options, *cashRegister, *journal);
        server.SetAnnounce([](const std::string& line) {
            std::fprintf(stdout, "%s\n", line.c_str());
            std::fflush(stdout);
        });
        g_server = &server;
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
        signal(SIGPIPE, SIG_IGN);
        server.Open();
        server.Run();
        g_server = nullptr;
    } catch (const std::exception& e) {
        g_server = nullptr;
        std::fprintf(stderr, "regsim: %s\n", e.what());
        return 1;
    }
    return 0;
}
