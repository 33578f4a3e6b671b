// A line of "combo.imp" whose write fails takes back the bytes it wrote, so
// no half line joins the next run's first one. (Every line kind and what a
// cut run leaves: tests/e2e.)
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "inprocess_host.h"

TEST(ImpFile, AFailedWriteTakesBackItsBytes)
{
    testutil::TempDir tmp;
    InProcessHost in;
    in.host.device.folder = tmp.Folder();
    in.Start();
    const auto action = in.NewAction();
    // The file may hold 4 bytes only: the line is cut after them.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4;
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_ANY_THROW(action->LineToIMPFile("SPT;2;3;4\r\n"));
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(testutil::ReadFile(tmp / "combo.imp"), "");
    action->LineToIMPFile("KAS;0\r\n");
    EXPECT_EQ(testutil::ReadFile(tmp / "combo.imp"), "KAS;0\r\n");
}
