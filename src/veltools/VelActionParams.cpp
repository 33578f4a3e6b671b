// Parameters and host data: everything an action asks of the host or hands to it.
#include <fcntl.h>
#include <cerrno>
#include <algorithm>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "VelActionBase.h"
#include "VelLib.h"
#include "clock.h"
#include "dttools.h"
#include "sysfiles.h"

AnsiString TVelActionBase::WartoscParametru(const AnsiString& name)
{
    return FLibrary ? FLibrary->WartoscParametru(this, name) : "";
}

int32_t TVelActionBase::ParamAsInt(const AnsiString& name) { return StrToIntDef(Trim(WartoscParametru(name)), 0); }

TDateTime TVelActionBase::ParamAsDate(const AnsiString& name)
{
    TdtTools date;
    if (!date.TryFromString(Trim(WartoscParametru(name)), fmtDateTimeCompressed)) return Date();
    return date.Date();
}

namespace {
// Writes a probe file of our own into the folder, one that leaves nothing
// behind whatever stops the run: a file without a name where the file
// system makes one, else a name of this process's own (no file of the
// user's is touched) that the next probe of the folder removes if this
// process ends before it does.
bool CanWriteInto(const AnsiString& folder)
{
    AnsiString dir = folder;
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += "/";
    int fd = open(dir.empty() ? "." : dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    AnsiString named;
    // EISDIR: a kernel that knows no such files.
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR)) {
        const AnsiString base = dir + "velcombo.probe";
        RemoveFilesOfEndedProcesses(base);
        named = ProcessFileName(base);
        fd = open(named.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    }
    if (fd < 0) return false;
    const bool written = write(fd, "test", 4) == 4;
    close(fd);
    if (!named.empty()) unlink(named.c_str());
    return written;
}
bool NamesWindowsDrive(const AnsiString& value)
{
    return value.size() >= 2 && value[1] == ':' && (value[0] | 0x20) >= 'a' && (value[0] | 0x20) <= 'z';
}
// A folder of this system's host: "\" in it separates like "/".
AnsiString SystemPath(const AnsiString& value)
{
    AnsiString path = value;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}
// True when the byte at i ends a line (LF, or a CR not followed by LF).
bool EndsLine(const AnsiString& text, size_t i)
{
    return text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'));
}
}  // namespace

AnsiString TVelActionBase::ParamAsDir(const AnsiString& name)
{
    const AnsiString value = WartoscParametru(name);
    // The host's answer is cut to its buffer: a folder that fills it may be
    // the beginning of a longer one, which files must not go to.
    if (value.size() >= ORV_TEXT_SIZE - 1)
        throw Exception(Txt("Parametr '") + name + Txt("' ma ") + IntToStr(static_cast<int>(value.size())) +
                        Txt(" znaków i wypełnia cały bufor programu, więc mógł zostać obcięty: podaj krótszy katalog"));
    // A drive name is left in a folder value only by a catalogue default
    // computed without the binaries folder: used as a path here it would
    // create a folder literally named so in the host's working folder.
    if (NamesWindowsDrive(value))
        throw Exception(Txt("Parametr '") + name + Txt("' wskazuje katalog Windows ") + "\"" + value + "\"" +
                        Txt(": podaj katalog tego systemu lub ustaw zmienną środowiskową ORVWIN_BINARIA"));
    const AnsiString folder = SystemPath(value);
    if (!DirectoryExists(folder)) {
        MsgAdd(Txt("Katalog ") + "\"" + value + "\"" + Txt(" nie istnieje, próba utworzenia"), LPV_None, 100);
        ForceDirectories(folder);
        if (!DirectoryExists(folder)) throw Exception(Txt("Próba utworzenia katalogu zakończona błędem"));
    }
    if (!CanWriteInto(folder))
        throw Exception(Txt("Orvena nie ma uprawnień do zapisu w katalogu ") + "\"" + value + "\"" +
                        Txt(", nadaj uprawnienia aby kontynuować"));
    return folder;
}

AnsiString TVelActionBase::ParamAsPath(const AnsiString& name)
{
    const AnsiString value = WartoscParametru(name);
    return NamesWindowsDrive(value) ? AnsiString() : SystemPath(value);
}

AnsiString TVelActionBase::KatalogWymiany() const
{
    // The host's answer is cut to its buffer: a folder that fills it may be
    // the beginning of a longer one, and its files would land in the parent
    // folder under names beginning with the cut folder's.
    if (FKatalogWymiany.size() >= ORV_FOLDER_SIZE - 1)
        throw Exception(Txt("Katalog wymiany urządzenia ma ") + IntToStr(static_cast<int>(FKatalogWymiany.size())) +
                        Txt(" znaków i wypełnia cały bufor programu, więc mógł zostać obcięty: podaj krótszy katalog ") +
                        "\"" + FKatalogWymiany + "\"");
    // As with the folder values: used as a path, a drive name would put files
    // named after it into the host's working folder.
    if (NamesWindowsDrive(FKatalogWymiany))
        throw Exception(Txt("Katalog wymiany urządzenia ") + "\"" + FKatalogWymiany + "\"" +
                        Txt(" wskazuje katalog Windows: podaj w programie katalog tego systemu"));
    return SystemPath(FKatalogWymiany);
}

void TVelActionBase::ReadParamEx(const AnsiString& shortName, AnsiString& value)
{
    value = WartoscParametru(TVelLibrary::NazwaZTypem(shortName));
}

