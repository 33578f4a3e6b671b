// The register's VAT-rate slots in its own order, each holding the host's
// rate it stands for (whole percent or hundredths, as the owner decides), the
// exemption (-1) or nothing (-999). Stored as a parameter text of ten decimal
// lines joined by CR LF.
#pragma once

#include <cstdint>
#include <vector>

#include "sysutils.h"

class TVelStawkiKolejne {
public:
    static constexpr int IloscSlotow = 10;
    static constexpr int32_t Zwolniona = -1;
    static constexpr int32_t Pusta = -999;

    // The value of a slot; -999 for a number outside 0 to 9.
    int32_t GetWartosci(int slot) const;
    // Stores a value, anything below -1 as -999; a number outside 0 to 9
    // changes nothing.
    void SetWartosci(int slot, int32_t value);
    // The slot holds a rate or the exemption.
    bool GetUzywane(int slot) const;
    // The slot holds the exemption.
    bool GetZwolnione(int slot) const;

    TVelStawkiKolejne();
    virtual ~TVelStawkiKolejne() = default;

    // Replaces all slots from a parameter text, slot k from line k. A line
    // that is no whole number, or whose value does not fit, gives an empty
    // slot. With razy100 every rate above 0 is multiplied by 100 (whole
    // percent into hundredths).
    void WczytajZTekstuParametru(const AnsiString& text, bool razy100);
    // Replaces all slots from the host's rates in the host's order: the last
    // rate goes to slot 0, the one before it to slot 1, and so on; of more than
    // ten rates the first ones are left out. A repeated rate counts once, where
    // it first appears.
    void WczytajZListyDostepnychStawek(const std::vector<int32_t>& stawki);
    // The same from a set of integers (GetCount, GetValues).
    template <class ZbiorLiczb>
    void WczytajZListyDostepnychStawek(const ZbiorLiczb& zbior)
    {
        std::vector<int32_t> stawki;
        for (int i = 0; i < zbior.GetCount(); ++i) stawki.push_back(zbior.GetValues(i));
        WczytajZListyDostepnychStawek(stawki);
    }
    // The parameter text of the ten slots.
    AnsiString SpiszDoTekstuParametru() const;
    // Empties slots n to 9 (all of them for n below 0).
    void ObetnijDoTylu(int n);
    // 1 + the number of the last used slot; 0 when none is used.
    int IleUstawionych() const;

private:
    int32_t FWartosci[IloscSlotow];

    void Wyczysc();
    // value as a slot value: -999 when below -1 or out of 32 bits.
    static int32_t DoSlotu(int64_t value);
};
