// The register's VAT-rate order: the host's rates, the register's slots, and
// which slot holds a given rate.
#include <vector>

#include "StawkiKolejne.h"
#include "StawkiKolejneDialog.h"
#include "VelAction.h"
#include "VelLib.h"
#include "setofintegers.h"

namespace {
// The host's rates, asked once per action through the given callback forwarder.
TMacSetOfIntegers* AvailableRates(std::unique_ptr<TMacSetOfIntegers>& set, TVelActionBase* action,
                                  void (TVelLibrary::*fill)(TVelActionBase*, std::vector<int32_t>&))
{
    if (!set) {
        set = std::make_unique<TMacSetOfIntegers>(100);
        std::vector<int32_t> rates;
        if (action->GetLibrary()) (action->GetLibrary()->*fill)(action, rates);
        for (int32_t rate : rates) set->Add(rate);
    }
    return set.get();
}
}  // namespace

TMacSetOfIntegers* TVelActionBase::GetStawkiDostepne()
{
    return AvailableRates(FStawkiDostepne, this, &TVelLibrary::WypelnijStawkiVAT);
}

TMacSetOfIntegers* TVelActionBase::GetStawkiDostepnePrec()
{
    return AvailableRates(FStawkiDostepnePrec, this, &TVelLibrary::WypelnijStawkiVATPrec);
}

TVelStawkiKolejne* TVelActionBase::GetStawkiKolejne()
{
    if (!FStawkiKolejne) {
        FStawkiKolejne = std::make_unique<TVelStawkiKolejne>();
        OdczytajStawkiKolejne();
    }
    return FStawkiKolejne.get();
}

TVelStawkiKolejne* TVelActionBase::GetStawkiKolejnePrec()
{
    if (!FStawkiKolejnePrec) {
        FStawkiKolejnePrec = std::make_unique<TVelStawkiKolejne>();
        OdczytajStawkiKolejnePrec();
    }
    return FStawkiKolejnePrec.get();
}

void TVelActionBase::OdczytajStawkiKolejne()
{
    if (!FStawkiKolejne) FStawkiKolejne = std::make_unique<TVelStawkiKolejne>();
    AnsiString text;
    ReadParamEx("PosortowaneStawkiVat", text);
    if (Trim(text).empty())
        FStawkiKolejne->WczytajZListyDostepnychStawek(*GetStawkiDostepne());
    else
        FStawkiKolejne->WczytajZTekstuParametru(text, false);
    FStawkiKolejne->ObetnijDoTylu(IleMaxStawekKolejnych());
}

void TVelActionBase::OdczytajStawkiKolejnePrec()
{
    if (!FStawkiKolejnePrec) FStawkiKolejnePrec = std::make_unique<TVelStawkiKolejne>();
    AnsiString text;
    ReadParamEx("PosortowaneStawkiVatPrec", text);
    if (!Trim(text).empty()) {
        FStawkiKolejnePrec->WczytajZTekstuParametru(text, false);
    } else {
        // A stored whole-percent order carries over until a precise one is saved.
        ReadParamEx("PosortowaneStawkiVat", text);
        if (Trim(text).empty())
            FStawkiKolejnePrec->WczytajZListyDostepnychStawek(*GetStawkiDostepnePrec());
        else
            FStawkiKolejnePrec->WczytajZTekstuParametru(text, true);
    }
    FStawkiKolejnePrec->ObetnijDoTylu(IleMaxStawekKolejnych());
}

void TVelActionBase::ZapiszStawkiKolejne()
{
    WriteParamEx("PosortowaneStawkiVat", GetStawkiKolejne()->SpiszDoTekstuParametru());
}

void TVelActionBase::ZapiszStawkiKolejnePrec()
{
    WriteParamEx("PosortowaneStawkiVatPrec", GetStawkiKolejnePrec()->SpiszDoTekstuParametru());
}

namespace {
// The slot dialog over one order: filled, shown, and on OK read back and
// stored when the order may be edited.
void ShowSlotDialog(TVelActionBase& action, bool precise, TMacSetOfIntegers& rates, TVelStawkiKolejne& order,
                    const AnsiString& name, bool editable, const AnsiString& special, void (TVelActionBase::*store)())
{
    TFrmStawkiNaKasie dialog(nullptr, precise, action.GetLgLink());
    dialog.SetStawkiMarket(rates);
    dialog.SetStawkiUrzadzenia(order, editable);
    dialog.SetIloscStawek(action.IleMaxStawekKolejnych());
    dialog.SetNazwaStawki(name);
    if (!special.empty()) {
        dialog.StawkaSpecjalna(special, TVelStawkiKolejne::Zwolniona);
        dialog.SetSpecjalnaWidoczna(true);
    }
    if (dialog.ShowModal() != TFrmStawkiNaKasie::mrOk || !editable) return;
    dialog.GetStawkiUrzadzenia(order);
    (action.*store)();
}
}  // namespace

void TVelActionBase::WyswietlOknoStawekNaKasie(const AnsiString& name, bool editable, const AnsiString& special)
{
    ShowSlotDialog(*this, false, *GetStawkiDostepne(), *GetStawkiKolejne(), name, editable, special,
                   &TVelActionBase::ZapiszStawkiKolejne);
}

void TVelActionBase::WyswietlOknoStawekNaKasiePrec(const AnsiString& name, bool editable, const AnsiString& special)
{
    ShowSlotDialog(*this, true, *GetStawkiDostepnePrec(), *GetStawkiKolejnePrec(), name, editable, special,
                   &TVelActionBase::ZapiszStawkiKolejnePrec);
}

namespace {
// The slot of a rate in an order, the same rate asked again answered from
// memory. A rate the order does not hold throws the undefined-rate error
// showing `percent`.
int SlotOfRate(TVelStawkiKolejne& order, int rate, double percent, int& lastRate, std::optional<int>& lastSlot,
               const TMLgExtTools* lg)
{
    if (lastSlot && rate == lastRate) return *lastSlot;
    lastRate = rate;
    for (int slot = 0; slot < order.IleUstawionych(); ++slot) {
        if (order.GetWartosci(slot) == rate) {
            lastSlot = slot;
            return slot;
        }
    }
    lastRate = 9999;
    lastSlot.reset();
    // The rate is printed by us, not by the translated text, so a translation
    // can never bring a format of its own.
    AnsiString text = LgText(lg, "veltools_VelAction", "Niezdefiniowana stawka %.02f%%");
    const AnsiString number = Format("%.02f", percent);
    const size_t at = text.find("%.02f");
    if (at != AnsiString::npos) text.replace(at, 5, number);
    for (size_t p = text.find("%%"); p != AnsiString::npos; p = text.find("%%", p + 1)) text.erase(p, 1);
    throw Exception(text);
}
}  // namespace

// A whole-percent rate the order does not hold throws as the precise lookup
// does: an earlier answer would put the goods under another rate.
int VelAction::NumerStawki(int rate)
{
    return SlotOfRate(*GetStawkiKolejne(), rate, rate, FLastStawka, FLastNumerStawki, GetLgLink());
}

int VelAction::NumerStawkiPrec(int rate)
{
    return SlotOfRate(*GetStawkiKolejnePrec(), rate, static_cast<double>(static_cast<float>(rate) / 100.0f),
                      FLastStawkaPrec, FLastNumerStawkiPrec, GetLgLink());
}
