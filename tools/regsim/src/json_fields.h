// Typed fields as JSON, the same way in the journal, the scenario's answer
// overrides and the fault plan: ["B",1], ["V",65534], ["L",7], ["N",-5],
// ["S","tekst"] (UTF-8 in JSON, cp1250 on the wire) and, for answers only,
// ["raw","53 61 62"]: bytes sent verbatim as one field.
#pragma once

#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>
#include <string>

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

// Bytes written as hex digits, "53 61" or "0x53 0x61"; throws
// std::runtime_error beginning with what.
std::string BytesFromHex(const std::string& hex, const std::string& what);

// Reading a scenario: every refusal names the key it is about.
std::runtime_error Bad(const std::string& key, const std::string& what);
// A whole number within low..high.
int64_t WholeIn(const nlohmann::json& v, int64_t low, int64_t high, const std::string& key);
// An object with no keys but the known ones; key is empty for the document
// itself.
void CheckKeys(const nlohmann::json& object, const std::set<std::string>& known, const std::string& key);
// Calls take(entry, "key[i]") for each entry of the list under key, when the
// document has one; anything but a list is refused.
template <typename Take>
void ForEachEntry(const nlohmann::json& doc, const char* key, Take take)
{
    if (!doc.contains(key)) return;
    const nlohmann::json& list = doc[key];
    if (!list.is_array()) throw Bad(key, "a list is expected");
    for (size_t i = 0; i < list.size(); ++i) take(list[i], std::string(key) + "[" + std::to_string(i) + "]");
}

}  // namespace regsim
