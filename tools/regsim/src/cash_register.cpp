#include "cash_register.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "json_fields.h"

namespace regsim {

namespace {

bool IsReportFault(FaultKind k)
{
    return k == FaultKind::kSlowReport || k == FaultKind::kUnfinishedReport;
}

std::string Layout(const std::string& letters)
{
    return letters.empty() ? "no fields" : letters;
}

// The transmission code for a request whose fields do not match the command,
// with the violation text; 0 when they match.
int CheckLayout(const CommandInfo& info, const std::vector<Field>& fields, std::string& violation)
{
    const std::string got = FieldLetters(fields);
    const std::string want = info.request;
    if (got == want) return 0;
    violation = std::string(info.name) + " takes " + Layout(want) + ", the request has " + Layout(got);
    if (got.size() > want.size()) return codes::kTooManyParameters;
    if (got.size() < want.size()) return codes::kTooFewParameters;
    return codes::kWrongParameter;
}

}  // namespace

CashRegister::CashRegister(Scenario scenario, FaultPlan faults, Journal& journal)
    : state_(std::move(scenario)), faults_(std::move(faults)), journal_(journal)
{
    for (const auto& [key, fault] : faults_.All()) {
        const CommandInfo* info = FindCommand(key.first);
        if (IsReportFault(fault.kind) && key.first != FaultPlan::kAnyCommand && (!info || info->kind != CommandKind::kReport))
            throw std::runtime_error(std::string("fault plan: ") + FaultKindName(fault.kind) + " on command " +
                                     std::to_string(key.first) + ", which is no report command");
    }
}

CashRegister::Planned CashRegister::Answer(const Frame& request, uint16_t code, std::vector<Field> fields,
                                           uint32_t atMs)
{
    Planned p;
    p.atMs = atMs;
    p.frame.token = request.token;
    p.frame.code = code;
    p.frame.fields = std::move(fields);
    return p;
}

// The first field names the command that failed; the driver reads only the
// second (transmission class) and third (execution class).
CashRegister::Planned CashRegister::ErrorAnswer(const Frame& request, int transmissionCode, int executionCode)
{
    return Answer(request, kErrorAnswer,
                  {Field::V(request.code), Field::V(static_cast<uint16_t>(transmissionCode)),
                   Field::V(static_cast<uint16_t>(executionCode))});
}

Response CashRegister::OnFrame(std::string_view plain, uint64_t nowMs)
{
    const ParsedFrame parsed = ParseFrame(plain);
    if (!parsed.headerRead) {
        journal_.Event("garbled", HexBytes(plain), parsed.error);
        return {};
    }
    const Frame& request = parsed.frame;
    const CommandInfo* info = FindCommand(request.code);
    const int occurrence = ++occurrences_[request.code];
    const std::optional<Fault> fault = faults_.Find(request.code, occurrence, ++frames_);
    const bool retry = (request.flags & kRetryFlag) != 0;

    std::string violation = parsed.error;
    int transmissionError = 0;
    if (!parsed.checksumOk) {
        transmissionError = codes::kBadCrc;
    } else if (!parsed.error.empty()) {
        transmissionError = codes::kBadFrameLength;
    } else if (!info || !info->handler) {
        violation = std::string("command ") + std::to_string(request.code) + " (" + CommandName(request.code) +
                    ") is not served by the simulator";
        transmissionError = codes::kUnknownCommand;
    } else {
        transmissionError = CheckLayout(*info, request.fields, violation);
    }

    // A frame the register cannot take, or takes while busy, meets no fault.
    std::optional<Fault> applied = fault;
    if (transmissionError || nowMs < busyUntilMs_) applied.reset();

    std::string kind;
    Plan plan;
    const std::optional<FaultKind> cut = applied ? std::optional(applied->kind) : std::nullopt;
    const bool drop = cut == FaultKind::kDropConnection || cut == FaultKind::kDropConnectionDone;
    const bool hold = cut == FaultKind::kHold || cut == FaultKind::kHoldDone;
    const bool cutBeforeDoing = cut == FaultKind::kDropConnection || cut == FaultKind::kHold;
    if (transmissionError) {
        plan = {ErrorAnswer(request, transmissionError, 0)};
        kind = "transmissionError";
    } else if (cutBeforeDoing) {
        kind = FaultKindName(applied->kind);
    } else if (nowMs < busyUntilMs_) {
        plan = {ErrorAnswer(request, codes::kBusyWithReport, 0)};
        kind = "busy";
    } else if (applied && applied->kind == FaultKind::kTransmissionError) {
        plan = {ErrorAnswer(request, applied->code, 0)};
        kind = "transmissionError";
    } else if (retry && cache_.valid && cache_.token == request.token && cache_.code == request.code) {
        plan = cache_.plan;
        kind = "cached";
    } else {
        plan = Execute(*info, request, applied, kind);
        cache_.valid = true;
        cache_.token = request.token;
        cache_.code = request.code;
        cache_.plan = plan;
    }

    if ((drop || hold) && !cutBeforeDoing && kind != "cached") kind = FaultKindName(applied->kind);

    nlohmann::json line = {
        {"cmd", request.code}, {"name", CommandName(request.code)}, {"token", request.token},
        {"retry", retry},      {"occurrence", occurrence},          {"fields", FieldsToJson(request.fields)},
        {"answer", kind}};
    line["fault"] = applied ? nlohmann::json(FaultKindName(applied->kind)) : nlohmann::json(nullptr);
    line["violation"] = violation.empty() ? nlohmann::json(nullptr) : nlohmann::json(violation);
    journal_.Write(std::move(line));

    // The link is cut with the request done or not: no answer ever comes.
    if (drop || hold) {
        if (hold) journal_.Event("hold", std::to_string(request.code));
        busyUntilMs_ = 0;
        Response cutOff;
        cutOff.dropLink = drop;
        cutOff.holdLink = hold;
        return cutOff;
    }
    return Finish(std::move(plan), applied, nowMs);
}

CashRegister::Plan CashRegister::Execute(const CommandInfo& info, const Frame& request,
                                         const std::optional<Fault>& fault, std::string& kind)
{
    if (fault && fault->kind == FaultKind::kExecutionError) {
        kind = "executionError";
        return {ErrorAnswer(request, 0, fault->code)};
    }
    if (auto it = state_.overrides.find(request.code); it != state_.overrides.end()) {
        kind = "override";
        return {Answer(request, it->second.code.value_or(request.code), it->second.fields)};
    }
    Reply reply = info.handler(state_, request.fields);
    if (reply.executionError) {
        kind = "executionError";
        return {ErrorAnswer(request, 0, reply.executionError)};
    }
    if (info.kind == CommandKind::kReport) return Report(info, request, std::move(reply.fields), fault, kind);
    kind = "answer";
    return {Answer(request, request.code, std::move(reply.fields))};
}

CashRegister::Plan CashRegister::Report(const CommandInfo& info, const Frame& request, std::vector<Field> fields,
                                        const std::optional<Fault>& fault, std::string& kind)
{
    const ReportTiming& timing = state_.reports;
    Plan plan = {Answer(request, kReportAcknowledged, {})};
    uint32_t interval =
        static_cast<uint32_t>(fault && fault->pollIntervalMs ? *fault->pollIntervalMs : timing.pollIntervalMs);
    if (fault && fault->kind == FaultKind::kUnfinishedReport) {
        kind = "unfinishedReport";
        Planned hold;
        hold.kind = interval ? Planned::kBusyByte : Planned::kHoldForever;
        hold.atMs = interval;
        hold.repeatMs = interval;
        plan.push_back(hold);
        return plan;
    }
    int polls = timing.polls;
    uint32_t delay = static_cast<uint32_t>(timing.delayMs);
    if (fault && fault->kind == FaultKind::kSlowReport) {
        polls = fault->polls;
        if (fault->delayMs) delay = static_cast<uint32_t>(*fault->delayMs);
    }
    auto at = [](uint64_t ms) { return static_cast<uint32_t>(std::min<uint64_t>(ms, UINT32_MAX)); };
    for (int i = 1; i <= polls; ++i) {
        Planned busy;
        busy.kind = Planned::kBusyByte;
        busy.atMs = at(uint64_t{interval} * static_cast<uint64_t>(i));
        plan.push_back(busy);
    }
    plan.push_back(
        Answer(request, info.code, std::move(fields), at(uint64_t{interval} * static_cast<uint64_t>(polls) + delay)));
    kind = "report";
    return plan;
}

Response CashRegister::Finish(Plan plan, const std::optional<Fault>& fault, uint64_t nowMs)
{
    const std::optional<FaultKind> transport = fault ? std::optional(fault->kind) : std::nullopt;
    if (transport == FaultKind::kLostAnswer) plan.clear();

    // A late answer is held back on the wire only: the register has done its
    // work and takes the next frame at once.
    const uint32_t lateMs =
        transport == FaultKind::kLateAnswer ? static_cast<uint32_t>(fault->delayMs.value_or(0)) : 0;

    Response response;
    uint64_t busyUntil = 0;
    for (Planned& p : plan) {
        if (p.kind == Planned::kHoldForever || p.repeatMs) busyUntil = std::numeric_limits<uint64_t>::max();
        if (busyUntil != std::numeric_limits<uint64_t>::max()) busyUntil = std::max(busyUntil, nowMs + p.atMs);
        if (p.kind == Planned::kHoldForever) continue;
        Output out;
        out.atMs = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{p.atMs} + lateMs, UINT32_MAX));
        out.repeatMs = p.repeatMs;
        if (p.kind == Planned::kBusyByte) {
            out.bytes.assign(1, static_cast<char>(kBusyByte));
        } else {
            if (transport == FaultKind::kWrongToken) p.frame.token += 1;
            std::string frame = BuildFrame(p.frame);
            if (transport == FaultKind::kBadCrc) frame = CorruptChecksum(std::move(frame));
            out.bytes = Stuff(frame) + state_.lineNoise;
        }
        response.outputs.push_back(std::move(out));
    }
    busyUntilMs_ = busyUntil;
    return response;
}

}  // namespace regsim
