/*
 * velcombo.h: what a host needs to load libvelcombo.so and work with a
 * Combo/NEO cash register through it. Plain C; usable from C and C++.
 *
 * The library is loaded with dlopen and its functions looked up by name with
 * dlsym; the prototypes below give the type of each (a host may also link
 * with -lvelcombo). Every function uses the platform's default C calling
 * convention. Texts crossing the interface are 8-bit, code page 1250, and
 * NUL-terminated.
 *
 * Text results: every char* that the library fills (a property, a parameter's
 * five texts, a list text, a window name, the operation's text) must point to
 * a buffer of at least ORV_TEXT_SIZE (301) bytes. The library writes up to
 * 300 bytes and always a NUL at byte 300: a smaller buffer is overrun.
 *
 * Order of use:
 *   1. catalogue calls, which need no registration: ORVDLLTypBiblioteki,
 *      ORVDLLWlasciwosci, ORVDLLParametr, ORVDLLTekstListyParametru,
 *      ORVDLLSerKasOpisOkna, ORVDLLUstawJezykKomponentow;
 *   2. lib = ORVDLLRejestrujBiblioteke(host, 0, 0, window), then
 *      ORVDLLRejestrujCallback(lib, function, ORV_CB_...) for each callback
 *      the host offers;
 *   3. device calls, one at a time: ORVDLLSerKasOperacja and the others that
 *      take lib;
 *   4. ORVDLLZwolnijBiblioteke(lib).
 */
#ifndef VELCOMBO_H
#define VELCOMBO_H

#include <stdint.h>

#if defined(__GNUC__)
#define ORVDLL_API __attribute__((visibility("default")))
#else
#define ORVDLL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Handles. The library only stores them and hands them back. */
typedef void* HORVCBARG1;     /* the host's handle of its registration: 1st argument of every callback */
typedef void* HORVCBARG2;     /* the host's handle of one device call: 2nd argument of every callback */
typedef void* HORVDLLSKSESJA; /* the host's session handle; the host passes a pointer to its variable */

/* Sizes of the buffers the library writes into or reads from. */
enum {
    ORV_TEXT_SIZE = 301,   /* every text result, and the texts of callbacks 6, 11 (name, workstation) and 14 */
    ORV_FOLDER_SIZE = 261, /* the exchange folder of callback 11: at most 260 bytes and the NUL */
    ORV_GOODS_SIZE = 2049  /* the answer of callback 19 */
};

/* Operations of ORVDLLSerKasOperacja. */
enum {
    ORV_OP_TEST = -1,        /* connection test */
    ORV_OP_EXPORT = -2,      /* export of goods, groups, units, cashiers and payment forms to the register */
    ORV_OP_IMPORT = -3,      /* import of sales (and receipts) into the host's files */
    ORV_OP_RECEIPT = -4,     /* a single receipt: refused, receipts come with the import */
    ORV_OP_AUTO_EXPORT = -5, /* the export, run by the host without a user */
    ORV_OP_AUTO_IMPORT = -6, /* the import, run by the host without a user */
    ORV_OP_SERVICE = -8      /* a service function: the operation's parameter is its number, 1 to 6 */
};

/* Service functions (the parameter of ORV_OP_SERVICE) and the windows of
 * ORVDLLSerKasOpisOkna / ORVDLLSerKasPokazOkno: window 0 is the VAT-rate
 * slots, windows 1 to 6 name the service function of the same number. */
enum {
    ORV_SERVICE_CLEAR_SALES = 1,     /* "Zerowanie danych o sprzedaży" */
    ORV_SERVICE_CLEAR_GOODS = 2,     /* "Czyszczenie bazy towarów" */
    ORV_SERVICE_MODEM_SETUP = 3,     /* "Konfiguracja modemu kasy" */
    ORV_SERVICE_MODEM_HANGUP = 4,    /* "Rozłączanie modemu" */
    ORV_SERVICE_LINK_REPORT = 5,     /* "Raport komunikacji" */
    ORV_SERVICE_GOODS_IMPORT = 6     /* "Import towarów do programu" */
};

/* The kind of a message line (callbacks 12 and 13). A line's text may hold
 * the byte 0x01: what follows it is the line's state or value ("OK", a
 * count, a percentage). */
enum { ORV_MSG_NORMAL = 0, ORV_MSG_WARNING = 1, ORV_MSG_ERROR = 2 };

