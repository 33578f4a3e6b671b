// Writes that run out of room: a file-size limit on this process makes every
// write past it fail as on a full disk, on real files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <functional>

#include "LTools.h"
#include "testutil.h"

namespace {
// The limit lasts for the object's life; the signal a write past it raises is ignored.
class DiskRoom {
public:
    explicit DiskRoom(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &FWas);
        FSignal = signal(SIGXFSZ, SIG_IGN);
        rlimit room = FWas;
        room.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &room);
    }
    ~DiskRoom()
    {
        setrlimit(RLIMIT_FSIZE, &FWas);
        signal(SIGXFSZ, FSignal);
    }

private:
    rlimit FWas{};
    sighandler_t FSignal;
};
}  // namespace

TEST(FullDisk, AFailedWriteLeavesTheOldFileWholeAndNoWorkingFile)
{
    testutil::TempDir tmp;
    std::string lines;
    for (int i = 0; i < 200; ++i) lines += "TOW;" + std::to_string(i) + ";Towar;\r\n";
    testutil::WriteFile(tmp / "kasa.exp", lines);
    const struct {
        const char* name;
        std::function<void(const std::string& path)> write;
    } cases[] = {
        {"ARCH2.EXP", [&](const std::string& p) { TLTools::ArchiveFile(tmp / "kasa.exp", p, nullptr, true, 2, true, ""); }},
        {"wynik.exp", [&](const std::string& p) { TLTools::BufToFileEx(lines, p, p + ".tmp", nullptr, false); }},
        {"wynik.app", [&](const std::string& p) { TLTools::BufToFileEx(lines, p, p + ".tmp", nullptr, true); }},
        {"NEO_LOG.TXT", [&](const std::string& p) { TLTools::BufToAppendFile(lines, p); }},
    };
    for (const auto& c : cases) {
        const std::string path = tmp / c.name;
        testutil::WriteFile(path, "old line\r\n");
        {
            DiskRoom room(100);
            EXPECT_THROW(c.write(path), Exception) << c.name;
        }
        EXPECT_EQ(testutil::ReadFile(path), "old line\r\n") << c.name;
        EXPECT_FALSE(testutil::Exists(path + ".tmp")) << c.name;
    }
}
