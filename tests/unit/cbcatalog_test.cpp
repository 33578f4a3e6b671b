// The catalogue and the list texts are stored data of the host: the ends of
// every group, an entry of every kind and the lists of every shape are
// compared byte for byte against a table written out again on its own.
#include "cbcatalog.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
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
    {102, 0, "ComboResztaZInnychFP", 7, "0", "", "", 0, "COMBO/NEO - Wydawanie reszty z innych form płatności",
     "TVelLibraParametrAOpis_00012"},
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
    {105, 0, "ComboNrParag", 4, "0", "", "", 1, "Nr paragonu (Norvik Combo - w lewym dolnym rogu par.)",
     "TVelLibraParametrAOpis_00040"},
    {105, 1, "ComboNrWydr", 4, "0", "", "", 1, "Nr wydruku (Norvik NEO - w prawym, górnym rogu par.)",
     "TVelLibraParametrAOpis_00041"},
    {107, 0, "ComboImpReceipts", 7, "0", "", "", 1, "COMBO/NEO - Import szczegółowy paragonów",
     "TVelLibraParametrAOpis_00037"},
    {107, 4, "ComboFiscalReport", 7, "0", "", "", 1, "COMBO/NEO - Wykonaj raport dobowy fiskalny", nullptr},
};

struct ExpectedText {
    const char* text;
    const char* key;  // null for a fixed text
};

struct ExpectedList {
    const char* name;
    std::vector<ExpectedText> texts;
};

const std::vector<ExpectedList>& ExpectedLists()
{
    static const std::vector<ExpectedList> lists = {
        {"ComboPort",
         {{"PLIK", "TVelLibraTekstLisreturn"},
          {"COM1", nullptr},
          {"COM2", nullptr},
          {"COM3", nullptr},
          {"COM4", nullptr},
          {"COM5", nullptr},
          {"COM6", nullptr},
          {"COM7", nullptr},
          {"COM8", nullptr},
          {"COM9", nullptr},
          {"TCP/IP", nullptr}}},
        {"ComboKanMul",
         {{"Brak", "TVelLibraTekstLisreturn_00001"},
          {"4xRS232 - Kanał 1", "TVelLibraTekstLisreturn_00002"},
          {"4xRS232 - Kanał 2", "TVelLibraTekstLisreturn_00003"},
          {"4xRS232 - Kanał 3", "TVelLibraTekstLisreturn_00004"},
          {"4xRS232 - Kanał 4", "TVelLibraTekstLisreturn_00005"},
          {"8xRS232 - Kanał 1", "TVelLibraTekstLisreturn_00006"},
          {"8xRS232 - Kanał 2", "TVelLibraTekstLisreturn_00007"},
          {"8xRS232 - Kanał 3", "TVelLibraTekstLisreturn_00008"},
          {"8xRS232 - Kanał 4", "TVelLibraTekstLisreturn_00009"},
          {"8xRS232 - Kanał 5", "TVelLibraTekstLisreturn_00010"},
          {"8xRS232 - Kanał 6", "TVelLibraTekstLisreturn_00011"},
          {"8xRS232 - Kanał 7", "TVelLibraTekstLisreturn_00012"},
          {"8xRS232 - Kanał 8", "TVelLibraTekstLisreturn_00013"}}},
        {"ComboSpeed",
         {{"1200", nullptr},
          {"2400", nullptr},
          {"4800", nullptr},
          {"9600", nullptr},
          {"19200", nullptr},
          {"38400", nullptr},
          {"57600", nullptr},
          {"115200", nullptr}}},
        {"ComboDokPlu", {{"Nie", "TVelLibraTekstLisreturn_00014"}, {"Tak", "TVelLibraTekstLisreturn_00015"}}},
        {"ComboTowIdParag",
         {{"po PLU (zalecane)", "TVelLibraTekstLisreturn_00016"},
          {"po kodzie kreskowym (ustawiać wyłącznie w przypadku sprzedaży przez kody kreskowe)",
           "TVelLibraTekstLisreturn_00017"}}},
        {"PoziomCen",
         {{"detaliczna", "TVelLibraTekstLisreturn_00018"},
          {"hurtowa", "TVelLibraTekstLisreturn_00019"},
          {"nocna", "TVelLibraTekstLisreturn_00020"},
          {"dodatkowa", "TVelLibraTekstLisreturn_00021"}}},
        {"ComboCardFormatFull",
         {{"pełny kod (np. 72232315302)", "TVelLibraTekstLisreturn_00024"},
          {"tylko fragment \"NNN...\" z kodu karty (np. 232) - odczyt definicji z kasy",
           "TVelLibraTekstLisreturn_00025"},
          {"tylko fragment \"NNN...\" z kodu karty (np. 232) - na podstawie definicji maski", nullptr}}},
        {"ComboDedbug", {{"Nie", "TVelLibraTekstLisreturn_00031"}, {"Tak", "TVelLibraTekstLisreturn_00032"}}},
        {"ComboProductFlag",
         {{"cena otw/zam - czy można zmieniać cenę | dod. rabat - czy towar rabatowany", nullptr},
          {"cena otw/zam - czy można zmieniać cenę | towar rabatowany", nullptr}}},
    };
    return lists;
}

