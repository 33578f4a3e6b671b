// The session's steps driven on an action in this process, where the pauses
// run on a scaled clock and a recording port shows the control lines: the
// serial line and its settings, the multiplexer channels, the model table and
// the fiscal state, and the register reached through a dial-up modem with
// the two modem service functions.
#include <gtest/gtest.h>

#include <filesystem>

#include "ModemCtl.h"
#include "card_server.h"
#include "host_lines.h"
#include "inprocess_host.h"
#include "modem_peer.h"
#include "recording_port.h"
#include "register_session.h"
#include "scaled_clock.h"
#include "thrown.h"

namespace {

using Lines = std::vector<std::string>;
using testutil::kNothingThrown;
using testutil::Shows;
using testutil::Thrown;
using testutil::TRecordingModemPort;
using Event = TRecordingModemPort::Event;

// How the recording port shows a frame sent: DLE STX first.
const std::string kFrameStart = "TX \x10\x02";

// A recording port that leaves its record behind when the session deletes it.
class KeptRecordingPort : public TRecordingModemPort {
public:
    KeptRecordingPort(TVelActionBase* action, std::vector<Event>& kept) : TRecordingModemPort(action), FKept(kept) {}
    ~KeptRecordingPort() override { FKept = events; }

private:
    std::vector<Event>& FKept;
};

class SessionAction : public TVelComboAction {
public:
    using TVelComboAction::TVelComboAction;
    using TVelComboAction::DataSet;
    using TVelComboAction::fiscalMode;
    using TVelComboAction::FPort;
    using TVelComboAction::protType;

    bool recordPort = false;
    // The open link's recorder (valid while FPort holds it), and the record
    // of the last port once it is gone.
    TRecordingModemPort* recorder = nullptr;
    std::vector<Event> portEvents;

    // The control-line and multiplexer events, up to the first frame sent.
    Lines EventsBeforeFirstFrame() const
    {
        Lines names;
        for (const Event& e : Events()) {
            if (e.what.rfind(kFrameStart, 0) == 0) break;
            names.push_back(e.what);
        }
        return names;
    }
    const std::vector<Event>& Events() const { return recorder && FPort ? recorder->events : portEvents; }

protected:
    std::unique_ptr<TModemPort> NewPort() override
    {
        if (!recordPort) return TVelComboAction::NewPort();
        auto port = std::make_unique<KeptRecordingPort>(this, portEvents);
        recorder = port.get();
        return port;
    }
};

class Session : public ::testing::Test {
protected:
    testutil::ScaledClock clock;
    testutil::ClockScope clockScope{&clock};
    testutil::TempDir dir;
    InProcessHost in;
    std::unique_ptr<SessionAction> action;
    peerproc::PeerProcess sim;
    std::string journal = dir.File("journal.jsonl");

    void SetUp() override
    {
        in.host.device.folder = dir.Folder();
        in.Start();
    }

    void StartRegister(const std::vector<std::string>& link, const std::string& scenario = "{}",
                       const std::string& faults = "")
    {
        std::vector<std::string> args = testutil::RegsimArgs(dir, journal, scenario, faults);
        args.insert(args.end(), link.begin(), link.end());
        sim.Start(REGSIM_EXE, args);
    }
    void StartRegisterOnPty(const std::string& scenario = "{}") { StartRegister({"--pty"}, scenario); }
    void UseRegisterOverTcp(int port) { testutil::UseRegisterOverTcp(in.host, port); }

    void Param(const std::string& name, const std::string& value) { in.host.SetParam(name, value); }

    SessionAction& NewAction(bool recordPort = false)
    {
        action = in.NewAction<SessionAction>();
        action->recordPort = recordPort;
        action->ReadParams();
        return *action;
    }

    Lines Screen() const { return testutil::HostScreen(in.host.lines); }

    std::vector<nlohmann::json> JournalLines() const { return regsim::ReadJournal(journal); }
    std::vector<int> Commands() const
    {
        std::vector<int> codes;
        for (const auto& line : JournalLines())
            if (line.contains("cmd")) codes.push_back(line["cmd"].get<int>());
        return codes;
    }
    // Waits until the simulator has journalled as many link events.
    void AwaitDisconnects(size_t count)
    {
        testutil::WaitUntil(
            [&] {
                size_t seen = 0;
                for (const auto& line : JournalLines()) seen += line.value("event", "") == "disconnect";
                return seen >= count;
            },
            testutil::kEventWaitMs);
    }
    void ExpectNoViolations() const { EXPECT_EQ(regsim::JournalViolations(journal), Lines{}); }
};

const std::string kConnected = "Nawi\xB9zano po\xB3\xB9" "czenie z kas\xB9 ";

}  // namespace

