// Parsing the lines of the host's export file into its records.
#include "VelExpRec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "LTools.h"
#include "xftools.h"
#include "xtools.h"

namespace {

const char* const Section = "veltools_VelExpBuf";
const char* const FormatError = "Nieprawidłowy format pliku eksportowego";

AnsiString Text(const TMLgExtTools* lg, const char* key, const char* fallback)
{
    return GetString(lg, Section, key, 0, fallback);
}

size_t SkipBlanks(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && IsAsciiSpace(text[i])) ++i;
    return i;
}

stTow StatusFromWord(std::string_view word, const TMLgExtTools* lg)
{
    if (word == "DOD") return stDod;
    if (word == "AKT") return stAkt;
    if (word == "CEN") return stCen;
    if (word == "USU") return stUsu;
    ThrowExpFormat(lg, "VelTowRecFromLineExceptio");
}

bool FlagFromWord(std::string_view word, const TMLgExtTools* lg, const char* key)
{
    const char c = word.empty() ? '\0' : word[0];
    if (c == 'T' || c == 't') return true;
    if (c == 'F' || c == 'f') return false;
    ThrowExpFormat(lg, key);
}

// price times thousandths / 1000, rounded half away from zero to whole units,
// computed on the exact decimal of the price so that nothing is lost before
// the rounding.
double ScaleByThousandths(double price, int32_t thousandths)
{
    const TxfTools exact(price);
    __int128 divisor = 1000;
    for (int i = 0; i < exact.Scale(); ++i) divisor *= 10;
    const __int128 product = exact.Mantissa() * thousandths;
    __int128 q = product / divisor;
    const __int128 r = product % divisor;
    if (2 * (r < 0 ? -r : r) >= divisor) q += product < 0 ? -1 : 1;
    return static_cast<double>(q);
}

int32_t TruncToInt32(double value)
{
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// A whole-percent rate in hundredths; one that no 32-bit number holds is no rate.
int32_t RateInHundredths(int32_t rate, const TMLgExtTools* lg)
{
    const int64_t hundredths = int64_t{rate} * 100;
    if (hundredths > std::numeric_limits<int32_t>::max()) ThrowExpFormat(lg, "VelTowRecFromLineExceptio");
    return static_cast<int32_t>(hundredths);
}

// Whole numbers, the most common decimal words, are exact as doubles up to
// 15 digits and need no general parsing: the value of such a word of digits
// alone, or nothing for any other word.
std::optional<double> ShortWholeNumber(std::string_view digits)
{
    if (digits.empty() || digits.size() > 15 || !std::all_of(digits.begin(), digits.end(), IsAsciiDigit))
        return std::nullopt;
    int64_t whole = 0;
    for (const char c : digits) whole = whole * 10 + (c - '0');
    return static_cast<double>(whole);
}

// Why a goods line is refused: decimal word n (the field under key) is no number.
[[gnu::noinline]] AnsiString NotANumber(const TMLgExtTools* lg, int n, const char* key, const char* field,
                                        std::string_view word)
{
    return Text(lg, key, field) + " (" + Text(lg, "VelTowRecFieldNumber", "pole") + " " + IntToStr(n) + "): \"" +
           ExpCytat(word) + "\"" + Text(lg, "VelTowRecNotANumber", " nie jest liczbą");
}

// Decimal word n of a goods line; one that is no number reads as 0 and, as
// the first, gives the line's refusal.
[[gnu::always_inline]] inline double DecimalWord(std::string_view word, int n, const char* key, const char* field,
                                                 const TMLgExtTools* lg, AnsiString& refusal)
{
    double value = 0;
    if (!TryExpStrToDecimal(word, value) && refusal.empty()) refusal = NotANumber(lg, n, key, field, word);
    return value;
}

// Word n of an "OPER" or "WAL" text as a number, or the getter's own message.
int FieldAsInt(TLJWords& words, int n, const TMLgExtTools* lg, const char* key, const char* fallback)
{
    int32_t value = 0;
    if (!TryStrToInt(words[n], value)) throw Exception(Text(lg, key, fallback));
    return value;
}

}  // namespace

int32_t ExpStrToInt(std::string_view text)
{
    int32_t value = 0;
    if (!TryStrToInt(text, value))
        throw Exception(Format("\"%s\" nie jest prawidłową liczbą całkowitą", ExpCytat(text).c_str()));
    return value;
}

