// The register's goods and packages read back into "combo.tow" and handed to
// the export buffer for reconciliation; the register's goods base cleared and
// its sales zeroed.
#include "VelExpBuf.h"
#include "cbaction.h"
#include "cberrors.h"
#include "sysfiles.h"
#include "xtools.h"

namespace {

AnsiString WithoutSemicolons(AnsiString text)
{
    std::erase(text, ';');
    return text;
}

// The key a read-back line is reconciled by: its main barcode column.
AnsiString BarcodeColumn(const AnsiString& line) { return Trim(TxTools(line).SelectWord(3, ";")); }

}  // namespace

AnsiString TVelComboAction::FNameTOW() const { return KatalogWymiany() + "combo.tow"; }

void TVelComboAction::SetTowFileHeader(AnsiString& text)
{
    text = "#\r\n";
    text += DriverText("# Format pliku nie jest zgodny z KASA.EXP!\r\n");
    text += "# TOW;<plu>;<nazwa>;<kod_kresk_gl>;<min_stan_mag>;<czy_zestaw>;<vat>;<cena>;<nr_opak>;<nr_jm>;"
            "<format_il>;<flaga_c_sztyw>;<nr_rabatu>;<nr_grupy_tow>;<flaga_zezw_rab>;<il_kod_kresk>\r\n"
            "# ZES;<plu>;<nazwa>;<kod_kresk_gl>;<min_stan_mag>;<czy_zestaw>;<vat>;      ;         ;       ;"
            "           ;               ;<nr_rabatu>;              ;<flaga_zezw_rab>;<il_kod_kresk>\r\n"
            "# OPA;<nr_opak>;<nazwa>;<kod_kresk>;<cena>;<min_stan_mag>;<flaga_c_sztywnej>\r\n"
            "#\r\n";
}

AnsiString TVelComboAction::ParsePluLine()
{
    const TComboDataSet& d = DataSet;
    const AnsiString name = WithoutSemicolons(d[1].AsS());
    const AnsiString barcode = d[2].AsS();
    if (d[4].AsB() != 0)
        return Format("ZES;%d;%s;%s;%ld;%d;%d; ; ; ; ; ;%d; ;%d;%d\r\n", d[0].AsV(), name.c_str(), barcode.c_str(),
                      static_cast<long>(d[3].AsN()), d[4].AsB(), d[5].AsB(), d[6].AsB(), d[7].AsB(), d[8].AsV());
    return Format("TOW;%d;%s;%s;%ld;%d;%d;%ld;%d;%d;%d;%d;%d;%d;%d;%d\r\n", d[0].AsV(), name.c_str(), barcode.c_str(),
                  static_cast<long>(d[3].AsN()), d[4].AsB(), d[5].AsB(), static_cast<long>(d[6].AsN()), d[7].AsB(),
                  d[8].AsB(), d[9].AsB(), d[10].AsB(), d[11].AsB(), d[12].AsB(), d[13].AsB(), d[14].AsV());
}

AnsiString TVelComboAction::ParseOpakLine()
{
    const TComboDataSet& d = DataSet;
    return Format("OPA;%d;%s;%s;%ld;%ld;%d\r\n", d[0].AsV(), WithoutSemicolons(d[1].AsS()).c_str(),
                  d[2].AsS().c_str(), static_cast<long>(d[3].AsN()), static_cast<long>(d[4].AsN()), d[5].AsB());
}

void TVelComboAction::ReadTowToFile(const AnsiString& path)
{
    SetTowFileHeader(buffer);
    try {
        ReadArticles();
        ReadPackages();
    } catch (...) {
        // What was read stays on record; the read's own failure is the one reported.
        try {
            TLTools::BufToFileEx(buffer, path, WorkingFileName(path), GetLgLink(), false);
        } catch (...) {
        }
        throw;
    }
    TLTools::BufToFileEx(buffer, path, WorkingFileName(path), GetLgLink(), false);
}

