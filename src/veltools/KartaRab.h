// The code of a customer's discount card built from a card pattern: position
// by position the pattern says where the card carries the fixed prefix, the
// customer's code, the discount level, parts of the expiry date, literal
// digits and an EAN-13 check digit.
#pragma once

#include <cstdint>

#include "classes.h"
#include "dttools.h"
#include "mlgexttools.h"

// A card pattern is made of:
//   "0"-"9"  that digit          "s"  the prefix        "k"  the customer code
//   "r"      the discount level  "y"/"Y", "m"/"M", "d"/"D"  expiry year, month, day
//   "x"      the EAN-13 check digit, only as the 13th character
// Each field is one run of its letter; the run's length is the field's width.
// A number longer than its run keeps its first digits, except the date's
// lower-case letters, which keep the last ones ("yy" of 2031 is 31).
class TKartaRab {
public:
    int32_t Przedrostek = 0;
    TDateTime DataWaznosci = 0;
    int32_t PoziomRabatu = 0;
    AnsiString KodKlienta;

    // Clears prefix, level and customer code; the expiry date stays.
    void Czysc();
    // Throws Exception with the text of the first fault of `pattern`.
    void SprawdzPoprawnoscWzorca(const AnsiString& pattern, const TMLgExtTools* lg) const;
    // The card code of the fields by `pattern`.
    AnsiString Poskladaj(const AnsiString& pattern, const TMLgExtTools* lg) const;
    // Clears the fields and takes the customer code out of `code`: the
    // characters under the run of "k" (as many of them as `code` holds).
    void Rozparsuj(const AnsiString& pattern, const AnsiString& code, const TMLgExtTools* lg);
};
