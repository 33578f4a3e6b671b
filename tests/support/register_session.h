// An end-to-end setting: the register simulator with its journal, and the real library loaded by the harness's host.
#pragma once

#include <nlohmann/json.hpp>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "hostlib.h"
#include "journal.h"
#include "peer_process.h"
#include "testutil.h"

namespace testutil {
// The simulator's arguments for a journal, a scenario and a fault plan; the
// scenario and faults are JSON texts written into dir, left out when empty.
std::vector<std::string> RegsimArgs(const TempDir& dir, const std::string& journal, const std::string& scenario,
                                    const std::string& faults);
// The driver's TCP/IP link parameters pointed at a port of this machine.
void UseRegisterOverTcp(VelHost& host, int port);
// Sets each of the host's parameters.
void SetParams(VelHost& host, std::initializer_list<std::pair<const char*, std::string>> params);
// The blocks of a host's import file (or archive of them) whose head starts
// with `head` ("[Paragon nr ", "[INNA_OPER]"), each up to the next block or
// archive separator, without trailing line ends.
std::vector<std::string> Blocks(const std::string& text, const std::string& head);
}  // namespace testutil

enum class RegisterLink { Tcp, Pty };

// The simulator runs with a scenario, a fault plan and a journal; the host
// is configured to reach it over TCP/IP or, as its serial port, a
// pseudo-terminal. A request the simulator found malformed aborts the process
// when the session ends.
class RegisterSession {
public:
    // scenario and faults are JSON texts (UTF-8); empty for the simulator's defaults.
    explicit RegisterSession(const std::string& scenario = "", const std::string& faults = "",
                             RegisterLink link = RegisterLink::Tcp);
    ~RegisterSession();

    // Runs one operation through the export, registering the library first
    // if needed; returns its result. The host's lines are in host.lines.
    int Run(int operation, int parameter = 0);

    // Every request the simulator took, in order, and the command codes alone.
    std::vector<nlohmann::json> Journal() const;
    std::vector<int> Commands() const;
    // The requests with codes from..to, each as "code fields" (the fields as JSON).
    std::vector<std::string> Sent(int from, int to) const;
    // Requests the simulator found malformed.
    std::vector<std::string> Violations() const;

    // The link itself. The simulator notes a closed link a moment after the
    // driver closed it, so that is awaited.
    bool LinkEverOpened() const;
    // Waits for the journal's last line to be a closed link.
    bool LinkClosedAtTheEnd() const;
    // The link events ("connect", "disconnect"), in order; the second once
    // there are at least `count` of them.
    std::vector<std::string> LinkEvents() const;
    std::vector<std::string> AwaitLinkEvents(size_t count) const;

    // A file of the exchange folder, whole ("" when missing).
    std::string File(const std::string& name) const { return testutil::ReadFile(tmp / name); }

    testutil::TempDir tmp;
    VelHost host;
    peerproc::PeerProcess sim;
    std::string journal;

private:
    bool FRegistered = false;
};
