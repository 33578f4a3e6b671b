#include "fault_plan.h"

#include <charconv>
#include <stdexcept>

#include "scenario.h"

namespace regsim {

using nlohmann::json;

namespace {

struct KindName {
    FaultKind kind;
    const char* name;
};
constexpr KindName kKinds[] = {
    {FaultKind::kLostAnswer, "lostAnswer"},
    {FaultKind::kLateAnswer, "lateAnswer"},
    {FaultKind::kBadCrc, "badCrc"},
    {FaultKind::kWrongToken, "wrongToken"},
    {FaultKind::kTransmissionError, "transmissionError"},
    {FaultKind::kExecutionError, "executionError"},
    {FaultKind::kSlowReport, "slowReport"},
    {FaultKind::kUnfinishedReport, "unfinishedReport"},
    {FaultKind::kDropConnection, "dropConnection"},
    {FaultKind::kDropConnectionDone, "dropConnectionDone"},
    {FaultKind::kHold, "hold"},
    {FaultKind::kHoldDone, "holdDone"},
};

// "CRC error" of the register's transmission class.
constexpr int kDefaultTransmissionCode = 3006;

int ParseKey(const std::string& key, int low, int high, const std::string& where)
{
    int value = 0;
    auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), value);
    if (ec != std::errc() || end != key.data() + key.size() || value < low || value > high)
        throw std::runtime_error(where + ": \"" + key + "\" must be a number from " + std::to_string(low) + " to " +
                                 std::to_string(high));
    return value;
}

int IntIn(const json& v, int low, int high, const std::string& where)
{
    if (!v.is_number_integer() || v.get<int64_t>() < low || v.get<int64_t>() > high)
        throw std::runtime_error(where + ": a whole number from " + std::to_string(low) + " to " +
                                 std::to_string(high) + " is expected, got " + v.dump());
    return static_cast<int>(v.get<int64_t>());
}

Fault FaultFrom(const json& v, const std::string& where)
{
    const json entry = v.is_string() ? json{{"kind", v}} : v;
    if (!entry.is_object() || !entry.contains("kind") || !entry["kind"].is_string())
        throw std::runtime_error(where + ": a fault kind or an object with \"kind\" is expected");
    for (const auto& [key, value] : entry.items())
        if (key != "kind" && key != "code" && key != "polls" && key != "pollIntervalMs" && key != "delayMs")
            throw std::runtime_error(where + "." + key + ": unknown key");
    Fault f;
    const std::string kind = entry["kind"].get<std::string>();
    bool known = false;
    for (const KindName& k : kKinds)
        if (kind == k.name) {
            f.kind = k.kind;
            known = true;
        }
    if (!known) throw std::runtime_error(where + ": unknown fault kind \"" + kind + "\"");
    if (f.kind == FaultKind::kTransmissionError)
        f.code = IntIn(entry.value("code", json(kDefaultTransmissionCode)), 1, 0xFFFF, where + ".code");
    if (f.kind == FaultKind::kExecutionError) {
        if (!entry.contains("code")) throw std::runtime_error(where + ": an execution error needs its \"code\"");
        f.code = IntIn(entry["code"], 1, 0xFFFF, where + ".code");
    }
    if (f.kind == FaultKind::kLateAnswer && !entry.contains("delayMs"))
        throw std::runtime_error(where + ": a late answer needs its \"delayMs\"");
    if (f.kind == FaultKind::kSlowReport) f.polls = IntIn(entry.value("polls", json(1)), 0, 100000, where + ".polls");
    if (entry.contains("pollIntervalMs"))
        f.pollIntervalMs = IntIn(entry["pollIntervalMs"], 0, 3600000, where + ".pollIntervalMs");
    if (entry.contains("delayMs")) f.delayMs = IntIn(entry["delayMs"], 0, 3600000, where + ".delayMs");
    return f;
}

}  // namespace

const char* FaultKindName(FaultKind kind)
{
    for (const KindName& k : kKinds)
        if (k.kind == kind) return k.name;
    return "?";
}

FaultPlan FaultPlan::FromJson(const json& doc)
{
    if (!doc.is_object()) throw std::runtime_error("the fault plan is an object keyed by command code");
    FaultPlan plan;
    for (const auto& [cmdKey, byOccurrence] : doc.items()) {
        const int cmd = cmdKey == "any" ? kAnyCommand : ParseKey(cmdKey, 1, 0xFFFF, "command");
        if (!byOccurrence.is_object())
            throw std::runtime_error(cmdKey + ": an object keyed by occurrence number is expected");
        for (const auto& [occKey, entry] : byOccurrence.items()) {
            const int occurrence = ParseKey(occKey, 1, 1000000, cmdKey + ": occurrence");
            plan.Add(static_cast<uint16_t>(cmd), occurrence, FaultFrom(entry, cmdKey + "." + occKey));
        }
    }
    return plan;
}

FaultPlan FaultPlan::Load(const std::string& path)
{
    const json doc = ReadJsonFile(path);
    try {
        return FromJson(doc);
    } catch (const std::exception& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
}

std::optional<Fault> FaultPlan::Find(uint16_t command, int occurrence, int position) const
{
    auto it = faults_.find({command, occurrence});
    if (it == faults_.end()) it = faults_.find({kAnyCommand, position});
    if (it == faults_.end()) return std::nullopt;
    return it->second;
}

}  // namespace regsim
