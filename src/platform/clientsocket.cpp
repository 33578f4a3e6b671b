// The client socket and its stream. The descriptor is non-blocking while it
// connects and blocking after: writes ask not to block (MSG_DONTWAIT) and wait
// in a poll(), reads block in recv() for at most the socket's receive
// time-out, so a read that waits costs one system call. Every wait is
// measured in real time.
#include "clientsocket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "clock.h"
#include "oserror.h"

namespace {
int PollMs(uint64_t ms)
{
    return static_cast<int>(std::min<uint64_t>(ms, INT_MAX));
}

// Waits until fd is ready for events or ms pass: >0 ready, 0 time-out, <0
// error (errno set).
int WaitFor(int fd, short events, uint32_t ms, short& revents)
{
    const uint64_t start = RealMs();
    for (;;) {
        pollfd p{fd, events, 0};
        const uint64_t spent = RealMs() - start;
        const int r = poll(&p, 1, spent >= ms ? 0 : PollMs(ms - spent));
        if (r < 0 && errno == EINTR) continue;
        revents = p.revents;
        return r;
    }
}

// One attempt on one address; 0 or the error number.
int ConnectOne(const addrinfo* ai, uint32_t timeoutMs, int& fd)
{
    fd = socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) return errno;
    int error = 0;
    if (connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            short revents = 0;
            const int r = WaitFor(fd, POLLOUT, timeoutMs, revents);
            if (r == 0) {
                error = ETIMEDOUT;
            } else if (r < 0) {
                error = errno;
            } else {
                socklen_t len = sizeof error;
                if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0) error = errno;
            }
        }
    }
    if (error != 0) {
        close(fd);
        fd = -1;
        return error;
    }
    // Frames are small and answered one by one: send each at once.
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        error = errno;
        close(fd);
        fd = -1;
    }
    return error;
}
}  // namespace

AnsiString TCustomWinSocket::Where() const
{
    return Format("%s:%d", FHost.c_str(), FPort);
}

TClientSocket::TClientSocket() = default;

TClientSocket::~TClientSocket()
{
    Close();
}

void TClientSocket::SetActive(bool active)
{
    if (active == GetActive()) return;
    if (active)
        Connect();
    else
        Close();
}

void TClientSocket::Connect()
{
    FSocket.FHost = FHost;
    FSocket.FPort = FPort;
    auto fail = [this](const AnsiString& reason) {
        throw ESocketError(Format("Nie można nawiązać połączenia z %s - %s", FSocket.Where().c_str(), reason.c_str()));
    };
    if (FPort <= 0 || FPort > 65535) fail("nieprawidłowy numer portu");
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (FHost.empty() || getaddrinfo(FHost.c_str(), IntToStr(FPort).c_str(), &hints, &list) != 0 || !list)
        fail("nieznany adres");
    const uint64_t start = RealMs();
    int error = ETIMEDOUT;
    for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
        const uint64_t spent = RealMs() - start;
        if (spent >= FConnectTimeoutMs) break;
        int fd = -1;
        error = ConnectOne(ai, static_cast<uint32_t>(FConnectTimeoutMs - spent), fd);
        if (error == 0) {
            FSocket.FHandle = fd;
            break;
        }
    }
    freeaddrinfo(list);
    if (error == ETIMEDOUT) fail(Format("brak odpowiedzi w ciągu %u ms", static_cast<unsigned>(FConnectTimeoutMs)));
    if (error != 0) fail(SystemErrorText(error));
}

void TClientSocket::Close()
{
    if (FSocket.FHandle < 0) return;
    close(FSocket.FHandle);
    FSocket.FHandle = -1;
}

TWinSocketStream::TWinSocketStream(TCustomWinSocket* socket, uint32_t timeoutMs)
    : FSocket(socket), FTimeoutMs(timeoutMs)
{
}

int TWinSocketStream::SocketHandle() const
{
    if (!FSocket || !FSocket->Connected())
        throw ESocketError(FSocket ? Format("Brak połączenia z %s", FSocket->Where().c_str()) : "Brak połączenia");
    return FSocket->FHandle;
}

void TWinSocketStream::Broken(int error) const
{
    const AnsiString reason =
        error == 0 ? AnsiString("połączenie zamknięte przez drugą stronę") : SystemErrorText(error);
    const AnsiString text = Format("Połączenie z %s zostało zerwane - %s", FSocket->Where().c_str(), reason.c_str());
    if (error == 0) throw ESocketClosed(text);
    throw ESocketError(text);
}

int TWinSocketStream::Write(const void* bytes, int count)
{
    const int fd = SocketHandle();
    const auto* data = static_cast<const uint8_t*>(bytes);
    const uint64_t start = RealMs();
    int sent = 0;
    while (sent < count) {
        const ssize_t n = send(fd, data + sent, static_cast<size_t>(count - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) Broken(n == 0 ? EPIPE : errno);
        const uint64_t spent = RealMs() - start;
        short revents = 0;
        const int r =
            spent >= FTimeoutMs ? 0 : WaitFor(fd, POLLOUT, static_cast<uint32_t>(FTimeoutMs - spent), revents);
        if (r == 0) throw ESocketTimeout(Format("Przekroczony czas wysyłania do %s", FSocket->Where().c_str()));
        if (r < 0) Broken(errno);
    }
    return count;
}

void TWinSocketStream::SetRecvTimeout(int fd, uint64_t ms)
{
    if (static_cast<int64_t>(ms) == FRecvTimeoutMs) return;
    const timeval tv{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>(ms % 1000 * 1000)};
    if (setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) Broken(errno);
    FRecvTimeoutMs = static_cast<int64_t>(ms);
}

bool TWinSocketStream::Fill(uint32_t ms)
{
    const int fd = SocketHandle();
    const uint64_t start = RealMs();
    FPos = FEnd = 0;
    for (bool first = true;; first = false) {
        // A receive time-out of 0 would mean none: a read that may not wait
        // asks not to. Before the first try no time has passed.
        const uint64_t spent = first ? 0 : RealMs() - start;
        const uint64_t left = spent >= ms ? 0 : ms - spent;
        if (left > 0) SetRecvTimeout(fd, left);
        const ssize_t n = recv(fd, FBuffer, kChunk, left > 0 ? 0 : MSG_DONTWAIT);
        if (n > 0) {
            FEnd = static_cast<size_t>(n);
            return true;
        }
        if (n == 0) Broken(0);
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) Broken(errno);
        if (left == 0 || RealMs() - start >= ms) return false;
    }
}

bool TWinSocketStream::WaitForData(uint32_t ms)
{
    return Buffered() > 0 || Fill(ms);
}

int TWinSocketStream::Read(void* buffer, int count)
{
    if (count <= 0) return 0;
    if (Buffered() == 0 && !Fill(FTimeoutMs)) return 0;
    const size_t n = std::min(Buffered(), static_cast<size_t>(count));
    std::memcpy(buffer, FBuffer + FPos, n);
    FPos += n;
    return static_cast<int>(n);
}
