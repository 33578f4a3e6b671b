// The orders found in an import, written as EDI documents: the parse pass
// collects each order line in ediLines ("description;code;quantity in
// thousandths"), and at the end of the pass they become one small tagged text
// file in code page 852 in the EDI folder, for an ordering system to pick up.
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

// The kept orders: one document after another, each its name (a line
// without ";", which an order line always holds) and its order lines, ended
// by an empty line. A file of an older version has no names.
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
        if (!document.lines.Empty()) documents.push_back(document);
        document = {};
    };
    for (const AnsiString& line : lines) {
        if (Trim(line).empty())
            close();
        else if (document.name.empty() && document.lines.Empty() && line.find(';') == AnsiString::npos)
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
    for (const KeptOrder& document : documents) {
        if (!document.name.empty()) text += document.name + "\r\n";
        for (const AnsiString& line : document.lines) text += line + "\r\n";
        text += "\r\n";
    }
    try {
        if (text.empty())
            RemoveExchangeFile(path);
        else
            TLTools::BufToFileEx(text, path, WorkingFileName(path), GetLgLink(), false);
    } catch (const Exception& e) {
        throw KeptOrdersFailure(e.Message());
    }
}

// The orders of a parse pass are kept before the intermediate file goes, so
// that a document the EDI folder refuses loses nothing: a later run writes it.
void TVelComboAction::KeepEDIOrder()
{
    if (ediLines.Empty()) return;
    std::vector<KeptOrder> documents = ReadKeptOrders();
    // The folder as it stands, not made here: one that is not there yet
    // holds no document.
    AnsiString folder = ParamAsPath("ComboEdiFolder");
    if (!Trim(folder).empty()) folder = IncludeTrailingPathDelimiter(folder);
    AnsiString name;
    try {
        name = FreeEDIName(folder, documents);
    } catch (const Exception&) {
        // No number free now: the document takes one when it is written.
    }
    documents.push_back({name, ediLines});
    WriteKeptOrders(documents);
    ediLines.Clear();
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

void TVelComboAction::SaveEDIOrder()
{
    // Kept orders first, each taken out of its file once its document is written.
    std::vector<KeptOrder> kept = ReadKeptOrders();
    while (!kept.empty()) {
        WriteEDIDocument(kept.front());
        kept.erase(kept.begin());
        WriteKeptOrders(kept);
    }
    if (!ediLines.Empty()) WriteEDIDocument({"", ediLines});
}

AnsiString TVelComboAction::EdiFolder()
{
    // The folder is taken (and made) only now that there is a document for it.
    if (Trim(WartoscParametru("ComboEdiFolder")).empty())
        throw Exception(DriverText("Nie podano katalogu EDI (parametr ComboEdiFolder) na zapisanie dokumentu "
                                   "zamówienia"));
    return IncludeTrailingPathDelimiter(ParamAsDir("ComboEdiFolder"));
}

void TVelComboAction::WriteEDIDocument(const KeptOrder& orders)
{
    AnsiString lines;
    for (const AnsiString& entry : orders.lines) {
        const OrderLine line = Fields(entry);
        lines += Format("Linia:Kod{%s}Ilosc{%s}\r\n", FormatBarcodeIn(line.code).c_str(),
                        Thousandths(StrToIntDef(line.quantity, 0)).c_str());
    }
    CfgEdiFolder = EdiFolder();
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
    if (NameParts(orders.name, stamp, number)) {
        path = CfgEdiFolder + orders.name;
        document = text(stamp, number);
        if (FileExists(path) && TMFile::ReadWholeFile(path, 0) == document) return;
        // Someone else's file under its name: it is not overwritten.
        if (FileExists(path) || DirectoryExists(path)) path.clear();
    }
    if (path.empty()) {
        NameParts(FreeEDIName(CfgEdiFolder, {}), stamp, number);
        path = FNameEDI(stamp, number);
        document = text(stamp, number);
    }
    // Written whole under a working name and renamed, so the ordering system
    // never picks up half a document.
    const AnsiString work = WorkingFileName(path);
    try {
        TLTools::BufToFileEx(document, path, work, GetLgLink(), false);
    } catch (...) {
        DeleteFile(work);
        throw;
    }
    DodajKomunikat(zkOstrzezenie,
                   DriverText("Utworzono nowy dokument EDI z zamówieniem: ") + ExtractFileName(path));
}
