// TLTools: fitting texts, packed digits, decimal texts, leading zeros,
// EAN-13, code pages.
#include "LTools.h"

#include <algorithm>

#include "xftools.h"

namespace {

constexpr int PlRows = 14;
constexpr int PlLetters = 18;

// How each character set writes the Polish letters, in the column order
// Ą Ć Ę Ł Ń Ó Ś Ż Ź ą ć ę ł ń ó ś ż ź. Rows 0, 1, 2: CP852, Mazovia,
// Windows-1250; row 6: plain ASCII; the rest: register character sets.
const uint8_t pltables[PlRows][PlLetters] = {
    {0xA4, 0x8F, 0xA8, 0x9D, 0xE3, 0xE0, 0x97, 0xBD, 0x8D, 0xA5, 0x86, 0xA9, 0x88, 0xE4, 0xA2, 0x98, 0xBE, 0xAB},
    {0x8F, 0x95, 0x90, 0x9C, 0xA5, 0xA3, 0x98, 0xA1, 0xA0, 0x86, 0x8D, 0x91, 0x92, 0xA4, 0xA2, 0x9E, 0xA7, 0xA6},
    {0xA5, 0xC6, 0xCA, 0xA3, 0xD1, 0xD3, 0x8C, 0xAF, 0x8F, 0xB9, 0xE6, 0xEA, 0xB3, 0xF1, 0xF3, 0x9C, 0xBF, 0x9F},
    {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x88, 0x87, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0x91, 0x90},
    {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8},
    {0x80, 0x82, 0x84, 0x8B, 0x8D, 0x8E, 0x92, 0x97, 0x99, 0xA0, 0xA2, 0xA4, 0xAB, 0xAD, 0xAE, 0xB2, 0xB7, 0xB9},
    {0x41, 0x43, 0x45, 0x4C, 0x4E, 0x4F, 0x53, 0x5A, 0x5A, 0x61, 0x63, 0x65, 0x6C, 0x6E, 0x6F, 0x73, 0x7A, 0x7A},
    {0xC0, 0xC3, 0xC6, 0xCC, 0xCE, 0xD0, 0xD5, 0xDD, 0xDC, 0xE0, 0xE3, 0xE6, 0xEC, 0xEE, 0xF0, 0xF5, 0xFD, 0xFC},
    {0x79, 0x78, 0x7A, 0x6C, 0x4E, 0x74, 0x53, 0x5A, 0x5A, 0x79, 0x78, 0x7A, 0x6C, 0x4E, 0x74, 0x53, 0x5A, 0x5A},
    {0x79, 0x78, 0x7A, 0x6C, 0x7B, 0x74, 0x7C, 0x7D, 0x7E, 0x79, 0x78, 0x7A, 0x6C, 0x7B, 0x74, 0x7C, 0x7D, 0x7E},
    {0x02, 0x01, 0x03, 0xF8, 0x04, 0x99, 0x05, 0x06, 0x06, 0x02, 0x01, 0x03, 0xF8, 0x04, 0x99, 0x05, 0x06, 0x06},
    {0xCC, 0xCD, 0xCE, 0xCF, 0xD0, 0xD1, 0xD2, 0xD4, 0xD3, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCB, 0xCA},
    {0x7B, 0x7D, 0x7F, 0x81, 0x83, 0x85, 0x87, 0x8B, 0x89, 0x7C, 0x7E, 0x80, 0x82, 0x84, 0x86, 0x88, 0x8C, 0x8A},
    {0xB8, 0xB9, 0x7D, 0xBA, 0xC0, 0xB6, 0xBB, 0xBF, 0xBC, 0xB8, 0xB9, 0x7D, 0xBA, 0xC0, 0xB6, 0xBB, 0xBF, 0xBC},
};

void RequireRow(int32_t row)
{
    if (row < 0 || row >= PlRows)
        throw Exception(Format("Nieprawidłowy numer strony kodowej polskich liter: %d (dozwolone 0-%d)",
                               static_cast<int>(row), PlRows - 1));
}

int DigitValue(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u > '9' ? u - 0x37 : u - 0x30;
}

}  // namespace

