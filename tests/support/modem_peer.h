// The Hayes modem simulator as a test peer on a pseudo-terminal of its own, with the commands it took.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "peer_process.h"
#include "testutil.h"

namespace testutil {

// Runs with a short escape guard time and a record of every command line.
class ModemPeer {
public:
    // (Re)starts it with an empty record, joined to a register peer on
    // registerPort of this machine (0: none), with more of its options.
    void Start(int registerPort = 0, const std::vector<std::string>& extra = {})
    {
        FPeer.Stop();
        ClearCommands();
        std::vector<std::string> args = {"--record", FRecord, "--guard-ms", "10"};
        if (registerPort != 0) args.insert(args.end(), {"--register", "127.0.0.1:" + std::to_string(registerPort)});
        args.insert(args.end(), extra.begin(), extra.end());
        FPeer.Start(MODEMSIM_EXE, args);
        if (Pty().empty()) throw std::runtime_error("modemsim announced no pseudo-terminal");
    }
    // The terminal the driver opens as its serial port.
    const std::string& Pty() const { return FPeer.PtyPath(); }

    // The command lines received so far, and "+++" for each escape.
    std::vector<std::string> Commands() const { return ReadLines(FRecord); }
    // The same once there are at least `count` of them. A command line is
    // recorded when the modem reads it, which may come after the driver has
    // gone on: after a command the modem does not answer (one made silent,
    // any after ATQ1), or whose answer the driver took from what came before.
    std::vector<std::string> AwaitCommands(size_t count) const
    {
        WaitUntil([&] { return Commands().size() >= count; }, kEventWaitMs);
        return Commands();
    }
    void ClearCommands() { std::remove(FRecord.c_str()); }

private:
    TempDir FDir;
    std::string FRecord = FDir.File("modem.txt");
    peerproc::PeerProcess FPeer;
};

}  // namespace testutil