// --- The serial line --------------------------------------------------------------

TEST_F(Session, SpeedFollowsTheSettingAndAnythingElseIs9600)
{
    const std::pair<const char*, TMBaudRate> cases[] = {
        {"0", br__1200}, {"1", br__2400}, {"2", br__4800},  {"3", br__9600},  {"4", br_19200}, {"5", br_38400},
        {"6", br_57600}, {"7", br115200}, {"8", br__9600},  {"99", br__9600}, {"-1", br__9600}};
    for (const auto& [setting, speed] : cases) {
        Param("ComboSpeed", setting);
        EXPECT_EQ(NewAction().Speed(), speed) << setting;
    }
}

TEST_F(Session, SerialLineIsOpenedWithItsSettingsAndClosed)
{
    StartRegisterOnPty();
    Param("ComboPort", sim.PtyPath());
    Param("ComboSpeed", "6");
    Param("ComboDedbug", "1");
    SessionAction& a = NewAction();
    a.LogInit();
    a.OpenPort();

    ASSERT_TRUE(a.FPort);
    EXPECT_EQ(std::tuple(a.FPort->GetBaudRate(), a.FPort->GetByteSize(), a.FPort->GetParity(), a.FPort->GetStopBits()),
              std::tuple(br_57600, bs8, parNone, sb1_0));
    const std::vector<uint32_t> slots = {a.FPort->GetTo(0), a.FPort->GetTo(1), a.FPort->GetTo(2), a.FPort->GetTo(3),
                                         a.FPort->GetTo(4)};
    EXPECT_EQ(slots, (std::vector<uint32_t>{50, 50, 5000, 50, 5000}));
    EXPECT_EQ(a.protType, pt_Neo);
    EXPECT_EQ(a.fiscalMode, fm_NotFiscal);
    EXPECT_TRUE(clock.Sleeps().empty()) << "no multiplexer, no pause";

    a.ClosePort();
    EXPECT_FALSE(a.FPort);
    EXPECT_EQ(Screen(), (Lines{"Zdalne zablokowanie serwera Norvik (SKP)",
                               "Otwieranie portu komunikacyjnego " + sim.PtyPath() + " ...\x01OK",
                               kConnected + "NEO 1.01", "Zamykanie portu komunikacyjnego ...\x01OK",
                               "Zdalne odblokowanie serwera Norvik (SKP)"}));
    AwaitDisconnects(1);
    EXPECT_EQ(Commands(), std::vector<int>{501});
    ExpectNoViolations();

    // Opening and closing are in the protocol trace too.
    const auto logs = std::filesystem::directory_iterator(dir.File("log"));
    const std::string trace = testutil::ReadFile(logs->path().string());
    EXPECT_NE(trace.find("Otwieranie portu komunikacyjnego " + sim.PtyPath() + " ..."), std::string::npos) << trace;
    EXPECT_NE(trace.find("Zamykanie portu komunikacyjnego ..."), std::string::npos);
}

// --- The multiplexer ----------------------------------------------------------

TEST_F(Session, MultiplexerChannelsOneToFourAreChosenByTheControlLinesAndOthersTouchNone)
{
    StartRegisterOnPty();
    Param("ComboPort", sim.PtyPath());
    const std::pair<const char*, Lines> table[] = {
        {"1", {"RTS on", "DTR off"}}, {"2", {"RTS on", "DTR on"}}, {"3", {"RTS off", "DTR off"}},
        {"4", {"RTS off", "DTR on"}}, {"0", {}}, {"13", {}}, {"-1", {}}};
    for (const auto& [channel, lines] : table) {
        testutil::ScaledClock channelClock;
        testutil::ClockScope scope(&channelClock);
        Param("ComboKanMul", channel);
        SessionAction& a = NewAction(true);
        // A pseudo-terminal has no control lines: refusing them is no error.
        a.OpenPort();
        EXPECT_EQ(a.EventsBeforeFirstFrame(), lines) << channel;
        EXPECT_EQ(channelClock.Sleeps(), lines.empty() ? std::vector<uint32_t>{} : std::vector<uint32_t>{300})
            << channel;
        if (!lines.empty()) {
            const auto& e = a.Events();
            ASSERT_GT(e.size(), 2u);
            EXPECT_EQ(e[2].ms - e[1].ms, 300u) << "the first frame waits for the channel";
        }
        EXPECT_EQ(a.protType, pt_Neo) << "the register answered";
        a.ClosePort();
    }
    ExpectNoViolations();
}

