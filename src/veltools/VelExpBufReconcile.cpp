// Reconciling the host's goods with the register's own list, and the export
// result file that tells the host which goods were carried out.
#include "LTools.h"
#include "VelAction.h"
#include "VelExpBuf.h"
#include "clock.h"
#include "sysfiles.h"

namespace {
constexpr uint64_t WynikProgressEveryMs = 864;

const char* StatusWord(stTow status)
{
    switch (status) {
        case stDod: return "DOD";
        case stAkt: return "AKT";
        case stCen: return "CEN";
        case stUsu: return "USU";
        case stNull: break;
    }
    return "";
}
}  // namespace

void VelExpBuf::DodInfo2TowRec(const AnsiString&, VelTowRec*) {}

void VelExpBuf::ModifyPLUStatus(VelTowRec& host, VelTowRec&)
{
    if (host.status == stDod || host.status == stCen) host.status = stAkt;
}

bool VelExpBuf::CheckIfDeletePLU(VelTowRec&, VelTowRec&) { return false; }

void VelExpBuf::AnalizujCancelBufor(bool stripCode)
{
    const int n = il_rec;
    ResetFlags(false);
    for (const InPlu& item : ds_inplu) {
        AnsiString kod = item.kod;
        const AnsiString key = TLTools::BezZerWiodacych(kod);
        if (key.empty()) continue;
        if (stripCode) kod = key;
        // The host's own row of the very barcode comes first: "0123" must not
        // take a host row "123" that stands for another product.
        int found = FindRec(item.kod, n);
        if (found < 0 && key != item.kod) found = FindRec(key, n);

        if (found < 0) {
            // The register holds goods the host no longer has.
            VelTowRec reg;
            reg.kod = kod;
            reg.status = stUsu;
            reg.from_ecr = true;
            reg.flag = true;
            DodInfo2TowRec(item.dodinfo, &reg);
            DodajRec(&reg);
        } else {
            VelTowRec host;
            CzytajRec(found, &host);
            VelTowRec reg;
            reg.kod = host.kod;
            DodInfo2TowRec(item.dodinfo, &reg);
            ModifyPLUStatus(host, reg);
            host.flag = true;
            ZapiszRec(found, &host);
        }
    }
    // Host goods the register does not hold: added, and nothing to delete.
    for (int row = 0; row < n; ++row) {
        VelTowRec& rec = ds_plu[static_cast<size_t>(row)];
        if (rec.flag) continue;
        if (rec.status == stAkt || rec.status == stCen) {
            VelTowRec changed = rec;
            changed.status = stDod;
            ZapiszRec(row, &changed);
        } else if (rec.status == stUsu) {
            VelTowRec changed = rec;
            changed.status = stNull;
            ZapiszRec(row, &changed);
        }
    }
    PrzeliczTowary();
}

void VelExpBuf::PrzeliczTowary()
{
    il_rec = static_cast<int32_t>(ds_plu.size());
    il_dod = il_akt = il_cen = il_usu = il_opak = 0;
    for (size_t row = 0; row < ds_plu.size(); ++row) {
        const VelTowRec& rec = ds_plu[row];
        CountStatus(rec.status, 1);
        if (rec.opakowanie) ++il_opak;
    }
}

void VelExpBuf::ZapiszWynikEksp(const AnsiString& path)
{
    try {
        const int count = static_cast<int>(ds_plu.size());
        if (velaction) velaction->MsgAdd(Text("ufZapiszWyvelactionMsgAdd", "Zapis wyniku eksportu:"), LPV_Percent, count);
        AnsiString text;
        uint64_t lastProgress = GetTickCount64();
        for (int row = 0; row < count; ++row) {
            if (velaction && GetTickCount64() - lastProgress > WynikProgressEveryMs) {
                lastProgress = GetTickCount64();
                velaction->MsgP(row);
            }
            const VelTowRec& rec = ds_plu[static_cast<size_t>(row)];
            if (!rec.tr_ok || rec.add_rec || rec.plu == 0 || rec.org_status == stNull) continue;
            text += Format("PLU;%d;%d;%s;%s\r\n", rec.plu, rec.koldod, rec.org_barcode.c_str(),
                           StatusWord(rec.org_status));
            ++effect_exp;
        }
        // The host reads the file whole or not at all: it is written under a
        // working name and put in place in one step.
        TLTools::BufToFileEx(text, path, WorkingFileName(path), LgLink, false);
        if (velaction) {
            velaction->MsgP(count);
            velaction->MsgS(LPV_Ok);
        }
    } catch (...) {
        if (velaction) velaction->MsgS(LPV_Error);
        throw;
    }
}
