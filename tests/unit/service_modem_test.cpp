// Service functions 3 and 4 (the register's modem set up, the modem hung up)
// run through the library's operation export in this process, against the
// modem simulator on a real pseudo-terminal, with the driver's pauses on a
// scaled clock. No register session is opened and the card server is never
// locked.
#include <gtest/gtest.h>

#include "card_server.h"
#include "host_lines.h"
#include "inprocess_host.h"
#include "modem_peer.h"
#include "orvdll.h"
#include "scaled_clock.h"

extern "C" int ORVDLLSerKasOperacja(void* lib, HORVCBARG2 call, HORVDLLSKSESJA* session, char* text, int operation,
                                    int parameter);

using namespace testutil;

namespace {

using Lines = std::vector<std::string>;

class ModemServiceFunctions : public ::testing::Test {
protected:
    ScaledClock clock;
    ClockScope clockScope{&clock};
    CardServer cards;
    InProcessHost in;
    ModemPeer modem;

    void SetUp() override
    {
        ASSERT_TRUE(cards.Ok());
        cards.Configure(in.host);
        in.host.SetParam("ComboSpeed", "3");
        in.host.SetParam("ComboModemTimeout", "45");
        in.Start();
        TVelLibrary::Issue(in.library.get());  // as registration hands it out
    }

    void StartModem(const std::vector<std::string>& extra = {})
    {
        modem.Start(0, extra);
        in.host.SetParam("ComboPort", modem.Pty());
    }

    // Operation -8 with the function's number, as the host calls it.
    int Run(int function)
    {
        char text[301] = {};
        HORVDLLSKSESJA session = nullptr;
        TVelLibrary* library = in.library.get();
        return ORVDLLSerKasOperacja(library, in.host.Call(), &session, text, -8, function);
    }

    HostLines Opening() const { return Step("Otwieranie portu komunikacyjnego " + modem.Pty() + " ..."); }
    static HostLines Closing() { return Step("Zamykanie portu komunikacyjnego"); }
};

const Lines kSetUpHead = {"AT&F", "AT&S1", "ATS7=45", "AT&C1", "AT&D2", "AT&H1", "ATY0"};
const Lines kSetUpTail = {"ATS0=1", "ATE0", "ATQ1", "AT&W1", "AT&W0"};

}  // namespace

TEST_F(ModemServiceFunctions, SetUpProgramsTheModemAtTheConfiguredSpeedAndTimeout)
{
    StartModem();
    EXPECT_EQ(Run(3), 0);
    const Lines commands = Concat(Concat(kSetUpHead, {"AT&N6"}), kSetUpTail);
    EXPECT_EQ(modem.AwaitCommands(commands.size()), commands);
    HostLines expected = Opening();
    for (const std::string& command : commands) expected += Step(command);
    expected += Closing();
    EXPECT_EQ(in.host.lines, expected);
    EXPECT_TRUE(cards.Received().empty());
}

TEST_F(ModemServiceFunctions, SetUpAtASpeedTheModemCannotTakeFailsWithThePortClosed)
{
    StartModem();
    in.host.SetParam("ComboSpeed", "5");  // 38400 bit/s
    Run(3);
    EXPECT_EQ(modem.Commands(), kSetUpHead);
    HostLines tail = Closing();
    tail += Failure("operacja [-8]", "Zmień prędkość komunikacji!");
    ASSERT_GE(in.host.lines.size(), tail.size());
    EXPECT_EQ(HostLines(in.host.lines.end() - static_cast<long>(tail.size()), in.host.lines.end()), tail);
    EXPECT_TRUE(cards.Received().empty());
}

TEST_F(ModemServiceFunctions, HangUpOfAModemInCommandMode)
{
    StartModem();
    EXPECT_EQ(Run(4), 0);
    // A pseudo-terminal shows no carrier line, so the driver takes the line
    // as up and escapes first; the modem, not on line, takes only the ATH.
    EXPECT_EQ(modem.Commands(), (Lines{"ATH"}));
    HostLines expected = Opening();
    expected += {Added("Zamykanie połączenia modemowego ...")};
    expected += Step("ATH");
    expected += Closing();
    EXPECT_EQ(in.host.lines, expected);
    EXPECT_TRUE(cards.Received().empty());
}

TEST_F(ModemServiceFunctions, HangUpRefusedIsReported)
{
    StartModem({"--answer", "ATH=ERROR"});
    Run(4);
    HostLines expected = Opening();
    expected += {Added("Zamykanie połączenia modemowego ..."), Added("ATH")};
    expected += Failure("operacja [-8]", "Problem z rozłączeniem połączenia telefonicznego. Spróbuj ręcznie!!!");
    EXPECT_EQ(in.host.lines, expected);
}
