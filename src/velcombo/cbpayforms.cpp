// The payment forms the driver expects in the register: forms 2 to 6 with
// fixed types. A fiscal register's forms can only be checked.
#include "cbaction.h"

namespace {
struct PayForm {
    int number;
    int type;
    const char* warning;
};

constexpr PayForm kPayForms[] = {
    {2, 2, "Forma płatności nr 2 powinna być typu \"Karta\""},
    {3, 1, "Forma płatności nr 3 powinna być walutą euro"},
    {4, 4, "Forma płatności nr 4 powinna być typu \"Bon\""},
    {5, 3, "Forma płatności nr 5 powinna być typu \"Czek\""},
    {6, 6, "Forma płatności nr 6 powinna być typu \"Inne\""},
};
}  // namespace

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
        throw Exception(DriverText("Kasa jest w trybie fiskalnym. Formy płatności należy zaprogramować ręcznie "
                                   "zgodnie z powyższymi zaleceniami."));
    MsgS(LPV_Ok);
}
