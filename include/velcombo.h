/*
 * velcombo.h: the host programmer's manual of libvelcombo.so, the driver of
 * Combo/NEO cash registers. Plain C (C99 or later); usable from C and C++,
 * and clean under -Wall -Wextra -Wpedantic in both.
 *
 * Loading. The host loads the library with dlopen and looks each function up
 * by name with dlsym; the prototypes below give the type of each, and
 * ORV_PFN_ and the function's name its pointer's type (a host may also link
 * with -lvelcombo). dlsym answers a void*: copy it into the function pointer
 * (memcpy), as ISO C converts no object pointer into a function pointer.
 * Every function uses the platform's default C calling convention.
 *
 * Texts crossing the interface are 8-bit, code page 1250, NUL-terminated.
 * Text results: every char* that the library fills (a property, a parameter's
 * five texts, a list text, a window name, the operation's text) must point to
 * a buffer of at least ORV_TEXT_SIZE (301) bytes. The library writes up to
 * 300 bytes, zeroes the rest and always writes a NUL at byte 300: a smaller
 * buffer is overrun. A null buffer or pointer is left alone.
 *
 * Threads. Each call runs to its end on the caller's thread, and every
 * callback it makes comes on that thread before the call returns; pointers
 * handed to a callback are valid only during it. A host makes one call at a
 * time. The library's one thread of its own runs while an operation works
 * in its exchange folder, and only rewrites the folder's holder file every
 * minute; it calls back nothing and ends before the call returns.
 *
 * Order of use:
 *   1. catalogue calls, which need no registration: ORVDLLTypBiblioteki,
 *      ORVDLLWlasciwosci, ORVDLLParametr, ORVDLLTekstListyParametru,
 *      ORVDLLSerKasOpisOkna, ORVDLLUstawJezykKomponentow;
 *   2. lib = ORVDLLRejestrujBiblioteke(host, NULL, NULL, window), then
 *      ORVDLLRejestrujCallback(lib, ORVCallbackPointer((ORV_CALLBACK)fn), id)
 *      for each callback the host offers. A host that runs exports and
 *      imports registers at least 5 (stop: without it they stop at their
 *      first check, see callback 5), 6 (parameters), 11 (device data), 12
 *      and 13 (message lines), 16 and 17 (taking the result files) and 21
 *      (storing the values the library keeps);
 *   3. device calls, one at a time: ORVDLLSerKasOperacja and the others that
 *      take lib;
 *   4. ORVDLLZwolnijBiblioteke(lib).
 *
 * lib is the handle ORVDLLRejestrujBiblioteke returned. NULL, a handle
 * already released and a pointer that was never a handle are refused: the
 * call makes no callback and writes no line, every call that answers a
 * number answers -1 (ORV_REFUSED_HANDLE), a number a known handle never
 * answers, and every text it would write (out, text) is written "";
 * numbers passed by pointer (code, a, b, c) are left as they were.
 * ORVDLLRejestrujCallback and ORVDLLZwolnijBiblioteke do nothing.
 *
 * Parameters. The library keeps no settings of its own between calls: the
 * host stores every entry of the catalogue (ORVDLLParametr) and answers each
 * by name through callback 6 when a device call needs it. A parameter the
 * host does not answer (callback 6 missing, or its buffer left empty) reads
 * as "", never as the catalogue's default: a number or a list position then
 * reads as 0, so ComboOneAsortOnly (default "1") reads 0 and ComboDedbug
 * (default "1") leaves the protocol trace off. The host answers the
 * catalogue's default itself for every entry the user never changed.
 * Besides the catalogue the library asks for RodzajTransmisji, the host's
 * kind of export (3: the register's goods are cleared or read back and
 * compared first; 0: no communication report after the export), and for
 * Vel_Combo_CardPattern, a value it stores itself (callback 21).
 *
 * Failures. A device call reports every failure as error lines
 * (ORV_MSG_ERROR, callbacks 12 and 13); its result does not tell failure from
 * success. No exception leaves the library.
 */
#ifndef VELCOMBO_H
#define VELCOMBO_H

#include <stdint.h>
#include <string.h>

#if defined(__GNUC__)
#define ORVDLL_API __attribute__((visibility("default")))
#else
#define ORVDLL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* What every device call that answers a number answers for a refused lib. */
enum { ORV_REFUSED_HANDLE = -1 };

/* Handles. The library only stores them and hands them back. */
typedef void* HORVCBARG1;     /* the host's handle of its registration: 1st argument of every callback but 34 */
typedef void* HORVCBARG2;     /* the host's handle of one device call: 2nd argument of every callback made in it */
typedef void* HORVDLLSKSESJA; /* the host's session handle; the host passes a pointer to its variable */

