// The import buffer's figures, goods rows and cashier state. Goods texts
// compare byte by byte: the order only serves finding equal texts, so it must
// not change with the host's locale.
#include "VelImpBuf.h"

#include <charconv>
#include <cmath>

#include "LTools.h"
#include "sysfiles.h"

void VelImpTowRec::Clear()
{
    plu.clear();
    quantity = 0;
    value = 0;
    save = true;
}

VelImpBuf::VelImpBuf()
{
    Clear();
}

VelImpBuf::~VelImpBuf() = default;

void VelImpBuf::Clear()
{
    ds_plu.clear();
    ds_tax.clear();
    ds_index.clear();
    ds_plu_numbers.clear();
    Sorted = false;
    payin = payout = discount = bottles_turned = bottles_saled = 0;
    fp_bony = fp_czeki = fp_karty = fp_inne = 0;
    il_koszykow = il_linii_par = 0;
    for (int h = 0; h < 24; ++h) {
        godzinowy[h] = 0;
        godz_ilkoszykow[h] = 0;
        godz_il_liniipar[h] = 0;
    }
    FReceiptsTaken = 0;
    FLastReceiptTrans.reset();
    FReceiptBlocks.clear();
    FReceiptsOther.clear();
    paragony.clear();
    Kas_Clear();
}

// --- Goods sales ---------------------------------------------------------------

VelImpBuf::PluRow& VelImpBuf::Row(int index_entry)
{
    return ds_plu[static_cast<size_t>(ds_index[static_cast<size_t>(index_entry)])];
}

const VelImpBuf::PluRow& VelImpBuf::Row(int index_entry) const
{
    return ds_plu[static_cast<size_t>(ds_index[static_cast<size_t>(index_entry)])];
}

namespace {
// The number a PLU text names when it is the number's own text, as IntToStr
// writes it.
std::optional<int32_t> PluNumber(const AnsiString& plu)
{
    int32_t number = 0;
    const char* end = plu.data() + plu.size();
    const auto [at, error] = std::from_chars(plu.data(), end, number);
    if (error != std::errc() || at != end || IntToStr(number) != plu) return std::nullopt;
    return number;
}
}  // namespace

void VelImpBuf::AddPlu(const AnsiString& plu, double quantity, double value, e_identifier identifier)
{
    ds_plu.push_back({plu, quantity, value, 1, identifier});
    const auto row = static_cast<int32_t>(ds_plu.size() - 1);
    if (identifier == id_plu)
        if (const std::optional<int32_t> number = PluNumber(plu)) {
            const auto [known, added] = ds_plu_numbers.try_emplace(*number, row);
            if (!added) known->second = -1;
        }
    if (!Sorted) return;
    const int entries = static_cast<int>(ds_index.size());
    SearchedPlu = plu;
    int place = FindInsertPlace(0, entries - 1);
    // An equal text is already indexed: the new row goes right after it.
    if (place < 0) place = Find(0, entries - 1) + 1;
    ds_index.insert(ds_index.begin() + place, row);
}

void VelImpBuf::AddToPlu(const AnsiString& plu, double quantity, double value, e_identifier identifier)
{
    int row = FindRec(plu);
    if (row >= 0 && ds_plu[static_cast<size_t>(row)].identifier != identifier) {
        // The text is known under the other identifier: a PLU number and a
        // barcode that happen to read alike are different goods.
        row = -1;
        for (size_t i = 0; i < ds_plu.size(); ++i)
            if (ds_plu[i].plu == plu && ds_plu[i].identifier == identifier) {
                row = static_cast<int>(i);
                break;
            }
    }
    if (row < 0) {
        AddPlu(plu, quantity, value, identifier);
        return;
    }
    ds_plu[static_cast<size_t>(row)].quantity += quantity;
    ds_plu[static_cast<size_t>(row)].value += value;
}

void VelImpBuf::AddToPluNumber(int32_t plu, double quantity, double value)
{
    // The index is built when a search by the text would build it: of the
    // rows that share a text, a search finds the one it would have found.
    IndexRows();
    const auto known = ds_plu_numbers.find(plu);
    if (known == ds_plu_numbers.end()) {
        AddPlu(IntToStr(plu), quantity, value, id_plu);
    } else if (known->second < 0) {
        // More than one row reads alike: the text's own search picks one.
        AddToPlu(IntToStr(plu), quantity, value, id_plu);
    } else {
        ds_plu[static_cast<size_t>(known->second)].quantity += quantity;
        ds_plu[static_cast<size_t>(known->second)].value += value;
    }
}

