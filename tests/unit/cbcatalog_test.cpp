// The catalogue and the list texts are stored data of the host: the ends of
// every group, an entry of every kind and samples of the lists of every
// shape, with their ends, are compared byte for byte against a table written
// out again on its own.
#include "cbcatalog.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <tuple>
#include <vector>

#include "mlgexttools.h"
#include "process_state.h"

namespace {

struct ExpectedEntry {
    int32_t group, index;
    const char* name;
    int32_t type;
    const char* defaultValue;  // with no binaries folder known
    const char* minimum;
    const char* maximum;
    int32_t flag;
    const char* description;
    const char* key;  // the description's text key, null when it is fixed
};

const ExpectedEntry ExpectedCatalogue[] = {
    {101, 0, "ComboPort", 3, "PLIK", "", "", 0, "Złącze", "TVelLibraParametrAOpis"},
    {101, 4, "ComboModemTimeout", 4, "60", "1", "255", 0, "Modem - timeout połączenia (sek.)",
     "TVelLibraParametrAOpis_00004"},
    {101, 13, "Vel_Combo_ComboAsort1", 1, "", "", "", 2, "", nullptr},
    {101, 22, "ComboProductFlag", 7, "0", "", "", 0, "Ustawienia flag towarów", nullptr},
    {102, 3, "ComboCardMask", 1, "99NNNNNNYYMMX", "", "", 0, "COMBO/NEO - Maska kodu karty klienta", nullptr},
    {102, 4, "ComboComplexOrdTimeout", 4, "60", "5", "6000", 0,
     "COMBO/NEO - Max. czas oczekiwania na sekwencję ZŁOŻONĄ (np. raport tow. usuniętych) (sek.)",
     "TVelLibraParametrAOpis_00015"},
    {102, 12, "ComboSkpDane", 6, "c:\\OrvWin\\Norvik\\skp\\dane", "", "", 0,
     "COMBO/NEO - SKP: Położenie katalogu \\dane", "TVelLibraParametrAOpis_00023"},
    {102, 15, "ComboEdiFolder", 6, "c:\\OrvWin\\EDI", "", "", 0,
     "COMBO/NEO - Katalog EDI, w którym będą umieszczane zamówienia z kas", "TVelLibraParametrAOpis_00026"},
    {102, 17, "ComboDedbug", 7, "1", "", "", 0, "COMBO/NEO - Log komunikacji do pliku log\\NEO_LOG...",
     "TVelLibraParametrAOpis_00028"},
    {103, 0, "ComboKasTowMax", 7, "1", "", "", 1, "COMBO/NEO - Podczas zmiany listy towarów kasuj towary",
     "TVelLibraParametrAOpis_00029"},
    {103, 3, "ComboGroupOverwrite", 7, "1", "", "", 1, "COMBO/NEO - Nadpisywać grupy towarowe", nullptr},
    {104, 0, "DataImportu", 5, "", "", "", 0, "Data importu", "TVelLibraParametrAOpis_00032"},
    {104, 5, "ComboFiscalReport", 7, "0", "", "", 1, "COMBO/NEO - Wykonaj raport dobowy fiskalny", nullptr},
    {105, 1, "ComboNrWydr", 4, "0", "", "", 1, "Nr wydruku (Norvik NEO - w prawym, górnym rogu par.)",
     "TVelLibraParametrAOpis_00041"},
    {107, 0, "ComboImpReceipts", 7, "0", "", "", 1, "COMBO/NEO - Import szczegółowy paragonów",
     "TVelLibraParametrAOpis_00037"},
    {107, 4, "ComboFiscalReport", 7, "0", "", "", 1, "COMBO/NEO - Wykonaj raport dobowy fiskalny", nullptr},
};

// Samples of each list: its length, and entries by position with their text keys.
struct ExpectedText {
    int32_t position;
    const char* text;
    const char* key;  // null for a fixed text
};

struct ExpectedList {
    const char* name;
    int32_t count;
    std::vector<ExpectedText> texts;
};

const std::vector<ExpectedList>& ExpectedLists()
{
    static const std::vector<ExpectedList> lists = {
        {"ComboPort", 11, {{0, "PLIK", "TVelLibraTekstLisreturn"}, {1, "COM1", nullptr}, {10, "TCP/IP", nullptr}}},
        {"ComboKanMul", 13,
         {{0, "Brak", "TVelLibraTekstLisreturn_00001"}, {4, "4xRS232 - Kanał 4", "TVelLibraTekstLisreturn_00005"},
          {12, "8xRS232 - Kanał 8", "TVelLibraTekstLisreturn_00013"}}},
        {"ComboSpeed", 8, {{0, "1200", nullptr}, {3, "9600", nullptr}, {7, "115200", nullptr}}},
        {"ComboDokPlu", 2, {{0, "Nie", "TVelLibraTekstLisreturn_00014"}, {1, "Tak", "TVelLibraTekstLisreturn_00015"}}},
        {"ComboTowIdParag", 2,
         {{0, "po PLU (zalecane)", "TVelLibraTekstLisreturn_00016"},
          {1, "po kodzie kreskowym (ustawiać wyłącznie w przypadku sprzedaży przez kody kreskowe)",
           "TVelLibraTekstLisreturn_00017"}}},
        {"PoziomCen", 4, {{0, "detaliczna", "TVelLibraTekstLisreturn_00018"}, {3, "dodatkowa", "TVelLibraTekstLisreturn_00021"}}},
        {"ComboCardFormatFull", 3,
         {{0, "pełny kod (np. 72232315302)", "TVelLibraTekstLisreturn_00024"},
          {2, "tylko fragment \"NNN...\" z kodu karty (np. 232) - na podstawie definicji maski", nullptr}}},
        {"ComboDedbug", 2, {{0, "Nie", "TVelLibraTekstLisreturn_00031"}, {1, "Tak", "TVelLibraTekstLisreturn_00032"}}},
        {"ComboProductFlag", 2, {{1, "cena otw/zam - czy można zmieniać cenę | towar rabatowany", nullptr}}},
        {"ComboExpCashier", 2, {{1, "Tak (zaprogramowani kasjerzy będa mieli max. uprawnienia)", "TVelLibraTekstLisreturn_00030"}}},
    };
    return lists;
}

// One answer of the catalogue, as the host would see it; the caller's own
// values go in first, so a test sees what the answer leaves of them.
struct Answer {
    int32_t type = 0;
    AnsiString name = "n", description = "d", defaultValue = "v", minimum = "1", maximum = "9";
    int32_t flag = 77;
};

Answer Ask(int32_t group, int32_t index)
{
    Answer a;
    a.type = ComboParametr(group, index, a.name, a.description, a.defaultValue, a.minimum, a.maximum, a.flag, "");
    return a;
}

// Every entry of the catalogue, walked as the host does: each group from
// index 0 until the first type 0.
std::vector<Answer> WalkCatalogue()
{
    std::vector<Answer> all;
    for (int32_t group = 101; group <= 107; ++group)
        for (int32_t index = 0; Ask(group, index).type != 0; ++index) all.push_back(Ask(group, index));
    return all;
}

// A host text tool that answers every lookup with its section and key, so a
// test sees which texts are looked up and under which keys.
int EchoLookup(char* buffer, int size, const char* section, const char* key)
{
    AnsiString answer = AnsiString(section) + "|" + key;
    std::strncpy(buffer, answer.c_str(), static_cast<size_t>(size));
    return 1;
}

class WithEchoTextTool {
public:
    WithEchoTextTool() : FSaved(Process().DriverTextTool) { Process().DriverTextTool = &FTool; }
    ~WithEchoTextTool() { Process().DriverTextTool = FSaved; }

private:
    TMLgExtTools FTool{nullptr, EchoLookup};
    const TMLgExtTools* FSaved;
};

AnsiString Echoed(const char* key) { return AnsiString("velcombo_cbaction|") + key; }

}  // namespace

