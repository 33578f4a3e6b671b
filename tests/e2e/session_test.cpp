// The session with the register through the real library: the card server
// locked for exactly the length of the connection, the register's model,
// fiscal state and number, and the link closed and the card server unlocked
// however a run ends. Over TCP/IP and over a serial line (a pseudo-terminal).
#include <gtest/gtest.h>

#include "card_server.h"
#include "host_lines.h"
#include "loopback.h"
#include "register_session.h"

namespace {

using Lines = std::vector<std::string>;
using testutil::CardServer;
using testutil::RefusingPort;
using testutil::Shows;
using testutil::UseCardServer;

Lines Screen(const RegisterSession& s) { return testutil::HostScreen(s.host.lines); }

bool HasErrorLine(const RegisterSession& s)
{
    return std::any_of(s.host.lines.begin(), s.host.lines.end(), [](const HostLine& l) { return l.kind == 2; });
}

const std::vector<int> kFullTest = {501, 18, 20, 15, 14, 501, 502, 2910, 2910, 2910, 2910, 2910, 321};

// What the card server and the register had seen at two moments of a run:
// when the driver announced that it opens the link, and when it announced
// the unlock. The register's noticing a closed link may lag behind the
// driver, so at the unlock it is given a moment to see it.
struct LockOrder {
    bool opening = false, unlocking = false;
    Lines recordAtOpening, eventsAtOpening, recordAtUnlock, eventsAtUnlock;

    void Watch(RegisterSession& s, const CardServer& card)
    {
        s.host.onLine = [this, &s, &card](const HostLine& line) {
            if (line.replaced) return;
            if (!opening && (line.text.rfind("Nawi\xB9zywanie po\xB3\xB9" "czenia TCP/IP", 0) == 0 ||
                             line.text.rfind("Otwieranie portu komunikacyjnego", 0) == 0)) {
                opening = true;
                recordAtOpening = card.Received();
                eventsAtOpening = s.LinkEvents();
            }
            if (!unlocking && line.text == "Zdalne odblokowanie serwera Norvik (SKP)") {
                unlocking = true;
                recordAtUnlock = card.Received();
                eventsAtUnlock = s.AwaitLinkEvents(2);
            }
        };
    }
};

}  // namespace

// A card server that closes the connection without a reply has taken the
// command: that is no failure.
TEST(CardServerLock, LastsExactlyAsLongAsTheConnection)
{
    const std::pair<RegisterLink, std::vector<std::string>> cases[] = {
        {RegisterLink::Tcp, {}}, {RegisterLink::Pty, {}}, {RegisterLink::Tcp, {"--close-unanswered"}}};
    for (const auto& [link, cardOptions] : cases) {
        SCOPED_TRACE((link == RegisterLink::Tcp ? "TCP/IP " : "serial ") + ::testing::PrintToString(cardOptions));
        RegisterSession s(testutil::ReadFile(REGSIM_SCENARIOS "/demo.json"), "", link);
        CardServer card(s.host, cardOptions);
        LockOrder order;
        order.Watch(s, card);

        EXPECT_EQ(s.Run(-1), 0);
        EXPECT_EQ(s.Commands(), kFullTest);
        EXPECT_FALSE(HasErrorLine(s));

        ASSERT_TRUE(order.opening);
        EXPECT_EQ(order.recordAtOpening, Lines{"DISABLE 0"});
        EXPECT_EQ(order.eventsAtOpening, Lines{}) << "the register was reached before the lock";
        ASSERT_TRUE(order.unlocking);
        EXPECT_EQ(order.recordAtUnlock, Lines{"DISABLE 0"}) << "unlocked before the end";
        EXPECT_EQ(order.eventsAtUnlock, (Lines{"connect", "disconnect"})) << "the link was still open at the unlock";
        EXPECT_EQ(card.Received(), (Lines{"DISABLE 0", "ENABLE 0"}));

        const Lines screen = Screen(s);
        EXPECT_TRUE(Shows(screen, "Zdalne zablokowanie serwera Norvik (SKP)\x01OK"));
        EXPECT_EQ(screen.back(), "Zdalne odblokowanie serwera Norvik (SKP)\x01OK");
    }
}

