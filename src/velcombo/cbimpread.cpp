// Reading the register's sales statistics, card settings and cashier state
// into the intermediate file, and the daily fiscal report before them.
#include "cbaction.h"
#include "cberrors.h"
#include "cbtexts.h"

void TVelComboAction::DoFiscalReport()
{
    MsgAdd("Odczyt statusu baz kasy...", LPV_None, 100);
    SendAndReceive(CMD_DBSTATUSGET);
    MsgS(LPV_Ok);
    if (DataSet[1].AsB() != 1) {
        MsgAdd("Zerowe totalizery - raport dobowy nie został wykonany", LPV_Warning, 100);
        return;
    }
    MsgAdd("Odczyt daty i czasu...", LPV_None, 100);
    SendAndReceive(CMD_DATEGET);
    MsgS(LPV_Ok);
    // The register's own fields go back to it as they came.
    AnsiString fields[5] = {DataSet[0].AsData(), DataSet[1].AsData(), DataSet[2].AsData()};
    SendAndReceive(CMD_TIMEGET);
    fields[3] = DataSet[0].AsData();
    fields[4] = DataSet[1].AsData();
    MsgAdd("Raport dobowy fiskalny...", LPV_None, 100);
    SendAndReceive(CMD_REPFSKDAILY, 5, fields);
    MsgS(LPV_Ok);
}

// --- Sales statistics ------------------------------------------------------------

void TVelComboAction::ReadPluSale(e_ReadStat kind)
{
    int contextCmd = 0, readCmd = 0;
    AnsiString text;
    switch (kind) {
        case rs_Plu:
            contextCmd = CMD_CNTXPLUINIT;
            readCmd = CMD_PLUSTATREAD;
            text = " - odczyt sprzedaży towarów ...";
            break;
        case rs_Pack:
            contextCmd = CMD_CNTXPACKINIT;
            readCmd = CMD_PACKSTATREAD;
            text = " - odczyt sprzedaży opakowań ...";
            break;
        default:
            throw Exception(DriverText("ReadPluSale(): nieznany typ danych statystycznych"));
    }
    last_err_trn = 0;
    last_err_wyk = 0;
    MsgAdd(DriverText(text), LPV_Value, 100);
    int counter = 0;
    ReadList(contextCmd, {DataB(2), DataB(2)}, readCmd, {DataV(0), DataB(1)}, {kEndOfList}, [&] {
        Progress(counter);
        ThrowPrzerwac();
        LineToIMPFile(kind == rs_Plu ? ParsePluStatLine() : ParsePackStatLine());
    });
    MsgP(counter);
}

// --- Cashier state -----------------------------------------------------------------

void TVelComboAction::ReadCashierStatus()
{
    try {
        MsgAdd(DriverText(" - odczyt stanu kasy ..."), LPV_None, 100);
        MsgAdd(DriverText(" -   status kasy..."), LPV_None, 100);
        SendAndReceive(CMD_CASHREGSTATUSGET);
        MsgS(LPV_Ok);
        const int cashier = DataSet[2].AsV();
        AnsiString now, name;
        int32_t euroRate = 10000;
        if (cashier != 0) {
            MsgAdd(DriverText("-   czas bieżący z kasy..."), LPV_None, 100);
            SendAndReceive(CMD_DATEGET);
            MsgS(LPV_Ok);
            const int day = DataSet[0].AsB(), month = DataSet[1].AsB(), year = DataSet[2].AsV();
            SendAndReceive(CMD_TIMEGET);
            now = CompressedTime(year, month, day, DataSet[0].AsB(), DataSet[1].AsB(), DataSet[2].AsB());

            MsgAdd(DriverText(" -   aktualny kurs euro..."), LPV_None, 100);
            const AnsiString euro = DataV(3);
            SendAndReceive(CMD_PAYFORMREAD, 1, &euro);
            if (DataSet.Count() == 6 && DataSet[2].AsB() == 1) euroRate = DataSet[5].AsN();

            MsgAdd(DriverText(" -   nazwisko zalogowanego kasjera..."), LPV_None, 100);
            const AnsiString number = DataV(static_cast<uint16_t>(cashier));
            SendAndReceive(CMD_USERREAD, 1, &number);
            MsgS(LPV_Ok);
            name = DataSet[1].AsS();

            MsgAdd(DriverText(" -   statystyki zalogowanego kasjera..."), LPV_None, 100);
            const AnsiString stat[] = {number, DataB(0)};
            SendAndReceive(CMD_USERSTATREAD, 2, stat);
            MsgS(LPV_Ok);
        }
        WriteCashierStatus(cashier, name, now, euroRate);
        MsgS(LPV_Ok);
    } catch (...) {
        MsgS(LPV_Error);
        throw;
    }
}

// --- Discount cards --------------------------------------------------------------

namespace {
// The stored copy of the pattern last read from the register, so that a
// pass that runs without the register shortens codes the same way.
const char* const kCardPatternParam = "CardPattern";
}  // namespace

void TVelComboAction::ReadDiscountCardCfg()
{
    const int32_t mode = ParamAsInt("ComboCardFormatFull");
    AnsiString pattern;
    if (mode == 0) return;
    if (mode == 1) {
        switch (protType) {
            case pt_Neo:
            case pt_Combo102:
            case pt_Neo102:
            case pt_Neo201:
            case pt_BingoHS2:
            case pt_BingoXL:
                break;
            default:
                return;
        }
        MsgAdd(DriverText("- odczyt formatu kart rabatowych..."), LPV_None, 100);
        SendAndReceive(CMD_DISCNTCARDCFGGETEX);
        pattern = DataSet.Count() > 3 ? DataSet[3].AsS() : AnsiString();
        // Kept for parsing a leftover file later, when the register is not
        // asked. The sales do not depend on it: a refused store only warns,
        // and this run uses what the register gave, an empty pattern too.
        AnsiString stored;
        ReadParamEx(kCardPatternParam, stored);
        if (stored != pattern) {
            try {
                WriteParamEx(kCardPatternParam, pattern);
            } catch (const Exception& e) {
                MsgAdd(e.Message(), LPV_Warning, 100);
            }
        }
    } else if (mode == 2) {
        pattern = WartoscParametru("ComboCardMask");
    }
    SetCardPattern(pattern);
    MsgS(LPV_Ok);
}

void TVelComboAction::CardPatternFromConfig()
{
    const int32_t mode = ParamAsInt("ComboCardFormatFull");
    AnsiString pattern;
    if (mode == 0) return;
    if (mode == 1)
        ReadParamEx(kCardPatternParam, pattern);
    else if (mode == 2)
        pattern = WartoscParametru("ComboCardMask");
    SetCardPattern(pattern);
}

void TVelComboAction::SetCardPattern(const AnsiString& pattern)
{
    const size_t first = pattern.find('N');
    cardNNNPosStart = first == AnsiString::npos ? 0 : static_cast<int>(first) + 1;
    cardNNNCount = 0;
    if (cardNNNPosStart != 0)
        for (size_t i = first; i < pattern.size() && pattern[i] == 'N'; ++i) ++cardNNNCount;
    cardPatternKnown = true;
}

AnsiString TVelComboAction::ParseDiscountCardCode(const AnsiString& code) const
{
    if (cardNNNPosStart < 1 || cardNNNCount < 0) return code;
    if (code.size() < static_cast<size_t>(cardNNNPosStart + cardNNNCount - 1)) return code;
    return code.substr(static_cast<size_t>(cardNNNPosStart - 1), static_cast<size_t>(cardNNNCount));
}
