// The handlers of the command table, one group per file.
#pragma once

#include "command_table.h"

namespace regsim::handlers {

// commands_status.cpp
Reply CashRegStatusGet(Scenario& state, const std::vector<Field>& request);
Reply CashRegParGet(Scenario& state, const std::vector<Field>& request);
Reply DbStatusGet(Scenario& state, const std::vector<Field>& request);

// commands_settings.cpp
Reply HeaderGet(Scenario& state, const std::vector<Field>& request);
Reply VatGet(Scenario& state, const std::vector<Field>& request);
Reply DateGet(Scenario& state, const std::vector<Field>& request);
Reply TimeGet(Scenario& state, const std::vector<Field>& request);

// commands_payforms.cpp
Reply PayFormRead(Scenario& state, const std::vector<Field>& request);

// commands_reports.cpp
Reply RepFskDaily(Scenario& state, const std::vector<Field>& request);
Reply RepComm(Scenario& state, const std::vector<Field>& request);

// commands_sales.cpp
Reply CntxPluInit(Scenario& state, const std::vector<Field>& request);
Reply CntxPackInit(Scenario& state, const std::vector<Field>& request);
Reply PluStatRead(Scenario& state, const std::vector<Field>& request);
Reply PackStatRead(Scenario& state, const std::vector<Field>& request);
Reply SaleRecGet(Scenario& state, const std::vector<Field>& request);
Reply UserRead(Scenario& state, const std::vector<Field>& request);
Reply UserStatRead(Scenario& state, const std::vector<Field>& request);
Reply DiscntCardCfgGetEx(Scenario& state, const std::vector<Field>& request);

}  // namespace regsim::handlers
