// The modem dialogue. Each AT command shows its own message line, which a
// good answer marks OK.
#include "ModemCtl.h"

#include <algorithm>
#include <climits>

#include "clock.h"

namespace {
const char* kSection = "veltools_ModemCtl";

// The last line of an answer: the text between the last two CRs (an LF after
// the first one skipped); the text before the only CR, or the whole answer,
// when there are fewer.
AnsiString LastLine(const AnsiString& answer)
{
    size_t end = answer.rfind('\r');
    if (end == AnsiString::npos) end = answer.size();
    size_t begin = end == 0 ? AnsiString::npos : answer.rfind('\r', end - 1);
    begin = begin == AnsiString::npos ? 0 : begin + 1;
    if (begin < end && answer[begin] == '\n') ++begin;
    return answer.substr(begin, end - begin);
}

int ClampToInt(int64_t value)
{
    return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}
}  // namespace

TModemPort::TModemPort(TVelActionBase* action) : velaction(action), LgLink(action ? action->GetLgLink() : nullptr) {}

TModemPort::~TModemPort() = default;

AnsiString TModemPort::Txt(const AnsiString& text) const
{
    return LgText(LgLink, kSection, text);
}

void TModemPort::MsgAdd(const AnsiString& text, LPVState state, int max)
{
    if (velaction) velaction->MsgAdd(text, state, max);
}

void TModemPort::MsgS(LPVState state)
{
    if (velaction) velaction->MsgS(state);
}

void TModemPort::MsgP(int value)
{
    if (velaction) velaction->MsgP(value);
}

uint64_t TModemPort::Time100(bool reset)
{
    const uint64_t now = GetTickCount64() / 10;
    if (reset) {
        FTimeStart = now;
        return 0;
    }
    return now < FTimeStart ? 0 : now - FTimeStart;
}

void TModemPort::OpenPort(const AnsiString& port, TMBaudRate speed, TMByteSize size, TMStopBits stop, TMParity parity)
{
    if (GetActive()) return;
    MsgAdd(Txt("Otwieranie portu komunikacyjnego ") + port + " ...", LPV_None, 100);
    SetPortName(port);
    SetBaudRate(speed);
    SetParity(parity);
    SetStopBits(stop);
    SetByteSize(size);
    SetBufSize(TModemTimes::BufferSize, TModemTimes::BufferSize);
    for (int slot = 0; slot < kTimeoutSlots; ++slot) SetTo(slot, TModemTimes::SerialSlotsMs[slot]);
    SetActive(true);
    SetRTSHigh();
    SetDTRHigh();
    MsgS(LPV_Ok);
}

void TModemPort::ClosePort()
{
    MsgAdd(Txt("Zamykanie portu komunikacyjnego"), LPV_None, 100);
    PurgeInputBuffer();
    Sleep(TModemTimes::ClosePauseMs);
    SetRTSLow();
    SetDTRLow();
    SetActive(false);
    MsgS(LPV_Ok);
}

void TModemPort::CloseQuietly()
{
    try {
        ClosePort();
    } catch (...) {
        SetActive(false);
    }
}

int TModemPort::ClassifyAnswer(const AnsiString& answer)
{
    const AnsiString line = LastLine(answer);
    if (line.empty()) return maNone;
    if (IsAsciiDigit(line[0])) {
        size_t digits = 0;
        while (digits < line.size() && digits < 9 && IsAsciiDigit(line[digits])) ++digits;
        return StrToIntDef(line.substr(0, digits), maNone);
    }
    static const struct {
        const char* text;
        TModemAnswer code;
    } answers[] = {{"OK", maOk},       {"CONNECT", maConnect},        {"RING", maRing}, {"NO CARRIER", maNoCarrier},
                   {"ERROR", maError}, {"NO DIALTONE", maNoDialtone}, {"BUSY", maBusy}, {"NO ANSWER", maNoAnswer}};
    for (const auto& a : answers)
        if (line.starts_with(a.text)) return a.code;
    return maNone;
}