/* Sizes of the buffers the library writes into or hands to the host. */
enum {
    ORV_TEXT_SIZE = 301,   /* every text result, and the texts of callbacks 6, 11 (name, workstation) and 14 */
    ORV_FOLDER_SIZE = 261, /* the exchange folder of callback 11 */
    ORV_GOODS_SIZE = 2049  /* the answer of callback 19 */
};

/* Operations of ORVDLLSerKasOperacja. Each device operation reads the
 * parameters through callback 6 and the device data through callback 11. */
enum {
    ORV_OP_TEST = -1,        /* connection test: the register's header, VAT rates, clock, status, base sizes */
    ORV_OP_EXPORT = -2,      /* export of kasa.exp (goods, groups, units, cashiers, ...) to the register;
                                wynik.exp handed back through callback 16 */
    ORV_OP_IMPORT = -3,      /* import of sales and receipts: one kasa.imp a sales day, through callback 17 */
    ORV_OP_RECEIPT = -4,     /* a single receipt: refused with an error line, receipts come with the import */
    ORV_OP_AUTO_EXPORT = -5, /* the export, run by the host without a user */
    ORV_OP_AUTO_IMPORT = -6, /* the import, run by the host without a user */
    ORV_OP_SERVICE = -8      /* a service function: the operation's parameter is its number, 1 to 6;
                                any other number does nothing and writes no line */
};
/* Any other operation number is refused with the error line
 * "Urządzenie nie obsługuje zleconego typu operacji". */

/* Service functions (the parameter of ORV_OP_SERVICE) and the windows of
 * ORVDLLSerKasOpisOkna / ORVDLLSerKasPokazOkno: window 0 is the VAT-rate
 * slots, windows 1 to 6 name the service function of the same number. */
enum {
    ORV_SERVICE_CLEAR_SALES = 1,     /* "Zerowanie danych o sprzedaży" */
    ORV_SERVICE_CLEAR_GOODS = 2,     /* "Czyszczenie bazy towarów" */
    ORV_SERVICE_MODEM_SETUP = 3,     /* "Konfiguracja modemu kasy" (a register on a serial port) */
    ORV_SERVICE_MODEM_HANGUP = 4,    /* "Rozłączanie modemu" (a register on a serial port) */
    ORV_SERVICE_LINK_REPORT = 5,     /* "Raport komunikacji" */
    ORV_SERVICE_GOODS_IMPORT = 6     /* "Import towarów do programu": the register's goods through callback 33 */
};

/* The kind of a message line (callbacks 12 and 13). A line's text may hold
 * the byte 0x01: what follows it is the line's state or value ("OK", a
 * count, a percentage). */
enum { ORV_MSG_NORMAL = 0, ORV_MSG_WARNING = 1, ORV_MSG_ERROR = 2 };

/* The catalogue (ORVDLLParametr). The groups: a group is asked from index 0
 * upward, entries follow without gaps, and the first index that answers
 * ORV_PARAM_NONE ends it; 58 entries in all. Groups 103 to 107 hold the
 * options of operations -2 to -6 (101 + the operation's number without its
 * sign); one name may stand in several groups with different defaults
 * (ComboDokPlu: "0" in 104, "1" in 107), and the library asks for it by name
 * only, so the host answers the value of the group of the operation it runs. */
enum {
    ORV_GROUP_GENERAL = 101,     /* 23 entries: port, line, modem, TCP/IP, prices, and the values the library stores */
    ORV_GROUP_COMBO = 102,       /* 18 entries: change, customer cards, weighed codes, card server, EDI, trace */
    ORV_GROUP_EXPORT = 103,      /* 4 entries: options of the export (-2) */
    ORV_GROUP_IMPORT = 104,      /* 6 entries: options of the import (-3), with DataImportu */
    ORV_GROUP_RECEIPT = 105,     /* 2 entries: the receipt and printout numbers (-4, ORVDLLSerKasJakSzukacParagonu) */
    ORV_GROUP_AUTO_EXPORT = 106, /* no entries */
    ORV_GROUP_AUTO_IMPORT = 107  /* 5 entries: the import's options without DataImportu (-6) */
};

/* A catalogue entry's type (the result of ORVDLLParametr) and what the host
 * stores as its value, always as text. */
