// Exporting 65 535 goods, as many as the register has PLU numbers for, to
// the register simulator on loopback through the real library (loaded by the
// host harness), with the protocol trace off and on, beside the bare client
// (bare_client.h) sending a simulator of its own the PLUINS commands the
// goods rows become, their fields encoded before its time begins. Every run
// has a fresh simulator keeping no journal, started before its time begins;
// the sides take turns in rounds (paired.h), their CPU times this process's
// own. After each run the register is asked for its goods: each row must be
// there under its own number. Target: the bare client's time over the
// export's, the share of the link's pace the export keeps, at least 0.9;
// what is missing is the driver's own work per row.
#include <algorithm>
#include <string>
#include <vector>

#include "bare_client.h"
#include "cbcommands.h"
#include "paired.h"
#include "peer_process.h"
#include "run_host.h"
#include "wire_codec.h"

namespace {

using paired::Goal;
using paired::Spent;

// Every row its own goods under its own number, at either size.
uint16_t PluOf(int i)
{
    return static_cast<uint16_t>(i + 1);
}
std::string NameOf(int i)
{
    return "Towar " + std::to_string(i);
}
std::string BarcodeOf(int i)
{
    return std::to_string(2000000000000LL + i);
}

// The host's export file of n new goods.
std::string ExportFile(int n)
{
    std::string kasa;
    for (int i = 0; i < n; ++i)
        kasa += "PLU;" + std::to_string(PluOf(i)) + ";0;" + BarcodeOf(i) + ";" + NameOf(i) +
                ";199;0;0;0;23;1;F;0;F;F;F;;;0;DOD\r\n";
    return kasa;
}

// The fields of row i's PLUINS, encoded.
std::string PluInsFields(int i)
{
    using regsim::Field;
    std::string fields = regsim::EncodeField(Field::V(PluOf(i))) + regsim::EncodeField(Field::S(NameOf(i))) +
                         regsim::EncodeField(Field::S(BarcodeOf(i))) + regsim::EncodeField(Field::N(199)) +
                         regsim::EncodeField(Field::N(0));
    for (int b : {0, 1, 0, 1, 0, 0, 1, 1, 0, 1, 0}) fields += regsim::EncodeField(Field::B(static_cast<uint8_t>(b)));
    return fields;
}

// Whether the register holds each of the n rows under its number (a sample
// of them at full size).
bool Programmed(BareClient& client, int n)
{
    const int step = paired::Sized(std::max(1, n / 1000), 1);
    for (int i = 0; i < n; i += step) {
        const std::string fields = regsim::EncodeField(regsim::Field::V(PluOf(i))) + std::string("B\0", 2);
        if (client.Command(CMD_PLUREAD, fields, 2) != CMD_PLUREAD) return false;
        const auto answer = regsim::ParseFrame(client.Answer());
        const auto& f = answer.frame.fields;
        if (f.size() < 7 || f[1].text != NameOf(i) || f[2].text != BarcodeOf(i) || f[6].number != 199) return false;
    }
    return true;
}

void GoodsExport(benchmark::State& state)
{
    // At the small size too, enough rows for the command tokens to come back
    // to 0 after 9999.
    const int n = paired::Sized(65535, 10000);
    const std::string kasa = ExportFile(n);
    std::vector<std::string> rows;
    for (int i = 0; i < n; ++i) rows.push_back(PluInsFields(i));
    auto exportGoods = [&](Trace trace) {
        return [&, trace] {
            testutil::TempDir dir;
            testutil::WriteFile(dir / "kasa.exp", kasa);
            peerproc::PeerProcess sim(REGSIM_EXE, {"--tcp", "0"});
            RunHost run(dir.Folder(), trace, {{"Vel_Combo_PosortowaneStawkiVatPrec", "2300"}});
            testutil::UseRegisterOverTcp(run.host, sim.Port());
            int result = -1;
            const Spent spent = paired::Own([&] { result = run.Run(-2); });
            const std::string report = testutil::ReadFile(dir / "wynik.exp");
            BareClient check(sim.Port());
            if (result != 0 || ToldOfError(run.host) || std::count(report.begin(), report.end(), '\n') != n ||
                !Programmed(check, n))
                paired::Fail(state, std::string("the export did not program every row, ") + TraceName(trace));
            return spent;
        };
    };
    auto bare = [&] {
        peerproc::PeerProcess sim(REGSIM_EXE, {"--tcp", "0"});
        int refused = 0;
        const Spent spent = paired::Own([&] {
            BareClient client(sim.Port());
            for (const std::string& fields : rows)
                if (client.Command(CMD_PLUINS, fields, 16) != CMD_PLUINS) ++refused;
        });
        if (refused != 0) paired::Fail(state, "the register refused the bare client's rows");
        return spent;
    };
    paired::Sides sides({"export", "export_traced", "bare"});
    if (!sides.Measure(state, {exportGoods(Trace::Off), exportGoods(Trace::On), bare})) return;
    paired::Sides::Report(state, "ratio", sides.Over(2, 0));
    paired::Sides::Report(state, "traced_ratio", sides.Over(2, 1));
    state.counters["goods_per_s"] = n / sides.Wall(0);
    state.counters["bare_per_s"] = n / sides.Wall(2);
    for (const Trace trace : {Trace::Off, Trace::On})
        paired::Judge(std::string("GoodsExport, ") + TraceName(trace) + ": the bare client's time over the export's",
                      sides.Over(2, trace == Trace::On ? 1 : 0), Goal::AtLeast, 0.9);
}

}  // namespace

int main(int argc, char** argv)
{
    return paired::Main(argc, argv, [] { paired::Register("GoodsExport", GoodsExport); });
}
