// The orders found in an import, written as EDI documents: the parse pass
// collects each order line in ediLines ("description;code;quantity in
// thousandths"), and at the end of the pass they become one small tagged text
// file in code page 852 in the EDI folder, for an ordering system to pick up.
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

AnsiString TVelComboAction::FNameEDI(const AnsiString& stamp, int n)
{
    return Format("%sDoc%03d_%s_%03d.txt", CfgEdiFolder.c_str(), FNrUrzadzenia, stamp.c_str(), n);
}

// The kept orders: one document's lines after another, each document ended
// by an empty line.
namespace {
std::vector<TStringList> ReadKeptOrders(const AnsiString& path)
{
    std::vector<TStringList> documents;
    if (!FileExists(path)) return documents;
    TStringList lines;
    TMFile::ReadStringsFromFile(path, lines, 0);
    TStringList document;
    for (const AnsiString& line : lines) {
        if (!Trim(line).empty()) {
            document.Add(line);
            continue;
        }
        if (!document.Empty()) documents.push_back(document);
        document.Clear();
    }
    if (!document.Empty()) documents.push_back(document);
    return documents;
}
}  // namespace

void TVelComboAction::WriteKeptOrders(const std::vector<TStringList>& documents)
{
    const AnsiString path = FNameZAM();
    AnsiString text;
    for (const TStringList& document : documents) {
        for (const AnsiString& line : document) text += line + "\r\n";
        text += "\r\n";
    }
    if (text.empty()) {
        if (!DeleteFile(path) && FileExists(path)) throw Exception(DriverText("Błąd usunięcia pliku ") + path);
        return;
    }
    TLTools::BufToFileEx(text, path, WorkingFileName(path), GetLgLink(), false);
}

// The orders of a parse pass are kept before the intermediate file goes, so
// that a document the EDI folder refuses loses nothing: a later run writes it.
void TVelComboAction::KeepEDIOrder()
{
    if (ediLines.Empty()) return;
    std::vector<TStringList> documents = ReadKeptOrders(FNameZAM());
    documents.push_back(ediLines);
    WriteKeptOrders(documents);
    ediLines.Clear();
}

void TVelComboAction::SaveEDIOrder()
{
    // Kept orders first, each taken out of its file once its document is written.
    std::vector<TStringList> kept = ReadKeptOrders(FNameZAM());
    while (!kept.empty()) {
        WriteEDIDocument(kept.front());
        kept.erase(kept.begin());
        WriteKeptOrders(kept);
    }
    if (!ediLines.Empty()) WriteEDIDocument(ediLines);
}

void TVelComboAction::WriteEDIDocument(const TStringList& orders)
{
    int year = 0, month = 0, day = 0;
    DecodeDate(Date(), year, month, day);
    AnsiString lines;
    for (const AnsiString& entry : orders) {
        const OrderLine line = Fields(entry);
        lines += Format("Linia:Kod{%s}Ilosc{%s}\r\n", FormatBarcodeIn(line.code).c_str(),
                        Thousandths(StrToIntDef(line.quantity, 0)).c_str());
    }

    // The folder is taken (and made) only now that there is a document for it.
    if (Trim(WartoscParametru("ComboEdiFolder")).empty())
        throw Exception(DriverText("Nie podano katalogu EDI (parametr ComboEdiFolder) na zapisanie dokumentu "
                                   "zamówienia"));
    CfgEdiFolder = IncludeTrailingPathDelimiter(ParamAsDir("ComboEdiFolder"));
    const AnsiString stamp = Format("%04d%02d%02d", year, month, day);
    int number = 0;
    for (int n = 1; n <= LastDocumentNumber && number == 0; ++n) {
        const AnsiString name = FNameEDI(stamp, n);
        if (!FileExists(name) && !DirectoryExists(name)) number = n;
    }
    if (number == 0) throw Exception(DriverText("Brak wolnego numeru pliku na zapisanie dokumentu zamówienia"));
    const AnsiString path = FNameEDI(stamp, number);

    AnsiString text = "TypPolskichLiter:LA\r\n";
    text += AnsiString("TypDok:") + (ParamAsInt("ComboOrdersAs") == 0 ? "ZAM" : "ZAM_ODB") + "\r\n";
    text += Format("NrDok:%d\r\n", number);
    text += Format("Data:%04d-%02d-%02d\r\n", year, month, day);
    text += "Magazyn:" + WartoscParametru("ComboOrdersMagNo") + "\r\n";
    text += Format("NIPWystawcy: %d\r\n", FNrUrzadzenia);
    text += "IndeksCentralny:NIE\r\n";
    text += "NazwaWystawcy:" + Format("Kasa nr %d (%s)", FNrUrzadzenia, FNazwaUrzadzenia.c_str()) + "\r\n";
    text += Format("IloscLinii:%d\r\n", orders.Count());
    text += lines;

    TLTools cp852;
    cp852.pltype_in = 2;
    cp852.pltype_out = 0;
    cp852.plstring(text);
    // Written whole under a working name and renamed, so the ordering system
    // never picks up half a document.
    const AnsiString work = WorkingFileName(path);
    try {
        TLTools::BufToFileEx(text, path, work, GetLgLink(), false);
    } catch (...) {
        DeleteFile(work);
        throw;
    }
    DodajKomunikat(zkOstrzezenie,
                   DriverText("Utworzono nowy dokument EDI z zamówieniem: ") + ExtractFileName(path));
}