enum {
    ORV_PARAM_NONE = 0,      /* no entry at this group and index: ends the group */
    ORV_PARAM_TEXT = 1,      /* a text */
    ORV_PARAM_LIST_TEXT = 3, /* a list whose chosen text is itself the value (ComboPort: "PLIK", "COM1", "TCP/IP") */
    ORV_PARAM_INTEGER = 4,   /* decimal text within minimum and maximum (an empty bound is none) */
    ORV_PARAM_DATE = 5,      /* a date (DataImportu), read as the 17 digits yyyymmddhhnnsszzz; else today */
    ORV_PARAM_FOLDER = 6,    /* a folder ("\" separates like "/") */
    ORV_PARAM_LIST = 7       /* the 0-based position of the chosen list text, as decimal text ("3" for "9600") */
};
/* The texts of a list come from ORVDLLTekstListyParametru; a type-7 default
 * is a position in that list. */

/* A catalogue entry's flag; the host decides what it does with it. */
enum {
    ORV_FLAG_SETTING = 0, /* a setting of the device (groups 101 and 102, ComboExpCashier, DataImportu) */
    ORV_FLAG_OPTION = 1,  /* an option of one operation (the rest of groups 103 to 107) */
    ORV_FLAG_OWN = 2      /* a value the library stores itself through callback 21; it has no description */
};

/* The callback ids of ORVDLLRejestrujCallback; the type each takes is named
 * beside it. Ids not listed are accepted and ignored. The library makes no
 * call of ids 18, 19, 20, 22, 23, 24, 25, 28 and 31: registering them is
 * harmless. */
enum {
    ORV_CB_CZY_PRZERWAC = 5,                /* TORVCBCzyPrzerwac: does the user ask to stop? */
    ORV_CB_WARTOSC_PARAMETRU = 6,           /* TORVCBWartoscParametru: a parameter's stored value */
    ORV_CB_DANE_URZADZENIA = 11,            /* TORVCBDaneUrzadzenia: device id, number, names, exchange folder */
    ORV_CB_DODAJ_KOMUNIKAT = 12,            /* TORVCBKomunikat: add a message line */
    ORV_CB_ZMIEN_OSTATNI_KOMUNIKAT = 13,    /* TORVCBKomunikat: replace the last message line */
    ORV_CB_FORMAT_WAZONY = 14,              /* TORVCBFormatWazony: weighed-goods barcode formats */
    ORV_CB_STAWKA_VAT = 15,                 /* TORVCBStawkaVAT: VAT rates in whole percent */
    ORV_CB_ZAPISZ_WYNIK_EKSPORTU = 16,      /* TORVCBZapisz: take the export's result file */
    ORV_CB_ZAPISZ_IMPORT = 17,              /* TORVCBZapisz: take the sales import file */
    ORV_CB_ZAPISZ_PARAGON = 18,             /* TORVCBZapisz: take a receipt (not called) */
    ORV_CB_ODCZYTAJ_TOWAR = 19,             /* TORVCBOdczytajTowar: goods data by key (not called) */
    ORV_CB_ODSWIEZ_PARAMETRY = 20,          /* TORVCBProcedura: the parameters changed (not called) */
    ORV_CB_ZMIEN_PARAMETR = 21,             /* TORVCBZmienParametr: store a parameter's value */
    ORV_CB_ZAJMIJ_ZASOB = 22,               /* TORVCBZajmijZasob: take a shared resource (not called) */
    ORV_CB_ZWOLNIJ_ZASOB = 23,              /* TORVCBZwolnijZasob: release it (not called) */
    ORV_CB_KASUJ_FLAGE_ALARMU = 24,         /* TORVCBProcedura (not called) */
    ORV_CB_WSTRZYMAJ_OPERACJE = 25,         /* TORVCBWstrzymajOperacje (not called) */
    ORV_CB_ZAPISZ_STAN_LICZNIKA = 28,       /* TORVCBZapiszStanLicznika (not called) */
    ORV_CB_ZAPISZ_STAN_I_CZAS_LICZNIKA = 31, /* TORVCBZapiszStanICzasLicznika (not called) */
    ORV_CB_STAWKA_VAT_PREC = 32,            /* TORVCBStawkaVAT: VAT rates in hundredths of a percent */
    ORV_CB_DODAJ_TOWAR_Z_KASY = 33,         /* TORVCBDodajTowarZKasy: one article read from the register */
    ORV_CB_TEKST = 34                       /* TORVCBTekst: the host's text lookup (translations) */
};

/*
 * The callbacks' types. Every callback but 34 gets the host's HORVCBARG1 (of
 * the registration) and HORVCBARG2 (of the device call) first. Texts handed
 * to the host are trimmed of leading and trailing blanks, except those of
 * callbacks 21 (the value), 25, 31 and 33. An answer buffer is all zero on
 * entry; the host writes at most its size less one byte and a NUL (the
 * library ends it at that size in any case). "Missing" says what the library
 * does when the callback is not registered (or registered as NULL).
 */

