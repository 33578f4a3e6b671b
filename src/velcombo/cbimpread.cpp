// Reading the register's sales statistics, card settings and cashier state
// into the intermediate file, and the daily fiscal report before them.
#include "cbaction.h"
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
            case pt_BingoXL: break;
            default: return;
        }
        MsgAdd(DriverText("- odczyt formatu kart rabatowych..."), LPV_None, 100);
        SendAndReceive(CMD_DISCNTCARDCFGGETEX);
        pattern = DataSet[3].AsS();
        AnsiString stored;
        ReadParamEx(kCardPatternParam, stored);
        if (stored != pattern) WriteParamEx(kCardPatternParam, pattern);
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

void TVelComboAction::ReadPluSale(e_ReadStat) { throw Exception(DriverText("Odczyt sprzedaży nie jest jeszcze dostępny")); }
void TVelComboAction::ReadParags() { throw Exception(DriverText("Odczyt paragonów nie jest jeszcze dostępny")); }
void TVelComboAction::ReadCashierStatus() { throw Exception(DriverText("Odczyt stanu kasjerów nie jest jeszcze dostępny")); }
