// The library as a host sees it: loaded with dlopen, answering the catalogue
// calls, registered with the host's callbacks and running device calls.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "hostlib.h"
#include "testutil.h"

namespace {
class Library : public ::testing::Test {
protected:
    VelHost host;
    const VelHost::Exports* lib = nullptr;
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(host.Load(VELCOMBO_LIB, error)) << error;
        lib = &host.Lib();
    }
    std::string Property(int n)
    {
        char out[301];
        std::memset(out, 'x', sizeof out);
        lib->Wlasciwosci(out, n);
        return out;
    }
    // Runs an operation and answers its result, the lines in host.lines.
    int Operation(int operation, int parameter = 0, const char* text = "")
    {
        char buffer[301] = {};
        std::strncpy(buffer, text, 300);
        void* session = nullptr;
        return lib->SerKasOperacja(host.Handle(), host.Call(), &session, buffer, operation, parameter);
    }
};
}  // namespace

TEST(Exports, OnlyTheFifteenExportsAndTheEntryPointAreVisible)
{
    const testutil::RunResult nm = testutil::Run({"/usr/bin/nm", "-D", "--defined-only", VELCOMBO_LIB});
    ASSERT_EQ(nm.status, 0);
    std::vector<std::string> names;
    std::istringstream in(nm.out);
    std::string address, type, name;
    while (in >> address >> type >> name) names.push_back(name);
    std::sort(names.begin(), names.end());
    const std::vector<std::string> expected = {
        "DllEntryPoint", "ORVDLLParametr", "ORVDLLRejestrujBiblioteke", "ORVDLLRejestrujCallback",
        "ORVDLLSerKasJakSzukacParagonu", "ORVDLLSerKasNazwaZasobuDzielonego", "ORVDLLSerKasOperacja",
        "ORVDLLSerKasOpisOkna", "ORVDLLSerKasPodtrzymajSesje", "ORVDLLSerKasPokazOkno", "ORVDLLTekstListyParametru",
        "ORVDLLTypBiblioteki", "ORVDLLUstawJezykKomponentow", "ORVDLLWlasciwosci", "ORVDLLWlasciwosciUrzadzenia",
        "ORVDLLZwolnijBiblioteke"};
    EXPECT_EQ(names, expected);
}

TEST_F(Library, PropertiesAnswerWithoutRegistration)
{
    EXPECT_EQ(lib->TypBiblioteki(), 1);
    EXPECT_EQ(Property(1), "Norvik Combo, NEO");
    EXPECT_EQ(Property(2), "Vel_Combo");
    EXPECT_EQ(Property(3).rfind("Combo wer. 1.01, 1.02, 1.03 (L EU)\nMobile HS EJ 1.01\n", 0), 0u);
    for (int n : {102, 103, 104, 105}) EXPECT_EQ(Property(n), "1");
    EXPECT_EQ(Property(4) + Property(-1), "");
}

TEST_F(Library, WindowNamesAreTheDriversOwn)
{
    char out[301];
    EXPECT_EQ(lib->SerKasOpisOkna(out, 0), 1);
    EXPECT_STREQ(out, "Tablica stawek VAT");
    EXPECT_EQ(lib->SerKasOpisOkna(out, 6), 1);
    EXPECT_STREQ(out, "Import towar\xF3w do programu");
    EXPECT_EQ(lib->SerKasOpisOkna(out, 7), 0);
    EXPECT_STREQ(out, "");
}