void VelImpBuf::ExclAddToPlu(const AnsiString& plu, double quantity, double value)
{
    const int row = FindRec(plu);
    if (row < 0) return;
    ds_plu[static_cast<size_t>(row)].quantity += quantity;
    ds_plu[static_cast<size_t>(row)].value += value;
}

e_identifier VelImpBuf::Resolved(e_identifier identifier) const
{
    if (identifier != id_global) return identifier;
    return ident_barcode ? id_barcode : id_plu;
}

void VelImpBuf::CreateIndex()
{
    ds_index.resize(ds_plu.size());
    for (size_t i = 0; i < ds_index.size(); ++i) ds_index[i] = static_cast<int32_t>(i);
}

void VelImpBuf::IndexRows()
{
    if (Sorted || ds_plu.empty()) return;
    CreateIndex();
    Sort(0, static_cast<int>(ds_plu.size()) - 1);
    Sorted = true;
}

int VelImpBuf::FindRec(const AnsiString& plu)
{
    if (ds_plu.empty()) return -1;
    SearchedPlu = plu;
    IndexRows();
    const int at = Find(0, static_cast<int>(ds_plu.size()) - 1);
    return at < 0 ? -1 : ds_index[static_cast<size_t>(at)];
}

void VelImpBuf::GetPlu(int i, VelImpTowRec& rec) const
{
    const PluRow& row = ds_plu.at(static_cast<size_t>(i));
    rec.plu = row.plu;
    rec.quantity = row.quantity;
    rec.value = row.value;
    rec.save = row.save != 0;
    rec.identifier = row.identifier;
}

int VelImpBuf::SortCompare(int a, int b)
{
    return Row(a).plu.compare(Row(b).plu);
}

int VelImpBuf::ExChange(int a, int b)
{
    std::swap(ds_index[static_cast<size_t>(a)], ds_index[static_cast<size_t>(b)]);
    return 0;
}

int VelImpBuf::FindCompare(int i)
{
    return SearchedPlu.compare(Row(i).plu);
}

double VelImpBuf::GetTotalValue() const
{
    double total = 0;
    if (fisk_z_plu) {
        for (const PluRow& row : ds_plu)
            if (row.save != 0) total += row.value;
    } else {
        for (const TaxRow& row : ds_tax) total += row.brutto;
    }
    return total;
}

// --- Figures ---------------------------------------------------------------------

void VelImpBuf::AddBottlesTurned(double v)
{
    bottles_turned += std::fabs(v);
}

void VelImpBuf::AddBottlesSaled(double v)
{
    bottles_saled += std::fabs(v);
}

void VelImpBuf::AddDiscount(double v, bool absolute)
{
    discount += absolute ? std::fabs(v) : v;
}

void VelImpBuf::AddGodzinowy(int hour, double value, int baskets, int lines)
{
    if (hour < 0 || hour >= 24) return;
    godzinowy[hour] += value;
    godz_ilkoszykow[hour] += baskets;
    godz_il_liniipar[hour] += lines;
}

int VelImpBuf::HourOf(TDateTime value)
{
    // A receipt's items share its time: decoded once for them all.
    if (value != hour_of.first) {
        int hour, minute, second, ms;
        DecodeTime(value, hour, minute, second, ms);
        hour_of = {value, hour};
    }
    return hour_of.second;
}

VelImpBuf& VelImpBuf::operator+(const ORVPosition& position)
{
    const auto value = static_cast<double>(position.Fwartosc);
    const AnsiString kod = Trim(position.Fkod);
    if (!kod.empty())
        AddToPlu(kod, position.Filosc, value, id_barcode);
    else
        AddToPluNumber(position.Fplu, position.Filosc, value);
    AddGodzinowy(HourOf(position.Fdata_czas), value, 0, 0);
    if (position.FTyp == ptBottleSale) AddBottlesSaled(value);
    if (position.FTyp == ptBottleReturn) AddBottlesTurned(value);
    return *this;
}