/* 5. Asked between the records and steps of an export, an import, the
 * clearing of the goods base and the goods import (service functions 2 and
 * 6). Nonzero: stop; the run closes the link and ends with the error line
 * "Operacja przerwana przez użytkownika". 0: go on.
 * Missing: every check answers "stop", so each of those runs stops at its
 * first check with "Operacja przerwana przez użytkownika"; what comes before
 * that check is done all the same. The first checks:
 *   export        with RodzajTransmisji 3, before the register's goods are
 *                 cleared or read back; otherwise at the first row of the
 *                 first goods pass, after the communication report, the
 *                 discount cards, the groups (and their map, stored through
 *                 callback 21), the units, the cashiers and the payment
 *                 forms went to the register; a file with no goods row is
 *                 exported whole;
 *   import        at the first goods total or receipt record read, after the
 *                 register's number and the fiscal report (ComboFiscalReport);
 *                 a leftover combo.imp is handed over before it;
 *   service 2     before the goods are cleared;
 *   service 6     at the first record of the first list it reads.
 * The connection test and service functions 1, 3, 4 and 5 never ask. A host
 * with no stop button registers a callback that answers 0. */
typedef int (*TORVCBCzyPrzerwac)(HORVCBARG1, HORVCBARG2);

/* 6. name: a parameter's name (a catalogue name, RodzajTransmisji, or
 * "Vel_Combo_" and the short name of a value the library stores itself).
 * value: ORV_TEXT_SIZE bytes, all zero on entry; write the stored value, at
 * most 300 bytes. The result is not used: an empty buffer is the value "".
 * Missing: every parameter reads as "". A folder value that fills all 300
 * bytes is refused as possibly cut. */
typedef int (*TORVCBWartoscParametru)(HORVCBARG1, HORVCBARG2, const char* name,
                                      char* value /* ORV_TEXT_SIZE */);

/* 11. Asked once at the start of every device call. On entry *id is -1,
 * *number 0 and the three buffers all zero; the host fills them:
 *   id             the device's id in the host (not used by this driver);
 *   number         the register's own number, as the register reports it
 *                  ("- kasa o numerze: N"): the connection test, the export
 *                  and the import read it from the register and end with
 *                  "Niezgodny numer urządzenia!" when it differs; it also
 *                  names the register to the card server (number - 1), in
 *                  EDI order documents and in the goods list files;
 *   name           the device's name (shown in EDI order documents);
 *   workstation    the workstation's name (not used by this driver);
 *   exchangeFolder the folder of the exchange files, at most 259 bytes (one
 *                  that fills all 260 is refused as possibly cut), ENDING
 *                  WITH A SEPARATOR ("/" or "\"): the library appends the
 *                  file names to it as they stand, so "/srv/kasa1" would make
 *                  "/srv/kasa1kasa.exp" (a warning line names the folder the
 *                  files go to); "" is the host's current folder. A missing
 *                  folder is made, with its missing parents, when the trace
 *                  is on (ComboDedbug, default "1"); with the trace off an
 *                  operation that works in it is refused before the register
 *                  is addressed.
 *                  The export reads kasa.exp there; wynik.exp and kasa.imp,
 *                  the library's working files and the trace folder log/ are
 *                  written there. Two operations never work with one
 *                  folder's files at once: the second is refused with an
 *                  error line.
 * The result is not used. Missing: id -1, number 0 and the texts "", so no
 * register's number matches. */
typedef int (*TORVCBDaneUrzadzenia)(HORVCBARG1, HORVCBARG2, int32_t* id, int32_t* number,
                                    char* name /* ORV_TEXT_SIZE */, char* workstation /* ORV_TEXT_SIZE */,
                                    char* exchangeFolder /* ORV_FOLDER_SIZE */);

/* 12 and 13. A line to show the user: 12 adds it, 13 replaces the line
 * added last (progress, a step's state). kind: ORV_MSG_...; text: the
 * line, see ORV_MSG_NORMAL for the byte 0x01. Missing: nothing is shown;
 * the run goes on the same, and the host cannot tell a failure. */
typedef void (*TORVCBKomunikat)(HORVCBARG1, HORVCBARG2, int32_t kind /* ORV_MSG_... */, const char* text);

