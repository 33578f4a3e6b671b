// A test peer (regsim, cardsim, modemsim) run as a child process that announces its port or terminal.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace peerproc {

// Started with its arguments, its "PORT <n>" or "PTY <path>" line read, and
// stopped with SIGTERM when the object goes. It is killed when the thread
// that started it ends, or its process, whatever ends them: start a peer on a
// thread that outlives it.
class PeerProcess {
public:
    PeerProcess() = default;
    // Start(exe, args) at once.
    PeerProcess(const std::string& exe, const std::vector<std::string>& args) { Start(exe, args); }
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    // Starts `exe` with `args` (e.g. {"--tcp", "0", "--journal", path}) and
    // waits up to `timeoutMs` for its "PORT <n>" or "PTY <path>" line.
    // Throws std::runtime_error when it does not come. A peer this object
    // still runs is stopped first.
    void Start(const std::string& exe, const std::vector<std::string>& args, int timeoutMs = 60000);

    // What the peer announced: 0 and "" for what it did not.
    uint16_t Port() const { return port_; }
    const std::string& PtyPath() const { return ptyPath_; }
    pid_t Pid() const { return pid_; }

    // The next line the peer prints (after a hang-up of the pty: the new
    // "PTY <path>", which also updates PtyPath()); empty on time-out.
    std::string ReadLine(int timeoutMs);
    // SIGTERM and wait; the exit code, or -1 when it was not running or died
    // by a signal other than SIGTERM.
    int Stop();
    // Waits for the process to end by itself; -1 on time-out.
    int Wait(int timeoutMs);

private:
    void Remember(const std::string& line);

    pid_t pid_ = -1;
    int outFd_ = -1;
    std::string pending_;
    uint16_t port_ = 0;
    std::string ptyPath_;
};

}  // namespace peerproc