TEST(Catalogue, EntriesByteForByteReplacingWhatTheCallerPassed)
{
    for (const ExpectedEntry& e : ExpectedCatalogue) {
        SCOPED_TRACE(testing::Message() << e.group << "/" << e.index << " " << e.name);
        const Answer a = Ask(e.group, e.index);
        EXPECT_EQ(std::tuple(a.type, a.name, a.description, a.defaultValue, a.minimum, a.maximum, a.flag),
                  std::tuple(e.type, e.name, e.description, e.defaultValue, e.minimum, e.maximum, e.flag));
    }
}

TEST(Catalogue, NothingOutsideTheGroupsAndCallerTextsStay)
{
    // The ends of every group are walked through the exports; these are the extremes.
    const std::pair<int32_t, int32_t> probes[] = {{106, 0},  {101, -1},       {107, INT_MIN}, {101, INT_MAX},
                                                  {100, 0},  {108, 0},        {-101, 0},      {INT_MIN, 0}};
    for (const auto& [group, index] : probes) {
        const Answer a = Ask(group, index);
        EXPECT_EQ(std::tuple(a.type, a.name + a.description + a.defaultValue, a.minimum + a.maximum, a.flag),
                  std::tuple(0, "ndv", "", 0))
            << group << "/" << index;
    }
}

