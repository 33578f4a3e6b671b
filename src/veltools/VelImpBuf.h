// One sale date's share of a sales import: goods sales by PLU or barcode,
// hourly figures, payment totals, discounts, pay-ins and pay-outs, bottles,
// the cashier state, parameters for the host and the receipts themselves.
// The import fills one buffer per date and has it write the host's import
// file (VelImpBufSave.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "LQuickSort.h"
#include "ORVParagon.h"
#include "classes.h"
#include "dttools.h"

class TMFile;

// How a goods row names its goods: by the day's rule, by PLU number or by
// barcode. Any other value is refused when the row is written.
enum e_identifier : int32_t { id_global = 0, id_plu = 1, id_barcode = 2 };

// A copy of one goods row.
struct VelImpTowRec {
    AnsiString plu;
    double quantity = 0;
    double value = 0;
    bool save = true;
    e_identifier identifier = id_global;

    // Empties the figures; the identifier stays.
    void Clear();
};

// One currency movement: the currency, its rate and the amount.
class VelWymiana {
public:
    VelWymiana() = default;
    VelWymiana(const AnsiString& currency, int32_t exchange, int32_t amount)
        : FCurrency(currency), FExchange(exchange), FAmount(amount)
    {
    }
    // "currency;rate": the movements of one currency at one rate add up.
    AnsiString GetKurs() const;
    // "currency;rate;amount".
    AnsiString GetText() const;

    AnsiString FCurrency;
    int32_t FExchange = 0;
    int32_t FAmount = 0;
};

// The day's currency movements, summed by currency and rate in the order
// each first came.
class VelWymiany {
public:
    VelWymiany& operator+(const VelWymiana& movement);
    int Count() const { return static_cast<int>(FKursy.size()); }
    // Movement i as "currency;rate;amount".
    AnsiString GetTexts(int i) const;

private:
    struct Sum {
        AnsiString kurs;
        int64_t amount;
    };
    std::vector<Sum> FKursy;
};

class VelImpBuf : public TLQuickSort {
public:
    VelImpBuf();
    ~VelImpBuf() override;
    VelImpBuf(const VelImpBuf&) = delete;
    VelImpBuf& operator=(const VelImpBuf&) = delete;

    // Empties the goods, the figures, the cashier state, the receipts, their
    // lines and the other operations: a day cleared because the host has it
    // already must not hand its receipts over again. Parameters and currency
    // movements stay.
    void Clear();

    // --- Goods sales -----------------------------------------------------------
    // Appends a row; an index already built is kept in order.
    void AddPlu(const AnsiString& plu, double quantity, double value, e_identifier identifier);
    // Adds the figures to the row of this text and identifier, or appends one.
    void AddToPlu(const AnsiString& plu, double quantity, double value, e_identifier identifier);
    // Adds the figures to a row of this text; nothing when there is none.
    void ExclAddToPlu(const AnsiString& plu, double quantity, double value);
    // Adds the figures to the row named by this PLU number, or appends one:
    // AddToPlu of the number's text with id_plu, without the text.
    void AddToPluNumber(int32_t plu, double quantity, double value);
    // A row with this text, or -1. The first search builds the index.
    int FindRec(const AnsiString& plu);
    int CountPlu() const { return static_cast<int>(ds_plu.size()); }
    void GetPlu(int i, VelImpTowRec& rec) const;
    int SortCompare(int a, int b) override;
    int ExChange(int a, int b) override;
    int FindCompare(int i) override;

    // --- Figures -----------------------------------------------------------------
    void AddPayIn(double v) { payin += v; }
    void AddPayOut(double v) { payout += v; }
    void AddBony(double v) { fp_bony += v; }
    void AddCzeki(double v) { fp_czeki += v; }
    void AddKarty(double v) { fp_karty += v; }
    void AddInne(double v) { fp_inne += v; }
    void AddKoszyk(int n) { il_koszykow += n; }
    void AddLiniaPar(int n) { il_linii_par += n; }
    // Bottles count whatever the sign the register gives them.
    void AddBottlesTurned(double v);
    void AddBottlesSaled(double v);
    // With absolute, the discount counts whatever its sign.
    void AddDiscount(double v, bool absolute);
    // Hours outside 0..23 are ignored.
    void AddGodzinowy(int hour, double value, int baskets, int lines);