TEST(CardServer, DownIsAWarningNotInUseMakesNoConnectionAndTheRunGoesOnEitherWay)
{
    RefusingPort dead;
    ASSERT_NE(dead.port, 0);
    const std::string warning = "W:Serwer Kart Norvik (sk.exe) nie odpowiada.";
    for (const bool down : {true, false}) {
        RegisterSession s(testutil::ReadFile(REGSIM_SCENARIOS "/demo.json"));
        CardServer card(s.host);
        if (down) UseCardServer(s.host, dead.port);
        else s.host.SetParam("ComboSkpUse", "0");
        EXPECT_EQ(s.Run(-1), 0);
        EXPECT_EQ(s.Commands(), kFullTest);
        EXPECT_FALSE(HasErrorLine(s));
        EXPECT_TRUE(card.Received().empty());
        // Each lock line stays unmarked; when the server is down, the warning follows it.
        const Lines screen = Screen(s);
        const Lines lock = {"Zdalne zablokowanie serwera Norvik (SKP)"}, unlock = {"Zdalne odblokowanie serwera Norvik (SKP)"};
        const Lines head = down ? testutil::Concat(lock, {warning}) : lock;
        const Lines tail = down ? testutil::Concat(unlock, {warning}) : unlock;
        ASSERT_GE(screen.size(), 4u);
        EXPECT_EQ(Lines(screen.begin(), screen.begin() + static_cast<long>(head.size())), head) << down;
        EXPECT_EQ(Lines(screen.end() - static_cast<long>(tail.size()), screen.end()), tail) << down;
    }
}

TEST(RegisterModel, UnknownCodeIsShownWithAWarningAndTakenForCombo)
{
    // A fiscal byte outside the table is shown with its code as well.
    RegisterSession s(R"({"model": 32, "fiscalState": 7})");
    EXPECT_EQ(s.Run(-1), 0);
    // The name and the warning after it are pinned by the session's unit test.
    const Lines screen = Screen(s);
    EXPECT_TRUE(Shows(screen, "- typ protokołu komunikacyjnego: nieznany o kodzie 32"));
    EXPECT_TRUE(Shows(screen, "- tryb pracy: nieznany o kodzie 7"));
    // The run went on as with a Combo: no payment-form check on a fiscal register.
    EXPECT_EQ(s.Commands(), (std::vector<int>{501, 18, 20, 15, 14, 501, 502, 321}));
    EXPECT_FALSE(HasErrorLine(s));
}

TEST(RegisterModel, OnlyRegistersWithoutReceiptBufferWarnWhenReceiptsAreImported)
{
    const std::string warning = "W:Kasa nie posiada bufora paragonów!";
    struct Case {
        int model;
        const char* impMode;
        bool warns;
    };
    for (const Case& c : {Case{10, "1", true}, Case{2, "1", false}, Case{10, "0", false}}) {
        RegisterSession s("{\"model\": " + std::to_string(c.model) + "}");
        s.host.SetParam("ComboImpMode", c.impMode);
        EXPECT_EQ(s.Run(-1), 0);
        const Lines screen = Screen(s);
        const std::string model = c.model == 10 ? "MOBILE 1.03" : "NEO 1.01";
        const auto shown = std::find(screen.begin(), screen.end(),
                                     "Nawi\xB9zano po\xB3\xB9" "czenie z kas\xB9 " + model);
        ASSERT_NE(shown, screen.end()) << c.model;
        EXPECT_EQ(shown + 1 != screen.end() && shown[1] == warning, c.warns) << c.model << " " << c.impMode;
        EXPECT_EQ(testutil::CountOf(screen, warning), c.warns ? 1u : 0u);
        EXPECT_FALSE(HasErrorLine(s));
    }
}

