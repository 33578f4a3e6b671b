// A host that does not keep to the rules: it writes past the text buffers it
// is given, refuses a part of a long value half-way, hands back library
// handles it never got or has released, releases a library from one of its
// callbacks, and calls from several threads at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "inprocess_host.h"
#include "thrown.h"

extern "C" {
void* ORVDLLRejestrujBiblioteke(HORVCBARG1, void*, void*, void*);
void ORVDLLZwolnijBiblioteke(void*);
void ORVDLLRejestrujCallback(void*, void*, int);
int ORVDLLSerKasOperacja(void*, HORVCBARG2, HORVDLLSKSESJA*, char*, int, int);
void ORVDLLWlasciwosciUrzadzenia(void*, HORVCBARG2, char*, int);
void ORVDLLSerKasNazwaZasobuDzielonego(void*, HORVCBARG2, char*);
int ORVDLLSerKasJakSzukacParagonu(void*, HORVCBARG2, int32_t*, int32_t*, int32_t*);
int ORVDLLSerKasPokazOkno(void*, HORVCBARG2, int, int, int32_t*, char*);
void ORVDLLSerKasPodtrzymajSesje(void*, HORVDLLSKSESJA*, char*, int, int);
}

namespace {
// Fills a buffer with 4095 bytes and its terminator, whatever it was told.
int Flood(char* buffer)
{
    std::memset(buffer, 'x', 4095), buffer[4095] = 0;
    return 1;
}
int FloodValue(HORVCBARG1, HORVCBARG2, const char*, char* value) { return Flood(value); }

// Stores every part but the third.
int RefuseThirdPart(HORVCBARG1 host, HORVCBARG2, const char* name, const char* value)
{
    if (std::string(name).back() == '3') return 0;
    static_cast<VelHost*>(host)->SetParam(name, value);
    return 1;
}
}  // namespace

TEST(CarelessHost, TextsWrittenPastTheirBufferAreCutAtTheirSize)
{
    InProcessHost in;
    in.Start();
    in.library->RejestrujCallback(reinterpret_cast<void*>(&FloodValue), 6);
    in.library->RejestrujCallback(
        reinterpret_cast<void*>(+[](HORVCBARG1, HORVCBARG2, int32_t*, int32_t*, char* name, char* station, char* folder) {
            return Flood(name) + Flood(station) + Flood(folder) - 2;
        }),
        11);
    in.library->RejestrujCallback(
        reinterpret_cast<void*>(+[](HORVCBARG1, HORVCBARG2, int32_t index, char* format) -> int {
            return index == 0 && Flood(format);
        }),
        14);
    in.library->RejestrujCallback(
        reinterpret_cast<void*>(+[](char* buffer, int32_t, const char*, const char*) { return Flood(buffer); }), 34);
    auto action = in.NewAction();
    EXPECT_EQ(action->WartoscParametru("ComboPort"), std::string(300, 'x'));
    // A folder that fills its buffer may have been cut: no file is named in
    // it, and the refusal gives its length (among texts the host flooded too).
    EXPECT_NE(testutil::Thrown([&] { action->FNameLOG(); }).find("x260x"), std::string::npos);
    EXPECT_EQ(action->GetFormatyWazone()->Text(), std::string(300, 'x') + "\r\n");
    EXPECT_EQ(GetString(in.library->GetLgLink(), "veltools_VelAction", "Katalog", 0, ""), std::string(1024, 'x'));
    // A text the host says it has not, or an empty one, leaves the default.
    for (auto lookup : {+[](char* b, int32_t, const char*, const char*) { return std::strcpy(b, "tekst") && false; },
                        +[](char* b, int32_t, const char*, const char*) { return !(b[0] = 0); }}) {
        in.library->RejestrujCallback(reinterpret_cast<void*>(lookup), 34);
        EXPECT_EQ(GetString(in.library->GetLgLink(), "veltools_VelAction", "Katalog", 0, "dom"), "dom");
    }
}

TEST(CarelessHost, ARefusedPartLeavesTheOldValueAndOneLongLineIsCutPlainly)
{
    InProcessHost in;
    for (int i = 1; i <= 6; ++i)
        in.host.SetParam("Vel_Combo_ComboAsort" + std::to_string(i), "old" + std::to_string(i));
    in.Start();
    in.library->RejestrujCallback(reinterpret_cast<void*>(&RefuseThirdPart), 21);
    auto action = in.NewAction();
    EXPECT_THROW(action->WriteLongParamEx("ComboAsort", std::string(1000, 'n'), 6), Exception);
    EXPECT_EQ(action->ReadLongParamEx("ComboAsort", 6), "old1old2old3old4old5old6");

    action->WriteLongParamEx("ComboGrupy", std::string(1600, 'a') + "\r\n", 2);
    EXPECT_EQ(action->ReadLongParamEx("ComboGrupy", 2), std::string(500, 'a'));
}

