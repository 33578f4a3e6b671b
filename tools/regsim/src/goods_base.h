// The register's goods base: PLU records in number order with an index of
// their barcodes, and packages by number. What the scenario seeds and the
// goods commands read and change (format of the scenario keys "goods" and
// "packages" in tools/regsim/README.md).
#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace regsim {

// One goods record, or a set when `set` is not 0. Fields as PLUREAD answers them.
struct Plu {
    uint16_t number = 0;
    std::string name;
    std::string barcode;
    int64_t minStock = 0;
    uint8_t set = 0;
    uint8_t vat = 0;
    int64_t price = 0;
    uint8_t package = 0;
    uint8_t unit = 0;
    uint8_t format = 0;
    uint8_t fixedPrice = 1;
    uint8_t discount = 0;
    uint8_t group = 1;
    uint8_t discountAllowed = 0;
    uint16_t barcodes = 1;
    // The additional barcodes, answered as fields 16 onward.
    std::vector<std::string> extraBarcodes;
    // Quantity sold since the last zeroing: a record with sales cannot be deleted.
    int64_t sales = 0;
};

struct Package {
    uint16_t number = 0;
    std::string name;
    std::string barcode;
    int64_t price = 0;
    int64_t minStock = 0;
    uint8_t fixedPrice = 1;
    int64_t sales = 0;
};

struct GoodsBase {
    std::map<uint16_t, Plu> plu;
    std::map<std::string, uint16_t> pluByBarcode;
    std::map<uint16_t, Package> packages;
    // The next number a list read answers from; the context commands reset them.
    uint32_t pluCursor = 0;
    uint32_t packageCursor = 0;

    // Execution codes of the refusals (0: done). Inserting an existing
    // number replaces the record.
    int PutPlu(const Plu& p);
    int DeletePlu(uint16_t number);
    int PutPackage(const Package& p);
    int DeletePackage(uint16_t number);
    bool AnyPluSold() const;
    bool AnyPackageSold() const;
    bool PackageLinked(uint16_t number) const;
};

// Reads the scenario's "goods" and "packages" lists (either may be missing);
// throws std::runtime_error naming the entry.
void GoodsBaseFromJson(const nlohmann::json& doc, GoodsBase& base);

}  // namespace regsim
