// For tests: the simulator started as a child process, as the end-to-end tests
// run it, and the journal read back.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace regsim {

class RegsimProcess {
public:
    RegsimProcess() = default;
    ~RegsimProcess();
    RegsimProcess(const RegsimProcess&) = delete;
    RegsimProcess& operator=(const RegsimProcess&) = delete;

    // Starts `exe` with `args` (e.g. {"--tcp", "0", "--journal", path}) and
    // waits up to `timeoutMs` for its "PORT <n>" or "PTY <path>" line.
    // Throws std::runtime_error when it does not come.
    void Start(const std::string& exe, const std::vector<std::string>& args, int timeoutMs = 10000);

    uint16_t Port() const { return port_; }
    const std::string& PtyPath() const { return ptyPath_; }
    pid_t Pid() const { return pid_; }

    // The next line the simulator prints (after a hang-up of the pty: the new
    // "PTY <path>", which also updates PtyPath()); empty on time-out.
    std::string ReadLine(int timeoutMs);
    // SIGTERM and wait; the exit code, or -1 when it was not running or died
    // by a signal other than SIGTERM.
    int Stop();
    // Waits for the process to end by itself (--once); -1 on time-out.
    int Wait(int timeoutMs);

private:
    void Remember(const std::string& line);

    pid_t pid_ = -1;
    int outFd_ = -1;
    std::string pending_;
    uint16_t port_ = 0;
    std::string ptyPath_;
};

// Every line of a journal file, parsed.
std::vector<nlohmann::json> ReadJournal(const std::string& path);
// The violation texts of a journal file, in order.
std::vector<std::string> JournalViolations(const std::string& path);

}  // namespace regsim
