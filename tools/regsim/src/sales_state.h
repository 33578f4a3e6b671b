// What the simulated register has sold: goods and package statistics, the
// receipt buffer, the cashiers with their statistics and drawer, and the
// discount-card pattern; with the read positions of the lists. Scenario keys
// in tools/regsim/README.md.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "wire_codec.h"

namespace regsim {

struct PluStat {
    int number = 0;
    int64_t value = 0, quantity = 0, stock = 0;
    int day = 1, month = 1, year = 2024;  // the last sale
};

struct PackStat {
    int number = 0;
    int64_t soldQuantity = 0, returnedQuantity = 0, soldValue = 0, returnedValue = 0, stock = 0;
};

// One record of the receipt buffer: its type and the fields after it.
struct SaleRecord {
    int type = 0;
    std::vector<Field> fields;
    bool bufferFull = false;  // the register's warning that the buffer fills up
};

struct Cashier {
    int number = 0;
    std::string name;
    int64_t discounts = 0, surcharges = 0;
    uint32_t loginSeconds = 0;  // since 2000-01-01 00:00
    int64_t packagesSold = 0, packagesReturned = 0, payIns = 0, payOuts = 0, sales = 0;
    uint32_t receipts = 0, cancelledReceipts = 0, cancelledLines = 0;
    int64_t cancelledReceiptsValue = 0, cancelledLinesValue = 0;
    std::vector<std::pair<int, int64_t>> drawer;  // payment form, amount held
};

struct SalesState {
    std::vector<PluStat> pluStats;
    std::vector<PackStat> packStats;
    std::vector<SaleRecord> records;
    std::vector<Cashier> cashiers;
    std::string cardPattern;

    // The statistics lists are read from their context command on.
    size_t pluCursor = 0, packCursor = 0;
    // Records before `confirmed` are gone; the one at `confirmed` awaits its
    // confirmation once served.
    size_t confirmed = 0;
    bool served = false;
};

// The scenario keys read here.
const std::set<std::string>& SalesKeys();
// Throws std::runtime_error naming the faulty entry.
void SalesFromJson(const nlohmann::json& doc, SalesState& sales);

}  // namespace regsim
