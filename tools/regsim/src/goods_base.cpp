#include "goods_base.h"

#include <stdexcept>

#include "command_table.h"
#include "json_fields.h"

namespace regsim {

int GoodsBase::PutPlu(const Plu& p)
{
    if (p.number == 0) return codes::kBadRecordNumber;
    auto holder = pluByBarcode.find(p.barcode);
    if (!p.barcode.empty() && holder != pluByBarcode.end() && holder->second != p.number)
        return codes::kBarcodeNotUnique;
    auto old = plu.find(p.number);
    if (old != plu.end()) {
        // A record that has sold keeps its rate until its sales are zeroed.
        if (old->second.sales != 0 && old->second.vat != p.vat) return codes::kRecordHasSales;
        pluByBarcode.erase(old->second.barcode);
    }
    Plu stored = p;
    if (old != plu.end()) stored.sales = old->second.sales;
    plu[p.number] = stored;
    if (!p.barcode.empty()) pluByBarcode[p.barcode] = p.number;
    return 0;
}

int GoodsBase::DeletePlu(uint16_t number)
{
    auto it = plu.find(number);
    if (it == plu.end()) return codes::kNoSuchRecord;
    if (it->second.sales != 0) return codes::kRecordHasSales;
    pluByBarcode.erase(it->second.barcode);
    plu.erase(it);
    return 0;
}

int GoodsBase::PutPackage(const Package& p)
{
    // The goods' link to a package is one byte.
    if (p.number == 0 || p.number > 0xFF) return codes::kBadRecordNumber;
    for (const auto& [number, other] : packages)
        if (number != p.number && !p.barcode.empty() && other.barcode == p.barcode) return codes::kBarcodeNotUnique;
    auto old = packages.find(p.number);
    Package stored = p;
    if (old != packages.end()) stored.sales = old->second.sales;
    packages[p.number] = stored;
    return 0;
}

int GoodsBase::DeletePackage(uint16_t number)
{
    auto it = packages.find(number);
    if (it == packages.end()) return codes::kNoSuchRecord;
    if (PackageLinked(number)) return codes::kPackageLinked;
    if (it->second.sales != 0) return codes::kRecordHasSales;
    packages.erase(it);
    return 0;
}

bool GoodsBase::AnyPluSold() const
{
    for (const auto& [number, p] : plu)
        if (p.sales != 0) return true;
    return false;
}

bool GoodsBase::AnyPackageSold() const
{
    for (const auto& [number, p] : packages)
        if (p.sales != 0) return true;
    return false;
}

bool GoodsBase::PackageLinked(uint16_t number) const
{
    for (const auto& [n, p] : plu)
        if (p.package == number) return true;
    return false;
}

namespace {

using nlohmann::json;

int64_t Whole(const json& entry, const char* name, int64_t low, int64_t high, int64_t fallback, const std::string& key)
{
    return entry.contains(name) ? WholeIn(entry[name], low, high, key + "." + name) : fallback;
}

std::string Text(const json& entry, const char* name, const std::string& key)
{
    return entry.contains(name) ? TextFromJson(entry[name], (key + "." + name).c_str()) : std::string();
}

constexpr int64_t kNMax = 999999999999LL;

Plu PluFrom(const json& e, const std::string& key)
{
    CheckKeys(e,
              {"plu", "name", "barcode", "minStock", "set", "vat", "price", "package", "unit", "format", "fixedPrice",
               "discount", "group", "discountAllowed", "barcodes", "sales", "extraBarcodes"},
              key);
    if (!e.contains("plu")) throw Bad(key + ".plu", "is missing");
    Plu p;
    p.number = static_cast<uint16_t>(Whole(e, "plu", 1, 0xFFFF, 0, key));
    p.name = Text(e, "name", key);
    p.barcode = Text(e, "barcode", key);
    p.minStock = Whole(e, "minStock", -kNMax, kNMax, 0, key);
    p.set = static_cast<uint8_t>(Whole(e, "set", 0, 0xFF, 0, key));
    p.vat = static_cast<uint8_t>(Whole(e, "vat", 0, 0xFF, 0, key));
    p.price = Whole(e, "price", -kNMax, kNMax, 0, key);
    p.package = static_cast<uint8_t>(Whole(e, "package", 0, 0xFF, 0, key));
    p.unit = static_cast<uint8_t>(Whole(e, "unit", 0, 0xFF, 0, key));
    p.format = static_cast<uint8_t>(Whole(e, "format", 0, 0xFF, 0, key));
    p.fixedPrice = static_cast<uint8_t>(Whole(e, "fixedPrice", 0, 0xFF, 1, key));
    p.discount = static_cast<uint8_t>(Whole(e, "discount", 0, 0xFF, 0, key));
    p.group = static_cast<uint8_t>(Whole(e, "group", 0, 0xFF, 1, key));
    p.discountAllowed = static_cast<uint8_t>(Whole(e, "discountAllowed", 0, 0xFF, 0, key));
    p.barcodes = static_cast<uint16_t>(Whole(e, "barcodes", 0, 0xFFFF, 1, key));
    p.sales = Whole(e, "sales", -kNMax, kNMax, 0, key);
    for (const json& code : e.value("extraBarcodes", json::array()))
        p.extraBarcodes.push_back(TextFromJson(code, (key + ".extraBarcodes").c_str()));
    return p;
}

Package PackageFrom(const json& e, const std::string& key)
{
    CheckKeys(e, {"number", "name", "barcode", "price", "minStock", "fixedPrice", "sales"}, key);
    if (!e.contains("number")) throw Bad(key + ".number", "is missing");
    Package p;
    p.number = static_cast<uint16_t>(Whole(e, "number", 1, 0xFF, 0, key));
    p.name = Text(e, "name", key);
    p.barcode = Text(e, "barcode", key);
    p.price = Whole(e, "price", -kNMax, kNMax, 0, key);
    p.minStock = Whole(e, "minStock", -kNMax, kNMax, 0, key);
    p.fixedPrice = static_cast<uint8_t>(Whole(e, "fixedPrice", 0, 0xFF, 1, key));
    p.sales = Whole(e, "sales", -kNMax, kNMax, 0, key);
    return p;
}

}  // namespace

void GoodsBaseFromJson(const json& doc, GoodsBase& base)
{
    // Packages first: goods may name them.
    ForEachEntry(doc, "packages", [&](const json& entry, const std::string& key) {
        const Package p = PackageFrom(entry, key);
        if (base.packages.count(p.number)) throw Bad(key + ".number", "is given twice");
        if (base.PutPackage(p) != 0) throw Bad(key + ".barcode", "is given twice");
    });
    ForEachEntry(doc, "goods", [&](const json& entry, const std::string& key) {
        const Plu p = PluFrom(entry, key);
        if (base.plu.count(p.number)) throw Bad(key + ".plu", "is given twice");
        if (base.PutPlu(p) != 0) throw Bad(key + ".barcode", "is given twice");
    });
}

}  // namespace regsim