VelImpBuf& VelImpBuf::operator+(const ORVPayment& payment)
{
    // Integer division truncates toward zero, as the host expects of a
    // converted amount; the product of an amount and a rate needs more than
    // 64 bits at the far end of their ranges.
    const auto amount = static_cast<double>(static_cast<__int128>(payment.Fwartosc) * payment.Fkurs / 100);
    switch (payment.Fkod) {
        case 1:
            AddBony(amount);
            break;
        case 2:
            AddCzeki(amount);
            break;
        case 3:
            AddKarty(amount);
            break;
        case 4:
            AddInne(amount);
            break;
        default:
            break;
    }
    return *this;
}

VelImpBuf& VelImpBuf::operator+(const ORVPosition* position)
{
    return position ? *this + *position : *this;
}

VelImpBuf& VelImpBuf::operator+(const ORVPayment* payment)
{
    return payment ? *this + *payment : *this;
}

void VelImpBuf::AddReceipt(std::unique_ptr<ORVParagon> receipt)
{
    receipt->PostProcess();
    if (sprzedaz_z_paragonow) {
        for (int i = 0; i < receipt->GetnPosCount(); ++i) *this + receipt->GetPozycje(i);
        for (int i = 0; i < receipt->GetnPaymentCount(); ++i) *this + receipt->GetPlatnosci(i);
        AddGodzinowy(HourOf(receipt->Fdata_czas), 0.0, 1, receipt->GetnPosCount());
        AddDiscount(receipt->Frabat, true);
    }
    if (par_szczeg) {
        // A text is full past 1 MiB; its room beyond that takes the block
        // that passes the mark without growing.
        constexpr size_t Full = 1 << 20, Room = Full + (Full >> 4);
        if (FReceiptBlocks.empty() || FReceiptBlocks.back().size() >= Full) {
            FReceiptBlocks.emplace_back();
            FReceiptBlocks.back().reserve(Room);
        }
        receipt->AppendBlock(FReceiptBlocks.back());
    }
    ++FReceiptsTaken;
    FLastReceiptTrans = receipt->FnrTrans;
}

void VelImpBuf::AddReceiptOtherInfo(std::unique_ptr<ORVOther> other)
{
    FReceiptsOther.push_back(std::move(other));
}

void VelImpBuf::AddParameter(const AnsiString& name, const AnsiString& value)
{
    const AnsiString key = name + "=";
    for (int i = 0; i < FParametry.Count(); ++i)
        if (FParametry[i].compare(0, key.size(), key) == 0) {
            FParametry[i] = key + value;
            return;
        }
    FParametry.Add(key + value);
}

// --- Receipt lines ---------------------------------------------------------------------

void VelImpBuf::AddLiniaParEx(const AnsiString& code, double quantity, double value, double discount,
                              const AnsiString& text, TDateTime date, int a, int b, e_identifier identifier)
{
    AnsiString plu, barcode;
    switch (Resolved(identifier)) {
        case id_plu:
            plu = code;
            break;
        case id_barcode:
            barcode = code;
            break;
        default:
            throw Exception("VelExpBuf::AddLiniaParEx() - nieprawidłowy _ident");
    }
    paragony +=
        Format("PAR;%s;%s;%.0Lf;%.0Lf;%.0Lf;%s;%s;", plu.c_str(), barcode.c_str(), static_cast<long double>(quantity),
               static_cast<long double>(value), static_cast<long double>(discount), text.c_str(),
               TdtTools(date).ToString(fmtDateTimeCompressed).c_str());
    if (a >= 0) paragony += IntToStr(a);
    paragony += ";";
    if (b >= 0) paragony += IntToStr(b);
    paragony += "\r\n";
}

void VelImpBuf::SaveOneParag(const AnsiString& path) const
{
    TLTools::BufToFileEx(paragony, path, WorkingFileName(path), nullptr, false);
}

// --- Currency movements ------------------------------------------------------------------

AnsiString VelWymiana::GetKurs() const
{
    return FCurrency + ";" + IntToStr(FExchange);
}

AnsiString VelWymiana::GetText() const
{
    return GetKurs() + ";" + IntToStr(FAmount);
}

VelWymiany& VelWymiany::operator+(const VelWymiana& movement)
{
    const AnsiString kurs = movement.GetKurs();
    for (Sum& sum : FKursy)
        if (sum.kurs == kurs) {
            sum.amount += movement.FAmount;
            return *this;
        }
    FKursy.push_back({kurs, movement.FAmount});
    return *this;
}