/* 14. index: 0, 1, 2, ...; format: ORV_TEXT_SIZE bytes, all zero. Nonzero
 * with a format in the buffer: the weighed-goods barcode format of that
 * index; 0 or an empty text ends the list (at most 1000 are asked). Asked
 * by the import, which reads weighed goods from their barcodes. Missing: no
 * formats. */
typedef int (*TORVCBFormatWazony)(HORVCBARG1, HORVCBARG2, int32_t index, char* format /* ORV_TEXT_SIZE */);

/* 15 and 32. index: 0, 1, 2, ...; *rate is 0 on entry. Nonzero with *rate
 * set: the host's VAT rate of that index, -1 for the exemption ("zw"); 0
 * ends the list (at most 1000 are asked). 15 gives whole percent (23), 32
 * hundredths of a percent (2300). The library asks 32 and, without it, 15
 * with each rate above 0 multiplied by 100. Asked to fill the register's
 * VAT-rate slots when the host has stored no order of them (window 0, the
 * export). Missing (both): no rates. */
typedef int (*TORVCBStawkaVAT)(HORVCBARG1, HORVCBARG2, int32_t index, int32_t* rate);

/* 16, 17 (and 18, not called). 16: the export has written wynik.exp in the
 * exchange folder (the goods the register took; also after a failed
 * export). 17: the import has written kasa.imp there, one sales day; the
 * next day's kasa.imp replaces it, so the host takes the file during this
 * call. Nonzero: the host took it. 0 or missing: an error line, "Błąd zapisu
 * wyniku eksportu do bazy danych" or "Błąd zapisu importu sprzedaży do bazy
 * danych"; an import stops there, and the next import hands over again the
 * days the host did not take. */
typedef int (*TORVCBZapisz)(HORVCBARG1, HORVCBARG2);

/* 19 (not called). Nonzero with the answer in the buffer; 0 for none. */
typedef int (*TORVCBOdczytajTowar)(HORVCBARG1, HORVCBARG2, char* answer /* ORV_GOODS_SIZE */, const char* key);

/* 20, 24 (not called). */
typedef void (*TORVCBProcedura)(HORVCBARG1, HORVCBARG2);

/* 21. Store value under name; the host answers it through callback 6 from
 * then on. The library stores: the VAT-rate slot order
 * (Vel_Combo_PosortowaneStawkiVatPrec, window 0), the map of the host's
 * goods groups to the register's (Vel_Combo_ComboAsort1 to 6, the export),
 * the goods-import options (ComboImportOverWrite, ComboImportLogSave:
 * "TRUE" or "FALSE", window 6) and the discount-card pattern
 * (Vel_Combo_CardPattern, the import; not in the catalogue). The value keeps
 * its blanks and may hold line breaks (CR LF). Nonzero: stored. 0 or
 * missing: the run ends with "Błąd zapisu własnego parametru '" NAME "' do
 * bazy danych" (for the card pattern only a warning line). */
typedef int (*TORVCBZmienParametr)(HORVCBARG1, HORVCBARG2, const char* name, const char* value);

/* 22, 23, 25, 28, 31 (not called). */
typedef int (*TORVCBZajmijZasob)(HORVCBARG1, HORVCBARG2, const char* resource);
typedef void (*TORVCBZwolnijZasob)(HORVCBARG1, HORVCBARG2, const char* resource);
typedef int (*TORVCBWstrzymajOperacje)(HORVCBARG1, HORVCBARG2, const char* text, int32_t value);
typedef void (*TORVCBZapiszStanLicznika)(HORVCBARG1, HORVCBARG2, int32_t* values, int32_t count);
typedef void (*TORVCBZapiszStanICzasLicznika)(HORVCBARG1, HORVCBARG2, int32_t* values, int32_t count,
                                              const char* text);

/* 33. One package or goods record read from the register by the goods
 * import (service function 6), packages first. The arguments in order:
 *   name;
 *   number           the package's or the goods' PLU number;
 *   barcodes         the main barcode, then ";" and each further one;
 *   overwrite        1 when the user chose to overwrite goods of the same
 *                    code (window 6), else 0;
 *   group            the goods group's name ("" none; "OPAKOWANIA" for a package);
 *   unit             the unit's name ("" none; "opak" for a package);
 *   vat              the rate in hundredths of a percent, -1 exempt (0 also for a
 *                    slot the register leaves empty); -1 for a package;
 *   four prices      the price in currency units, the same value four times;
 *   openPrice        1 when the price may be changed at the sale, else 0;
 *   package          1 for a package, 0 for goods;
 *   packageBarcode   the barcode of the goods' returnable package ("" none).
 * The answer: -1 error, 0 skipped, 1 added, 2 updated; the library counts
 * them and writes them to import.log. Missing: every record counts as an
 * error (-1). */
