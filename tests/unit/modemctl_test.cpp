// The modem dialogue against the modem simulator on a real pseudo-terminal,
// with the driver's pauses on a scaled virtual clock: dialling and data
// through to a register peer, each dial outcome's text, hanging up with and
// without carrier, and the set-up of the register's modem with its speeds.
#include "ModemCtl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "echo_peer.h"
#include "host_lines.h"
#include "inprocess_host.h"
#include "modem_peer.h"
#include "recording_port.h"
#include "scaled_clock.h"
#include "thrown.h"

namespace {

using testutil::Concat;
using testutil::Thrown;
using testutil::TRecordingModemPort;
using Lines = std::vector<std::string>;

class ModemDialogue : public ::testing::Test {
protected:
    testutil::ScaledClock clock;
    testutil::ClockScope clockScope{&clock};
    InProcessHost in;
    std::unique_ptr<TVelComboAction> action;
    testutil::EchoPeer echo;
    testutil::ModemPeer modem;

    void SetUp() override
    {
        in.Start();
        action = in.NewAction();
    }

    void StartModem(const std::vector<std::string>& extra = {}) { modem.Start(echo.Port(), extra); }

    Lines Screen() const { return testutil::HostScreen(in.host.lines); }
    void ClearScreen() { in.host.lines.clear(); }

    std::string Opened() const { return "Otwieranie portu komunikacyjnego " + modem.Pty() + " ...\x01OK"; }
};

const Lines kInit = {"AT&F", "ATE0", "ATX2", "ATV1"};

}  // namespace

TEST(ModemAnswers, TheLastLineIsClassified)
{
    const std::pair<const char*, int> table[] = {
        {"\r\nOK\r\n", 0},        {"\r\nCONNECT 19200\r\n", 1}, {"\r\nCONNECT\r\n", 1},    {"\r\n3\r\n", 3},
        {"0\r", 0},              {"ATV0\r10\r", 10},           {"AT&F\r\r\nOK\r\n", 0},  // echo before the answer
        {"\r\nOK\r\n\r\nBUSY\r\n", 7}, {"\r\nRING\r\n", 2},      {"\r\nNO CARRIER\r\n", 3}, {"\r\nERROR\r\n", 4},
        {"\r\nNO DIALTONE\r\n", 6}, {"\r\nNO ANSWER\r\n", 8},     {"OK", 0},                 {"", -1},
        {"\r\n\r\n", -1},         {"\r\nHELLO\r\n", -1}};
    for (const auto& [answer, code] : table) EXPECT_EQ(TModemPort::ClassifyAnswer(answer), code) << answer;
}

TEST_F(ModemDialogue, DialsPassesDataAndHangsUp)
{
    StartModem();
    TRecordingModemPort port(action.get());
    port.OpenPort(modem.Pty(), br__9600, bs8, sb1_0, parNone);
    EXPECT_EQ(port.GetTo(0), 50u);
    EXPECT_EQ(port.GetTo(2), 5000u);
    EXPECT_EQ(port.GetInBufSize(), 2048);
    port.ModemConnect("555-1234", 60);

    EXPECT_TRUE(port.ConnectedViaModem);
    EXPECT_EQ(modem.Commands(), Concat(kInit, {"ATDT555-1234"}));
    EXPECT_EQ(Screen(), (Lines{Opened(), "Nawiązywanie połączenia modemowego ...", "AT&F\x01OK", "ATE0\x01OK",
                               "ATX2\x01OK", "ATV1\x01OK", "ATDT555-1234\x01OK"}));
    // The pauses before the first command and after the connection.
    EXPECT_EQ(clock.Sleeps().front(), 3000u);
    EXPECT_EQ(clock.Sleeps().back(), 3000u);

    // Bytes the frame protocol needs, and "+" without a guard time, pass both ways.
    const std::string frame("\x10\x02\x00\x03+++\xFF\x11\x13\x0D\x10\x03", 14);
    port.Transmit(frame.data(), static_cast<int>(frame.size()), true);
    std::string back(frame.size(), '?');
    EXPECT_EQ(port.Receive(back.data(), static_cast<int>(back.size())), static_cast<int>(frame.size()));
    EXPECT_EQ(back, frame);

    ClearScreen();
    port.events.clear();
    EXPECT_TRUE(port.ModemDisconnect());
    EXPECT_FALSE(port.ConnectedViaModem);
    const Lines hungUp = Concat(kInit, {"ATDT555-1234", "+++", "ATH"});
    EXPECT_EQ(modem.AwaitCommands(hungUp.size()), hungUp);
    EXPECT_EQ(Screen(), (Lines{"Zamykanie połączenia modemowego ...", "ATH\x01OK"}));
    ASSERT_EQ(port.Names(), (Lines{"DCD?", "RTS off", "TX +++", "TX ATH\r"}));
    // Guard times around the escape: 3000 + 1500 ms before, 1500 after (then
    // the pause before every command).
    EXPECT_EQ(port.events[2].ms - port.events[1].ms, 4500u);
    EXPECT_EQ(port.events[3].ms - port.events[2].ms, 1500u + 300u);

    ClearScreen();
    port.ClosePort();
    EXPECT_FALSE(port.GetActive());
    EXPECT_EQ(Screen(), (Lines{"Zamykanie portu komunikacyjnego\x01OK"}));
}

