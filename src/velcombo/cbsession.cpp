// The session with the register: opening and closing the link (serial port
// with its multiplexer channel, modem, TCP/IP), the card server's lock for
// the length of the connection, and the register's model and number.
#include <exception>

#include "ModemCtl.h"
#include "cbaction.h"
#include "cblinks.h"
#include "cblinktimes.h"
#include "clientsocket.h"
#include "clock.h"

namespace {
struct ModelEntry {
    int code;
    const char* name;
    e_ProtocolType type;
};

// The register models by the code of the status answer's first field.
constexpr ModelEntry kModels[] = {
    {1, "COMBO 1.01", pt_Combo},         {2, "NEO 1.01", pt_Neo},
    {3, "COMBO 1.02", pt_Combo102},      {4, "NEO 1.02", pt_Neo102},
    {5, "BINGO HS 3.02", pt_Bingo},      {6, "COMBO 1.03", pt_Combo102},
    {7, "NEO 1.03", pt_Neo102},          {8, "COMBO EJ 1.01", pt_Combo},
    {9, "NEO EJ 1.01", pt_Neo102},       {10, "MOBILE 1.03", pt_Mobile},
    {11, "BINGO HS EJ 4.01", pt_BingoHS}, {12, "MOBILE 1.04", pt_Mobile},
    {23, "MOBILE HS EJ 1.01", pt_MobileHS}, {24, "NEO XL EJ 2.01", pt_Neo201},
    {25, "BINGO HS EJ 4.03", pt_BingoHS2}, {26, "BINGO HS 3.03", pt_BingoHS},
    {27, "MOBILE HS EJ 1.02", pt_MobileHS}, {28, "BINGO HS XL EJ 1.01", pt_BingoXL},
    {29, "NEO XL 3.01", pt_Neo301},      {30, "REVO 1.01", pt_Revo},
    {31, "ERGO 1.01", pt_Revo},          {33, "BINGO HS EJ 4.04", pt_BingoHS2},
    {34, "BINGO XL 2.01", pt_BingoXL},   {35, "MOBILE HS EJ 2.01", pt_MobileHS},
    {37, "FAWAG Lite", pt_BingoHS2},     {38, "MOBILE HS EJ 2.02", pt_MobileHS},
    {39, "NEO XL 4.02", pt_Neo301},      {40, "REVO 1.02", pt_Revo},
    {42, "ERGO 1.02", pt_Revo},
};

const ModelEntry* FindModel(int code)
{
    for (const ModelEntry& m : kModels)
        if (m.code == code) return &m;
    return nullptr;
}
}  // namespace

const char* TVelComboAction::ModelTableName(int code)
{
    const ModelEntry* m = FindModel(code);
    return m ? m->name : nullptr;
}

AnsiString TVelComboAction::ModelName(int code)
{
    if (code == 0) return DriverText("<niezidentyfikowany>");
    if (const char* name = ModelTableName(code)) return name;
    return Format("<nieznana o kodzie %d>", code);
}

TMBaudRate TVelComboAction::Speed()
{
    switch (ParamAsInt("ComboSpeed")) {
        case 0: return br__1200;
        case 1: return br__2400;
        case 2: return br__4800;
        case 4: return br_19200;
        case 5: return br_38400;
        case 6: return br_57600;
        case 7: return br115200;
        default: return br__9600;
    }
}