typedef int (*TORVCBDodajTowarZKasy)(HORVCBARG1, HORVCBARG2, const char* name, int32_t number,
                                     const char* barcodes, int32_t overwrite, const char* group, const char* unit,
                                     int32_t vat, double price1, double price2, double price3, double price4,
                                     int32_t openPrice, int32_t package, const char* packageBarcode);

/* 34. The host's translation of a text: no handles; buffer: size bytes, all
 * zero; section: the text's section; key: the Polish text itself. Nonzero
 * with a text in the buffer: that text is shown; 0 or an empty text: the
 * Polish text is. Only the texts of the sections whose names begin with
 * "veltools" follow it; the register driver's own texts (the catalogue, the
 * window names, the runs' messages) stay Polish. A second registration
 * replaces the first. Missing: every text is Polish. */
typedef int (*TORVCBTekst)(char* buffer, int32_t size, const char* section, const char* key);

/* Any callback as ORVDLLRejestrujCallback takes it. A callback of any of the
 * types above converts to ORV_CALLBACK with a cast, and ORVCallbackPointer
 * hands it over as the void* of the export without a conversion ISO C and
 * C++ forbid:
 *   ORVDLLRejestrujCallback(lib, ORVCallbackPointer((ORV_CALLBACK)on_line),
 *                           ORV_CB_DODAJ_KOMUNIKAT);
 * The library calls it through the type of the id it is registered under. */
typedef void (*ORV_CALLBACK)(void);

/* A function pointer fits in a void* on every platform that has dlsym. */
typedef char ORV_CALLBACK_FITS_A_POINTER[sizeof(ORV_CALLBACK) == sizeof(void*) ? 1 : -1];

static inline void* ORVCallbackPointer(ORV_CALLBACK function)
{
    void* pointer;
    memcpy(&pointer, &function, sizeof pointer);
    return pointer;
}

/* The loader's entry: answers 1 and does nothing; a host need not call it. */
ORVDLL_API int DllEntryPoint(void* instance, int reason, void* reserved);

/* ---- Catalogue calls: no registration needed, any time. ---- */

/* The library's type number: always 1. */
ORVDLL_API int ORVDLLTypBiblioteki(void);

/* out = the library's property `number`:
 *   1        the device, "Norvik Combo, NEO";
 *   2        the library's type name, "Vel_Combo": the values the library
 *            stores itself are named "Vel_Combo_" and their short name;
 *   3        the models it serves, one a line, lines separated by LF;
 *   102-105  "1", for the host's own use;
 *   other    "". */
ORVDLL_API void ORVDLLWlasciwosci(char* out /* ORV_TEXT_SIZE */, int number);

/* Entry `index` of catalogue group `group` (ORV_GROUP_...; indexes from 0).
 * Answers its type (ORV_PARAM_...) and fills: name, the key under which the
 * host stores the value and the library asks for it (callbacks 6 and 21);
 * description, the text the host shows beside it ("" for ORV_FLAG_OWN);
 * defaultValue, the value the host stores until the user changes it (and
 * answers meanwhile); minimum and maximum, the bounds of an integer ("" none);
 * *flag (ORV_FLAG_...). An index below 0 or past the group's last entry, and
 * an unknown group, answer ORV_PARAM_NONE with the texts "" and flag 0. Any
 * of the pointers may be NULL. */
ORVDLL_API int ORVDLLParametr(int group, int index, char* name, char* description, char* defaultValue,
                              char* minimum, char* maximum /* each ORV_TEXT_SIZE */, int* flag);

/* out = text `index` (from 0) of the list of `parameter` (a type-3 or type-7
 * entry; the name's case and surrounding blanks do not matter). Answers 1
 * with the text; 0 and "" past the list's end or for a name with no list. */
ORVDLL_API int ORVDLLTekstListyParametru(const char* parameter, int index, char* out /* ORV_TEXT_SIZE */);

/* out = the name of window `window` (0 the VAT-rate slots, 1 to 6 the
 * service functions, see ORV_SERVICE_...). Answers 1 with the name; 0 and ""
 * for any other number. */
ORVDLL_API int ORVDLLSerKasOpisOkna(char* out /* ORV_TEXT_SIZE */, int window);

/* Stores the host's language number. No text of this library depends on
 * it: the texts are translated through callback 34. */
ORVDLL_API void ORVDLLUstawJezykKomponentow(int language);

/* ---- Registration. ---- */

