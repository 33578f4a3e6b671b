// What the register sold: the goods and package statistics, the receipt
// buffer, the cashiers' state and the discount-card pattern; and their
// scenario keys.
#include <charconv>
#include <stdexcept>

#include "command_handlers.h"
#include "json_fields.h"

namespace regsim {

namespace {

using json = nlohmann::json;

constexpr int kNoMoreRecords = 801;
constexpr int kNoMoreInContext = 975;

constexpr int64_t kPacked = 999999999999;  // twelve digits

// Reads the keys of one list entry: each a whole number within its range,
// missing ones keep their default.
class Entry {
public:
    Entry(const json& v, std::string key, const std::set<std::string>& known) : v_(v), key_(std::move(key))
    {
        CheckKeys(v, known, key_);
    }
    template <typename T>
    void Get(const char* name, T& to, int64_t low, int64_t high) const
    {
        if (v_.contains(name)) to = static_cast<T>(WholeIn(v_[name], low, high, key_ + "." + name));
    }
    void Amount(const char* name, int64_t& to) const { Get(name, to, -kPacked, kPacked); }
    const json& operator[](const char* name) const { return v_[name]; }
    bool Has(const char* name) const { return v_.contains(name); }
    std::string Key(const char* name) const { return key_ + "." + name; }

private:
    const json& v_;
    std::string key_;
};

PluStat PluStatFrom(const json& v, const std::string& key)
{
    const Entry e(v, key, {"number", "value", "quantity", "stock", "lastSale"});
    PluStat p;
    e.Get("number", p.number, 0, 0xFFFF);
    e.Amount("value", p.value);
    e.Amount("quantity", p.quantity);
    e.Amount("stock", p.stock);
    if (e.Has("lastSale")) {
        const json& d = e["lastSale"];
        const std::string text = d.is_string() ? d.get<std::string>() : "";
        int* parts[] = {&p.year, &p.month, &p.day};
        const char* c = text.data();
        const char* end = c + text.size();
        for (int i = 0; i < 3; ++i) {
            auto [next, ec] = std::from_chars(c, end, *parts[i]);
            if (ec != std::errc() || (i < 2 ? next >= end || *next != '-' : next != end))
                throw Bad(e.Key("lastSale"), "a text \"YYYY-MM-DD\" is expected");
            c = next + 1;
        }
    }
    return p;
}

PackStat PackStatFrom(const json& v, const std::string& key)
{
    const Entry e(v, key, {"number", "soldQuantity", "returnedQuantity", "soldValue", "returnedValue", "stock"});
    PackStat p;
    e.Get("number", p.number, 0, 0xFFFF);
    e.Amount("soldQuantity", p.soldQuantity);
    e.Amount("returnedQuantity", p.returnedQuantity);
    e.Amount("soldValue", p.soldValue);
    e.Amount("returnedValue", p.returnedValue);
    e.Amount("stock", p.stock);
    return p;
}

SaleRecord RecordFrom(const json& v, const std::string& key)
{
    const Entry e(v, key, {"type", "fields", "bufferFull"});
    SaleRecord r;
    if (!e.Has("type")) throw Bad(e.Key("type"), "is missing");
    e.Get("type", r.type, 0, 0xFFFF);
    if (e.Has("fields")) {
        try {
            r.fields = FieldsFromJson(e["fields"]);
        } catch (const std::runtime_error& error) {
            throw Bad(e.Key("fields"), error.what());
        }
    }
    if (e.Has("bufferFull")) {
        if (!e["bufferFull"].is_boolean()) throw Bad(e.Key("bufferFull"), "true or false is expected");
        r.bufferFull = e["bufferFull"].get<bool>();
    }
    return r;
}

Cashier CashierFrom(const json& v, const std::string& key)
{
    const Entry e(v, key,
                  {"number", "name", "discounts", "surcharges", "loginSeconds", "packagesSold", "packagesReturned",
                   "payIns", "payOuts", "sales", "receipts", "cancelledReceipts", "cancelledReceiptsValue",
                   "cancelledLines", "cancelledLinesValue", "drawer"});
    Cashier c;
    if (!e.Has("number")) throw Bad(e.Key("number"), "is missing");
    e.Get("number", c.number, 1, 0xFFFF);
    if (e.Has("name")) c.name = TextFromJson(e["name"], e.Key("name").c_str());
    e.Amount("discounts", c.discounts);
    e.Amount("surcharges", c.surcharges);
    e.Get("loginSeconds", c.loginSeconds, 0, 0xFFFFFFFF);
    e.Amount("packagesSold", c.packagesSold);
    e.Amount("packagesReturned", c.packagesReturned);
    e.Amount("payIns", c.payIns);
    e.Amount("payOuts", c.payOuts);
    e.Amount("sales", c.sales);
    e.Get("receipts", c.receipts, 0, 0xFFFFFFFF);
    e.Get("cancelledReceipts", c.cancelledReceipts, 0, 0xFFFFFFFF);
    e.Amount("cancelledReceiptsValue", c.cancelledReceiptsValue);
    e.Get("cancelledLines", c.cancelledLines, 0, 0xFFFFFFFF);
    e.Amount("cancelledLinesValue", c.cancelledLinesValue);
    if (e.Has("drawer")) {
        const json& d = e["drawer"];
        if (!d.is_array() || d.size() > 20) throw Bad(e.Key("drawer"), "a list of at most 20 pairs is expected");
        for (size_t i = 0; i < d.size(); ++i) {
            const std::string k = e.Key("drawer") + "[" + std::to_string(i) + "]";
            if (!d[i].is_array() || d[i].size() != 2) throw Bad(k, "a pair [payment form, amount] is expected");
            c.drawer.emplace_back(static_cast<int>(WholeIn(d[i][0], 0, 0xFFFF, k)),
                                  WholeIn(d[i][1], -kPacked, kPacked, k));
        }
    }
    return c;
}

}  // namespace

const std::set<std::string>& SalesKeys()
{
    static const std::set<std::string> keys = {"pluStats", "packStats", "receiptRecords", "cashiers", "cardPattern"};
    return keys;
}

void SalesFromJson(const json& doc, SalesState& s)
{
    ForEachEntry(doc, "pluStats",
                 [&](const json& e, const std::string& key) { s.pluStats.push_back(PluStatFrom(e, key)); });
    ForEachEntry(doc, "packStats",
                 [&](const json& e, const std::string& key) { s.packStats.push_back(PackStatFrom(e, key)); });
    ForEachEntry(doc, "receiptRecords",
                 [&](const json& e, const std::string& key) { s.records.push_back(RecordFrom(e, key)); });
    ForEachEntry(doc, "cashiers",
                 [&](const json& e, const std::string& key) { s.cashiers.push_back(CashierFrom(e, key)); });
    if (doc.contains("cardPattern")) s.cardPattern = TextFromJson(doc["cardPattern"], "cardPattern");
}

namespace handlers {

// V 0, B 1: the next record of the context.
Reply PluStatRead(Scenario& s, const std::vector<Field>&)
{
    if (s.sales.pluCursor >= s.sales.pluStats.size()) return Reply::Error(kNoMoreInContext);
    const PluStat& p = s.sales.pluStats[s.sales.pluCursor++];
    return Reply::Ok({Field::V(static_cast<uint16_t>(p.number)), Field::N(p.value), Field::N(p.quantity),
                      Field::N(p.stock), Field::B(static_cast<uint8_t>(p.day)), Field::B(static_cast<uint8_t>(p.month)),
                      Field::V(static_cast<uint16_t>(p.year))});
}

Reply PackStatRead(Scenario& s, const std::vector<Field>&)
{
    if (s.sales.packCursor >= s.sales.packStats.size()) return Reply::Error(kNoMoreInContext);
    const PackStat& p = s.sales.packStats[s.sales.packCursor++];
    return Reply::Ok({Field::V(static_cast<uint16_t>(p.number)), Field::N(p.soldQuantity), Field::N(p.returnedQuantity),
                      Field::N(p.soldValue), Field::N(p.returnedValue), Field::N(p.stock)});
}

// B 0 serves the first record not yet confirmed; B 1 confirms the record
// served last and serves the next. A record leaves the buffer only once
// confirmed, so a reader cut off is served its last record again.
Reply SaleRecGet(Scenario& s, const std::vector<Field>& request)
{
    SalesState& b = s.sales;
    if (request[0].number != 0 && b.served) ++b.confirmed;
    b.served = b.confirmed < b.records.size();
    if (!b.served) return Reply::Error(kNoMoreRecords);
    const SaleRecord& r = b.records[b.confirmed];
    std::vector<Field> f = {Field::B(r.bufferFull ? 1 : 0), Field::B(0), Field::V(static_cast<uint16_t>(r.type))};
    f.insert(f.end(), r.fields.begin(), r.fields.end());
    return Reply::Ok(std::move(f));
}

namespace {
const Cashier* FindCashier(const Scenario& s, int64_t number)
{
    for (const Cashier& c : s.sales.cashiers)
        if (c.number == number) return &c;
    return nullptr;
}
}  // namespace

Reply UserRead(Scenario& s, const std::vector<Field>& request)
{
    const Cashier* c = FindCashier(s, request[0].number);
    if (!c) return Reply::Error(codes::kWrongParameter);
    return Reply::Ok({Field::V(static_cast<uint16_t>(c->number)), Field::S(c->name)});
}

// Fields 4, 5 and 17 carry what the driver does not read: zeros here.
Reply UserStatRead(Scenario& s, const std::vector<Field>& request)
{
    const Cashier* c = FindCashier(s, request[0].number);
    if (!c) return Reply::Error(codes::kWrongParameter);
    std::vector<Field> f = {Field::V(static_cast<uint16_t>(c->number)),
                            Field::N(c->discounts),
                            Field::N(c->surcharges),
                            Field::L(c->loginSeconds),
                            Field::N(0),
                            Field::N(0),
                            Field::N(c->packagesSold),
                            Field::N(c->packagesReturned),
                            Field::N(c->payIns),
                            Field::N(c->payOuts),
                            Field::N(c->sales),
                            Field::L(c->receipts),
                            Field::L(c->cancelledReceipts),
                            Field::N(c->cancelledReceiptsValue),
                            Field::L(c->cancelledLines),
                            Field::N(c->cancelledLinesValue),
                            Field::B(static_cast<uint8_t>(c->drawer.size())),
                            Field::B(0)};
    for (const auto& [form, amount] : c->drawer) {
        f.push_back(Field::V(static_cast<uint16_t>(form)));
        f.push_back(Field::N(amount));
    }
    return Reply::Ok(std::move(f));
}

// The pattern is field 3; the fields before it are zeros here.
Reply DiscntCardCfgGetEx(Scenario& s, const std::vector<Field>&)
{
    return Reply::Ok({Field::B(0), Field::B(0), Field::B(0), Field::S(s.sales.cardPattern)});
}

}  // namespace handlers

}  // namespace regsim
