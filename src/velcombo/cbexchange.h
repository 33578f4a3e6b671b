// The exchange of one command with the register: the frame is sent, the
// answer awaited, checked and parsed, up to three attempts, a report command
// awaited until the register has printed it, and an error answer turned into
// either an exception or a quiet return that the caller inspects.
#pragma once

#include <cstdint>
#include <functional>

#include "cbdata.h"
#include "cbframe.h"
#include "sysutils.h"

class TComboLink;

// The action's exchange fields; after a normal return the answer is in
// DataSet and a quiet execution error in last_err_wyk.
struct TComboExchangeState {
    AnsiString packet_out;  // the frame being sent, stuffed
    AnsiString packet_in;   // the frame received, plain
    uint32_t token = 0;     // advances with every new command, 0 to 9999
    int16_t fld_num = 0;
    int cmd_id = 0;
    int last_err_trn = 0;
    int last_err_wyk = 0;
    // False once a command has failed after all its attempts.
    bool firstLineRepeated = true;
    // Whether an earlier answer may still be on its way or waiting: after the
    // link opens and after a command not answered at its first sending. Only
    // then is the input purged, which costs a system call per command.
    bool staleInputPossible = true;
    TComboDataSet DataSet;
    // Kept from frame to frame, so that its buffer is too.
    TComboReceiver receiver;
};

// What the exchange asks of the action around it. Missing hooks are skipped;
// a missing report time-out reads as the parameter's default of 60 seconds.
struct TComboExchangeHooks {
    // A protocol trace line: "->" or "<-" and a frame or a text.
    std::function<void(const AnsiString& prefix, const AnsiString& data)> Trace;
    // The progress of a report wait on the last message line.
    std::function<void(int progress)> Progress;
    // ComboComplexOrdTimeout, in seconds, read when a report wait starts.
    std::function<int()> ReportTimeoutSeconds;
    // Whether the user asked to stop.
    std::function<bool()> StopRequested;
};

class TComboExchange {
public:
    static constexpr int kAttempts = 3;
    static constexpr int kReportTimeoutDefault = 60;
    // An answer must be whole within this many byte time-outs of the first
    // byte received, noise included: a peer that dribbles a byte now and then
    // must not hold a run for days.
    static constexpr uint64_t kFrameByteTimeouts = 3;

    // link may be null (file mode): nothing is sent and every command fails.
    // hooks must outlive the exchange.
    TComboExchange(TComboExchangeState& state, TComboLink* link, const TComboExchangeHooks& hooks);

    // One command, without fields or with n field strings made by the field
    // builders, in the order the register expects them. Returns normally with
    // the answer in the state, or throws.
    void SendAndReceive(int cmd);
    void SendAndReceive(int cmd, int n, const AnsiString* fields);

    // Throws "Operacja przerwana przez użytkownika" when the user asked to stop.
    void ThrowPrzerwac() const;

    // The steps, in the order SendAndReceive runs them.
    void GetResponse();
    void SendPacket();
    // One frame into packet_in. Noise before it is passed over within the
    // same time limits, or, when noiseEndsTry, ends the receive without one.
    bool ReceivePacket(bool noiseEndsTry = false);
    int ParsePacket();
    bool IsSimplePacketSent() const;

private:
    void Trace(const AnsiString& prefix, const AnsiString& data) const;
    // An error answer: true when the caller is to get it quietly, false when the
    // command is to be sent again; throws for a refused execution.
    bool TakeErrorAnswer();
    // After a report's acknowledgement: true when the report finished.
    bool AwaitReport();

    TComboExchangeState& S;
    TComboLink* FLink;
    const TComboExchangeHooks& FHooks;
    bool FLinkDead = false;
    int FSends = 0;
};