    // A receipt item's sale: to its goods row, its hour and the bottles.
    VelImpBuf& operator+(const ORVPosition& position);
    // A payment to its form's total, converted at its rate; cash and unknown
    // forms add nothing.
    VelImpBuf& operator+(const ORVPayment& payment);
    // The same through a pointer; none adds nothing.
    VelImpBuf& operator+(const ORVPosition* position);
    VelImpBuf& operator+(const ORVPayment* payment);

    // A receipt line for the receipt file (SaveOneParag): "PAR;" plu;
    // barcode; quantity; value; discount; text; date; then a and b where not
    // negative. The identifier is resolved as the import file's goods rows
    // are; any other throws.
    void AddLiniaParEx(const AnsiString& code, double quantity, double value, double discount, const AnsiString& text,
                       TDateTime date, int a, int b, e_identifier identifier);
    // Writes the receipt lines as a whole new file at path.
    void SaveOneParag(const AnsiString& path) const;

    // Takes the receipt; with sprzedaz_z_paragonow its items, payments,
    // hour and discount count in the figures. In detail mode its block for
    // the import file is formatted at once; the receipt itself is not kept.
    void AddReceipt(std::unique_ptr<ORVParagon> receipt);
    void AddReceiptOtherInfo(std::unique_ptr<ORVOther> other);
    // The receipts taken since the buffer was cleared, written or not.
    int GetReceiptsCount() const { return FReceiptsTaken; }
    // The transaction (printout) number of the last receipt taken and not
    // written yet; none when every receipt taken is written.
    std::optional<int32_t> LastReceiptTrans() const { return FLastReceiptTrans; }

    // A name=value entry for the host; a repeated name replaces the value.
    void AddParameter(const AnsiString& name, const AnsiString& value);

    // The day's sales value: of the goods rows to write when the totals come
    // from the goods, else of the VAT table.
    double GetTotalValue() const;

    // --- Cashier state -------------------------------------------------------------
    void Kas_Clear();
    void Kas_ActiveKasjerSection() { kas_active = true; }
    void Kas_SetNumer(int n) { kas_numer = n; }
    void Kas_SetNazwisko(const AnsiString& v) { kas_nazwisko = v; }
    void Kas_SetZmstart(const TdtTools& v) { kas_zmstart = v; }
    void Kas_SetBiez(const TdtTools& v) { kas_biez = v; }
    void Kas_SetStankasy(double v) { kas_stankasy = v; }
    void Kas_SetKarty(double v) { kas_karty = v; }
    void Kas_SetBony(double v) { kas_bony = v; }
    void Kas_SetCzeki(double v) { kas_czeki = v; }
    void Kas_SetInnefplat(double v) { kas_innefplat = v; }
    void Kas_SetParagonow(int v) { kas_paragonow = v; }
    void Kas_SetIlParAnulowanych(int v) { kas_il_par_anulowanych = v; }
    void Kas_SetWartParAnulowanych(double v) { kas_wart_par_anulowanych = v; }
    void Kas_SetIlStorno(int v) { kas_il_storno = v; }
    void Kas_SetWartStorno(double v) { kas_wart_storno = v; }
    // A currency held in the drawer: a new one is added, a known one keeps
    // its rate unless a new rate above 0 is given and sums its amounts.
    void Kas_AddWaluta(const AnsiString& name, double rate, double held, double balance);
    // Builds StanKasyStr from the values that were set.
    void MakeStanKasyStr();
    // A line of the cashier-state block as it is; a block built from the
    // values (with the cashier section active) takes its place when written.
    void AddLinieStanuKasy(const AnsiString& text);
    const AnsiString& GetStanKasyStr() const { return StanKasyStr; }

    // --- The host's import file (VelImpBufSave.cpp) ----------------------------------
    // Writes the day as a whole new file at path. With strip, barcodes lose
    // their leading zeros. Receipts and other operations written are
    // dropped: a second save writes none of them again.
    void Save(const AnsiString& path, bool strip);
    void WriteToFile(TMFile& file, bool strip);

