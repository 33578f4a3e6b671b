// The service functions of operation -8, numbered as the host's windows
// number them.
#include "ModemCtl.h"
#include "cbaction.h"
#include "sysfiles.h"

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
    modem.ModemSetUp(SerialPortName(), Speed(), ParamAsInt("ComboModemTimeout"));
}

void TVelComboAction::ModemDisconnectF7()
{
    if (Medium != md_rs232) throw Exception(DriverText("Ustaw złącze na COMx"));
    TModemPort modem(this);
    modem.ModemHangUp(SerialPortName(), Speed());
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
    // It closes the session itself when it fails, but when the packages alone are refused.
    if (const AnsiString refusal = ResetAllPlu(); !refusal.empty()) {
        ClosePortAfterFailure();
        throw Exception(refusal);
    }
    ClosePort();
}

void TVelComboAction::ImportTowF7()
{
    if (Medium == md_file) throw Exception(DriverText("Ustaw port komunikacyjny"));
    try {
        OpenPort();
        ReadTowToFile(FNameTOW());
    } catch (...) {
        MsgS(LPV_Error);
        ClosePortAfterFailure();
        throw;
    }
    ClosePort();
}

void TVelComboAction::ReadPluList()
{
    if (ParamAsInt("ComboImpTow") == 0) return;
    const AnsiString folder = KatalogWymiany();
    const AnsiString path = Format("%s%02d_combo.tow", folder.c_str(), FNrUrzadzenia);
    if ((FileExists(path) || DirectoryExists(path)) && !DeleteFile(path))
        throw Exception(DriverText("Błąd usunięcia poprzedniego pliku z towarami"));
    const AnsiString log = Format("%s%02d_combo_tow.log", folder.c_str(), FNrUrzadzenia);
    try {
        ReadTowToFile(path);
    } catch (const Exception& e) {
        MsgS(LPV_Error);
        TLTools::BufToAppendFile(Format("[%s] ### Import towarów NIEUDANY !!! ### - %s\r\n",
                                        DateTimeToStr(Now()).c_str(), e.Message().c_str()),
                                 log);
        // A stop ends the operation; only the reading's own failure is left at the note.
        if (dynamic_cast<const EAbort*>(&e)) throw;
        return;
    }
    TLTools::BufToAppendFile(Format("[%s] Import towarów OK\r\n", DateTimeToStr(Now()).c_str()), log);
}
