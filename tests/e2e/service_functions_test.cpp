// Operation -8 through the real library against the register simulator: the
// communication report with its progress, the links each function refuses,
// the numbers that do nothing, and the card server's lock around a session
// that cannot be opened.
#include <gtest/gtest.h>

#include <memory>

#include "card_server.h"
#include "host_lines.h"
#include "loopback.h"
#include "register_session.h"

using namespace testutil;

namespace {

// Sessions whose card-server parameters point at a card-server simulator.
class ServiceFunctionsWithCardServer : public ::testing::Test {
protected:
    CardServer cards;
    void SetUp() override { ASSERT_TRUE(cards.Ok()); }
    std::unique_ptr<RegisterSession> Session()
    {
        auto s = std::make_unique<RegisterSession>();
        cards.Configure(s->host);
        return s;
    }
};

}  // namespace

// A report the register refuses, even quietly, fails the function.
TEST(ServiceFunctions, CommunicationReportShowsItsProgressThenOk)
{
    // A Combo: the export never asks it for this report, the service function does.
    RegisterSession s(R"({"model": 1, "reports": {"polls": 2, "pollIntervalMs": 10, "delayMs": 10}})");
    s.host.SetParam("ComboComplexOrdTimeout", "60");
    EXPECT_EQ(s.Run(-8, 5), 0);
    EXPECT_EQ(s.Commands(), (std::vector<int>{501, 1171}));
    EXPECT_TRUE(s.Journal().back()["fields"].empty());

    // Every busy byte and the final answer move the value on by 5.
    const std::string line = "Czekaj na wykonanie raportu na kasie...";
    HostLines expected = TcpOpening("COMBO 1.01");
    expected += {Added(line + ":\x01" "0"), Replaced(line + ":\x01" "5"), Replaced(line + ":\x01" "10"),
                 Replaced(line + ":\x01" "15"), Replaced(line + "\x01OK")};
    expected += TcpClosing();
    EXPECT_EQ(s.host.lines, expected);

    for (const char* code : {"909", "1"}) {
        RegisterSession refused(R"({"model": 1})",
                                R"({"1171": {"1": {"kind": "executionError", "code": )" + std::string(code) + "}}}");
        EXPECT_EQ(refused.Run(-8, 5), 0);
        HostLines failed = TcpOpening("COMBO 1.01");
        failed += {Added(line + ":\x01"
                                "0"),
                   Replaced(line, 2)};
        failed += TcpClosing();
        failed +=
            Failure("operacja [-8]", code == std::string("1")
                                         ? "Kasa zgłosiła błąd wykonania: [W1] - nieznany błąd przesłany przez kasę"
                                         : "[W909] - nieprawidłowy numer rekordu");
        EXPECT_EQ(refused.host.lines, failed) << code;
    }
}

TEST_F(ServiceFunctionsWithCardServer, AFailedConnectionStillUnlocksTheCardServer)
{
    RefusingPort refusing;
    ASSERT_NE(refusing.port, 0);
    for (int operation : {-1, -8}) {
        auto s = Session();
        s->host.device.number = 3;
        s->host.SetParam("ComboIpPort", std::to_string(refusing.port));
        s->Run(operation, 5);
        HostLines expected = Step("Zdalne zablokowanie serwera Norvik (SKP)");
        expected += {Added("Nawiązywanie połączenia TCP/IP..."), Replaced("Nawiązywanie połączenia TCP/IP...", 2)};
        expected += Step("Zamykanie połączenia TCP/IP...");
        expected += Step("Zdalne odblokowanie serwera Norvik (SKP)");
        ASSERT_EQ(s->host.lines.size(), expected.size() + 2) << operation;
        EXPECT_EQ(First(s->host.lines, expected.size()), expected) << operation;
        EXPECT_EQ(s->host.lines.back().kind, 2);
        EXPECT_FALSE(s->LinkEverOpened());
    }
    // The card server's numbers count from 0.
    EXPECT_EQ(cards.Received(), (std::vector<std::string>{"DISABLE 2", "ENABLE 2", "DISABLE 2", "ENABLE 2"}));
}

// File mode refuses the functions that need a session, any link but a serial
// port the modem's, and no port given too; other numbers do nothing. None
// locks the card server.
TEST_F(ServiceFunctionsWithCardServer, FunctionsRefusedOrIgnoredOpenNothing)
{
    const std::string serial = "Ustaw złącze na COMx", session = "Ustaw port komunikacyjny",
                      none = "Nie podano portu komunikacyjnego (parametr ComboPort)";
    const std::tuple<const char*, int, std::string> cases[] = {
        {"PLIK", 1, session}, {"PLIK", 2, session}, {"PLIK", 5, session}, {"TCP/IP", 3, serial}, {"TCP/IP", 4, serial},
        {"PLIK", 3, serial},  {"PLIK", 4, serial},  {"TCP/IP", 7, ""},   {"TCP/IP", 0, ""},     {"TCP/IP", -1, ""},
        {"TCP/IP", 100, ""},  {"", 3, none},        {" ", 4, none}};
    for (const auto& [port, function, error] : cases) {
        auto s = Session();
        s->host.SetParam("ComboPort", port);
        EXPECT_EQ(s->Run(-8, function), 0);
        EXPECT_EQ(s->host.lines, error.empty() ? HostLines{} : Failure("operacja [-8]", error)) << port << " " << function;
        EXPECT_FALSE(s->LinkEverOpened());
    }
    EXPECT_TRUE(cards.Received().empty());
}
