// The service functions of operation -8, numbered as the host's windows
// number them.
#include "ModemCtl.h"
#include "cbaction.h"

void TVelComboAction::DodFuncExecute(int n)
{
    switch (n) {
        case 1: ResetSaleF7(); break;
        case 2: ResetAllPluF7(); break;
        case 3: ModemKonfigF7(); break;
        case 4: ModemDisconnectF7(); break;
        case 5: RepCommF7(); break;
        case 6: ImportPluF7(); break;
        default: break;
    }
}

void TVelComboAction::RepCommF7()
{
    if (Medium == md_file) throw Exception(DriverText("Ustaw port komunikacyjny"));
    try {
        // Inside the guard: a link that cannot be opened must still unlock
        // the card server that OpenPort has already locked.
        OpenPort();
        MsgAdd(DriverText("Czekaj na wykonanie raportu na kasie..."), LPV_Value, 100);
        SendAndReceive(CMD_REPCOMM);
        FailOnQuietRefusal();
        MsgS(LPV_Ok);
    } catch (...) {
        MsgS(LPV_Error);
        ClosePortAfterFailure();
        throw;
    }
    ClosePort();
}

void TVelComboAction::ModemKonfigF7()
{
    if (Medium != md_rs232) throw Exception(DriverText("Ustaw złącze na COMx"));
    TModemPort modem(this);
    modem.ModemSetUp(WartoscParametru("ComboPort"), Speed(), ParamAsInt("ComboModemTimeout"));
}

void TVelComboAction::ModemDisconnectF7()
{
    if (Medium != md_rs232) throw Exception(DriverText("Ustaw złącze na COMx"));
    TModemPort modem(this);
    modem.ModemHangUp(WartoscParametru("ComboPort"), Speed());
}

void TVelComboAction::InOwnSession(void (TVelComboAction::*work)())
{
    if (Medium == md_file) throw Exception(DriverText("Ustaw port komunikacyjny"));
    try {
        OpenPort();
        (this->*work)();
    } catch (...) {
        ClosePortAfterFailure();
        throw;
    }
    ClosePort();
}

void TVelComboAction::ResetSaleF7() { InOwnSession(&TVelComboAction::ResetSale); }

void TVelComboAction::ResetAllPluF7()
{
    if (Medium == md_file) throw Exception(DriverText("Ustaw port komunikacyjny"));
    try {
        OpenPort();
    } catch (...) {
        ClosePortAfterFailure();
        throw;
    }
    // It closes the session itself when it fails.
    ResetAllPlu();
    ClosePort();
}