int TModemPort::TalkAndListen(const AnsiString& command, int timeout)
{
    MsgAdd(command, LPV_None, 100);
    Sleep(TModemTimes::BeforeCommandMs);
    const AnsiString line = command + "\r";
    Transmit(line.data(), static_cast<int>(line.size()), false);
    if (timeout == 0) return maOk;

    Time100(true);
    const uint64_t limit = static_cast<uint64_t>(std::max(timeout, 0));
    while (GetBytesInInBuf() == 0) {
        if (Time100(false) >= limit) return maNone;
        Sleep(TModemTimes::PollMs);
    }
    // The answer may still be coming: wait while it grows.
    int count = GetBytesInInBuf();
    for (int i = 0; i < TModemTimes::SettleTries; ++i) {
        Sleep(TModemTimes::SettleWait100 * 10);
        const int now = GetBytesInInBuf();
        if (now == count) break;
        count = now;
    }
    AnsiString answer(static_cast<size_t>(std::min(count, TModemTimes::AnswerMaxBytes)), '\0');
    answer.resize(static_cast<size_t>(Receive(answer.data(), static_cast<int>(answer.size()))));
    return ClassifyAnswer(answer);
}

bool TModemPort::WaitOnDCD(uint32_t limit, bool high)
{
    Time100(true);
    for (;;) {
        if (IsDCDHigh() == high) return true;
        if (Time100(false) >= limit) return false;
        Sleep(TModemTimes::PollMs);
    }
}

AnsiString TModemPort::InitError(int code) const
{
    return Txt("Błąd inicjalizacji modemu! (") + IntToStr(code) + ")";
}

void TModemPort::RequireOk(int code)
{
    if (code == maOk) {
        MsgS(LPV_Ok);
        return;
    }
    if (code == maNone) throw Exception(Txt("Brak odpowiedzi modemu!"));
    throw Exception(InitError(code));
}

void TModemPort::ModemConnect(const AnsiString& phone, int seconds)
{
    if (!GetActive()) throw Exception(Txt("Otwórz port komunikacyjny!"));
    MsgAdd(Txt("Nawiązywanie połączenia modemowego ..."), LPV_None, 100);
    Sleep(TModemTimes::BeforeDialMs);
    for (const char* command : {"AT&F", "ATE0", "ATX2", "ATV1"})
        RequireOk(TalkAndListen(command, TModemTimes::InitTimeout100));

    const int code = TalkAndListen("ATDT" + phone, ClampToInt(static_cast<int64_t>(seconds) * 100));
    switch (code) {
        case maConnect:
            MsgS(LPV_Ok);
            if (!WaitOnDCD(TModemTimes::CarrierWait100, true)) throw Exception(Txt("Błąd ! Brak nośnej!"));
            ConnectedViaModem = true;
            Sleep(TModemTimes::AfterConnectMs);
            return;
        case maNoCarrier:
            throw Exception(Txt("Błąd! Brak nośnej - brak modemu po drugiej stronie?"));
        case maNoDialtone:
            throw Exception(Txt("Błąd! Brak sygnału - czy modem podłączony do linii?"));
        case maBusy:
            throw Exception(Txt("Błąd! Druga strona zajęta."));
        case maNoAnswer:
            throw Exception(Txt("Błąd! Modem kasy nie odpowiada."));
        default:
            MsgS(LPV_Ok);
            throw Exception(InitError(code));
    }
}

