// Reconciling the host's goods with the register's own list, and the export
// result file that tells the host which goods were carried out.
#include <algorithm>
#include <optional>
#include <unordered_set>
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

namespace {
// The number the register keeps an item under, with its kind: a goods
// item's PLU, a package's number (a host package's code; -1 when that is no
// number, which the register holds under none).
int64_t NumerNaKasie(bool opakowanie, int32_t plu, std::string_view kod)
{
    int32_t number = plu;
    if (opakowanie && !TryStrToInt(kod, number)) number = -1;
    return (opakowanie ? int64_t{1} << 32 : 0) | static_cast<uint32_t>(number);
}
int64_t NumerNaKasie(const VelTowRec& rec) { return NumerNaKasie(rec.opakowanie, rec.plu, rec.kod); }
}  // namespace

void VelExpBuf::HeldRows(std::string_view kod, const HeldCodes& turned, int n, std::vector<int>& rows)
{
    FindRows(kod, n, rows);
    if (turned.empty()) return;
    const size_t own = rows.size();
    const auto [first, last] = turned.equal_range(AnsiString(kod));
    for (auto at = first; at != last; ++at) rows.push_back(at->second);
    std::sort(rows.begin() + static_cast<std::ptrdiff_t>(own), rows.end());
}

void VelExpBuf::AnalizujCancelBufor(bool stripCode)
{
    const int n = il_rec;
    const size_t hostRows = static_cast<size_t>(std::max(n, 0));
    ResetFlags(false);
    FZalegle.clear();
    FUsuwanyDla.clear();
    FTakze.clear();
    FListaZKasy = true;
    // Host goods whose barcode the export turns into another one (a weighed
    // goods template) are looked for under the one the register holds.
    HeldCodes turned;
    // The numbers the host deletes, with the deleting row; a later deletion
    // of a number, with the first one's row.
    std::unordered_map<int64_t, int> deleted;
    std::vector<std::pair<int, int>> again;
    for (size_t row = 0; row < hostRows; ++row) {
        const Rows::Row& rec = ds_plu[row];
        if (rec.org_status == stUsu && rec.status == stUsu) {
            const auto [first, isFirst] =
                deleted.emplace(NumerNaKasie(rec.opakowanie, rec.plu, rec.Kod()), static_cast<int>(row));
            if (!isFirst) again.emplace_back(static_cast<int>(row), first->second);
        }
        if (rec.opakowanie) continue;
        const AnsiString kod(rec.Kod());
        AnsiString held = KodNaKase(kod);
        if (held != kod) turned.emplace(std::move(held), static_cast<int>(row));
    }
    // One record of each side serves every item in turn, its texts keeping
    // their room.
    VelTowRec host, reg;
    // The numbers of the host's deletions that the register holds.
    std::unordered_set<int64_t> held;
    // Whether the host keeps a number: a row other than a deletion (a row
    // refused while reading too) has it. Asked seldom, gathered when first asked.
    std::optional<std::unordered_set<int64_t>> kept;
    auto keeps = [&](int64_t number) {
        if (!kept) {
            kept.emplace();
            for (size_t row = 0; row < hostRows; ++row) {
                const Rows::Row& rec = ds_plu[row];
                if (rec.org_status != stUsu) kept->insert(NumerNaKasie(rec.opakowanie, rec.plu, rec.Kod()));
            }
        }
        return kept->contains(number);
    };
    // The register's item as a row of its own, deleted by the export.
    auto deleteHeld = [&] {
        reg.status = stUsu;
        reg.from_ecr = true;
        reg.flag = true;
        DodajRec(&reg);
    };
    std::vector<int> rows;
    for (const InPlu& item : ds_inplu) {
        const std::string_view kod = item.kod;
        const std::string_view key = kod.substr(std::min(kod.find_first_not_of('0'), kod.size()));
        reg = VelTowRec();
        reg.kod.assign(stripCode ? key : kod);
        DodInfo2TowRec(item.dodinfo, &reg);
        const int64_t number = NumerNaKasie(reg);
        if (deleted.contains(number)) held.insert(number);
        if (key.empty()) continue;
        // The host's row of the very barcode the register holds comes first:
        // "0123" must not take a host row "123" that stands for another
        // product.
        rows.clear();
        HeldRows(kod, turned, n, rows);
        if (rows.empty() && key.size() != kod.size()) FindRows(key, n, rows);
        // More than one host row would put this barcode into the register,
        // which holds it once: its item is the one under the register's
        // number, failing that the first of them.
        int found = rows.empty() ? -1 : rows.front();
        for (const int row : rows) {
            const Rows::Row& rec = ds_plu[static_cast<size_t>(row)];
            if (NumerNaKasie(rec.opakowanie, rec.plu, rec.Kod()) == number) {
                found = row;
                break;
            }
        }

        if (found < 0) {
            // The register holds goods the host no longer has; those under
            // the number of a host's deletion go with that deletion.
            if (!deleted.contains(number)) deleteHeld();
            continue;
        }
        CzytajRec(found, &host);
        // The register holds the barcode the host deletes under another
        // number, which nothing of the host's keeps: the deletion is carried
        // out once that item is deleted too.
        const bool heldElsewhere = host.status == stUsu && host.opakowanie == reg.opakowanie &&
                                   NumerNaKasie(host) != number && !deleted.contains(number) &&
                                   std::none_of(rows.begin(), rows.end(),
                                                [&](int row) {
                                                    const Rows::Row& rec = ds_plu[static_cast<size_t>(row)];
                                                    return rec.org_status != stUsu && rec.opakowanie == reg.opakowanie;
                                                }) &&
                                   !keeps(number);
        if (heldElsewhere) {
            deleteHeld();
            FUsuwanyDla.emplace(il_rec - 1, found);
            ++FZalegle[found];
        } else {
            ModifyPLUStatus(host, reg);
        }
        host.flag = true;
        ZapiszRec(found, &host);
    }
    // The host's deletions: each goes out when the register holds its
    // number, and is carried out at once when nothing of it is left there.
    for (const auto& [number, row] : deleted) {
        Rows::Row& rec = ds_plu[static_cast<size_t>(row)];
        rec.flag = true;
        const auto waits = FZalegle.find(row);
        if (held.contains(number)) {
            if (waits != FZalegle.end()) ++waits->second;
            continue;
        }
        SetStatus(static_cast<size_t>(row), stNull);
        rec.tr_ok = waits == FZalegle.end();
    }
    // The same goods deleted again: nothing more to send, carried out with the first.
    for (const auto& [row, first] : again) {
        Rows::Row& rec = ds_plu[static_cast<size_t>(row)];
        rec.flag = true;
        SetStatus(static_cast<size_t>(row), stNull);
        rec.tr_ok = ds_plu[static_cast<size_t>(first)].tr_ok;
        if (!rec.tr_ok) FTakze.emplace(first, row);
    }
    // Host goods the register does not hold.
    NieobecneNaKasie(hostRows, RodzajWierszy::Wszystkie);
}

void VelExpBuf::Wykonany(int row)
{
    // A deletion made for a host row is its part of that row's.
    if (const auto made = FUsuwanyDla.find(row); made != FUsuwanyDla.end()) {
        StoredRow(row).tr_ok = true;
        row = made->second;
    }
    const auto waits = FZalegle.find(row);
    if (waits != FZalegle.end() && --waits->second > 0) return;
    if (waits != FZalegle.end()) FZalegle.erase(waits);
    StoredRow(row).tr_ok = true;
    const auto [first, last] = FTakze.equal_range(row);
    for (auto at = first; at != last; ++at) StoredRow(at->second).tr_ok = true;
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
