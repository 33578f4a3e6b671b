// The register's master data from the export buffer: goods groups under
// stable register numbers, units of measure and cashiers.
#include "IdMap.h"
#include "LJWords.h"
#include "VelExpBuf.h"
#include "VelExpRec.h"
#include "cbaction.h"

namespace {
// The register takes group numbers up to 101: indexes 0 to 100.
constexpr int kLastGroupIndex = 100;

// The index the map holds for a group number; -1 when none.
int MapIndex(const TStringList& map, int32_t group)
{
    const AnsiString key = IntToStr(group) + "=";
    for (const AnsiString& line : map) {
        int32_t index = -1;
        if (line.compare(0, key.size(), key) == 0 && TryStrToInt(line.substr(key.size()), index)) return index;
    }
    return -1;
}
}  // namespace

void TVelComboAction::SendAssort()
{
    if (!AnyGoodsToSend()) return;
    const uint8_t ow = cfgGroupOverwrite ? 1 : 0;
    bool refused = false;
    if (oneAsortOnly) {
        MsgAdd(DriverText("Programowanie głównej grupy towarowej"), LPV_None, 100);
        const AnsiString name = DriverText("Grupa główna");
        const AnsiString fields[] = {DataV(1), DataS(name), DataB(ow), DataB(ow)};
        SendAndReceive(CMD_GROUPINS, 4, fields);
        refused = RefusedQuietly(Format(DriverText("Grupa towarowa nr %d \"%s\"").c_str(), 1, name.c_str()));
    } else {
        MsgAdd(DriverText("Programowanie grup towarowych"), LPV_Value, 100);
        VelAsort group;
        AnsiString ids;
        for (int i = 0; i < exp_buf->CountAsort(); ++i) {
            exp_buf->CzytajAsort(i, &group);
            ids += IntToStr(group.nr) + "\r\n";
        }
        IdMap().Initialize(asortMap, ids);
        WriteAsortMapToCfg();
        for (int i = 0; i < exp_buf->CountAsort(); ++i) {
            exp_buf->CzytajAsort(i, &group);
            const int index = MapIndex(asortMap, group.nr);
            if (index < 0 || index > kLastGroupIndex) continue;
            const AnsiString name = TLTools::StrMax(group.nazwa, 20, false);
            MsgP(index + 1);
            const AnsiString record =
                Format(DriverText("Grupa towarowa nr %d \"%s\"").c_str(), index + 1, name.c_str());
            if (HasNul(group.nazwa)) {
                ListRejected(record, DriverText("znak NUL w nazwie"));
                refused = true;
                continue;
            }
            const AnsiString fields[] = {DataV(static_cast<uint16_t>(index + 1)), DataS(name), DataB(ow), DataB(ow)};
            SendAndReceive(CMD_GROUPINS, 4, fields);
            if (RefusedQuietly(record)) refused = true;
        }
    }
    MsgS(refused ? LPV_Error : LPV_Ok);
}

void TVelComboAction::SendJMiary()
{
    if (!AnyGoodsToSend()) return;
    MsgAdd(DriverText("Programowanie jednostek miary"), LPV_Value, 100);
    bool refused = false;
    for (int i = 0; i < exp_buf->jmiary.Count(); ++i) {
        const int32_t number = NumerJednostkiMiary(i);
        TLJWords words = ExpWords(exp_buf->jmiary[i]);
        const AnsiString name = words[2];
        const AnsiString record =
            Format(DriverText("Jednostka miary nr %d \"%s\"").c_str(), number, ExpCytat(name).c_str());
        if (HasNul(name)) {
            ListRejected(record, DriverText("znak NUL w nazwie"));
            refused = true;
            continue;
        }
        const AnsiString fields[] = {DataV(static_cast<uint16_t>(number)), DataS(TLTools::StrMax(name, 24, false)),
                                     DataS(TLTools::StrMax(name, 4, false)), DataB(1)};
        SendAndReceive(CMD_MUINS, 4, fields);
        if (RefusedQuietly(record)) refused = true;
    }
    MsgS(refused ? LPV_Error : LPV_Ok);
}

int32_t TVelComboAction::NumerJednostkiMiary(int i) const
{
    const AnsiString& line = exp_buf->jmiary[i];
    TLJWords words = ExpWords(line);
    int32_t number = 0;
    if (!TryStrToInt(Trim(words[0]), number) || number < 0 || number > 0xFFFF)
        throw Exception(
            Format(DriverText("Nieprawidłowy numer jednostki miary w wierszu \"%s\" (linia %d pliku %s)").c_str(),
                   ExpCytat("JM;" + line).c_str(), exp_buf->LiniaJednostki(i), FNameKEXP().c_str()));
    return number;
}

void TVelComboAction::SendCashiers()
{
    if (ParamAsInt("ComboExpCashier") == 0) return;
    if (protType >= pt_Neo && fiscalMode != fm_NotFiscal) return;
    MsgAdd(DriverText("Programowanie kasjerów..."), LPV_None, 100);
    for (int i = 0; i < exp_buf->CountKasjer(); ++i) {
        // Each cashier on its own: one the register refuses does not keep
        // the others out.
        bool lineAdded = false;
        try {
            VelKasjer* cashier = exp_buf->GetKasjer(i);
            const int number = cashier->GetNumer();
            const AnsiString name = cashier->GetNazwisko();
            const AnsiString id = cashier->GetIdentyfikator(), card = cashier->GetKodKarty();
            if (number < 0 || number > 0xFFFF)
                throw Exception(
                    Format(DriverText("Nieprawidłowy numer kasjera %d (%s)").c_str(), number, ExpCytat(name).c_str()));
            if (HasNul(name) || HasNul(id) || HasNul(card))
                throw Exception(Format(DriverText("Kasjer nr %d \"%s\": znak NUL w danych kasjera").c_str(), number,
                                       ExpCytat(name).c_str()));
            MsgAdd(Format("- Nr: %02d, Nazwa: %s", number, ExpCytat(name).c_str()), LPV_None, 100);
            lineAdded = true;
            const uint16_t rights = cashier->GetPoziomUprawnien() == 0 ? 0xFFFE : 0xFFFF;
            const AnsiString fields[] = {DataV(static_cast<uint16_t>(number)),
                                         DataS(TLTools::StrMax(name, 24, false)),
                                         DataS(TLTools::StrMax(id, 8, false)),
                                         DataS(TLTools::StrMax(card, 16, false)),
                                         DataS(""),
                                         DataV(rights),
                                         DataB(255),
                                         DataB(6),
                                         DataB(1),
                                         DataB(1)};
            SendAndReceive(CMD_USERINS, 10, fields);
            const AnsiString record = Format(DriverText("Kasjer nr %d \"%s\"").c_str(), number, ExpCytat(name).c_str());
            MsgS(RefusedQuietly(record) ? LPV_Error : LPV_Ok);
        } catch (const Exception& e) {
            if (lineAdded) MsgS(LPV_Error);
            MsgAdd(e.Message(), LPV_Error, 100);
        }
    }
}
