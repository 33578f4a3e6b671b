// The register's goods imported into the host (service function 6): the
// VAT rates, groups, units, packages and goods are read, every package and
// goods record is handed to the host through callback 33, the results are
// counted and, when the user asked for it, the import is logged to
// "import.log".
#include "cbaction.h"
#include "cberrors.h"
#include "dttools.h"
#include "sysfiles.h"

namespace {

// The rate of a goods record until its slot is looked up; logged as it is
// when the register has no rate for the slot.
constexpr int kNoRate = -999;

// What one import reads before the goods, all dropped at its end.
struct ImportTables {
    std::vector<int32_t> vat;  // by the register's slot
    std::vector<AnsiString> groupNumbers, groupNames;
    std::vector<AnsiString> unitNumbers, unitNames;
    std::vector<AnsiString> packageNumbers, packageBarcodes;
};

// The entry of `values` at the place where `numbers` holds `number`; empty when none does.
AnsiString Lookup(const std::vector<AnsiString>& numbers, const std::vector<AnsiString>& values, int number)
{
    for (size_t i = 0; i < numbers.size(); ++i)
        if (numbers[i] == IntToStr(number)) return values[i];
    return "";
}

// One record handed to the host: the arguments of callback 33 in their order.
struct HostGoods {
    AnsiString name;
    int number = 0;
    AnsiString codes;
    int overwrite = 0;
    AnsiString group, unit;
    int vat = 0;
    double price = 0;
    int openPrice = 0;
    int package = 0;
    AnsiString packageCode;
};

}  // namespace

void TVelComboAction::ImportPluF7() { InOwnSession(&TVelComboAction::ImportPlu); }

