// The serial port on termios. Every wait is a poll() on the descriptor, which
// stays non-blocking; the device's own read time-outs are switched off
// (VMIN 1, VTIME 0) so that a read of 0 bytes can only mean a device that is
// gone.
#include "serialport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "clock.h"
#include "emexception.h"
#include "oserror.h"

namespace {
const char* kCode = "TMSerialPort";

// The port's waits are measured in real time: poll() waits in real time,
// even when a test runs the driver's pauses on a virtual clock.
// A limit of 0 means none. Returns the poll() time-out still left before the
// limit, -1 for none, 0 when it has passed.
int Remaining(uint64_t start, uint64_t limit)
{
    if (limit == 0) return -1;
    const uint64_t spent = RealMs() - start;
    if (spent >= limit) return 0;
    return static_cast<int>(std::min<uint64_t>(limit - spent, INT_MAX));
}

// A device without modem lines (a pseudo-terminal) refuses their requests so.
bool RefusedControlLine(int error)
{
    return error == ENOTTY || error == EINVAL;
}

// A device without character framing (a pseudo-terminal keeps 8 bits and no
// parity) refuses a request that changes nothing else; what it holds then is
// the request but for those bits.
bool OnlyFramingRefused(int fd, const termios& wanted)
{
    termios now{};
    if (tcgetattr(fd, &now) != 0) return false;
    const tcflag_t framing = CSIZE | PARENB;
    return now.c_iflag == wanted.c_iflag && now.c_oflag == wanted.c_oflag && now.c_lflag == wanted.c_lflag &&
           (now.c_cflag & ~framing) == (wanted.c_cflag & ~framing) && now.c_cc[VMIN] == wanted.c_cc[VMIN] &&
           now.c_cc[VTIME] == wanted.c_cc[VTIME] && cfgetospeed(&now) == cfgetospeed(&wanted);
}

speed_t SpeedConstant(TMBaudRate rate)
{
    switch (rate) {
        case br___110:
            return B110;
        case br___300:
            return B300;
        case br___600:
            return B600;
        case br__1200:
            return B1200;
        case br__2400:
            return B2400;
        case br__4800:
            return B4800;
        case br__9600:
            return B9600;
        case br_19200:
            return B19200;
        case br_38400:
            return B38400;
        case br_57600:
            return B57600;
        case br115200:
            return B115200;
        default:
            return B0;  // no terminal constant for 14400, 56000, 128000, 256000
    }
}
}  // namespace

TMSerialPort::TMSerialPort() = default;

TMSerialPort::~TMSerialPort()
{
    Close();
}

int TMSerialPort::BaudRateValue(TMBaudRate rate)
{
    static const int values[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    const int i = static_cast<int>(rate);
    return i >= 0 && i < static_cast<int>(std::size(values)) ? values[i] : 0;
}

AnsiString TMSerialPort::DevicePath(const AnsiString& portName)
{
    const bool com = portName.size() > 3 && UpperCase(portName.substr(0, 3)) == "COM";
    int32_t number = 0;
    if (com && std::all_of(portName.begin() + 3, portName.end(), IsAsciiDigit) &&
        TryStrToInt(portName.substr(3), number) && number >= 1)
        return "/dev/ttyS" + IntToStr(number - 1);
    return portName;
}

void TMSerialPort::SetPortName(const AnsiString& name)
{
    FPortName = name;
}

void TMSerialPort::SetBaudRate(TMBaudRate rate)
{
    FBaudRate = rate;
    if (GetActive()) ApplySettings();
}

void TMSerialPort::SetByteSize(TMByteSize size)
{
    FByteSize = size;
    if (GetActive()) ApplySettings();
}

void TMSerialPort::SetParity(TMParity parity)
{
    FParity = parity;
    if (GetActive()) ApplySettings();
}

void TMSerialPort::SetStopBits(TMStopBits stopBits)
{
    FStopBits = stopBits;
    if (GetActive()) ApplySettings();
}

void TMSerialPort::SetBufSize(int inSize, int outSize)
{
    FInBufSize = inSize;
    FOutBufSize = outSize;
}

void TMSerialPort::SetTo(int slot, uint32_t ms)
{
    if (slot >= 0 && slot < kTimeoutSlots) FTimeouts[slot] = ms;
}

uint32_t TMSerialPort::GetTo(int slot) const
{
    return slot >= 0 && slot < kTimeoutSlots ? FTimeouts[slot] : 0;
}

void TMSerialPort::SetActive(bool active)
{
    if (active == GetActive()) return;
    if (active)
        Open();
    else
        Close();
}

void TMSerialPort::Open()
{
    const AnsiString path = DevicePath(FPortName);
    FHandle = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FHandle < 0)
        Fail(Format("Nie można otworzyć portu %s", FPortName.c_str()),
             Format("%s: %s", path.c_str(), SystemErrorText(errno).c_str()));
    try {
        ApplySettings();
    } catch (...) {
        Close();
        throw;
    }
}

