#include "register_session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace testutil {

std::vector<std::string> RegsimArgs(const TempDir& dir, const std::string& journal, const std::string& scenario,
                                    const std::string& faults)
{
    std::vector<std::string> args = {"--journal", journal};
    if (!scenario.empty()) {
        WriteFile(dir.File("scenario.json"), scenario);
        args.insert(args.end(), {"--scenario", dir.File("scenario.json")});
    }
    if (!faults.empty()) {
        WriteFile(dir.File("faults.json"), faults);
        args.insert(args.end(), {"--faults", dir.File("faults.json")});
    }
    return args;
}

void UseRegisterOverTcp(VelHost& host, int port)
{
    host.SetParam("ComboPort", "TCP/IP");
    host.SetParam("ComboIpAddress", "127.0.0.1");
    host.SetParam("ComboIpPort", std::to_string(port));
}

void SetParams(VelHost& host, std::initializer_list<std::pair<const char*, std::string>> params)
{
    for (const auto& [name, value] : params) host.SetParam(name, value);
}

std::vector<std::string> Blocks(const std::string& text, const std::string& head)
{
    std::vector<std::string> blocks;
    for (size_t at = text.find(head); at != std::string::npos; at = text.find(head, at + 1)) {
        if (at > 0 && text[at - 1] != '\n') continue;
        std::string block = text.substr(at, std::min(text.find("\n[", at), text.find("\n-", at)) - at);
        while (!block.empty() && (block.back() == '\r' || block.back() == '\n')) block.pop_back();
        blocks.push_back(block);
    }
    return blocks;
}

}  // namespace testutil

RegisterSession::RegisterSession(const std::string& scenario, const std::string& faults, RegisterLink link)
{
    journal = tmp.File("journal.jsonl");
    std::vector<std::string> args = testutil::RegsimArgs(tmp, journal, scenario, faults);
    if (link == RegisterLink::Tcp)
        args.insert(args.end(), {"--tcp", "0"});
    else
        args.push_back("--pty");
    sim.Start(REGSIM_EXE, args);
    std::string error;
    if (!host.Load(VELCOMBO_LIB, error)) throw std::runtime_error(error);
    host.device.folder = tmp.Folder();
    host.device.number = 1;
    if (link == RegisterLink::Pty) {
        host.SetParam("ComboPort", sim.PtyPath());
        return;
    }
    testutil::UseRegisterOverTcp(host, sim.Port());
}

// Whatever a run does, the driver must never send a malformed request: one
// ends the process (the tests' and the benchmarks' alike), naming it.
RegisterSession::~RegisterSession()
{
    sim.Stop();
    const std::vector<std::string> violations = Violations();
    for (const std::string& violation : violations) std::fprintf(stderr, "malformed request: %s\n", violation.c_str());
    if (!violations.empty()) std::abort();
}

int RegisterSession::Run(int operation, int parameter)
{
    if (!FRegistered) {
        if (!host.Register()) throw std::runtime_error("registration failed");
        FRegistered = true;
    }
    char text[301] = {};
    void* session = nullptr;
    return host.Lib().SerKasOperacja(host.Handle(), host.Call(), &session, text, operation, parameter);
}

std::vector<nlohmann::json> RegisterSession::Journal() const
{
    std::vector<nlohmann::json> requests;
    for (auto& line : regsim::ReadJournal(journal))
        if (line.contains("cmd")) requests.push_back(line);
    return requests;
}

std::vector<int> RegisterSession::Commands() const
{
    std::vector<int> codes;
    for (const auto& line : Journal()) codes.push_back(line["cmd"].get<int>());
    return codes;
}

std::vector<std::string> RegisterSession::Sent(int from, int to) const
{
    std::vector<std::string> sent;
    for (const auto& line : Journal())
        if (const int cmd = line["cmd"].get<int>(); cmd >= from && cmd <= to)
            sent.push_back(std::to_string(cmd) + " " + line["fields"].dump());
    return sent;
}

std::vector<std::string> RegisterSession::Violations() const { return regsim::JournalViolations(journal); }

bool RegisterSession::LinkEverOpened() const { return testutil::Contains(LinkEvents(), "connect"); }

bool RegisterSession::LinkClosedAtTheEnd() const
{
    return testutil::WaitUntil(
        [&] {
            const auto lines = regsim::ReadJournal(journal);
            return !lines.empty() && lines.back().value("event", "") == "disconnect";
        },
        testutil::kEventWaitMs);
}

std::vector<std::string> RegisterSession::LinkEvents() const
{
    std::vector<std::string> events;
    for (const auto& line : regsim::ReadJournal(journal)) {
        const std::string event = line.value("event", "");
        if (event == "connect" || event == "disconnect") events.push_back(event);
    }
    return events;
}

std::vector<std::string> RegisterSession::AwaitLinkEvents(size_t count) const
{
    testutil::WaitUntil([&] { return LinkEvents().size() >= count; }, testutil::kEventWaitMs);
    return LinkEvents();
}