// One answer of the catalogue, as the host would see it.
struct Answer {
    int32_t type = 0;
    AnsiString name, description, defaultValue, minimum, maximum;
    int32_t flag = 0;
};

Answer Ask(int32_t group, int32_t index, const AnsiString& binariesFolder = "")
{
    Answer a;
    a.type = ComboParametr(group, index, a.name, a.description, a.defaultValue, a.minimum, a.maximum, a.flag,
                           binariesFolder);
    return a;
}

// Walks a group as the host does: from index 0 until the first type 0.
std::vector<Answer> WalkGroup(int32_t group, const AnsiString& binariesFolder = "")
{
    std::vector<Answer> answers;
    for (int32_t index = 0; index < 1000; ++index) {
        Answer a = Ask(group, index, binariesFolder);
        if (a.type == 0) break;
        answers.push_back(a);
    }
    return answers;
}

std::vector<Answer> WalkCatalogue(const AnsiString& binariesFolder = "")
{
    std::vector<Answer> all;
    for (int32_t group = 101; group <= 107; ++group) {
        std::vector<Answer> answers = WalkGroup(group, binariesFolder);
        all.insert(all.end(), answers.begin(), answers.end());
    }
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

AnsiString Echoed(const char* key)
{
    return AnsiString("velcombo_cbaction|") + key;
}

}  // namespace

TEST(Catalogue, EntriesByteForByte)
{
    for (const ExpectedEntry& e : ExpectedCatalogue) {
        SCOPED_TRACE(testing::Message() << e.group << "/" << e.index << " " << e.name);
        Answer a = Ask(e.group, e.index);
        EXPECT_EQ(a.type, e.type);
        EXPECT_EQ(a.name, e.name);
        EXPECT_EQ(a.description, e.description);
        EXPECT_EQ(a.defaultValue, e.defaultValue);
        EXPECT_EQ(a.minimum, e.minimum);
        EXPECT_EQ(a.maximum, e.maximum);
        EXPECT_EQ(a.flag, e.flag);
    }
}

TEST(Catalogue, NothingOutsideTheGroupsAndIndexesAndCallerTextsStay)
{
    struct Probe {
        int32_t group, index;
    };
    const Probe probes[] = {{101, 23}, {102, 18}, {103, 4},  {104, 6},  {105, 2},       {107, 5},       {106, 0},
                            {106, 1},  {106, -1}, {101, -1}, {104, -1}, {107, INT_MIN}, {101, INT_MAX}, {100, 0},
                            {108, 0},  {0, 0},    {-101, 0}, {1, 1},    {INT_MIN, 0},   {INT_MAX, 0}};
    for (const Probe& p : probes) {
        SCOPED_TRACE(testing::Message() << p.group << "/" << p.index);
        AnsiString name = "n", description = "d", defaultValue = "v", minimum = "1", maximum = "9";
        int32_t flag = 77;
        EXPECT_EQ(ComboParametr(p.group, p.index, name, description, defaultValue, minimum, maximum, flag, ""), 0);
        EXPECT_EQ(name, "n");
        EXPECT_EQ(description, "d");
        EXPECT_EQ(defaultValue, "v");
        EXPECT_EQ(minimum, "");
        EXPECT_EQ(maximum, "");
        EXPECT_EQ(flag, 0);
    }
}

