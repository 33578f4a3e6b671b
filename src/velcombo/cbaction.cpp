// The Combo/NEO device action: construction and the host's small device questions.
#include "cbaction.h"

#include "process_state.h"

TVelComboAction::TVelComboAction(TVelComboLibrary* library, HORVCBARG2 call) : VelAction(library, call) {}

TVelComboAction::~TVelComboAction() = default;

AnsiString TVelComboAction::NazwaZasobuDzielonego()
{
    const AnsiString port = WartoscParametru("ComboPort");
    if (port != LgText(Process().DriverTextTool, "velcombo_cbaction", "PLIK")) return port;
    return FNameEXP();
}

AnsiString TVelComboAction::WlasciwosciUrzadzenia(int number)
{
    if (number == 1103) return "1";
    if (number == 1101) return "0";
    return "";
}