TEST_F(Session, MultiplexerChannelsFiveToTwelveAreChosenByACommandByte)
{
    for (int channel = 5; channel <= 12; ++channel) {
        const int selector = channel - 4;
        // The register is served only after 0xFE and its selector.
        peerproc::PeerProcess muxSim;
        const std::string muxJournal = dir.File("mux" + std::to_string(channel) + ".jsonl");
        muxSim.Start(REGSIM_EXE, {"--pty", "--mux", std::to_string(selector), "--journal", muxJournal});
        testutil::ScaledClock channelClock;
        testutil::ClockScope scope(&channelClock);
        Param("ComboPort", muxSim.PtyPath());
        Param("ComboKanMul", std::to_string(channel));
        SessionAction& a = NewAction(true);
        a.OpenPort();

        const std::string put = std::string("PUT 0") + static_cast<char>('0' + selector) + " wait";
        EXPECT_EQ(a.EventsBeforeFirstFrame(),
                  (Lines{"RTS off", "DTR off", "RTS on", "DTR on", "PUT FE wait", put, "RTS off"}))
            << channel;
        const auto& e = a.Events();
        ASSERT_GT(e.size(), 7u);
        for (size_t i : {1, 3, 5}) EXPECT_EQ(e[i + 1].ms - e[i].ms, 500u);
        EXPECT_EQ(channelClock.Sleeps(), (std::vector<uint32_t>{500, 500, 500}));
        EXPECT_EQ(a.protType, pt_Neo) << "the register answered on channel " << channel;
        a.ClosePort();

        const auto lines = regsim::ReadJournal(muxJournal);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[1].value("event", "") + " " + lines[1].value("detail", ""), "channel " + std::to_string(selector));
        EXPECT_EQ(lines[2].value("cmd", 0), 501);
        EXPECT_EQ(regsim::JournalViolations(muxJournal), Lines{});
    }
}

// --- Model and fiscal state -----------------------------------------------------

TEST_F(Session, EachModelCodeGivesItsNameAndFamilyAndTheFiscalByteItsMode)
{
    // The ends of the table and a model of every other family; then codes
    // outside the table: the family stays the default one, with a warning.
    // A fiscal byte outside the table is taken for fiscal.
    const std::tuple<int, const char*, e_ProtocolType, int, e_FiscalMode> table[] = {
        {1, "COMBO 1.01", pt_Combo, 0, fm_NotFiscal},         {2, "NEO 1.01", pt_Neo, 1, fm_Fiscal},
        {3, "COMBO 1.02", pt_Combo102, 2, fm_ReadOnly},       {4, "NEO 1.02", pt_Neo102, 3, fm_Fiscal},
        {5, "BINGO HS 3.02", pt_Bingo, 7, fm_Fiscal},         {10, "MOBILE 1.03", pt_Mobile, 255, fm_Fiscal},
        {11, "BINGO HS EJ 4.01", pt_BingoHS, 0, fm_NotFiscal}, {23, "MOBILE HS EJ 1.01", pt_MobileHS, 0, fm_NotFiscal},
        {24, "NEO XL EJ 2.01", pt_Neo201, 0, fm_NotFiscal},   {25, "BINGO HS EJ 4.03", pt_BingoHS2, 0, fm_NotFiscal},
        {28, "BINGO HS XL EJ 1.01", pt_BingoXL, 0, fm_NotFiscal}, {29, "NEO XL 3.01", pt_Neo301, 0, fm_NotFiscal},
        {42, "ERGO 1.02", pt_Revo, 0, fm_NotFiscal},          {0, "<niezidentyfikowany>", pt_Combo, 0, fm_NotFiscal},
        {13, "<nieznana o kodzie 13>", pt_Combo, 0, fm_NotFiscal}, {32, "<nieznana o kodzie 32>", pt_Combo, 1, fm_Fiscal},
        {255, "<nieznana o kodzie 255>", pt_Combo, 0, fm_NotFiscal}};
    const std::string warning = "W:Błąd podczas odczytu typu kasy. Przyjęto domyślnie Combo";
    for (const auto& [code, name, type, state, mode] : table) {
        peerproc::PeerProcess modelSim;
        const std::string modelJournal = dir.File("model" + std::to_string(code) + ".jsonl");
        testutil::WriteFile(dir.File("model.json"), "{\"model\": " + std::to_string(code) +
                                                        ", \"fiscalState\": " + std::to_string(state) + "}");
        modelSim.Start(REGSIM_EXE, {"--tcp", "0", "--scenario", dir.File("model.json"), "--journal", modelJournal});
        UseRegisterOverTcp(modelSim.Port());
        in.host.lines.clear();
        SessionAction& a = NewAction();
        a.OpenPort();
        EXPECT_EQ(a.protType, type) << code;
        EXPECT_EQ(a.fiscalMode, mode) << code;
        const Lines screen = Screen();
        const auto shown = std::find(screen.begin(), screen.end(), kConnected + name);
        ASSERT_NE(shown, screen.end()) << code;
        const bool inTable = name[0] != '<';
        EXPECT_EQ(shown + 1 != screen.end() && shown[1] == warning, !inTable) << code;
        a.ClosePort();
        EXPECT_EQ(regsim::JournalViolations(modelJournal), Lines{});
    }
}

