#include "peer_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

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
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<std::string> argv = {exe};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargs;
    for (std::string& a : argv) cargs.push_back(a.data());
    cargs.push_back(nullptr);
    const int rc = posix_spawn(&pid_, exe.c_str(), &actions, nullptr, cargs.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        pid_ = -1;
        throw std::runtime_error(exe + ": cannot be started: " + std::strerror(rc));
    }
    outFd_ = fds[0];
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
