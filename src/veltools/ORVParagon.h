// The host's receipt model: a receipt read back from the register with its
// items and payments, and the cashiers' other till operations. Each writes
// its own records of the host's sales import file.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <vector>

#include "dttools.h"
#include "sysutils.h"

class TMFile;

// The codes come from files and the register, so any 32-bit value must be
// a valid one: a code outside the list is told apart, not undefined.
enum position_type : int32_t { ptSale = 0, ptBottleSale = 1, ptBottleReturn = 2 };

// One receipt item. -1 marks a number that was not read.
class ORVPosition {
public:
    int32_t Fplu = -1;
    AnsiString Fkod;  // barcode
    int32_t Filosc = -1;
    int64_t Fwartosc = -1;  // grosze
    int32_t Frabat = -1;
    int32_t FnrParagonu = -1;
    TDateTime Fdata_czas = 0;
    position_type FTyp = ptSale;

    // "ZAW;" record, ending in a single LF.
    AnsiString ToString() const;
};

enum formy : int32_t { FP_UNDEFINED = -1, FP_GOT = 0, FP_BON = 1, FP_CZEK = 2, FP_KARTA = 3, FP__INNE = 4 };

// One payment of a receipt.
class ORVPayment {
public:
    int32_t Fkod = -1;  // payment-form code
    int64_t Fwartosc = -1;
    int32_t Fkurs = 1;  // rate in hundredths
    int32_t FnrDokWplaty = -1;
    int32_t Ftransfer = -1;
    formy Frodzaj = FP_UNDEFINED;
    bool Fkonczaca = false;  // closes the receipt
    bool Fterminowa = false;
    AnsiString Ftytul;
    TDateTime Fdata_czas = 0;
    int32_t Fkod_f_plat_ext = -1;  // -1: no extended fields in the record
    AnsiString Fkod_waluty;
    int32_t Fkurs_prec = 10000;
    int32_t Fwartosc_pln = 0;

    // "PMT;" record, ending in a single LF.
    AnsiString ToString() const;
};

TMFile& operator<<(TMFile& file, const ORVPosition& position);
TMFile& operator<<(TMFile& file, const ORVPayment& payment);

// A receipt. It owns its items and payments.
class ORVParagon {
public:
    ORVParagon() = default;
    ORVParagon(const ORVParagon&) = delete;
    ORVParagon& operator=(const ORVParagon&) = delete;

    // Hooks a derived receipt may fill in. This one takes its number and
    // date from its first item when they are not set yet.
    virtual void ProcessFirstPosition(ORVPosition& position);
    virtual void ProcessFirstPayment(ORVPayment&) {}
    virtual void ProcessEachPosition(ORVPosition&) {}
    virtual void ProcessEachPayment(ORVPayment&) {}
    virtual ~ORVParagon() = default;
    // Runs when the receipt is handed to an import buffer.
    virtual void PostProcess() {}

    ORVParagon& operator+(std::unique_ptr<ORVPosition> position);
    ORVParagon& operator+(std::unique_ptr<ORVPayment> payment);

    int GetnPosCount() const { return static_cast<int>(Fpos.size()); }
    int GetnPaymentCount() const { return static_cast<int>(Fpymnt.size()); }
    // Valid until the next item or payment is added.
    ORVPosition& GetPozycje(int i) { return Fpos.at(static_cast<size_t>(i)); }
    const ORVPosition& GetPozycje(int i) const { return Fpos.at(static_cast<size_t>(i)); }
    ORVPayment& GetPlatnosci(int i) { return Fpymnt.at(static_cast<size_t>(i)); }
    const ORVPayment& GetPlatnosci(int i) const { return Fpymnt.at(static_cast<size_t>(i)); }

    // Writes the receipt block; the last payment is marked as closing first.
    void operator>>(TMFile& file);
    // The same block appended to `text`.
    void AppendBlock(AnsiString& text);

    bool FwoDetails = true;  // no item detail: only the head and payments are written
    int32_t FnrTrans = -1;
    int32_t FnrPar = -1;
    int32_t FnrKasjera = -1;
    int32_t FnrKasy = -1;
    AnsiString FnrKlienta;
    int32_t FkodRabatu = -1;
    TDateTime Fdata_czas = 0;
    int32_t Frabat = 0;
    int32_t FnrZmiany = -1;

private:
    // Held in place, not each on its own: a day keeps every receipt until
    // it is written, and a block of its own for each item would be most of
    // what the day allocates.
    std::vector<ORVPosition> Fpos;
    std::vector<ORVPayment> Fpymnt;
};

TMFile& operator<<(TMFile& file, ORVParagon& receipt);

enum e_TypOper : int32_t { op_wpl = 0, op_wypl = 1, op_storno = 2, op_anul = 3, op_otw_zm = 4, op_zamk_zm = 5 };

// Another till operation: pay-in, pay-out, void, cancellation, shift open or
// close. It owns its items and payments.
class ORVOther {
public:
    ORVOther() = default;
    ORVOther(const ORVOther&) = delete;
    ORVOther& operator=(const ORVOther&) = delete;

    void Add(std::unique_ptr<ORVPosition> position);
    void Add(std::unique_ptr<ORVPayment> payment);
    int GetPozycjeTowCount() const { return static_cast<int>(pozycjeTow.size()); }
    ORVPosition& GetPozycjeTow(int i) const { return *pozycjeTow.at(static_cast<size_t>(i)); }
    int GetPaymentCount() const { return static_cast<int>(platnosci.size()); }
    ORVPayment& GetPlatnosc(int i) const { return *platnosci.at(static_cast<size_t>(i)); }

    // The "[INNA_OPER]" block.
    AnsiString ToString() const;
    void operator>>(TMFile& file) const;
    // The block into a stream; a stream that refuses it throws.
    void operator>>(std::ostream& stream) const;

    e_TypOper typOperacji = op_wpl;
    AnsiString nrTrans;
    AnsiString nrPar;
    AnsiString nrZmiany = "-1";
    int32_t nrKasjera = -1;
    int32_t nrKasy = -1;
    TdtTools dataCzas;

private:
    std::vector<std::unique_ptr<ORVPosition>> pozycjeTow;
    std::vector<std::unique_ptr<ORVPayment>> platnosci;
};
