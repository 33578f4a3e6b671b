// The driver's own texts (section "velcombo_cbaction"). They are looked up
// through the process-wide reference taken at registration, before the host
// can bring its text tool, so they always come out as their Polish defaults:
// the host stores some of them (the file-mode word "PLIK").
#pragma once

#include "mlgexttools.h"
#include "process_state.h"

inline AnsiString ComboText(const AnsiString& key, const AnsiString& polish)
{
    return GetString(Process().DriverTextTool, "velcombo_cbaction", key, 0, polish);
}

// A text whose Polish default is its own key.
inline AnsiString ComboText(const AnsiString& polish) { return ComboText(polish, polish); }
