// The card-server simulator as a test peer, with the lines it was sent, and the host pointed at it.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "hostlib.h"
#include "peer_process.h"
#include "testutil.h"

namespace testutil {

// The driver's card-server parameters pointed at a port on this machine.
inline void UseCardServer(VelHost& host, int port)
{
    host.SetParam("ComboSkpUse", "1");
    host.SetParam("ComboSkpIp", "127.0.0.1");
    host.SetParam("ComboSkpPort", std::to_string(port));
}

// Started in a folder of its own, with a record of every line it is sent.
class CardServer {
public:
    // extra: more of the simulator's options (--silent, --delay-ms N, --refuse,
    // --close-unanswered).
    explicit CardServer(const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> args = {"--record", FRecord};
        args.insert(args.end(), extra.begin(), extra.end());
        FPeer.Start(CARDSIM_EXE, args);
    }
    // Started with the host pointed at it.
    explicit CardServer(VelHost& host, const std::vector<std::string>& extra = {}) : CardServer(extra)
    {
        if (!Ok()) throw std::runtime_error("cardsim announced no port");
        Configure(host);
    }
    bool Ok() const { return FPeer.Port() != 0; }
    int Port() const { return FPeer.Port(); }
    void Configure(VelHost& host) const { UseCardServer(host, Port()); }
    // The lines received so far, line ends removed.
    std::vector<std::string> Received() const { return ReadLines(FRecord); }

private:
    TempDir FDir;
    std::string FRecord = FDir.File("cardserver.txt");
    peerproc::PeerProcess FPeer;
};

}  // namespace testutil
