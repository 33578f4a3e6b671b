// A host's package: `cmake --install` places the library, its C header and the
// harness and nothing of the tests; the installed harness loads the installed
// library, and a host written in C or C++ builds against the installed header.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "testutil.h"

TEST(Install, PlacesTheLibraryTheHeaderAndAHarnessThatLoadsIt)
{
    namespace fs = std::filesystem;
    testutil::TempDir dir;
    const std::string prefix = dir.File("prefix");
    const testutil::RunResult install =
        testutil::Run({"/bin/sh", "-c", "\"$0\" --install \"$1\" --prefix \"$2\" 2>&1", CMAKE_EXE, BUILD_DIR, prefix});
    ASSERT_EQ(install.status, 0) << install.out;
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(prefix))
        if (!entry.is_directory()) files.push_back(fs::relative(entry.path(), prefix).string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"bin/velhost", "include/velcombo.h", "lib/libvelcombo.so"}));

    // The loader's own record of what it opened, beside the harness's output.
    const testutil::RunResult run =
        testutil::Run({"/bin/sh", "-c", "LD_DEBUG=files \"$0\" info 2>&1", prefix + "/bin/velhost"});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("file=" + prefix + "/lib/libvelcombo.so "), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("file=" VELCOMBO_LIB), std::string::npos) << run.out;
}

TEST(Install, AHostInCAndInCxxBuildsAgainstTheInstalledHeaderAndLoadsTheLibrary)
{
    testutil::TempDir dir;
    const std::string prefix = dir.File("prefix");
    const testutil::RunResult install =
        testutil::Run({"/bin/sh", "-c", "\"$0\" --install \"$1\" --prefix \"$2\" 2>&1", CMAKE_EXE, BUILD_DIR, prefix});
    ASSERT_EQ(install.status, 0) << install.out;
    for (const std::string compiler : {"cc -std=c11", "c++ -x c++ -std=c++17"}) {
        const std::string host = dir.File("host");
        const testutil::RunResult build =
            testutil::Run({"/bin/sh", "-c",
                           compiler + " " C_HOST_FLAGS
                                      " -Wall -Wextra -Wpedantic -Werror -I\"$0/include\" \"$1\" -o \"$2\" -ldl 2>&1",
                           prefix, C_HOST_SOURCE, host});
        ASSERT_EQ(build.status, 0) << compiler << "\n" << build.out;
        const testutil::RunResult run = testutil::Run({host, prefix + "/lib/libvelcombo.so"});
        EXPECT_EQ(run.status, 0) << compiler;
        EXPECT_EQ(run.out,
                  "TYPE 1\n"
                  "PROPERTY 2 Vel_Combo\n"
                  "PARAMETER 3 ComboPort PLIK 0\n"
                  "LIST 1 PLIK\n"
                  "WINDOW 0 []\n"
                  "CATALOGUE 58 entries, 29 lists, 10 stored by the library\n"
                  "LINE 0 Oczekiwanie na zamkni\xEA"
                  "cie sesji 'sesja'\n"
                  "RESULT 1\n")
            << compiler;
    }
}
