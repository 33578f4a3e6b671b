#include "dttools.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace {

constexpr int64_t MsPerDay = 86400000;
// Days from 1970-01-01 back to 1899-12-30, the framework's day 0.
constexpr int64_t UnixDayOfFrameworkEpoch = -25569;

// Proleptic Gregorian calendar, day 0 = 1970-01-01.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (month <= 2));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

bool ValidDate(int y, int m, int d) { return y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, m); }

bool ValidTime(int h, int n, int s, int ms)
{
    return h >= 0 && h < 24 && n >= 0 && n < 60 && s >= 0 && s < 60 && ms >= 0 && ms < 1000;
}

int64_t DayNumber(int y, int m, int d)
{
    return DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) - UnixDayOfFrameworkEpoch;
}

TDateTime Combine(int64_t day, int64_t msOfDay)
{
    const double t = static_cast<double>(msOfDay) / MsPerDay;
    return day >= 0 ? static_cast<double>(day) + t : static_cast<double>(day) - t;
}

// The day number and the millisecond of that day, rounded to the millisecond.
void Split(TDateTime value, int64_t& day, int64_t& msOfDay)
{
    const double whole = std::trunc(value);
    day = static_cast<int64_t>(whole);
    msOfDay = std::llround(std::fabs(value - whole) * MsPerDay);
    if (msOfDay >= MsPerDay) {
        msOfDay -= MsPerDay;
        day += value >= 0 ? 1 : -1;
    }
}

// The number in at least `width` characters, zeros in front (after the
// sign of a negative one), as "%0*d" gives it, without the cost of printf:
// a sales file holds a date in every record.
void AppendNumber(AnsiString& out, int value, int width)
{
    char digits[12];
    int n = 0;
    auto magnitude = static_cast<unsigned>(value);
    if (value < 0) {
        out += '-';
        magnitude = 0u - magnitude;
        --width;
    }
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    out.append(static_cast<size_t>(std::max(width - n, 0)), '0');
    while (n > 0) out += digits[--n];
}

}  // namespace

bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond,
                       TDateTime& value)
{
    if (!ValidDate(year, month, day) || !ValidTime(hour, minute, second, millisecond)) return false;
    const int64_t ms = ((static_cast<int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
    value = Combine(DayNumber(year, month, day), ms);
    return true;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond)
{
    TDateTime v = 0;
    if (!TryEncodeDateTime(year, month, day, hour, minute, second, millisecond, v))
        throw Exception(Format("Nieprawidłowa data lub godzina: %04d-%02d-%02d %02d:%02d:%02d.%03d", year, month,
                               day, hour, minute, second, millisecond));
    return v;
}

TDateTime EncodeDate(int year, int month, int day) { return EncodeDateTime(year, month, day, 0, 0, 0, 0); }

TDateTime EncodeTime(int hour, int minute, int second, int millisecond)
{
    return EncodeDateTime(1899, 12, 30, hour, minute, second, millisecond);
}

void DecodeDate(TDateTime value, int& year, int& month, int& day)
{
    int64_t d = 0, ms = 0;
    Split(value, d, ms);
    CivilFromDays(d + UnixDayOfFrameworkEpoch, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond)
{
    int64_t d = 0, ms = 0;
    Split(value, d, ms);
    millisecond = static_cast<int>(ms % 1000);
    second = static_cast<int>(ms / 1000 % 60);
    minute = static_cast<int>(ms / 60000 % 60);
    hour = static_cast<int>(ms / 3600000);
}

TDateTime Now()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    const time_t secs = ts.tv_sec;
    tm local{};
    localtime_r(&secs, &local);
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          local.tm_sec > 59 ? 59 : local.tm_sec, static_cast<int>(ts.tv_nsec / 1000000));
}

TDateTime Date() { return std::trunc(Now()); }

AnsiString FormatDateTime(std::string_view pattern, TDateTime value)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    DecodeDate(value, y, mo, d);
    DecodeTime(value, h, mi, s, ms);
    AnsiString out;
    // Room for the whole text at once, as the fields rarely outgrow their letters.
    out.reserve(pattern.size() + 8);
    size_t i = 0;
    while (i < pattern.size()) {
        const char c = static_cast<char>(pattern[i] | 0x20);
        size_t run = 1;
        while (i + run < pattern.size() && static_cast<char>(pattern[i + run] | 0x20) == c) ++run;
        const int width2 = run >= 2 ? 2 : 1;
        switch (c) {
        case 'y':
            if (run >= 3)
                AppendNumber(out, y, 4);
            else
                AppendNumber(out, y % 100, 2);
            break;
        case 'm': AppendNumber(out, mo, width2); break;
        case 'd': AppendNumber(out, d, width2); break;
        case 'h': AppendNumber(out, h, width2); break;
        case 'n': AppendNumber(out, mi, width2); break;
        case 's': AppendNumber(out, s, width2); break;
        case 'z': AppendNumber(out, ms, run >= 2 ? 3 : 1); break;
        default: out.append(pattern.substr(i, run)); break;
        }
        i += run;
    }
    return out;
}

AnsiString DateTimeToStr(TDateTime value) { return FormatDateTime("yyyy-mm-dd hh:nn:ss", value); }

TdtTools::TdtTools() : FValue(Now()) {}

TDateTime TdtTools::Date() const
{
    int64_t d = 0, ms = 0;
    Split(FValue, d, ms);
    return static_cast<double>(d);
}

int TdtTools::DayOfWeekPl() const
{
    int64_t d = 0, ms = 0;
    Split(FValue, d, ms);
    // Day 0 was a Saturday.
    return static_cast<int>(((d + 5) % 7 + 7) % 7) + 1;
}

AnsiString TdtTools::DayOfWeekNamePl() const
{
    static const char* const names[7] = {"poniedziałek", "wtorek", "środa",    "czwartek",
                                         "piątek",       "sobota", "niedziela"};
    return names[DayOfWeekPl() - 1];
}

AnsiString TdtTools::ToString(TdtFormat format) const
{
    switch (format) {
    case fmtDate:
    case fmt4YDate: return FormatDateTime("yyyy-mm-dd", FValue);
    case fmtTimeHMSms: return FormatDateTime("hh:nn:ss.zzz", FValue);
    case fmt4YDateTime: return FormatDateTime("yyyy-mm-dd hh:nn:ss", FValue);
    case fmtDateTimeCompressed: return FormatDateTime("yyyymmddhhnnsszzz", FValue);
    }
    throw Exception(Format("Nieobsługiwany format daty: %d", static_cast<int>(format)));
}

bool TdtTools::TryFromString(const AnsiString& text, TdtFormat format)
{
    if (format != fmtDateTimeCompressed) return false;
    const AnsiString t = Trim(text);
    if (t.size() != 17) return false;
    for (char c : t)
        if (!IsAsciiDigit(c)) return false;
    auto num = [&t](size_t from, size_t len) {
        int v = 0;
        for (size_t i = from; i < from + len; ++i) v = v * 10 + (t[i] - '0');
        return v;
    };
    return TryEncodeDateTime(num(0, 4), num(4, 2), num(6, 2), num(8, 2), num(10, 2), num(12, 2), num(14, 3), FValue);
}

void TdtTools::FromString(const AnsiString& text, TdtFormat format)
{
    if (format != fmtDateTimeCompressed)
        throw Exception(Format("Nieobsługiwany format odczytu daty: %d", static_cast<int>(format)));
    if (!TryFromString(text, format)) throw Exception("Nieprawidłowy zapis daty i czasu: \"" + text + "\"");
}
