// The Combo/NEO export buffer's reading of the register's goods lines and
// its comparison rules.
#include "cbexpbuf.h"

#include "StawkiKolejne.h"
#include "cbaction.h"

TVelComboExpBuf::TVelComboExpBuf(TVelComboAction* action) : VelExpBuf(action), velaction(action)
{
    FInfo.FSeparator.assign(1, ';');
}

TVelComboExpBuf::~TVelComboExpBuf() = default;

void TVelComboExpBuf::DodInfo2TowRec(const AnsiString& dodinfo, VelTowRec* rec)
{
    // The line is split once; each field is then taken where it lies.
    FInfo.Init(dodinfo);
    auto field = [this](int n) {
        const std::string_view word = FInfo.View(n);
        size_t from = 0, end = word.size();
        TrimRange(word, from, end);
        return word.substr(from, end - from);
    };
    const std::string_view kind = field(0);
    if (kind == "TOW" || kind == "ZES") {
        rec->plu = ExpStrToInt(field(1));
        rec->nazwa.assign(field(2));
        rec->kod.assign(field(3));
        const int slot = ExpStrToInt(field(6));
        rec->stawkaPrec = velaction ? velaction->GetStawkiKolejnePrec()->GetWartosci(slot) : TVelStawkiKolejne::Pusta;
        rec->cena = StrToIntDef(field(7), 0);
    } else if (kind == "OPA") {
        rec->kod.assign(field(1));
        rec->nazwa.assign(field(2));
        rec->cena = ExpStrToInt(field(4));
        rec->plu = 0;
        rec->opakowanie = true;
    }
}

AnsiString TVelComboExpBuf::KodNaKase(const AnsiString& kod) const
{
    return velaction ? velaction->FormatujBarkodNaKase(kod) : kod;
}

int TVelComboExpBuf::PoziomCenNaKase() const
{
    return velaction ? velaction->PoziomCen : 0;
}

void TVelComboExpBuf::ModifyPLUStatus(VelTowRec& host, VelTowRec& reg)
{
    // Goods the host deletes are deleted whatever the register holds, and
    // reported only once the register has done it. A row the file gives
    // nothing to do (one refused while reading) is never carried out, and
    // the register's item under its barcode stays.
    if (host.status == stUsu || host.status == stNull) return;
    const stTow changed = (host.status == stDod || host.status == stCen) ? stAkt : host.status;
    // The register holds the price as it was sent, the fraction of the
    // smallest unit cut off: compared so, an unchanged row is not sent again.
    int32_t price = 0;
    const bool samePrice = CenaNaKase(host.CenaAkt(velaction ? velaction->PoziomCen : 0), price) && price == reg.cena;
    const bool sameName = host.nazwa == reg.nazwa;
    bool same;
    if (reg.opakowanie)
        same = sameName;
    else
        same = sameName && host.plu == reg.plu && host.stawkaPrec == reg.stawkaPrec;
    if (same && samePrice) {
        host.status = stNull;
        host.tr_ok = true;
    } else if (same) {
        host.status = stCen;
    } else {
        host.status = changed;
    }
}
