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

// A receipt's close (type 17) on a day of March 2026, at `hour`:05.
inline json Close(int number, int hour, int printout, int total, int day = 9)
{
    return Rec(17, {L(number), B(day), B(3), V(2026), B(hour), B(5), S("0001"), S("Ala"), V(3), N(total), N(total),
                    L(printout)});
}
// A receipt's payment: taken (type 2) or change given (3).
inline json Payment(int type, int form, const char* name, int formType, int value)
{
    return Rec(type, {V(form), S(name), B(formType), N(value)});
}
// Cash paid in (type 4) or out (5).
inline json TillOperation(int type, int value)
{
    return Rec(type, {V(1), S("Gotowka"), B(0), N(value), S(""), S("0001"), S("Ala"), V(3)});
}
// An order (type 32) or its correction (33) for the goods of this code.
inline json Order(int type, const char* code, int quantity)
{
    return Rec(type, {V(9), S(code), N(quantity), S("Zamowienie")});
}

}  // namespace testutil::records
