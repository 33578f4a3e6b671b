// A host's package: `cmake --install` places the library, its C header, the
// harness and what a host's build finds them by, and nothing of the tests;
// the installed harness loads the installed library, and a host written in C
// or C++ builds against the installed tree through pkg-config or CMake and
// loads the library by name. The package alone is built without the test stack.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "testutil.h"

namespace {

// Installs the build into a prefix of its own below dir.
std::string Install(const testutil::TempDir& dir)
{
    const std::string prefix = dir.File("prefix");
    const testutil::RunResult install =
        testutil::Run({"/bin/sh", "-c", "\"$0\" --install \"$1\" --prefix \"$2\" 2>&1", CMAKE_EXE, BUILD_DIR, prefix});
    EXPECT_EQ(install.status, 0) << install.out;
    return prefix;
}

// What the C host prints, loading the library from the name it is given.
const char* const kHostOutput =
    "TYPE 1\n"
    "PROPERTY 2 Vel_Combo\n"
    "PARAMETER 3 ComboPort PLIK 0\n"
    "LIST 1 PLIK\n"
    "WINDOW 0 []\n"
    "CATALOGUE 58 entries, 29 lists, 10 stored by the library\n"
    "LINE 0 Oczekiwanie na zamkni\xEA"
    "cie sesji 'sesja'\n"
    "RESULT 1\n"
    "REFUSED 1\n";

}  // namespace

TEST(Install, PlacesTheLibraryTheHeaderTheBuildFilesAndAHarnessThatLoadsIt)
{
    namespace fs = std::filesystem;
    testutil::TempDir dir;
    const std::string prefix = Install(dir);
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(prefix)) {
        if (entry.is_directory()) continue;
        std::string file = fs::relative(entry.path(), prefix).string();
        // The imported target's file of the build type, whichever it is.
        if (file.starts_with("lib/cmake/velcombo/velcomboTargets-")) file = "lib/cmake/velcombo/velcomboTargets-TYPE";
        files.push_back(file);
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"bin/velhost", "include/velcombo.h",
                                               "lib/cmake/velcombo/velcomboConfig.cmake",
                                               "lib/cmake/velcombo/velcomboConfigVersion.cmake",
                                               "lib/cmake/velcombo/velcomboTargets-TYPE",
                                               "lib/cmake/velcombo/velcomboTargets.cmake", "lib/libvelcombo.so",
                                               "lib/pkgconfig/velcombo.pc"}));

    // The loader's own record of what it opened, beside the harness's output.
    const testutil::RunResult run =
        testutil::Run({"/bin/sh", "-c", "LD_DEBUG=files \"$0\" info 2>&1", prefix + "/bin/velhost"});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("file=" + prefix + "/lib/libvelcombo.so "), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("file=" VELCOMBO_LIB), std::string::npos) << run.out;
}

// Built with the flags pkg-config gives (-lvelcombo among them), the host
// starts with the loader told of the package's library folder, as ldconfig
// tells it of /usr/local/lib, and opens the library by name.
TEST(Install, AHostInCAndInCxxBuildsThroughPkgConfigAndLoadsTheLibraryByName)
{
    testutil::TempDir dir;
    const std::string prefix = Install(dir);
    const std::string env = "PKG_CONFIG_PATH=\"" + prefix + "/lib/pkgconfig\"; export PKG_CONFIG_PATH; ";
    for (const std::string compiler : {"cc -std=c11", "c++ -x c++ -std=c++17"}) {
        const std::string host = dir.File("host");
        const testutil::RunResult build = testutil::Run(
            {"/bin/sh", "-c",
             env + compiler + " " C_HOST_FLAGS " -Wall -Wextra -Wpedantic -Werror $(pkg-config --cflags velcombo) "
                              "\"$0\" -o \"$1\" $(pkg-config --libs velcombo) -ldl 2>&1",
             C_HOST_SOURCE, host});
        ASSERT_EQ(build.status, 0) << compiler << "\n" << build.out;
        const testutil::RunResult run = testutil::Run(
            {"/bin/sh", "-c",
             env + "LD_LIBRARY_PATH=$(pkg-config --variable=libdir velcombo) \"$0\" libvelcombo.so 2>&1", host});
        EXPECT_EQ(run.status, 0) << compiler << "\n" << run.out;
        EXPECT_EQ(run.out, kHostOutput) << compiler;
    }
}

// A host's own CMake build: find_package(velcombo) and the imported target.
TEST(Install, AHostsCMakeBuildFindsThePackageAndLoadsTheLibraryByName)
{
    testutil::TempDir dir;
    const std::string prefix = Install(dir);
    testutil::WriteFile(dir.File("CMakeLists.txt"),
                        "cmake_minimum_required(VERSION 3.25)\n"
                        "project(host C)\n"
                        "set(CMAKE_C_STANDARD 11)\n"
                        "set(CMAKE_C_EXTENSIONS OFF)\n"
                        "find_package(velcombo 1 REQUIRED)\n"
                        "add_executable(host " C_HOST_SOURCE ")\n"
                        "target_compile_options(host PRIVATE -Wall -Wextra -Wpedantic -Werror)\n"
                        "target_link_libraries(host PRIVATE velcombo::velcombo ${CMAKE_DL_LIBS})\n");
    const testutil::RunResult build = testutil::Run(
        {"/bin/sh", "-c",
         "\"$0\" -S \"$1\" -B \"$1/build\" -G Ninja -DCMAKE_PREFIX_PATH=\"$2\" -DCMAKE_C_FLAGS=\"$3\" "
         "-DCMAKE_EXE_LINKER_FLAGS=\"$3\" 2>&1 && \"$0\" --build \"$1/build\" 2>&1",
         CMAKE_EXE, dir.Path(), prefix, C_HOST_FLAGS});
    ASSERT_EQ(build.status, 0) << build.out;
    const testutil::RunResult run = testutil::Run({dir.File("build/host"), "libvelcombo.so"});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, kHostOutput);
}

// With BUILD_TESTING off the project needs none of the test stack's packages
// and builds only the library and the harness.
TEST(Install, ThePackageAloneIsConfiguredWithoutTheTestStack)
{
    testutil::TempDir dir;
    const testutil::RunResult configure = testutil::Run(
        {"/bin/sh", "-c",
         "\"$0\" -S \"$1\" -B \"$2\" -G Ninja -DBUILD_TESTING=OFF -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON "
         "-DCMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON -DCMAKE_DISABLE_FIND_PACKAGE_CURL=ON "
         "-DCMAKE_DISABLE_FIND_PACKAGE_PNG=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON 2>&1 && "
         "ninja -C \"$2\" -t targets depth 1 2>&1",
         CMAKE_EXE, SOURCE_DIR, dir.File("build")});
    ASSERT_EQ(configure.status, 0) << configure.out;
    // The targets of the project's own, among the build system's.
    std::vector<std::string> targets;
    std::istringstream lines(configure.out);
    for (std::string line; std::getline(lines, line);)
        if (line.ends_with(": phony") && line.find('/') == std::string::npos)
            targets.push_back(line.substr(0, line.size() - 7));
    for (const char* own : {"velcombo", "velhost"})
        EXPECT_NE(std::find(targets.begin(), targets.end(), own), targets.end()) << own << "\n" << configure.out;
    for (const char* test : {"velcombo_unit", "velcombo_e2e", "regsim", "cardsim", "modemsim", "velftp", "bench"})
        EXPECT_EQ(std::find(targets.begin(), targets.end(), test), targets.end()) << test << "\n" << configure.out;
}
