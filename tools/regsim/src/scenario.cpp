#include "scenario.h"

#include <charconv>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "charset.h"
#include "json_fields.h"

namespace regsim {

using nlohmann::json;

const std::array<const char*, 10> Scenario::kDbNames = {"packages", "keys",   "cashiers", "payForms", "discounts",
                                                        "plu",      "groups", "units",    "barcodes", "codeFormats"};

namespace {

int IntIn(const json& v, int low, int high, const std::string& key)
{
    return static_cast<int>(WholeIn(v, low, high, key));
}

bool IsLeap(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// "YYYY-MM-DD HH:MM:SS"
DateTime DateTimeFrom(const json& v, const std::string& key)
{
    if (!v.is_string()) throw Bad(key, "a text \"YYYY-MM-DD HH:MM:SS\" is expected");
    const std::string s = v.get<std::string>();
    DateTime dt;
    int* parts[] = {&dt.year, &dt.month, &dt.day, &dt.hour, &dt.minute, &dt.second};
    const char seps[] = {'-', '-', ' ', ':', ':', '\0'};
    const char* p = s.data();
    const char* end = s.data() + s.size();
    for (int i = 0; i < 6; ++i) {
        auto [next, ec] = std::from_chars(p, end, *parts[i]);
        const bool sepOk = seps[i] == '\0' ? next == end : (next < end && *next == seps[i]);
        if (ec != std::errc() || !sepOk) throw Bad(key, "\"" + s + "\" is not \"YYYY-MM-DD HH:MM:SS\"");
        p = next + 1;
    }
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool dateOk = dt.year >= 1 && dt.year <= 9999 && dt.month >= 1 && dt.month <= 12 && dt.day >= 1 &&
                        dt.day <= days[dt.month - 1] + (dt.month == 2 && IsLeap(dt.year) ? 1 : 0);
    if (!dateOk || dt.hour > 23 || dt.minute > 59 || dt.second > 59)
        throw Bad(key, "\"" + s + "\" is no valid date and time");
    return dt;
}

std::string Cp1250(const char* utf8)
{
    return Utf8ToCp1250(utf8).value_or("");
}

std::vector<PayForm> DefaultPayForms()
{
    return {{1, Cp1250("Gotówka"), 0, 0, "", 1},
            {2, Cp1250("Karta płatnicza"), 2, 1, "", 1},
            {3, "Euro", 1, 1, "EUR", 43000},
            {4, "Bon", 4, 1, "", 1},
            {5, "Czek", 3, 1, "", 1},
            {6, "Inna", 6, 0, "", 1}};
}

uint16_t VatRateFrom(const json& v, const std::string& key)
{
    if (v.is_string() && v.get<std::string>() == "zw") return kVatExempt;
    if (v.is_string() && v.get<std::string>() == "-") return kVatUnused;
    return static_cast<uint16_t>(IntIn(v, 0, 0xFFFF, key));
}

PayForm PayFormFrom(const json& v, const std::string& key)
{
    CheckKeys(v, {"number", "name", "type", "flags", "shortName", "rate"}, key);
    PayForm f;
    if (!v.contains("number")) throw Bad(key + ".number", "is missing");
    f.number = IntIn(v["number"], 0, 0xFFFF, key + ".number");
    f.name = TextFromJson(v.value("name", json("")), (key + ".name").c_str());
    f.type = IntIn(v.value("type", json(0)), 0, 0xFF, key + ".type");
    f.flags = IntIn(v.value("flags", json(0)), 0, 0xFFFF, key + ".flags");
    f.shortName = TextFromJson(v.value("shortName", json("")), (key + ".shortName").c_str());
    const json rate = v.value("rate", json(1));
    if (!rate.is_number_integer()) throw Bad(key + ".rate", "a whole number is expected");
    f.rate = rate.get<int64_t>();
    return f;
}

AnswerOverride OverrideFrom(const json& v, const std::string& key)
{
    CheckKeys(v, {"code", "fields"}, key);
    AnswerOverride o;
    if (v.contains("code")) o.code = static_cast<uint16_t>(IntIn(v["code"], 0, 0xFFFF, key + ".code"));
    try {
        o.fields = FieldsFromJson(v.value("fields", json::array()));
    } catch (const std::runtime_error& e) {
        throw Bad(key + ".fields", e.what());
    }
    return o;
}

}  // namespace

Scenario ScenarioFromJson(const json& doc)
{
    std::set<std::string> keys = {"model",     "registerNumber", "operator", "fiscalState", "fiscalisation",
                                  "taxNumber", "uniqueNumber",   "firmware", "header",      "vatRates",
                                  "clock",     "totalsNonZero",  "database", "payForms",    "reports",
                                  "overrides", "goods",          "packages", "groups",      "units",
                                  "lineNoise"};
    keys.insert(SalesKeys().begin(), SalesKeys().end());
    CheckKeys(doc, keys, "");
    Scenario s;
    s.payForms = DefaultPayForms();
    if (doc.contains("model")) s.model = IntIn(doc["model"], 0, 0xFF, "model");
    if (doc.contains("registerNumber")) {
        const json& n = doc["registerNumber"];
        s.registerNumber = n.is_number_integer() ? std::to_string(n.get<int64_t>()) : TextFromJson(n, "registerNumber");
    }
    if (doc.contains("operator")) s.operatorNumber = IntIn(doc["operator"], 0, 0xFFFF, "operator");
    if (doc.contains("fiscalState")) s.fiscalState = IntIn(doc["fiscalState"], 0, 0xFF, "fiscalState");
    if (doc.contains("fiscalisation")) s.fiscalisation = DateTimeFrom(doc["fiscalisation"], "fiscalisation");
    if (doc.contains("taxNumber")) s.taxNumber = TextFromJson(doc["taxNumber"], "taxNumber");
    if (doc.contains("uniqueNumber")) s.uniqueNumber = TextFromJson(doc["uniqueNumber"], "uniqueNumber");
    if (doc.contains("firmware")) s.firmware = TextFromJson(doc["firmware"], "firmware");
    if (doc.contains("header")) {
        const json& h = doc["header"];
        if (!h.is_array() || h.size() > 0xFF) throw Bad("header", "a list of at most 255 lines is expected");
        for (size_t i = 0; i < h.size(); ++i)
            s.header.push_back(TextFromJson(h[i], ("header[" + std::to_string(i) + "]").c_str()));
    }
    ForEachEntry(doc, "vatRates",
                 [&](const json& e, const std::string& key) { s.vatRates.push_back(VatRateFrom(e, key)); });
    if (doc.contains("clock")) s.clock = DateTimeFrom(doc["clock"], "clock");
    if (doc.contains("totalsNonZero")) {
        if (!doc["totalsNonZero"].is_boolean()) throw Bad("totalsNonZero", "true or false is expected");
        s.totalsNonZero = doc["totalsNonZero"].get<bool>();
    }
    if (doc.contains("database")) {
        const json& db = doc["database"];
        CheckKeys(db, std::set<std::string>(Scenario::kDbNames.begin(), Scenario::kDbNames.end()), "database");
        for (size_t i = 0; i < Scenario::kDbNames.size(); ++i) {
            const std::string key = std::string("database.") + Scenario::kDbNames[i];
            if (!db.contains(Scenario::kDbNames[i])) continue;
            const json& pair = db[Scenario::kDbNames[i]];
            if (!pair.is_array() || pair.size() != 2) throw Bad(key, "a pair [size, programmed] is expected");
            s.dbPairs[i] = {IntIn(pair[0], 0, 0xFFFF, key), IntIn(pair[1], 0, 0xFFFF, key)};
        }
    }
    // The scenario's forms replace the register's own.
    if (doc.contains("payForms")) s.payForms.clear();
    ForEachEntry(doc, "payForms",
                 [&](const json& e, const std::string& key) { s.payForms.push_back(PayFormFrom(e, key)); });
    if (doc.contains("reports")) {
        const json& r = doc["reports"];
        CheckKeys(r, {"delayMs", "polls", "pollIntervalMs"}, "reports");
        s.reports.delayMs = IntIn(r.value("delayMs", json(s.reports.delayMs)), 0, 3600000, "reports.delayMs");
        s.reports.polls = IntIn(r.value("polls", json(s.reports.polls)), 0, 100000, "reports.polls");
        s.reports.pollIntervalMs =
            IntIn(r.value("pollIntervalMs", json(s.reports.pollIntervalMs)), 0, 3600000, "reports.pollIntervalMs");
    }
    if (doc.contains("overrides")) {
        const json& o = doc["overrides"];
        if (!o.is_object()) throw Bad("overrides", "an object keyed by command code is expected");
        for (const auto& [key, value] : o.items()) {
            int code = -1;
            auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), code);
            if (ec != std::errc() || end != key.data() + key.size() || code < 1 || code > 0xFFFF)
                throw Bad("overrides." + key, "the key must be a command code");
            s.overrides[static_cast<uint16_t>(code)] = OverrideFrom(value, "overrides." + key);
        }
    }
    if (doc.contains("lineNoise")) {
        const json& noise = doc["lineNoise"];
        if (!noise.is_string()) throw Bad("lineNoise", "hex bytes in a text are expected");
        try {
            s.lineNoise = BytesFromHex(noise.get<std::string>(), "hex bytes");
        } catch (const std::runtime_error& e) {
            throw Bad("lineNoise", e.what());
        }
    }
    SalesFromJson(doc, s.sales);
    GoodsBaseFromJson(doc, s.goods);
    MasterListsFromJson(doc, s);
    return s;
}

json ReadJsonFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot be opened");
    std::stringstream text;
    text << in.rdbuf();
    try {
        return json::parse(text.str());
    } catch (const json::parse_error& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
}

Scenario LoadScenario(const std::string& path)
{
    const json doc = ReadJsonFile(path);
    try {
        return ScenarioFromJson(doc);
    } catch (const std::exception& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
}

}  // namespace regsim
