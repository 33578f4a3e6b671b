// The register's identity and the state of its databases.
#include "command_handlers.h"

namespace regsim::handlers {

Reply CashRegStatusGet(Scenario& s, const std::vector<Field>&)
{
    // Fields 4-6 and 13-18 carry states the driver does not read; the
    // register sends them as zero bytes here.
    std::vector<Field> f = {
        Field::B(static_cast<uint8_t>(s.model)),
        Field::S(s.registerNumber),
        Field::V(static_cast<uint16_t>(s.operatorNumber)),
        Field::B(static_cast<uint8_t>(s.fiscalState)),
        Field::B(0),
        Field::B(0),
        Field::B(0),
        Field::B(static_cast<uint8_t>(s.fiscalisation.day)),
        Field::B(static_cast<uint8_t>(s.fiscalisation.month)),
        Field::V(static_cast<uint16_t>(s.fiscalisation.year)),
        Field::B(static_cast<uint8_t>(s.fiscalisation.hour)),
        Field::B(static_cast<uint8_t>(s.fiscalisation.minute)),
        Field::B(static_cast<uint8_t>(s.fiscalisation.second)),
    };
    for (int i = 13; i <= 18; ++i) f.push_back(Field::B(0));
    f.push_back(Field::S(s.taxNumber));
    f.push_back(Field::S(s.uniqueNumber));
    f.push_back(Field::S(s.firmware));
    return Reply::Ok(std::move(f));
}

Reply CashRegParGet(Scenario& s, const std::vector<Field>&)
{
    return Reply::Ok({Field::S(s.registerNumber)});
}

Reply DbStatusGet(Scenario& s, const std::vector<Field>&)
{
    std::vector<Field> f = {Field::B(0), Field::B(s.totalsNonZero ? 1 : 0)};
    for (const DbPair& p : s.dbPairs) {
        f.push_back(Field::V(static_cast<uint16_t>(p.size)));
        f.push_back(Field::V(static_cast<uint16_t>(p.programmed)));
    }
    return Reply::Ok(std::move(f));
}

}  // namespace regsim::handlers