TEST_F(Session, AMalformedStatusAnswerKeepsWhatWasReadWithAWarningAndTheNumberIsTrimmed)
{
    // A COMBO 1.03 whose answer ends before the fiscal state.
    StartRegister({"--tcp", "0"}, R"({"registerNumber": " 12 ", "overrides": {"501": {"fields": [["B", 6]]}}})");
    UseRegisterOverTcp(sim.Port());
    in.host.device.number = 12;
    SessionAction& a = NewAction();
    a.OpenPort();
    EXPECT_EQ(a.protType, pt_Combo102);
    EXPECT_EQ(a.fiscalMode, fm_Fiscal);
    const Lines screen = Screen();
    ASSERT_GE(screen.size(), 2u);
    EXPECT_EQ(screen[screen.size() - 2], kConnected + "COMBO 1.03");
    EXPECT_EQ(screen.back(), "W:Błąd podczas odczytu typu kasy. Przyjęto domyślnie Combo");
    // The link stays usable.
    in.host.lines.clear();
    EXPECT_TRUE(a.CheckNumber());
    EXPECT_EQ(Screen(), (Lines{"Odczyt numeru kasy...\x01OK", "- kasa o numerze: 12"}));
    a.ClosePort();
    ExpectNoViolations();
}

// --- Through a dial-up modem ------------------------------------------------------------

namespace {
const Lines kDialInit = {"AT&F", "ATE0", "ATX2", "ATV1"};

// A session whose link hangs up with the escape records its port: the
// recording port awaits the modem's answer to the escape (recording_port.h).
class ModemSession : public Session {
protected:
    testutil::ModemPeer modem;
    testutil::CardServer card;

    // The register behind the modem, the card server beside it.
    void StartModem(const std::vector<std::string>& extra = {}, const std::string& scenario = "{}",
                    const std::string& faults = "")
    {
        StartRegister({"--tcp", "0"}, scenario, faults);
        modem.Start(sim.Port(), extra);
        ASSERT_TRUE(card.Ok());
        Param("ComboPort", modem.Pty());
        Param("ComboModemPhone", "555 1234");
        Param("ComboModemTimeout", "30");
        card.Configure(in.host);
    }

    // Runs an operation as the host's call does; the message of its failure.
    std::string Run(int operation, int parameter = 0)
    {
        HORVDLLSRODOWISKO env;
        env.Wynik = 7;
        const std::string failure = Thrown([&] { action->Operacja(&env, operation, parameter); });
        if (failure == kNothingThrown) {
            EXPECT_EQ(env.Wynik, 0);
        }
        return failure;
    }
};

// Where line occurs in lines; lines.size() when it does not.
size_t IndexOf(const Lines& lines, const std::string& line)
{
    return static_cast<size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}
}  // namespace

TEST_F(ModemSession, ConnectionTestThroughTheModem)
{
    StartModem();
    Param("ComboKanMul", "2");
    NewAction(true);
    EXPECT_EQ(Run(-1), kNothingThrown);

    EXPECT_EQ(Commands(), (std::vector<int>{501, 18, 20, 15, 14, 501, 502, 321}));
    ExpectNoViolations();
    // Dialled, then hung up with the escape: the carrier was on.
    const Lines dialled = testutil::Concat(kDialInit, {"ATDT555 1234", "+++", "ATH"});
    EXPECT_EQ(modem.AwaitCommands(dialled.size()), dialled);
    EXPECT_EQ(card.Received(), (Lines{"DISABLE 0", "ENABLE 0"}));

    // The dialogue's own lines are pinned by the modem's tests.
    const Lines screen = Screen();
    const size_t dialLine = IndexOf(screen, "ATDT555 1234\x01OK");
    ASSERT_LT(dialLine + 1, screen.size());
    EXPECT_EQ(screen[dialLine + 1], kConnected + "NEO 1.01");
    const Lines closing = {"Zamykanie połączenia modemowego ...", "ATH\x01OK",
                           "Zamykanie portu komunikacyjnego ...\x01OK",
                           "Zdalne odblokowanie serwera Norvik (SKP)\x01OK"};
    EXPECT_EQ(Lines(screen.end() - static_cast<long>(closing.size()), screen.end()), closing);

    // The multiplexer channel is chosen once the modem is connected, and the
    // first frame waits for it.
    Lines names;
    for (const Event& e : action->portEvents) names.push_back(e.what);
    const size_t dial = IndexOf(names, "TX ATDT555 1234\r");
    ASSERT_LT(dial + 4, names.size());
    EXPECT_EQ(Lines(names.begin() + static_cast<long>(dial) + 1, names.begin() + static_cast<long>(dial) + 4),
              (Lines{"DCD?", "RTS on", "DTR on"}));
    const auto& e = action->portEvents;
    EXPECT_EQ(e[dial + 2].ms - e[dial + 1].ms, 3000u) << "the pause after the connection";
    EXPECT_EQ(e[dial + 4].ms - e[dial + 3].ms, 300u) << "the multiplexer's pause";
    EXPECT_EQ(e[dial + 4].what.rfind(kFrameStart, 0), 0u);
}

