#include "cbcommands.h"

#include <algorithm>
#include <iterator>

namespace {
struct CommandName {
    unsigned int code;
    const char* name;
};

// Sorted by code.
constexpr CommandName kNames[] = {
    {CMD_TIMEGET, "TIMEGET"},
    {CMD_DATEGET, "DATEGET"},
    {CMD_HEADERGET, "HEADERGET"},
    {CMD_VATGET, "VATGET"},
    {CMD_DRAWERIMPULSEGET, "DRAWERIMPULSEGET"},
    {CMD_CASHREGPARGET, "CASHREGPARGET"},
    {CMD_DISCNTCARDCFGGETEX, "DISCNTCARDCFGGETEX"},
    {CMD_SALERECGET, "SALERECGET"},
    {CMD_CASHREGSTATUSGET, "CASHREGSTATUSGET"},
    {CMD_DBSTATUSGET, "DBSTATUSGET"},
    {CMD_REPFSKDAILY, "REPFSKDAILY"},
    {CMD_REPFSKMONTHLY, "REPFSKMONTHLY"},
    {CMD_REPCOMM, "REPCOMM"},
    {CMD_CNTXPLUINIT, "CNTXPLUINIT"},
    {CMD_CNTXMUINIT, "CNTXMUINIT"},
    {CMD_CNTXPACKINIT, "CNTXPACKINIT"},
    {CMD_CNTXGROUPINIT, "CNTXGROUPINIT"},
    {CMD_PLUINS, "PLUINS"},
    {CMD_PLUREAD, "PLUREAD"},
    {CMD_PLUDEL, "PLUDEL"},
    {CMD_PLUDELALL, "PLUDELALL"},
    {CMD_PLUSTATREAD, "PLUSTATREAD"},
    {CMD_PLUSTATCLEARALL, "PLUSTATCLEARALL"},
    {CMD_PLUPRICEUPDATE, "PLUPRICEUPDATE"},
    {CMD_USERINS, "USERINS"},
    {CMD_USERREAD, "USERREAD"},
    {CMD_USERSTATREAD, "USERSTATREAD"},
    {CMD_USERPAYFORMSTATREAD, "USERPAYFORMSTATREAD"},
    {CMD_MUINS, "MUINS"},
    {CMD_MUREAD, "MUREAD"},
    {CMD_PACKINS, "PACKINS"},
    {CMD_PACKREAD, "PACKREAD"},
    {CMD_PACKDEL, "PACKDEL"},
    {CMD_PACKDELALL, "PACKDELALL"},
    {CMD_PACKSTATREAD, "PACKSTATREAD"},
    {CMD_PACKSTATCLEARALL, "PACKSTATCLEARALL"},
    {CMD_GROUPINS, "GROUPINS"},
    {CMD_GROUPREAD, "GROUPREAD"},
    {CMD_PAYFORMINS, "PAYFORMINS"},
    {CMD_PAYFORMREAD, "PAYFORMREAD"},
};
}  // namespace

AnsiString ComboCmdName(unsigned int code)
{
    auto it = std::lower_bound(std::begin(kNames), std::end(kNames), code,
                               [](const CommandName& n, unsigned int c) { return n.code < c; });
    return it != std::end(kNames) && it->code == code ? it->name : "???";
}

bool ComboIsReportCommand(int code)
{
    return code == CMD_REPFSKDAILY || code == CMD_REPFSKMONTHLY || code == CMD_REPCOMM;
}
