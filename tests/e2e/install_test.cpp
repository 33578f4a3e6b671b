// A host's package: `cmake --install` places the library and the harness and
// nothing of the tests, and the installed harness loads the installed library.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "testutil.h"

TEST(Install, PlacesTheLibraryAndAHarnessThatLoadsIt)
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
    EXPECT_EQ(files, (std::vector<std::string>{"bin/velhost", "lib/libvelcombo.so"}));

    // The loader's own record of what it opened, beside the harness's output.
    const testutil::RunResult run =
        testutil::Run({"/bin/sh", "-c", "LD_DEBUG=files \"$0\" info 2>&1", prefix + "/bin/velhost"});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("file=" + prefix + "/lib/libvelcombo.so "), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("file=" VELCOMBO_LIB), std::string::npos) << run.out;
}
