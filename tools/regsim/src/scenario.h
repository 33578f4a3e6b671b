// What the simulated register knows: its identity, fiscal state, header, VAT
// rates, clock, database status and payment forms, read from a JSON scenario
// file (format in tools/regsim/README.md). Texts are kept as cp1250 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "sales_state.h"
#include "goods_base.h"
#include "wire_codec.h"

namespace regsim {

struct DateTime {
    int year = 2024, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

struct PayForm {
    int number = 0;
    std::string name;
    int type = 0;
    int flags = 0;
    std::string shortName;
    int64_t rate = 1;
};

// How a report command is awaited: the acknowledgement at once, then `polls`
// busy bytes `pollIntervalMs` apart, then the final answer `delayMs` later.
struct ReportTiming {
    int delayMs = 200;
    int polls = 0;
    int pollIntervalMs = 100;
};

// Replaces a command's answer: its fields, and optionally its code. For a
// report command the override is the only answer (no acknowledgement, no wait).
struct AnswerOverride {
    std::optional<uint16_t> code;
    std::vector<Field> fields;
};

struct DbPair {
    int size = 0;
    int programmed = 0;
};

struct Scenario {
    int model = 2;
    std::string registerNumber = "1";
    int operatorNumber = 0;
    int fiscalState = 0;
    DateTime fiscalisation{2020, 1, 2, 10, 0, 0};
    std::string taxNumber;
    std::string uniqueNumber;
    std::string firmware;
    std::vector<std::string> header;
    std::vector<uint16_t> vatRates;
    DateTime clock{2024, 1, 1, 12, 0, 0};
    bool totalsNonZero = false;
    std::array<DbPair, 10> dbPairs{};
    std::vector<PayForm> payForms;
    ReportTiming reports;
    std::map<uint16_t, AnswerOverride> overrides;
    // Put on the line after every answer frame, as noise on a cable would.
    std::string lineNoise;
    GoodsBase goods;
    // What was programmed into the register (GROUPINS, MUINS, USERINS), by
    // number: the fields of the last request.
    std::map<int, std::vector<Field>> groups, units, cashiers;
    SalesState sales;
    // The next group and unit number GROUPREAD and MUREAD answer from.
    int groupCursor = 0, unitCursor = 0;

    // The order of the ten database pairs, as the scenario names them.
    static const std::array<const char*, 10> kDbNames;
};

constexpr uint16_t kVatExempt = 0xFFFE;
constexpr uint16_t kVatUnused = 0xFFFF;

// Throw std::runtime_error with a message that names the faulty entry.
Scenario ScenarioFromJson(const nlohmann::json& doc);
// The scenario's "groups" and "units" (commands_lists.cpp).
void MasterListsFromJson(const nlohmann::json& doc, Scenario& s);
Scenario LoadScenario(const std::string& path);

// Reads a whole JSON file; throws std::runtime_error naming the file.
nlohmann::json ReadJsonFile(const std::string& path);

}  // namespace regsim