void TVelActionBase::WriteParamEx(const AnsiString& shortName, const AnsiString& value)
{
    ZmienParametr(TVelLibrary::NazwaZTypem(shortName), value);
}

AnsiString TVelActionBase::ReadLongParamEx(const AnsiString& shortName, int count)
{
    AnsiString value;
    for (int i = 1; i <= count; ++i) {
        AnsiString part;
        ReadParamEx(shortName + IntToStr(i), part);
        value += part;
    }
    return value;
}

void TVelActionBase::WriteLongParamEx(const AnsiString& shortName, const AnsiString& value, int count)
{
    const size_t room = count > 0 ? static_cast<size_t>(count) * LongParamPartSize : 0;
    AnsiString rest = value;
    if (rest.size() > room) {
        // A value read back line by line (the group map) must never end in
        // half a line: cut at the last whole line that fits. A value of one
        // line only is cut plainly rather than lost.
        size_t keep = room;
        while (keep > 0 && !EndsLine(rest, keep - 1)) --keep;
        rest.resize(keep > 0 ? keep : room);
        MsgAdd(Txt("Wartość parametru '") + shortName + Txt("' jest za długa, zapisano tylko jej początek"),
               LPV_Warning, 100);
    }
    // A part the host refuses must not leave a mix of old and new parts: the
    // parts already written get their old values back.
    std::vector<AnsiString> old(static_cast<size_t>(std::max(count, 0)));
    for (int i = 1; i <= count; ++i) ReadParamEx(shortName + IntToStr(i), old[static_cast<size_t>(i - 1)]);
    int written = 0;
    try {
        for (int i = 1; i <= count; ++i) {
            const size_t n = std::min<size_t>(LongParamPartSize, rest.size());
            WriteParamEx(shortName + IntToStr(i), rest.substr(0, n));
            rest.erase(0, n);
            written = i;
        }
    } catch (...) {
        for (int i = 1; i <= written; ++i) {
            try {
                WriteParamEx(shortName + IntToStr(i), old[static_cast<size_t>(i - 1)]);
            } catch (...) {
                // The refusal that stopped the write is the one to report.
            }
        }
        throw;
    }
}

void TVelActionBase::ZmienParametr(const AnsiString& name, const AnsiString& value)
{
    if (!FLibrary || !FLibrary->ZmienParametr(this, name, value))
        throw Exception(Txt("Błąd zapisu własnego parametru '") + name + Txt("' do bazy danych"));
}

void TVelActionBase::OdswiezParametry()
{
    if (FLibrary) FLibrary->OdswiezParametry(this);
}

TStringList* TVelActionBase::GetFormatyWazone()
{
    if (!FFormatyWazone) {
        FFormatyWazone = std::make_unique<TStringList>();
        if (FLibrary) FLibrary->WypelnijFormatyWazone(this, *FFormatyWazone);
    }
    return FFormatyWazone.get();
}

void TVelActionBase::ZapiszWynikEksportu()
{
    if (!FLibrary || !FLibrary->ZapiszWynikEksportu(this))
        throw Exception(Txt("Błąd zapisu wyniku eksportu do bazy danych"));
}

void TVelActionBase::ZapiszKasaImp()
{
    if (!FLibrary || !FLibrary->ZapiszImport(this))
        throw Exception(Txt("Błąd zapisu importu sprzedaży do bazy danych"));
}

void TVelActionBase::ZapiszParagonImp()
{
    if (!FLibrary || !FLibrary->ZapiszParagon(this))
        throw Exception(Txt("Błąd zapisu pojedynczego paragonu do bazy danych"));
}

AnsiString TVelActionBase::OdczytajTowar(const AnsiString& key)
{
    return FLibrary ? FLibrary->OdczytajTowar(this, key) : "";
}

int TVelActionBase::DodajTowarZKasy(const AnsiString& t1, int i1, const AnsiString& t2, int i2, const AnsiString& t3,
                                    const AnsiString& t4, int i3, double d1, double d2, double d3, double d4, int i4,
                                    int i5, const AnsiString& t5)
{
    return FLibrary ? FLibrary->DodajTowarZKasy(this, t1, i1, t2, i2, t3, t4, i3, d1, d2, d3, d4, i4, i5, t5) : -1;
}

void TVelActionBase::ZajmijZasobSterownika(const AnsiString& name)
{
    while (!FLibrary || !FLibrary->ZajmijZasobSterownika(this, name)) {
        SprawdzCzyPrzerwac();
        Sleep(100);
    }
}

void TVelActionBase::ZwolnijZasobSterownika(const AnsiString& name)
{
    if (FLibrary) FLibrary->ZwolnijZasobSterownika(this, name);
}

void TVelActionBase::KasujFlageAlarmu()
{
    if (FLibrary) FLibrary->KasujFlageAlarmu(this);
}

int TVelActionBase::WstrzymajOperacje(const AnsiString& text, int value)
{
    return FLibrary ? FLibrary->WstrzymajOperacje(this, text, value) : -1;
}

void TVelActionBase::ZapiszStanLicznika(int32_t* values, int count)
{
    if (FLibrary) FLibrary->ZapiszStanLicznika(this, values, count);
}

void TVelActionBase::ZapiszStanICzasLicznika(int32_t* values, int count, const AnsiString& text)
{
    if (FLibrary) FLibrary->ZapiszStanICzasLicznika(this, values, count, text);
}
