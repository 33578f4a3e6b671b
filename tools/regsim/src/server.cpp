#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "link.h"

namespace regsim {

namespace {

std::runtime_error SysError(const std::string& what)
{
    return std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

Server::Server(ServerOptions options, CashRegister& cashRegister, Journal& journal)
    : options_(std::move(options)), register_(cashRegister), journal_(journal)
{
    if (pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) throw SysError("pipe");
}

Server::~Server()
{
    if (listenFd_ >= 0) close(listenFd_);
    ClosePty();
    close(stopPipe_[0]);
    close(stopPipe_[1]);
}

void Server::Stop()
{
    const char byte = 1;
    [[maybe_unused]] ssize_t rc = write(stopPipe_[1], &byte, 1);
}

bool Server::StopRequested() const
{
    pollfd p = {stopPipe_[0], POLLIN, 0};
    return poll(&p, 1, 0) > 0;
}

void Server::Open()
{
    if (options_.transport == ServerOptions::Transport::kPty) {
        OpenPty();
        return;
    }
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) throw SysError("socket");
    const int one = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(options_.port);
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        throw SysError("bind to 127.0.0.1:" + std::to_string(options_.port));
    if (listen(listenFd_, 4) != 0) throw SysError("listen");
    socklen_t len = sizeof addr;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    if (announce_) announce_("PORT " + std::to_string(port_));
}

void Server::Run()
{
    if (options_.transport == ServerOptions::Transport::kPty)
        RunPty();
    else
        RunTcp();
}

void Server::RunTcp()
{
    while (!StopRequested()) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            throw SysError("poll");
        }
        if (fds[1].revents) break;
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        const int fd = accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
        if (fd < 0) continue;
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        char host[INET_ADDRSTRLEN] = "?";
        inet_ntop(AF_INET, &peer.sin_addr, host, sizeof host);
        const std::string who = std::string("tcp ") + host + ":" + std::to_string(ntohs(peer.sin_port));
        journal_.Event("connect", who);
        const Link::End end = Link(fd, true, register_, journal_, options_.muxChannel).Serve(stopPipe_[0]);
        close(fd);
        journal_.Event("disconnect", end == Link::End::kDropped ? who + " dropped by the fault plan" : who);
        if (end == Link::End::kStopped || options_.once) break;
    }
}

void Server::OpenPty()
{
    ptyFd_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (ptyFd_ < 0) throw SysError("posix_openpt");
    if (grantpt(ptyFd_) != 0 || unlockpt(ptyFd_) != 0) throw SysError("grantpt/unlockpt");
    char name[128];
    if (ptsname_r(ptyFd_, name, sizeof name) != 0) throw SysError("ptsname");
    ptyPath_ = name;
    // Raw from the start, so that nothing the driver sends is echoed or
    // translated before it sets the line up itself.
    termios tio{};
    if (tcgetattr(ptyFd_, &tio) != 0) throw SysError("tcgetattr");
    cfmakeraw(&tio);
    if (tcsetattr(ptyFd_, TCSANOW, &tio) != 0) throw SysError("tcsetattr");
    fcntl(ptyFd_, F_SETFL, fcntl(ptyFd_, F_GETFL) | O_NONBLOCK);
    // The master reports a hang-up only once a slave was closed: open and
    // close it once, so that waiting for the driver's opening can rely on it.
    const int slave = open(ptyPath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) throw SysError(ptyPath_);
    close(slave);
    if (!options_.ptyLink.empty()) {
        const std::string temp = options_.ptyLink + ".new";
        unlink(temp.c_str());
        if (symlink(ptyPath_.c_str(), temp.c_str()) != 0 || rename(temp.c_str(), options_.ptyLink.c_str()) != 0)
            throw SysError("symbolic link " + options_.ptyLink);
    }
    if (announce_) announce_("PTY " + ptyPath_);
}

void Server::ClosePty()
{
    if (ptyFd_ >= 0) close(ptyFd_);
    ptyFd_ = -1;
}

bool Server::WaitForPtyClient()
{
    for (;;) {
        pollfd fds[2] = {{ptyFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        const int rc = poll(fds, 2, 20);
        if (rc < 0 && errno == EINTR) continue;
        if (rc < 0) throw SysError("poll");
        if (fds[1].revents) return false;
        if ((fds[0].revents & POLLIN) || !(fds[0].revents & POLLHUP)) return true;
        // While no process holds the slave open the master reports a hang-up
        // at once: look again a little later.
        pollfd stop = {stopPipe_[0], POLLIN, 0};
        if (poll(&stop, 1, 20) > 0) return false;
    }
}

void Server::RunPty()
{
    while (WaitForPtyClient()) {
        const std::string who = "pty " + ptyPath_;
        journal_.Event("connect", who);
        const Link::End end = Link(ptyFd_, false, register_, journal_, options_.muxChannel).Serve(stopPipe_[0]);
        if (end == Link::End::kDropped) {
            journal_.Event("disconnect", who + " hung up by the fault plan");
            ClosePty();
            if (options_.once) break;
            OpenPty();
            continue;
        }
        journal_.Event("disconnect", who);
        if (end == Link::End::kStopped || options_.once) break;
    }
}

}  // namespace regsim