TEST_F(ModemDialogue, EachDialOutcomeGivesItsText)
{
    StartModem({"--outcome", "111=BUSY", "--outcome", "222=NO CARRIER", "--outcome", "333=NO DIALTONE", "--outcome",
                "444=NO ANSWER", "--outcome", "555=SILENT"});
    TRecordingModemPort port(action.get());
    port.OpenPort(modem.Pty(), br_19200, bs8, sb1_0, parNone);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"111", "Błąd! Druga strona zajęta."}, {"222", "Błąd! Brak nośnej - brak modemu po drugiej stronie?"},
        {"333", "Błąd! Brak sygnału - czy modem podłączony do linii?"}, {"444", "Błąd! Modem kasy nie odpowiada."}};
    for (const auto& [number, text] : cases) {
        ClearScreen();
        EXPECT_EQ(Thrown([&] { port.ModemConnect(number, 30); }), text) << number;
        EXPECT_EQ(Screen().back(), "ATDT" + number) << "the dial line stays unmarked";
        EXPECT_FALSE(port.ConnectedViaModem);
        EXPECT_TRUE(port.GetActive());
    }

    // Silence at the dial is an answer outside the table: the line is marked,
    // then the code is shown. The answer was awaited for the given time.
    ClearScreen();
    port.events.clear();
    EXPECT_EQ(Thrown([&] { port.ModemConnect("555", 7); }), "Błąd inicjalizacji modemu! (-1)");
    EXPECT_EQ(Screen().back(), "ATDT555\x01OK");
    ASSERT_EQ(port.Names().back(), "TX ATDT555\r");
    const uint64_t waited = GetTickCount64() - port.events.back().ms;
    EXPECT_GE(waited, 7000u);
    EXPECT_LE(waited, 7000u + 2 * TModemTimes::PollMs);
}

TEST_F(ModemDialogue, InitialisationAndSetUpFailures)
{
    TModemPort closed(action.get());
    EXPECT_EQ(Thrown([&] { closed.ModemConnect("1", 30); }), "Otwórz port komunikacyjny!");
    EXPECT_TRUE(in.host.lines.empty());
    // A speed the modem cannot take is pinned by the service function's test.
    // The set-up tries the factory reset twice and closes the port on failure.
    const struct {
        const char* answer;
        bool setUp;
        const char* text;
        Lines commands;
    } cases[] = {{"ATX2=ERROR", false, "Błąd inicjalizacji modemu! (4)", {"AT&F", "ATE0", "ATX2"}},
                 {"AT&F=SILENT", false, "Brak odpowiedzi modemu!", {"AT&F"}},
                 {"AT&F=ERROR", true, "Błąd inicjalizacji modemu! (4)", {"AT&F", "AT&F"}},
                 {"AT&D2=SILENT", true, "Brak odpowiedzi modemu!", {"AT&F", "AT&S1", "ATS7=30", "AT&C1", "AT&D2"}}};
    for (const auto& c : cases) {
        StartModem({"--answer", c.answer});
        TModemPort port(action.get());
        if (!c.setUp) port.OpenPort(modem.Pty(), br__9600, bs8, sb1_0, parNone);
        EXPECT_EQ(Thrown([&] {
                      if (c.setUp) port.ModemSetUp(modem.Pty(), br__9600, 30);
                      else port.ModemConnect("1", 30);
                  }),
                  c.text);
        EXPECT_EQ(modem.AwaitCommands(c.commands.size()), c.commands) << c.answer;
        EXPECT_TRUE(!c.setUp || !port.GetActive()) << "the set-up closes the port";
    }
}