void TMSerialPort::Close()
{
    FInPos = FInEnd = 0;
    if (FHandle < 0) return;
    close(FHandle);
    FHandle = -1;
}

void TMSerialPort::ApplySettings()
{
    const speed_t speed = SpeedConstant(FBaudRate);
    if (speed == B0)
        Fail(Format("Nie można ustawić portu %s", FPortName.c_str()),
             Format("Prędkość %d b/s nie jest obsługiwana", BaudRateValue(FBaudRate)));
    termios t{};
    if (tcgetattr(FHandle, &t) != 0)
        Fail(Format("Nie można ustawić portu %s", FPortName.c_str()),
             Format("%s: %s", DevicePath(FPortName).c_str(), SystemErrorText(errno).c_str()));
    cfmakeraw(&t);
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    t.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    // The link works without a carrier: the modem driver asks for it itself.
    t.c_cflag |= CLOCAL | CREAD;
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[FByteSize];
    switch (FParity) {
        case parNone:
            break;
        case parOdd:
            t.c_cflag |= PARENB | PARODD;
            break;
        case parEven:
            t.c_cflag |= PARENB;
            break;
        case parMark:
            t.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case parSpace:
            t.c_cflag |= PARENB | CMSPAR;
            break;
    }
    // A terminal knows one and two stop bits; one and a half is sent as two.
    if (FStopBits != sb1_0) t.c_cflag |= CSTOPB;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (tcsetattr(FHandle, TCSANOW, &t) != 0 && !(errno == EINVAL && OnlyFramingRefused(FHandle, t)))
        Fail(Format("Nie można ustawić portu %s", FPortName.c_str()),
             Format("%s: %s", DevicePath(FPortName).c_str(), SystemErrorText(errno).c_str()));
}

void TMSerialPort::Fail(const AnsiString& title, const AnsiString& description) const
{
    throw EMException(kCode, title, description);
}

void TMSerialPort::FailDead() const
{
    Fail(Format("Port %s przestał działać", FPortName.c_str()),
         Format("Urządzenie %s zostało odłączone lub zamknięte", DevicePath(FPortName).c_str()));
}

void TMSerialPort::RequireActive() const
{
    if (!GetActive()) Fail(Format("Port %s nie jest otwarty", FPortName.c_str()), "Najpierw otwórz port komunikacyjny");
}

void TMSerialPort::SetModemLine(int line, bool on)
{
    if (!GetActive()) return;
    if (ioctl(FHandle, on ? TIOCMBIS : TIOCMBIC, &line) != 0 && !RefusedControlLine(errno)) FailDead();
}

void TMSerialPort::SetDTR(bool on)
{
    SetModemLine(TIOCM_DTR, on);
}

void TMSerialPort::SetRTS(bool on)
{
    SetModemLine(TIOCM_RTS, on);
}

bool TMSerialPort::IsDCDHigh()
{
    if (!GetActive()) return false;
    int lines = 0;
    if (ioctl(FHandle, TIOCMGET, &lines) == 0) return (lines & TIOCM_CAR) != 0;
    if (RefusedControlLine(errno)) return true;
    FailDead();
}

