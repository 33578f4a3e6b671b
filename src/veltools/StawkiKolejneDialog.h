// The dialog in which the user tells the driver which of the host's VAT
// rates each slot of the register holds (the driver's window 0). This is its
// model: what it shows, what the user may change and what it gives back;
// the view (StawkiKolejneDialogView.cpp) draws it and lets the user choose.
#pragma once

#include <cstdint>
#include <vector>

#include "mlgexttools.h"
#include "sysutils.h"

class TMacSetOfIntegers;
class TVelStawkiKolejne;

class TFrmStawkiNaKasie {
public:
    static constexpr int IloscWierszy = 10;
    // The modal results of the two buttons.
    static constexpr int mrOk = 1;
    static constexpr int mrCancel = 2;

    // One row: its label and its drop-down of the host's rates.
    struct Wiersz {
        AnsiString Etykieta;
        int Wybrany = -1;  // the chosen item, -1 for none
        bool Widoczny = true;
        bool Dostepny = true;
    };

    // precise: the rates are hundredths of a percent, shown with two decimals.
    TFrmStawkiNaKasie(void* owner, bool precise, const TMLgExtTools* lgTools);
    virtual ~TFrmStawkiNaKasie() = default;

    // Every drop-down gets "<pusta>" and then the host's rates, the first item chosen.
    void SetStawkiMarket(const TMacSetOfIntegers& stawki);
    // Chooses each row's item from the slot it stands for; editable or not.
    void SetStawkiUrzadzenia(const TVelStawkiKolejne& stawki, bool edytowalne);
    // Rows 1 to n shown, the rest hidden.
    void SetIloscStawek(int n);
    // Labels the rows from the first slot's name: a number counts up, a
    // letter runs on through the code page ("A" gives A: to J:).
    void SetNazwaStawki(const AnsiString& nazwa);
    // Writes each row's choice into the slots, hidden rows too.
    void GetStawkiUrzadzenia(TVelStawkiKolejne& stawki) const;
    // The special row, shown in the place of row 10 and never read back.
    void StawkaSpecjalna(const AnsiString& nazwa, int32_t wartosc);
    void SetSpecjalnaWidoczna(bool widoczna);
    bool GetSpecjalnaWidoczna() const { return FSpecjalnaWidoczna; }

    // A slot's value as the list shows it, and a list text read back.
    AnsiString ToDispFormat(int32_t wartosc) const;
    int32_t FromDispFormat(const AnsiString& tekst) const;

    // Shows the dialog modally (the view); mrOk or mrCancel.
    int ShowModal();

    // What the view shows and changes.
    AnsiString Caption = "Stawki VAT na kasie";
    AnsiString OkCaption = "OK";
    AnsiString CancelCaption = "Anuluj";
    bool OkDostepny = true;
    std::vector<AnsiString> Pozycje;  // the items of every row's drop-down
    Wiersz Wiersze[IloscWierszy];
    AnsiString EtykietaSpecjalna = "11:";
    AnsiString TekstSpecjalny;  // the special drop-down's text

private:
    bool FPrecyzyjne;
    const TMLgExtTools* FLgTools;
    bool FSpecjalnaWidoczna = false;
    AnsiString FNazwaSpecjalna;
    int32_t FWartoscSpecjalna = -1;

    AnsiString Txt(const AnsiString& key, const AnsiString& polish) const;
};
