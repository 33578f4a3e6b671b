// The export run's data step on a large shop: the host's export file of
// 1 000 000 goods read into the buffer, and reconciled against 1 000 000
// goods read back from the register. Both time sides in rounds (paired.h).
//
// ReadExportFile times the read beside `wc -l` (started directly) on the
// same file, target at most 20 times wc, and measures the read's memory: the
// peak resident growth during the read over the file's size, target at most
// 2. Every read must take every row.
// Reconcile times the register's list taken in and the goods compared, the
// file read excluded, beside a hash-map reconcile of the same rows; target
// at most 1.5 times the hash map. The register's list is made before either
// side's time begins, in the file's order or shuffled. Both must find the
// same goods to add, to reprice and to delete.
#include <malloc.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "StawkiKolejne.h"
#include "cbaction.h"
#include "cbexpbuf.h"
#include "paired.h"

namespace {

// A figure of /proc/self/status in MB ("VmRSS", "VmHWM").
double StatusMB(const std::string& key)
{
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, key.size() + 1, key + ":") == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
    return 0;
}

// Starts the peak resident figure (VmHWM) afresh from the present one.
void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

std::string Kod(long long base, int i)
{
    return std::to_string(base + i);
}

// Host goods i = 0..n-1; the register holds every even one unchanged, every
// fourth odd one at another price and n / 4 goods of its own.
struct Shop {
    std::string folder, path;
    int n;

    // Goods i's PLU number. The register has numbers up to 65535 only, and
    // the read looks for a number used twice only among rows within them: at
    // either size the first sixteenth of the goods is within them, the rest
    // beyond. The register's own goods come after the host's, under numbers
    // no host row has.
    int Plu(int i) const { return i + 1 + 65535 - n / 16; }

    explicit Shop(int goods) : n(goods)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velbench-XXXXXX").string();
        folder = mkdtemp(pattern.data());
        path = folder + "/kasa.exp";
        std::ofstream out(path, std::ios::binary);
        out << "VAT;23\r\nVAT;8\r\nJM;1;0;szt\r\n";
        for (int i = 0; i < n; ++i)
            out << "PLU;" << Plu(i) << ";" << i << ";" << Kod(5900000000000LL, i) << ";Towar numer " << i
                << ";1099;999;899;799;23;1;F;0;F;F;F;0;;3;AKT;opis;;PKWiU;SWW;0;0;1000;;;0;2300;Towar numer " << i
                << " pelna nazwa;1\r\n";
    }
    ~Shop() { std::filesystem::remove_all(folder); }

    double FileMB() const { return static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0); }

    template <typename Add>
    void RegisterGoods(Add add) const
    {
        for (int i = 0; i < n; ++i) {
            if (i % 4 == 3) continue;
            const std::string kod = Kod(5900000000000LL, i);
            add(kod, "TOW;" + std::to_string(Plu(i)) + ";Towar numer " + std::to_string(i) + ";" + kod + ";0;0;0;" +
                         (i % 4 == 1 ? "1199" : "1099") + ";0;1;0;0;0;4;1;1");
        }
        for (int i = 0; i < n / 4; ++i) {
            const std::string kod = Kod(2000000000000LL, i);
            add(kod, "TOW;" + std::to_string(Plu(n + i)) + ";Obcy;" + kod + ";0;0;1;500;0;1;0;0;0;4;1;1");
        }
    }
};

// An action without a host, whose register order holds 23 % and 8 %.
struct Action {
    TVelComboAction action{nullptr, nullptr};
    Action() { action.GetStawkiKolejnePrec()->WczytajZTekstuParametru("2300\r\n800", false); }
};

void ReadExportFile(benchmark::State& state)
{
    const Shop shop(paired::Sized(1000000, 5000));
    Action a;
    paired::Sides sides({"read", "wc"});
    double peak = 0;
    auto read = [&] {
        std::filesystem::remove(shop.folder + "/ARCH2.EXP");
        // What the last round freed goes back to the system first.
        malloc_trim(0);
        const double before = StatusMB("VmRSS");
        ResetPeak();
        int rows = 0;
        const paired::Spent spent = paired::Own([&] {
            TVelComboExpBuf buf(&a.action);
            buf.ReadFromFile(shop.path, false, -1);
            rows = buf.il_rec;
        });
        // The peak outlives what the read freed.
        peak = std::max(peak, StatusMB("VmHWM") - before);
        if (rows != shop.n) paired::Fail(state, "the read did not take every row");
        return spent;
    };
    if (!sides.Measure(state, {read, [&] { return paired::CountLines(shop.path); }})) return;
    paired::Sides::Report(state, "ratio", sides.Over(0, 1));
    state.counters["file_MB"] = shop.FileMB();
    state.counters["peak_MB"] = peak;
    state.counters["peak_ratio"] = peak / shop.FileMB();
    paired::Judge("ReadExportFile: the read's time over wc -l's", sides.Over(0, 1), paired::Goal::AtMost, 20);
    paired::Judge("ReadExportFile: the read's peak memory over the file's size", peak / shop.FileMB(),
                  paired::Goal::AtMost, 2);
}

// What the host's goods hold for a comparison, as a plain reconcile keeps them.
struct PlainGoods {
    std::string kod, nazwa;
    int32_t plu = 0;
    double cena = 0;
    int32_t stawkaPrec = 0;
    stTow status = stNull;
    bool flag = false, tr_ok = false;
};