/* The callback ids of ORVDLLRejestrujCallback. Ids not listed are accepted
 * and ignored. */
enum {
    ORV_CB_CZY_PRZERWAC = 5,                /* TORVCBCzyPrzerwac: nonzero asks the run to stop */
    ORV_CB_WARTOSC_PARAMETRU = 6,           /* TORVCBWartoscParametru: a parameter's stored value */
    ORV_CB_DANE_URZADZENIA = 11,            /* TORVCBDaneUrzadzenia: device id, number, names, exchange folder */
    ORV_CB_DODAJ_KOMUNIKAT = 12,            /* TORVCBKomunikat: add a message line */
    ORV_CB_ZMIEN_OSTATNI_KOMUNIKAT = 13,    /* TORVCBKomunikat: replace the last message line */
    ORV_CB_FORMAT_WAZONY = 14,              /* TORVCBFormatWazony: weighed-goods barcode formats */
    ORV_CB_STAWKA_VAT = 15,                 /* TORVCBStawkaVAT: VAT rates in whole percent */
    ORV_CB_ZAPISZ_WYNIK_EKSPORTU = 16,      /* TORVCBZapisz: take the export's result file */
    ORV_CB_ZAPISZ_IMPORT = 17,              /* TORVCBZapisz: take the sales import file */
    ORV_CB_ZAPISZ_PARAGON = 18,             /* TORVCBZapisz: take a receipt */
    ORV_CB_ODCZYTAJ_TOWAR = 19,             /* TORVCBOdczytajTowar: goods data by key */
    ORV_CB_ODSWIEZ_PARAMETRY = 20,          /* TORVCBProcedura: the parameters changed */
    ORV_CB_ZMIEN_PARAMETR = 21,             /* TORVCBZmienParametr: store a parameter's value */
    ORV_CB_ZAJMIJ_ZASOB = 22,               /* TORVCBZajmijZasob: take a shared resource */
    ORV_CB_ZWOLNIJ_ZASOB = 23,              /* TORVCBZwolnijZasob: release it */
    ORV_CB_KASUJ_FLAGE_ALARMU = 24,         /* TORVCBProcedura */
    ORV_CB_WSTRZYMAJ_OPERACJE = 25,         /* TORVCBWstrzymajOperacje */
    ORV_CB_ZAPISZ_STAN_LICZNIKA = 28,       /* TORVCBZapiszStanLicznika */
    ORV_CB_ZAPISZ_STAN_I_CZAS_LICZNIKA = 31, /* TORVCBZapiszStanICzasLicznika */
    ORV_CB_STAWKA_VAT_PREC = 32,            /* TORVCBStawkaVAT: VAT rates in hundredths of a percent */
    ORV_CB_DODAJ_TOWAR_Z_KASY = 33,         /* TORVCBDodajTowarZKasy: one article read from the register */
    ORV_CB_TEKST = 34                       /* TORVCBTekst: the host's text lookup */
};

/* The callbacks' types. Buffers the library hands over are cleared before the
 * call and NUL-terminated after it, at the sizes named. */
typedef int (*TORVCBCzyPrzerwac)(HORVCBARG1, HORVCBARG2);
typedef int (*TORVCBWartoscParametru)(HORVCBARG1, HORVCBARG2, const char* name,
                                      char* value /* ORV_TEXT_SIZE */);
typedef int (*TORVCBDaneUrzadzenia)(HORVCBARG1, HORVCBARG2, int32_t* id, int32_t* number,
                                    char* name /* ORV_TEXT_SIZE */, char* workstation /* ORV_TEXT_SIZE */,
                                    char* exchangeFolder /* ORV_FOLDER_SIZE */);
