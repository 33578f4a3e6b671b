// The parameter catalogue and its list texts as the host reads them through
// the exports, before and after registration. The bytes of every entry are
// pinned by the catalogue's unit test; this walks the exported road.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "hostlib.h"

namespace {
struct Entry {
    int type = 0, flag = -7;
    char name[301], description[301], def[301], minimum[301], maximum[301];
};

class Catalogue : public ::testing::Test {
protected:
    VelHost host;
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(host.Load(VELCOMBO_LIB, error)) << error;
    }
    void TearDown() override { unsetenv("ORVWIN_BINARIA"); }
    Entry Get(int group, int index, bool withFlag = true)
    {
        Entry e;
        std::memset(e.name, 'x', 301);
        e.type = host.Lib().Parametr(group, index, e.name, e.description, e.def, e.minimum, e.maximum,
                                     withFlag ? &e.flag : nullptr);
        return e;
    }
    // The entries of a group, up to the first empty answer.
    std::vector<Entry> Group(int group)
    {
        std::vector<Entry> entries;
        for (Entry e = Get(group, 0); e.type != 0; e = Get(group, static_cast<int>(entries.size())))
            entries.push_back(e);
        return entries;
    }
};
}  // namespace

// The first entry is read without the flag before registration, with it after.
TEST_F(Catalogue, GroupsHoldTheirEntriesBeforeAndAfterRegistration)
{
    const size_t expected[] = {23, 18, 4, 6, 2, 0, 5};
    for (const bool registered : {false, true}) {
        for (int g = 101; g <= 107; ++g) EXPECT_EQ(Group(g).size(), expected[g - 101]) << g << " " << registered;
        const Entry port = Get(101, 0, registered);
        EXPECT_EQ(port.type, 3);
        EXPECT_STREQ(port.name, "ComboPort");
        EXPECT_STREQ(port.def, "PLIK");
        EXPECT_STREQ(port.description, "Z\xB3\xB9" "cze");
        EXPECT_EQ(port.flag, registered ? 0 : -7);
        if (!registered) {
            ASSERT_NE(host.Register(), nullptr);
        }
    }
}

TEST_F(Catalogue, FolderDefaultsStartFromTheHostsBinariesFolder)
{
    // The two folders' computed defaults, and a fixed one after them that must stay as it is.
    auto defaults = [&] {
        const std::vector<Entry> group = Group(102);
        return std::string(group.at(12).def) + "|" + group.at(15).def + "|" + group.at(16).def;
    };
    unsetenv("ORVWIN_BINARIA");
    EXPECT_EQ(defaults(), "c:\\OrvWin\\Norvik\\skp\\dane|c:\\OrvWin\\EDI|1");
    setenv("ORVWIN_BINARIA", "/opt/orvena", 1);
    EXPECT_EQ(defaults(), "/opt/orvena/Norvik\\skp\\dane|/opt/orvena/EDI|1");
    setenv("ORVWIN_BINARIA", "/opt/orvena/", 1);
    EXPECT_EQ(defaults(), "/opt/orvena/Norvik\\skp\\dane|/opt/orvena/EDI|1");
}
