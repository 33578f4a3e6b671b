// The simulated register: takes one decoded frame, journals it, checks it
// against the command table, applies the fault plan, executes the command on
// its state and says which bytes go back on the link and when.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "command_table.h"
#include "fault_plan.h"
#include "journal.h"
#include "scenario.h"

namespace regsim {

// Sent while a report is being printed: a byte that cannot start a frame, so
// that the waiting side counts one empty try.
constexpr uint8_t kBusyByte = 0x06;

struct Output {
    uint32_t atMs = 0;      // after the request arrived
    std::string bytes;      // as they go on the wire
    uint32_t repeatMs = 0;  // not 0: sent again every repeatMs until the link closes
};

struct Response {
    std::vector<Output> outputs;  // in the order of `atMs`
    bool dropLink = false;
    // Nothing more is answered on this link until it closes.
    bool holdLink = false;
};

class CashRegister {
public:
    // Throws std::runtime_error when the plan puts a report fault on a command
    // that is no report.
    CashRegister(Scenario scenario, FaultPlan faults, Journal& journal);

    // One plain frame (STX to ETX) taken off the link at `nowMs`.
    Response OnFrame(std::string_view plain, uint64_t nowMs);
    // A report still running is abandoned with the link.
    void OnLinkClosed() { busyUntilMs_ = 0; }

    const Scenario& State() const { return state_; }

private:
    struct Planned {
        enum Kind { kFrame, kBusyByte, kHoldForever } kind = kFrame;
        uint32_t atMs = 0;
        Frame frame;
        uint32_t repeatMs = 0;
    };
    using Plan = std::vector<Planned>;

    static Planned Answer(const Frame& request, uint16_t code, std::vector<Field> fields, uint32_t atMs = 0);
    static Planned ErrorAnswer(const Frame& request, int transmissionCode, int executionCode);
    Plan Execute(const CommandInfo& info, const Frame& request, const std::optional<Fault>& fault, std::string& kind);
    Plan Report(const CommandInfo& info, const Frame& request, std::vector<Field> fields,
                const std::optional<Fault>& fault, std::string& kind);
    Response Finish(Plan plan, const std::optional<Fault>& fault, uint64_t nowMs);

    Scenario state_;
    FaultPlan faults_;
    Journal& journal_;
    std::map<uint16_t, int> occurrences_;
    int frames_ = 0;  // every frame with a readable header, for faults keyed by position
    uint64_t busyUntilMs_ = 0;

    // The last executed command, answered again to a repeated sending.
    struct {
        bool valid = false;
        uint32_t token = 0;
        uint16_t code = 0;
        Plan plan;
    } cache_;
};

}  // namespace regsim