void TVelComboAction::CancelPluList()
{
    if (Medium == md_file) return;
    ReadTowToFile(FNameTOW());
    MsgAdd(DriverText(" - analiza towarów z otrzymanych z kasy (czekaj) ..."), LPV_None, 100);
    if (exp_buf) exp_buf->AnalizujCancelBufor(false);
    MsgS(LPV_Ok);
}

void TVelComboAction::ReadArticles()
{
    MsgAdd(DriverText(" - odczyt towarów z kasy ..."), LPV_Value, 100);
    int counter = 0;
    try {
        ReadList(CMD_CNTXPLUINIT, {DataB(0), DataB(0)}, CMD_PLUREAD, {DataV(0), DataB(1)}, {kEndOfList}, [&] {
            Progress(counter);
            ThrowPrzerwac();
            const AnsiString line = ParsePluLine();
            buffer += line;
            if (exp_buf) exp_buf->AddInPlu(BarcodeColumn(line), line);
        });
    } catch (...) {
        MsgS(LPV_Error);
        throw;
    }
    MsgP(counter);
}

void TVelComboAction::ReadPackages()
{
    MsgAdd(DriverText(" - odczyt opakowań z kasy ..."), LPV_Value, 100);
    int counter = 0;
    try {
        ReadList(CMD_CNTXPACKINIT, {DataB(0), DataB(0)}, CMD_PACKREAD, {DataV(0)}, {kEndOfList, kNoSuchRecord}, [&] {
            Progress(counter);
            const AnsiString line = ParseOpakLine();
            buffer += line;
            // A package is programmed with the host's code as its barcode, so
            // that column finds the host's row again.
            if (exp_buf) exp_buf->AddInPlu(BarcodeColumn(line), line);
        });
    } catch (...) {
        MsgS(LPV_Error);
        throw;
    }
    MsgP(counter);
}

AnsiString TVelComboAction::ResetAllPlu()
{
    try {
        ThrowPrzerwac();
        // An export's rows are all new to a cleared register: a price change
        // or an update of goods it no longer holds would be refused and the
        // goods lost, and a deletion is done as soon as the clearing is.
        ClearAll(DriverText("Czyszczenie bazy towarów..."), CMD_PLUDELALL, {DataB(0)});
        if (exp_buf) exp_buf->PoWyczyszczeniuKasy(VelExpBuf::RodzajWierszy::Towary);
        // The goods are gone already: a refusal here must not end an export
        // before it programs them again.
        if (const AnsiString refusal =
                TryClearAll(DriverText("Czyszczenie bazy opakowań..."), CMD_PACKDELALL, {DataB(0)});
            !refusal.empty()) {
            MsgS(LPV_Error);
            return refusal;
        }
        if (exp_buf) exp_buf->PoWyczyszczeniuKasy(VelExpBuf::RodzajWierszy::Opakowania);
    } catch (...) {
        MsgS(LPV_Error);
        ClosePortAfterFailure();
        throw;
    }
    return "";
}

void TVelComboAction::ResetSale()
{
    try {
        ClearAll(DriverText("Zerowanie sprzedaży towarów na kasie..."), CMD_PLUSTATCLEARALL, {DataB(1), DataB(1)});
        ClearAll(DriverText("Zerowanie sprzedaży opakowań na kasie..."), CMD_PACKSTATCLEARALL, {DataB(1)});
    } catch (...) {
        MsgS(LPV_Error);
        throw;
    }
}

void TVelComboAction::ClearAll(const AnsiString& text, int cmd, const std::vector<AnsiString>& fields)
{
    if (const AnsiString refusal = TryClearAll(text, cmd, fields); !refusal.empty()) throw Exception(refusal);
}

AnsiString TVelComboAction::TryClearAll(const AnsiString& text, int cmd, const std::vector<AnsiString>& fields)
{
    MsgAdd(text, LPV_None, 100);
    SendAndReceive(cmd, static_cast<int>(fields.size()), fields.data());
    if (last_err_wyk != 0) return ComboWykErrMsg(last_err_wyk);
    MsgS(LPV_Ok);
    return "";
}