bool TModemPort::ModemDisconnect()
{
    if (!GetActive()) return false;
    MsgAdd(Txt("Zamykanie połączenia modemowego ..."), LPV_None, 100);
    if (IsDCDHigh()) {
        SetRTSLow();
        for (uint32_t pause : TModemTimes::EscapeGuardBeforeMs) Sleep(pause);
        Transmit("+++", 3, false);
        Sleep(TModemTimes::EscapeGuardAfterMs);
        // The modem's OK to the escape must not be taken for its answer to
        // ATH: a refused hang-up would pass for a done one.
        PurgeInputBuffer();
    }
    const int code = TalkAndListen("ATH", TModemTimes::HangUpTimeout100);
    if (code == maOk) {
        MsgS(LPV_Ok);
        ConnectedViaModem = false;
        return true;
    }
    if (code == maNone) throw Exception(Txt("Brak odpowiedzi modemu!"));
    throw Exception(Txt("Problem z rozłączeniem połączenia telefonicznego. Spróbuj ręcznie!!!"));
}

void TModemPort::ModemHangUp(const AnsiString& port, TMBaudRate speed)
{
    OpenPort(port, speed, bs7, sb1_0, parOdd);
    ModemDisconnect();
    ClosePort();
}

bool TModemPort::SpeedSetting(TMBaudRate speed, int& atN, int& s37)
{
    static const struct {
        TMBaudRate speed;
        int atN, s37;
    } table[] = {{br___300, 1, 3}, {br__1200, 2, 5}, {br__2400, 3, 5},
                 {br__4800, 4, 7}, {br__9600, 6, 9}, {br_19200, 10, 13}};
    for (const auto& row : table) {
        if (row.speed != speed) continue;
        atN = row.atN;
        s37 = row.s37;
        return true;
    }
    return false;
}

int TModemPort::SetUpCommand(const AnsiString& command)
{
    const int code = TalkAndListen(command, TModemTimes::SetUpTimeout100);
    if (code == maOk) MsgS(LPV_Ok);
    if (code == maNone) throw Exception(Txt("Brak odpowiedzi modemu!"));
    return code;
}

void TModemPort::SetUpStep(const AnsiString& command)
{
    const int code = SetUpCommand(command);
    if (code != maOk) MsgAdd(InitError(code), LPV_None, 100);
}

void TModemPort::ModemSetUp(const AnsiString& port, TMBaudRate speed, int s7)
{
    OpenPort(port, speed, bs7, sb1_0, parOdd);
    try {
        for (int attempt = 1;; ++attempt) {
            const int code = TalkAndListen("AT&F", TModemTimes::FactoryResetTimeout100);
            if (code == maOk) {
                MsgS(LPV_Ok);
                break;
            }
            if (attempt == TModemTimes::FactoryResetTries) RequireOk(code);
        }
        for (const AnsiString& command :
             {AnsiString("AT&S1"), "ATS7=" + IntToStr(s7), AnsiString("AT&C1"), AnsiString("AT&D2")})
            SetUpStep(command);

        const int code = TalkAndListen("AT&H1", TModemTimes::SetUpTimeout100);
        if (code == maOk) {
            MsgS(LPV_Ok);
        } else {
            MsgS(LPV_Error);
            MsgAdd(Txt("Błąd nr ") + IntToStr(code), LPV_None, 100);
            MsgAdd(Txt("To może, lecz nie musi uniemożliwić korzystanie z modemu jako kasowego."), LPV_None, 100);
        }
        SetUpStep("ATY0");

        int atN = 0, s37 = 0;
        if (!SpeedSetting(speed, atN, s37)) throw Exception(Txt("Zmień prędkość komunikacji!"));
        if (SetUpCommand("AT&N" + IntToStr(atN)) != maOk && SetUpCommand("ATS37=" + IntToStr(s37)) != maOk)
            MsgAdd(Txt("Nie udaje się wymusić odpowiedniej prędkości"), LPV_None, 100);

        SetUpStep("ATS0=1");
        SetUpStep("ATE0");

        // Quiet from here on: the answers cannot be told.
        TalkAndListen("ATQ1", 0);
        MsgS(LPV_Ok);
        for (const char* command : {"AT&W1", "AT&W0"}) {
            TalkAndListen(command, TModemTimes::StoreTimeout100);
            MsgS(LPV_Ok);
        }
    } catch (...) {
        CloseQuietly();
        throw;
    }
    ClosePort();
}
