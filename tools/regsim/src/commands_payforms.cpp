// Payment forms.
#include "command_handlers.h"

namespace regsim::handlers {

// The answer mirrors what programs a form: number, name, type, flags, short
// name, rate.
Reply PayFormRead(Scenario& s, const std::vector<Field>& request)
{
    const int64_t number = request[0].number;
    for (const PayForm& p : s.payForms)
        if (p.number == number)
            return Reply::Ok({Field::V(static_cast<uint16_t>(p.number)), Field::S(p.name),
                              Field::B(static_cast<uint8_t>(p.type)), Field::V(static_cast<uint16_t>(p.flags)),
                              Field::S(p.shortName), Field::N(p.rate)});
    return Reply::Error(codes::kNoSuchPayForm);
}

}  // namespace regsim::handlers
