#include "sysutils.h"

#include <charconv>
#include <clocale>
#include <cstdio>
#include <locale.h>
#include <vector>

namespace {
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

locale_t CLocale()
{
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}
}  // namespace

AnsiString TrimLeft(const AnsiString& s)
{
    size_t b = 0;
    while (b < s.size() && IsBlank(s[b])) ++b;
    return s.substr(b);
}

AnsiString TrimRight(const AnsiString& s)
{
    size_t e = s.size();
    while (e > 0 && IsBlank(s[e - 1])) --e;
    return s.substr(0, e);
}

AnsiString Trim(const AnsiString& s)
{
    size_t from = 0, end = s.size();
    TrimRange(s, from, end);
    return s.substr(from, end - from);
}

void TrimRange(std::string_view s, size_t& from, size_t& end)
{
    while (from < end && IsBlank(s[from])) ++from;
    while (end > from && IsBlank(s[end - 1])) --end;
}

AnsiString UpperCase(const AnsiString& s)
{
    AnsiString r = s;
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return r;
}

AnsiString LowerCase(const AnsiString& s)
{
    AnsiString r = s;
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

AnsiString IntToStr(int64_t value) { return std::to_string(value); }

bool TryStrToInt64(std::string_view s, int64_t& value)
{
    const char* b = s.data();
    const char* e = b + s.size();
    if (b != e && *b == '+') ++b;
    if (b == e) return false;
    int64_t v = 0;
    auto [p, ec] = std::from_chars(b, e, v);
    if (ec != std::errc() || p != e) return false;
    value = v;
    return true;
}

bool TryStrToInt(std::string_view s, int32_t& value)
{
    int64_t v = 0;
    if (!TryStrToInt64(s, v) || v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
}

int32_t StrToInt(std::string_view s)
{
    int32_t v = 0;
    if (!TryStrToInt(s, v)) throw EConvertError("'" + AnsiString(s) + "' nie jest poprawną wartością całkowitą");
    return v;
}

int32_t StrToIntDef(std::string_view s, int32_t fallback)
{
    int32_t v = 0;
    return TryStrToInt(s, v) ? v : fallback;
}

AnsiString FormatV(const char* format, va_list args)
{
    locale_t previous = uselocale(CLocale());
    va_list copy;
    va_copy(copy, args);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    AnsiString result;
    if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
        result.assign(small, static_cast<size_t>(n));
    } else if (n >= 0) {
        std::vector<char> big(static_cast<size_t>(n) + 1);
        std::vsnprintf(big.data(), big.size(), format, args);
        result.assign(big.data(), static_cast<size_t>(n));
    }
    uselocale(previous);
    return result;
}

AnsiString Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    AnsiString r = FormatV(format, args);
    va_end(args);
    return r;
}