// Each dial outcome's text is pinned by the modem's own tests.
TEST_F(ModemSession, ADialFailureEndsTheRunWithItsTextAndReleasesEverything)
{
    StartModem({"--outcome", "111=BUSY"});
    Param("ComboModemPhone", "111");
    SessionAction& a = NewAction();
    EXPECT_EQ(Run(-1), "Błąd! Druga strona zajęta.");
    EXPECT_FALSE(a.FPort);
    const Lines screen = Screen();
    EXPECT_EQ(Lines(screen.end() - 3, screen.end()),
              (Lines{"E:ATDT111", "Zamykanie portu komunikacyjnego ...\x01OK", "Zdalne odblokowanie serwera Norvik (SKP)\x01OK"}))
        << "the dial line is marked failed";
    EXPECT_EQ(card.Received(), (Lines{"DISABLE 0", "ENABLE 0"}));
    EXPECT_TRUE(Commands().empty()) << "the register was never reached";
}

TEST_F(ModemSession, ARefusedHangUpStillClosesThePortAndUnlocksTheCardServer)
{
    StartModem({"--answer", "ATH=ERROR"});
    SessionAction& a = NewAction(true);
    EXPECT_EQ(Run(-1), "Problem z rozłączeniem połączenia telefonicznego. Spróbuj ręcznie!!!");
    EXPECT_FALSE(a.FPort);
    // Unlocked once.
    EXPECT_EQ(card.Received(), (Lines{"DISABLE 0", "ENABLE 0"}));
    // The refused hang-up stays unmarked; the port is closed after it.
    const Lines screen = Screen();
    const size_t hangUp = IndexOf(screen, "Zamykanie połączenia modemowego ...");
    ASSERT_LT(hangUp + 2, screen.size());
    EXPECT_EQ(screen[hangUp + 1], "ATH");
    EXPECT_EQ(screen[hangUp + 2], "Zamykanie portu komunikacyjnego ...\x01OK");
    EXPECT_EQ(Commands(), (std::vector<int>{501, 18, 20, 15, 14, 501, 502, 321}));
}

// A run cut short by the register, then a hang-up the modem refuses: the run
// ends with its own failure, and the refused hang-up follows the closing
// lines as an error line of its own.
TEST_F(ModemSession, AHangUpRefusedAfterAFailureIsAnErrorLineInEveryOperation)
{
    const std::pair<int, int> operations[] = {{-1, 0}, {-8, 1}, {-8, 2}, {-8, 5}, {-8, 6}, {-3, 0}};
    for (const auto& [operation, parameter] : operations) {
        SCOPED_TRACE(std::to_string(operation) + " " + std::to_string(parameter));
        // The first command after the register's model fails.
        StartModem({"--answer", "ATH=ERROR"}, "{}", R"({"any": {"2": {"kind": "executionError", "code": 1}}})");
        in.host.lines.clear();
        SessionAction& a = NewAction(true);
        EXPECT_EQ(Run(operation, parameter), "Kasa zgłosiła błąd wykonania: [W1] - nieznany błąd przesłany przez kasę");
        EXPECT_FALSE(a.FPort);
        const Lines screen = Screen();
        ASSERT_GE(screen.size(), 3u);
        EXPECT_EQ(Lines(screen.end() - 3, screen.end()),
                  (Lines{"Zamykanie portu komunikacyjnego ...\x01OK", "Zdalne odblokowanie serwera Norvik (SKP)\x01OK",
                         "E:Problem z rozłączeniem połączenia telefonicznego. Spróbuj ręcznie!!!"}));
    }
}
