// The card-server simulator as a test peer: started with a record of every
// line it is sent, and the host configured to reach it.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "hostlib.h"
#include "peer_process.h"
#include "testutil.h"

namespace testutil {

class CardServer {
public:
    explicit CardServer(const TempDir& dir)
        : FRecord(dir.File("cardserver.txt")), FPeer({CARDSIM_EXE, "--record", FRecord}, "PORT")
    {
    }
    bool Ok() const { return FPeer.Ok(); }
    // The driver's card-server parameters pointed at this peer.
    void Configure(VelHost& host) const
    {
        host.SetParam("ComboSkpUse", "1");
        host.SetParam("ComboSkpIp", "127.0.0.1");
        host.SetParam("ComboSkpPort", std::to_string(FPeer.Port()));
    }
    // The lines received so far, line ends removed.
    std::vector<std::string> Received() const
    {
        std::vector<std::string> lines;
        std::istringstream in(ReadFile(FRecord));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

private:
    std::string FRecord;
    PeerProcess FPeer;
};

}  // namespace testutil
