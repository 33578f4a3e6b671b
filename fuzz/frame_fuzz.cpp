// Feeds arbitrary bytes to the register frame receiver and answer parser, and
// checks the codec's round trips on the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "cbdata.h"
#include "cbframe.h"

namespace {
void Check(bool ok)
{
    if (!ok) abort();
}

// Each field read by its own type's accessor, and one field past the count:
// each either answers or refuses with the framework's exception, and none
// reads outside the field. (Throwing is slow, so only what can differ is tried.)
void ReadAllFields(const TComboDataSet& set)
{
    for (int i = 0; i <= set.Count(); ++i) {
        const TComboData& d = set[i];
        try {
            switch (d.Type()) {
            case 'B': (void)d.AsB(); break;
            case 'V': (void)d.AsV(); break;
            case 'L': (void)d.AsL(); break;
            case 'N': (void)d.AsN(); break;
            default: (void)d.AsS(); break;
            }
            (void)d.AsString();
        } catch (const Exception&) {
        }
    }
}

void ParseFrame(const AnsiString& packet)
{
    TComboDataSet set;
    try {
        set.ParseFromPacket(packet, nullptr);
        Check(set.Count() <= TComboDataSet::MaxItems);
    } catch (const Exception&) {
        Check(set.Count() == 0);
    }
    ReadAllFields(set);
    // Through the checks as the exchange runs them, with the frame's own token.
    if (packet.size() >= CB_EMPTY_FRAME_SIZE) {
        try {
            const int code = ComboParsePacket(packet, ComboGetU32(packet, CB_OFS_TOKEN), set, nullptr);
            Check(code >= -1 && code <= 0xFFFF);
        } catch (const Exception&) {
        }
    }
    (void)ComboTraceText(packet);
}

// The receiver on a byte stream, frame after frame.
void ReceiveStream(const uint8_t* data, size_t size)
{
    TComboReceiver rx;
    rx.Reset();
    for (size_t i = 0; i < size; ++i) {
        const TComboRxEvent event = rx.Push(data[i]);
        if (event == cbrxMore || event == cbrxNoise) continue;
        Check(rx.Packet().size() <= CB_MAX_FRAME_SIZE);
        if (event == cbrxFrame) ParseFrame(rx.Packet());
        rx.Reset();
    }
}

// Any plain frame comes back whole from its wire form, also when repeated.
void RoundTrip(const uint8_t* data, size_t size)
{
    AnsiString plain(1, static_cast<char>(CB_STX));
    plain.append(reinterpret_cast<const char*>(data), size);
    plain.push_back(static_cast<char>(CB_ETX));
    if (plain.size() < CB_EMPTY_FRAME_SIZE || plain.size() > CB_MAX_FRAME_SIZE) return;
    const AnsiString wire = ComboInsertSYN(plain);
    Check(ComboUnstuff(wire) == plain);
    TComboReceiver rx;
    rx.Reset();
    for (size_t i = 0; i < wire.size(); ++i) {
        const TComboRxEvent event = rx.Push(static_cast<uint8_t>(wire[i]));
        Check(i + 1 < wire.size() ? event == cbrxMore : event == cbrxFrame);
    }
    Check(rx.Packet() == plain);
    // The same when what PushData takes goes in runs, as the exchange takes
    // bytes already read in.
    TComboReceiver runs;
    runs.Reset();
    const auto* bytes = reinterpret_cast<const uint8_t*>(wire.data());
    TComboRxEvent last = cbrxMore;
    for (size_t i = 0; i < wire.size();) {
        const size_t taken = runs.PushData(bytes + i, wire.size() - i);
        i += taken;
        if (taken == 0) last = runs.Push(bytes[i++]);
    }
    Check(last == cbrxFrame && runs.Packet() == plain);

    AnsiString retry = wire;
    ComboInsertRetryFlag(retry);
    const AnsiString back = ComboUnstuff(retry);
    Check(back.size() == plain.size());
    Check((static_cast<uint8_t>(back[CB_OFS_FLAGS]) & CB_RETRY_FLAG) != 0);
    Check(ComboStoredCRC(back) == ComboComputeCRC(back));
}

void NumberRoundTrip(const uint8_t* data, size_t size)
{
    if (size < 4) return;
    int32_t v;
    std::memcpy(&v, data, sizeof v);
    TComboData d;
    d.Set(ComboDataN(v), nullptr);
    Check(d.AsN() == v);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ReceiveStream(data, size);
    ParseFrame(AnsiString(reinterpret_cast<const char*>(data), size));
    RoundTrip(data, size);
    NumberRoundTrip(data, size);
    return 0;
}