/* Creates a registration and answers its handle (lib), NULL when it could
 * not be created. host: the host's handle, passed back as the first argument
 * of every callback but 34. unused1, unused2: ignored (NULL). window: the
 * host's X11 window, its XID as a pointer ((void*)(uintptr_t)xid), or NULL;
 * it owns the library's two dialogs (windows 0 and 6), which then stay above
 * it. The window of the latest registration owns the dialogs of all. Each
 * registration has callbacks of its own. */
ORVDLL_API void* ORVDLLRejestrujBiblioteke(HORVCBARG1 host, void* unused1, void* unused2, void* window);

/* Registers `function` as callback `id` (ORV_CB_...) of lib, replacing an
 * earlier one; NULL unregisters it. function is a function of the type the
 * id names, handed over with ORVCallbackPointer. At any time between calls. */
ORVDLL_API void ORVDLLRejestrujCallback(void* lib, void* function, int id /* ORV_CB_... */);

/* Releases lib; from now on the handle is refused. NULL, a handle never
 * issued and a second release do nothing. A callback may release the
 * registration of the call it runs in: it goes when that call ends. */
ORVDLL_API void ORVDLLZwolnijBiblioteke(void* lib);

/* ---- Device calls: one at a time. ----
 * call is the host's handle of this call (any value), passed back as the
 * second argument of every callback made in it. Each asks callback 11 first.
 * A failure becomes error lines through callbacks 12 and 13, headed
 * "Podczas wykonywania operacji '" NAME "' wystąpił błąd:" (or, when nothing
 * is known of it, "...' wystąpił nierozpoznawalny błąd"), and the call
 * answers as said below for a failure. */

/* out = device property `number`: 1101 "0", 1103 "1", any other "" (also
 * after a failure). */
ORVDLL_API void ORVDLLWlasciwosciUrzadzenia(void* lib, HORVCBARG2 call, char* out /* ORV_TEXT_SIZE */,
                                            int number);

/* How to find a receipt: answers 1 with *a = the printout number
 * (parameter ComboNrWydr), *b = -1 and *c = the receipt number (parameter
 * ComboNrParag), each -1 when the parameter is 0 or no number. What they
 * hold on entry is not used. 0 after a failure. */
ORVDLL_API int ORVDLLSerKasJakSzukacParagonu(void* lib, HORVCBARG2 call, int32_t* a, int32_t* b, int32_t* c);

/* Shows window `window`:
 *   0     the VAT-rate slots of the register: which of the host's rates
 *         (callbacks 32 or 15) stands in which slot; flag nonzero lets the
 *         user change them, stored through callback 21 when confirmed.
 *         Answers 0; code and text are not touched.
 *   1-5   shows nothing: text = the service function's name, *code = its
 *         number (the parameter of ORV_OP_SERVICE); answers 1.
 *   6     the same with 6, then the goods-import options (overwrite goods
 *         of the same code; write import.log), stored through callback 21
 *         when confirmed; answers 1 confirmed, 0 cancelled.
 *   other nothing; answers 0.
 * The dialogs need an X display (DISPLAY); without one the call gives an
 * error line and answers 0. code and text may be NULL. */
ORVDLL_API int ORVDLLSerKasPokazOkno(void* lib, HORVCBARG2 call, int window, int flag, int32_t* code,
                                     char* text /* ORV_TEXT_SIZE */);

/* out = the name of what two sessions must not use at once, for the host
 * to keep them apart: the ComboPort value as the host answers it ("COM1",
 * "TCP/IP", ...), or in file mode ("PLIK") the path of null.exp in the
 * exchange folder. "" after a failure. */
ORVDLL_API void ORVDLLSerKasNazwaZasobuDzielonego(void* lib, HORVCBARG2 call, char* out /* ORV_TEXT_SIZE */);

