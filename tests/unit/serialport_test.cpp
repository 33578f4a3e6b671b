// The serial port on a real pseudo-terminal: the settings reach the terminal,
// the read time-outs end a read, and a vanished device is reported at once.
// That bytes a cooked terminal would eat cross intact is pinned by the links' test.
#include "serialport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "emexception.h"
#include "testutil.h"

namespace {

int64_t ElapsedMs(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

class SerialPort : public ::testing::Test {
protected:
    int master = -1;
    int slave = -1;  // held, as a modem simulator does, so a close does not hang the terminal up
    std::string path;
    TMSerialPort port;

    void SetUp() override
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        path = ptsname(master);
        slave = open(path.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(slave, 0);
        port.SetPortName(path);
    }
    void TearDown() override
    {
        port.SetActive(false);
        if (slave >= 0) close(slave);
        if (master >= 0) close(master);
    }
    void Open(uint32_t interval, uint32_t perByte, uint32_t total)
    {
        port.SetTo(0, interval);
        port.SetTo(1, perByte);
        port.SetTo(2, total);
        port.SetTo(3, 50);
        port.SetTo(4, 5000);
        port.SetActive(true);
    }
    termios Terminal()
    {
        termios t{};
        tcgetattr(master, &t);  // a master's terminal requests reach its slave
        return t;
    }
};

}  // namespace

TEST_F(SerialPort, ByteByByteWithCountPurgeAndControlLines)
{
    EXPECT_FALSE(port.IsDCDHigh());  // closed
    Open(50, 50, 2000);
    EXPECT_EQ(port.GetBytesInInBuf(), 0);
    ASSERT_EQ(write(master, "\x10\x02\x03", 3), 3);
    // A terminal hands on what was written a moment later.
    testutil::WaitUntil([&] { return port.GetBytesInInBuf() >= 3; }, testutil::kEventWaitMs);
    EXPECT_EQ(port.GetBytesInInBuf(), 3);
    uint8_t b = 0;
    ASSERT_TRUE(port.Get(b));
    EXPECT_EQ(b, 0x10);
    EXPECT_EQ(port.GetBytesInInBuf(), 2);
    // A read takes what the port holds first, then what arrived after it
    // (once it has arrived: after the bytes held, the read waits for more
    // only as long as the interval slot says).
    ASSERT_EQ(write(master, "\x04\x05", 2), 2);
    testutil::WaitUntil([&] { return port.GetBytesInInBuf() >= 4; }, testutil::kEventWaitMs);
    uint8_t four[4] = {};
    ASSERT_EQ(port.Receive(four, 4), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(four), 4), "\x02\x03\x04\x05");
    ASSERT_EQ(write(master, "\x06\x07", 2), 2);
    ASSERT_TRUE(port.Get(b));
    EXPECT_EQ(b, 0x06);
    port.PurgeInputBuffer();
    EXPECT_EQ(port.GetBytesInInBuf(), 0);
    // A terminal without control lines takes them without an error.
    EXPECT_NO_THROW(port.SetDTRHigh());
    EXPECT_NO_THROW(port.SetRTSLow());
    EXPECT_NO_THROW(port.SetDTR(false));
    // A line without modem lines is taken to carry the carrier.
    EXPECT_TRUE(port.IsDCDHigh());
}

TEST_F(SerialPort, SettingsReachTheTerminalInRawMode)
{
    port.SetBaudRate(br_19200);
    port.SetByteSize(bs7);
    port.SetParity(parOdd);
    port.SetStopBits(sb2_0);
    Open(50, 50, 5000);
    // A pseudo-terminal has no character framing: it keeps 8 bits without the
    // parity bit whatever is asked, and holds the rest of the request.
    termios t = Terminal();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), static_cast<tcflag_t>(PARODD));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP | INLCR | IGNCR));
    EXPECT_FALSE(t.c_oflag & OPOST);
    EXPECT_FALSE(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN));

    // Changed on an open port: in force at once.
    port.SetBaudRate(br115200);
    port.SetByteSize(bs8);
    port.SetParity(parSpace);
    port.SetStopBits(sb1_0);
    t = Terminal();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
    EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), static_cast<tcflag_t>(CMSPAR));
    EXPECT_FALSE(t.c_cflag & CSTOPB);
}

