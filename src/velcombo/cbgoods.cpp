// Goods and packages programmed on the register during an export: four
// passes over the export buffer (goods deleted, packages deleted, packages
// programmed, goods programmed), one command per row. A row the register
// refuses, or one that cannot be put into the register's fields at all, is
// listed as rejected and the pass goes on.
#include <algorithm>
#include <array>
#include <cstdint>

#include "VelExpBuf.h"
#include "cbaction.h"
#include "cberrors.h"
#include "cbframe.h"

namespace {

constexpr int kMaxPackageLink = 65;
// A package code that is no number goes to this package, as the register
// family has always had it.
constexpr int32_t kPackageOfNoNumber = 99;

bool IsDecimal(const AnsiString& text)
{
    size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    if (i == text.size()) return false;
    for (; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

// The package number of a host package code in the register's byte field;
// -1 when the code is a number that does not fit it.
int32_t PackageNumber(const AnsiString& kod)
{
    if (!IsDecimal(kod)) return kPackageOfNoNumber;
    int64_t n = 0;
    if (!TryStrToInt64(kod, n) || n < 0 || n > UINT8_MAX) return -1;
    return static_cast<int32_t>(n);
}

bool FitsPluField(int32_t plu) { return plu >= 0 && plu <= UINT16_MAX; }
bool FitsByte(int32_t value)
{
    return value >= 0 && value <= UINT8_MAX;
}

}  // namespace

void TVelComboAction::SendPluRecs(e_SendType pass)
{
    static const char* const kTexts[] = {"Usuwanie towarów...", "Usuwanie opakowań...", "Programowanie towarów...",
                                         "Programowanie opakowań..."};
    // An export of master data alone still shows each pass, with nothing sent.
    if (Medium == md_file || !exp_buf) return;
    int counter = 0;
    MsgAdd(DriverText(kTexts[pass]), LPV_Value, 100);
    try {
        const int rows = exp_buf->il_rec;
        for (int row = 0; row < rows; ++row) {
            ThrowPrzerwac();
            if (exp_buf->PluStatus(row) == stNull) continue;
            VelTowRec rec;
            exp_buf->CzytajRec(row, &rec);
            const bool program = rec.status == stDod || rec.status == stAkt || rec.status == stCen;
            const bool remove = rec.status == stUsu;
            AnsiString refusal;
            if (pass == st_delPlu && remove && !rec.opakowanie)
                refusal = DeletePluRec(rec);
            else if (pass == st_delOpak && remove && rec.opakowanie)
                refusal = DeleteOpakRec(rec);
            else if (pass == st_prgPlu && program && !rec.opakowanie)
                refusal = SendPluRec(rec);
            else if (pass == st_prgOpak && program && rec.opakowanie)
                refusal = SendOpakRec(rec);
            else
                continue;

            ++counter;
            if (counter % 10 == 0 || ProgressTow) MsgP(counter);
            // Goods a deletion does not find are gone, as the host asked: a
            // run stopped after its deletions sends them again. Goods seen in
            // the register's list moments ago are not: they stay, refused.
            const bool gone = remove && last_err_wyk == kNoSuchRecord && !exp_buf->ListaZKasy();
            if (refusal.empty() && last_err_trn == 0 && (last_err_wyk == 0 || gone)) {
                exp_buf->Wykonany(row);
                continue;
            }
            if (refusal.empty()) {
                if (last_err_trn != 0) refusal = ComboTrnErrMsg(last_err_trn);
                if (last_err_wyk != 0) refusal = ComboWykErrMsg(last_err_wyk);
            }
            ListRejected(rec.OpisOdrzuconego(), refusal);
        }
    } catch (...) {
        MsgP(counter);
        MsgS(LPV_Error);
        throw;
    }
    MsgP(counter);
    MsgS(LPV_Ok);
}

AnsiString TVelComboAction::PluRecRefusal(const VelTowRec& rec, int32_t* price)
{
    if (!FitsPluField(rec.plu)) return Format(DriverText("numer PLU %d poza zakresem 0-65535").c_str(), rec.plu);
    if (price && !CenaNaKase(rec.CenaAkt(PoziomCen), *price))
        return Format(DriverText("cena %.15g poza zakresem liczby 32-bitowej").c_str(), rec.CenaAkt(PoziomCen));
    return "";
}

AnsiString TVelComboAction::OpakRecRefusal(const VelTowRec& rec, int32_t& number, int32_t* price)
{
    number = PackageNumber(rec.kod);
    if (number < 0)
        return Format(DriverText("kod opakowania %s poza zakresem 0-255").c_str(), ExpCytat(rec.kod).c_str());
    if (price && !CenaNaKase(rec.CenaAkt(PoziomCen), *price))
        return Format(DriverText("cena %.15g poza zakresem liczby 32-bitowej").c_str(), rec.CenaAkt(PoziomCen));
    return "";
}

AnsiString TVelComboAction::TextsRefusal(const VelTowRec& rec)
{
    if (HasNul(rec.nazwa)) return DriverText("znak NUL w nazwie");
    if (HasNul(rec.kod)) return DriverText("znak NUL w kodzie");
    return "";
}

AnsiString TVelComboAction::NazwaNaKase(const AnsiString& nazwa) const
{
    int length = 24;
    if (protType >= pt_Neo201)
        length = 40;
    else if (protType == pt_Mobile || protType == pt_Bingo)
        length = 16;
    return TLTools::StrMax(nazwa, length, false);
}

int TVelComboAction::GrupaNaKase(int32_t nrAsort) const
{
    if (oneAsortOnly) return 1;
    const AnsiString key = IntToStr(nrAsort) + "=";
    for (const AnsiString& line : asortMap) {
        if (line.compare(0, key.size(), key) != 0) continue;
        int32_t index = 0;
        // A group the map cannot tell goes to the first one.
        return TryStrToInt(line.substr(key.size()), index) && static_cast<uint32_t>(index) < UINT8_MAX ? index + 1 : 1;
    }
    return 1;
}

void TVelComboAction::PokazWiersz(const char* rodzaj, const VelTowRec& rec)
{
    if (ProgressTow)
        MsgAdd(Format("%s Kod: %s, Nazwa: %s", rodzaj, ExpCytat(rec.kod).c_str(), ExpCytat(rec.nazwa).c_str()),
               LPV_Value, 100);
}

AnsiString TVelComboAction::SendPluRec(VelTowRec rec)
{
    PokazWiersz("PRG_TOW", rec);
    if (rec.status == stCen) {
        int32_t price = 0;
        const AnsiString refusal = PluRecRefusal(rec, &price);
        if (!refusal.empty()) return refusal;
        const AnsiString fields[] = {DataV(static_cast<uint16_t>(rec.plu)), DataN(price)};
        SendAndReceive(CMD_PLUPRICEUPDATE, 2, fields);
        return "";
    }
    std::array<AnsiString, 16> fields;
    const AnsiString refusal = PluInsFields(rec, fields);
    return refusal.empty() ? SendWhole(CMD_PLUINS, 16, fields.data()) : refusal;
}

AnsiString TVelComboAction::PluInsFields(const VelTowRec& rec, std::array<AnsiString, 16>& fields)
{
    int32_t price = 0;
    AnsiString refusal = PluRecRefusal(rec, &price);
    if (refusal.empty()) refusal = TextsRefusal(rec);
    if (!refusal.empty()) return refusal;
    // A unit or precision past a byte would be taken as another one.
    if (!FitsByte(rec.jedn))
        return Format(DriverText("numer jednostki miary %d poza zakresem 0-255").c_str(), rec.jedn);
    if (!FitsByte(rec.precyzja)) return Format(DriverText("precyzja %d poza zakresem 0-255").c_str(), rec.precyzja);
    int32_t package = 0;
    if (!rec.kod_opakowania.empty()) package = StrToIntDef(rec.kod_opakowania, 0);
    if (package < 0 || package > kMaxPackageLink) package = 0;
    const uint8_t noDiscount = cfgProductFlag == 0 && rec.dod_rabat_tow == 0.0 ? 1 : 0;
    fields = {DataV(static_cast<uint16_t>(rec.plu)),
              DataS(NazwaNaKase(rec.nazwa)),
              DataS(FormatujBarkodNaKase(rec.kod)),
              DataN(price),
              DataN(0),
              DataB(static_cast<uint8_t>(package)),
              DataB(static_cast<uint8_t>(rec.jedn)),
              DataB(0),
              DataB(static_cast<uint8_t>(GrupaNaKase(rec.nr_asort))),
              DataB(static_cast<uint8_t>(NumerStawkiPrec(rec.stawkaPrec))),
              DataB(static_cast<uint8_t>(rec.precyzja)),
              DataB(rec.cena_otwarta ? 0 : 1),
              DataB(noDiscount),
              DataB(0),
              DataB(1),
              DataB(0)};
    return "";
}

AnsiString TVelComboAction::SendOpakRec(VelTowRec rec)
{
    PokazWiersz("PRG_OPA", rec);
    std::array<AnsiString, 8> fields;
    const AnsiString refusal = PackInsFields(rec, fields);
    return refusal.empty() ? SendWhole(CMD_PACKINS, 8, fields.data()) : refusal;
}

AnsiString TVelComboAction::FrameRefusal(int n, const AnsiString* fields)
{
    const size_t size = ComboFrameSize(n, fields);
    return size > CB_MAX_FRAME_SIZE ? ComboFrameTooLongText(size) : AnsiString();
}

AnsiString TVelComboAction::SendWhole(int cmd, int n, const AnsiString* fields)
{
    const AnsiString refusal = FrameRefusal(n, fields);
    if (refusal.empty()) SendAndReceive(cmd, n, fields);
    return refusal;
}

AnsiString TVelComboAction::PackInsFields(const VelTowRec& rec, std::array<AnsiString, 8>& fields)
{
    int32_t number = 0;
    int32_t price = 0;
    AnsiString refusal = OpakRecRefusal(rec, number, &price);
    if (refusal.empty()) refusal = TextsRefusal(rec);
    if (!refusal.empty()) return refusal;
    fields = {DataV(static_cast<uint16_t>(number)),
              DataS(NazwaNaKase(rec.nazwa)),
              DataS(rec.kod),
              DataN(price),
              DataN(0),
              DataB(rec.cena_otwarta ? 0 : 1),
              DataB(1),
              DataB(0)};
    return "";
}

AnsiString TVelComboAction::DeletePluRec(VelTowRec rec)
{
    PokazWiersz("USU_TOW", rec);
    const AnsiString refusal = PluRecRefusal(rec, nullptr);
    if (!refusal.empty()) return refusal;
    const AnsiString fields[] = {DataV(static_cast<uint16_t>(rec.plu)), DataB(0), DataB(0)};
    SendAndReceive(CMD_PLUDEL, 3, fields);
    return "";
}

AnsiString TVelComboAction::DeleteOpakRec(VelTowRec rec)
{
    PokazWiersz("USU_OPA", rec);
    int32_t number = 0;
    const AnsiString refusal = OpakRecRefusal(rec, number, nullptr);
    if (!refusal.empty()) return refusal;
    const AnsiString fields[] = {DataV(static_cast<uint16_t>(number)), DataB(0), DataB(0)};
    SendAndReceive(CMD_PACKDEL, 3, fields);
    return "";
}

AnsiString TVelComboAction::FormatujBarkodNaKase(const AnsiString& kod) const
{
    if (kod.find('?') == AnsiString::npos) return kod;
    AnsiString code;
    for (char c : kod)
        if (c != '?') code.push_back(c);
    // The NEO 1.01 takes the goods number alone: without the template's
    // two-digit prefix (however short the template) and its leading zeros.
    if (protType == pt_Neo) code = TLTools::BezZerWiodacych(code.erase(0, std::min<size_t>(2, code.size())));
    return code;
}