void TVelComboAction::OpenPort()
{
    if (Medium == md_file) return;
    LockSKP();
    if (Medium == md_rs232)
        OpenRS232Port();
    else
        OpenTCPIPPort();

    try {
        SendAndReceive(CMD_CASHREGSTATUSGET);
        MsgS(LPV_Ok);
        const int code = DataSet[0].AsB();
        const ModelEntry* model = FindModel(code);
        if (model) protType = model->type;
        MsgAdd(DriverText("Nawiązano połączenie z kasą ") + ModelName(code), LPV_None, 100);
        const bool noReceiptBuffer = protType == pt_Bingo || protType == pt_Mobile || protType == pt_BingoHS ||
                                     protType == pt_BingoHS2 || protType == pt_MobileHS;
        if (noReceiptBuffer && Sprzedaz_z_paragonow)
            MsgAdd(DriverText("Kasa nie posiada bufora paragonów!"), LPV_Warning, 100);
        switch (DataSet[3].AsB()) {
            case 0: fiscalMode = fm_NotFiscal; break;
            case 2: fiscalMode = fm_ReadOnly; break;
            default: fiscalMode = fm_Fiscal; break;
        }
        if (!model) throw Exception(ModelName(code));
    } catch (...) {
        DodajKomunikat(zkOstrzezenie, DriverText("Błąd podczas odczytu typu kasy. Przyjęto domyślnie Combo"));
    }
}

void TVelComboAction::ClosePort()
{
    if (Medium == md_file) return;
    // A link that cannot be closed cleanly (a modem that will not hang up)
    // must not leave the card server locked out of the register.
    try {
        if (Medium == md_tcpip)
            CloseTCPIPPort();
        else
            CloseRS232Port();
    } catch (...) {
        UnlockSKP();
        throw;
    }
    UnlockSKP();
}

void TVelComboAction::ClosePortAfterFailure()
{
    // The closing lines come below the failed step, which stays the step: a
    // caller that marks the failure marks that step, never the card server's
    // unlock.
    const Step failed = CurrentStep();
    // A modem that will not hang up must still be known to the user.
    try {
        ClosePort();
    } catch (const std::exception& e) {
        DodajKomunikat(zkBlad, e.what());
    } catch (...) {
    }
    ResumeStep(failed);
}

bool TVelComboAction::CheckNumber()
{
    MsgAdd(DriverText("Odczyt numeru kasy..."), LPV_None, 100);
    SendAndReceive(CMD_CASHREGPARGET);
    MsgS(LPV_Ok);
    const int32_t number = StrToInt(Trim(DataSet[0].AsS()));
    MsgAdd(DriverText(" - kasa o numerze: ") + IntToStr(number), LPV_None, 100);
    return number == FNrUrzadzenia;
}

std::unique_ptr<TModemPort> TVelComboAction::NewPort() { return std::make_unique<TModemPort>(this); }

void TVelComboAction::OpenRS232Port()
{
    if (FPort && FPort->GetActive()) return;
    const AnsiString name = SerialPortName();
    FPort = NewPort();
    const AnsiString phone = Trim(WartoscParametru("ComboModemPhone"));
    if (!phone.empty()) {
        FPort->OpenPort(name, Speed(), bs8, sb1_0, parNone);
        FPort->ModemConnect(phone, ParamAsInt("ComboModemTimeout"));
    } else {
        const AnsiString line = Format(DriverText("Otwieranie portu komunikacyjnego %s ...").c_str(), name.c_str());
        MsgAdd(line, LPV_None, 100);
        Log(line, "");
        FPort->SetPortName(name);
        FPort->SetBaudRate(Speed());
        FPort->SetParity(parNone);
        FPort->SetStopBits(sb1_0);
        FPort->SetByteSize(bs8);
        for (int slot : {0, 1, 3, 2, 4}) FPort->SetTo(slot, TModemTimes::SerialSlotsMs[slot]);
        FPort->SetActive(true);
    }
    if (MuxChannel >= 1 && MuxChannel <= 4) {
        // Channels 1 to 4 are chosen by the control lines.
        static const bool rts[] = {true, true, false, false};
        static const bool dtr[] = {false, true, false, true};
        FPort->SetRTS(rts[MuxChannel - 1]);
        FPort->SetDTR(dtr[MuxChannel - 1]);
        Sleep(TComboLinkTimes::MuxSelectPauseMs);
    } else if (MuxChannel >= 5 && MuxChannel <= 12) {
        // Channels 5 to 12 are chosen by a command byte and the channel.
        FPort->SetRTS(false);
        FPort->SetDTR(false);
        Sleep(TComboLinkTimes::MuxSwitchPauseMs);
        FPort->SetRTS(true);
        FPort->SetDTR(true);
        Sleep(TComboLinkTimes::MuxSwitchPauseMs);
        FPort->Put(0xFE, true);
        FPort->Put(static_cast<uint8_t>(MuxChannel - 4), true);
        Sleep(TComboLinkTimes::MuxSwitchPauseMs);
        FPort->SetRTS(false);
    }
    staleInputPossible = true;
    MsgS(LPV_Ok);
}

