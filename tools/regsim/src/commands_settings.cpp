// The register's settings: receipt header, VAT rates and clock.
#include "command_handlers.h"

namespace regsim::handlers {

Reply HeaderGet(Scenario& s, const std::vector<Field>&)
{
    // Each line is an attribute byte (plain print) followed by its text.
    std::vector<Field> f = {Field::B(static_cast<uint8_t>(s.header.size()))};
    for (const std::string& line : s.header) {
        f.push_back(Field::B(0));
        f.push_back(Field::S(line));
    }
    return Reply::Ok(std::move(f));
}

Reply VatGet(Scenario& s, const std::vector<Field>&)
{
    std::vector<Field> f;
    for (uint16_t rate : s.vatRates) f.push_back(Field::V(rate));
    return Reply::Ok(std::move(f));
}

Reply DateGet(Scenario& s, const std::vector<Field>&)
{
    return Reply::Ok({Field::B(static_cast<uint8_t>(s.clock.day)), Field::B(static_cast<uint8_t>(s.clock.month)),
                      Field::V(static_cast<uint16_t>(s.clock.year))});
}

Reply TimeGet(Scenario& s, const std::vector<Field>&)
{
    return Reply::Ok({Field::B(static_cast<uint8_t>(s.clock.hour)), Field::B(static_cast<uint8_t>(s.clock.minute)),
                      Field::B(static_cast<uint8_t>(s.clock.second))});
}

}  // namespace regsim::handlers
