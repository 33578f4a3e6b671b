// The pace of the link itself: a client of the register's frame protocol
// with nothing of the driver's link or exchange in it. A plain blocking
// socket with the driver's receive time-out; a command built and stuffed
// into a buffer kept from command to command and sent in one send(); the
// answer taken from recv() into a buffer of its own, unstuffed a run of
// bytes at a time, its token and checksum checked. It neither traces, nor
// retries, nor decodes the answer's fields: the benchmarks set the driver's
// runs beside it, and what it does not do is the driver's own work.
#pragma once

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

#include "cbframe.h"
#include "cblinktimes.h"

class BareClient {
public:
    // The first command's token is the one after `token`.
    explicit BareClient(uint16_t port, uint32_t token = 0) : FToken(token)
    {
        FFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (FFd < 0) throw std::runtime_error("bare client: no socket");
        const int one = 1;
        setsockopt(FFd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        // Every wait on a register is bounded, and a bounded wait costs the
        // kernel a timer per read: the baseline pays it as the driver does.
        const timeval timeout{TComboLinkTimes::RegisterTcpMs / 1000, TComboLinkTimes::RegisterTcpMs % 1000 * 1000};
        setsockopt(FFd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(FFd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            close(FFd);
            throw std::runtime_error("bare client: no connection");
        }
    }
    ~BareClient() { close(FFd); }
    BareClient(const BareClient&) = delete;
    BareClient& operator=(const BareClient&) = delete;

    // Sends a command with `count` fields, encoded one after another in
    // `fields`, and reads its answer: the answer's code, the command's own
    // or CB_ANSWER_ERROR. Throws when the link fails or the answer is not
    // this command's.
    int Command(uint16_t code, std::string_view fields = {}, uint16_t count = 0)
    {
        Send(code, fields, count);
        Receive();
        const auto* bytes = reinterpret_cast<const uint8_t*>(FAnswer.data());
        const size_t size = FAnswer.size();
        if (size < CB_EMPTY_FRAME_SIZE || Le(bytes + CB_OFS_TOKEN, 4) != FToken ||
            Le(bytes + size - 3, 2) != ComboCrc16(bytes + 1, size - 4))
            throw std::runtime_error("bare client: an answer not to the command sent");
        return static_cast<int>(Le(bytes + CB_OFS_COMMAND, 2));
    }
    // The last answer, the plain frame from STX to ETX.
    const std::string& Answer() const { return FAnswer; }

private:
    static void PutLe(std::string& frame, size_t at, uint32_t value, int bytes)
    {
        for (int i = 0; i < bytes; ++i) frame[at + i] = static_cast<char>(value >> (8 * i));
    }
    static uint32_t Le(const uint8_t* at, int bytes)
    {
        uint32_t value = 0;
        for (int i = bytes - 1; i >= 0; --i) value = value << 8 | at[i];
        return value;
    }

    void Send(uint16_t code, std::string_view fields, uint16_t count)
    {
        FToken = (FToken + 1) % CB_TOKEN_WRAP;
        FPlain.assign(CB_OFS_FIELDS, '\0');
        FPlain[0] = static_cast<char>(CB_STX);
        FPlain.append(fields);
        FPlain.append(3, static_cast<char>(CB_ETX));
        PutLe(FPlain, CB_OFS_TOKEN, FToken, 4);
        PutLe(FPlain, CB_OFS_LENGTH, static_cast<uint32_t>(FPlain.size()), 2);
        PutLe(FPlain, CB_OFS_FIELD_COUNT, count, 2);
        PutLe(FPlain, CB_OFS_COMMAND, code, 2);
        const auto* bytes = reinterpret_cast<const uint8_t*>(FPlain.data());
        PutLe(FPlain, FPlain.size() - 3, ComboCrc16(bytes + 1, FPlain.size() - 4), 2);
        FWire.clear();
        for (size_t i = 0; i < FPlain.size(); ++i) {
            if (bytes[i] == CB_DLE || i == 0 || i + 1 == FPlain.size()) FWire.push_back(static_cast<char>(CB_DLE));
            FWire.push_back(FPlain[i]);
        }
        if (send(FFd, FWire.data(), FWire.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(FWire.size()))
            throw std::runtime_error("bare client: send failed");
    }

    // Up to the escaped ETX: an escaped STX starts the frame, an escaped
    // DLE is a data byte, bytes before the start are passed over.
    void Receive()
    {
        FAnswer.clear();
        bool escaped = false;
        for (;;) {
            if (FAt == FEnd) {
                const ssize_t n = recv(FFd, FIn, sizeof FIn, 0);
                if (n <= 0) throw std::runtime_error("bare client: no answer");
                FAt = 0;
                FEnd = static_cast<size_t>(n);
            }
            if (!escaped) {
                const void* dle = std::memchr(FIn + FAt, CB_DLE, FEnd - FAt);
                const size_t run = (dle ? static_cast<const char*>(dle) : FIn + FEnd) - (FIn + FAt);
                if (!FAnswer.empty()) FAnswer.append(FIn + FAt, run);
                FAt += run;
                if (!dle) continue;
                ++FAt;
                escaped = true;
                continue;
            }
            escaped = false;
            const auto byte = static_cast<uint8_t>(FIn[FAt++]);
            if (byte == CB_STX) {
                FAnswer.assign(1, static_cast<char>(CB_STX));
            } else if (!FAnswer.empty()) {
                FAnswer.push_back(static_cast<char>(byte));
                if (byte == CB_ETX) return;
            }
        }
    }

    uint32_t FToken;
    int FFd = -1;
    std::string FPlain, FWire, FAnswer;
    char FIn[65536];
    size_t FAt = 0, FEnd = 0;
};
