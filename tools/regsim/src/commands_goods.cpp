// The goods base: goods and packages programmed, repriced, deleted one by
// one or all at once, their sales zeroed, and both lists read record by
// record after their context command until the end-of-list code.
#include <algorithm>

#include "command_handlers.h"

namespace regsim::handlers {

namespace {

uint16_t V(const Field& f) { return static_cast<uint16_t>(f.number); }
uint8_t B(const Field& f) { return static_cast<uint8_t>(f.number); }

std::vector<Field> PluFields(const Plu& p)
{
    if (p.set != 0)
        return {Field::V(p.number), Field::S(p.name),     Field::S(p.barcode),
                Field::N(p.minStock), Field::B(p.set),    Field::B(p.vat),
                Field::B(p.discount), Field::B(p.discountAllowed), Field::V(p.barcodes)};
    std::vector<Field> f = {Field::V(p.number),  Field::S(p.name),       Field::S(p.barcode),
                            Field::N(p.minStock), Field::B(p.set),       Field::B(p.vat),
                            Field::N(p.price),   Field::B(p.package),    Field::B(p.unit),
                            Field::B(p.format),  Field::B(p.fixedPrice), Field::B(p.discount),
                            Field::B(p.group),   Field::B(p.discountAllowed), Field::V(p.barcodes)};
    for (const std::string& code : p.extraBarcodes) f.push_back(Field::S(code));
    return f;
}

std::vector<Field> PackageFields(const Package& p)
{
    return {Field::V(p.number), Field::S(p.name),      Field::S(p.barcode),
            Field::N(p.price),  Field::N(p.minStock), Field::B(p.fixedPrice)};
}

Reply Done(int code) { return code == 0 ? Reply::Ok({}) : Reply::Error(code); }

}  // namespace

// Number, name, barcode, price, minimum stock, package, unit, discount,
// group, VAT slot, quantity format, fixed price, discount allowed, set flag,
// number of barcodes, and one byte the base keeps nothing of.
Reply PluIns(Scenario& s, const std::vector<Field>& r)
{
    Plu p;
    p.number = V(r[0]);
    p.name = r[1].text;
    p.barcode = r[2].text;
    p.price = r[3].number;
    p.minStock = r[4].number;
    p.package = B(r[5]);
    p.unit = B(r[6]);
    p.discount = B(r[7]);
    p.group = B(r[8]);
    p.vat = B(r[9]);
    p.format = B(r[10]);
    p.fixedPrice = B(r[11]);
    p.discountAllowed = B(r[12]);
    p.set = B(r[13]);
    p.barcodes = B(r[14]);
    return Done(s.goods.PutPlu(p));
}

Reply PluPriceUpdate(Scenario& s, const std::vector<Field>& r)
{
    auto it = s.goods.plu.find(V(r[0]));
    if (it == s.goods.plu.end()) return Reply::Error(codes::kNoSuchRecord);
    it->second.price = r[1].number;
    return Reply::Ok({});
}

Reply PluDel(Scenario& s, const std::vector<Field>& r) { return Done(s.goods.DeletePlu(V(r[0]))); }

Reply PluDelAll(Scenario& s, const std::vector<Field>&)
{
    if (s.goods.AnyPluSold()) return Reply::Error(codes::kRecordHasSales);
    s.goods.plu.clear();
    s.goods.pluByBarcode.clear();
    return Reply::Ok({});
}

Reply PluStatClearAll(Scenario& s, const std::vector<Field>&)
{
    for (auto& [number, p] : s.goods.plu) p.sales = 0;
    return Reply::Ok({});
}

// One context for the goods list and its sales statistics: both read from
// the start again.
Reply CntxPluInit(Scenario& s, const std::vector<Field>&)
{
    s.goods.pluCursor = 0;
    s.sales.pluCursor = 0;
    return Reply::Ok({});
}

// B 1: the record after the last one read; B 0: the record numbered by V.
Reply PluRead(Scenario& s, const std::vector<Field>& r)
{
    GoodsBase& g = s.goods;
    if (B(r[1]) == 0) {
        auto it = g.plu.find(V(r[0]));
        return it == g.plu.end() ? Reply::Error(codes::kNoSuchRecord) : Reply::Ok(PluFields(it->second));
    }
    auto it = g.plu.lower_bound(static_cast<uint16_t>(std::min<uint32_t>(g.pluCursor, 0xFFFF)));
    if (g.pluCursor > 0xFFFF || it == g.plu.end()) return Reply::Error(codes::kNoMoreRecords);
    g.pluCursor = it->first + 1u;
    return Reply::Ok(PluFields(it->second));
}

// Number, name, barcode, price, minimum stock, fixed price, and two bytes
// the base keeps nothing of.
Reply PackIns(Scenario& s, const std::vector<Field>& r)
{
    Package p;
    p.number = V(r[0]);
    p.name = r[1].text;
    p.barcode = r[2].text;
    p.price = r[3].number;
    p.minStock = r[4].number;
    p.fixedPrice = B(r[5]);
    return Done(s.goods.PutPackage(p));
}

Reply PackDel(Scenario& s, const std::vector<Field>& r) { return Done(s.goods.DeletePackage(V(r[0]))); }

Reply PackDelAll(Scenario& s, const std::vector<Field>&)
{
    for (const auto& [number, p] : s.goods.packages)
        if (s.goods.PackageLinked(number)) return Reply::Error(codes::kPackageLinked);
    if (s.goods.AnyPackageSold()) return Reply::Error(codes::kRecordHasSales);
    s.goods.packages.clear();
    return Reply::Ok({});
}

Reply PackStatClearAll(Scenario& s, const std::vector<Field>&)
{
    for (auto& [number, p] : s.goods.packages) p.sales = 0;
    return Reply::Ok({});
}

Reply CntxPackInit(Scenario& s, const std::vector<Field>&)
{
    s.goods.packageCursor = 0;
    s.sales.packCursor = 0;
    return Reply::Ok({});
}

// V 0: the package after the last one read; otherwise the package numbered by V.
Reply PackRead(Scenario& s, const std::vector<Field>& r)
{
    GoodsBase& g = s.goods;
    if (V(r[0]) != 0) {
        auto it = g.packages.find(V(r[0]));
        return it == g.packages.end() ? Reply::Error(codes::kNoSuchRecord) : Reply::Ok(PackageFields(it->second));
    }
    auto it = g.packages.lower_bound(static_cast<uint16_t>(std::min<uint32_t>(g.packageCursor, 0xFFFF)));
    if (g.packageCursor > 0xFFFF || it == g.packages.end()) return Reply::Error(codes::kNoMoreRecords);
    g.packageCursor = it->first + 1u;
    return Reply::Ok(PackageFields(it->second));
}

}  // namespace regsim::handlers