double ExpStrToDecimal(std::string_view text)
{
    size_t i = SkipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // A second sign is no number at all.
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) return 0;
    if (const std::optional<double> whole = ShortWholeNumber(text.substr(i))) return negative ? -*whole : *whole;
    double value = 0;
    const char* begin = text.data() + i;
    auto [end, ec] = std::from_chars(begin, text.data() + text.size(), value, std::chars_format::general);
    // What is no number at all reads as 0, as it always did; a number no
    // double holds, or "nan" and "inf", would turn into a wrong price.
    if (ec == std::errc::result_out_of_range || (ec == std::errc() && !std::isfinite(value)))
        throw Exception(Format("\"%s\" nie jest prawidłową liczbą", ExpCytat(text).c_str()));
    if (ec != std::errc() || end == begin) return 0;
    return negative ? -value : value;
}

bool TryExpStrToDecimal(std::string_view text, double& value)
{
    value = 0;
    size_t from = 0, end = text.size();
    TrimRange(text, from, end);
    std::string_view word = text.substr(from, end - from);
    if (word.empty()) return true;
    const bool negative = word[0] == '-';
    if (word[0] == '+' || word[0] == '-') word.remove_prefix(1);
    size_t i = 0, digits = 0, point = std::string_view::npos;
    for (; i < word.size(); ++i) {
        if (IsAsciiDigit(word[i]))
            ++digits;
        else if ((word[i] == '.' || word[i] == ',') && point == std::string_view::npos)
            point = i;
        else
            break;
    }
    if (digits == 0) return false;
    const bool exponent = i < word.size();
    if (exponent) {
        if (word[i] != 'e' && word[i] != 'E') return false;
        if (++i < word.size() && (word[i] == '+' || word[i] == '-')) ++i;
        const size_t first = i;
        while (i < word.size() && IsAsciiDigit(word[i])) ++i;
        if (i == first || i < word.size()) return false;
    }
    if (const std::optional<double> whole = ShortWholeNumber(word)) {
        value = negative ? -*whole : *whole;
        return true;
    }
    // The reader takes "." alone as the point.
    AnsiString pointed;
    if (point != std::string_view::npos && word[point] == ',') {
        pointed.assign(word);
        pointed[point] = '.';
        word = pointed;
    }
    double number = 0;
    const auto [stop, ec] = std::from_chars(word.data(), word.data() + word.size(), number, std::chars_format::general);
    if (ec != std::errc() || stop != word.data() + word.size() || !std::isfinite(number)) return false;
    value = negative ? -number : number;
    return true;
}

bool CenaNaKase(double cena, int32_t& out)
{
    const double whole = std::trunc(cena);
    if (!(whole >= INT32_MIN && whole <= INT32_MAX)) return false;
    out = static_cast<int32_t>(whole);
    return true;
}

AnsiString ExpCytat(std::string_view text)
{
    constexpr size_t Most = 40;
    if (text.size() <= Most) return AnsiString(text);
    AnsiString quoted(text.substr(0, Most));
    return quoted += "...";
}

int32_t ExpStrToIntPrefix(std::string_view text)
{
    size_t i = SkipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && IsAsciiDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{1} << 32) break;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

TLJWords ExpWords(const AnsiString& line)
{
    TLJWords words;
    words.FSeparator.assign(1, ';');
    words.Init(line);
    return words;
}

void ThrowExpFormat(const TMLgExtTools* lg, const char* key) { throw Exception(Text(lg, key, FormatError)); }

// --- VelTowRec -------------------------------------------------------------

void VelTowRec::Clear()
{
    plu = 0;
    koldod = 0;
    kod.clear();
    nazwa.clear();
    cena = cena_hurt = cena_noc = cena_dod = 0;
    stawka = 0;
    stawkaPrec = 0;
    jedn = 0;
    czy_wazony = false;
    precyzja = 0;
    wagowo_ilosciowy = false;
    opakowanie = false;
    cena_otwarta = true;
    kod_opakowania.assign(1, '0');  // a plain literal trips a false -Wrestrict of GCC 12
    plu_opakowania = 0;
    nr_asort = 0;
    status = stNull;
    opis1.clear();
    opis2.clear();
    opis3.clear();
    opis4.clear();
    dod_rabat_tow = 0;
    nazwa_pelna.clear();
    ile_jedn = 0;
    nr_buf = -1;
    plu_rec.clear();
    tr_ok = false;
    flag = false;
    add_rec = false;
    org_barcode.clear();
    org_status = stNull;
    from_ecr = false;
    tow_z_kontr = false;
    odrzucenie.clear();
}

