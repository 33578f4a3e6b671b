// Faults injected on purpose, keyed by command code and by the occurrence of
// that command (1 = the first frame of that code the register receives,
// repeated sendings counted too), or under "any" by the frame's position in
// the whole run, whatever its command. Format in tools/regsim/README.md.
#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>

namespace regsim {

enum class FaultKind {
    kLostAnswer,         // executed, but no answer goes out
    kLateAnswer,         // executed, the answer goes out `delayMs` late
    kBadCrc,             // executed, the answer's checksum is wrong
    kWrongToken,         // executed, the answer carries another token
    kTransmissionError,  // not executed; error answer with a transmission code
    kExecutionError,     // error answer with an execution code
    kSlowReport,         // report: `polls` busy bytes before the final answer
    kUnfinishedReport,   // report: acknowledged, never finished
    kDropConnection,     // not executed; the link is closed / the pty hung up
    kDropConnectionDone, // executed, then the link is closed without an answer
    kHold,               // not executed; nothing more is answered until the link closes
    kHoldDone,           // executed, then nothing more is answered until the link closes
};

struct Fault {
    FaultKind kind = FaultKind::kLostAnswer;
    int code = 0;   // transmission or execution code
    int polls = 0;  // slow report
    // Slow and unfinished report; unset = the scenario's. An unfinished report
    // with 0 stays silent after its acknowledgement.
    std::optional<int> pollIntervalMs;
    // Slow report: final answer after the last poll; late answer: how late.
    std::optional<int> delayMs;
};

const char* FaultKindName(FaultKind kind);

class FaultPlan {
public:
    // Throw std::runtime_error naming the faulty entry.
    static FaultPlan FromJson(const nlohmann::json& doc);
    static FaultPlan Load(const std::string& path);

    // The command code under which a fault keyed by position is kept.
    static constexpr uint16_t kAnyCommand = 0;

    void Add(uint16_t command, int occurrence, const Fault& fault) { faults_[{command, occurrence}] = fault; }
    // The fault of that occurrence of the command, else the fault of that
    // position in the run.
    std::optional<Fault> Find(uint16_t command, int occurrence, int position) const;
    bool Empty() const { return faults_.empty(); }
    const std::map<std::pair<uint16_t, int>, Fault>& All() const { return faults_; }

private:
    std::map<std::pair<uint16_t, int>, Fault> faults_;
};

}  // namespace regsim
