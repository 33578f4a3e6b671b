// Master data an export programs: goods groups, units of measure, cashiers
// and payment forms, refused as the register refuses them.
#include <algorithm>
#include <initializer_list>

#include "command_handlers.h"

namespace regsim::handlers {

namespace {

bool OneOf(int model, std::initializer_list<int> models)
{
    return std::find(models.begin(), models.end(), model) != models.end();
}

// NEO-class models take no cashiers once fiscal.
bool CashiersLockedWhenFiscal(int model)
{
    return OneOf(model, {2, 4, 7, 9, 24, 29, 30, 31, 39, 40, 42});
}

// Combo and Mobile models, and the newest ones, still take payment forms
// once fiscal.
bool PayFormsOpenWhenFiscal(int model)
{
    return OneOf(model, {1, 3, 6, 8, 10, 12, 23, 27, 35, 38, 24, 29, 30, 31, 39, 40, 42});
}

// Stores a numbered record of a database of `size` records (0: no limit)
// whose names must be unique; 0 or the execution error.
int Store(std::map<int, std::vector<Field>>& records, int size, const std::vector<Field>& request)
{
    const int number = static_cast<int>(request[0].number);
    if (number < 1 || (size > 0 && number > size)) return codes::kBadRecordNumber;
    const std::string& name = request[1].text;
    if (name.empty()) return codes::kEmptyName;
    for (const auto& [other, fields] : records)
        if (other != number && fields[1].text == name) return codes::kNameNotUnique;
    records[number] = request;
    return 0;
}

Reply Stored(int error)
{
    return error ? Reply::Error(error) : Reply::Ok({});
}

int DbSize(const Scenario& s, const char* name)
{
    for (size_t i = 0; i < Scenario::kDbNames.size(); ++i)
        if (std::string(Scenario::kDbNames[i]) == name) return s.dbPairs[i].size;
    return 0;
}

}  // namespace

// Number, name, two overwrite bytes.
Reply GroupIns(Scenario& s, const std::vector<Field>& request)
{
    return Stored(Store(s.groups, DbSize(s, "groups"), request));
}

// Number, name, short name, one byte.
Reply MuIns(Scenario& s, const std::vector<Field>& request)
{
    return Stored(Store(s.units, DbSize(s, "units"), request));
}

// Number, name, identifier, card code, password, rights, four bytes.
Reply UserIns(Scenario& s, const std::vector<Field>& request)
{
    if (s.fiscalState != 0 && CashiersLockedWhenFiscal(s.model)) return Reply::Error(codes::kFiscalMode);
    return Stored(Store(s.cashiers, DbSize(s, "cashiers"), request));
}

// Number, name, type, flags, short name, rate, two bytes. Form 1 is cash.
Reply PayFormIns(Scenario& s, const std::vector<Field>& request)
{
    if (s.fiscalState != 0 && !PayFormsOpenWhenFiscal(s.model)) return Reply::Error(codes::kFiscalMode);
    const int number = static_cast<int>(request[0].number);
    if (number == 1) return Reply::Error(codes::kPredefinedPayForm);
    if (number < 1 || number > 16) return Reply::Error(codes::kBadRecordNumber);
    if (request[2].number > 6) return Reply::Error(codes::kBadPayFormType);
    PayForm form{
        number,          request[1].text,  static_cast<int>(request[2].number), static_cast<int>(request[3].number),
        request[4].text, request[5].number};
    auto it = std::find_if(s.payForms.begin(), s.payForms.end(), [&](const PayForm& p) { return p.number == number; });
    if (it == s.payForms.end())
        s.payForms.push_back(form);
    else
        *it = form;
    return Reply::Ok({});
}

}  // namespace regsim::handlers