AnsiString VelWymiany::GetTexts(int i) const
{
    const Sum& sum = FKursy.at(static_cast<size_t>(i));
    return sum.kurs + ";" + IntToStr(sum.amount);
}

// --- Cashier state -------------------------------------------------------------------

void VelImpBuf::Kas_Clear()
{
    kas_active = false;
    kas_numer = 0;
    kas_nr_kasjera.reset();
    kas_nazwisko.reset();
    kas_uprawn.reset();
    kas_zmstart.reset();
    kas_biez.reset();
    kas_stankasy.reset();
    kas_karty.reset();
    kas_bony.reset();
    kas_czeki.reset();
    kas_przelewy.reset();
    kas_dodfplat.reset();
    kas_innefplat.reset();
    kas_paragonow.reset();
    kas_il_par_anulowanych.reset();
    kas_wart_par_anulowanych.reset();
    kas_il_storno.reset();
    kas_wart_storno.reset();
    kas_wal.clear();
    // A block built from the values just dropped must not be written for
    // the buffer's next fill.
    StanKasyStr.clear();
}

void VelImpBuf::Kas_AddWaluta(const AnsiString& name, double rate, double held, double balance)
{
    for (KasWaluta& waluta : kas_wal)
        if (waluta.name == name) {
            if (rate > 0) waluta.rate = rate;
            waluta.held += held;
            waluta.balance += balance;
            return;
        }
    kas_wal.push_back({name, rate, held, balance});
}

void VelImpBuf::MakeStanKasyStr()
{
    StanKasyStr = Format("KAS_NUMER;%d\r\n", kas_numer);
    if (kas_numer == 0) return;
    auto text = [this](const char* key, const std::optional<AnsiString>& v) {
        if (v) StanKasyStr += AnsiString(key) + ";" + *v + "\r\n";
    };
    auto date = [this](const char* key, const std::optional<TdtTools>& v) {
        if (v) StanKasyStr += AnsiString(key) + ";" + v->ToString(fmtDateTimeCompressed) + "\r\n";
    };
    auto amount = [this](const char* key, const std::optional<double>& v) {
        if (v) StanKasyStr += Format("%s;%.0Lf\r\n", key, static_cast<long double>(*v));
    };
    auto count = [this](const char* key, const std::optional<int32_t>& v) {
        if (v) StanKasyStr += Format("%s;%d\r\n", key, *v);
    };
    count("KAS_NR_KASJERA", kas_nr_kasjera);
    text("KAS_NAZWISKO", kas_nazwisko);
    count("KAS_UPRAWN", kas_uprawn);
    date("KAS_ZMSTART", kas_zmstart);
    date("KAS_BIEZ", kas_biez);
    amount("KAS_STANKASY", kas_stankasy);
    amount("KAS_KARTY", kas_karty);
    amount("KAS_BONY", kas_bony);
    amount("KAS_CZEKI", kas_czeki);
    amount("KAS_PRZELEWY", kas_przelewy);
    amount("KAS_DODFPLAT", kas_dodfplat);
    amount("KAS_INNEFPLAT", kas_innefplat);
    count("KAS_PARAGONOW", kas_paragonow);
    count("KAS_IL_PAR_ANULOWANYCH", kas_il_par_anulowanych);
    amount("KAS_WART_PAR_ANULOWANYCH", kas_wart_par_anulowanych);
    count("KAS_IL_STORNO", kas_il_storno);
    amount("KAS_WART_STORNO", kas_wart_storno);
    for (size_t i = 0; i < kas_wal.size(); ++i) {
        const KasWaluta& w = kas_wal[i];
        const int n = static_cast<int>(i + 1);
        StanKasyStr += Format(
            "KAS_WAL%d_NAZWA;%s\r\nKAS_WAL%d_KURS;%.0Lf\r\nKAS_WAL%d_STAN;%.0Lf\r\n"
            "KAS_WAL%d_BILANS;%.0Lf\r\n",
            n, w.name.c_str(), n, static_cast<long double>(w.rate), n, static_cast<long double>(w.held), n,
            static_cast<long double>(w.balance));
    }
}

void VelImpBuf::AddLinieStanuKasy(const AnsiString& text)
{
    StanKasyStr += text + "\r\n";
}