TEST_F(SerialPort, ReadTimeOutsEndARead)
{
    // Nothing comes: the total (per byte x 4 + constant) runs out.
    Open(50, 25, 200);
    uint8_t buffer[8];
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Receive(buffer, 4), 0);
    EXPECT_GE(ElapsedMs(start), 300 - 5);

    // Two bytes of ten come: the gap after them ends the read long before the total.
    port.SetTo(1, 0);
    port.SetTo(2, 5000);
    ASSERT_EQ(write(master, "ab", 2), 2);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Receive(buffer, 10), 2);
    EXPECT_LT(ElapsedMs(start), 2500);

    // One byte: false when it does not come.
    port.SetTo(2, 100);
    uint8_t b = 0;
    EXPECT_FALSE(port.Get(b));

    // The interval slot at its no-wait value without totals: at once.
    port.SetTo(0, TMSerialPort::kNoWait);
    port.SetTo(2, 0);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Receive(buffer, 4), 0);
    EXPECT_LT(ElapsedMs(start), 1000);
}

TEST_F(SerialPort, AVanishedDeviceIsReportedAtOnce)
{
    Open(50, 50, 5000);
    close(slave);
    slave = -1;
    close(master);
    master = -1;
    const auto start = std::chrono::steady_clock::now();
    uint8_t b = 0;
    EXPECT_THROW(port.Get(b), EMException);
    EXPECT_THROW(port.GetBytesInInBuf(), EMException);
    EXPECT_LT(ElapsedMs(start), 2000);
    try {
        port.Receive(&b, 1);
        FAIL();
    } catch (const EMException& e) {
        EXPECT_EQ(e.GetTitle(), "Port " + path + " przestał działać");
        EXPECT_EQ(e.GetCode(), "TMSerialPort");
    }
}

TEST_F(SerialPort, PortsThatCannotBeOpenedNameThePort)
{
    // The refusal's title and description; the port stays closed.
    auto refusal = [](TMSerialPort& p) {
        try {
            p.SetActive(true);
        } catch (const EMException& e) {
            EXPECT_FALSE(p.GetActive());
            return e.GetTitle() + "|" + e.GetDescription();
        }
        return std::string("opened");
    };
    TMSerialPort missing;
    missing.SetPortName("/nonexistent/ttyQ9");
    EXPECT_EQ(refusal(missing),
              "Nie można otworzyć portu /nonexistent/ttyQ9|/nonexistent/ttyQ9: brak takiego urządzenia");
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("plain"), "x");
    TMSerialPort plain;
    plain.SetPortName(dir.File("plain"));
    EXPECT_EQ(refusal(plain), "Nie można ustawić portu " + dir.File("plain") + "|" + dir.File("plain") +
                                  ": to nie jest port szeregowy");
    port.SetBaudRate(br_14400);
    EXPECT_EQ(refusal(port), "Nie można ustawić portu " + path + "|Prędkość 14400 b/s nie jest obsługiwana");

    uint8_t b = 0;
    EXPECT_THROW(port.Transmit(&b, 1, false), EMException);
    EXPECT_THROW(port.Receive(&b, 1), EMException);
}

TEST(SerialPortNames, ComNumbersNameTheSerialDevices)
{
    const std::pair<const char*, const char*> names[] = {{"COM1", "/dev/ttyS0"}, {"com12", "/dev/ttyS11"},
                                                         {"COM0", "COM0"},       {"COM", "COM"},
                                                         {"COM1x", "COM1x"},     {"COM+1", "COM+1"},
                                                         {"/dev/ttyUSB0", "/dev/ttyUSB0"}};
    for (const auto& [name, device] : names) EXPECT_EQ(TMSerialPort::DevicePath(name), device) << name;
}