TEST_F(Library, NullHandlesAndPointersAreNeverFollowed)
{
    lib->ZwolnijBiblioteke(nullptr);
    lib->RejestrujCallback(nullptr, nullptr, 12);
    lib->Wlasciwosci(nullptr, 1);
    char name[301], description[301], def[301], minimum[301], maximum[301];
    EXPECT_EQ(lib->Parametr(101, 0, name, description, def, minimum, maximum, nullptr), 3);
    EXPECT_STREQ(name, "ComboPort");
    void* session = nullptr;
    EXPECT_EQ(lib->SerKasOperacja(nullptr, nullptr, &session, nullptr, -1, 0), -1);
    ASSERT_NE(host.Register(), nullptr);
    EXPECT_EQ(lib->SerKasOperacja(host.Handle(), host.Call(), nullptr, nullptr, -7, 0), 0);
    lib->RejestrujCallback(host.Handle(), nullptr, 34);  // no text tool, not a crash
    lib->SerKasNazwaZasobuDzielonego(host.Handle(), host.Call(), nullptr);
    lib->SerKasPodtrzymajSesje(host.Handle(), nullptr, nullptr, 0, 0);
    EXPECT_EQ(lib->SerKasPokazOkno(host.Handle(), host.Call(), 1, 1, nullptr, nullptr), 1);
}

TEST_F(Library, BusySessionWaitsASecondAndLeavesTheTextAlone)
{
    ASSERT_NE(host.Register(), nullptr);
    char text[301] = "Sesja \xB3\xF3" "d\xBA";
    void* session = &host;
    const auto start = std::chrono::steady_clock::now();
    const int result = lib->SerKasOperacja(host.Handle(), host.Call(), &session, text, -1, 0);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(result, 1);
    EXPECT_GE(ms, 950);
    EXPECT_STREQ(text, "Sesja \xB3\xF3" "d\xBA");
    ASSERT_EQ(host.lines.size(), 1u);
    EXPECT_EQ(host.lines[0], (HostLine{false, 0, "Oczekiwanie na zamkni\xEA" "cie sesji 'Sesja \xB3\xF3" "d\xBA'"}));
}

TEST_F(Library, FailedOperationsAreNamedInTheirFirstErrorLine)
{
    // File mode: every operation fails before any link is opened.
    host.SetParam("ComboPort", "PLIK");
    ASSERT_NE(host.Register(), nullptr);
    const std::string unsupported = "Urządzenie nie obsługuje zleconego typu operacji",
                      noExport = "Ustawione złącze PLIK. Kasa nie obsługuje eksportu do pliku",
                      noFile = "Ustawione złącze na PLIK, a brak pliku combo.imp!";
    const struct {
        int operation, parameter;
        std::string name, message;
    } cases[] = {
        {-1, 0, "test połączenia", "Ustawione złącze PLIK. Kasa nie obsługuje testu połączenia z plikiem!"},
        {-2, 0, "eksport", noExport},
        {-3, 0, "import sprzedaży", noFile},
        {-4, 0, "import paragonu", "Wykonaj normalny import z kasy z włączonym importem par. szczegółowych"},
        {-5, 0, "eksport automatyczny", noExport},
        {-6, 0, "import automatyczny", noFile},
        {-7, 0, "nasłuch", unsupported},
        {-8, 1, "operacja [-8]", "Ustaw port komunikacyjny"},
        {-9, 0, "import licznika", unsupported},
        {5, 0, "operacja [5]", unsupported},
        {-10, 0, "operacja [-10]", unsupported},
        {0, 0, "operacja [0]", unsupported},
    };
    for (const auto& c : cases) {
        host.lines.clear();
        EXPECT_EQ(Operation(c.operation, c.parameter), 0);
        const std::vector<HostLine> expected = {
            {false, 2, "Podczas wykonywania operacji '" + c.name + "' wystąpił błąd:"}, {false, 2, c.message}};
        EXPECT_EQ(host.lines, expected) << c.operation;
    }
}

TEST_F(Library, SessionTextIsReadAndWrittenBackWithinItsBuffer)
{
    ASSERT_NE(host.Register(), nullptr);
    char text[512];
    std::memset(text, 'x', 400);
    text[400] = 0;
    void* session = nullptr;
    lib->SerKasOperacja(host.Handle(), host.Call(), &session, text, -7, 0);
    EXPECT_EQ(std::string(text, 300), std::string(300, 'x'));
    EXPECT_EQ(text[300], 0);
}

