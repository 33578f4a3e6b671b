// The register's commands: code, name, the field letters a request must carry,
// whether it is a report, and the handler that serves it. Adding a command is
// one table entry in command_table.cpp plus a handler in a commands_*.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scenario.h"
#include "wire_codec.h"

namespace regsim {

// What a handler decided: the answer's fields, or an execution error.
struct Reply {
    std::vector<Field> fields;
    int executionError = 0;

    static Reply Ok(std::vector<Field> fields) { return {std::move(fields), 0}; }
    static Reply Error(int code) { return {{}, code}; }
};

// A handler may read and change the register's state; the request's fields
// have already been checked against the command's layout.
using Handler = Reply (*)(Scenario& state, const std::vector<Field>& request);

enum class CommandKind { kSimple, kReport };

struct CommandInfo {
    uint16_t code;
    const char* name;
    const char* request;  // field letters in order, "" for none
    CommandKind kind;
    Handler handler;  // null: known by name, not served yet
};

// Null for a code outside the table.
const CommandInfo* FindCommand(uint16_t code);
// The command's name, "???" outside the table.
const char* CommandName(uint16_t code);

// The letters of the fields, "BVS".
std::string FieldLetters(const std::vector<Field>& fields);

// Answer codes of the register.
constexpr uint16_t kErrorAnswer = 0;
constexpr uint16_t kReportAcknowledged = 1;

// Execution and transmission codes the simulator itself answers with.
namespace codes {
constexpr int kBadDateTime = 723;
constexpr int kNoSuchPayForm = 958;
constexpr int kNoMoreRecords = 975;
constexpr int kNoSuchRecord = 903;
constexpr int kBarcodeNotUnique = 920;
constexpr int kPackageLinked = 938;
constexpr int kRecordHasSales = 944;
constexpr int kBadRecordNumber = 909;
constexpr int kNameNotUnique = 910;
constexpr int kPredefinedPayForm = 942;
constexpr int kEmptyName = 945;
constexpr int kBadPayFormType = 947;
constexpr int kFiscalMode = 2033;
constexpr int kWrongParameter = 3010;
constexpr int kTooManyParameters = 3012;
constexpr int kTooFewParameters = 3013;
constexpr int kBadCrc = 3006;
constexpr int kBadFrameLength = 3007;
constexpr int kUnknownCommand = 3008;
constexpr int kBusyWithReport = 3016;
}  // namespace codes

}  // namespace regsim
