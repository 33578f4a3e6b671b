// Exporting 100 000 goods to the register simulator on loopback through the
// real library (loaded by the host harness), beside the bare exchange's
// commands against a simulator of its own, each command the same PLUINS a
// goods row becomes. The two run in pairs, the side that goes first changing
// from pair to pair, each with a fresh simulator; the figures are the
// medians of each side's wall-clock and CPU time (this process's), and the
// ratio is the share of the link's pace the export keeps: what is missing is
// the driver's own work per row. PLU numbers repeat past 65535, which the
// register takes as an update.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cbcommands.h"
#include "cbframe.h"
#include "driver_client.h"
#include "paired.h"
#include "register_session.h"

namespace {

uint16_t PluOf(int i) { return static_cast<uint16_t>(i % 65535 + 1); }

// A whole export of n new goods to a fresh register.
paired::Spent ExportGoods(int n)
{
    RegisterSession s(R"({"model": 2})");
    std::string kasa;
    for (int i = 0; i < n; ++i)
        kasa += "PLU;" + std::to_string(PluOf(i)) + ";0;" + std::to_string(2000000000000LL + i) + ";Towar " +
                std::to_string(i) + ";199;0;0;0;23;1;F;0;F;F;F;;;0;DOD\r\n";
    testutil::WriteFile(s.tmp / "kasa.exp", kasa);
    s.host.SetParam("Vel_Combo_PosortowaneStawkiVatPrec", "2300");
    const paired::Spent spent = paired::Own([&] { s.Run(-2); });
    const std::string result = testutil::ReadFile(s.tmp / "wynik.exp");
    if (std::count(result.begin(), result.end(), '\n') != n) {
        std::fprintf(stderr, "the export did not carry out every row\n");
        std::exit(1);
    }
    return spent;
}

// n PLUINS sent by the exchange alone to a fresh register.
paired::Spent BareExchange(int n)
{
    RegisterSession s(R"({"model": 2})");
    DriverClient client(static_cast<uint16_t>(s.sim.Port()));
    return paired::Own([&] {
        for (int i = 0; i < n; ++i) {
            const AnsiString fields[] = {ComboDataV(PluOf(i)), ComboDataS("Towar " + std::to_string(i)),
                                         ComboDataS(std::to_string(3000000000000LL + i)), ComboDataN(199),
                                         ComboDataN(0), ComboDataB(0), ComboDataB(1), ComboDataB(0), ComboDataB(1),
                                         ComboDataB(0), ComboDataB(0), ComboDataB(1), ComboDataB(1), ComboDataB(0),
                                         ComboDataB(1), ComboDataB(0)};
            client.Command(CMD_PLUINS, 16, fields);
        }
    });
}

}  // namespace

int main(int argc, char** argv)
{
    const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int pairs = argc > 2 ? std::atoi(argv[2]) : 3;
    paired::Pairs timed;
    for (int i = 0; i < pairs; ++i) timed.Run([n] { return ExportGoods(n); }, [n] { return BareExchange(n); });
    const double exportS = timed.MedianOf(true, false), bareS = timed.MedianOf(false, false);
    std::printf("export of %d goods:  %10.0f goods/s (median of %d, %.3f s wall, %.3f s CPU)\n", n, n / exportS,
                pairs, exportS, timed.MedianOf(true, true));
    std::printf("bare exchange, PLUINS:    %10.0f commands/s (%.3f s wall, %.3f s CPU)\n", n / bareS, bareS,
                timed.MedianOf(false, true));
    std::printf("ratio (export/exchange):  %10.2f\n", bareS / exportS);
    return 0;
}
