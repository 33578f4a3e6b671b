// Reading the host's export file into the export buffer.
#include <cmath>
#include <cstring>
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

// The lines of a file (ended by CR LF, LF or CR) through one buffer that
// stays the same size: a file of a million goods is never held whole, and
// its memory need not be found anew for every read.
class FileLines {
public:
    explicit FileLines(const AnsiString& path) : buffer(Block, '\0')
    {
        file.SetPath(path);
        file.SetReadOnly(true);
        file.Open();
    }

    // Back to the first line.
    void Rewind()
    {
        file.SetPointer(0);
        from = size = 0;
        eof = false;
    }

    // The next line without its end, valid until the next call; false after
    // the last one.
    bool Next(std::string_view& line)
    {
        for (;;) {
            const std::string_view data(buffer.data(), size);
            if (from < size) {
                size_t next = 0;
                const size_t end = LineEnd(data, from, next);
                // A line reaching the buffer's end may go on (or its CR be
                // followed by an LF) in what is not read yet.
                if (next < size || eof) {
                    line = data.substr(from, end - from);
                    from = next;
                    return true;
                }
            } else if (eof) {
                return false;
            }
            // The unfinished line moves to the front, the rest is filled up;
            // a line longer than the buffer makes it larger.
            std::memmove(buffer.data(), buffer.data() + from, size - from);
            size -= from;
            from = 0;
            if (size == buffer.size()) buffer.resize(2 * size);
            const int64_t n = file.Read(buffer.data() + size, static_cast<int64_t>(buffer.size() - size));
            eof = n == 0;
            size += static_cast<size_t>(n);
        }
    }

private:
    static constexpr size_t Block = 1 << 18;
    TMFile file;
    AnsiString buffer;
    // The unread lines are buffer[from, size).
    size_t from = 0, size = 0;
    bool eof = false;
};
}  // namespace

void VelExpBuf::ReadFromFile(const AnsiString& path, bool sort, int n)
{
    try {
        if (velaction) velaction->MsgAdd(Text("ufReadFromvelactionMsgAdd", "Wczytywanie listy towarów"), LPV_None, 100);
        TLTools::ArchiveFile(path, ExtractFilePath(path) + "ARCH2.EXP", LgLink, true, n, true, "");
        // Counted first, for the progress; then read again line by line.
        FileLines lines(path);
        std::string_view line;
        int count = 0;
        while (lines.Next(line)) ++count;
        if (velaction) {
            velaction->MsgS(LPV_Ok);
            velaction->MsgAdd(Text("ufReadFromvelactionMsgAdd_00001", "Analiza listy towarów"), LPV_Percent, count);
        }

        lines.Rewind();
        TLJWords words = ExpWords("");
        VelTowRec tow;
        VelKontrRec kontr;
        VelAsort asort;
        uint64_t lastProgress = GetTickCount64();
        for (int i = 0; lines.Next(line); ++i) {
            if (velaction && i % ClockEveryLines == 0 && GetTickCount64() - lastProgress > ProgressEveryMs) {
                lastProgress = GetTickCount64();
                velaction->MsgP(i);
                Sleep(ProgressPauseMs);
            }
            size_t from = 0, end = line.size();
            TrimRange(line, from, end);
            try {
                ParseLine(line.substr(from, end - from), words, tow, kontr, asort);
            } catch (const Exception& e) {
                throw Exception(Text("ufReadFromLineError", "Błąd w linii ") + IntToStr(i + 1) +
                                Text("ufReadFromLineError_00001", " pliku ") + ExtractFileName(path) + ": " +
                                e.Message());
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

void VelExpBuf::ParseLine(std::string_view line, TLJWords& words, VelTowRec& tow, VelKontrRec& kontr, VelAsort& asort)
{
    if (line.empty() || line[0] == '#' || line[0] == '[') return;
    const int count = words.Init(line);
    const AnsiString& kind = words[0];
    // Words 1 to 5 of a cashier or currency, always five fields.
    auto fiveFields = [&words]() {
        AnsiString text = words[1];
        for (int i = 2; i <= 5; ++i) text += ";" + words[i];
        return text;
    };
    if (kind == "PLU") {
        tow.FromLine(words, LgLink);
        DodajRec(&tow);
    } else if (kind == "KON" || kind == "KONA") {
        kontr.FromLine(AnsiString(line), LgLink);
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
    } else if (kind == "OPER") {
        kasjerzy.push_back(std::make_unique<VelKasjer>(fiveFields(), LgLink));
    } else if (kind == "WAL") {
        waluty.push_back(std::make_unique<VelWaluta>(fiveFields(), LgLink));
    } else if (kind == "ASS") {
        asort.FromLine(AnsiString(line));
        DodajAsort(&asort);
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
