// The framework's date-time value and the package's date tool.
//
// A TDateTime counts days since 1899-12-30 00:00; the fraction is the time of
// day. Before that day the whole part is negative and the fraction still
// counts forward from midnight (-1.25 is 1899-12-29 06:00), as the framework
// keeps it. All texts are local time from the system clock.
#pragma once

#include <cstdint>
#include <string_view>

#include "sysutils.h"

using TDateTime = double;

// The current local date and time, to the millisecond.
TDateTime Now();
// Today, 00:00.
TDateTime Date();

// Years 1 to 9999; a day or time that does not exist throws Exception.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond);
bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond,
                       TDateTime& value);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond);

// Formats by a pattern of runs of letters, case-insensitive:
//   y, yy: two-digit year; yyy and longer: four digits;
//   m / mm: month, d / dd: day, h / hh: hour, n / nn: minute, s / ss: second
//   (one letter: no leading zero; two or more: two digits);
//   z: milliseconds without, zz and longer: with leading zeros (three digits).
// Every other character is copied. Minutes are always "n" ("mm" is the month).
AnsiString FormatDateTime(std::string_view pattern, TDateTime value);
// The framework's default date-time text: "yyyy-mm-dd hh:nn:ss".
AnsiString DateTimeToStr(TDateTime value);

// The date tool's fixed text forms.
enum TdtFormat {
    fmtDate = 0,                // "yyyy-mm-dd"
    fmt4YDate = 1,              // "yyyy-mm-dd"
    fmtTimeHMSms = 5,           // "hh:nn:ss.zzz"
    fmt4YDateTime = 7,          // "yyyy-mm-dd hh:nn:ss"
    fmtDateTimeCompressed = 13  // "yyyymmddhhnnsszzz", 17 digits
};

class TdtTools {
public:
    // The current date and time.
    TdtTools();
    TdtTools(TDateTime value) : FValue(value) {}

    TDateTime Value() const { return FValue; }
    void SetValue(TDateTime value) { FValue = value; }
    // The day without its time (00:00).
    TDateTime Date() const;
    // 1 Monday .. 7 Sunday.
    int DayOfWeekPl() const;
    // "poniedziałek" .. "niedziela".
    AnsiString DayOfWeekNamePl() const;

    // Throws Exception for a format not listed in TdtFormat.
    AnsiString ToString(TdtFormat format) const;
    // Reads back what ToString(fmtDateTimeCompressed) wrote: exactly 17 digits
    // (blanks around them allowed) of an existing date and time. Any other
    // text or format throws Exception and leaves the value unchanged.
    void FromString(const AnsiString& text, TdtFormat format);
    // The same without throwing: false, value unchanged.
    bool TryFromString(const AnsiString& text, TdtFormat format);

private:
    TDateTime FValue;
};