TEST(Catalogue, AFoundEntryReplacesWhateverTheCallerPassed)
{
    // The driver's own values have neither description nor default.
    AnsiString name = "n", description = "d", defaultValue = "v", minimum = "1", maximum = "9";
    int32_t flag = 77;
    EXPECT_EQ(ComboParametr(101, 13, name, description, defaultValue, minimum, maximum, flag, ""), 1);
    EXPECT_EQ(name, "Vel_Combo_ComboAsort1");
    EXPECT_EQ(description, "");
    EXPECT_EQ(defaultValue, "");
    EXPECT_EQ(minimum, "");
    EXPECT_EQ(maximum, "");
    EXPECT_EQ(flag, 2);

    flag = 77;
    EXPECT_EQ(ComboParametr(104, 0, name, description, defaultValue, minimum, maximum, flag, ""), 5);
    EXPECT_EQ(name, "DataImportu");
    EXPECT_EQ(defaultValue, "");
    EXPECT_EQ(flag, 0);
}

TEST(Catalogue, ComputedDefaultsStartWithTheBinariesFolder)
{
    const std::vector<Answer> fallback = WalkCatalogue("");
    for (const char* folder : {"/opt/orvwin/", "d:\\Programy\\OrvWin\\"}) {
        SCOPED_TRACE(folder);
        const std::vector<Answer> answers = WalkCatalogue(folder);
        ASSERT_EQ(answers.size(), fallback.size());
        for (size_t i = 0; i < answers.size(); ++i) {
            SCOPED_TRACE(answers[i].name);
            if (answers[i].name == "ComboSkpDane")
                EXPECT_EQ(answers[i].defaultValue, AnsiString(folder) + "Norvik\\skp\\dane");
            else if (answers[i].name == "ComboEdiFolder")
                EXPECT_EQ(answers[i].defaultValue, AnsiString(folder) + "EDI");
            else
                EXPECT_EQ(answers[i].defaultValue, fallback[i].defaultValue);
        }
    }
    EXPECT_EQ(Ask(102, 12).defaultValue, "c:\\OrvWin\\Norvik\\skp\\dane");
    EXPECT_EQ(Ask(102, 15).defaultValue, "c:\\OrvWin\\EDI");
    EXPECT_EQ(DefaultBinariesFolder, AnsiString("c:\\OrvWin\\"));
}

TEST(Catalogue, TextsAreCodePage1250Bytes)
{
    EXPECT_EQ(Ask(101, 0).description,
              "Z\xB3\xB9"
              "cze");
    EXPECT_EQ(Ask(101, 2).description,
              "Modem, RS-232 - pr\xEA"
              "dko\x9C\xE6 transmisji");
    EXPECT_EQ(Ask(102, 4).description,
              "COMBO/NEO - Max. czas oczekiwania na sekwencj\xEA Z\xA3O\xAFON\xA5 (np. raport tow. usuni\xEAtych) "
              "(sek.)");
    EXPECT_EQ(Ask(102, 12).description,
              "COMBO/NEO - SKP: Po\xB3o\xBF"
              "enie katalogu \\dane");
    EXPECT_EQ(Ask(105, 1).description, "Nr wydruku (Norvik NEO - w prawym, g\xF3rnym rogu par.)");
    EXPECT_EQ(ComboTekstListyParametru("ComboKanMul", 12), "8xRS232 - Kana\xB3 8");
    EXPECT_EQ(ComboTekstListyParametru("ComboExpCashier", 1),
              "Tak (zaprogramowani kasjerzy b\xEA"
              "da mieli max. uprawnienia)");
    EXPECT_EQ(ComboTekstListyParametru("ComboOrdersAs", 1), "Zam\xF3wienie od odbiorcy (ZAM_ODB)");
    EXPECT_EQ(ComboTekstListyParametru("ComboSkpUse", 0), "nie obs\xB3ugiwana");
}

