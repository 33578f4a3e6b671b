// A test peer run as a separate process (cardsim, modemsim, regsim): started
// with its arguments, its first output line ("PORT <n>", "PTY <path>") read,
// and stopped when the object goes.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace testutil {

class PeerProcess {
public:
    // Runs argv and waits up to timeoutMs for a first line beginning with
    // keyword and a space; Ok() tells whether it came.
    PeerProcess(const std::vector<std::string>& argv, const std::string& keyword, int timeoutMs = 10000)
    {
        // Made before the fork: a child of a process with threads may only
        // make async-signal-safe calls before exec.
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        int fds[2];
        if (pipe(fds) != 0) return;
        FPid = fork();
        if (FPid == 0) {
            dup2(fds[1], 1);
            close(fds[0]);
            close(fds[1]);
            execv(args[0], args.data());
            _exit(127);
        }
        close(fds[1]);
        FOut = fds[0];
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::string line;
        while (line.find('\n') == std::string::npos) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return;
            pollfd p{FOut, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char c[256];
            const ssize_t n = read(FOut, c, sizeof c);
            if (n <= 0) return;
            line.append(c, static_cast<size_t>(n));
        }
        line.erase(line.find('\n'));
        const std::string prefix = keyword + " ";
        if (line.rfind(prefix, 0) == 0) FValue = line.substr(prefix.size());
    }
    ~PeerProcess()
    {
        if (FPid > 0) {
            kill(FPid, SIGTERM);
            waitpid(FPid, nullptr, 0);
        }
        if (FOut >= 0) close(FOut);
    }
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    bool Ok() const { return !FValue.empty(); }
    // What followed the keyword: the port number or the device path.
    const std::string& Value() const { return FValue; }
    int Port() const { return Ok() ? std::stoi(FValue) : 0; }
    pid_t Pid() const { return FPid; }

private:
    pid_t FPid = -1;
    int FOut = -1;
    std::string FValue;
};

}  // namespace testutil
