// Receipt records of a register's buffer as a simulator scenario lists them:
// each a type and its fields, every field a type letter and its value.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "hostlib.h"

namespace testutil::records {

using nlohmann::json;

inline json F(const char* type, json value) { return json::array({type, std::move(value)}); }
inline json B(int v) { return F("B", v); }
inline json V(int v) { return F("V", v); }
inline json L(int v) { return F("L", v); }
inline json N(long long v) { return F("N", v); }
// Texts are code page 1250 in the tests' sources; the simulator reads UTF-8.
inline json S(const std::string& v) { return F("S", Cp1250ToUtf8(v)); }
inline json Rec(int type, std::vector<json> fields) { return {{"type", type}, {"fields", std::move(fields)}}; }

// A goods line: sold (type 10) or cancelled (13).
inline json Plu(int type, int plu, const char* name, int quantity, int value, const char* barcode = "")
{
    return Rec(type, {B(1), V(plu), S(barcode), S(name), N(quantity), N(value)});
}

}  // namespace testutil::records