TEST_F(ModemDialogue, NoCarrierAfterConnect)
{
    StartModem();
    TRecordingModemPort port(action.get());
    port.carrier = false;
    port.OpenPort(modem.Pty(), br__9600, bs8, sb1_0, parNone);
    EXPECT_EQ(Thrown([&] { port.ModemConnect("12", 30); }), "Błąd ! Brak nośnej!");
    EXPECT_FALSE(port.ConnectedViaModem);
    // The carrier was looked at, between pauses, for 2000 hundredths.
    std::vector<uint64_t> checks;
    for (const auto& e : port.events)
        if (e.what == "DCD?") checks.push_back(e.ms);
    ASSERT_GE(checks.size(), 2u);
    EXPECT_EQ(checks.back() - checks.front(), 20000u);
    EXPECT_EQ(checks[1] - checks[0], TModemTimes::PollMs);
}

TEST_F(ModemDialogue, HangUpWithCarrierEscapesFirst)
{
    StartModem();
    {
        TModemPort first(action.get());
        first.OpenPort(modem.Pty(), br__9600, bs8, sb1_0, parNone);
        first.ModemConnect("42", 30);
        first.SetActive(false);  // left connected, as by a failed run
    }
    ClearScreen();
    TRecordingModemPort port(action.get());
    port.modemOnLine = true;
    port.ModemHangUp(modem.Pty(), br__9600);
    EXPECT_FALSE(port.GetActive());
    EXPECT_EQ(std::tuple(port.GetByteSize(), port.GetParity(), port.GetStopBits()), std::tuple(bs7, parOdd, sb1_0));
    const Lines hungUp = Concat(kInit, {"ATDT42", "+++", "ATH"});
    EXPECT_EQ(modem.AwaitCommands(hungUp.size()), hungUp);
    EXPECT_EQ(port.Names(), (Lines{"RTS on", "DTR on", "DCD?", "RTS off", "TX +++", "TX ATH\r", "RTS off", "DTR off"}));
    EXPECT_EQ(Screen(), (Lines{Opened(), "Zamykanie połączenia modemowego ...", "ATH\x01OK",
                               "Zamykanie portu komunikacyjnego\x01OK"}));
}

TEST_F(ModemDialogue, TheAnswerToTheEscapeIsNotTakenForTheAnswerToTheHangUp)
{
    StartModem({"--answer", "ATH=SILENT"});
    // The recording port has the modem's "OK" to the escape in before the
    // driver's guard time ends.
    TRecordingModemPort port(action.get());
    port.OpenPort(modem.Pty(), br__9600, bs8, sb1_0, parNone);
    port.ModemConnect("42", 30);
    EXPECT_EQ(Thrown([&] { port.ModemDisconnect(); }), "Brak odpowiedzi modemu!");
    EXPECT_TRUE(port.ConnectedViaModem);
}

TEST_F(ModemDialogue, HangUpWithoutCarrierSendsNoEscape)
{
    StartModem();
    TRecordingModemPort port(action.get());
    port.carrier = false;
    port.ModemHangUp(modem.Pty(), br__2400);
    EXPECT_EQ(modem.Commands(), (Lines{"ATH"}));
    EXPECT_EQ(port.Names(), (Lines{"RTS on", "DTR on", "DCD?", "TX ATH\r", "RTS off", "DTR off"}));

    ClearScreen();
    EXPECT_FALSE(port.ModemDisconnect());  // closed
    EXPECT_TRUE(Screen().empty());
}

namespace {
const Lines kSetUpHead = {"AT&F", "AT&S1", "ATS7=30", "AT&C1", "AT&D2", "AT&H1", "ATY0"};
const Lines kSetUpTail = {"ATS0=1", "ATE0", "ATQ1", "AT&W1", "AT&W0"};
}  // namespace