TEST(Catalogue, TranslatableTextsAreLookedUpUnderTheirKeys)
{
    WithEchoTextTool tool;
    for (const ExpectedEntry& e : ExpectedCatalogue) {
        SCOPED_TRACE(e.name);
        std::vector<Answer> group = WalkGroup(e.group);
        const Answer* found = nullptr;
        for (const Answer& a : group)
            if (a.name == e.name) found = &a;
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->description, e.key ? Echoed(e.key) : AnsiString(e.description));
        // Only the port's file-mode word is a translatable default.
        if (AnsiString(e.name) == "ComboPort")
            EXPECT_EQ(found->defaultValue, Echoed("TVelLibraParametrAWartDom"));
        else
            EXPECT_EQ(found->defaultValue, e.defaultValue);
    }
}

TEST(ListTexts, EveryListByteForByteAndItsEnd)
{
    for (const ExpectedList& list : ExpectedLists()) {
        SCOPED_TRACE(list.name);
        const int32_t count = static_cast<int32_t>(list.texts.size());
        for (int32_t i = 0; i < count; ++i) EXPECT_EQ(ComboTekstListyParametru(list.name, i), list.texts[i].text);
        EXPECT_EQ(ComboTekstListyParametru(list.name, count), "");
        EXPECT_EQ(ComboTekstListyParametru(list.name, count + 1), "");
        EXPECT_EQ(ComboTekstListyParametru(list.name, -1), "");
        EXPECT_EQ(ComboTekstListyParametru(list.name, INT_MIN), "");
        EXPECT_EQ(ComboTekstListyParametru(list.name, INT_MAX), "");
    }
}

TEST(ListTexts, TranslatableTextsAreLookedUpUnderTheirKeys)
{
    WithEchoTextTool tool;
    for (const ExpectedList& list : ExpectedLists()) {
        SCOPED_TRACE(list.name);
        for (size_t i = 0; i < list.texts.size(); ++i) {
            const ExpectedText& t = list.texts[i];
            EXPECT_EQ(ComboTekstListyParametru(list.name, static_cast<int32_t>(i)),
                      t.key ? Echoed(t.key) : AnsiString(t.text))
                << "position " << i;
        }
    }
    // The two "Nie"/"Tak" pairs stay apart so a translation may differ.
    EXPECT_NE(ComboTekstListyParametru("ComboDokPlu", 0), ComboTekstListyParametru("ComboDedbug", 0));
    EXPECT_EQ(ComboTekstListyParametru("ComboPort", 0), Echoed("TVelLibraTekstLisreturn"));
}

TEST(ListTexts, NamesMatchTrimmedInAnyCase)
{
    for (const char* name : {"ComboPort", "comboport", "COMBOPORT", "  ComboPort\t ", "\r\ncOMBOpORT "})
        EXPECT_EQ(ComboTekstListyParametru(name, 3), "COM3") << name;
    for (const char* name : {"", "   ", "ComboModemPhone", "Combo Port", "ComboPortX", "Vel_Combo_ComboPort"})
        for (int32_t i : {0, 1, 3}) EXPECT_EQ(ComboTekstListyParametru(name, i), "") << name << " " << i;
    EXPECT_EQ(ComboTekstListyParametru(" poziomcen ", 2), "nocna");
    EXPECT_EQ(ComboTekstListyParametru("ComboSpeed", 3), "9600");
}

TEST(ListTexts, EveryListEntryOfTheCatalogueHasAListAndItsDefaultIsInIt)
{
    for (const Answer& a : WalkCatalogue()) {
        SCOPED_TRACE(a.name);
        if (a.type == 7) {
            int32_t position = StrToIntDef(a.defaultValue, -1);
            EXPECT_NE(ComboTekstListyParametru(a.name, position), "");
        } else if (a.type == 3) {
            EXPECT_EQ(ComboTekstListyParametru(a.name, 0), a.defaultValue);
        } else {
            EXPECT_EQ(ComboTekstListyParametru(a.name, 0), "");
        }
    }
    // Two lists have no catalogue entry of their own.
    EXPECT_EQ(ComboTekstListyParametru("ComboZerujStanyMag", 1), "Tak");
    EXPECT_EQ(ComboTekstListyParametru("ComboImpTow", 0), "Nie");
}
