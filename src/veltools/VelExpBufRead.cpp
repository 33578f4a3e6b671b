// Reading the host's export file into the export buffer.
#include <algorithm>
#include <cmath>
#include <deque>
#include <string_view>

#include "LTools.h"
#include "VelAction.h"
#include "VelExpBuf.h"
#include "clock.h"
#include "mfile.h"
#include "sysfiles.h"
#include "xftools.h"

namespace {
// Progress is shown about once a second, each time with a short pause that
// lets the host's window keep up.
constexpr uint64_t ProgressEveryMs = 1000;
constexpr uint32_t ProgressPauseMs = 20;
// Reading the clock at every line would cost more than a short line's parsing.
constexpr int ClockEveryLines = 256;

// The lines of a file (ended by CR LF, LF or CR), read from disk once: the
// file is taken whole in blocks that each end with a whole line and
// counted, then its lines are given block by block, each block freed once
// its lines are given, so that the file and the rows made of it are never
// held whole together.
class FileLines {
public:
    explicit FileLines(const AnsiString& path)
    {
        TMFile file;
        file.SetPath(path);
        file.SetReadOnly(true);
        file.Open();
        const int64_t size = file.GetSize();
        int64_t taken = 0;
        // The start of a line whose end is not read yet.
        AnsiString rest;
        for (;;) {
            AnsiString block = std::move(rest);
            rest = AnsiString();
            const size_t kept = block.size();
            block.resize(kept + Block);
            const int64_t n = file.Read(block.data() + kept, static_cast<int64_t>(Block));
            taken += n;
            block.resize(kept + static_cast<size_t>(n));
            if (n == 0) {
                if (!block.empty()) blocks.push_back(std::move(block));
                break;
            }
            // What was kept holds no line end, but for a CR at its end.
            const size_t cut = AfterLastLine(block, kept > 0 ? kept - 1 : 0);
            if (cut == 0) {
                // A line longer than a block: it goes on in the next one. Its
                // room is had once for the rest of the file, as growing it
                // step by step would hold it twice at each step.
                rest = std::move(block);
                if (rest.capacity() < rest.size() + Block)
                    rest.reserve(rest.size() + Block + static_cast<size_t>(std::max<int64_t>(size - taken, 0)));
                continue;
            }
            rest.assign(block, cut);
            block.resize(cut);
            // A line longer than a block has a block of its own, which is
            // handed over with it and freed once it is read.
            size_t next = 0;
            LineEnd(block, 0, next);
            if (next > Block && next < block.size()) {
                AnsiString after(block, next);
                block.resize(next);
                blocks.push_back(std::move(block));
                blocks.push_back(std::move(after));
                continue;
            }
            blocks.push_back(std::move(block));
        }
        for (const AnsiString& b : blocks)
            for (size_t from = 0, next = 0; from < b.size(); from = next, ++count) LineEnd(b, from, next);
    }

    int Count() const { return count; }

    // The next line without its end, valid until the next call; false after
    // the last one. A line longer than a block is handed over in `own`, where
    // it may be freed as soon as it is read.
    bool Next(std::string_view& line, AnsiString& own)
    {
        while (!blocks.empty()) {
            const std::string_view block = blocks.front();
            if (from < block.size()) {
                size_t next = 0;
                const size_t end = LineEnd(block, from, next);
                if (from == 0 && next == block.size() && block.size() > Block) {
                    own = std::move(blocks.front());
                    blocks.pop_front();
                    line = std::string_view(own).substr(0, end);
                    return true;
                }
                line = block.substr(from, end - from);
                from = next;
                return true;
            }
            blocks.pop_front();
            from = 0;
        }
        return false;
    }

private:
    // Where the block's last whole line ends, its line end included, looked
    // for from `from` on (a long line is not searched again at every read);
    // 0 when none does. An LF always ends a line; a CR only where the next
    // byte is read already, as it may be the first half of a CR LF.
    static size_t AfterLastLine(std::string_view block, size_t from)
    {
        const std::string_view fresh = block.substr(from);
        const size_t lf = fresh.rfind('\n');
        if (lf != std::string_view::npos) return from + lf + 1;
        const size_t cr = fresh.substr(0, fresh.size() - 1).rfind('\r');
        return cr == std::string_view::npos ? 0 : from + cr + 1;
    }

    static constexpr size_t Block = 1 << 20;
    std::deque<AnsiString> blocks;
    // The lines not given yet are blocks.front()[from, ...) and the blocks after it.
    size_t from = 0;
    int count = 0;
};
}  // namespace

