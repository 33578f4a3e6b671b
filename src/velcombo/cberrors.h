// The register's error texts, the rule that decides which execution errors a
// caller handles itself, and the exchange's own failure texts.
#pragma once

#include <cstddef>

#include "sysutils.h"

// The Polish text of a register error code (either class); any code outside
// the catalogue gives "nieznany błąd przesłany przez kasę".
AnsiString ComboErrList(int code);
// Message lines: "[W%d] - %s" for execution errors, "[T%d] - %s" for
// transmission errors.
AnsiString ComboWykErrMsg(int code);
AnsiString ComboTrnErrMsg(int code);

// Execution errors that end a reading loop or refuse one record: the exchange
// returns normally and the caller reads last_err_wyk.
bool ComboIsQuietExecError(int code);
// Two of them callers tell apart: the record asked for is not there, and a
// list read record by record has no more.
constexpr int kNoSuchRecord = 903;
constexpr int kEndOfList = 975;
// Returns for a quiet code; otherwise throws "Kasa zgłosiła błąd wykonania: "
// followed by ComboWykErrMsg(code).
void ComboRzucKomunikatemBleduWykonania(int code);

// "Błąd komunikacji z kasą": no valid answer after every attempt.
AnsiString ComboCommErrorText();
// A report not finished within the configured time.
AnsiString ComboReportTimeoutText();
// "Operacja przerwana przez użytkownika".
AnsiString ComboStopText();
// A command frame too long for the frame's 16-bit length field.
AnsiString ComboFrameTooLongText(size_t size);
