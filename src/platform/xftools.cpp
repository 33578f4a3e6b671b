#include "xftools.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace {

// Whole part limit: every mantissa stays below 10^(18 + 18), far inside the
// 128-bit range, so no step can overflow.
constexpr int MaxIntegerDigits = 18;

__int128 Pow10(int n)
{
    __int128 r = 1;
    while (n-- > 0) r *= 10;
    return r;
}

__int128 Abs(__int128 v) { return v < 0 ? -v : v; }

bool WithinRange(__int128 mantissa, int scale) { return Abs(mantissa) < Pow10(MaxIntegerDigits + scale); }

// mantissa / divisor, half away from zero.
__int128 DivRound(__int128 mantissa, __int128 divisor)
{
    __int128 q = mantissa / divisor;
    const __int128 r = mantissa % divisor;
    if (2 * Abs(r) >= divisor) q += mantissa < 0 ? -1 : 1;
    return q;
}

AnsiString Digits(__int128 value)
{
    if (value == 0) return "0";
    AnsiString s;
    while (value > 0) {
        s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
        value /= 10;
    }
    return s;
}

}  // namespace

TxfTools::TxfTools(double value)
{
    if (!std::isfinite(value)) throw Exception("Nieprawidłowa wartość liczby");
    char buffer[512];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (ec != std::errc()) throw Exception("Liczba poza zakresem");
    FromString(AnsiString(buffer, end), MaxDecimals);
}

TxfTools& TxfTools::FromString(const AnsiString& text, int decimals, bool acceptComma)
{
    const AnsiString t = Trim(text);
    const int keep = decimals < 0 ? 0 : (decimals > MaxDecimals ? MaxDecimals : decimals);
    size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    __int128 m = 0;
    int scale = 0, digits = 0;
    bool overflow = false, dropped = false, roundUp = false;
    for (; i < t.size() && IsAsciiDigit(t[i]); ++i, ++digits) {
        if (!overflow) m = m * 10 + (t[i] - '0');
        overflow = overflow || m >= Pow10(MaxIntegerDigits);
    }
    if (i < t.size() && (t[i] == '.' || (acceptComma && t[i] == ','))) {
        for (++i; i < t.size() && IsAsciiDigit(t[i]); ++i, ++digits) {
            if (scale < keep) {
                m = m * 10 + (t[i] - '0');
                ++scale;
            } else if (!dropped) {
                dropped = true;
                roundUp = t[i] >= '5';
            }
        }
    }
    if (i != t.size() || digits == 0) throw Exception("Nieprawidłowy zapis liczby: \"" + text + "\"");
    if (roundUp) ++m;
    if (overflow || !WithinRange(m, scale)) throw Exception("Liczba poza zakresem: \"" + text + "\"");
    FMantissa = negative ? -m : m;
    FScale = scale;
    return *this;
}

TxfTools& TxfTools::Round(int decimals)
{
    if (decimals < 0) decimals = 0;
    if (decimals >= FScale) return *this;
    FMantissa = DivRound(FMantissa, Pow10(FScale - decimals));
    FScale = decimals;
    return *this;
}

AnsiString TxfTools::ToString(int width, int decimals) const
{
    if (decimals < 0) decimals = 0;
    if (decimals > MaxDecimals) decimals = MaxDecimals;
    TxfTools r = *this;
    r.Round(decimals);
    const __int128 a = Abs(r.FMantissa);
    const __int128 unit = Pow10(r.FScale);
    AnsiString s = (r.FMantissa < 0 ? "-" : "") + Digits(a / unit);
    if (decimals > 0) {
        AnsiString frac = r.FScale > 0 ? Digits(a % unit) : "";
        frac.insert(0, static_cast<size_t>(r.FScale) - frac.size(), '0');
        s += "." + frac + AnsiString(static_cast<size_t>(decimals - r.FScale), '0');
    }
    if (width > 0 && s.size() < static_cast<size_t>(width)) s.insert(0, static_cast<size_t>(width) - s.size(), ' ');
    return s;
}

double TxfTools::Value() const
{
    const AnsiString s = ToString(0, FScale);
    double v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

TxfTools& TxfTools::MulPow10(int n)
{
    if (FMantissa == 0) {
        FScale = 0;
        return *this;
    }
    if (n >= 0) {
        const int fromScale = n < FScale ? n : FScale;
        FScale -= fromScale;
        const int rest = n - fromScale;
        if (rest > MaxIntegerDigits + FScale || Abs(FMantissa) >= Pow10(MaxIntegerDigits + FScale - rest))
            throw Exception("Liczba poza zakresem");
        FMantissa *= Pow10(rest);
        return *this;
    }
    const int64_t wanted = static_cast<int64_t>(FScale) - n;
    if (wanted <= MaxDecimals) {
        FScale = static_cast<int>(wanted);
        return *this;
    }
    const int64_t excess = wanted - MaxDecimals;
    FMantissa = excess > 37 ? 0 : DivRound(FMantissa, Pow10(static_cast<int>(excess)));
    FScale = MaxDecimals;
    return *this;
}
