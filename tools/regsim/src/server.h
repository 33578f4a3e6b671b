// The simulator's transports: a TCP listener on the loopback address that
// serves one connection at a time and accepts reconnections, or a
// pseudo-terminal in raw mode whose slave side the driver opens as its port.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "cash_register.h"
#include "journal.h"

namespace regsim {

struct ServerOptions {
    enum class Transport { kTcp, kPty } transport = Transport::kTcp;
    uint16_t port = 0;    // TCP; 0 picks a free port
    std::string ptyLink;  // pty: also keep this symbolic link to the slave
    int muxChannel = 0;   // 1-8 behind the multiplexer, 0 directly
    bool once = false;    // end when the first client disconnects
};

class Server {
public:
    Server(ServerOptions options, CashRegister& cashRegister, Journal& journal);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Called with "PORT <n>" or "PTY <path>" when the address is known, and
    // again with a new pty path after the fault plan hung up the old one.
    void SetAnnounce(std::function<void(const std::string&)> announce) { announce_ = std::move(announce); }

    // Binds the port or creates the pseudo-terminal; throws std::runtime_error.
    void Open();
    uint16_t Port() const { return port_; }
    const std::string& PtyPath() const { return ptyPath_; }

    // Serves until Stop() or, with `once`, the first disconnection.
    void Run();
    // Safe from a signal handler and from another thread.
    void Stop();

private:
    void RunTcp();
    void RunPty();
    void OpenPty();
    void ClosePty();
    // Waits until a process opened the slave side; false when stopped.
    bool WaitForPtyClient();
    bool StopRequested() const;

    ServerOptions options_;
    CashRegister& register_;
    Journal& journal_;
    std::function<void(const std::string&)> announce_;
    int listenFd_ = -1;
    int ptyFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    uint16_t port_ = 0;
    std::string ptyPath_;
};

}  // namespace regsim