TEST_F(ModemDialogue, SetUpFallsBackToS37AtEachSpeed)
{
    StartModem({"--answer", "AT&N1=ERROR", "--answer", "AT&N2=ERROR", "--answer", "AT&N3=ERROR", "--answer",
                "AT&N4=ERROR", "--answer", "AT&N6=ERROR", "--answer", "AT&N10=ERROR"});
    const std::vector<std::tuple<TMBaudRate, std::string, std::string>> speeds = {
        {br___300, "AT&N1", "ATS37=3"}, {br__1200, "AT&N2", "ATS37=5"}, {br__2400, "AT&N3", "ATS37=5"},
        {br__4800, "AT&N4", "ATS37=7"}, {br__9600, "AT&N6", "ATS37=9"}, {br_19200, "AT&N10", "ATS37=13"}};
    for (const auto& [speed, atN, s37] : speeds) {
        modem.ClearCommands();
        TModemPort port(nullptr);  // without an action: no message lines
        port.ModemSetUp(modem.Pty(), speed, 30);
        const Lines commands = Concat(Concat(kSetUpHead, {atN, s37}), kSetUpTail);
        EXPECT_EQ(modem.AwaitCommands(commands.size()), commands) << atN;
        EXPECT_FALSE(port.GetActive());
        EXPECT_EQ(port.GetByteSize(), bs7);
        EXPECT_EQ(port.GetParity(), parOdd);
    }
    EXPECT_TRUE(in.host.lines.empty());
}

TEST_F(ModemDialogue, SetUpProblemsThatDoNotStopIt)
{
    StartModem({"--answer", "AT&C1=ERROR", "--answer", "AT&H1=ERROR", "--answer", "AT&N10=ERROR", "--answer",
                "ATS37=13=ERROR"});
    TModemPort port(action.get());
    port.ModemSetUp(modem.Pty(), br_19200, 30);
    EXPECT_EQ(Screen(),
              (Lines{Opened(), "AT&F\x01OK", "AT&S1\x01OK", "ATS7=30\x01OK", "AT&C1", "Błąd inicjalizacji modemu! (4)",
                     "AT&D2\x01OK", "E:AT&H1", "Błąd nr 4",
                     "To może, lecz nie musi uniemożliwić korzystanie z modemu jako kasowego.", "ATY0\x01OK", "AT&N10",
                     "ATS37=13", "Nie udaje się wymusić odpowiedniej prędkości", "ATS0=1\x01OK", "ATE0\x01OK",
                     "ATQ1\x01OK", "AT&W1\x01OK", "AT&W0\x01OK", "Zamykanie portu komunikacyjnego\x01OK"}));
}

TEST(ModemClock, WaitsRunOnSixtyFourBitTicks)
{
    // Start just before the 32-bit millisecond counter would wrap.
    testutil::ScaledClock clock((uint64_t{1} << 32) - 500);
    testutil::ClockScope scope(&clock);
    testutil::ModemPeer modem;
    modem.Start(0, {"--answer", "AT=SILENT"});
    struct GrowingPort : TModemPort {
        using TModemPort::TModemPort;
        int grown = -1;  // from 0: every look finds one byte more
        int GetBytesInInBuf() override
        {
            const int real = TModemPort::GetBytesInInBuf();
            return real > 0 && grown >= 0 ? real + ++grown : real;
        }
    } port(nullptr);
    port.OpenPort(modem.Pty(), br__9600, bs8, sb1_0, parNone);
    const uint64_t start = GetTickCount64();
    EXPECT_EQ(port.TalkAndListen("AT", 100), -1);
    const uint64_t spent = GetTickCount64() - start;
    // The clock moves only by the driver's pauses: the pause before the
    // command, then polls until exactly the hundred hundredths have passed.
    EXPECT_EQ(spent, TModemTimes::BeforeCommandMs + 1000u);
    // A command that is not awaited gives 0 at once.
    EXPECT_EQ(port.TalkAndListen("AT", 0), 0);
    // An answer that keeps growing is read after a bounded number of settle
    // waits. The modem, in another process, has as much real time to answer
    // as any peer (the time-out is in hundredths of a second of the clock's
    // time).
    port.grown = 0;
    const size_t before = clock.Sleeps().size();
    EXPECT_EQ(port.TalkAndListen("ATE0", static_cast<int>(testutil::kEventWaitMs * clock.Divisor() / 10)), 0);
    EXPECT_EQ(std::count(clock.Sleeps().begin() + static_cast<long>(before), clock.Sleeps().end(),
                         TModemTimes::SettleWait100 * 10),
              TModemTimes::SettleTries);
}

TEST(ModemTexts, ComeThroughTheLibrarysTextTool)
{
    InProcessHost in;
    in.host.hasTexts = true;
    in.host.texts["veltools_ModemCtl/Otwórz port komunikacyjny!"] = "Open the port first!";
    in.Start();
    auto action = in.NewAction();
    TModemPort port(action.get());
    EXPECT_EQ(Thrown([&] { port.ModemConnect("1", 30); }), "Open the port first!");
}
