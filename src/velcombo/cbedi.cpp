// The orders found in an import, written as EDI documents: the parse pass
// collects each order line in ediLines ("description;code;quantity in
// thousandths"), and at the end of the pass they become one small tagged text
// file in code page 852 in the EDI folder, for an ordering system to pick up.
// They are kept in "zamowienia.tmp" first, under the name of the reading they
// came from, so that no stop of the run writes them twice or loses them. The
// orders of a reading cut short wait there for the reading that completes
// it: a correction the register recorded later replaces its order instead of
// ordering the goods again. The ordering system takes a document out of the
// folder as soon as it is there, so a document is never written again once
// it took its name: the kept-orders file says so before the rename (see
// WriteEDIDocument).
#include <algorithm>
#include <cstdlib>

#include "LJWords.h"
#include "mfile.h"
#include "cbaction.h"
#include "cbtexts.h"
#include "sysfiles.h"
#include "wazony.h"

namespace {
// The highest document number of one register on one day.
const int LastDocumentNumber = 999;

// The code and the quantity of an entry are its last two fields: a
// description can never shift them.
struct OrderLine {
    AnsiString code;
    AnsiString quantity;
};
OrderLine Fields(const AnsiString& entry)
{
    TLJWords words;
    words.FSeparator = ";";
    const int n = words.Init(entry);
    return {Trim(words[n - 2]), Trim(words[n - 1])};
}

// Thousandths as a decimal with three places, "-1.500" for -1500.
AnsiString Thousandths(int32_t value)
{
    const int64_t v = value;
    const int64_t magnitude = std::llabs(v);
    return Format("%s%lld.%03lld", v < 0 ? "-" : "", static_cast<long long>(magnitude / 1000),
                  static_cast<long long>(magnitude % 1000));
}
}  // namespace

void TVelComboAction::AddToZamEDIDoc(const AnsiString& description, const AnsiString& code, int quantity)
{
    ediLines.Add(Format("%s;%s;%d", description.c_str(), code.c_str(), quantity));
}

void TVelComboAction::CorrectZamEDIDoc(const AnsiString& description, const AnsiString& code, int quantity)
{
    // Both sides trimmed: a code padded with blanks still replaces its line
    // instead of ordering the goods twice.
    const AnsiString key = Trim(code);
    for (int i = ediLines.Count() - 1; i >= 0; --i)
        if (Fields(ediLines[i]).code == key) ediLines.Delete(i);
    AddToZamEDIDoc(description, code, quantity);
}

AnsiString TVelComboAction::FormatBarcodeIn(const AnsiString& code)
{
    TKodWazony weighted(GetFormatyWazone());
    return weighted.NormalizujNiepelny(Trim(code), GetLgLink());
}

namespace {
AnsiString DocumentName(int32_t device, const AnsiString& stamp, int n)
{
    return Format("Doc%03d_%s_%03d.txt", device, stamp.c_str(), n);
}

AnsiString TodayStamp()
{
    int year = 0, month = 0, day = 0;
    DecodeDate(Date(), year, month, day);
    return Format("%04d%02d%02d", year, month, day);
}

// The day and the number a document's name carries ("Doc%03d_%s_%03d.txt");
// false for a name that is not one.
bool NameParts(const AnsiString& name, AnsiString& stamp, int& number)
{
    const size_t last = name.rfind('_');
    if (last == AnsiString::npos || last < 9 || name.size() != last + 8 || name.compare(last + 4, 4, ".txt") != 0)
        return false;
    stamp = name.substr(last - 8, 8);
    number = StrToIntDef(name.substr(last + 1, 3), 0);
    return name[last - 9] == '_' && number >= 1 && StrToIntDef(stamp, 0) > 0;
}
}  // namespace

AnsiString TVelComboAction::FNameEDI(const AnsiString& stamp, int n)
{
    return CfgEdiFolder + DocumentName(FNrUrzadzenia, stamp, n);
}