TEST_F(Library, TheHostTranslatesTheFrameworkTextsButNotTheDrivers)
{
    host.hasTexts = true;
    host.texts["veltools_VelLib/Urz\xB9" "dzenie nie obs\xB3uguje zleconego typu operacji"] = "Unsupported operation";
    host.texts["velcombo_cbaction/Raport komunikacji"] = "Communication report";
    ASSERT_NE(host.Register(), nullptr);
    Operation(-7);
    ASSERT_EQ(host.lines.size(), 2u);
    EXPECT_EQ(host.lines[1].text, "Unsupported operation");
    int32_t code = 0;
    char text[301] = {};
    EXPECT_EQ(lib->SerKasPokazOkno(host.Handle(), host.Call(), 5, 1, &code, text), 1);
    EXPECT_STREQ(text, "Raport komunikacji");
    EXPECT_EQ(code, 5);
}

TEST_F(Library, ServiceWindowsGiveTheirFunctionNumber)
{
    ASSERT_NE(host.Register(), nullptr);
    const char* names[] = {nullptr, "Zerowanie danych o sprzeda\xBFy", "Czyszczenie bazy towar\xF3w",
                           "Konfiguracja modemu kasy", "Roz\xB3\xB9" "czanie modemu", "Raport komunikacji"};
    for (int w : {1, 2, 3, 4, 5, 7}) {
        int32_t code = -5;
        char text[301] = {};
        EXPECT_EQ(lib->SerKasPokazOkno(host.Handle(), host.Call(), w, 1, &code, text), w <= 5 ? 1 : 0) << w;
        EXPECT_EQ(code, w <= 5 ? w : -5);
        EXPECT_STREQ(text, w <= 5 ? names[w] : "");
    }
}

TEST_F(Library, DeviceQuestionsAndTheSharedResource)
{
    host.device.folder = "/wymiana/";
    host.SetParam("ComboPort", "COM2");
    ASSERT_NE(host.Register(), nullptr);
    char out[301];
    for (const auto& [n, answer] : {std::pair{1103, "1"}, {1101, "0"}, {7, ""}}) {
        lib->WlasciwosciUrzadzenia(host.Handle(), host.Call(), out, n);
        EXPECT_STREQ(out, answer) << n;
    }
    lib->SerKasNazwaZasobuDzielonego(host.Handle(), host.Call(), out);
    EXPECT_STREQ(out, "COM2");
    host.SetParam("ComboPort", "PLIK");
    lib->SerKasNazwaZasobuDzielonego(host.Handle(), host.Call(), out);
    EXPECT_STREQ(out, "/wymiana/combo.exp");
    // A receipt is searched for by printout and receipt number; 0 and
    // text that is no number both mean none.
    host.SetParam("ComboNrWydr", "12");
    host.SetParam("ComboNrParag", "0");
    int32_t a = 7, b = 8, c = 9;
    EXPECT_EQ(lib->SerKasJakSzukacParagonu(host.Handle(), host.Call(), &a, &b, &c), 1);
    EXPECT_EQ(std::vector<int32_t>({a, b, c}), std::vector<int32_t>({12, -1, -1}));
    host.SetParam("ComboNrParag", "x7");
    host.SetParam("ComboNrWydr", "5");
    lib->SerKasJakSzukacParagonu(host.Handle(), host.Call(), &a, &b, &c);
    EXPECT_EQ(std::vector<int32_t>({a, b, c}), std::vector<int32_t>({5, -1, -1}));
}

TEST_F(Library, MissingCallbacksAreAnsweredWithTheirFixedValues)
{
    host.omitted = {6, 11, 12, 13};
    host.SetParam("ComboPort", "COM2");
    ASSERT_NE(host.Register(), nullptr);
    char out[301];
    // No parameter callback: the port reads empty, which is not the file-mode word.
    lib->SerKasNazwaZasobuDzielonego(host.Handle(), host.Call(), out);
    EXPECT_STREQ(out, "");
    Operation(-7);
    EXPECT_TRUE(host.lines.empty());
}
