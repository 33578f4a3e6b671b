// The component package's serial port, on a POSIX terminal device in raw
// mode. "COMn" names /dev/ttyS(n-1); any other name is a device path used as
// given (a USB adapter, a pseudo-terminal in tests).
//
// The five time-out slots keep the package's meaning:
//   slot 0  longest gap between two bytes of one Receive, once one came
//   slot 1  per byte asked for, and slot 2  a constant: together the longest
//           a whole Receive of n bytes waits (slot1 * n + slot2)
//   slot 3  per byte sent, and slot 4  a constant: the longest a Transmit waits
// A total of 0 waits without limit; slot 0 at kNoWait with slots 1 and 2 at 0
// makes Receive return at once with what has arrived.
//
// Receive reads what has arrived in one read() into a buffer of the port's
// own and hands it out from there, so taking an answer a byte at a time costs
// no system call per byte.
//
// A device that is gone (end of file, I/O error, hang-up) is reported at once
// with an EMException, never as a time-out. Control-line requests that the
// device refuses (a pseudo-terminal has no modem lines) are no error; such a
// device is taken to carry the carrier. The control-line and byte operations
// are virtual so that a test can watch them through a subclass.
#pragma once

#include <algorithm>
#include <cstdint>

#include "emexception.h"
#include "sysutils.h"

// A Transmit the device did not take in time: the port itself may live on.
class ESerialTimeout : public EMException {
public:
    using EMException::EMException;
};

enum TMBaudRate {
    br___110,
    br___300,
    br___600,
    br__1200,
    br__2400,
    br__4800,
    br__9600,
    br_14400,
    br_19200,
    br_38400,
    br_56000,
    br_57600,
    br115200,
    br128000,
    br256000
};
enum TMByteSize { bs5, bs6, bs7, bs8 };
enum TMParity { parNone, parOdd, parEven, parMark, parSpace };
enum TMStopBits { sb1_0, sb1_5, sb2_0 };

class TMSerialPort {
public:
    static constexpr int kTimeoutSlots = 5;
    static constexpr uint32_t kNoWait = 0xFFFFFFFFu;

    TMSerialPort();
    virtual ~TMSerialPort();
    TMSerialPort(const TMSerialPort&) = delete;
    TMSerialPort& operator=(const TMSerialPort&) = delete;

    // Settings; on an active port they take effect at once.
    void SetPortName(const AnsiString& name);
    const AnsiString& GetPortName() const { return FPortName; }
    void SetBaudRate(TMBaudRate rate);
    TMBaudRate GetBaudRate() const { return FBaudRate; }
    void SetByteSize(TMByteSize size);
    TMByteSize GetByteSize() const { return FByteSize; }
    void SetParity(TMParity parity);
    TMParity GetParity() const { return FParity; }
    void SetStopBits(TMStopBits stopBits);
    TMStopBits GetStopBits() const { return FStopBits; }
    // Kept for the caller's sake: the kernel sizes a terminal's queues itself.
    void SetBufSize(int inSize, int outSize);
    int GetInBufSize() const { return FInBufSize; }
    int GetOutBufSize() const { return FOutBufSize; }
    // A slot outside 0 to 4 is ignored.
    void SetTo(int slot, uint32_t ms);
    uint32_t GetTo(int slot) const;

    // Opens (true) or closes (false) the device. Opening a device that cannot
    // be opened or set up throws an EMException naming the port.
    virtual void SetActive(bool active);
    bool GetActive() const { return FHandle >= 0; }

    // Control lines.
    virtual void SetDTR(bool on);
    virtual void SetRTS(bool on);
    void SetDTRHigh() { SetDTR(true); }
    void SetDTRLow() { SetDTR(false); }
    void SetRTSHigh() { SetRTS(true); }
    void SetRTSLow() { SetRTS(false); }
    // Carrier detect; false on a closed port.
    virtual bool IsDCDHigh();

    // Sends one byte or count bytes within the write time-out (slots 3, 4);
    // with waitUntilSent, returns only when they have left the port. Throws
    // an EMException on a time-out, a dead device or a closed port.
    virtual void Put(uint8_t byte, bool waitUntilSent);
    virtual void Transmit(const void* bytes, int count, bool waitUntilSent);

    // Bytes that arrived and were not read yet (the port's buffer included).
    virtual int GetBytesInInBuf();
    // Reads up to count bytes within the read time-outs; the number read
    // (fewer, even 0, when the time-outs ran out).
    virtual int Receive(void* bytes, int count);
    // One byte; false when none came within the read time-outs.
    virtual bool Get(uint8_t& byte);
    // Drops whatever arrived and was not read, the port's buffer included.
    virtual void PurgeInputBuffer();
    // Bytes already read from the device and not handed out: getting them
    // takes no wait.
    size_t Buffered() const { return FInEnd - FInPos; }
    // The first of them, and taking count of them as Get would.
    const uint8_t* AtHand() const { return FIn + FInPos; }
    void Skip(size_t count) { FInPos += std::min(count, Buffered()); }

    // The device path behind a port name.
    static AnsiString DevicePath(const AnsiString& portName);
    // The speed in bits per second.
    static int BaudRateValue(TMBaudRate rate);
    // The open descriptor, -1 when closed.
    int Handle() const { return FHandle; }

private:
    AnsiString FPortName;
    TMBaudRate FBaudRate = br__9600;
    TMByteSize FByteSize = bs8;
    TMParity FParity = parNone;
    TMStopBits FStopBits = sb1_0;
    int FInBufSize = 4096;
    int FOutBufSize = 4096;
    uint32_t FTimeouts[kTimeoutSlots] = {0, 0, 0, 0, 0};
    int FHandle = -1;
    // Bytes read from the device and not handed out yet: FIn[FInPos, FInEnd).
    static constexpr size_t kReadChunk = 4096;
    uint8_t FIn[kReadChunk];
    size_t FInPos = 0;
    size_t FInEnd = 0;

    void Open();
    void Close();
    void ApplySettings();
    void SetModemLine(int line, bool on);
    void WriteAll(const uint8_t* bytes, int count, bool waitUntilSent);
    // Moves up to count buffered bytes to out; how many.
    int TakeBuffered(uint8_t* out, int count);
    [[noreturn]] void Fail(const AnsiString& title, const AnsiString& description) const;
    [[noreturn]] void FailDead() const;
    void RequireActive() const;
};