void TVelComboAction::ImportPlu()
{
    importOverwrite = Trim(WartoscParametru("ComboImportOverWrite")) == "TRUE";
    importLogFile = Trim(WartoscParametru("ComboImportLogSave")) == "TRUE";
    MsgAdd(DriverText("Import towarów z kasy"), LPV_None, 100);

    ImportTables t;
    AnsiString log;
    int read = 0, errors = 0, skipped = 0, added = 0, updated = 0;
    // The log line of one record and the host's result for it.
    auto logLine = [&](const HostGoods& g, int result) {
        if (!importLogFile) return;
        const char* const words[] = {"BLAD", "POMINIETY", "DODANO", "AKTUALIZACJA", "NIEZNANY"};
        const int word = result >= -1 && result <= 2 ? result + 1 : 4;
        const AnsiString undefined = DriverText("NIE_ZDEFINIOWANO");
        log += Format("%s,%d,%s,%s,%s,%d,%.2f,%s,%s,%s,%s\r\n", g.name.c_str(), g.number, g.codes.c_str(),
                      (g.group.empty() ? undefined : g.group).c_str(), (g.unit.empty() ? undefined : g.unit).c_str(),
                      g.vat, g.price, DriverText(g.openPrice == 1 ? "Tak" : "Nie").c_str(),
                      DriverText(g.package ? "Tak" : "Nie").c_str(),
                      (g.packageCode.empty() ? DriverText("BRAK") : g.packageCode).c_str(),
                      DriverText(words[word]).c_str());
    };
    auto handOver = [&](const HostGoods& g) {
        const int result = DodajTowarZKasy(g.name, g.number, g.codes, g.overwrite, g.group, g.unit, g.vat, g.price,
                                           g.price, g.price, g.price, g.openPrice, g.package, g.packageCode);
        logLine(g, result);
        return result;
    };
    // Reads one of the two name lists: numbers and names of its records.
    auto readNames = [&](const char* text, int contextCmd, int readCmd, std::vector<AnsiString>& numbers,
                         std::vector<AnsiString>& names) {
        MsgAdd(DriverText(text), LPV_Value, 100);
        int counter = 0;
        ReadList(contextCmd, {DataB(0), DataB(0)}, readCmd, {DataV(0)}, {kEndOfList}, [&] {
            Progress(counter);
            ThrowPrzerwac();
            numbers.push_back(IntToStr(DataSet[0].AsV()));
            names.push_back(DataSet[1].AsS());
        });
        MsgP(counter);
    };

    try {
        MsgAdd(DriverText(" - trwa odczyt stawek VAT..."), LPV_Value, 100);
        SendAndReceive(CMD_VATGET);
        // A refusal's fields are no rate table.
        FailOnQuietRefusal();
        MsgS(LPV_Ok);
        int counter = 0;
        for (int i = 0; i < DataSet.Count(); ++i) {
            Progress(counter);
            ThrowPrzerwac();
            const uint16_t rate = DataSet[i].AsV();
            t.vat.push_back(rate == 65534 ? -1 : rate == 65535 ? 0 : rate);
            MsgP(counter);
        }
        readNames(" - trwa odczyt asortymentów...", CMD_CNTXGROUPINIT, CMD_GROUPREAD, t.groupNumbers, t.groupNames);
        readNames(" - trwa odczyt jednostek miary...", CMD_CNTXMUINIT, CMD_MUREAD, t.unitNumbers, t.unitNames);

        MsgAdd(DriverText(" - trwa odczyt opakowań..."), LPV_Value, 100);
        if (importLogFile)
            log = DriverText("\r\n------------ [IMPORT WYKONANY DNIA: ") + TdtTools(Now()).ToString(fmt4YDateTime) +
                  "] ------------\r\n" +
                  DriverText("<NAZWA_TOWARU>,<PLU>,<KODY>,<ASORTYMENT>,<JEDNOSTA_MIARY>,<STAWKA>,<CENA>,"
                             "<CENA_OTWARTA>,<OPAKOWANIE>,<KOD_OPAKOWANIA>,<WYNIK_OPERACJI>\r\n");
        counter = 0;
        ReadList(CMD_CNTXPACKINIT, {DataB(0), DataB(0)}, CMD_PACKREAD, {DataV(0)}, {kEndOfList}, [&] {
            const TComboDataSet& d = DataSet;
            const HostGoods g{.name = d[1].AsS(),
                              .number = d[0].AsV(),
                              .codes = d[2].AsS(),
                              .overwrite = importOverwrite ? 1 : 0,
                              .group = "OPAKOWANIA",
                              .unit = "opak",
                              .vat = -1,
                              .price = d[3].AsN() / 100.0,
                              .openPrice = d[5].AsB() == 0 ? 1 : 0,
                              .package = 1,
                              .packageCode = ""};
            handOver(g);
            t.packageNumbers.push_back(IntToStr(g.number));
            t.packageBarcodes.push_back(g.codes);
            Progress(counter);
            ThrowPrzerwac();
        });
        MsgP(counter);

        MsgAdd(DriverText(" - trwa odczyt towarów..."), LPV_None, 100);
        ReadList(CMD_CNTXPLUINIT, {DataB(0), DataB(0)}, CMD_PLUREAD, {DataV(0), DataB(1)}, {kEndOfList}, [&] {
            const TComboDataSet& d = DataSet;
            if (d[4].AsB() != 0) return;  // a set
            HostGoods g{.name = d[1].AsS(),
                        .number = d[0].AsV(),
                        .codes = d[2].AsS(),
                        .overwrite = importOverwrite ? 1 : 0,
                        .group = Lookup(t.groupNumbers, t.groupNames, d[12].AsB()),
                        .unit = Lookup(t.unitNumbers, t.unitNames, d[8].AsB()),
                        .vat = kNoRate,
                        .price = d[6].AsN() / 100.0,
                        .openPrice = d[10].AsB() == 0 ? 1 : 0,
                        .package = 0,
                        .packageCode = d[7].AsB() ? Lookup(t.packageNumbers, t.packageBarcodes, d[7].AsB()) : ""};
            for (int i = 15; i < d.Count(); ++i) g.codes += ";" + d[i].AsS();
            int result = -1;
            const uint8_t slot = d[5].AsB();
            if (slot < t.vat.size()) {
                g.vat = t.vat[slot];
                result = handOver(g);
            } else {
                // No rate stands for the slot: the record cannot be handed over.
                MsgAdd(Format("%s%d%s%d%s", DriverText("Towar PLU ").c_str(), g.number,
                              DriverText(": stawka VAT nr ").c_str(), slot,
                              DriverText(" spoza tablicy stawek kasy").c_str()),
                       LPV_Warning, 100);
                logLine(g, result);
            }
            errors += result == -1;
            skipped += result == 0;
            added += result == 1;
            updated += result == 2;
            if (result == -1 || result == 0) MsgAdd(DriverText(" - odczyt towarów kontynuowany..."), LPV_None, 100);
            ++read;
            ThrowPrzerwac();
        });
    } catch (...) {
        MsgS(LPV_Error);
        // What the host already took stays on record, with the failure.
        if (importLogFile && !log.empty()) {
            AnsiString reason = DriverText("nieznany błąd");
            try {
                throw;
            } catch (const std::exception& e) {
                reason = e.what();
            } catch (...) {
            }
            log += DriverText("IMPORT PRZERWANY: ") + reason + "\r\n";
            try {
                TLTools::BufToFileEx(log, FNameLOG(), WorkingFileName(FNameLOG()), GetLgLink(), true);
            } catch (...) {
            }
        }
        throw;
    }

    MsgAdd(DriverText("Odczytano towarów"), LPV_Value, 100);
    MsgP(read);
    MsgAdd(DriverText(" - pominiętych (w tym ") + IntToStr(errors) + DriverText(" z błędem)"), LPV_Value, 100);
    MsgP(skipped + errors);
    MsgAdd(DriverText(" - dodanych"), LPV_Value, 100);
    MsgP(added);
    MsgAdd(DriverText(" - zaktualizowanych"), LPV_Value, 100);
    MsgP(updated);
    if (importLogFile) {
        MsgAdd(DriverText("Zapis logu importu do pliku: ") + FNameLOG(), LPV_None, 100);
        TLTools::BufToFileEx(log, FNameLOG(), WorkingFileName(FNameLOG()), GetLgLink(), true);
    }
}