// Every export that takes a handle, with one the library does not know: it
// follows nothing, calls back nothing, answers -1 for a number and "" for a
// text, so that a host checking only the answer sees the refusal.
TEST(CarelessHost, AHandleNeverIssuedOrAlreadyReleasedIsRefusedByEveryExport)
{
    VelHost host;
    void* lib = ORVDLLRejestrujBiblioteke(&host, nullptr, nullptr, nullptr);
    ASSERT_NE(lib, nullptr);
    host.RegisterCallbacks(&ORVDLLRejestrujCallback, lib);
    ORVDLLZwolnijBiblioteke(lib);
    long long junk[64] = {};
    const struct {
        const char* name;
        void* handle;
    } handles[] = {{"NULL", nullptr}, {"released", lib}, {"never issued", junk}};
    const std::string texts[] = {"sesja", std::string(300, 'x')};
    for (const auto& row : handles)
        for (const std::string& held : texts) {
            SCOPED_TRACE(std::string(row.name) + " with a text of " + std::to_string(held.size()));
            char text[301] = {};
            const auto refill = [&] { return std::strcpy(text, held.c_str()); };
            ORVDLLZwolnijBiblioteke(row.handle);
            ORVDLLRejestrujCallback(row.handle, reinterpret_cast<void*>(&FloodValue), 6);
            HORVDLLSKSESJA session = nullptr;
            EXPECT_EQ(ORVDLLSerKasOperacja(row.handle, host.Call(), &session, refill(), -1, 0), -1);
            EXPECT_STREQ(text, "");
            session = &host;  // a session held would otherwise answer 1 after a wait
            EXPECT_EQ(ORVDLLSerKasOperacja(row.handle, host.Call(), &session, refill(), -3, 0), -1);
            EXPECT_STREQ(text, "");
            int32_t a = 7, b = 7, c = 7;
            EXPECT_EQ(ORVDLLSerKasJakSzukacParagonu(row.handle, host.Call(), &a, &b, &c), -1);
            EXPECT_EQ(a + b + c, 21);
            int32_t code = 7;
            EXPECT_EQ(ORVDLLSerKasPokazOkno(row.handle, host.Call(), 5, 0, &code, refill()), -1);
            EXPECT_STREQ(text, "");
            EXPECT_EQ(code, 7);
            ORVDLLWlasciwosciUrzadzenia(row.handle, host.Call(), refill(), 1103);
            EXPECT_STREQ(text, "");
            ORVDLLSerKasNazwaZasobuDzielonego(row.handle, host.Call(), refill());
            EXPECT_STREQ(text, "");
            ORVDLLSerKasPodtrzymajSesje(row.handle, &session, refill(), 0, 0);
            EXPECT_STREQ(text, "");
            EXPECT_EQ(std::count(text, text + sizeof text, 0), 301);
        }
    EXPECT_TRUE(host.lines.empty());
    EXPECT_TRUE(host.events.empty());
}

// A host that releases the library from inside a callback: the handle is gone
// at once, the object itself when the operation it runs has ended.
TEST(CarelessHost, ALibraryReleasedDuringItsOperationGoesWhenTheOperationEnds)
{
    VelHost host;
    host.SetParam("ComboPort", "PLIK");
    void* lib = ORVDLLRejestrujBiblioteke(&host, nullptr, nullptr, nullptr);
    ASSERT_NE(lib, nullptr);
    host.RegisterCallbacks(&ORVDLLRejestrujCallback, lib);
    std::vector<std::string> answers;
    host.onLine = [&](const HostLine&) {
        if (host.lines.size() != 1) return;
        char text[301] = "";
        ORVDLLWlasciwosciUrzadzenia(lib, host.Call(), text, 1103);
        answers.push_back(text);
        ORVDLLZwolnijBiblioteke(lib);
        ORVDLLWlasciwosciUrzadzenia(lib, host.Call(), text, 1103);
        answers.push_back(text);
        ORVDLLZwolnijBiblioteke(lib);
    };
    char text[301] = "sesja";
    EXPECT_EQ(ORVDLLSerKasOperacja(lib, host.Call(), nullptr, text, -1, 0), 0);
    EXPECT_EQ(answers, (std::vector<std::string>{"1", ""}));
    // The operation ran to its end: its failure's header and its message.
    ASSERT_EQ(host.lines.size(), 2u);
    EXPECT_EQ(host.lines[1].kind, 2);
    EXPECT_EQ(host.lines[1].text, "Ustawione złącze PLIK. Kasa nie obsługuje testu połączenia z plikiem!");

    host.lines.clear();
    EXPECT_EQ(ORVDLLSerKasOperacja(lib, host.Call(), nullptr, text, -1, 0), -1);
    EXPECT_TRUE(host.lines.empty());
}

// A host that calls from several threads at once: libraries registered while
// others run, and one library released by two threads while a third uses it.
TEST(CarelessHost, ThreadsRegisteringUsingAndReleasingLibrariesCorruptNothing)
{
    constexpr int kThreads = 4, kRounds = 200;
    std::atomic<int> answered = 0;
    auto use = [&](VelHost& host, void* lib) {
        char text[301] = "";
        ORVDLLSerKasNazwaZasobuDzielonego(lib, host.Call(), text);
        ORVDLLWlasciwosciUrzadzenia(lib, host.Call(), text, 1103);
        if (std::string(text) == "1") ++answered;
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            VelHost host;
            for (int i = 0; i < kRounds; ++i) {
                void* lib = ORVDLLRejestrujBiblioteke(&host, nullptr, nullptr, nullptr);
                use(host, lib);
                ORVDLLZwolnijBiblioteke(lib);
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(answered, kThreads * kRounds);

    VelHost host;
    for (int i = 0; i < kRounds; ++i) {
        void* lib = ORVDLLRejestrujBiblioteke(&host, nullptr, nullptr, nullptr);
        std::thread user([&] { use(host, lib); }), first([&] { ORVDLLZwolnijBiblioteke(lib); }),
            second([&] { ORVDLLZwolnijBiblioteke(lib); });
        user.join(), first.join(), second.join();
    }
}
