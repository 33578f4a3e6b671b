#include "peer_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace peerproc {

namespace {

int ExitCode(int status)
{
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) return 0;
    return -1;
}

int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

PeerProcess::~PeerProcess()
{
    Stop();
}

void PeerProcess::Start(const std::string& exe, const std::vector<std::string>& args, int timeoutMs)
{
    Stop();
    pending_.clear();
    port_ = 0;
    ptyPath_.clear();
    // Everything the child needs is made before the fork: a child of a
    // process with threads may only make async-signal-safe calls until exec.
    std::vector<std::string> argv = {exe};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargs;
    for (std::string& a : argv) cargs.push_back(a.data());
    cargs.push_back(nullptr);
    int out[2], failed[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    if (pipe2(failed, O_CLOEXEC) != 0) {
        const int error = errno;
        close(out[0]);
        close(out[1]);
        throw std::runtime_error(std::string("pipe: ") + std::strerror(error));
    }
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // The peer goes with the process that started it, however that ends
        // (a test killed at its time-out, a cut run): no peer outlives its
        // test. A parent gone before this line counts as well.
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(127);
        dup2(out[1], STDOUT_FILENO);
        execv(exe.c_str(), cargs.data());
        const int error = errno;
        (void)!write(failed[1], &error, sizeof error);
        _exit(127);
    }
    const int forkError = errno;
    close(out[1]);
    close(failed[1]);
    if (pid_ < 0) {
        close(out[0]);
        close(failed[0]);
        pid_ = -1;
        throw std::runtime_error(exe + ": cannot be started: " + std::strerror(forkError));
    }
    // The exec closes the second pipe: nothing comes through it unless the
    // exec failed.
    int execError = 0;
    ssize_t got = 0;
    do {
        got = read(failed[0], &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    close(failed[0]);
    if (got == static_cast<ssize_t>(sizeof execError)) {
        close(out[0]);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        throw std::runtime_error(exe + ": cannot be started: " + std::strerror(execError));
    }
    outFd_ = out[0];
    const std::string line = ReadLine(timeoutMs);
    if (port_ == 0 && ptyPath_.empty()) {
        Stop();
        throw std::runtime_error(exe + " did not announce its port or pty (got \"" + line + "\")");
    }
}

void PeerProcess::Remember(const std::string& line)
{
    if (line.rfind("PORT ", 0) == 0) {
        int port = 0;
        std::from_chars(line.data() + 5, line.data() + line.size(), port);
        port_ = static_cast<uint16_t>(port);
    } else if (line.rfind("PTY ", 0) == 0) {
        ptyPath_ = line.substr(4);
    }
}

std::string PeerProcess::ReadLine(int timeoutMs)
{
    const int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        const size_t nl = pending_.find('\n');
        if (nl != std::string::npos) {
            std::string line = pending_.substr(0, nl);
            pending_.erase(0, nl + 1);
            Remember(line);
            return line;
        }
        const int64_t left = deadline - NowMs();
        if (outFd_ < 0 || left <= 0) return {};
        pollfd p = {outFd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        char buf[256];
        const ssize_t n = read(outFd_, buf, sizeof buf);
        if (n <= 0) {
            close(outFd_);
            outFd_ = -1;
            return {};
        }
        pending_.append(buf, static_cast<size_t>(n));
    }
}

int PeerProcess::Stop()
{
    int code = -1;
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        code = ExitCode(status);
    }
    pid_ = -1;
    if (outFd_ >= 0) close(outFd_);
    outFd_ = -1;
    return code;
}

int PeerProcess::Wait(int timeoutMs)
{
    if (pid_ <= 0) return -1;
    const int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return ExitCode(status);
        }
        if (NowMs() >= deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace peerproc
