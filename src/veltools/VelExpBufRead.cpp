// Reading the host's export file into the export buffer.
#include <cmath>

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
}  // namespace

void VelExpBuf::ReadFromFile(const AnsiString& path, bool sort, int n)
{
    try {
        if (velaction) velaction->MsgAdd(Text("ufReadFromvelactionMsgAdd", "Wczytywanie listy towarów"), LPV_None, 100);
        TLTools::ArchiveFile(path, ExtractFilePath(path) + "ARCH2.EXP", LgLink, true, n, true, "");
        // The file is held once, whole; each line is taken from it in turn
        // into one reused buffer.
        const AnsiString text = TMFile::ReadWholeFile(path, 0);
        int count = 0;
        for (size_t from = 0, next = 0; from < text.size(); from = next, ++count) LineEnd(text, from, next);
        if (velaction) {
            velaction->MsgS(LPV_Ok);
            velaction->MsgAdd(Text("ufReadFromvelactionMsgAdd_00001", "Analiza listy towarów"), LPV_Percent, count);
        }

        TLJWords words = ExpWords("");
        VelTowRec tow;
        VelKontrRec kontr;
        VelAsort asort;
        AnsiString line;
        uint64_t lastProgress = GetTickCount64();
        size_t from = 0;
        for (int i = 0; i < count; ++i) {
            if (velaction && GetTickCount64() - lastProgress > ProgressEveryMs) {
                lastProgress = GetTickCount64();
                velaction->MsgP(i);
                Sleep(ProgressPauseMs);
            }
            size_t next = 0;
            size_t end = LineEnd(text, from, next);
            TrimRange(text, from, end);
            line.assign(text, from, end - from);
            try {
                ParseLine(line, words, tow, kontr, asort);
            } catch (const Exception& e) {
                throw Exception(Text("ufReadFromLineError", "Błąd w linii ") + IntToStr(i + 1) +
                                Text("ufReadFromLineError_00001", " pliku ") + ExtractFileName(path) + ": " +
                                e.Message());
            }
            from = next;
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

void VelExpBuf::ParseLine(const AnsiString& line, TLJWords& words, VelTowRec& tow, VelKontrRec& kontr,
                          VelAsort& asort)
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
        kontr.FromLine(line, LgLink);
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
        asort.FromLine(line);
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
