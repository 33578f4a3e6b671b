// The serial port of every serial link to a register, with the dialogue of a
// Hayes-command modem on top: opening the port with message lines, one AT
// command and its classified answer, dialling, hanging up, and the one-time
// set-up of the modem at the register's side.
//
// Every pause and time-out runs on the clock of clock.h. Times given in
// hundredths of a second are the modem's own unit.
#pragma once

#include <cstdint>

#include "VelActionBase.h"
#include "serialport.h"

// The waits of the modem dialogue.
struct TModemTimes {
    // The serial time-out slots 0 to 4 of every serial link (ms).
    static constexpr uint32_t SerialSlotsMs[TMSerialPort::kTimeoutSlots] = {50, 50, 5000, 50, 5000};
    static constexpr int BufferSize = 2048;

    static constexpr uint32_t BeforeCommandMs = 300;
    static constexpr int AnswerMaxBytes = 300;
    static constexpr int SettleTries = 50;
    static constexpr uint32_t SettleWait100 = 50;
    // How often the input and the carrier are looked at while waiting.
    static constexpr uint32_t PollMs = 10;

    static constexpr uint32_t BeforeDialMs = 3000;
    static constexpr int InitTimeout100 = 2000;
    static constexpr uint32_t CarrierWait100 = 2000;
    static constexpr uint32_t AfterConnectMs = 3000;

    static constexpr uint32_t EscapeGuardBeforeMs[2] = {3000, 1500};
    static constexpr uint32_t EscapeGuardAfterMs = 1500;
    static constexpr int HangUpTimeout100 = 8000;

    static constexpr int FactoryResetTimeout100 = 8000;
    static constexpr int FactoryResetTries = 2;
    static constexpr int SetUpTimeout100 = 2000;
    static constexpr int StoreTimeout100 = 400;

    static constexpr uint32_t ClosePauseMs = 500;
};

// The modem's answers, as TalkAndListen classifies the last answer line.
enum TModemAnswer {
    maNone = -1,  // nothing received, or a line not in the table
    maOk = 0,
    maConnect = 1,
    maRing = 2,
    maNoCarrier = 3,
    maError = 4,
    maNoDialtone = 6,
    maBusy = 7,
    maNoAnswer = 8
};

class TModemPort : public TMSerialPort {
public:
    // A closed port. The action's message lines and text tool are used when
    // action is set.
    explicit TModemPort(TVelActionBase* action);
    ~TModemPort() override;

    // A modem connection is up: set by a successful dial, cleared by a
    // successful disconnect.
    bool ConnectedViaModem = false;

    void MsgAdd(const AnsiString& text, LPVState state, int max);
    void MsgS(LPVState state);
    void MsgP(int value);

    // Opens an inactive port with these settings, the modem's buffers and
    // time-outs, RTS and DTR on. An active port is left as it is.
    void OpenPort(const AnsiString& port, TMBaudRate speed, TMByteSize size, TMStopBits stop, TMParity parity);
    void ClosePort();

    // One AT exchange: the command is sent followed by CR, the answer awaited
    // up to timeout hundredths (0: not awaited, the result is 0) and its last
    // line classified (TModemAnswer, or the number of a numeric answer).
    int TalkAndListen(const AnsiString& command, int timeout);
    // Waits up to limit hundredths for the carrier to be on (high) or off.
    bool WaitOnDCD(uint32_t limit, bool high);

    // Initialises the modem and dials; throws with the reason on failure.
    void ModemConnect(const AnsiString& phone, int seconds);
    // Ends a connection; false only when the port is not active.
    bool ModemDisconnect();
    // Hangs up a modem left connected, on a port opened for the purpose.
    void ModemHangUp(const AnsiString& port, TMBaudRate speed);
    // Programs the modem at the register's side; the port is closed after.
    void ModemSetUp(const AnsiString& port, TMBaudRate speed, int s7);

    // The classification of a whole answer (exposed for tests).
    static int ClassifyAnswer(const AnsiString& answer);
    // The "AT&N" and "ATS37=" values for a speed; false when there are none.
    static bool SpeedSetting(TMBaudRate speed, int& atN, int& s37);

protected:
    TVelActionBase* velaction;
    const TMLgExtTools* LgLink;

    // Hundredths of a second since the last call with reset.
    uint64_t Time100(bool reset);

private:
    uint64_t FTimeStart = 0;

    AnsiString Txt(const AnsiString& text) const;
    AnsiString InitError(int code) const;
    // An answer that must be OK: marks the line, or throws.
    void RequireOk(int code);
    // A set-up command: OK marks its line, silence throws; the code.
    int SetUpCommand(const AnsiString& command);
    // A set-up command whose failure is only shown.
    void SetUpStep(const AnsiString& command);
    void CloseQuietly();
};
