#include "StawkiKolejneDialog.h"

#include "StawkiKolejne.h"
#include "setofintegers.h"
#include "xftools.h"

namespace {
const char* kSection = "veltools_fstavat";
}

TFrmStawkiNaKasie::TFrmStawkiNaKasie(void*, bool precise, const TMLgExtTools* lgTools)
    : FPrecyzyjne(precise), FLgTools(lgTools)
{
    Caption = Txt("Caption", Caption);
    OkCaption = Txt("btn_okCaption", OkCaption);
    CancelCaption = Txt("btn_cancCaption", CancelCaption);
    for (int i = 0; i < IloscWierszy; ++i) Wiersze[i].Etykieta = IntToStr(i + 1) + ":";
}

AnsiString TFrmStawkiNaKasie::Txt(const AnsiString& key, const AnsiString& polish) const
{
    return GetString(FLgTools, kSection, key, 0, polish);
}

void TFrmStawkiNaKasie::SetStawkiMarket(const TMacSetOfIntegers& stawki)
{
    Pozycje = {Txt("TFrmStawSetStawkstr", "<pusta>")};
    for (int i = 0; i < stawki.GetCount(); ++i) Pozycje.push_back(ToDispFormat(stawki.GetValues(i)));
    for (Wiersz& w : Wiersze) w.Wybrany = 0;
}

void TFrmStawkiNaKasie::SetStawkiUrzadzenia(const TVelStawkiKolejne& stawki, bool edytowalne)
{
    for (int i = 0; i < IloscWierszy; ++i) {
        const AnsiString shown = ToDispFormat(stawki.GetWartosci(i));
        Wiersz& w = Wiersze[i];
        w.Wybrany = 0;
        for (size_t k = 0; k < Pozycje.size(); ++k)
            if (Trim(Pozycje[k]) == shown) {
                w.Wybrany = static_cast<int>(k);
                break;
            }
        w.Dostepny = edytowalne;
    }
    OkDostepny = edytowalne;
}

void TFrmStawkiNaKasie::SetIloscStawek(int n)
{
    for (int i = 0; i < IloscWierszy; ++i) Wiersze[i].Widoczny = i < n;
}

void TFrmStawkiNaKasie::SetNazwaStawki(const AnsiString& nazwa)
{
    // Without a name the rows keep the form's own numbers, 1 to 10.
    const int32_t number = nazwa.empty() ? 1 : StrToIntDef(nazwa, -1);
    for (int i = 0; i < IloscWierszy; ++i) {
        if (number >= 0)
            Wiersze[i].Etykieta = IntToStr(static_cast<int64_t>(number) + i) + ":";
        else
            Wiersze[i].Etykieta = AnsiString(1, static_cast<char>(static_cast<unsigned char>(nazwa[0]) + i)) + ":";
    }
}

void TFrmStawkiNaKasie::GetStawkiUrzadzenia(TVelStawkiKolejne& stawki) const
{
    for (int i = 0; i < IloscWierszy; ++i) {
        const int chosen = Wiersze[i].Wybrany;
        const bool rate = chosen > 0 && chosen < static_cast<int>(Pozycje.size());
        stawki.SetWartosci(i, rate ? FromDispFormat(Pozycje[static_cast<size_t>(chosen)]) : TVelStawkiKolejne::Pusta);
    }
}

void TFrmStawkiNaKasie::StawkaSpecjalna(const AnsiString& nazwa, int32_t wartosc)
{
    FNazwaSpecjalna = nazwa;
    FWartoscSpecjalna = wartosc;
}

void TFrmStawkiNaKasie::SetSpecjalnaWidoczna(bool widoczna)
{
    if (widoczna == FSpecjalnaWidoczna) return;
    FSpecjalnaWidoczna = widoczna;
    if (widoczna) {
        TekstSpecjalny = ToDispFormat(FWartoscSpecjalna);
        EtykietaSpecjalna = FNazwaSpecjalna;
    }
}

AnsiString TFrmStawkiNaKasie::ToDispFormat(int32_t wartosc) const
{
    if (wartosc < TVelStawkiKolejne::Zwolniona) return Txt("TFrmStawToDispForeturn", "<pusta>");
    if (wartosc == TVelStawkiKolejne::Zwolniona) return "zw";
    if (FPrecyzyjne) return TxfTools(wartosc).MulPow10(-2).ToString(2, 2);
    return IntToStr(wartosc > 100 ? 100 : wartosc);
}

int32_t TFrmStawkiNaKasie::FromDispFormat(const AnsiString& tekst) const
{
    const AnsiString text = Trim(tekst);
    if (LowerCase(text) == "zw") return TVelStawkiKolejne::Zwolniona;
    try {
        TxfTools number;
        number.FromString(text, 10, true);
        if (FPrecyzyjne) number.Round(2).MulPow10(2);
        number.Round(0);
        const __int128 whole = number.Mantissa();
        if (whole < INT32_MIN || whole > INT32_MAX) return TVelStawkiKolejne::Pusta;
        return static_cast<int32_t>(whole);
    } catch (const Exception&) {
        return TVelStawkiKolejne::Pusta;
    }
}
