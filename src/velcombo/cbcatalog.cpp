#include "cbcatalog.h"

#include "cbtexts.h"

#include <span>

#include "mlgexttools.h"
#include "process_state.h"

const char* const DefaultBinariesFolder = "c:\\OrvWin\\";

namespace {

const char* const DescriptionKey = "TVelLibraParametrAOpis";
const char* const TranslatedDefaultKey = "TVelLibraParametrAWartDom";
const char* const ListTextKey = "TVelLibraTekstLisreturn";

// A text that is never translated.
constexpr int32_t Plain = -1;

// Key number 0 is the bare key; every other number follows it as "_00001".
AnsiString NumberedKey(const char* key, int32_t number)
{
    return number == 0 ? AnsiString(key) : Format("%s_%05d", key, number);
}

// ---------------------------------------------------------------------------
// The catalogue

enum class DefaultKind {
    Fixed,             // the text as given
    Translated,        // looked up, the text being the Polish default
    InBinariesFolder,  // the host's binaries folder followed by the text
};

struct ParamEntry {
    int32_t group;
    const char* name;
    int32_t type;
    const char* defaultValue;
    DefaultKind defaultKind;
    const char* minimum;
    const char* maximum;
    int32_t flag;
    const char* description;
    int32_t descriptionKey;  // Plain for a fixed or empty description
};

constexpr DefaultKind Fix = DefaultKind::Fixed;

// The order is the order in which the host receives the entries; an entry's
// index is its place within its group. The stored values of the list entries
// are positions in the lists below, so neither order may change.
constexpr ParamEntry Catalogue[] = {
    {101, "ComboPort", ParamTextList, "PLIK", DefaultKind::Translated, "", "", ParamFlagSetting, "Złącze", 0},
    {101, "ComboKanMul", ParamList, "0", Fix, "", "", ParamFlagSetting, "Kanał multipleksera", 1},
    {101, "ComboSpeed", ParamList, "3", Fix, "", "", ParamFlagSetting, "Modem, RS-232 - prędkość transmisji", 2},
    {101, "ComboModemPhone", ParamText, "", Fix, "", "", ParamFlagSetting, "Modem - Numer telefonu", 3},
    {101, "ComboModemTimeout", ParamInteger, "60", Fix, "1", "255", ParamFlagSetting,
     "Modem - timeout połączenia (sek.)", 4},
    {101, "ComboIpAddress", ParamText, "192.168.0.12", Fix, "", "", ParamFlagSetting, "TCP/IP - adres IP kasy", 5},
    {101, "ComboIpPort", ParamInteger, "1000", Fix, "1", "65000", ParamFlagSetting, "TCP/IP - port IP kasy", 6},
    {101, "ComboProgressTow", ParamList, "0", Fix, "", "", ParamFlagSetting, "Pokazuj wysyłane rekordy", 7},
    {101, "PoziomCen", ParamList, "0", Fix, "", "", ParamFlagSetting, "Poziom cen", 8},
    {101, "ComboOneAsortOnly", ParamList, "1", Fix, "", "", ParamFlagSetting,
     "Eksport towarów do jednej, wspólnej grupy", 9},
    {101, "ComboOrdersMagNo", ParamText, "", Fix, "", "", ParamFlagSetting,
     "Nazwa magazynu wpisywana do dokumentu zamówienia", 10},
    // The driver's own values: the VAT-rate order and the six parts of the
    // group map, under the library type name "Vel_Combo" and an underscore.
    {101, "Vel_Combo_PosortowaneStawkiVat", ParamText, "", Fix, "", "", ParamFlagDriverOwn, "", Plain},
    {101, "Vel_Combo_PosortowaneStawkiVatPrec", ParamText, "", Fix, "", "", ParamFlagDriverOwn, "", Plain},
    {101, "Vel_Combo_ComboAsort1", ParamText, "", Fix, "", "", ParamFlagDriverOwn, "", Plain},
    {101, "Vel_Combo_ComboAsort2", ParamText, "", Fix, "", "", ParamFlagDriverOwn, "", Plain},
    {101, "Vel_Combo_ComboAsort3", ParamText, "", Fix, "", "", ParamFlagDriverOwn, "", Plain},
    {101, "Vel_Combo_ComboAsort4", ParamText, "", Fix, "", "", ParamFlagDriverOwn, "", Plain},
    {101, "Vel_Combo_ComboAsort5", ParamText, "", Fix, "", "", ParamFlagDriverOwn, "", Plain},
    {101, "Vel_Combo_ComboAsort6", ParamText, "", Fix, "", "", ParamFlagDriverOwn, "", Plain},
    {101, "ComboLastReceipt", ParamInteger, "0", Fix, "0", "", ParamFlagSetting, "Ostatnio wczytany wydruk", 11},
    // The goods-import dialog's two options, written without the prefix.
    {101, "ComboImportOverWrite", ParamText, "FALSE", Fix, "", "", ParamFlagDriverOwn, "", Plain},
    {101, "ComboImportLogSave", ParamText, "TRUE", Fix, "", "", ParamFlagDriverOwn, "", Plain},
    {101, "ComboProductFlag", ParamList, "0", Fix, "", "", ParamFlagSetting, "Ustawienia flag towarów", Plain},

    {102, "ComboResztaZInnychFP", ParamList, "0", Fix, "", "", ParamFlagSetting,
     "COMBO/NEO - Wydawanie reszty z innych form płatności", 12},
    {102, "ComboResztaWInnychFP", ParamList, "0", Fix, "", "", ParamFlagSetting,
     "COMBO/NEO - Wydawanie reszty w innych formach płatności", 13},
    {102, "ComboCardFormatFull", ParamList, "0", Fix, "", "", ParamFlagSetting,
     "COMBO/NEO - W Orvena, kody kart zapisane jako", 14},
    {102, "ComboCardMask", ParamText, "99NNNNNNYYMMX", Fix, "", "", ParamFlagSetting,
     "COMBO/NEO - Maska kodu karty klienta", Plain},
    {102, "ComboComplexOrdTimeout", ParamInteger, "60", Fix, "5", "6000", ParamFlagSetting,
     "COMBO/NEO - Max. czas oczekiwania na sekwencję ZŁOŻONĄ (np. raport tow. usuniętych) (sek.)", 15},
    {102, "ComboKwKodPocz", ParamInteger, "0", Fix, "0", "99999", ParamFlagSetting,
     "COMBO/NEO - kody ważone: Kod początkowy", 16},
    {102, "ComboKwKodKonc", ParamInteger, "0", Fix, "0", "99999", ParamFlagSetting,
     "COMBO/NEO - kody ważone: Kod końcowy", 17},
    {102, "ComboKwPrzedr", ParamInteger, "28", Fix, "21", "29", ParamFlagSetting,
     "COMBO/NEO - kody ważone: Przedrostek kodu", 18},
    {102, "ComboSkpUse", ParamList, "0", Fix, "", "", ParamFlagSetting,
     "COMBO/NEO - SKP: Współpraca z Serwerem Kasowym Norvik (sk.exe)", 19},
    {102, "ComboSkpPatterns", ParamText, "0012345678901/0/5.00", Fix, "", "", ParamFlagSetting,
     "COMBO/NEO - SKP: Wzorce kart (rozdzielone przecinkami)", 20},
    {102, "ComboSkpIp", ParamText, "127.0.0.1", Fix, "", "", ParamFlagSetting, "COMBO/NEO - SKP: Adres IP serwera", 21},
    {102, "ComboSkpPort", ParamInteger, "25370", Fix, "1", "65535", ParamFlagSetting,
     "COMBO/NEO - SKP: Port IP serwera", 22},
    {102, "ComboSkpDane", ParamFolder, "Norvik\\skp\\dane", DefaultKind::InBinariesFolder, "", "", ParamFlagSetting,
     "COMBO/NEO - SKP: Położenie katalogu \\dane", 23},
    {102, "ComboSkpAddToReb", ParamList, "0", Fix, "", "", ParamFlagSetting,
     "COMBO/NEO - SKP: Czy rabaty z kart mogą być łączone z rabatami towarów?", 24},
    {102, "ComboSkpAddToAddon", ParamList, "0", Fix, "", "", ParamFlagSetting,
     "COMBO/NEO - SKP: Czy rabaty z kart mogą być łączone z narzutami towarów?", 25},
    {102, "ComboEdiFolder", ParamFolder, "EDI", DefaultKind::InBinariesFolder, "", "", ParamFlagSetting,
     "COMBO/NEO - Katalog EDI, w którym będą umieszczane zamówienia z kas", 26},
    {102, "ComboOrdersAs", ParamList, "1", Fix, "", "", ParamFlagSetting, "COMBO/NEO - Zamówienia zapisywać jako", 27},
    {102, "ComboDedbug", ParamList, "1", Fix, "", "", ParamFlagSetting,
     "COMBO/NEO - Log komunikacji do pliku log\\NEO_LOG...", 28},

    {103, "ComboKasTowMax", ParamList, "1", Fix, "", "", ParamFlagOperation,
     "COMBO/NEO - Podczas zmiany listy towarów kasuj towary", 29},
    {103, "ComboExpCashier", ParamList, "0", Fix, "", "", ParamFlagSetting, "COMBO/NEO - Zaprogramuj kasjerów", 30},
    {103, "ComboExpFPlatn", ParamList, "1", Fix, "", "", ParamFlagOperation,
     "COMBO/NEO - Zaprogramuj/zweryfikuj formy płatności", 31},
    {103, "ComboGroupOverwrite", ParamList, "1", Fix, "", "", ParamFlagOperation,
     "COMBO/NEO - Nadpisywać grupy towarowe", Plain},

    {104, "DataImportu", ParamDate, "", Fix, "", "", ParamFlagSetting, "Data importu", 32},
    {104, "ComboImpReceipts", ParamList, "0", Fix, "", "", ParamFlagOperation,
     "COMBO/NEO - Import szczegółowy paragonów", 33},
    {104, "ComboImpMode", ParamList, "0", Fix, "", "", ParamFlagOperation,
     "COMBO/NEO - Import sprzedaży przez bufor paragonów", 34},
    {104, "ComboTowIdParag", ParamList, "0", Fix, "", "", ParamFlagOperation,
     "COMBO/NEO - Identyfikacja towarów przy imporcie przez bufor", 35},
    {104, "ComboDokPlu", ParamList, "0", Fix, "", "", ParamFlagOperation,
     "COMBO/NEO - Doklej dane do ostatniego paragonu z dnia importu", 36},
    {104, "ComboFiscalReport", ParamList, "0", Fix, "", "", ParamFlagOperation,
     "COMBO/NEO - Wykonaj raport dobowy fiskalny", Plain},

    {105, "ComboNrParag", ParamInteger, "0", Fix, "", "", ParamFlagOperation,
     "Nr paragonu (Norvik Combo - w lewym dolnym rogu par.)", 40},
    {105, "ComboNrWydr", ParamInteger, "0", Fix, "", "", ParamFlagOperation,
     "Nr wydruku (Norvik NEO - w prawym, górnym rogu par.)", 41},

    // Group 106 has no entries.

    // The import's options again, without the date: import in online mode.
    {107, "ComboImpReceipts", ParamList, "0", Fix, "", "", ParamFlagOperation,
     "COMBO/NEO - Import szczegółowy paragonów", 37},
    {107, "ComboImpMode", ParamList, "0", Fix, "", "", ParamFlagOperation,
     "COMBO/NEO - Import sprzedaży przez bufor paragonów", 38},
    {107, "ComboTowIdParag", ParamList, "0", Fix, "", "", ParamFlagOperation,
     "COMBO/NEO - Identyfikacja towarów przy imporcie przez bufor", 39},
    {107, "ComboDokPlu", ParamList, "1", Fix, "", "", ParamFlagOperation,
     "COMBO/NEO - Doklej dane do ostatniego paragonu z dnia importu", 36},
    {107, "ComboFiscalReport", ParamList, "0", Fix, "", "", ParamFlagOperation,
     "COMBO/NEO - Wykonaj raport dobowy fiskalny", Plain},
};

const ParamEntry* FindEntry(int32_t group, int32_t index)
{
    if (index < 0) return nullptr;
    int32_t place = 0;
    for (const ParamEntry& entry : Catalogue) {
        if (entry.group != group) continue;
        if (place == index) return &entry;
        ++place;
    }
    return nullptr;
}

AnsiString EntryDefault(const ParamEntry& entry, const AnsiString& binariesFolder)
{
    switch (entry.defaultKind) {
        case DefaultKind::Translated:
            return ComboText(TranslatedDefaultKey, entry.defaultValue);
        case DefaultKind::InBinariesFolder:
            return (binariesFolder.empty() ? AnsiString(DefaultBinariesFolder) : binariesFolder) + entry.defaultValue;
        case DefaultKind::Fixed:
            break;
    }
    return entry.defaultValue;
}

// ---------------------------------------------------------------------------
// The list texts

struct ListText {
    const char* text;
    int32_t key;  // Plain for a text that is never translated
};

struct NamedList {
    const char* name;
    std::span<const ListText> texts;
};

// Two "Nie"/"Tak" pairs under keys of their own, so a translation may render
// them differently.
constexpr ListText NoYes14[] = {{"Nie", 14}, {"Tak", 15}};
constexpr ListText NoYes31[] = {{"Nie", 31}, {"Tak", 32}};

constexpr ListText PortTexts[] = {
    {"PLIK", 0},     {"COM1", Plain}, {"COM2", Plain}, {"COM3", Plain}, {"COM4", Plain},   {"COM5", Plain},
    {"COM6", Plain}, {"COM7", Plain}, {"COM8", Plain}, {"COM9", Plain}, {"TCP/IP", Plain},
};
constexpr ListText MuxChannelTexts[] = {
    {"Brak", 1},
    {"4xRS232 - Kanał 1", 2},
    {"4xRS232 - Kanał 2", 3},
    {"4xRS232 - Kanał 3", 4},
    {"4xRS232 - Kanał 4", 5},
    {"8xRS232 - Kanał 1", 6},
    {"8xRS232 - Kanał 2", 7},
    {"8xRS232 - Kanał 3", 8},
    {"8xRS232 - Kanał 4", 9},
    {"8xRS232 - Kanał 5", 10},
    {"8xRS232 - Kanał 6", 11},
    {"8xRS232 - Kanał 7", 12},
    {"8xRS232 - Kanał 8", 13},
};
// Positions 0 to 7 are the line speeds 1200 to 115200 baud.
constexpr ListText SpeedTexts[] = {
    {"1200", Plain},  {"2400", Plain},  {"4800", Plain},  {"9600", Plain},
    {"19200", Plain}, {"38400", Plain}, {"57600", Plain}, {"115200", Plain},
};
constexpr ListText GoodsIdTexts[] = {
    {"po PLU (zalecane)", 16},
    {"po kodzie kreskowym (ustawiać wyłącznie w przypadku sprzedaży przez kody kreskowe)", 17},
};
constexpr ListText PriceLevelTexts[] = {{"detaliczna", 18}, {"hurtowa", 19}, {"nocna", 20}, {"dodatkowa", 21}};
constexpr ListText DeleteGoodsTexts[] = {{"przez porównanie list", 22}, {"wszystkie na początku transmisji", 23}};
constexpr ListText CardFormatTexts[] = {
    {"pełny kod (np. 72232315302)", 24},
    {"tylko fragment \"NNN...\" z kodu karty (np. 232) - odczyt definicji z kasy", 25},
    {"tylko fragment \"NNN...\" z kodu karty (np. 232) - na podstawie definicji maski", Plain},
};
constexpr ListText CardServerTexts[] = {
    {"nie obsługiwana", 26},
    {"programuj tylko wzorce kart i kody nieaktywne", 27},
    {"programuj kody oraz wzorce kart", 28},
};
constexpr ListText CashierTexts[] = {{"Nie", 29}, {"Tak (zaprogramowani kasjerzy będa mieli max. uprawnienia)", 30}};
constexpr ListText OrderTexts[] = {{"Zamówienie do dostawcy (ZAM)", 33}, {"Zamówienie od odbiorcy (ZAM_ODB)", 34}};
constexpr ListText ProductFlagTexts[] = {
    {"cena otw/zam - czy można zmieniać cenę | dod. rabat - czy towar rabatowany", Plain},
    {"cena otw/zam - czy można zmieniać cenę | towar rabatowany", Plain},
};

// Names are tried in this order; the first that matches wins.
constexpr NamedList Lists[] = {
    {"ComboPort", PortTexts},
    {"ComboKanMul", MuxChannelTexts},
    {"ComboSpeed", SpeedTexts},
    {"ComboProgressTow", NoYes14},
    {"ComboDokPlu", NoYes14},
    {"ComboZerujStanyMag", NoYes14},
    {"ComboResztaZInnychFP", NoYes14},
    {"ComboResztaWInnychFP", NoYes14},
    {"ComboImpReceipts", NoYes14},
    {"ComboImpMode", NoYes14},
    {"ComboImpTow", NoYes14},
    {"ComboOneAsortOnly", NoYes14},
    {"ComboGroupOverwrite", NoYes14},
    {"ComboTowIdParag", GoodsIdTexts},
    {"PoziomCen", PriceLevelTexts},
    {"ComboKasTowMax", DeleteGoodsTexts},
    {"ComboCardFormatFull", CardFormatTexts},
    {"ComboSkpUse", CardServerTexts},
    {"ComboExpCashier", CashierTexts},
    {"ComboExpFPlatn", NoYes31},
    {"ComboSkpAddToReb", NoYes31},
    {"ComboSkpAddToAddon", NoYes31},
    {"ComboDedbug", NoYes31},
    {"ComboFiscalReport", NoYes31},
    {"ComboOrdersAs", OrderTexts},
    {"ComboProductFlag", ProductFlagTexts},
};

}  // namespace

