// The parse of a busy day's intermediate file: 200 000 receipt records
// (goods lines, discounts, payments and closes) in receipt mode, through the
// action's own parse pass with the host's callbacks answered in this
// process, beside a plain line count of the same file by `wc -l` (started
// directly), in rounds (paired.h). Every parse must take every receipt into
// the day's buffer without an error line. Target: at least 1 000 000 lines a
// minute.
#include <fstream>
#include <string>

#include "inprocess_host.h"
#include "paired.h"
#include "run_host.h"

namespace {

// Receipts of eight records: five goods lines, a line discount, a payment
// and the close, closing on one day. The goods lines go through 4000 PLU
// numbers and then come back to them, at either size.
struct DayFile {
    testutil::TempDir dir;
    int receipts;
    std::string path = dir / "combo.imp";
    explicit DayFile(int records) : receipts(records / 8)
    {
        std::ofstream out(path, std::ios::binary);
        for (int n = 0; n < receipts; ++n) {
            for (int i = 0; i < 5; ++i)
                out << "P_PLU;1;" << (n * 5 + i) % 4000 + 1 << ";590123412345" << i << ";Ser zolty " << i
                    << ";1000;599;0\r\n";
            out << "P_RAB;21;Rabat;1;2;50;\r\n";
            out << "P_PLA;2;1;Gotowka;0;2945;;;;-1\r\n";
            out << "P_TRN;" << n + 1 << ";202401021" << n % 10 << "1500000;1;Anna;3;2945;2945;" << n + 1 << "\r\n";
        }
    }
};

class ParseAction : public TVelComboAction {
public:
    using TVelComboAction::TVelComboAction;
    // The receipts the day's buffers took.
    int Parse(const std::string& path)
    {
        imp_bufs.clear();
        imp_buf = nullptr;
        impPath = path;
        ReadFromFile();
        int receipts = 0;
        for (const auto& buf : imp_bufs) receipts += buf->GetReceiptsCount();
        return receipts;
    }
};

void ParseDay(benchmark::State& state)
{
    const int records = paired::Sized(200000, 8000);
    const DayFile day(records);
    InProcessHost in;
    in.host.device.folder = day.dir.Folder();
    in.host.SetParam("ComboImpMode", "1");
    in.Start();
    auto action = in.NewAction<ParseAction>();
    paired::Sides sides({"parse", "wc"});
    auto parse = [&] {
        in.host.lines.clear();
        int receipts = 0;
        const paired::Spent spent = paired::Own([&] { receipts = action->Parse(day.path); });
        if (receipts != day.receipts || ToldOfError(in.host))
            paired::Fail(state, "the parse did not take every receipt");
        return spent;
    };
    if (!sides.Measure(state, {parse, [&] { return paired::CountLines(day.path); }})) return;
    paired::Sides::Report(state, "ratio", sides.Over(0, 1));
    const paired::Ratio perMinute{records / sides.Wall(0) * 60, records / sides.Cpu(0) * 60};
    paired::Sides::Report(state, "lines_per_min", perMinute);
    paired::Judge("ParseDay: lines a minute (over wc -l: " + paired::Figure(sides.Over(0, 1).wall) + ")", perMinute,
                  paired::Goal::AtLeast, 1000000);
}

}  // namespace

int main(int argc, char** argv)
{
    return paired::Main(argc, argv, [] { paired::Register("ParseDay", ParseDay); });
}
