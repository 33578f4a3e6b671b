#include "import_host.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "hostlib.h"
#include "register_session.h"

extern char** environ;

namespace testutil {

pid_t StartHost(const std::string& ini, const std::string& out, rlim_t fileSizeLimit,
                const std::vector<std::string>& environment)
{
    const std::vector<std::string> argv = {VELHOST_EXE, "--lib", VELCOMBO_LIB, "--config", ini, "op", "-3"};
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // Made before the fork: the child only calls what is safe between fork and exec.
    std::vector<char*> env;
    for (char** e = environ; *e; ++e) env.push_back(*e);
    for (const std::string& e : environment) env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        // A host left behind by a killed test would hold the simulator's link.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        dup2(fd, 2);
        if (fileSizeLimit != RLIM_INFINITY) {
            // A write past the limit fails as on a full disk, instead of
            // ending the process.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit = {fileSizeLimit, fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execve(args[0], args.data(), env.data());
        _exit(127);
    }
    return pid;
}

int WaitHost(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

RegisterAndHost::RegisterAndHost(const nlohmann::json& records, const std::string& faults,
                                 const std::string& exchange, const std::string& moreIni)
    : folder(exchange.empty() ? tmp / "exchange" : exchange), edi(tmp / "edi"), store(tmp / "store")
{
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(store);
    journal = tmp / "journal.jsonl";
    const nlohmann::json scenario = {{"model", 24}, {"registerNumber", "1"}, {"operator", 0},
                                     {"clock", "2026-03-09 18:30:15"}, {"receiptRecords", records}};
    sim.Start(REGSIM_EXE, Concat(RegsimArgs(tmp, journal, scenario.dump(), faults), {"--tcp", "0"}));
    WriteFile(tmp / "host.ini", "[device]\nnumber=1\nfolder=" + folder + "/\n[params]\nComboDedbug=0\n"
                                "ComboPort=TCP/IP\n"
                                "ComboIpAddress=127.0.0.1\nComboIpPort=" + std::to_string(sim.Port()) +
                                "\nComboImpMode=1\nComboImpReceipts=1\nDataImportu=20260309000000000\n"
                                "ComboEdiFolder=" + edi + "\n[host]\nstore=" + store + "\n" + moreIni);
}

int RegisterAndHost::Run(bool killOnHold, rlim_t fileSizeLimit, const std::vector<std::string>& environment)
{
    const pid_t host = StartHost(tmp / "host.ini", tmp / "host.out", fileSizeLimit, environment);
    if (killOnHold) {
        held = WaitUntil([&] { return ReadFile(journal).find("\"event\":\"hold\"") != std::string::npos; },
                         kEventWaitMs);
        kill(host, SIGKILL);
    }
    return WaitHost(host);
}

std::ostream& operator<<(std::ostream& out, const Holdings& h)
{
    for (const std::string& b : h.blocks) out << "\n  " << b;
    for (const auto& [k, v] : h.sums) out << "\n  " << k << " = " << v;
    for (const std::string& o : h.orders) out << "\n  " << o;
    return out;
}

namespace {
std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, ';');) fields.push_back(field);
    return fields;
}
}  // namespace

Holdings HoldingsOf(const std::vector<std::string>& imports, const std::string& ediFolder)
{
    Holdings h;
    for (const std::string& import : imports) {
        for (const std::string& block : Blocks(import, "[Paragon")) h.blocks.insert(block);
        // A pay-in or pay-out is dated when it is imported: its times apart.
        for (std::string block : Blocks(import, "[INNA_OPER]")) {
            if (block.find("OP_WPL;") != std::string::npos || block.find("OP_WYPL;") != std::string::npos)
                block = std::regex_replace(block, std::regex("[0-9]{17}"), "<czas>");
            h.blocks.insert(block);
        }
        std::string section;
        std::istringstream lines(import);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty() && line[0] == '[') section = line;
            const std::vector<std::string> f = Split(line);
            if (section == "[FINANSOWE]" && f.size() == 2) h.sums[f[0]] += std::stoll(f[1]);
            if ((section == "[TOWAROWE]" || section == "[RAPORT_GODZINOWY]") && f.size() >= 4)
                for (size_t i = 2; i < f.size(); ++i)
                    if (!f[i].empty()) h.sums[f[0] + ";" + f[1] + ";" + std::to_string(i)] += std::stoll(f[i]);
        }
    }
    for (const std::vector<std::string>& document : EdiDocuments(ediFolder))
        for (const std::string& line : document) h.orders.insert(line);
    return h;
}

Holdings Holds(const RegisterAndHost& r) { return HoldingsOf(VelHost::StoredImports(r.store), r.edi); }

std::vector<std::vector<std::string>> EdiDocuments(const std::string& ediFolder)
{
    std::vector<std::vector<std::string>> documents;
    if (!Exists(ediFolder)) return documents;
    for (const auto& doc : std::filesystem::directory_iterator(ediFolder)) {
        std::vector<std::string>& lines = documents.emplace_back();
        for (const std::string& line : ReadLines(doc.path()))
            if (line.rfind("Linia:", 0) == 0) lines.push_back(line);
    }
    return documents;
}

}  // namespace testutil
