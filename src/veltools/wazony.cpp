#include "wazony.h"

#include <algorithm>

#include "LTools.h"

namespace {
const size_t DlugoscKodu = 13;
const char* const Sekcja = "veltools_wazony";

[[noreturn]] void Blad(const TMLgExtTools* lg, const char* key, const AnsiString& fallback,
                       const AnsiString& tail = AnsiString())
{
    throw Exception(GetString(lg, Sekcja, key, 0, fallback) + tail);
}

// Only a 13-character format can describe a code; one starting with the check
// digit has no prefix to match on. Anything else in the host's list is ignored.
bool FormatUzywalny(const AnsiString& format) { return format.size() == DlugoscKodu && format[0] != 'K'; }

bool TenSamPrzedrostek(const AnsiString& format, const AnsiString& code)
{
    return code.size() >= 2 && format.compare(0, 2, code, 0, 2) == 0;
}


// Cut to its first n characters or padded with "0" in front to n characters.
AnsiString Dopasuj(const AnsiString& s, int n)
{
    const size_t len = static_cast<size_t>(n);
    if (s.size() >= len) return s.substr(0, len);
    return AnsiString(len - s.size(), '0') + s;
}

AnsiString DopelnijDo13(const AnsiString& s, char c)
{
    return s.size() >= DlugoscKodu ? s : s + AnsiString(DlugoscKodu - s.size(), c);
}
}  // namespace

TKodWazony::TKodWazony(const TStringList* formaty) : formaty(formaty) { Czysc(); }

void TKodWazony::Czysc()
{
    FullZZerami.clear();
    CzescStala.clear();
    Przedrostek.clear();
    KodZZerami.clear();
    KodBezZer.clear();
    RozmiarKodu = 0;
    Grupa.clear();
}

void TKodWazony::SprawdzFormaty(const TMLgExtTools* lg, const TStringList* list)
{
    if (list) formaty = list;
    if (!formaty) Blad(lg, "TKodWazonyNieZainicjowane", "TKodWazony: formaty ważone nie zainicjowane!");
}

const AnsiString* TKodWazony::FormatDlaKodu(const AnsiString& code) const
{
    for (const AnsiString& format : *formaty)
        if (FormatUzywalny(format) && TenSamPrzedrostek(format, code)) return &format;
    return nullptr;
}

AnsiString TKodWazony::Poskladaj(const AnsiString& format, const TMLgExtTools* lg)
{
    SprawdzFormaty(lg, nullptr);
    if (format.size() != DlugoscKodu)
        Blad(lg, "TKodWazonyPoskladajFormat", "TKodWazony: nieprawidłowy format wcorca kodu");
    const int nx = TLTools::DlugoscSerii(format, 'x');
    const int nS = TLTools::DlugoscSerii(format, 'S');
    if (nS == 0) Blad(lg, "TKodWazonyPoskladajBrakS", "TKodWazony: brak cześci stałej \"S\" w formacie");
    const int nZm = TLTools::DlugoscSerii(format, '?');
    if (nZm == 0) Blad(lg, "TKodWazonyPoskladajBrakZm", "TKodWazony: brak cześci zmiennej \"?\" w formacie");
    const int nG = TLTools::DlugoscSerii(format, 'G');

    const AnsiString p = Dopasuj(Przedrostek, nx);
    const AnsiString n = Dopasuj(TLTools::BezZerWiodacych(KodZZerami), nS);
    const AnsiString g = Dopasuj(Grupa, nG);
    AnsiString r;
    size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        switch (c) {
            case 'x': r += p; break;
            case 'S': r += n; break;
            case '?': r.append(static_cast<size_t>(nZm), '?'); break;
            case 'G': r += g; break;
            case 'K': r += (!r.empty() && r.back() == '?') ? '?' : '0'; break;
            default:
                if (IsAsciiDigit(c)) r += c;
                break;
        }
        // A run letter stands for its whole run: go on after what it gave.
        if (c == 'x' || c == 'S' || c == '?' || c == 'G')
            i = r.size();
        else
            ++i;
    }
    FullZZerami = r;
    std::replace(FullZZerami.begin(), FullZZerami.end(), '?', '0');
    return r;
}

AnsiString TKodWazony::NormalizujPelny(const AnsiString& code, const TMLgExtTools* lg)
{
    SprawdzFormaty(lg, nullptr);
    if (code.size() != DlugoscKodu) return code;
    const AnsiString* format = FormatDlaKodu(code);
    if (!format) return code;
    const auto stale = std::count_if(format->begin(), format->end(), [](char c) { return c != '?' && c != 'K'; });
    return code.substr(0, static_cast<size_t>(stale)) + AnsiString(DlugoscKodu - static_cast<size_t>(stale), '?');
}

AnsiString TKodWazony::NormalizujNiepelny(const AnsiString& code, const TMLgExtTools* lg)
{
    SprawdzFormaty(lg, nullptr);
    if (code.size() < 3) return code;
    for (const AnsiString& format : *formaty) {
        if (!FormatUzywalny(format) || !TenSamPrzedrostek(format, code)) continue;
        const size_t f = format.find_first_of("?K");
        if (f != AnsiString::npos && f > 2 && code.size() == f) return DopelnijDo13(code, '?');
    }
    return code;
}

AnsiString TKodWazony::ZnajdzFormat(const AnsiString& code, const TMLgExtTools* lg, const TStringList* list)
{
    SprawdzFormaty(lg, list);
    Czysc();
    if (code.size() != DlugoscKodu)
        Blad(lg, "TKodWazonyZnajdzFormatDlugosc",
             "TKodWazony: Podany kod niby ważony, a nie ma odpowiedniej długości: ", code);
    const AnsiString* format = FormatDlaKodu(code);
    if (!format)
        Blad(lg, "TKodWazonyZnajdzFormatBrak", "TKodWazony: Nie znaleziono pasującego formatu dla kodu: ", code);
    return *format;
}

bool TKodWazony::Rozparsuj(const AnsiString& code, const TMLgExtTools* lg, const TStringList* list)
{
    SprawdzFormaty(lg, list);
    Czysc();
    if (code.size() != DlugoscKodu) return false;
    const AnsiString* format = FormatDlaKodu(code);
    if (!format) return false;
    for (size_t i = 2; i < DlugoscKodu; ++i) {
        if ((*format)[i] == 'G') {
            Grupa += code[i];
        } else if ((*format)[i] == 'S') {
            KodZZerami += code[i];
            ++RozmiarKodu;
        }
    }
    Przedrostek = code.substr(0, 2);
    const size_t q = code.find('?');
    CzescStala = q == AnsiString::npos ? AnsiString() : code.substr(0, q);
    FullZZerami = DopelnijDo13(CzescStala, '0');
    KodBezZer = TLTools::BezZerWiodacych(KodZZerami);
    return true;
}
