// The host interface as the driver sees it: the host's header, the environment
// of one operation and the states of a message line.
#pragma once

#include <cstdint>

#include "sysutils.h"

// The handles, the callbacks' types and the buffer sizes are the host's
// header: the library and its hosts read the same declarations.
#include "velcombo.h"

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