TEST(SerialLink, ControlBytesInAnAnswerCrossTheLineIntact)
{
    // STX, ETX, the stuffing byte, CR, XON and XOFF inside a header line: a
    // line that is not raw would swallow or translate some of them.
    RegisterSession s(R"({"header": ["A\u0002B\u0003C\u0010D\u0011E\u0013F\rG"]})", "", RegisterLink::Pty);
    EXPECT_EQ(s.Run(-1), 0);
    EXPECT_FALSE(HasErrorLine(s));
    const Lines screen = Screen(s);
    // The host shows the line's text up to the CR, and the rest below it.
    const auto line = std::find(screen.begin(), screen.end(), "- linia 1: A\x02" "B\x03" "C\x10" "D\x11" "E\x13" "F");
    ASSERT_NE(line, screen.end()) << ::testing::PrintToString(screen);
    ASSERT_NE(line + 1, screen.end());
    EXPECT_EQ(line[1], "G");
}

// A serial port not given, one that cannot be opened, or a line that drops
// on the way: the failure is reported last, once the port is closed and the
// card server unlocked, in words the user can act on. The same over TCP/IP is
// pinned by the export's and the service functions' tests, the texts of a
// socket's failures by the client socket's.
TEST(SerialLink, AFailureIsReportedLastWithThePortClosedAndTheCardServerUnlocked)
{
    enum Case { NotGiven, Blank, CannotBeOpened, Dropped };
    for (const Case c : {NotGiven, Blank, CannotBeOpened, Dropped}) {
        SCOPED_TRACE(c);
        const bool opens = c == Dropped;
        RegisterSession s("", opens ? R"({"18": {"1": "dropConnection"}})" : "", RegisterLink::Pty);
        const std::string port = opens ? s.sim.PtyPath() : c == CannotBeOpened ? s.tmp.File("no-such-tty") : "";
        if (c == NotGiven)
            s.host.params.erase("COMBOPORT");
        else
            s.host.SetParam("ComboPort", c == Blank ? "  " : port);
        CardServer card(s.host);
        s.Run(-1);
        EXPECT_EQ(s.Commands(), (opens ? std::vector<int>{501, 18} : std::vector<int>{}));
        EXPECT_EQ(card.Received(), (Lines{"DISABLE 0", "ENABLE 0"}));
        EXPECT_EQ(s.AwaitLinkEvents(opens ? 2 : 0), (opens ? Lines{"connect", "disconnect"} : Lines{}));
        const Lines screen = Screen(s);
        if (c == NotGiven || c == Blank)
            EXPECT_FALSE(std::any_of(screen.begin(), screen.end(), [](const std::string& l) {
                return l.find("Otwieranie portu komunikacyjnego") != std::string::npos;
            })) << ::testing::PrintToString(screen);
        else
            EXPECT_TRUE(Shows(screen, (opens ? "" : "E:") + ("Otwieranie portu komunikacyjnego " + port) +
                                          (opens ? " ...\x01OK" : " ...")));
        EXPECT_EQ(Shows(screen, "Zamykanie portu komunikacyjnego ...\x01OK"), c != NotGiven && c != Blank);
        EXPECT_TRUE(Shows(screen, "Zdalne odblokowanie serwera Norvik (SKP)\x01OK"));
        // No line names the code that failed, only what failed and why.
        for (const std::string& line : screen) EXPECT_EQ(line.find("[T"), std::string::npos) << line;
        if (opens) {
            EXPECT_EQ(screen.back().rfind("E:Błąd komunikacji z kasą", 0), 0u) << screen.back();
        } else if (c == CannotBeOpened) {
            EXPECT_TRUE(Shows(screen, "E:Nie można otworzyć portu " + port));
            EXPECT_EQ(screen.back(), "E:" + port + ": brak takiego urządzenia");
        } else {
            EXPECT_EQ(screen.back(), "E:Nie podano portu komunikacyjnego (parametr ComboPort)")
                << ::testing::PrintToString(screen);
        }
    }
}
