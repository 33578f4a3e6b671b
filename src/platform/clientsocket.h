// The framework's blocking client socket and its stream, on POSIX sockets.
//
// Every wait is bounded by a time-out; nothing blocks without one. Writes
// never raise SIGPIPE. Reads are buffered: one recv() takes what has arrived,
// and the caller may still consume it one byte at a time; a read that has to
// wait is that one recv(), bounded by the socket's receive time-out.
//
// A link that is gone - the peer closed it, reset it, or a write failed - is
// an ESocketError at once, from whichever call notices it first; a time-out
// is never mistaken for it, nor it for a time-out.
#pragma once

#include <algorithm>
#include <cstdint>

#include "sysutils.h"

// The framework's socket exception: a connection that could not be made or
// broke.
class ESocketError : public Exception {
public:
    using Exception::Exception;
};

// A write the peer did not take in time: the connection itself may live on.
class ESocketTimeout : public ESocketError {
public:
    using ESocketError::ESocketError;
};

// The peer closed the connection in order: everything it sent was read.
class ESocketClosed : public ESocketError {
public:
    using ESocketError::ESocketError;
};

enum TClientType { ctNonBlocking, ctBlocking };

// One connection, as the framework's client socket hands it to a stream.
class TCustomWinSocket {
public:
    int Handle() const { return FHandle; }
    bool Connected() const { return FHandle >= 0; }
    const AnsiString& RemoteHost() const { return FHost; }
    int RemotePort() const { return FPort; }

private:
    friend class TClientSocket;
    friend class TWinSocketStream;
    int FHandle = -1;
    AnsiString FHost;
    int FPort = 0;

    // "host:port", for messages.
    AnsiString Where() const;
};

class TClientSocket {
public:
    static constexpr uint32_t kDefaultConnectTimeoutMs = 30000;

    TClientSocket();
    ~TClientSocket();
    TClientSocket(const TClientSocket&) = delete;
    TClientSocket& operator=(const TClientSocket&) = delete;

    void SetHost(const AnsiString& host) { FHost = host; }
    void SetPort(int port) { FPort = port; }
    // Only blocking use is supported; the value is kept.
    void SetClientType(TClientType type) { FClientType = type; }
    // The longest a connect may take.
    void SetConnectTimeout(uint32_t ms) { FConnectTimeoutMs = ms; }
    uint32_t GetConnectTimeout() const { return FConnectTimeoutMs; }

    // Connects (true) or closes (false). A connection that cannot be made
    // throws an ESocketError naming host and port.
    void SetActive(bool active);
    bool GetActive() const { return FSocket.Connected(); }
    TCustomWinSocket* Socket() { return &FSocket; }

private:
    AnsiString FHost;
    int FPort = 0;
    TClientType FClientType = ctBlocking;
    uint32_t FConnectTimeoutMs = kDefaultConnectTimeoutMs;
    TCustomWinSocket FSocket;

    void Connect();
    void Close();
};

class TWinSocketStream {
public:
    // socket must outlive every call of the stream (not the stream itself).
    TWinSocketStream(TCustomWinSocket* socket, uint32_t timeoutMs);
    TWinSocketStream(const TWinSocketStream&) = delete;
    TWinSocketStream& operator=(const TWinSocketStream&) = delete;

    uint32_t GetTimeOut() const { return FTimeoutMs; }

    // Sends all count bytes within the time-out; returns count.
    int Write(const void* bytes, int count);
    // Waits up to the time-out for data, then gives what has arrived, at most
    // count bytes; 0 when nothing came in time.
    int Read(void* buffer, int count);
    // Whether data is there to read, waiting up to ms for it.
    bool WaitForData(uint32_t ms);
    // Bytes already received and not read yet: reading them takes no wait.
    size_t Buffered() const { return FEnd - FPos; }
    // The first of them, and taking count of them as Read would.
    const uint8_t* AtHand() const { return FBuffer + FPos; }
    void Skip(size_t count) { FPos += std::min(count, Buffered()); }
    // One byte, as Read gives it: false when none came in time. A frame is
    // taken a byte at a time, so a byte already received costs no call.
    bool ReadByte(uint8_t& byte)
    {
        if (Buffered() == 0 && !Fill(FTimeoutMs)) return false;
        byte = FBuffer[FPos++];
        return true;
    }

    static constexpr size_t kChunk = 4096;

private:
    TCustomWinSocket* FSocket;
    uint32_t FTimeoutMs;
    // What one recv() brought and was not read yet: FBuffer[FPos, FEnd).
    uint8_t FBuffer[kChunk];
    size_t FPos = 0;
    size_t FEnd = 0;
    // The receive time-out the socket holds now; -1 before the first wait.
    int64_t FRecvTimeoutMs = -1;

    // Fills the buffer with one recv() once data arrives within ms; false on
    // a time-out.
    bool Fill(uint32_t ms);
    // Sets the socket's receive time-out, when it differs from the last one.
    void SetRecvTimeout(int fd, uint64_t ms);
    int SocketHandle() const;
    [[noreturn]] void Broken(int error) const;
};
