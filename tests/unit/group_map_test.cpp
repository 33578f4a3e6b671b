// The group map with stored numbers far up the range and numbers held twice.
#include <gtest/gtest.h>

#include "IdMap.h"

TEST(GroupMap, FarNumbersCostNothingAndNoNumberIsSharedByTwoIdentifiers)
{
    const struct {
        AnsiString map, ids, expected;
    } cases[] = {
        {"1=100000000", "1\r\n2", "2=0\r\n1=100000000\r\n"},
        {"5=2147483646", "5\r\n6\r\n7", "6=0\r\n7=1\r\n5=2147483646\r\n"},
        {"3=0\r\n5=0\r\n7=1", "3\r\n5\r\n7", "3=0\r\n7=1\r\n5=2\r\n"},
        {"9=0\r\n2=0\r\n4=2", "2\r\n4\r\n9", "9=0\r\n2=1\r\n4=2\r\n"},
        {"9=1\r\n2=1", "2\r\n9", "2=0\r\n9=1\r\n"},
    };
    for (const auto& c : cases) {
        AnsiString map = c.map;
        IdMap().Initialize(map, c.ids);
        EXPECT_EQ(map, c.expected) << c.map;
    }
}