TEST(Catalogue, TranslatableTextsAreLookedUpUnderTheirKeys)
{
    WithEchoTextTool tool;
    for (const ExpectedEntry& e : ExpectedCatalogue) {
        const Answer a = Ask(e.group, e.index);
        EXPECT_EQ(a.description, e.key ? Echoed(e.key) : AnsiString(e.description)) << e.name;
        // Only the port's file-mode word is a translatable default.
        EXPECT_EQ(a.defaultValue, AnsiString(e.name) == "ComboPort" ? Echoed("TVelLibraParametrAWartDom")
                                                                     : AnsiString(e.defaultValue))
            << e.name;
    }
}

TEST(ListTexts, ListsByteForByteTheirKeysAndTheirEnds)
{
    for (const bool translated : {false, true}) {
        std::unique_ptr<WithEchoTextTool> tool(translated ? new WithEchoTextTool : nullptr);
        for (const ExpectedList& list : ExpectedLists()) {
            SCOPED_TRACE(list.name);
            for (const ExpectedText& t : list.texts)
                EXPECT_EQ(ComboTekstListyParametru(list.name, t.position),
                          translated && t.key ? Echoed(t.key) : AnsiString(t.text))
                    << t.position;
            for (int32_t past : {list.count, list.count + 1, -1, INT_MIN, INT_MAX})
                EXPECT_EQ(ComboTekstListyParametru(list.name, past), "") << past;
            EXPECT_NE(ComboTekstListyParametru(list.name, list.count - 1), "");
        }
    }
    // The two "Nie"/"Tak" pairs stay apart so a translation may differ.
    WithEchoTextTool tool;
    EXPECT_NE(ComboTekstListyParametru("ComboDokPlu", 0), ComboTekstListyParametru("ComboDedbug", 0));
}

TEST(ListTexts, NamesMatchTrimmedInAnyCase)
{
    for (const char* name : {"ComboPort", "comboport", "  ComboPort\t ", "\r\ncOMBOpORT "})
        EXPECT_EQ(ComboTekstListyParametru(name, 3), "COM3") << name;
    for (const char* name : {"", "   ", "ComboModemPhone", "Combo Port", "ComboPortX", "Vel_Combo_ComboPort"})
        EXPECT_EQ(ComboTekstListyParametru(name, 0), "") << name;
    EXPECT_EQ(ComboTekstListyParametru(" poziomcen ", 2), "nocna");
}

TEST(ListTexts, EveryListEntryOfTheCatalogueHasAListAndItsDefaultIsInIt)
{
    for (const Answer& a : WalkCatalogue()) {
        if (a.type == 7)
            EXPECT_NE(ComboTekstListyParametru(a.name, StrToIntDef(a.defaultValue, -1)), "") << a.name;
        else
            EXPECT_EQ(ComboTekstListyParametru(a.name, 0), a.type == 3 ? a.defaultValue : "") << a.name;
    }
    // Two lists have no catalogue entry of their own.
    EXPECT_EQ(ComboTekstListyParametru("ComboZerujStanyMag", 1), "Tak");
    EXPECT_EQ(ComboTekstListyParametru("ComboImpTow", 0), "Nie");
}
