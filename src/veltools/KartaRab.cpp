#include "KartaRab.h"

#include "LTools.h"

namespace {
const char* const Sekcja = "veltools_KartaRab";

[[noreturn]] void Blad(const TMLgExtTools* lg, const char* key, const AnsiString& polish)
{
    throw Exception(GetString(lg, Sekcja, key, 0, polish));
}

bool Ma(const AnsiString& pattern, char c) { return pattern.find(c) != AnsiString::npos; }


// A number fitted to the run of its letter: zeros in front when shorter;
// when longer, the last digits under a lower-case date letter, else the first.
AnsiString Dopasuj(AnsiString text, int width, bool keepLast)
{
    if (keepLast && text.size() > static_cast<size_t>(width)) return text.substr(text.size() - width);
    return TLTools::StrSize(text, width, '0', left, right);
}
}  // namespace

void TKartaRab::Czysc()
{
    Przedrostek = 0;
    PoziomRabatu = 0;
    KodKlienta.clear();
}

void TKartaRab::SprawdzPoprawnoscWzorca(const AnsiString& pattern, const TMLgExtTools* lg) const
{
    if (pattern.empty())
        Blad(lg, "TKartaRabBrakFormatu",
             "TKartaRab: jak mam przetwarzać karty klienta, jeśli format nie wprowadzony?");
    if (Ma(pattern, 'y') && Ma(pattern, 'Y'))
        Blad(lg, "TKartaRabYiY", "TKartaRab: w formacie nie mogą występować równocześnie y i Y");
    if (Ma(pattern, 'm') && Ma(pattern, 'M'))
        Blad(lg, "TKartaRabMiM", "TKartaRab: w formacie nie mogą występować równocześnie m i M");
    if (Ma(pattern, 'd') && Ma(pattern, 'D'))
        Blad(lg, "TKartaRabDiD", "TKartaRab: w formacie nie mogą występować równocześnie d i D");
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (AnsiString("skryYmMdD").find(c) != AnsiString::npos || IsAsciiDigit(c)) continue;
        if (c == 'x') {
            if (i == 12) continue;
            Blad(lg, "TKartaRabCyfraKontrolna",
                 "TKartaRab: cyfra kontrolna EAN13 (literka 'x' w formacie karty) może być tylko na 13 "
                 "miejscu, albo wcale");
        }
        Blad(lg, "TKartaRabZnaki",
             "TKartaRab: niedopuszczalne znaki w formacie karty - używaj tylko 0-9 oraz skymdYMDrx");
    }
    if (!Ma(pattern, 'k'))
        Blad(lg, "TKartaRabBrakKodu", "TKartaRab: format karty musi zawierać sekcję z kodem klienta (\"kkk...\")");
}

AnsiString TKartaRab::Poskladaj(const AnsiString& pattern, const TMLgExtTools* lg) const
{
    SprawdzPoprawnoscWzorca(pattern, lg);
    int year = 0, month = 0, day = 0;
    DecodeDate(DataWaznosci, year, month, day);
    // The fitted text of each field letter.
    auto pole = [&](char c) -> AnsiString {
        const int n = TLTools::DlugoscSerii(pattern, c);
        switch (c) {
        case 's': return Dopasuj(IntToStr(Przedrostek), n, false);
        case 'k': return Dopasuj(KodKlienta, n, false);
        case 'r': return Dopasuj(IntToStr(PoziomRabatu), n, false);
        case 'y':
        case 'Y': return Dopasuj(IntToStr(year), n, c == 'y');
        case 'm':
        case 'M': return Dopasuj(IntToStr(month), n, c == 'm');
        case 'd':
        case 'D': return Dopasuj(IntToStr(day), n, c == 'd');
        default: return IsAsciiDigit(c) ? AnsiString(1, c) : AnsiString();
        }
    };
    AnsiString code;
    for (size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        code += pole(c);
        i = IsAsciiDigit(c) || c == 'x' ? i + 1 : code.size();
    }
    if (Ma(pattern, 'x')) TLTools::KorygujCyfreKontrolnaEAN13(code);
    return code;
}

void TKartaRab::Rozparsuj(const AnsiString& pattern, const AnsiString& code, const TMLgExtTools* lg)
{
    Czysc();
    SprawdzPoprawnoscWzorca(pattern, lg);
    const size_t at = pattern.find('k');
    if (at < code.size()) KodKlienta = code.substr(at, static_cast<size_t>(TLTools::DlugoscSerii(pattern, 'k')));
}
