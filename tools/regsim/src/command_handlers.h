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

// commands_masterdata.cpp
Reply GroupIns(Scenario& state, const std::vector<Field>& request);
Reply MuIns(Scenario& state, const std::vector<Field>& request);
Reply UserIns(Scenario& state, const std::vector<Field>& request);
Reply PayFormIns(Scenario& state, const std::vector<Field>& request);

// commands_reports.cpp
Reply RepFskDaily(Scenario& state, const std::vector<Field>& request);
Reply RepComm(Scenario& state, const std::vector<Field>& request);

// commands_sales.cpp
Reply PluStatRead(Scenario& state, const std::vector<Field>& request);
Reply PackStatRead(Scenario& state, const std::vector<Field>& request);
Reply SaleRecGet(Scenario& state, const std::vector<Field>& request);
Reply UserRead(Scenario& state, const std::vector<Field>& request);
Reply UserStatRead(Scenario& state, const std::vector<Field>& request);
Reply DiscntCardCfgGetEx(Scenario& state, const std::vector<Field>& request);

// commands_goods.cpp
Reply PluIns(Scenario& state, const std::vector<Field>& request);
Reply PluPriceUpdate(Scenario& state, const std::vector<Field>& request);
Reply PluDel(Scenario& state, const std::vector<Field>& request);
Reply PluDelAll(Scenario& state, const std::vector<Field>& request);
Reply PluStatClearAll(Scenario& state, const std::vector<Field>& request);
Reply CntxPluInit(Scenario& state, const std::vector<Field>& request);
Reply PluRead(Scenario& state, const std::vector<Field>& request);
Reply PackIns(Scenario& state, const std::vector<Field>& request);
Reply PackDel(Scenario& state, const std::vector<Field>& request);
Reply PackDelAll(Scenario& state, const std::vector<Field>& request);
Reply PackStatClearAll(Scenario& state, const std::vector<Field>& request);
Reply CntxPackInit(Scenario& state, const std::vector<Field>& request);
Reply PackRead(Scenario& state, const std::vector<Field>& request);

// commands_lists.cpp
Reply CntxGroupInit(Scenario& state, const std::vector<Field>& request);
Reply GroupRead(Scenario& state, const std::vector<Field>& request);
Reply CntxMuInit(Scenario& state, const std::vector<Field>& request);
Reply MuRead(Scenario& state, const std::vector<Field>& request);

}  // namespace regsim::handlers
