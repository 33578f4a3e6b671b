#include "json_fields.h"

#include <stdexcept>

#include "charset.h"

namespace regsim {

using nlohmann::json;

json FieldToJson(const Field& field)
{
    switch (field.type) {
        case 'S':
            return json::array({"S", Cp1250ToUtf8(field.text)});
        case 'R':
            return json::array({"raw", HexBytes(field.text)});
        default:
            return json::array({std::string(1, field.type), field.number});
    }
}

json FieldsToJson(const std::vector<Field>& fields)
{
    json out = json::array();
    for (const Field& f : fields) out.push_back(FieldToJson(f));
    return out;
}

std::string TextFromJson(const json& value, const char* what)
{
    if (!value.is_string()) throw std::runtime_error(std::string(what) + ": a text is expected");
    auto text = Utf8ToCp1250(value.get<std::string>());
    if (!text) throw std::runtime_error(std::string(what) + ": a character has no code page 1250 byte");
    return *text;
}

std::string BytesFromHex(const std::string& hex, const std::string& what)
{
    std::string out;
    int pending = -1;
    for (char c : hex) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if (c == ' ' || c == 'x' || c == 'X') {
            // "0x53 0x61" and "53 61" read alike: a lone "0" before an x is a prefix
            if ((c == 'x' || c == 'X') && pending == 0)
                pending = -1;
            else if (pending >= 0)
                throw std::runtime_error(what + ": odd number of hex digits in \"" + hex + "\"");
            continue;
        } else {
            throw std::runtime_error(what + ": \"" + hex + "\" is not hex bytes");
        }
        if (pending < 0) {
            pending = v;
        } else {
            out.push_back(static_cast<char>(pending * 16 + v));
            pending = -1;
        }
    }
    if (pending >= 0) throw std::runtime_error(what + ": odd number of hex digits in \"" + hex + "\"");
    return out;
}

namespace {

int64_t NumberInRange(const json& value, int64_t low, int64_t high, const std::string& what)
{
    if (!value.is_number_integer()) throw std::runtime_error(what + ": a whole number is expected");
    const int64_t v = value.get<int64_t>();
    if (v < low || v > high)
        throw std::runtime_error(what + ": " + std::to_string(v) + " is outside " + std::to_string(low) + ".." +
                                 std::to_string(high));
    return v;
}

}  // namespace

Field FieldFromJson(const json& value)
{
    if (!value.is_array() || value.size() != 2 || !value[0].is_string())
        throw std::runtime_error("a field is written [\"B\", 1]: type letter and value, got " + value.dump());
    const std::string type = value[0].get<std::string>();
    const json& v = value[1];
    if (type == "B") return Field::B(static_cast<uint8_t>(NumberInRange(v, 0, 0xFF, "B field")));
    if (type == "V") return Field::V(static_cast<uint16_t>(NumberInRange(v, 0, 0xFFFF, "V field")));
    if (type == "L") return Field::L(static_cast<uint32_t>(NumberInRange(v, 0, 0xFFFFFFFFLL, "L field")));
    if (type == "N") return Field::N(NumberInRange(v, -(kBcdModulus / 2), kBcdModulus / 2 - 1, "N field"));
    if (type == "S") return Field::S(TextFromJson(v, "S field"));
    if (type == "raw") {
        if (!v.is_string()) throw std::runtime_error("raw field: hex bytes in a text are expected");
        return Field::Raw(BytesFromHex(v.get<std::string>(), "raw field"));
    }
    throw std::runtime_error("unknown field type \"" + type + "\" (B, V, L, N, S or raw)");
}

std::vector<Field> FieldsFromJson(const json& value)
{
    if (!value.is_array()) throw std::runtime_error("a list of fields is expected");
    std::vector<Field> out;
    for (const json& f : value) out.push_back(FieldFromJson(f));
    return out;
}

std::runtime_error Bad(const std::string& key, const std::string& what)
{
    return std::runtime_error("\"" + key + "\": " + what);
}

int64_t WholeIn(const json& v, int64_t low, int64_t high, const std::string& key)
{
    if (!v.is_number_integer()) throw Bad(key, "a whole number is expected, got " + v.dump());
    const int64_t n = v.get<int64_t>();
    if (n < low || n > high)
        throw Bad(key, std::to_string(n) + " is outside " + std::to_string(low) + ".." + std::to_string(high));
    return n;
}

void CheckKeys(const json& object, const std::set<std::string>& known, const std::string& key)
{
    if (!object.is_object()) throw Bad(key, "an object is expected");
    for (const auto& [name, value] : object.items())
        if (!known.count(name)) throw Bad(key.empty() ? name : key + "." + name, "unknown key");
}

}  // namespace regsim
