// The payment forms the driver expects in the register: forms 2 to 6 with
// fixed types, programmed with the euro rate, or only checked where a fiscal
// register no longer takes them.
#include <cmath>

#include "VelExpBuf.h"
#include "cbaction.h"

namespace {
struct PayForm {
    int number;
    const char* name;
    int type;
    int flags;
    const char* shortName;
    const char* warning;
};

constexpr PayForm kPayForms[] = {
    {2, "Karta płatnicza", 2, 1, "", "Forma płatności nr 2 powinna być typu \"Karta\""},
    {3, "Euro", 1, 1, "EUR", "Forma płatności nr 3 powinna być walutą euro"},
    {4, "Bon", 4, 1, "", "Forma płatności nr 4 powinna być typu \"Bon\""},
    {5, "Czek", 3, 1, "", "Forma płatności nr 5 powinna być typu \"Czek\""},
    {6, "Inna", 6, 0, "", "Forma płatności nr 6 powinna być typu \"Inne\""},
};
constexpr int kEuroForm = 3;
}  // namespace

void TVelComboAction::SendOrVerifyFPlatn()
{
    if (ParamAsInt("ComboExpFPlatn") != 1) return;
    const bool programmable = protType == pt_Neo201 || protType == pt_Neo301 || protType == pt_Revo;
    if (protType >= pt_Bingo && fiscalMode != fm_NotFiscal && !programmable)
        VerifyFPlatn();
    else
        SendFPlatn();
}

void TVelComboAction::SendFPlatn()
{
    if (!AnyGoodsToSend()) return;
    MsgAdd(DriverText("Programowanie form płatności i kusu euro"), LPV_Value, 100);
    int extraFlags = 0;
    if (ParamAsInt("ComboResztaZInnychFP") != 0) extraFlags |= 2;
    if (ParamAsInt("ComboResztaWInnychFP") != 0) extraFlags |= 4;
    // Rounded, not cut: the rate held as a double may lie just below the
    // host's number (4.02 times 10000 is 40199.99...).
    const double euro = std::round(exp_buf->FKursEURO * 10000);
    if (!(std::fabs(euro) <= INT32_MAX))
        throw Exception(Format(DriverText("Nieprawidłowy kurs euro %g w pliku %s").c_str(), exp_buf->FKursEURO,
                               FNameKEXP().c_str()));
    bool refused = false;
    for (const PayForm& form : kPayForms) {
        const AnsiString name = DriverText(form.name);
        const int32_t rate = form.number == kEuroForm ? static_cast<int32_t>(euro) : 1;
        const AnsiString fields[] = {DataV(static_cast<uint16_t>(form.number)),
                                     DataS(name),
                                     DataB(static_cast<uint8_t>(form.type)),
                                     DataV(static_cast<uint16_t>(form.flags | extraFlags)),
                                     DataS(*form.shortName ? DriverText(form.shortName) : AnsiString()),
                                     DataN(rate),
                                     DataB(1),
                                     DataB(1)};
        SendAndReceive(CMD_PAYFORMINS, 8, fields);
        if (RefusedQuietly(Format(DriverText("Forma płatności nr %d \"%s\"").c_str(), form.number, name.c_str())))
            refused = true;
    }
    MsgS(refused ? LPV_Error : LPV_Ok);
}

void TVelComboAction::VerifyFPlatn()
{
    MsgAdd(DriverText("Weryfikacja zaprogramowanych form płatności"), LPV_None, 100);
    bool warned = false;
    for (const PayForm& form : kPayForms) {
        const AnsiString field = DataV(static_cast<uint16_t>(form.number));
        SendAndReceive(CMD_PAYFORMREAD, 1, &field);
        const bool matches = DataSet.Count() == 6 && DataSet[2].AsB() == form.type;
        if (!matches) {
            DodajKomunikat(zkOstrzezenie, DriverText(form.warning));
            warned = true;
        }
    }
    if (warned)
        throw Exception(
            DriverText("Kasa jest w trybie fiskalnym. Formy płatności należy zaprogramować ręcznie "
                       "zgodnie z powyższymi zaleceniami."));
    MsgS(LPV_Ok);
}
