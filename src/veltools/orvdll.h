// The types of the host interface: handles, the host's callbacks by number,
// the environment of one operation and the states of a message line.
#pragma once

#include <cstdint>

#include "sysutils.h"

typedef void* HORVCBARG1;      // the host's handle of a registration
typedef void* HORVCBARG2;      // the host's handle of one call
typedef void* HORVDLLSKSESJA;  // the host's session handle

// The host's callbacks; the comment gives the number under which the host registers each.
extern "C" {
typedef int (*TORVCBCzyPrzerwac)(HORVCBARG1, HORVCBARG2);                                         // 5
typedef int (*TORVCBWartoscParametru)(HORVCBARG1, HORVCBARG2, const char* name, char* value);     // 6
typedef int (*TORVCBDaneUrzadzenia)(HORVCBARG1, HORVCBARG2, int32_t* id, int32_t* number, char* name,
                                    char* workstation, char* exchangeFolder);                      // 11
typedef void (*TORVCBKomunikat)(HORVCBARG1, HORVCBARG2, int32_t kind, const char* text);          // 12, 13
typedef int (*TORVCBFormatWazony)(HORVCBARG1, HORVCBARG2, int32_t index, char* format);           // 14
typedef int (*TORVCBStawkaVAT)(HORVCBARG1, HORVCBARG2, int32_t index, int32_t* rate);             // 15, 32
typedef int (*TORVCBZapisz)(HORVCBARG1, HORVCBARG2);                                              // 16, 17, 18
typedef int (*TORVCBOdczytajTowar)(HORVCBARG1, HORVCBARG2, char* answer, const char* key);        // 19
typedef void (*TORVCBProcedura)(HORVCBARG1, HORVCBARG2);                                          // 20, 24
typedef int (*TORVCBZmienParametr)(HORVCBARG1, HORVCBARG2, const char* name, const char* value);  // 21
typedef int (*TORVCBZajmijZasob)(HORVCBARG1, HORVCBARG2, const char* resource);                   // 22
typedef void (*TORVCBZwolnijZasob)(HORVCBARG1, HORVCBARG2, const char* resource);                 // 23
typedef int (*TORVCBWstrzymajOperacje)(HORVCBARG1, HORVCBARG2, const char* text, int32_t value);  // 25
typedef void (*TORVCBZapiszStanLicznika)(HORVCBARG1, HORVCBARG2, int32_t* values, int32_t count);  // 28
typedef void (*TORVCBZapiszStanICzasLicznika)(HORVCBARG1, HORVCBARG2, int32_t* values, int32_t count,
                                              const char* text);                                   // 31
typedef int (*TORVCBDodajTowarZKasy)(HORVCBARG1, HORVCBARG2, const char*, int32_t, const char*, int32_t,
                                     const char*, const char*, int32_t, double, double, double, double,
                                     int32_t, int32_t, const char*);                               // 33
typedef int (*TORVCBTekst)(char* buffer, int32_t size, const char* section, const char* key);     // 34
}

// Sizes of the host's text buffers.
constexpr int ORV_TEXT_SIZE = 301;
constexpr int ORV_FOLDER_SIZE = 261;
constexpr int ORV_GOODS_SIZE = 2049;

// Copies a text result into a host buffer of ORV_TEXT_SIZE bytes: at most
// 300 bytes, the rest of the buffer zero, the last byte always 0. A null
// buffer is left alone.
void CopyTextResult(char* buffer, const AnsiString& text);

// The environment of one operation.
struct HORVDLLSRODOWISKO {
    AnsiString NazwaSesji;               // the host's text: in, and handed back out
    HORVDLLSKSESJA* phSesja = nullptr;   // the host's session handle variable
    int32_t Wynik = 0;                   // the result returned to the host
};

// The state of a message line.
enum LPVState { LPV_Ok = 0, LPV_Error = 1, LPV_Warning = 2, LPV_Percent = 3, LPV_Value = 4, LPV_None = 5 };

// The kind of a line handed to the host.
enum TORVDLLZnaczenieKomunikatu { zkNormalny = 0, zkOstrzezenie = 1, zkBlad = 2 };
