// The harness's host keeps what it takes as a real host keeps it in its
// database: a host killed at any moment keeps an import with the parameters
// it handed over, or neither, and the parameters in the order they came; a
// "kasa.imp" it cannot read is a failed save, never an empty day.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>

#include "hostlib.h"
#include "testutil.h"

TEST(HostStore, AnImportAndItsParametersAreKeptTogetherInTheOrderTheyCame)
{
    testutil::TempDir store;
    const std::string ini = store / "host.ini";
    testutil::WriteFile(ini, "[params]\nComboLastReceipt=1\nOther=ini\n[host]\nstore=" + store.Path() + "\n");
    {
        VelHost host;
        host.storeFolder = store.Path();
        host.StoreParam("ComboLastReceipt", "5");
        host.StoreParam("Other", "a");
        host.StoreImport("[FINANSOWE]\r\nKASPAR;ComboLastReceipt;13\r\n");
        host.StoreParam("Other", "b");
    }
    auto restarted = [&] {
        auto host = std::make_unique<VelHost>();
        std::string error;
        EXPECT_TRUE(host->ConfigureFromFile(ini, error)) << error;
        return host;
    };
    // The import's value over the one stored before it; the one stored after it over both.
    EXPECT_EQ(restarted()->Param("ComboLastReceipt"), "13");
    EXPECT_EQ(restarted()->Param("Other"), "b");
    // Killed before the import was kept: neither it nor its parameters.
    std::filesystem::remove(store / "import-1.imp");
    EXPECT_EQ(restarted()->Param("ComboLastReceipt"), "5");
    EXPECT_TRUE(VelHost::StoredImports(store.Path()).empty());
}

TEST(HostStore, LinesFromTwoThreadsAreAllKept)
{
    static void* addLine = nullptr;
    VelHost host;
    host.RegisterCallbacks([](void*, void* function, int id) { if (id == 12) addLine = function; }, nullptr);
    ASSERT_NE(addLine, nullptr);
    const auto add = reinterpret_cast<void (*)(void*, void*, int32_t, const char*)>(addLine);
    auto writer = [&] {
        for (int i = 0; i < 5000; ++i) add(&host, nullptr, 0, "linia");
    };
    std::thread first(writer), second(writer);
    first.join();
    second.join();
    EXPECT_EQ(host.lines.size(), 10000u);
    EXPECT_EQ(host.lines.back(), (HostLine{false, 0, "linia"}));
}

// The library learns that the day did not reach the host, and keeps it.
TEST(HostStore, AKasaImpThatCannotBeReadIsAFailedSaveAndNothingIsKept)
{
    static void* saveImport = nullptr;
    testutil::TempDir dir;
    VelHost host;
    host.device.folder = dir.Folder();
    host.storeFolder = dir / "store";
    std::filesystem::create_directory(host.storeFolder);
    host.RegisterCallbacks([](void*, void* function, int id) { if (id == 17) saveImport = function; }, nullptr);
    ASSERT_NE(saveImport, nullptr);
    const auto save = reinterpret_cast<int (*)(void*, void*)>(saveImport);
    const std::string kasaImp = dir / "kasa.imp";
    const std::pair<const char*, std::function<void()>> unreadable[] = {
        {"missing", [] {}},
        {"a folder", [&] { std::filesystem::create_directory(kasaImp); }},
    };
    for (const auto& [what, make] : unreadable) {
        std::filesystem::remove_all(kasaImp);
        make();
        EXPECT_EQ(save(&host, nullptr), 0) << what;
    }
    EXPECT_TRUE(host.imports.empty());
    EXPECT_TRUE(VelHost::StoredImports(host.storeFolder).empty());

    for (const std::string& day : {std::string(), std::string("[FINANSOWE]\r\n")}) {
        std::filesystem::remove_all(kasaImp);
        testutil::WriteFile(kasaImp, day);
        EXPECT_EQ(save(&host, nullptr), 1) << day.size() << " bytes";
        EXPECT_EQ(host.imports.back(), day);
    }
    EXPECT_EQ(VelHost::StoredImports(host.storeFolder).size(), 2u);
}
