// The Combo/NEO device action: construction, settings, operation dispatch,
// the host's small device questions and the protocol trace.
#include "cbaction.h"
#include "cbtexts.h"

#include <cerrno>
#include <chrono>
#include <random>

#include "ModemCtl.h"
#include "cbframe.h"
#include "clientsocket.h"

#include "dttools.h"
#include "process_state.h"
#include "sysfiles.h"

TVelComboAction::TVelComboAction(TVelComboLibrary* library, HORVCBARG2 call) : VelAction(library, call)
{
    // A fresh token for every action, so that a register never takes a new
    // command for a repetition of the last one of an earlier call.
    std::minstd_rand random(static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    token = random() % 100;
}

TVelComboAction::~TVelComboAction() = default;

AnsiString TVelComboAction::DriverText(const AnsiString& text) { return ComboText(text); }

AnsiString TVelComboAction::FileModeWord() { return DriverText("PLIK"); }

AnsiString TVelComboAction::NazwaZasobuDzielonego()
{
    const AnsiString port = WartoscParametru("ComboPort");
    if (port != FileModeWord()) return port;
    return FNameEXP();
}

AnsiString TVelComboAction::SerialPortName()
{
    const AnsiString port = WartoscParametru("ComboPort");
    if (Trim(port).empty()) throw Exception(DriverText("Nie podano portu komunikacyjnego (parametr ComboPort)"));
    return port;
}

AnsiString TVelComboAction::WlasciwosciUrzadzenia(int number)
{
    if (number == 1103) return "1";
    if (number == 1101) return "0";
    return "";
}

void TVelComboAction::Operacja(HORVDLLSRODOWISKO* environment, int operation, int parameter)
{
    ReadParams();
    // Before the trace, which goes into the folder too.
    const bool exchangeFiles = operation == -2 || operation == -3 || operation == -5 || operation == -6 ||
                               (operation == -8 && parameter == 6);
    if (exchangeFiles)
        TakeExchangeFolder();
    else if (operation == -1 && TraceWanted())
        WarnOfFolderWithoutSeparator();  // the test's trace goes there
    LogInit();
    switch (operation) {
        case -1: TestConnection(); break;
        case -2: Eksport(); break;
        case -5:
            FTrybOnLine = true;
            Eksport();
            break;
        case -3: Import(); break;
        case -6:
            FTrybOnLine = true;
            Import();
            break;
        case -4: ImportParagonu(); break;
        case -8: DodFuncExecute(parameter); break;
        default: VelAction::Operacja(environment, operation, parameter); return;
    }
    if (environment) environment->Wynik = 0;
}

// The file names follow the exchange folder directly, so a folder given
// without a separator at its end puts the files, and the trace, beside it.
void TVelComboAction::WarnOfFolderWithoutSeparator()
{
    const AnsiString given = KatalogWymiany();
    if (EndsWithPathDelimiter(given) || !DirectoryExists(given)) return;
    const AnsiString folder = ExtractFilePath(given);
    DodajKomunikat(zkOstrzezenie,
                   Format(DriverText("Katalog wymiany \"%s\" nie kończy się separatorem - pliki wymiany trafią do "
                                     "katalogu \"%s\"")
                              .c_str(),
                          FKatalogWymiany.c_str(), (folder.empty() ? AnsiString(".") : folder).c_str()));
}

// Two operations in one exchange folder would read and delete each other's
// files: the second is refused before it touches anything. The folder
// checked and locked is the one the files go to: their names are the
// exchange folder followed directly by the file name, so a folder given
// without a separator at its end puts them beside it.
void TVelComboAction::TakeExchangeFolder()
{
    const AnsiString given = KatalogWymiany();
    const AnsiString folder = ExtractFilePath(given);
    const AnsiString place = folder.empty() ? AnsiString(".") : folder;
    const AnsiString shown = "\"" + place + "\"";
    // The trace makes its folder with every missing parent, and so the
    // exchange folder, which a new device's first import relies on: made
    // here, before it is locked. Without the trace nothing makes it.
    if (TraceWanted() && !folder.empty() && !DirectoryExists(folder) && !ForceDirectories(folder)) {
        const int error = errno;
        throw Exception(DriverText("Nie można utworzyć katalogu wymiany ") + shown + ": " + SysErrorMessage(error));
    }
    WarnOfFolderWithoutSeparator();
    const TFolderLock::Result taken = exchangeLock.Take(folder, "velcombo.lck");
    const AnsiString lockFile = "\"" + exchangeLock.File() + "\"";
    switch (taken) {
        case TFolderLock::fl_Taken:
            return;
        case TFolderLock::fl_Busy:
            throw Exception(DriverText("Katalog wymiany ") + shown +
                            DriverText(" jest zajęty przez inną operację (import lub eksport) - spróbuj później"));
        case TFolderLock::fl_NoFolder:
            if (exchangeLock.Error() == ENOENT) throw Exception(DriverText("Brak katalogu wymiany ") + shown);
            throw Exception(DriverText("Katalog wymiany ") + shown + DriverText(" jest niedostępny: ") +
                            SysErrorMessage(exchangeLock.Error()));
        case TFolderLock::fl_NoLockFile:
            throw Exception(DriverText("Nie można utworzyć pliku blokady ") + lockFile + ": " +
                            SysErrorMessage(exchangeLock.Error()));
        case TFolderLock::fl_NotLocked:
            throw Exception(DriverText("Nie można zablokować pliku ") + lockFile + ": " +
                            SysErrorMessage(exchangeLock.Error()));
        case TFolderLock::fl_NotLockedReadOnly:
            throw Exception(DriverText("Nie można zablokować pliku ") + lockFile +
                            DriverText(", który ten program może tylko czytać: ") +
                            SysErrorMessage(exchangeLock.Error()) +
                            DriverText(" - nadaj wszystkim prawo zapisu do tego pliku"));
    }
}

// A single receipt cannot be fetched from the register: its records come
// only with the whole import.
void TVelComboAction::ImportParagonu()
{
    throw Exception(DriverText("Wykonaj normalny import z kasy z włączonym importem par. szczegółowych"));
}

void TVelComboAction::ReadParams()
{
    const AnsiString port = WartoscParametru("ComboPort");
    if (port == FileModeWord())
        Medium = md_file;
    else if (port == "TCP/IP")
        Medium = md_tcpip;
    else
        Medium = md_rs232;
    MuxChannel = ParamAsInt("ComboKanMul");
    ReadAsortMapFromCfg();
    cfgUseLog = ParamAsInt("ComboDedbug") != 0;
    ProgressTow = ParamAsInt("ComboProgressTow") != 0;
    PoziomCen = ParamAsInt("PoziomCen");
    Sprzedaz_z_paragonow = ParamAsInt("ComboImpMode") != 0;
    towIdParag = ParamAsInt("ComboTowIdParag");
    oneAsortOnly = ParamAsInt("ComboOneAsortOnly") != 0;
    KwKodPocz = ParamAsInt("ComboKwKodPocz");
    KwKodKonc = ParamAsInt("ComboKwKodKonc");
    KwPrzedr = ParamAsInt("ComboKwPrzedr");
    cfgProductFlag = ParamAsInt("ComboProductFlag");
    cfgGroupOverwrite = ParamAsInt("ComboGroupOverwrite") != 0;

    if (towIdParag == id_Barcode && KwKodKonc != KwKodPocz) {
        const AnsiString prefix = Format("%02d", KwPrzedr);
        for (const AnsiString& format : *GetFormatyWazone()) {
            if (format.compare(0, 2, prefix) == 0 && format.size() >= 2) {
                KwFormat = format;
                break;
            }
        }
        if (KwFormat.empty())
            DodajKomunikat(zkOstrzezenie,
                           Format(DriverText("UWAGA! W konfiguracji kasy zdefiniowano format kodów ważonych %02d dla "
                                             "zakresu kodów, lecz nie ma takiego formatu w konfiguracji programu.")
                                      .c_str(),
                                  KwPrzedr));
    }
}

// The trace lives beside the exchange files; without an exchange folder
// there is nowhere of the host's to put it.
bool TVelComboAction::TraceWanted() const { return cfgUseLog && !FKatalogWymiany.empty(); }

void TVelComboAction::LogInit()
{
    if (!TraceWanted()) return;
    const AnsiString folder = KatalogWymiany() + "log";
    if (!DirectoryExists(folder)) ForceDirectories(folder);
    const AnsiString stamp = FormatDateTime("yyyy.mm.dd hh.nn.ss", Now());
    tools.InitDebug(folder + "/NEO_LOG " + stamp + ".TXT", Process().DriverTextTool);
    if (!tools.czy_debug) WarnTraceOff();
}

void TVelComboAction::Log(const AnsiString& prefix, const AnsiString& data)
{
    if (!tools.czy_debug) return;
    tools.DebugIt(prefix, ComboTraceText(data));
    if (!tools.czy_debug) WarnTraceOff();
}

// The user asked for the trace, so its loss is said once, when it stops.
void TVelComboAction::WarnTraceOff()
{
    const AnsiString text = DriverText("Nie można zapisać logu komunikacji do pliku %s, log wyłączono");
    DodajKomunikat(zkOstrzezenie, Format(text.c_str(), tools.dbg_fname.c_str()));
}

void TVelComboAction::ReadAsortMapFromCfg()
{
    asortMap.Clear();
    asortMap.SetText(ReadLongParamEx("ComboAsort", 7));
    for (const AnsiString& line : asortMap) {
        const size_t eq = line.find('=');
        int32_t index = -1;
        if (eq == AnsiString::npos || !TryStrToInt(line.substr(eq + 1), index) || index < 0) {
            asortMap.Clear();
            return;
        }
    }
}

void TVelComboAction::WriteAsortMapToCfg() { WriteLongParamEx("ComboAsort", asortMap.Text(), 6); }