// The first fields of a ";" line, split in one pass; missing ones empty.
template <size_t N>
std::array<std::string_view, N> FieldsOf(std::string_view line)
{
    std::array<std::string_view, N> fields{};
    size_t from = 0;
    for (size_t i = 0; i < N && from <= line.size(); ++i) {
        const size_t end = std::min(line.find(';', from), line.size());
        fields[i] = line.substr(from, end - from);
        from = end + 1;
    }
    return fields;
}

int32_t Whole(std::string_view text)
{
    int32_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// The baseline: the same register list taken in the same way, the host's
// goods found through a hash map of their barcodes, and the same rules of
// status applied. Returns the counts of DOD, CEN and USU.
std::array<int, 3> HashReconcile(std::vector<PlainGoods>& host,
                                 const std::vector<std::pair<std::string, std::string>>& reg,
                                 const TVelStawkiKolejne& slots)
{
    const size_t n = host.size();
    // The keys are views of the rows' codes: the rows the register adds must
    // not move them.
    host.reserve(n + reg.size());
    std::unordered_map<std::string_view, size_t> byKod;
    byKod.reserve(n);
    for (size_t i = 0; i < n; ++i) byKod.emplace(host[i].kod, i);
    for (const auto& [kod, line] : reg) {
        const std::string_view key = std::string_view(kod).substr(std::min(kod.find_first_not_of('0'), kod.size()));
        if (key.empty()) continue;
        const auto fields = FieldsOf<8>(line);
        const std::string_view nazwa = fields[2];
        const int32_t plu = Whole(fields[1]);
        const int32_t rate = slots.GetWartosci(Whole(fields[6]));
        const double cena = Whole(fields[7]);
        auto it = byKod.find(kod);
        if (it == byKod.end()) it = byKod.find(key);
        if (it == byKod.end()) {
            host.push_back({std::string(kod), std::string(nazwa), plu, cena, rate, stUsu, true, false});
            continue;
        }
        PlainGoods& g = host[it->second];
        g.flag = true;
        if (g.status == stUsu) continue;
        const bool same = g.nazwa == nazwa && g.plu == plu && g.stawkaPrec == rate;
        if (same && g.cena == cena) {
            g.status = stNull;
            g.tr_ok = true;
        } else if (same) {
            g.status = stCen;
        } else if (g.status == stDod || g.status == stCen) {
            g.status = stAkt;
        }
    }
    std::array<int, 3> counts{};
    for (size_t i = 0; i < host.size(); ++i) {
        PlainGoods& g = host[i];
        if (i < n && !g.flag) {
            if (g.status == stAkt || g.status == stCen)
                g.status = stDod;
            else if (g.status == stUsu)
                g.status = stNull;
        }
        if (g.status == stDod) ++counts[0];
        if (g.status == stCen) ++counts[1];
        if (g.status == stUsu) ++counts[2];
    }
    return counts;
}

// The buffer's reconcile and the hash-map one of the same rows, each with
// the register's list taken in, the list in the file's order or shuffled.
void Reconcile(benchmark::State& state, bool shuffled)
{
    const Shop shop(paired::Sized(1000000, 5000));
    Action a;
    const int quarter = shop.n / 4;
    std::vector<std::pair<std::string, std::string>> reg;
    shop.RegisterGoods([&](const std::string& kod, const std::string& line) { reg.emplace_back(kod, line); });
    if (shuffled) std::shuffle(reg.begin(), reg.end(), std::mt19937(12345));
    auto buffer = [&] {
        TVelComboExpBuf buf(&a.action);
        buf.ReadFromFile(shop.path, false, -1);
        std::filesystem::remove(shop.folder + "/ARCH2.EXP");
        const paired::Spent spent = paired::Own([&] {
            for (const auto& [kod, line] : reg) buf.AddInPlu(kod, line);
            buf.AnalizujCancelBufor(false);
        });
        if (buf.il_cen != quarter || buf.il_dod != quarter || buf.il_usu != quarter)
            paired::Fail(state, "the reconcile found the wrong goods");
        return spent;
    };
    auto hashMap = [&] {
        std::vector<PlainGoods> plain;
        {
            TVelComboExpBuf buf(&a.action);
            buf.ReadFromFile(shop.path, false, -1);
            std::filesystem::remove(shop.folder + "/ARCH2.EXP");
            plain.reserve(static_cast<size_t>(buf.il_rec));
            VelTowRec rec;
            for (int row = 0; row < buf.il_rec; ++row) {
                buf.CzytajRec(row, &rec);
                plain.push_back({rec.kod, rec.nazwa, rec.plu, rec.CenaAkt(0), rec.stawkaPrec, rec.status});
            }
        }
        std::array<int, 3> counts{};
        const paired::Spent spent =
            paired::Own([&] { counts = HashReconcile(plain, reg, *a.action.GetStawkiKolejnePrec()); });
        if (counts != std::array<int, 3>{quarter, quarter, quarter})
            paired::Fail(state, "the hash-map reconcile found the wrong goods");
        return spent;
    };
    paired::Sides sides({"reconcile", "hashmap"});
    if (!sides.Measure(state, {buffer, hashMap})) return;
    paired::Sides::Report(state, "ratio", sides.Over(0, 1));
    paired::Judge(std::string("Reconcile, ") + (shuffled ? "shuffled" : "in the file's order") +
                      ": the buffer's time over the hash map's",
                  sides.Over(0, 1), paired::Goal::AtMost, 1.5);
}

}  // namespace

int main(int argc, char** argv)
{
    return paired::Main(argc, argv, [] {
        paired::Register("ReadExportFile", ReadExportFile);
        paired::Register("Reconcile/file_order", [](benchmark::State& state) { Reconcile(state, false); });
        paired::Register("Reconcile/shuffled", [](benchmark::State& state) { Reconcile(state, true); });
    });
}