void TMSerialPort::Put(uint8_t byte, bool waitUntilSent)
{
    WriteAll(&byte, 1, waitUntilSent);
}

void TMSerialPort::Transmit(const void* bytes, int count, bool waitUntilSent)
{
    WriteAll(static_cast<const uint8_t*>(bytes), count, waitUntilSent);
}

void TMSerialPort::WriteAll(const uint8_t* bytes, int count, bool waitUntilSent)
{
    RequireActive();
    const uint64_t start = RealMs();
    const uint64_t limit =
        static_cast<uint64_t>(FTimeouts[3]) * static_cast<uint64_t>(std::max(count, 0)) + FTimeouts[4];
    int sent = 0;
    while (sent < count) {
        const ssize_t n = write(FHandle, bytes + sent, static_cast<size_t>(count - sent));
        if (n > 0) {
            sent += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || errno != EAGAIN) FailDead();
        const int wait = Remaining(start, limit);
        pollfd p{FHandle, POLLOUT, 0};
        const int r = wait == 0 ? 0 : poll(&p, 1, wait);
        if (r < 0 && errno == EINTR) continue;
        if (r == 0)
            throw ESerialTimeout(kCode, Format("Błąd wysyłania na port %s", FPortName.c_str()),
                                 "Przekroczony czas wysyłania danych");
        if (r < 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL))) FailDead();
    }
    if (waitUntilSent) {
        while (tcdrain(FHandle) != 0)
            if (errno != EINTR) FailDead();
    }
}

int TMSerialPort::GetBytesInInBuf()
{
    RequireActive();
    int n = 0;
    if (ioctl(FHandle, FIONREAD, &n) != 0) FailDead();
    if (n == 0) {
        pollfd p{FHandle, POLLIN, 0};
        if (poll(&p, 1, 0) > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) FailDead();
    }
    return n + static_cast<int>(FInEnd - FInPos);
}

int TMSerialPort::TakeBuffered(uint8_t* out, int count)
{
    const size_t n = std::min(FInEnd - FInPos, static_cast<size_t>(count));
    std::memcpy(out, FIn + FInPos, n);
    FInPos += n;
    return static_cast<int>(n);
}

int TMSerialPort::Receive(void* bytes, int count)
{
    RequireActive();
    if (count <= 0) return 0;
    auto* out = static_cast<uint8_t*>(bytes);
    const uint32_t interval = FTimeouts[0];
    const uint64_t total = static_cast<uint64_t>(FTimeouts[1]) * static_cast<uint64_t>(count) + FTimeouts[2];
    const bool atOnce = interval == kNoWait && total == 0;
    const bool useInterval = interval != 0 && interval != kNoWait;
    int got = TakeBuffered(out, count);
    if (got == count) return got;
    const uint64_t start = RealMs();
    uint64_t lastByte = start;
    for (;;) {
        const ssize_t n = read(FHandle, FIn, kReadChunk);
        if (n > 0) {
            FInPos = 0;
            FInEnd = static_cast<size_t>(n);
            got += TakeBuffered(out + got, count - got);
            if (got == count) return got;
            lastByte = RealMs();
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || errno != EAGAIN) FailDead();
        if (atOnce) return got;
        int wait = Remaining(start, total);
        if (got > 0 && useInterval) {
            const int gap = Remaining(lastByte, interval);
            wait = wait < 0 ? gap : std::min(wait, gap);
        }
        if (wait == 0) return got;
        pollfd p{FHandle, POLLIN, 0};
        const int r = poll(&p, 1, wait);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 || (r > 0 && !(p.revents & POLLIN))) FailDead();
    }
}

bool TMSerialPort::Get(uint8_t& byte)
{
    return Receive(&byte, 1) == 1;
}

void TMSerialPort::PurgeInputBuffer()
{
    FInPos = FInEnd = 0;
    if (GetActive()) tcflush(FHandle, TCIFLUSH);
}
