// A register peer on a loopback port of its own that sends back whatever it gets.
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <vector>

#include "loopback.h"

namespace testutil {

// Serves every connection until the object goes. An echoed command frame
// carries the command's token and code, so the driver takes it as an answer.
class EchoPeer {
public:
    EchoPeer()
    {
        FListener = ListenOnLoopback(FPort);
        if (FListener < 0 || pipe2(FStop, O_CLOEXEC) != 0) {
            if (FListener >= 0) close(FListener);
            throw std::runtime_error("echo peer: cannot listen");
        }
        FThread = std::thread([this] { Run(); });
    }
    ~EchoPeer()
    {
        if (write(FStop[1], "x", 1) != 1) std::abort();
        FThread.join();
        for (int fd : {FListener, FStop[0], FStop[1]}) close(fd);
    }
    EchoPeer(const EchoPeer&) = delete;
    EchoPeer& operator=(const EchoPeer&) = delete;

    int Port() const { return FPort; }

private:
    int FPort = 0;
    int FListener = -1;
    int FStop[2] = {-1, -1};
    std::thread FThread;

    void Run()
    {
        std::vector<int> clients;
        for (;;) {
            std::vector<pollfd> fds{{FStop[0], POLLIN, 0}, {FListener, POLLIN, 0}};
            for (int c : clients) fds.push_back({c, POLLIN, 0});
            if (poll(fds.data(), fds.size(), -1) < 0) continue;
            if (fds[0].revents) break;
            for (size_t i = clients.size(); i-- > 0;) {
                if (!fds[i + 2].revents) continue;
                if (!Echo(clients[i])) {
                    close(clients[i]);
                    clients.erase(clients.begin() + static_cast<long>(i));
                }
            }
            if (fds[1].revents & POLLIN) {
                const int c = accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
                if (c < 0) continue;
                // Every byte back at once: the peer's own delay stays out of
                // what a benchmark measures.
                const int one = 1;
                setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                clients.push_back(c);
            }
        }
        for (int c : clients) close(c);
    }

    // What one client sent, sent back whole; false when it is gone.
    static bool Echo(int fd)
    {
        char buffer[4096];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = send(fd, buffer + done, static_cast<size_t>(n - done), MSG_NOSIGNAL);
            if (w <= 0) return false;
            done += w;
        }
        return true;
    }
};

}  // namespace testutil
