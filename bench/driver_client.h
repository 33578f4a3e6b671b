// The driver's side of one TCP connection to a peer on this machine: its
// command exchange alone, on the register link a run uses, without the rest
// of the driver around it. The exchange benchmark sets it beside the bare
// client (bare_client.h).
#pragma once

#include <cstdint>
#include <memory>

#include "cbexchange.h"
#include "cblinks.h"
#include "cblinktimes.h"
#include "clientsocket.h"

struct DriverClient {
    TClientSocket socket;
    std::unique_ptr<TWinSocketStream> stream;
    std::unique_ptr<TComboSocketLink> link;
    // The answer to the last command, and its quiet error code.
    TComboExchangeState exchange;
    const TComboExchangeHooks hooks;

    // The first command's token is the one after `token`.
    explicit DriverClient(uint16_t port, uint32_t token = 0)
    {
        exchange.token = token;
        socket.SetHost("127.0.0.1");
        socket.SetPort(port);
        socket.SetActive(true);
        stream = std::make_unique<TWinSocketStream>(socket.Socket(), TComboLinkTimes::RegisterTcpMs);
        link = std::make_unique<TComboSocketLink>(*stream);
    }
    // One command with n fields made by the field builders.
    void Command(int cmd, int n = 0, const AnsiString* fields = nullptr)
    {
        TComboExchange(exchange, link.get(), hooks).SendAndReceive(cmd, n, fields);
    }
};
