// The Combo/NEO export buffer: reads the register's information line of one
// goods item, set or package, and sets each host goods row's status from the
// comparison with it.
#pragma once

#include "LTools.h"
#include "VelExpBuf.h"

class TVelComboAction;

class TVelComboExpBuf : public VelExpBuf {
public:
    // action may be null: then nothing is shown, the price level is 0 and
    // no VAT slot holds a rate.
    explicit TVelComboExpBuf(TVelComboAction* action);
    ~TVelComboExpBuf() override;

    // A "TOW" or "ZES" line gives the PLU number, name, main barcode, the VAT
    // slot's rate in hundredths and the price; an "OPA" line the package
    // number (as the barcode), name and price. Any other line changes nothing.
    void DodInfo2TowRec(const AnsiString& dodinfo, VelTowRec* rec) override;
    // Identical goods need nothing (the price as the register gets it), a
    // price alone is changed, any other difference updates; goods the host
    // deletes stay deleted.
    void ModifyPLUStatus(VelTowRec& host, VelTowRec& reg) override;
    // As the register family at hand takes it (FormatujBarkodNaKase).
    AnsiString KodNaKase(const AnsiString& kod) const override;
    // The action's price level (PoziomCen).
    int PoziomCenNaKase() const override;

    TLTools tools;

protected:
    // The same action as the base's, as the Combo action it is.
    TVelComboAction* velaction;

private:
    // The words of the information line read last, kept for the next one.
    TLJWords FInfo;
};