namespace {
// The lines of the kept-orders file that are no order line (every order line
// holds ";", and none of these does).
const char* const kKeptFrom = "#ODCZYT ";
const char* const kKeptWaiting = "#CZEKA";
const char* const kKeptWritten = "#ZAPISANY";
const char* const kKeptPublishing = "#PUBLIKOWANY";
// The first line of a file this version writes, and the start of its last
// line, which counts the blocks and the order lines between them. Each is a
// block of its own, so an older version passes over both.
const char* const kKeptFormat = "#ZAMOWIENIA 2";
const char* const kKeptEnd = "#KONIEC ";

AnsiString KeptEndLine(int blocks, int lines) { return Format("%s%d %d", kKeptEnd, blocks, lines); }

// Whether a kept-orders file is whole: one without the format line (an older
// version's) is taken as it is; one with it must end with its end line, and
// the counts must be those of what stands between. A file cut inside its
// format line, or empty, is no older version's either.
bool KeptOrdersWhole(const AnsiString& text)
{
    const AnsiString first = AnsiString(kKeptFormat) + "\r\n";
    if (!text.starts_with(first)) return !first.starts_with(text);
    TStringList lines;
    lines.SetText(text.substr(first.size()));
    int blocks = 0, orderLines = 0, last = -1;
    bool inBlock = false;
    for (int i = 0; i < lines.Count(); ++i) {
        const AnsiString& line = lines[i];
        const bool empty = Trim(line).empty();
        if (!empty) last = i;
        if (!empty && !inBlock) ++blocks;
        inBlock = !empty;
        if (line.find(';') != AnsiString::npos) ++orderLines;
    }
    // The end line is a block of its own, and counts itself out.
    return last >= 0 && lines[last] == KeptEndLine(blocks - 1, orderLines);
}

// The folder a document being published was begun in, its ";", "%" and line
// ends written as "%" and two hex digits: the line holds no ";", and an
// older version passes over it.
const char* const kKeptFolder = "#KATALOG ";

AnsiString FolderNote(const AnsiString& folder)
{
    AnsiString note = kKeptFolder;
    for (const char c : folder)
        note += c == ';' || c == '%' || c == '\r' || c == '\n' ? Format("%%%02X", static_cast<unsigned char>(c))
                                                              : AnsiString(1, c);
    return note;
}

AnsiString FolderOfNote(const AnsiString& line)
{
    AnsiString folder;
    for (size_t i = std::char_traits<char>::length(kKeptFolder); i < line.size(); ++i) {
        if (line[i] == '%' && i + 2 < line.size()) {
            folder += static_cast<char>(std::strtol(line.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            folder += line[i];
        }
    }
    return folder;
}
}  // namespace

// The kept orders: the format line, then one document after another, each
// ended by an empty line: its name (a line without ";"), whether it waits,
// was written or is being published (and in which folder), a line for each
// reading it came from, and its order lines; then the end line. A file of an
// older version has no format or end line, names and order lines only, or
// no folder of publishing. A version older than the notes reads a note
// inside a block as one more order line, and leaves out only a block without
// order lines (the format and end lines are blocks of their own); one older
// than the folder's note passes over it, and finishes the document in the
// folder the setting names.
std::vector<TVelComboAction::KeptOrder> TVelComboAction::ReadKeptOrders()
{
    std::vector<KeptOrder> documents;
    const AnsiString path = FNameZAM();
    if (!FileExists(path)) return documents;
    TStringList lines;
    try {
        TMFile::ReadStringsFromFile(path, lines, 0);
    } catch (const Exception& e) {
        throw KeptOrdersFailure(e.Message());
    }
    KeptOrder document;
    auto close = [&] {
        if (document.Holds()) documents.push_back(document);
        document = {};
    };
    for (const AnsiString& line : lines) {
        if (Trim(line).empty())
            close();
        else if (line.find(';') != AnsiString::npos)
            document.lines.Add(line);
        else if (line.starts_with(kKeptFrom))
            document.readings.push_back(line.substr(std::char_traits<char>::length(kKeptFrom)));
        else if (line == kKeptWaiting)
            document.waiting = true;
        else if (line == kKeptWritten)
            document.written = true;
        else if (line == kKeptPublishing)
            document.publishing = true;
        else if (line.starts_with(kKeptFolder))
            document.folder = FolderOfNote(line);
        else if (line[0] == '#')
            continue;  // a note this version does not know
        else if (document.name.empty() && document.lines.Empty())
            document.name = line;
        else
            document.lines.Add(line);
    }
    close();
    return documents;
}

void TVelComboAction::WriteKeptOrders(const std::vector<KeptOrder>& documents)
{
    const AnsiString path = FNameZAM();
    AnsiString text;
    int blocks = 0, orderLines = 0;
    for (const KeptOrder& document : documents) {
        if (!document.Holds()) continue;
        ++blocks;
        for (const AnsiString& line : document.lines)
            if (line.find(';') != AnsiString::npos) ++orderLines;
        if (!document.name.empty()) text += document.name + "\r\n";
        if (document.waiting) text += AnsiString(kKeptWaiting) + "\r\n";
        if (document.written) text += AnsiString(kKeptWritten) + "\r\n";
        if (document.publishing) text += AnsiString(kKeptPublishing) + "\r\n";
        if (document.publishing && !document.folder.empty()) text += FolderNote(document.folder) + "\r\n";
        for (const AnsiString& reading : document.readings) text += kKeptFrom + reading + "\r\n";
        for (const AnsiString& line : document.lines) text += line + "\r\n";
        text += "\r\n";
    }
    try {
        if (text.empty())
            RemoveExchangeFile(path);
        else
            TLTools::BufToFileEx(AnsiString(kKeptFormat) + "\r\n\r\n" + text + KeptEndLine(blocks, orderLines) +
                                     "\r\n\r\n",
                                 path, WorkingFileName(path), GetLgLink(), false, true);
    } catch (const Exception& e) {
        throw KeptOrdersFailure(e.Message());
    }
}

// Before anything of the run is read: its orders then go into a new file,
// and none of the damaged one's is written.
void TVelComboAction::SetAsideDamagedKeptOrders()
{
    keptOrdersSetAside.clear();
    const AnsiString path = FNameZAM();
    if (!FileExists(path)) return;
    AnsiString text;
    try {
        text = TMFile::ReadWholeFile(path, 0);
    } catch (const Exception& e) {
        throw KeptOrdersFailure(e.Message());
    }
    if (KeptOrdersWhole(text)) return;
    for (int n = 1; n <= kReadingsBeside; ++n) {
        const AnsiString aside = KatalogWymiany() + (n == 1 ? AnsiString("zamowienia-uszkodzony.tmp")
                                                            : Format("zamowienia-uszkodzony-%d.tmp", n));
        if (!RenameFile(path, aside)) continue;
        try {
            TMFile::SyncFolderOf(aside);
        } catch (const Exception& e) {
            throw KeptOrdersFailure(e.Message());
        }
        keptOrdersSetAside = aside;
        DodajKomunikat(zkOstrzezenie, DamagedKeptOrdersText());
        return;
    }
    throw KeptOrdersFailure(DriverText("Plik ") + path +
                            DriverText(" jest uszkodzony i nie można go przenieść - import wstrzymany przed odczytem z "
                                       "kasy, aby nic nie zginęło"));
}

AnsiString TVelComboAction::DamagedKeptOrdersText() const
{
    return DriverText("Plik ") + FNameZAM() +
           DriverText(" był uszkodzony (ucięty lub zmieniony) - przeniesiono go do pliku ") + keptOrdersSetAside +
           DriverText("; nie zapisano z niego żadnego zamówienia, zamówienia tego importu zachowano osobno");
}

// Read once a run: a file that goes with its folder meanwhile takes nothing
// of them along.
std::vector<TVelComboAction::KeptOrder>& TVelComboAction::KeptOrders()
{
    if (!keptOrders) keptOrders = ReadKeptOrders();
    return *keptOrders;
}

void TVelComboAction::StoreKeptOrders() { WriteKeptOrders(KeptOrders()); }

int TVelComboAction::WaitingOrderLines()
{
    int count = 0;
    for (const KeptOrder& document : KeptOrders())
        if (document.waiting) count += document.lines.Count();
    return count;
}

void TVelComboAction::TakeWaitingOrders()
{
    ediLines.Clear();
    for (const KeptOrder& document : KeptOrders())
        if (document.waiting)
            for (const AnsiString& line : document.lines) ediLines.Add(line);
}

bool TVelComboAction::OrdersOfPassKept()
{
    if (parOrdersKept) return true;
    if (parReadingId.empty()) return false;
    for (const KeptOrder& document : KeptOrders())
        if (std::find(document.readings.begin(), document.readings.end(), parReadingId) != document.readings.end())
            return true;
    return false;
}

// Each step leaves the files so that a pass over the same reading after a
// stop at any point keeps its orders once: the reading is named in its own
// notes before its orders are kept under that name, and noted as kept after.
void TVelComboAction::KeepOrdersOfPass()
{
    if (OrdersOfPassKept()) {
        if (!parOrdersKept) MarkIMPFile(kOrdersKept);
        parOrdersKept = true;
        // Its own are kept already; the waiting ones become a document
        // where no reading of the register is to complete them.
        TakeWaitingOrders();
        if (!passOrdersWait && !ediLines.Empty()) KeepEDIOrder(false);
        ediLines.Clear();
        return;
    }
    // A reading without orders leaves the waiting ones waiting, unless it
    // is the one that completes them.
    if (parOrderRecords == 0 && (passOrdersWait || ediLines.Empty())) {
        ediLines.Clear();
        return;
    }
    // A reading of an older version carries no id yet.
    if (parReadingId.empty()) {
        const AnsiString id = NewReadingId();
        AppendNote(kReadingId + id);
        parReadingId = id;
    }
    KeepEDIOrder(passOrdersWait);
    parOrdersKept = true;
    MarkIMPFile(kOrdersKept);
}

// The orders of a pass, which began with the waiting ones, take their place:
// still waiting, or as one document of its own name.
void TVelComboAction::KeepEDIOrder(bool waiting)
{
    std::vector<KeptOrder>& documents = KeptOrders();
    KeptOrder kept;
    kept.lines = ediLines;
    kept.waiting = waiting;
    for (auto it = documents.begin(); it != documents.end();) {
        if (!it->waiting) {
            ++it;
            continue;
        }
        kept.readings.insert(kept.readings.end(), it->readings.begin(), it->readings.end());
        it = documents.erase(it);
    }
    if (!parReadingId.empty()) kept.readings.push_back(parReadingId);
    if (!waiting) {
        // The folder as it stands, not made here: one that is not there yet
        // holds no document.
        AnsiString folder = ParamAsPath("ComboEdiFolder");
        if (!Trim(folder).empty()) folder = IncludeTrailingPathDelimiter(folder);
        try {
            kept.name = FreeEDIName(folder, documents);
        } catch (const Exception&) {
            // No number free now: the document takes one when it is written.
        }
    }
    if (!kept.lines.Empty()) documents.push_back(kept);
    ediLines.Clear();
    StoreKeptOrders();
}

AnsiString TVelComboAction::FreeEDIName(const AnsiString& folder, const std::vector<KeptOrder>& kept)
{
    const AnsiString stamp = TodayStamp();
    for (int n = 1; n <= LastDocumentNumber; ++n) {
        const AnsiString name = DocumentName(FNrUrzadzenia, stamp, n);
        const bool keptName =
            std::any_of(kept.begin(), kept.end(), [&](const KeptOrder& document) { return document.name == name; });
        if (keptName || FileExists(folder + name) || DirectoryExists(folder + name)) continue;
        return name;
    }
    throw Exception(DriverText("Brak wolnego numeru pliku na zapisanie dokumentu zamówienia"));
}

// Kept documents first, each taken out of the kept-orders file once it is
// written; orders still waiting stay. A document written while a reading of
// its orders is still to be parsed is noted as written until that reading
// is gone, so that its parse does not keep them again.
void TVelComboAction::SaveEDIOrder()
{
    std::vector<KeptOrder>& kept = KeptOrders();
    const bool readingsLeft = !LeftoverReadings().empty();
    std::exception_ptr storeFailure;
    auto store = [&] {
        try {
            StoreKeptOrders();
        } catch (const KeptOrdersFailure&) {
            // Gone with its folder: what is left of it is in memory alone,
            // and is written on. One still there lists what was written.
            if (FileExists(FNameZAM())) throw;
            if (!storeFailure) storeFailure = std::current_exception();
        }
    };
    for (size_t i = 0; i < kept.size();) {
        KeptOrder& document = kept[i];
        if (document.waiting || document.written) {
            ++i;
            continue;
        }
        WriteEDIDocument(document, store);
        if (readingsLeft && !document.readings.empty()) {
            document.name.clear();
            document.lines.Clear();
            document.written = true;
            document.publishing = false;
            document.folder.clear();
            ++i;
        } else {
            kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(i));
        }
        store();
    }
    if (!readingsLeft && std::erase_if(kept, [](const KeptOrder& document) { return document.written; }) > 0) store();
    if (storeFailure) std::rethrow_exception(storeFailure);
    if (!ediLines.Empty()) {
        // Orders never kept: nothing to note them in.
        KeptOrder loose{"", ediLines, {}, false, false, false, ""};
        WriteEDIDocument(loose, [] {});
    }
}

bool TVelComboAction::NotedAsPublishing(const AnsiString& name)
{
    try {
        for (const KeptOrder& document : ReadKeptOrders())
            if (document.publishing && document.name == name) return true;
    } catch (const Exception&) {
    }
    return false;
}

AnsiString TVelComboAction::EdiFolder()
{
    // The folder is taken (and made) only now that there is a document for it.
    // The folder's own text says what it did; what becomes of the orders is
    // said on a line of its own.
    const AnsiString waiting = "\r\n" + DriverText("Zamówienia czekają w pliku ") + FNameZAM() +
                               DriverText(" - zapisze je następny import");
    if (Trim(WartoscParametru("ComboEdiFolder")).empty())
        throw Exception(DriverText("Nie podano katalogu EDI (parametr ComboEdiFolder) na zapisanie dokumentu "
                                   "zamówienia") +
                        waiting);
    try {
        return IncludeTrailingPathDelimiter(ParamAsDir("ComboEdiFolder"));
    } catch (const Exception& e) {
        throw Exception(e.Message() + waiting);
    }
}

// A document takes its name in steps, and a stop may come between any two:
// 1. written whole under the working name of its name (the ordering system
//    takes no file of that name);
// 2. noted in the kept-orders file as being published under its name;
// 3. renamed to its name: from here on the ordering system may take it;
// 4. taken out of the kept-orders file (SaveEDIOrder).
// A stop before 2 leaves a working file no note names: it is written over
// when the document is written anew, and never renamed as it is. A stop
// after 2 leaves the note: the next run renames the working file when it is
// there, and when it is not, the rename was done and the document is not
// written again, wherever it is now.
void TVelComboAction::WriteEDIDocument(KeptOrder& orders, const std::function<void()>& note)
{
    AnsiString lines;
    for (const AnsiString& entry : orders.lines) {
        const OrderLine line = Fields(entry);
        lines += Format("Linia:Kod{%s}Ilosc{%s}\r\n", FormatBarcodeIn(line.code).c_str(),
                        Thousandths(StrToIntDef(line.quantity, 0)).c_str());
    }
    // Finished in the folder it was begun in, whatever the setting says
    // now: the ordering system may have taken it from there already.
    if (orders.publishing && !orders.folder.empty()) {
        if (!DirectoryExists(orders.folder))
            throw Exception(DriverText("Katalog EDI \"") + orders.folder + DriverText("\", w którym zaczęto zapis "
                                                                                    "dokumentu ") +
                            orders.name + DriverText(", nie istnieje - dokumentu nie dokończono; jego zamówienia "
                                                     "czekają w pliku ") +
                            FNameZAM());
        CfgEdiFolder = orders.folder;
    } else {
        CfgEdiFolder = EdiFolder();
    }
    // The day and number of its name, given when it was kept: a document
    // written again is the same document, byte for byte.
    auto text = [&](const AnsiString& stamp, int number) {
        AnsiString document = "TypPolskichLiter:LA\r\n";
        document += AnsiString("TypDok:") + (ParamAsInt("ComboOrdersAs") == 0 ? "ZAM" : "ZAM_ODB") + "\r\n";
        document += Format("NrDok:%d\r\n", number);
        document += "Data:" + stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2) + "\r\n";
        document += "Magazyn:" + WartoscParametru("ComboOrdersMagNo") + "\r\n";
        document += Format("NIPWystawcy: %d\r\n", FNrUrzadzenia);
        document += "IndeksCentralny:NIE\r\n";
        document += "NazwaWystawcy:" + Format("Kasa nr %d (%s)", FNrUrzadzenia, FNazwaUrzadzenia.c_str()) + "\r\n";
        document += Format("IloscLinii:%d\r\n", orders.lines.Count());
        document += lines;
        TLTools cp852;
        cp852.pltype_in = 2;
        cp852.pltype_out = 0;
        cp852.plstring(document);
        return document;
    };
    AnsiString stamp, document, path;
    int number = 0;
    const bool named = NameParts(orders.name, stamp, number);
    // The working file an earlier run wrote whole and noted.
    AnsiString noted;
    if (orders.publishing && named) {
        noted = WorkingFileName(CfgEdiFolder + orders.name);
        if (!FileExists(noted)) return;
    }
    if (named) {
        path = CfgEdiFolder + orders.name;
        document = text(stamp, number);
        if (FileExists(path) && TMFile::ReadWholeFile(path, 0) == document) {
            if (!noted.empty()) DeleteFile(noted);
            return;
        }
        // Someone else's file under its name: it is not overwritten.
        if (FileExists(path) || DirectoryExists(path)) path.clear();
    }
    if (path.empty()) {
        NameParts(FreeEDIName(CfgEdiFolder, KeptOrders()), stamp, number);
        path = FNameEDI(stamp, number);
        document = text(stamp, number);
    }
    const AnsiString work = WorkingFileName(path);
    if (work == noted) {
        // Noted, so it must not go even for a moment: a working file that is
        // not this document whole is replaced in one step.
        if (TMFile::ReadWholeFile(work, 0) != document)
            TLTools::BufToFileEx(document, work, WorkingFileName(work), GetLgLink(), false, true);
    } else {
        try {
            TLTools::BufToFile(document, work, true);
            // Once noted, a working file missing is taken for one renamed.
            TMFile::SyncFolderOf(work);
        } catch (...) {
            DeleteFile(work);
            throw;
        }
        const AnsiString name = orders.name, folder = orders.folder;
        const bool publishing = orders.publishing;
        orders.name = ExtractFileName(path);
        orders.publishing = true;
        orders.folder = CfgEdiFolder;
        try {
            note();
        } catch (...) {
            orders.name = name;
            orders.publishing = publishing;
            orders.folder = folder;
            // A note put in place before its folder's sync failed is there
            // all the same: the next run publishes the working file it names.
            if (!NotedAsPublishing(ExtractFileName(path))) DeleteFile(work);
            throw;
        }
        // The name noted before was someone else's by now: its working
        // file is this document's no longer.
        if (!noted.empty()) DeleteFile(noted);
    }
    if (!RenameFile(work, path)) {
        const int error = errno;
        // Gone with its folder: the document is not published, and is
        // written anew by the next run. A working file still there is
        // renamed by the next run.
        if (!FileExists(work)) {
            orders.publishing = false;
            orders.folder.clear();
            note();
        }
        throw Exception(DriverText("Błąd zmiany nazwy pliku ") + work + ": " + SysErrorMessage(error));
    }
    // Taken out of the kept orders next: published for good first.
    TMFile::SyncFolderOf(path);
    DodajKomunikat(zkOstrzezenie,
                   DriverText("Utworzono nowy dokument EDI z zamówieniem: ") + ExtractFileName(path));
}
