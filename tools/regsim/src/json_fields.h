// Typed fields as JSON, the same way in the journal, the scenario's answer
// overrides and the fault plan: ["B",1], ["V",65534], ["L",7], ["N",-5],
// ["S","tekst"] (UTF-8 in JSON, cp1250 on the wire) and, for answers only,
// ["raw","53 61 62"]: bytes sent verbatim as one field.
#pragma once

#include <nlohmann/json.hpp>

#include "wire_codec.h"

namespace regsim {

nlohmann::json FieldToJson(const Field& field);
nlohmann::json FieldsToJson(const std::vector<Field>& fields);
// Throws std::runtime_error naming what is wrong.
Field FieldFromJson(const nlohmann::json& value);
std::vector<Field> FieldsFromJson(const nlohmann::json& value);
// UTF-8 text of the scenario as the register's cp1250 bytes; throws when a
// character has no cp1250 byte.
std::string TextFromJson(const nlohmann::json& value, const char* what);

}  // namespace regsim