    // The sale date.
    TdtTools data;
    // The totals come from the goods sales, not from the VAT table.
    bool fisk_z_plu = false;
    // Instructions for the host, as the import file's flags.
    bool nadpisz_fisk = false;
    bool nadpisz_opak = true;
    bool podsumuj_opak = false;
    bool nadpisz_plu = false;
    bool doklej_plu = false;
    // Rows of id_global name their goods by barcode (else by PLU number).
    bool ident_barcode = false;
    // The receipts carry the sales: their items count in the figures.
    bool sprzedaz_z_paragonow = false;
    // The receipts are written in detail into the import file. Set before
    // the receipts come: each is formatted as it comes.
    bool par_szczeg = false;
    // Currency movements, listed in the import file; the register reports
    // none of its own.
    VelWymiany FWymiany;

protected:
    // The cashier state: a value is written only when it was set. The
    // cashier's number and rights, transfers and additional payment forms
    // have no setter: the register reports none of them.
    bool kas_active = false;
    int32_t kas_numer = 0;
    std::optional<int32_t> kas_nr_kasjera;
    std::optional<AnsiString> kas_nazwisko;
    std::optional<int32_t> kas_uprawn;
    std::optional<TdtTools> kas_zmstart, kas_biez;
    std::optional<double> kas_stankasy, kas_karty, kas_bony, kas_czeki, kas_przelewy, kas_dodfplat, kas_innefplat;
    std::optional<int32_t> kas_paragonow, kas_il_par_anulowanych;
    std::optional<double> kas_wart_par_anulowanych;
    std::optional<int32_t> kas_il_storno;
    std::optional<double> kas_wart_storno;

private:
    struct PluRow {
        AnsiString plu;
        double quantity;
        double value;
        int32_t save;
        e_identifier identifier;
    };
    struct TaxRow {
        int32_t taxno;
        double netto, vat, brutto;
    };
    // A currency of the cashier state.
    struct KasWaluta {
        AnsiString name;
        double rate, held, balance;
    };

    // The identifier of a row as written: id_global by the day's rule.
    e_identifier Resolved(e_identifier identifier) const;
    // The hour of a time, 0..23.
    int HourOf(TDateTime value);
    void CreateIndex();
    // Builds the index of a table that has rows and none yet.
    void IndexRows();
    PluRow& Row(int index_entry);
    const PluRow& Row(int index_entry) const;
    void WritePluSection(TMFile& file, bool strip);
    void WriteWymiany(TMFile& file) const;

    std::vector<PluRow> ds_plu;
    // Nothing fills it in this driver; it is read as the fiscal totals.
    std::vector<TaxRow> ds_tax;
    // ds_plu row numbers in plu order while Sorted is set.
    std::vector<int32_t> ds_index;
    // The row of each PLU number that names an id_plu row with its text
    // exactly, -1 for a number more than one such row has.
    std::unordered_map<int32_t, int32_t> ds_plu_numbers;
    int32_t FReceiptsTaken = 0;
    std::optional<int32_t> FLastReceiptTrans;
    // The blocks of the receipts taken in detail mode and not written yet,
    // in the order they came, in texts of about 1 MiB each: a day's
    // receipts kept whole until the save would be most of its memory, and
    // one text of them all would be copied over and over as it grows.
    std::vector<AnsiString> FReceiptBlocks;
    std::vector<std::unique_ptr<ORVOther>> FReceiptsOther;
    double discount = 0, fp_bony = 0, fp_czeki = 0, fp_karty = 0, fp_inne = 0;
    int32_t il_koszykow = 0, il_linii_par = 0;
    double godzinowy[24] = {};
    int32_t godz_ilkoszykow[24] = {};
    int32_t godz_il_liniipar[24] = {};
    TStringList FParametry;
    AnsiString StanKasyStr;
    // The receipt lines of AddLiniaParEx.
    AnsiString paragony;
    AnsiString SearchedPlu;
    double payin = 0, payout = 0, bottles_turned = 0, bottles_saled = 0;
    // The last time HourOf decoded, and its hour.
    std::pair<TDateTime, int> hour_of{0, 0};

    std::vector<KasWaluta> kas_wal;
};
