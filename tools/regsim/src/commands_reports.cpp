// Report commands: the handler runs when the report is accepted; the link
// sends the acknowledgement and, after the report's time, the final answer.
#include "command_handlers.h"

namespace regsim::handlers {

namespace {

bool ValidDateTime(int day, int month, int year, int hour, int minute)
{
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month >= 1 && month <= 12 && day >= 1 && day <= days[month - 1] && year >= 2000 && hour <= 23 &&
           minute <= 59;
}

}  // namespace

// Day, month, year, hour, minute of the report; it zeroes the totals.
Reply RepFskDaily(Scenario& s, const std::vector<Field>& request)
{
    if (!ValidDateTime(static_cast<int>(request[0].number), static_cast<int>(request[1].number),
                       static_cast<int>(request[2].number), static_cast<int>(request[3].number),
                       static_cast<int>(request[4].number)))
        return Reply::Error(codes::kBadDateTime);
    s.totalsNonZero = false;
    return Reply::Ok({});
}

Reply RepComm(Scenario&, const std::vector<Field>&)
{
    return Reply::Ok({});
}

}  // namespace regsim::handlers