bool VelTowRec::Bool(std::string_view word, const TMLgExtTools* lg)
{
    return FlagFromWord(word, lg, "VelTowRecBoolExceptio");
}

void VelTowRec::FromLine(const AnsiString& line, const TMLgExtTools* lg)
{
    TLJWords words = ExpWords(line);
    FromLine(words, lg);
}

void VelTowRec::FromLine(TLJWords& w, const TMLgExtTools* lg)
{
    Clear();
    // A price that is no number is never guessed: the line is taken with 0
    // and the reason why it must not go to the register.
    auto decimal = [&](int n, const char* key, const char* field) {
        return DecimalWord(w.View(n), n, key, field, lg, odrzucenie);
    };
    plu = ExpStrToInt(w.View(1));
    koldod = ExpStrToInt(w.View(2));
    kod.assign(w.View(3));
    nazwa.assign(w.View(4));
    cena = decimal(5, "VelTowRecFieldCena", "cena");
    cena_hurt = decimal(6, "VelTowRecFieldCenaHurt", "cena hurtowa");
    cena_noc = decimal(7, "VelTowRecFieldCenaNoc", "cena nocna");
    cena_dod = decimal(8, "VelTowRecFieldCenaDod", "cena dodatkowa");
    stawka = ExpStrToInt(w.View(9));
    jedn = ExpStrToInt(w.View(10));
    czy_wazony = Bool(w.View(11), lg);
    precyzja = ExpStrToInt(w.View(12));
    wagowo_ilosciowy = Bool(w.View(13), lg);
    opakowanie = Bool(w.View(14), lg);
    cena_otwarta = Bool(w.View(15), lg);
    kod_opakowania.assign(w.View(16));
    const std::string_view pluOpakowania = w.View(17);
    if (!pluOpakowania.empty()) plu_opakowania = ExpStrToInt(pluOpakowania);
    nr_asort = ExpStrToInt(w.View(18));
    status = StatusFromWord(w.View(19), lg);
    org_barcode = kod;
    org_status = status;

    // The optional words: a word past the end of the line reads as empty,
    // which every conversion below turns into the word's default.
    opis1.assign(w.View(20));
    opis2.assign(w.View(21));
    PKWiU.assign(w.View(22));
    SWW.assign(w.View(23));
    TerminW = ExpStrToIntPrefix(w.View(24));
    poziom_cen = StrToIntDef(w.View(25), -1);
    ile_w_kodzie = StrToIntDef(w.View(26), 1000);
    opis3.assign(w.View(27));
    opis4.assign(w.View(28));
    dod_rabat_tow = decimal(29, "VelTowRecFieldRabat", "dodatkowy rabat");
    // A precise rate that is missing or no number leaves the whole-percent one.
    int32_t precise = 0;
    if (w.GetCount() >= 31 && TryStrToInt(w.View(30), precise))
        stawkaPrec = precise;
    else
        stawkaPrec = stawka < 0 ? -1 : RateInHundredths(stawka, lg);
    nazwa_pelna.assign(w.View(31));
    ile_jedn = TruncToInt32(decimal(32, "VelTowRecFieldIleJedn", "liczba jednostek"));

    // The level's price stands for the retail one (level 2 is the additional
    // price and 3 the night one here, unlike CenaAkt).
    if (poziom_cen == 1)
        cena = cena_hurt;
    else if (poziom_cen == 2)
        cena = cena_dod;
    else if (poziom_cen == 3)
        cena = cena_noc;

    // The barcode stands for ile_w_kodzie / 1000 pieces; no quantity at all
    // (0 or less) would make every price 0 or negative, so it scales nothing.
    if (ile_w_kodzie != 1000 && ile_w_kodzie > 0) {
        cena = ScaleByThousandths(cena, ile_w_kodzie);
        cena_hurt = ScaleByThousandths(cena_hurt, ile_w_kodzie);
        cena_noc = ScaleByThousandths(cena_noc, ile_w_kodzie);
        cena_dod = ScaleByThousandths(cena_dod, ile_w_kodzie);
    }
}

double VelTowRec::CenaAkt(int level) const
{
    switch (level) {
        case 1: return cena_hurt;
        case 2: return cena_noc;
        case 3: return cena_dod;
        default: return cena;
    }
}