int32_t ComboParametr(int32_t group, int32_t index, AnsiString& name, AnsiString& description, AnsiString& defaultValue,
                      AnsiString& minimum, AnsiString& maximum, int32_t& flag, const AnsiString& binariesFolder)
{
    flag = ParamFlagSetting;
    minimum.clear();
    maximum.clear();
    const ParamEntry* entry = FindEntry(group, index);
    if (!entry) return ParamNone;
    name = entry->name;
    description = entry->descriptionKey == Plain
                      ? AnsiString(entry->description)
                      : ComboText(NumberedKey(DescriptionKey, entry->descriptionKey), entry->description);
    defaultValue = EntryDefault(*entry, binariesFolder);
    minimum = entry->minimum;
    maximum = entry->maximum;
    flag = entry->flag;
    return entry->type;
}

AnsiString ComboTekstListyParametru(const AnsiString& name, int32_t index)
{
    // The host's parameter names are compared trimmed and without regard to
    // case; a blank name names nothing.
    const AnsiString wanted = UpperCase(Trim(name));
    if (wanted.empty()) return "";
    for (const NamedList& list : Lists) {
        if (UpperCase(list.name) != wanted) continue;
        if (index < 0 || static_cast<size_t>(index) >= list.texts.size()) return "";
        const ListText& text = list.texts[static_cast<size_t>(index)];
        return text.key == Plain ? AnsiString(text.text) : ComboText(NumberedKey(ListTextKey, text.key), text.text);
    }
    return "";
}