typedef void (*TORVCBKomunikat)(HORVCBARG1, HORVCBARG2, int32_t kind /* ORV_MSG_... */, const char* text);
typedef int (*TORVCBFormatWazony)(HORVCBARG1, HORVCBARG2, int32_t index, char* format /* ORV_TEXT_SIZE */);
typedef int (*TORVCBStawkaVAT)(HORVCBARG1, HORVCBARG2, int32_t index, int32_t* rate);
typedef int (*TORVCBZapisz)(HORVCBARG1, HORVCBARG2);
typedef int (*TORVCBOdczytajTowar)(HORVCBARG1, HORVCBARG2, char* answer /* ORV_GOODS_SIZE */, const char* key);
typedef void (*TORVCBProcedura)(HORVCBARG1, HORVCBARG2);
typedef int (*TORVCBZmienParametr)(HORVCBARG1, HORVCBARG2, const char* name, const char* value);
typedef int (*TORVCBZajmijZasob)(HORVCBARG1, HORVCBARG2, const char* resource);
typedef void (*TORVCBZwolnijZasob)(HORVCBARG1, HORVCBARG2, const char* resource);
typedef int (*TORVCBWstrzymajOperacje)(HORVCBARG1, HORVCBARG2, const char* text, int32_t value);
typedef void (*TORVCBZapiszStanLicznika)(HORVCBARG1, HORVCBARG2, int32_t* values, int32_t count);
typedef void (*TORVCBZapiszStanICzasLicznika)(HORVCBARG1, HORVCBARG2, int32_t* values, int32_t count,
                                              const char* text);
/* One article or package read from the register: name, number, barcodes, overwrite flag, group name, unit
 * name, VAT rate, the price four times, open-price flag, package flag, the barcode of its returnable package. */
typedef int (*TORVCBDodajTowarZKasy)(HORVCBARG1, HORVCBARG2, const char*, int32_t, const char*, int32_t,
                                     const char*, const char*, int32_t, double, double, double, double, int32_t,
                                     int32_t, const char*);
typedef int (*TORVCBTekst)(char* buffer, int32_t size, const char* section, const char* key);

/* The loader's entry: answers 1. */
ORVDLL_API int DllEntryPoint(void* instance, int reason, void* reserved);

/* Catalogue calls: no registration needed. */
ORVDLL_API int ORVDLLTypBiblioteki(void);
ORVDLL_API void ORVDLLWlasciwosci(char* out /* ORV_TEXT_SIZE */, int number);
/* Parameter `index` of `group` (101 to 107): its type code, 0 past the last. */
ORVDLL_API int ORVDLLParametr(int group, int index, char* name, char* description, char* defaultValue,
                              char* minimum, char* maximum /* each ORV_TEXT_SIZE */, int* flag);
ORVDLL_API int ORVDLLTekstListyParametru(const char* parameter, int index, char* out /* ORV_TEXT_SIZE */);
ORVDLL_API int ORVDLLSerKasOpisOkna(char* out /* ORV_TEXT_SIZE */, int window);
ORVDLL_API void ORVDLLUstawJezykKomponentow(int language);

/* Registration. */
ORVDLL_API void* ORVDLLRejestrujBiblioteke(HORVCBARG1 host, void* unused1, void* unused2, void* window);
ORVDLL_API void ORVDLLRejestrujCallback(void* lib, void* function, int id /* ORV_CB_... */);
ORVDLL_API void ORVDLLZwolnijBiblioteke(void* lib);

/* Device calls. */
ORVDLL_API void ORVDLLWlasciwosciUrzadzenia(void* lib, HORVCBARG2 call, char* out /* ORV_TEXT_SIZE */,
                                            int number);
ORVDLL_API int ORVDLLSerKasJakSzukacParagonu(void* lib, HORVCBARG2 call, int32_t* a, int32_t* b, int32_t* c);
ORVDLL_API int ORVDLLSerKasPokazOkno(void* lib, HORVCBARG2 call, int window, int flag, int32_t* code,
                                     char* text /* ORV_TEXT_SIZE */);
ORVDLL_API void ORVDLLSerKasNazwaZasobuDzielonego(void* lib, HORVCBARG2 call, char* out /* ORV_TEXT_SIZE */);
/*
 * Runs one operation (ORV_OP_...). `text` is in and out (ORV_TEXT_SIZE).
 * The result does NOT tell failure from success: a failed operation returns 0
 * like a successful one, and the host learns of the failure from the error
 * lines (ORV_MSG_ERROR) it received through callbacks 12 and 13. With the
 * host's session handle already set (*session not null) the call only adds
 * a waiting line, pauses a second and returns 1.
 */
ORVDLL_API int ORVDLLSerKasOperacja(void* lib, HORVCBARG2 call, HORVDLLSKSESJA* session,
                                    char* text /* ORV_TEXT_SIZE */, int operation, int parameter);
ORVDLL_API void ORVDLLSerKasPodtrzymajSesje(void* lib, HORVDLLSKSESJA* session, char* text /* ORV_TEXT_SIZE */,
                                            int a, int b);

#ifdef __cplusplus
}
#endif

#endif /* VELCOMBO_H */