AnsiString VelTowRec::OpisOdrzuconego() const
{
    const AnsiString name = TLTools::StrSize(TLTools::StrMax(nazwa, 16, true), 16, ' ', right, right);
    return Format("%s %s", ExpCytat(kod).c_str(), name.c_str());
}

// --- VelKontrRec -----------------------------------------------------------

void VelKontrRec::Clear()
{
    KontrId = 0;
    Nazwa.clear();
    Skrot.clear();
    Ulica.clear();
    Kod.clear();
    Miasto.clear();
    Telefon.clear();
    NIP.clear();
    KodKarty.clear();
    KartaAktywna = false;
    PoziomRabatu = 0;
    IloscPunktow = 0;
    nr_buf = -1;
}

bool VelKontrRec::Bool(const AnsiString& word, const TMLgExtTools* lg)
{
    return FlagFromWord(word, lg, "VelKontrRBoolExceptio");
}

void VelKontrRec::FromLine(const AnsiString& line, const TMLgExtTools* lg)
{
    TLJWords w = ExpWords(line);
    FromLine(w, lg);
}

void VelKontrRec::FromLine(TLJWords& w, const TMLgExtTools* lg)
{
    Clear();
    KontrId = ExpStrToInt(w.View(1));
    Nazwa.assign(w.View(2));
    Skrot.assign(w.View(3));
    Ulica.assign(w.View(4));
    Kod.assign(w.View(5));
    Miasto.assign(w.View(6));
    Telefon.assign(w.View(7));
    NIP.assign(w.View(8));
    KodKarty.assign(w.View(9));
    // Never the expiry of the customer read before this one.
    TdtTools expiry;
    TermWaznKarty = expiry.TryFromString(AnsiString(w.View(10)), fmtDateTimeCompressed) ? expiry.Value() : Now();
    KartaAktywna = Bool(AnsiString(w.View(11)), lg);
    RabatOdbiorcy = ExpStrToDecimal(w.View(12));
    PoziomRabatu = ExpStrToInt(w.View(13));
    IloscPunktow = StrToIntDef(w.View(14), 0);
}

// --- VelAsort --------------------------------------------------------------

void VelAsort::Clear()
{
    nr = 0;
    nazwa.clear();
}

void VelAsort::FromLine(const AnsiString& line)
{
    TLJWords w = ExpWords(line);
    FromLine(w);
}

void VelAsort::FromLine(TLJWords& w)
{
    Clear();
    nr = ExpStrToInt(w.View(1));
    nazwa.assign(w.View(2));
}

// --- VelKasjer -------------------------------------------------------------

VelKasjer::VelKasjer(AnsiString text, const TMLgExtTools* lg) : FText(std::move(text)), FWords(ExpWords(FText)), FLg(lg)
{
}

VelKasjer::VelKasjer(int numer, const AnsiString& nazwisko, int poziom, const AnsiString& identyfikator,
                     const AnsiString& kodKarty, const TMLgExtTools* lg)
    : VelKasjer(Format("%d;%s;%d;%s;%s", numer, nazwisko.c_str(), poziom, identyfikator.c_str(), kodKarty.c_str()),
                lg)
{
}

int VelKasjer::GetNumer()
{
    return FieldAsInt(FWords, 0, FLg, "VelKasjerGetNumerExceptio", "Błąd odczytu numeru kasjera");
}

AnsiString VelKasjer::GetNazwisko() { return FWords[1]; }

int VelKasjer::GetPoziomUprawnien()
{
    return FieldAsInt(FWords, 2, FLg, "VelKasjerGetPozioExceptio", "Błąd odczytu poziomu uprawnień kasjera");
}

AnsiString VelKasjer::GetIdentyfikator() { return FWords[3]; }

AnsiString VelKasjer::GetKodKarty() { return FWords[4]; }

// --- VelWaluta -------------------------------------------------------------

VelWaluta::VelWaluta(AnsiString text, const TMLgExtTools* lg) : FText(std::move(text)), FWords(ExpWords(FText)), FLg(lg)
{
}

AnsiString VelWaluta::GetKod() { return FWords[0]; }

AnsiString VelWaluta::GetNazwa() { return FWords[1]; }

int VelWaluta::GetKurs()
{
    return FieldAsInt(FWords, 2, FLg, "VelWalutaGetKursExceptio", "Błąd odczytu kursu waluty");
}

bool VelWaluta::GetCzyDomyslna() { return FWords[3] == "T"; }

bool VelWaluta::GetCzyMoznaWydawacReszte() { return FWords[4] == "T"; }
