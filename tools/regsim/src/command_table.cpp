#include "command_table.h"

#include "command_handlers.h"

namespace regsim {

namespace {

using K = CommandKind;
namespace h = handlers;

// A command without a handler is known by name only and answered "unknown
// command"; its layout, where still empty, comes with its handler.
constexpr CommandInfo kCommands[] = {
    {14, "TIMEGET", "", K::kSimple, h::TimeGet},
    {15, "DATEGET", "", K::kSimple, h::DateGet},
    {18, "HEADERGET", "", K::kSimple, h::HeaderGet},
    {20, "VATGET", "", K::kSimple, h::VatGet},
    {306, "DRAWERIMPULSEGET", "", K::kSimple, nullptr},
    {321, "CASHREGPARGET", "", K::kSimple, h::CashRegParGet},
    {334, "DISCNTCARDCFGGETEX", "", K::kSimple, h::DiscntCardCfgGetEx},
    {451, "SALERECGET", "B", K::kSimple, h::SaleRecGet},
    {501, "CASHREGSTATUSGET", "", K::kSimple, h::CashRegStatusGet},
    {502, "DBSTATUSGET", "", K::kSimple, h::DbStatusGet},
    {1165, "REPFSKDAILY", "BBVBB", K::kReport, h::RepFskDaily},
    {1168, "REPFSKMONTHLY", "", K::kReport, nullptr},
    {1171, "REPCOMM", "", K::kReport, h::RepComm},
    {2000, "CNTXPLUINIT", "BB", K::kSimple, h::CntxPluInit},
    {2002, "CNTXMUINIT", "BB", K::kSimple, nullptr},
    {2003, "CNTXPACKINIT", "BB", K::kSimple, h::CntxPackInit},
    {2004, "CNTXGROUPINIT", "BB", K::kSimple, nullptr},
    {2100, "PLUINS", "", K::kSimple, nullptr},
    {2110, "PLUREAD", "", K::kSimple, nullptr},
    {2140, "PLUDEL", "", K::kSimple, nullptr},
    {2150, "PLUDELALL", "", K::kSimple, nullptr},
    {2160, "PLUSTATREAD", "VB", K::kSimple, h::PluStatRead},
    {2170, "PLUSTATCLEARALL", "", K::kSimple, nullptr},
    {2181, "PLUPRICEUPDATE", "", K::kSimple, nullptr},
    {2500, "USERINS", "VSSSSVBBBB", K::kSimple, nullptr},
    {2510, "USERREAD", "V", K::kSimple, h::UserRead},
    {2560, "USERSTATREAD", "VB", K::kSimple, h::UserStatRead},
    {2561, "USERPAYFORMSTATREAD", "", K::kSimple, nullptr},
    {2600, "MUINS", "VSSB", K::kSimple, nullptr},
    {2610, "MUREAD", "", K::kSimple, nullptr},
    {2700, "PACKINS", "", K::kSimple, nullptr},
    {2710, "PACKREAD", "", K::kSimple, nullptr},
    {2740, "PACKDEL", "", K::kSimple, nullptr},
    {2750, "PACKDELALL", "", K::kSimple, nullptr},
    {2760, "PACKSTATREAD", "VB", K::kSimple, h::PackStatRead},
    {2770, "PACKSTATCLEARALL", "", K::kSimple, nullptr},
    {2800, "GROUPINS", "VSBB", K::kSimple, nullptr},
    {2810, "GROUPREAD", "", K::kSimple, nullptr},
    {2900, "PAYFORMINS", "VSBVSNBB", K::kSimple, nullptr},
    {2910, "PAYFORMREAD", "V", K::kSimple, h::PayFormRead},
};

}  // namespace

const CommandInfo* FindCommand(uint16_t code)
{
    for (const CommandInfo& c : kCommands)
        if (c.code == code) return &c;
    return nullptr;
}

const char* CommandName(uint16_t code)
{
    const CommandInfo* c = FindCommand(code);
    return c ? c->name : "???";
}

std::string FieldLetters(const std::vector<Field>& fields)
{
    std::string out;
    for (const Field& f : fields) out.push_back(f.type);
    return out;
}

}  // namespace regsim
