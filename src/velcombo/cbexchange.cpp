#include "cbexchange.h"

#include "cbcommands.h"
#include "cberrors.h"
#include "cbframe.h"
#include "cbtexts.h"
#include "cblink.h"
#include "clock.h"
#include "mlgexttools.h"
#include "process_state.h"

TComboExchange::TComboExchange(TComboExchangeState& state, TComboLink* link, const TComboExchangeHooks& hooks)
    : S(state), FLink(link), FHooks(hooks)
{
}

void TComboExchange::Trace(const AnsiString& prefix, const AnsiString& data) const
{
    if (FHooks.Trace) FHooks.Trace(prefix, data);
}

void TComboExchange::ThrowPrzerwac() const
{
    if (FHooks.StopRequested && FHooks.StopRequested()) throw Exception(ComboStopText());
}

void TComboExchange::SendAndReceive(int cmd) { SendAndReceive(cmd, 0, nullptr); }

void TComboExchange::SendAndReceive(int cmd, int n, const AnsiString* fields)
{
    if (FHooks.Trace) Trace("->", ComboCmdName(static_cast<unsigned int>(cmd)));
    S.token = ComboNextToken(S.token);
    S.cmd_id = cmd;
    S.fld_num = static_cast<int16_t>(fields && n > 0 ? n : 0);
    ComboBuildPacket(S.packet_out, S.token, static_cast<uint16_t>(cmd), n, fields);
    FLinkDead = false;
    // A late answer to an earlier command must not be taken for this one's.
    if (FLink && S.staleInputPossible) FLink->PurgeInput();
    S.staleInputPossible = true;
    GetResponse();
    S.staleInputPossible = FSends > 1;
}

void TComboExchange::GetResponse()
{
    for (int attempt = 0; attempt < kAttempts && !FLinkDead; ++attempt) {
        SendPacket();
        S.last_err_trn = 0;
        S.last_err_wyk = 0;
        S.firstLineRepeated = true;
        const int code = ReceivePacket() ? ParsePacket() : -1;
        if (FLinkDead) break;
        if (code < 0) {
            ComboInsertRetryFlag(S.packet_out);
            continue;
        }
        if (code == CB_ANSWER_ERROR) {
            if (TakeErrorAnswer()) return;
            continue;
        }
        if (IsSimplePacketSent()) {
            if (code == S.cmd_id) return;
            continue;
        }
        // A report is first acknowledged; its own code at once is no valid answer.
        if (code != CB_ANSWER_REPORT_ACK) break;
        if (AwaitReport()) return;
    }
    S.firstLineRepeated = false;
    throw Exception(ComboCommErrorText());
}

bool TComboExchange::TakeErrorAnswer()
{
    S.last_err_trn = S.DataSet[1].AsV();
    S.last_err_wyk = S.DataSet[2].AsV();
    if (S.last_err_trn != 0) return false;
    ComboRzucKomunikatemBleduWykonania(S.last_err_wyk);
    return true;
}

bool TComboExchange::AwaitReport()
{
    int seconds = FHooks.ReportTimeoutSeconds ? FHooks.ReportTimeoutSeconds() : kReportTimeoutDefault;
    if (seconds < 0) seconds = 0;
    const uint64_t limitMs = static_cast<uint64_t>(seconds) * 1000u;
    const uint64_t start = CurrentClock().NowMs();
    int progress = 0;
    for (;;) {
        // A byte outside a frame is the register still at work: one try.
        const bool came = ReceivePacket(true);
        if (FLinkDead) return false;
        if (!came && CurrentClock().NowMs() - start >= limitMs) throw Exception(ComboReportTimeoutText());
        progress += 5;
        if (FHooks.Progress) FHooks.Progress(progress);
        if (came) break;
    }
    const int code = ParsePacket();
    if (code == S.cmd_id) return true;
    if (code == CB_ANSWER_ERROR) return TakeErrorAnswer();
    return false;
}

void TComboExchange::SendPacket()
{
    Trace("->", S.packet_out);
    ++FSends;
    if (!FLink) return;
    if (!FLink->Send(reinterpret_cast<const uint8_t*>(S.packet_out.data()), S.packet_out.size())) FLinkDead = true;
}

bool TComboExchange::ReceivePacket(bool noiseEndsTry)
{
    S.packet_in.clear();
    if (!FLink || FLinkDead) {
        FLinkDead = true;
        return false;
    }
    TComboReceiver& receiver = S.receiver;
    receiver.Reset();
    const uint32_t byteTimeoutMs = FLink->ByteTimeoutMs();
    const uint64_t frameLimitMs = kFrameByteTimeouts * byteTimeoutMs;
    uint64_t firstByteMs = 0;
    bool started = false;
    // Ends the receive: the noise passed over is traced before what ended it.
    auto end = [&](bool frame, const AnsiString& trace) {
        S.packet_in = receiver.Packet();
        if (receiver.Skipped() > 0)
            Trace("<-", Format("<pominięte bajty spoza ramki: %u>", static_cast<unsigned>(receiver.Skipped())));
        if (!trace.empty()) Trace("<-", trace);
        return frame;
    };
    for (;;) {
        // Time passes only while the link waits for a byte, so the clock is
        // looked at only then, not for every byte of a frame read in at once.
        size_t atHand = 0;
        const uint8_t* run = FLink->BytesAtHand(atHand);
        // A frame's plain data already read in is taken at once: byte by
        // byte it would pass no time and end nothing either.
        if (atHand > 0) {
            const size_t taken = receiver.PushData(run, atHand);
            if (taken > 0) {
                FLink->SkipAtHand(taken);
                continue;
            }
        }
        const bool waited = atHand == 0;
        const int byte = FLink->ReceiveByte(byteTimeoutMs);
        if (byte == TComboLink::kDead) {
            FLinkDead = true;
            return end(false, "<połączenie z kasą zerwane>");
        }
        if (byte < 0)
            return end(false, FLink->TracesSilence() ? ComboText("KasaNieOdpowiada", "<kasa nie odpowiada>") : "");
        const TComboRxEvent event = receiver.Push(static_cast<uint8_t>(byte));
        // Noise holds a receive no longer than a frame may take; the first
        // byte starts that time, so none of it has passed yet.
        const bool pending = event == cbrxMore || (event == cbrxNoise && !noiseEndsTry);
        if (!started) {
            started = true;
            firstByteMs = CurrentClock().NowMs();
        } else if (pending && waited && CurrentClock().NowMs() - firstByteMs > frameLimitMs)
            return end(false, Format("<ramka niekompletna po %u ms>", static_cast<unsigned>(frameLimitMs)));
        if (pending) continue;
        switch (event) {
        case cbrxFrame: return end(true, receiver.Packet());
        case cbrxNoise: return end(false, Format("<bajt spoza ramki: 0x%02X>", receiver.NoiseByte()));
        default: return end(false, "<ramka dłuższa niż 65535 bajtów>");
        }
    }
}

int TComboExchange::ParsePacket()
{
    return ComboParsePacket(S.packet_in, S.token, S.DataSet, Process().DriverTextTool);
}

bool TComboExchange::IsSimplePacketSent() const { return !ComboIsReportCommand(S.cmd_id); }
