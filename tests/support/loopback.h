// TCP sockets on loopback ports of their own: a listener for a test playing a peer, and a port no one answers.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testutil {

// A socket bound to a free loopback port, port set to its number; -1 when
// there is none.
inline int BindOnLoopback(int& port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd < 0) return -1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        close(fd);
        return -1;
    }
    port = ntohs(a.sin_port);
    return fd;
}

// The listening descriptor; port gets its number.
inline int ListenOnLoopback(int& port)
{
    const int fd = BindOnLoopback(port);
    if (fd >= 0 && listen(fd, 8) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// A loopback port bound but not listening: a connection to it is refused,
// and no other test can take it while the object holds it.
class RefusingPort {
public:
    RefusingPort() : FFd(BindOnLoopback(port)) {}
    ~RefusingPort()
    {
        if (FFd >= 0) close(FFd);
    }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    int port = 0;

private:
    int FFd;
};

}  // namespace testutil