void VelExpBuf::ReadFromFile(const AnsiString& path, bool sort, int n)
{
    try {
        if (velaction) velaction->MsgAdd(Text("ufReadFromvelactionMsgAdd", "Wczytywanie listy towarów"), LPV_None, 100);
        TLTools::ArchiveFile(path, ExtractFilePath(path) + "ARCH2.EXP", LgLink, true, n, true, "");
        // Counted first, for the progress.
        FileLines lines(path);
        const int count = lines.Count();
        std::string_view line;
        if (velaction) {
            velaction->MsgS(LPV_Ok);
            velaction->MsgAdd(Text("ufReadFromvelactionMsgAdd_00001", "Analiza listy towarów"), LPV_Percent, count);
        }

        Parsing parsing;
        FPlik = ExtractFileName(path);
        uint64_t lastProgress = GetTickCount64();
        for (int i = 0; lines.Next(line, parsing.longLine); ++i) {
            if (velaction && i % ClockEveryLines == 0 && GetTickCount64() - lastProgress > ProgressEveryMs) {
                lastProgress = GetTickCount64();
                velaction->MsgP(i);
                Sleep(ProgressPauseMs);
            }
            // A file saved as UTF-8 may begin with its byte-order mark, which
            // would hide the first line's kind.
            if (i == 0 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
            size_t from = 0, end = line.size();
            TrimRange(line, from, end);
            try {
                ParseLine(line.substr(from, end - from), i + 1, parsing);
            } catch (const Exception& e) {
                throw Exception(Text("ufReadFromLineError", "Błąd w linii ") + IntToStr(i + 1) +
                                Text("ufReadFromLineError_00001", " pliku ") + FPlik + ": " + e.Message());
            }
        }
        if (velaction) velaction->MsgP(count);

        if (sort && !ds_plu.empty() && !Sorted) {
            CreateIndex();
            Sort(0, static_cast<int>(ds_index.size()) - 1);
            Sorted = true;
        }
        if (velaction) velaction->MsgS(LPV_Ok);
    } catch (...) {
        if (velaction) velaction->MsgS(LPV_Error);
        throw;
    }
}

void VelExpBuf::ParseLine(std::string_view line, int number, Parsing& parsing)
{
    if (line.empty() || line[0] == '#' || line[0] == '[') return;
    // The words are read where the line lies: a long line is not held twice.
    TLJWords& words = parsing.words;
    const int count = words.InitView(line);
    // Once its words are read into a record, a long line is freed: it is
    // not held beside what is made of it. The line and its words are not
    // used after that.
    auto read = [&parsing] { AnsiString().swap(parsing.longLine); };
    const AnsiString& kind = words[0];
    // Words 1 to 5 of a cashier or currency, always five fields.
    auto fiveFields = [&words]() {
        size_t size = 4;
        for (int i = 1; i <= 5; ++i) size += words.View(i).size();
        AnsiString text;
        text.reserve(size);
        text.append(words.View(1));
        for (int i = 2; i <= 5; ++i) text.append(";").append(words.View(i));
        return text;
    };
    if (kind == "PLU") {
        VelTowRec& tow = parsing.tow;
        tow.FromLine(words, LgLink, PoziomCenNaKase());
        read();
        AnsiString reason = tow.odrzucenie;
        const int row = static_cast<int>(ds_plu.size());
        // The register holds one item under a PLU number: the first row that
        // puts goods there is the host's, a later one for other goods (another
        // barcode) would replace them; a later one for the same goods is
        // carried out after it. A number the register has no room for is
        // refused when it is sent.
        const bool programs = tow.status == stDod || tow.status == stAkt || tow.status == stCen;
        if (reason.empty() && programs && !tow.opakowanie && tow.plu > 0 && tow.plu <= UINT16_MAX) {
            std::vector<int32_t>& first = parsing.pluRow;
            if (first.empty()) first.resize(size_t{UINT16_MAX} + 1);
            int32_t& at = first[static_cast<size_t>(tow.plu)];
            if (at == 0)
                at = row + 1;
            else if (ds_plu[static_cast<size_t>(at - 1)].Kod() != std::string_view(tow.kod))
                reason = Text("ufReadFromDuplicatePlu", "numer PLU ") + IntToStr(tow.plu) +
                         Text("ufReadFromDuplicatePlu_00001", " ma już towar z linii ") + IntToStr(LiniaPliku(at - 1));
        }
        DodajRec(&tow);
        FLinie.resize(ds_plu.size());
        FLinie.back() = number;
        if (!reason.empty()) OdrzucWiersz(row, reason);
    } else if (kind == "KON" || kind == "KONA") {
        VelKontrRec& kontr = parsing.kontr;
        kontr.FromLine(words, LgLink);
        read();
        DodajRec(&kontr);
        if (kind == "KONA") zm_listy_kontr = true;
    } else if (kind == "VAT") {
        stawki.Add(words[1]);
        if (count >= 3) {
            stawkiPrec.Add(words[2]);
        } else {
            const int32_t rate = StrToIntDef(words[1], 0);
            stawkiPrec.Add(IntToStr(rate < 0 ? -1 : int64_t{rate} * 100));
        }
    } else if (kind == "JM") {
        jmiary.Add(words[1] + ";" + words[2] + ";" + words[3]);
        FLinieJednostek.resize(static_cast<size_t>(jmiary.Count()));
        FLinieJednostek.back() = number;
    } else if (kind == "OPER") {
        AnsiString text = fiveFields();
        read();
        kasjerzy.push_back(std::make_unique<VelKasjer>(std::move(text), LgLink));
    } else if (kind == "WAL") {
        AnsiString text = fiveFields();
        read();
        waluty.push_back(std::make_unique<VelWaluta>(std::move(text), LgLink));
    } else if (kind == "ASS") {
        parsing.asort.FromLine(words);
        read();
        DodajAsort(&parsing.asort);
    } else if (kind.compare(0, 3, "EUR") == 0) {
        SetKursEURO(words[1]);
    }
}

void VelExpBuf::SetKursEURO(const AnsiString& text)
{
    // The register takes the rate back as rate * 10000 cut to a whole number;
    // the nearest double of number / 10000 may lie just below it (4.0013 does),
    // so the rate is moved up to the next double until the host's number
    // comes back.
    TxfTools number;
    number.FromString(text, 10, false);
    const double whole = std::trunc(number.Value());
    TxfTools rate = number;
    rate.MulPow10(-4);
    double value = rate.Value();
    for (int step = 0; step < 4 && std::trunc(value * 10000) != whole; ++step)
        value = std::nextafter(value, std::trunc(value * 10000) < whole ? HUGE_VAL : -HUGE_VAL);
    FKursEURO = value;
}