AnsiString TLTools::plstring(AnsiString& text) const
{
    RequireRow(pltype_in);
    RequireRow(pltype_out);
    const uint8_t* in = pltables[pltype_in];
    const uint8_t* out = pltables[pltype_out];
    for (char& c : text) {
        for (int col = 0; col < PlLetters; ++col) {
            if (static_cast<uint8_t>(c) == in[col]) {
                c = static_cast<char>(out[col]);
                break;
            }
        }
    }
    return text;
}

AnsiString TLTools::StrSize(AnsiString& text, int n, char fill, e_just pad, e_just cut)
{
    const size_t want = n < 0 ? 0 : static_cast<size_t>(n);
    if (text.size() < want) {
        const AnsiString run(want - text.size(), fill);
        text = pad == right ? text + run : run + text;
    } else if (text.size() > want) {
        text = cut == right ? text.substr(0, want) : text.substr(text.size() - want);
    }
    return text;
}

AnsiString TLTools::StrMax(const AnsiString& text, int n, bool dots)
{
    const size_t most = n < 0 ? 0 : static_cast<size_t>(n);
    if (text.size() <= most) return text;
    AnsiString r = text.substr(0, most);
    if (dots && r.size() > 3) r.replace(r.size() - 3, 3, "...");
    return r;
}

uint8_t TLTools::Hex2BinDigit(const char* p) { return static_cast<uint8_t>(DigitValue(p[0]) * 16 + DigitValue(p[1])); }

void TLTools::Dec2Bin(const char* src, uint8_t* dst, int n)
{
    for (int i = 0; i < n; ++i) dst[i] = Hex2BinDigit(src + 2 * i);
}

void TLTools::Bin2Dec(const uint8_t* src, char* dst, int n)
{
    for (int i = 0; i < n; ++i) {
        dst[2 * i] = static_cast<char>('0' + (src[i] >> 4));
        dst[2 * i + 1] = static_cast<char>('0' + (src[i] & 0x0F));
    }
}

int32_t TLTools::Str2Int(const AnsiString& text, unsigned n)
{
    const Exception outOfRange("Liczba \"" + text + "\" poza zakresem 32 bitów");
    TxfTools number;
    number.FromString(text, 10);
    try {
        // Any factor above 10^38 overflows a non-zero value just the same.
        number.MulPow10(static_cast<int>(n > 38 ? 38 : n));
    } catch (const Exception&) {
        throw outOfRange;
    }
    number.Round(0);
    if (number.Mantissa() < INT32_MIN || number.Mantissa() > INT32_MAX) throw outOfRange;
    return static_cast<int32_t>(number.Mantissa());
}

int32_t TLTools::Str2Vat(const AnsiString& text)
{
    return text == "zw" ? -1 : StrToInt(text);
}

AnsiString TLTools::CopyTill(const AnsiString& src, AnsiString& out, const AnsiString& stops, int start)
{
    const size_t from = start < 1 ? 0 : static_cast<size_t>(start - 1);
    out = from < src.size() ? src.substr(from, src.find_first_of(stops, from) - from) : AnsiString();
    return out;
}

AnsiString TLTools::BezZerWiodacych(const AnsiString& code, size_t keep)
{
    const size_t zeros = std::min(code.find_first_not_of('0'), code.size());
    return code.substr(std::min(zeros, code.size() - std::min(keep, code.size())));
}

int TLTools::DlugoscSerii(const AnsiString& pattern, char c)
{
    const size_t at = pattern.find(c);
    if (at == AnsiString::npos) return 0;
    size_t end = at;
    while (end < pattern.size() && pattern[end] == c) ++end;
    return static_cast<int>(end - at);
}

void TLTools::KorygujCyfreKontrolnaEAN13(AnsiString& code)
{
    AnsiString digits;
    for (char c : code)
        if (IsAsciiDigit(c)) digits += c;
    digits.resize(12, '0');
    int sum = 0;
    for (int i = 0; i < 12; ++i) sum += (digits[static_cast<size_t>(11 - i)] - '0') * (i % 2 == 0 ? 3 : 1);
    const int rest = sum % 10;
    code = digits + static_cast<char>('0' + (rest == 0 ? 0 : 10 - rest));
}
