// The test peers go with the test that started them: a test process killed
// (at its time-out, or a run cut short) leaves no register, modem or card
// server simulator and no FTP server running.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "peer_process.h"
#include "testutil.h"

namespace {

// Reaps `pid`, a child of this process; false when it still runs after
// `timeoutMs`.
bool Ended(pid_t pid, int timeoutMs)
{
    return testutil::WaitUntil([pid] { return waitpid(pid, nullptr, WNOHANG) == pid; }, timeoutMs);
}

// What a child process writes to `fd` before `timeoutMs` is over.
std::string ReadAll(int fd, int timeoutMs)
{
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd p = {fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) return text;
        char buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return text;
        text.append(buffer, static_cast<size_t>(n));
    }
}

}  // namespace

TEST(TestPeers, NoneOutlivesAKilledTestProcess)
{
    // This process takes in what its children leave behind, so that it sees
    // a peer of a killed child end, or learns that it did not.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    testutil::TempDir dir;
    const std::string ftpRoot = dir / "ftp";
    std::filesystem::create_directory(ftpRoot);
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
    const pid_t test = fork();
    if (test == 0) {
        // A test process with every kind of peer running, as a test has them.
        close(pipeFds[0]);
        try {
            peerproc::PeerProcess regsim(REGSIM_EXE, {"--tcp", "0"});
            peerproc::PeerProcess cardsim(CARDSIM_EXE, {"--record", dir / "card.txt"});
            peerproc::PeerProcess modemsim(MODEMSIM_EXE, {"--record", dir / "modem.txt"});
            peerproc::PeerProcess ftp("/usr/bin/python3", {FTP_PEER_SCRIPT, ftpRoot, "kasa", "tajne"});
            std::ostringstream pids;
            for (const peerproc::PeerProcess* peer : {&regsim, &cardsim, &modemsim, &ftp}) pids << peer->Pid() << "\n";
            const std::string text = pids.str();
            if (write(pipeFds[1], text.data(), text.size()) != static_cast<ssize_t>(text.size())) _exit(1);
            close(pipeFds[1]);
            for (;;) pause();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            _exit(1);
        }
    }
    ASSERT_GT(test, 0);
    close(pipeFds[1]);
    std::istringstream text(ReadAll(pipeFds[0], testutil::kEventWaitMs));
    close(pipeFds[0]);
    std::vector<pid_t> peers;
    for (pid_t pid = 0; text >> pid;) peers.push_back(pid);

    kill(test, SIGKILL);
    waitpid(test, nullptr, 0);
    ASSERT_EQ(peers.size(), 4u) << "the test process did not start its peers";
    const char* const names[] = {"register simulator", "card server simulator", "modem simulator", "FTP server"};
    for (size_t i = 0; i < peers.size(); ++i) {
        if (Ended(peers[i], testutil::kEventWaitMs)) continue;
        ADD_FAILURE() << "the " << names[i] << " outlived its test";
        kill(peers[i], SIGKILL);
        waitpid(peers[i], nullptr, 0);
    }
}
