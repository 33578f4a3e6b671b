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
    {2002, "CNTXMUINIT", "BB", K::kSimple, h::CntxMuInit},
    {2003, "CNTXPACKINIT", "BB", K::kSimple, h::CntxPackInit},
    {2004, "CNTXGROUPINIT", "BB", K::kSimple, h::CntxGroupInit},
    {2100, "PLUINS", "VSSNNBBBBBBBBBBB", K::kSimple, h::PluIns},
    {2110, "PLUREAD", "VB", K::kSimple, h::PluRead},
    {2140, "PLUDEL", "VBB", K::kSimple, h::PluDel},
    {2150, "PLUDELALL", "B", K::kSimple, h::PluDelAll},
    {2160, "PLUSTATREAD", "VB", K::kSimple, h::PluStatRead},
    {2170, "PLUSTATCLEARALL", "BB", K::kSimple, h::PluStatClearAll},
    {2181, "PLUPRICEUPDATE", "VN", K::kSimple, h::PluPriceUpdate},
    {2500, "USERINS", "VSSSSVBBBB", K::kSimple, h::UserIns},
    {2510, "USERREAD", "V", K::kSimple, h::UserRead},
    {2560, "USERSTATREAD", "VB", K::kSimple, h::UserStatRead},
    {2561, "USERPAYFORMSTATREAD", "", K::kSimple, nullptr},
    {2600, "MUINS", "VSSB", K::kSimple, h::MuIns},
    {2610, "MUREAD", "V", K::kSimple, h::MuRead},
    {2700, "PACKINS", "VSSNNBBB", K::kSimple, h::PackIns},
    {2710, "PACKREAD", "V", K::kSimple, h::PackRead},
    {2740, "PACKDEL", "VBB", K::kSimple, h::PackDel},
    {2750, "PACKDELALL", "B", K::kSimple, h::PackDelAll},
    {2760, "PACKSTATREAD", "VB", K::kSimple, h::PackStatRead},
    {2770, "PACKSTATCLEARALL", "B", K::kSimple, h::PackStatClearAll},
    {2800, "GROUPINS", "VSBB", K::kSimple, h::GroupIns},
    {2810, "GROUPREAD", "V", K::kSimple, h::GroupRead},
    {2900, "PAYFORMINS", "VSBVSNBB", K::kSimple, h::PayFormIns},
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
