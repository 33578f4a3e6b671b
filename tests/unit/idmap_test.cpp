#include "IdMap.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "thrown.h"

namespace {
TStringList Lines(std::vector<AnsiString> v)
{
    TStringList l;
    for (const auto& s : v) l.Add(s);
    return l;
}

std::vector<AnsiString> Of(const TStringList& l) { return std::vector<AnsiString>(l.begin(), l.end()); }

std::vector<AnsiString> Renumber(std::vector<AnsiString> map, const AnsiString& ids)
{
    TStringList m = Lines(std::move(map));
    IdMap im;
    im.Initialize(m, ids);
    return Of(m);
}

using V = std::vector<AnsiString>;
}  // namespace

TEST(IdMap, RenumbersTheMapForTheIdentifiers)
{
    const struct {
        const char* why;
        V map;
        const char* ids;
        V expected;
    } cases[] = {
        {"an empty map numbers in ascending order", {}, "5\r\n3\r\n9", {"3=0", "5=1", "9=2"}},
        {"a gone identifier frees its number", {"3=0", "5=1", "9=2"}, "3\r\n9\r\n11", {"3=0", "11=1", "9=2"}},
        {"the highest number of a gone one is not reused", {"3=0", "5=1", "9=2"}, "3\r\n5\r\n12", {"3=0", "5=1", "12=3"}},
        {"numbers below the lowest in use are free", {"3=4"}, "3\r\n7", {"7=0", "3=4"}},
        {"free numbers below and above", {"3=4"}, "3\r\n7\r\n1\r\n2\r\n8\r\n9\r\n10",
         {"1=0", "2=1", "7=2", "8=3", "3=4", "9=5", "10=6"}},
        {"kept numbers stay", {"13=5", "8=2", "99=0"}, "40\r\n7\r\n13\r\n2\r\n99", {"99=0", "2=1", "7=2", "40=3", "13=5"}},
        {"a second run changes nothing", {"99=0", "2=1", "7=2", "40=3", "13=5"}, "40\r\n7\r\n13\r\n2\r\n99",
         {"99=0", "2=1", "7=2", "40=3", "13=5"}},
        {"empty lines and repeats are skipped", {"", "3=0", "  "}, "\r\n3\r\n5\r\n5\r\n \r\n3\r\n", {"3=0", "5=1"}},
        {"the number of a dropped repeat counts as given out", {"3=0", "3=2"}, "3\r\n5\r\n6", {"3=0", "5=3", "6=4"}},
        {"no identifiers empty the map", {"3=0", "5=1"}, "", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(Renumber(c.map, c.ids), c.expected) << c.why;
}

TEST(IdMap, ABadLineThrowsAndLeavesTheMapAlone)
{
    const V map{"3=0", "5=1"};
    for (const AnsiString bad : {"x=1", "3", "4=-1", "4=", "4=1x", "99999999999=1"}) {
        TStringList m = Lines(map);
        m.Add(bad);
        IdMap im;
        EXPECT_EQ(testutil::Thrown([&] { im.Initialize(m, "3\r\n7"); }),
                  "Nieprawidłowy wpis mapy numerów: \"" + AnsiString(bad) + "\"");
        V expected = map;
        expected.push_back(bad);
        EXPECT_EQ(Of(m), expected);
    }
    TStringList m = Lines(map);
    IdMap im;
    EXPECT_THROW(im.Initialize(m, "3\r\nabc"), Exception);
    EXPECT_EQ(Of(m), map);
}

TEST(IdMap, TheTextFormWorksOnTheMapsLines)
{
    IdMap im;
    AnsiString text = "3=0\r\n5=1\r\n9=2\r\n";
    im.Initialize(text, "3\r\n9\r\n11");
    EXPECT_EQ(text, "3=0\r\n11=1\r\n9=2\r\n");
    // The same object serves another run.
    AnsiString other = "";
    im.Initialize(other, "4");
    EXPECT_EQ(other, "4=0\r\n");
}

TEST(GroupMap, FarNumbersCostNothingAndNoNumberIsSharedByTwoIdentifiers)
{
    const std::tuple<AnsiString, AnsiString, AnsiString> cases[] = {  // the map, the identifiers, the map after
        {"1=100000000", "1\r\n2", "2=0\r\n1=100000000\r\n"},
        {"5=2147483646", "5\r\n6\r\n7", "6=0\r\n7=1\r\n5=2147483646\r\n"},
        {"3=0\r\n5=0\r\n7=1", "3\r\n5\r\n7", "3=0\r\n7=1\r\n5=2\r\n"},
        {"9=0\r\n2=0\r\n4=2", "2\r\n4\r\n9", "9=0\r\n2=1\r\n4=2\r\n"},
        {"9=1\r\n2=1", "2\r\n9", "2=0\r\n9=1\r\n"},
    };
    for (auto [map, ids, expected] : cases) {
        IdMap().Initialize(map, ids);
        EXPECT_EQ(map, expected) << ids;
    }
}