void TVelComboAction::CloseRS232Port()
{
    if (!FPort) return;
    // A modem that will not hang up is reported once the port is closed: the
    // port is not kept open for it.
    std::exception_ptr hangUpFailure;
    if (FPort->ConnectedViaModem) {
        try {
            FPort->ModemDisconnect();
        } catch (...) {
            hangUpFailure = std::current_exception();
        }
    }
    const AnsiString line = DriverText("Zamykanie portu komunikacyjnego ...");
    MsgAdd(line, LPV_None, 100);
    Log(line, "");
    FPort->SetActive(false);
    FPort.reset();
    MsgS(LPV_Ok);
    if (hangUpFailure) std::rethrow_exception(hangUpFailure);
}

void TVelComboAction::OpenTCPIPPort()
{
    pSocket = std::make_unique<TClientSocket>();
    MsgAdd(DriverText("Nawiązywanie połączenia TCP/IP..."), LPV_None, 100);
    pSocket->SetHost(WartoscParametru("ComboIpAddress"));
    pSocket->SetPort(ParamAsInt("ComboIpPort"));
    pSocket->SetClientType(ctBlocking);
    pSocket->SetConnectTimeout(TComboLinkTimes::RegisterTcpMs);
    pSocket->SetActive(true);
    pStream = std::make_unique<TWinSocketStream>(pSocket->Socket(), TComboLinkTimes::RegisterTcpMs);
    staleInputPossible = true;
    MsgS(LPV_Ok);
}

void TVelComboAction::CloseTCPIPPort()
{
    if (!pSocket) return;
    MsgAdd(DriverText("Zamykanie połączenia TCP/IP..."), LPV_None, 100);
    pStream.reset();
    pSocket->SetActive(false);
    pSocket.reset();
    MsgS(LPV_Ok);
}

void TVelComboAction::LockSKP()
{
    MsgAdd(DriverText("Zdalne zablokowanie serwera Norvik (SKP)"), LPV_None, 100);
    SendCmdToSKP(Format("DISABLE %d\r\n", FNrUrzadzenia - 1));
}

void TVelComboAction::UnlockSKP()
{
    MsgAdd(DriverText("Zdalne odblokowanie serwera Norvik (SKP)"), LPV_None, 100);
    SendCmdToSKP(Format("ENABLE %d\r\n", FNrUrzadzenia - 1));
}

void TVelComboAction::SendCmdToSKP(const AnsiString& command)
{
    if (ParamAsInt("ComboSkpUse") == 0) return;
    // The card server has a connection of its own: the register's stream,
    // open or not, is never touched.
    try {
        TClientSocket socket;
        socket.SetHost(WartoscParametru("ComboSkpIp"));
        socket.SetPort(ParamAsInt("ComboSkpPort"));
        socket.SetClientType(ctBlocking);
        socket.SetConnectTimeout(TComboLinkTimes::CardServerMs);
        socket.SetActive(true);
        TWinSocketStream stream(socket.Socket(), TComboLinkTimes::CardServerMs);
        stream.Write(command.data(), static_cast<int>(command.size()));
        // A server that closes the connection without a word has taken the
        // command all the same: its reply, whatever it is, is ignored.
        char reply[10];
        try {
            stream.Read(reply, sizeof reply);
        } catch (const ESocketClosed&) {
        }
        socket.SetActive(false);
        MsgS(LPV_Ok);
    } catch (...) {
        DodajKomunikat(zkOstrzezenie, DriverText("Serwer Kart Norvik (sk.exe) nie odpowiada."));
    }
}
