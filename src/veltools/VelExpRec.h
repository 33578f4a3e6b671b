// The records of the host's export file "kasa.exp": goods, customers,
// assortment groups, cashiers and currencies, each parsed from one line of
// ";"-separated words. Errors are Exception with texts of the section
// "veltools_VelExpBuf" of the text tool `lg` (none: Polish).
#pragma once

#include <cstdint>

#include "LJWords.h"
#include "dttools.h"
#include "mlgexttools.h"
#include "sysutils.h"

// What is to be done with a goods row; the file's "DOD", "AKT", "CEN", "USU"
// are 0 to 3.
enum stTow : int32_t { stDod = 0, stAkt = 1, stCen = 2, stUsu = 3, stNull = 4 };

// The export file's number conversions; none depends on the process locale.
// A whole decimal number and nothing else; anything else throws Exception
// "\"text\" nie jest prawidłową liczbą całkowitą".
int32_t ExpStrToInt(std::string_view text);
// The longest leading decimal number ("." as the point, an exponent allowed,
// blanks before it skipped); 0 when there is none.
double ExpStrToDecimal(std::string_view text);
// A decimal word that is a number and nothing else: trimmed of blanks, either
// empty (0) or an optional sign, digits with at most one "." or "," (read as
// the point) and at least one digit, then optionally "e" or "E", an optional
// sign and digits. False for any other word and for a number no double holds.
bool TryExpStrToDecimal(std::string_view text, double& value);
// The leading whole number (blanks before it skipped); 0 when there is none,
// the nearest 32-bit value when it is beyond.
int32_t ExpStrToIntPrefix(std::string_view text);
// The price the register gets for an amount of the file: its whole smallest
// units, the fraction cut off toward zero; false when that is no 32-bit number.
bool CenaNaKase(double cena, int32_t& out);
// The words of one line split at ";".
TLJWords ExpWords(const AnsiString& line);
// A word or line of the file as a message quotes it: its first 40
// characters, followed by "..." when it is longer.
AnsiString ExpCytat(std::string_view text);
// The error of the export file's format, under `key`.
[[noreturn]] void ThrowExpFormat(const TMLgExtTools* lg, const char* key);

class VelTowRec {
public:
    int32_t plu = 0;
    int32_t koldod = 0;
    AnsiString kod;
    AnsiString nazwa;
    double cena = 0, cena_hurt = 0, cena_noc = 0, cena_dod = 0;
    int32_t stawka = 0;
    // Hundredths of a percent; -1: no rate.
    int32_t stawkaPrec = 0;
    int32_t jedn = 0;
    bool czy_wazony = false;
    int32_t precyzja = 0;
    bool wagowo_ilosciowy = false;
    bool opakowanie = false;
    bool cena_otwarta = true;
    AnsiString kod_opakowania = "0";
    int32_t plu_opakowania = 0;
    int32_t nr_asort = 0;
    stTow status = stNull;
    AnsiString opis1, opis2, opis3, opis4;
    AnsiString PKWiU, SWW;
    int32_t TerminW = 0;
    int32_t poziom_cen = 0;
    // Thousandths: 1000 is one piece per barcode.
    int32_t ile_w_kodzie = 0;
    double dod_rabat_tow = 0;
    AnsiString nazwa_pelna;
    int32_t ile_jedn = 0;
    // The row in the goods table; -1 not stored.
    int32_t nr_buf = -1;
    AnsiString plu_rec;
    // Carried out in the register.
    bool tr_ok = false;
    // Seen in the register's list.
    bool flag = false;
    bool add_rec = false;
    // The barcode and status as the export file gave them.
    AnsiString org_barcode;
    stTow org_status = stNull;
    int32_t nr_src_buf = 0;
    // The row comes from the register, not from the file.
    bool from_ecr = false;
    bool tow_z_kontr = false;
    // Why the line cannot be taken as it stands: the first decimal word that
    // is no number, with its field; empty when every word is one. Only the
    // line's reading sets it; the goods table does not keep it.
    AnsiString odrzucenie;

    VelTowRec() { Clear(); }

    // Every field back to its empty value, except the classification codes,
    // the validity term, the price level, the quantity in the barcode and
    // the source row, which every reader sets itself.
    void Clear();
    void FromLine(const AnsiString& line, const TMLgExtTools* lg);
    // The words of a "PLU" line, from word 1 on.
    void FromLine(TLJWords& words, const TMLgExtTools* lg);
    // The price of a level: 1 wholesale, 2 night, 3 additional, any other retail.
    double CenaAkt(int level) const;
    // The goods as a rejected line names them: the barcode, a blank and the
    // name in 16 columns.
    AnsiString OpisOdrzuconego() const;

private:
    // The one-letter T/F word; anything else (an empty word too) is a format error.
    static bool Bool(std::string_view word, const TMLgExtTools* lg);
};

class VelKontrRec {
public:
    int32_t KontrId = 0;
    AnsiString Nazwa, Skrot, Ulica, Kod, Miasto, Telefon, NIP, KodKarty;
    TDateTime TermWaznKarty = Now();
    bool KartaAktywna = false;
    int32_t PoziomRabatu = 0;
    double RabatOdbiorcy = 0;
    int32_t IloscPunktow = 0;
    int32_t nr_buf = -1;
    AnsiString kontr_rec;
    bool tr_ok = false;

    void Clear();
    // A "KON" or "KONA" line. The card expiry is always taken from this line:
    // a word that is empty or no date gives the current date and time.
    void FromLine(const AnsiString& line, const TMLgExtTools* lg);
    // The same from the line's words.
    void FromLine(TLJWords& words, const TMLgExtTools* lg);

private:
    static bool Bool(const AnsiString& word, const TMLgExtTools* lg);
};

class VelAsort {
public:
    int32_t nr = 0;
    AnsiString nazwa;

    void Clear();
    // An "ASS" line: word 1 the number, word 2 the name.
    void FromLine(const AnsiString& line);
    void FromLine(TLJWords& words);
};

// A cashier of an "OPER" line: number; surname; rights level; identifier;
// card code. A field is read only when asked; a number that cannot be read
// throws the getter's own message.
class VelKasjer {
public:
    VelKasjer(AnsiString text, const TMLgExtTools* lg);
    VelKasjer(int numer, const AnsiString& nazwisko, int poziom, const AnsiString& identyfikator,
              const AnsiString& kodKarty, const TMLgExtTools* lg);

    const AnsiString& Text() const { return FText; }
    int GetNumer();
    AnsiString GetNazwisko();
    int GetPoziomUprawnien();
    AnsiString GetIdentyfikator();
    AnsiString GetKodKarty();

private:
    AnsiString FText;
    TLJWords FWords;
    const TMLgExtTools* FLg;
};

// A currency of a "WAL" line: code; name; rate; default ("T"); change may be
// given in it ("T").
class VelWaluta {
public:
    VelWaluta(AnsiString text, const TMLgExtTools* lg);

    const AnsiString& Text() const { return FText; }
    AnsiString GetKod();
    AnsiString GetNazwa();
    int GetKurs();
    bool GetCzyDomyslna();
    bool GetCzyMoznaWydawacReszte();

private:
    AnsiString FText;
    TLJWords FWords;
    const TMLgExtTools* FLg;
};
