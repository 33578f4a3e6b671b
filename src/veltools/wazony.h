// In-store barcodes of weighed goods: a 2-digit prefix, the goods number and
// a variable part (weight or price). Matches codes with the host's barcode
// formats and turns codes into patterns with every variable digit as "?".
#pragma once

#include <cstdint>

#include "classes.h"
#include "mlgexttools.h"
#include "sysutils.h"

// A format is 13 characters: 2 prefix digits, then "S" (goods number), "G"
// (group), "?" (variable part), "K" (check digit), "x" (a prefix digit, in the
// formats handed to Poskladaj) or a literal digit.
class TKodWazony {
public:
    // The host's format list; not owned.
    const TStringList* formaty;
    // The whole code with zeros in place of the variable part.
    AnsiString FullZZerami;
    // The code up to its first "?".
    AnsiString CzescStala;
    AnsiString Przedrostek;
    // The goods number with and without its leading zeros.
    AnsiString KodZZerami;
    AnsiString KodBezZer;
    // Number of "S" positions of the format.
    int32_t RozmiarKodu;
    AnsiString Grupa;

    explicit TKodWazony(const TStringList* formaty);

    void Czysc();
    // The pattern of the goods held in Przedrostek and KodZZerami (and Grupa,
    // for a "G" run) built by format; also sets FullZZerami.
    AnsiString Poskladaj(const AnsiString& format, const TMLgExtTools* lg);
    // The pattern of a full code; a code matching no format comes back unchanged.
    AnsiString NormalizujPelny(const AnsiString& code, const TMLgExtTools* lg);
    // The pattern of a code holding only its fixed part; a code matching no
    // format comes back unchanged.
    AnsiString NormalizujNiepelny(const AnsiString& code, const TMLgExtTools* lg);
    // Splits a code into the fields; false when it is not a weighed code.
    // A list given replaces formaty first.
    bool Rozparsuj(const AnsiString& code, const TMLgExtTools* lg, const TStringList* list = nullptr);
    // The format line of a code.
    AnsiString ZnajdzFormat(const AnsiString& code, const TMLgExtTools* lg, const TStringList* list = nullptr);

private:
    void SprawdzFormaty(const TMLgExtTools* lg, const TStringList* list);
    // The first usable format whose prefix equals the code's, or null.
    const AnsiString* FormatDlaKodu(const AnsiString& code) const;
};
