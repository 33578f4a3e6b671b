// Reconciling the host's goods with the register's own list, and the export
// result file that tells the host which goods were carried out.
#include <algorithm>
#include <vector>

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

AnsiString VelExpBuf::KodNaKase(const AnsiString& kod) const { return kod; }

int VelExpBuf::FindHeldRow(std::string_view kod, const HeldCodes& turned, const AnsiString& dodinfo, int n)
{
    const int own = FindRow(kod, n);
    if (turned.empty()) return own;
    const auto [first, last] = turned.equal_range(AnsiString(kod));
    if (first == last) return own;
    // The row of the very barcode, then the templates in row order.
    std::vector<int> rows;
    for (auto at = first; at != last; ++at) rows.push_back(at->second);
    std::sort(rows.begin(), rows.end());
    if (own >= 0) rows.insert(rows.begin(), own);
    if (rows.size() == 1) return rows.front();
    // More than one host row would put this barcode into the register, which
    // holds it once: its item is the one under the register's PLU number,
    // failing that the first of them.
    VelTowRec reg;
    DodInfo2TowRec(dodinfo, &reg);
    for (const int row : rows)
        if (ds_plu[static_cast<size_t>(row)].plu == reg.plu) return row;
    return rows.front();
}

void VelExpBuf::AnalizujCancelBufor(bool stripCode)
{
    const int n = il_rec;
    ResetFlags(false);
    // Host goods whose barcode the export turns into another one (a weighed
    // goods template) are looked for under the one the register holds.
    HeldCodes turned;
    for (size_t row = 0; row < static_cast<size_t>(std::max(n, 0)); ++row) {
        const Rows::Row& rec = ds_plu[row];
        if (rec.opakowanie) continue;
        const AnsiString kod(rec.Kod());
        AnsiString held = KodNaKase(kod);
        if (held != kod) turned.emplace(std::move(held), static_cast<int>(row));
    }
    // One record of each side serves every item in turn, its texts keeping
    // their room.
    VelTowRec host, reg;
    for (const InPlu& item : ds_inplu) {
        const std::string_view kod = item.kod;
        const std::string_view key = kod.substr(std::min(kod.find_first_not_of('0'), kod.size()));
        if (key.empty()) continue;
        // The host's row of the very barcode the register holds comes first:
        // "0123" must not take a host row "123" that stands for another
        // product.
        int found = FindHeldRow(kod, turned, item.dodinfo, n);
        if (found < 0 && key.size() != kod.size()) found = FindRow(key, n);

        reg = VelTowRec();
        if (found < 0) {
            // The register holds goods the host no longer has.
            reg.kod.assign(stripCode ? key : kod);
            reg.status = stUsu;
            reg.from_ecr = true;
            reg.flag = true;
            DodInfo2TowRec(item.dodinfo, &reg);
            DodajRec(&reg);
        } else {
            CzytajRec(found, &host);
            reg.kod = host.kod;
            DodInfo2TowRec(item.dodinfo, &reg);
            ModifyPLUStatus(host, reg);
            host.flag = true;
            ZapiszRec(found, &host);
        }
    }
    // Host goods the register does not hold.
    NieobecneNaKasie(static_cast<size_t>(std::max(n, 0)), RodzajWierszy::Wszystkie);
}

void VelExpBuf::PoWyczyszczeniuKasy(RodzajWierszy rodzaj)
{
    ResetFlags(false);
    NieobecneNaKasie(ds_plu.size(), rodzaj);
}

void VelExpBuf::NieobecneNaKasie(size_t n, RodzajWierszy rodzaj)
{
    for (size_t row = 0; row < n; ++row) {
        Rows::Row& rec = ds_plu[row];
        if (rec.flag) continue;
        if (rodzaj != RodzajWierszy::Wszystkie && rec.opakowanie != (rodzaj == RodzajWierszy::Opakowania)) continue;
        if (rec.status == stAkt || rec.status == stCen) {
            SetStatus(row, stDod);
        } else if (rec.status == stUsu) {
            // The goods are gone, which is what the host asked for: it learns
            // so from the result file, as of a deletion sent.
            SetStatus(row, stNull);
            rec.tr_ok = true;
        }
    }
    PrzeliczTowary();
}

void VelExpBuf::PrzeliczTowary()
{
    il_rec = static_cast<int32_t>(ds_plu.size());
    il_dod = il_akt = il_cen = il_usu = il_opak = 0;
    for (size_t row = 0; row < ds_plu.size(); ++row) {
        const Rows::Row& rec = ds_plu[row];
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
        VelTowRec rec;
        uint64_t lastProgress = GetTickCount64();
        for (int row = 0; row < count; ++row) {
            if (velaction && GetTickCount64() - lastProgress > WynikProgressEveryMs) {
                lastProgress = GetTickCount64();
                velaction->MsgP(row);
            }
            const Rows::Row& stored = ds_plu[static_cast<size_t>(row)];
            if (!stored.tr_ok || stored.add_rec || stored.plu == 0 || stored.org_status == stNull) continue;
            Rows::Read(stored, rec);
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
