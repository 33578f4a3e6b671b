#include "StawkiKolejne.h"

#include <algorithm>

#include "classes.h"

namespace {
bool WSlotach(int slot) { return slot >= 0 && slot < TVelStawkiKolejne::IloscSlotow; }
}  // namespace

TVelStawkiKolejne::TVelStawkiKolejne() { Wyczysc(); }

void TVelStawkiKolejne::Wyczysc() { std::fill(std::begin(FWartosci), std::end(FWartosci), Pusta); }

int32_t TVelStawkiKolejne::DoSlotu(int64_t value)
{
    if (value < Zwolniona || value > INT32_MAX) return Pusta;
    return static_cast<int32_t>(value);
}

int32_t TVelStawkiKolejne::GetWartosci(int slot) const { return WSlotach(slot) ? FWartosci[slot] : Pusta; }

void TVelStawkiKolejne::SetWartosci(int slot, int32_t value)
{
    if (WSlotach(slot)) FWartosci[slot] = DoSlotu(value);
}

bool TVelStawkiKolejne::GetUzywane(int slot) const { return GetWartosci(slot) >= Zwolniona; }

bool TVelStawkiKolejne::GetZwolnione(int slot) const { return GetWartosci(slot) == Zwolniona; }

void TVelStawkiKolejne::WczytajZTekstuParametru(const AnsiString& text, bool razy100)
{
    Wyczysc();
    TStringList lines;
    lines.SetText(Trim(text));
    const int n = std::min(lines.Count(), static_cast<int>(IloscSlotow));
    for (int k = 0; k < n; ++k) {
        int64_t value = 0;
        if (!TryStrToInt64(Trim(lines[k]), value)) continue;
        value = DoSlotu(value);
        if (razy100 && value > 0) value = DoSlotu(value * 100);
        FWartosci[k] = static_cast<int32_t>(value);
    }
}

void TVelStawkiKolejne::WczytajZListyDostepnychStawek(const std::vector<int32_t>& stawki)
{
    Wyczysc();
    std::vector<int32_t> rozne;
    for (int32_t s : stawki)
        if (std::find(rozne.begin(), rozne.end(), s) == rozne.end()) rozne.push_back(s);
    const size_t n = rozne.size();
    for (size_t k = 0; k < n && k < static_cast<size_t>(IloscSlotow); ++k)
        FWartosci[k] = DoSlotu(rozne[n - 1 - k]);
}

AnsiString TVelStawkiKolejne::SpiszDoTekstuParametru() const
{
    AnsiString r;
    for (int k = 0; k < IloscSlotow; ++k) {
        if (k > 0) r += "\r\n";
        r += IntToStr(FWartosci[k]);
    }
    return r;
}

void TVelStawkiKolejne::ObetnijDoTylu(int n)
{
    for (int k = std::max(n, 0); k < IloscSlotow; ++k) FWartosci[k] = Pusta;
}

int TVelStawkiKolejne::IleUstawionych() const
{
    int r = 0;
    for (int k = 0; k < IloscSlotow; ++k)
        if (FWartosci[k] >= Zwolniona) r = k + 1;
    return r;
}
