// Exporting 100 000 goods to the register simulator on loopback through the
// real library (loaded by the host harness), and in the same run the bare
// exchange's commands per second against the same simulator, each command
// the same PLUINS a goods row becomes. The ratio is the share of the link's
// pace the export keeps: what is missing is the driver's own work per row.
// PLU numbers repeat past 65535, which the register takes as an update.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cbcommands.h"
#include "cbframe.h"
#include "driver_client.h"
#include "register_session.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

uint16_t PluOf(int i) { return static_cast<uint16_t>(i % 65535 + 1); }

// Goods per second of a whole export of n new goods.
double ExportGoods(RegisterSession& s, int n)
{
    std::string kasa;
    for (int i = 0; i < n; ++i)
        kasa += "PLU;" + std::to_string(PluOf(i)) + ";0;" + std::to_string(2000000000000LL + i) + ";Towar " +
                std::to_string(i) + ";199;0;0;0;23;1;F;0;F;F;F;;;0;DOD\r\n";
    testutil::WriteFile(s.tmp / "kasa.exp", kasa);
    s.host.SetParam("Vel_Combo_PosortowaneStawkiVatPrec", "2300");
    const auto start = std::chrono::steady_clock::now();
    s.Run(-2);
    const double seconds = Seconds(start);
    const std::string result = testutil::ReadFile(s.tmp / "wynik.exp");
    if (std::count(result.begin(), result.end(), '\n') != n) {
        std::fprintf(stderr, "the export did not carry out every row\n");
        std::exit(1);
    }
    return n / seconds;
}

// Commands per second of n PLUINS sent by the exchange alone.
double BareExchange(int port, int n)
{
    DriverClient client(static_cast<uint16_t>(port));
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) {
        const AnsiString fields[] = {ComboDataV(PluOf(i)), ComboDataS("Towar " + std::to_string(i)),
                                     ComboDataS(std::to_string(3000000000000LL + i)), ComboDataN(199), ComboDataN(0),
                                     ComboDataB(0), ComboDataB(1), ComboDataB(0), ComboDataB(1), ComboDataB(0),
                                     ComboDataB(0), ComboDataB(1), ComboDataB(1), ComboDataB(0), ComboDataB(1),
                                     ComboDataB(0)};
        client.Command(CMD_PLUINS, 16, fields);
    }
    return n / Seconds(start);
}

}  // namespace

int main(int argc, char** argv)
{
    const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
    RegisterSession s(R"({"model": 2})");
    const double goods = ExportGoods(s, n);
    const double commands = BareExchange(s.sim.Port(), n);
    std::printf("export of %d goods:  %10.0f goods/s\n", n, goods);
    std::printf("bare exchange, PLUINS:    %10.0f commands/s\n", commands);
    std::printf("ratio (export/exchange):  %10.2f\n", goods / commands);
    return 0;
}
