// cardsim: a stand-in for the card server that shares a register with the
// driver. It listens on TCP, records every line it receives and answers each
// with "OK\r\n", or misbehaves as asked.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "sim_common.h"

namespace {

const char* kHelp =
    "Usage: cardsim [options]\n"
    "A card-server simulator on TCP. Prints \"PORT <n>\" once it listens.\n"
    "\n"
    "  --port N        listen on port N (default 0: any free port)\n"
    "  --bind ADDR     listen on address ADDR (default 127.0.0.1)\n"
    "  --record FILE   append each received line to FILE (line end removed), flushed at once\n"
    "  --silent        never answer\n"
    "  --delay-ms N    answer each line after N milliseconds\n"
    "  --refuse        close each connection as soon as it is accepted\n"
    "  --close-unanswered  close each connection once a line came, without answering\n"
    "  --help          this text\n";

struct Options {
    int port = 0;
    std::string bind = "127.0.0.1";
    std::string record;
    bool silent = false;
    int delayMs = 0;
    bool refuse = false;
    bool closeUnanswered = false;
};

bool ParseArgs(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--help") {
            std::fputs(kHelp, stdout);
            std::exit(0);
        } else if (a == "--silent") {
            o.silent = true;
        } else if (a == "--refuse") {
            o.refuse = true;
        } else if (a == "--close-unanswered") {
            o.closeUnanswered = true;
        } else if (a == "--port" && hasValue) {
            if (!simcommon::ParseCount(argv[++i], o.port)) return false;
        } else if (a == "--delay-ms" && hasValue) {
            if (!simcommon::ParseCount(argv[++i], o.delayMs)) return false;
        } else if (a == "--bind" && hasValue) {
            o.bind = argv[++i];
        } else if (a == "--record" && hasValue) {
            o.record = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

struct Client {
    int fd;
    std::string pending;
};

// Takes the complete lines out of a client's input; false when it closed.
bool Serve(const Options& o, Client& c)
{
    char buffer[4096];
    const ssize_t n = recv(c.fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
        if (!c.pending.empty()) simcommon::AppendRecord(o.record, c.pending);
        return false;
    }
    c.pending.append(buffer, static_cast<size_t>(n));
    size_t eol;
    while ((eol = c.pending.find('\n')) != std::string::npos) {
        std::string line = c.pending.substr(0, eol);
        c.pending.erase(0, eol + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        simcommon::AppendRecord(o.record, line);
        if (o.closeUnanswered) return false;
        if (o.silent) continue;
        if (o.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(o.delayMs));
        send(c.fd, "OK\r\n", 4, MSG_NOSIGNAL);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!simcommon::OptionsTaken(ParseArgs(argc, argv, o), kHelp)) return 2;

    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(o.port));
    if (inet_pton(AF_INET, o.bind.c_str(), &addr.sin_addr) != 1 ||
        bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listener, 16) != 0) {
        std::perror("cardsim: listen");
        return 1;
    }
    socklen_t len = sizeof addr;
    getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    std::printf("PORT %d\n", ntohs(addr.sin_port));
    std::fflush(stdout);

    std::vector<Client> clients;
    for (;;) {
        std::vector<pollfd> fds{{listener, POLLIN, 0}};
        for (const Client& c : clients) fds.push_back({c.fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0) continue;
        for (size_t i = clients.size(); i-- > 0;) {
            if (!fds[i + 1].revents) continue;
            if (!Serve(o, clients[i])) {
                close(clients[i].fd);
                clients.erase(clients.begin() + static_cast<long>(i));
            }
        }
        if (fds[0].revents & POLLIN) {
            const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            if (o.refuse)
                close(fd);
            else
                clients.push_back({fd, {}});
        }
    }
}