/*
 * Runs operation `operation` (ORV_OP_...) on the register; parameter is the
 * service function's number for ORV_OP_SERVICE and unused otherwise.
 * session: a pointer to the host's session handle, which the host keeps
 * NULL (the library never sets it). text: in and out, ORV_TEXT_SIZE bytes or
 * NULL: on entry the host's name for this call (shown only in the busy
 * line), on exit the same text handed back.
 * The result does NOT tell failure from success: every operation answers 0,
 * failed or not, and the host learns of a failure from the error lines
 * (ORV_MSG_ERROR) it received through callbacks 12 and 13; only a refused
 * lib answers -1 (see lib above). With the host's session handle set
 * (*session not NULL) the call only adds the normal line
 * "Oczekiwanie na zamknięcie sesji '" TEXT "'", pauses a second, leaves text
 * as it was and answers 1.
 *
 * How long a call may take on a dead or silent register. Every command is
 * sent up to 3 times; each try waits for the answer's first byte, and then
 * for each next byte, up to 30 s over TCP/IP and 5.05 s on a serial port (a
 * frame that has begun may take 3 such waits in all). A register that never
 * answers thus costs 90 s a command over TCP/IP and about 15 s on a serial
 * port. Every device operation reads the register's status first and, when
 * that fails, goes on with a warning to its next command, whose failure ends
 * it: the connection test, the export, the import and service functions 1, 2,
 * 5 and 6 on a register that accepts the connection and never answers end
 * after about 180 s over TCP/IP (2 commands of 90 s) and 30 s on a serial
 * port. A refused connection or a port that cannot be opened ends the call
 * at once; an address where nothing answers the connection, after 30 s. A
 * link that drops ends at once. With the card server (ComboSkpUse) each of
 * its two commands, the lock before and the unlock after, adds up to 4 s
 * when the server is silent (2 s to connect, 2 s for its reply). A report
 * the register prints (the export's communication reports, service 5, the
 * fiscal report) is awaited up to ComboComplexOrdTimeout seconds (default
 * 60) after the register took its command. Service functions 3 and 4 talk
 * to the modem, and so does a register behind one (ComboModemPhone), within
 * ComboModemTimeout. A waiting call asks callback 5 only where it asks
 * anyway (see callback 5).
 */
ORVDLL_API int ORVDLLSerKasOperacja(void* lib, HORVCBARG2 call, HORVDLLSKSESJA* session,
                                    char* text /* ORV_TEXT_SIZE */, int operation, int parameter);

/* Session keeping: this driver keeps no session and does nothing; a and b
 * are not used; text (ORV_TEXT_SIZE or NULL) is handed back as it was. */
ORVDLL_API void ORVDLLSerKasPodtrzymajSesje(void* lib, HORVDLLSKSESJA* session, char* text /* ORV_TEXT_SIZE */,
                                            int a, int b);

/* ---- The exports' types, for a host that looks them up with dlsym. ----
 * ORV_PFN_ followed by the export's name:
 *   ORV_PFN_ORVDLLSerKasOperacja operacja;
 *   void* address = dlsym(handle, "ORVDLLSerKasOperacja");
 *   memcpy(&operacja, &address, sizeof operacja); */
typedef int (*ORV_PFN_DllEntryPoint)(void* instance, int reason, void* reserved);
typedef int (*ORV_PFN_ORVDLLTypBiblioteki)(void);
typedef void (*ORV_PFN_ORVDLLWlasciwosci)(char* out, int number);
typedef int (*ORV_PFN_ORVDLLParametr)(int group, int index, char* name, char* description, char* defaultValue,
                                      char* minimum, char* maximum, int* flag);
typedef int (*ORV_PFN_ORVDLLTekstListyParametru)(const char* parameter, int index, char* out);
typedef int (*ORV_PFN_ORVDLLSerKasOpisOkna)(char* out, int window);
typedef void (*ORV_PFN_ORVDLLUstawJezykKomponentow)(int language);
typedef void* (*ORV_PFN_ORVDLLRejestrujBiblioteke)(HORVCBARG1 host, void* unused1, void* unused2, void* window);
typedef void (*ORV_PFN_ORVDLLRejestrujCallback)(void* lib, void* function, int id);
typedef void (*ORV_PFN_ORVDLLZwolnijBiblioteke)(void* lib);
typedef void (*ORV_PFN_ORVDLLWlasciwosciUrzadzenia)(void* lib, HORVCBARG2 call, char* out, int number);
typedef int (*ORV_PFN_ORVDLLSerKasJakSzukacParagonu)(void* lib, HORVCBARG2 call, int32_t* a, int32_t* b,
                                                     int32_t* c);
typedef int (*ORV_PFN_ORVDLLSerKasPokazOkno)(void* lib, HORVCBARG2 call, int window, int flag, int32_t* code,
                                             char* text);
typedef void (*ORV_PFN_ORVDLLSerKasNazwaZasobuDzielonego)(void* lib, HORVCBARG2 call, char* out);
typedef int (*ORV_PFN_ORVDLLSerKasOperacja)(void* lib, HORVCBARG2 call, HORVDLLSKSESJA* session, char* text,
                                            int operation, int parameter);
typedef void (*ORV_PFN_ORVDLLSerKasPodtrzymajSesje)(void* lib, HORVDLLSKSESJA* session, char* text, int a, int b);

#ifdef __cplusplus
}
#endif

#endif /* VELCOMBO_H */
