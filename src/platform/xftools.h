// The package's exact decimal number: an integer mantissa and a count of
// decimal places, so that "0.285" stays 0.285 and rounds to 0.29. Texts use
// "." whatever the process locale is.
#pragma once

#include "sysutils.h"

class TxfTools {
public:
    // At most this many decimal places are kept.
    static constexpr int MaxDecimals = 18;

    TxfTools() = default;
    // The shortest decimal that reads back as `value`; NaN, infinity or a
    // value beyond 10^18 throws Exception.
    explicit TxfTools(double value);

    // Reads an optional sign, digits, and an optional point followed by
    // digits (at least one digit in all, blanks around allowed); places past
    // `decimals` are rounded half away from zero. `acceptComma` lets "," stand
    // for the point (a text typed by a person). Anything else, or a value
    // beyond 10^18, throws Exception and leaves the number unchanged.
    TxfTools& FromString(const AnsiString& text, int decimals, bool acceptComma = false);
    // Half away from zero to `decimals` places (a negative count means 0).
    TxfTools& Round(int decimals);
    // Rounded to `decimals` places (no fewer are written), right-aligned in
    // at least `width` characters, "." as the point, no grouping.
    AnsiString ToString(int width, int decimals) const;
    // The nearest double.
    double Value() const;
    // Times 10 to the power n, exactly; throws Exception when the result
    // leaves the range (a negative n divides and may round).
    TxfTools& MulPow10(int n);

    // The number is Mantissa() / 10^Scale().
    __int128 Mantissa() const { return FMantissa; }
    int Scale() const { return FScale; }

private:
    __int128 FMantissa = 0;
    int FScale = 0;
};
