#include <gtest/gtest.h>

#include <vector>

#include "IdMap.h"

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

TEST(IdMap, AnEmptyMapNumbersTheIdentifiersInAscendingOrder)
{
    EXPECT_EQ(Renumber({}, "5\r\n3\r\n9"), (V{"3=0", "5=1", "9=2"}));
}

TEST(IdMap, AGoneIdentifierFreesItsNumberForANewOne)
{
    EXPECT_EQ(Renumber({"3=0", "5=1", "9=2"}, "3\r\n9\r\n11"), (V{"3=0", "11=1", "9=2"}));
}

TEST(IdMap, TheHighestNumberOfAGoneIdentifierIsNotReused)
{
    EXPECT_EQ(Renumber({"3=0", "5=1", "9=2"}, "3\r\n5\r\n12"), (V{"3=0", "5=1", "12=3"}));
}

TEST(IdMap, NumbersBelowTheLowestInUseAreFree)
{
    EXPECT_EQ(Renumber({"3=4"}, "3\r\n7"), (V{"7=0", "3=4"}));
    EXPECT_EQ(Renumber({"3=4"}, "3\r\n7\r\n1\r\n2\r\n8\r\n9\r\n10"),
              (V{"1=0", "2=1", "7=2", "8=3", "3=4", "9=5", "10=6"}));
}

TEST(IdMap, ASecondRunWithTheSameIdentifiersChangesNothing)
{
    const AnsiString ids = "40\r\n7\r\n13\r\n2\r\n99";
    const V first = Renumber({"13=5", "8=2", "99=0"}, ids);
    EXPECT_EQ(first, (V{"99=0", "2=1", "7=2", "40=3", "13=5"}));
    EXPECT_EQ(Renumber(first, ids), first);
}

TEST(IdMap, EmptyLinesAndRepeatedIdentifiersAreSkipped)
{
    EXPECT_EQ(Renumber({"", "3=0", "  "}, "\r\n3\r\n5\r\n5\r\n \r\n3\r\n"), (V{"3=0", "5=1"}));
    // The number of the dropped repeat still counts as given out.
    EXPECT_EQ(Renumber({"3=0", "3=2"}, "3\r\n5\r\n6"), (V{"3=0", "5=3", "6=4"}));
}

TEST(IdMap, NoIdentifiersEmptyTheMap)
{
    EXPECT_EQ(Renumber({"3=0", "5=1"}, ""), V{});
}

TEST(IdMap, ABadLineThrowsAndLeavesTheMapAlone)
{
    const V map{"3=0", "5=1"};
    for (const AnsiString bad : {"x=1", "3", "4=-1", "4=", "4=1x", "99999999999=1"}) {
        TStringList m = Lines(map);
        m.Add(bad);
        IdMap im;
        try {
            im.Initialize(m, "3\r\n7");
            ADD_FAILURE() << "accepted " << bad;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "Nieprawidłowy wpis mapy numerów: \"" + AnsiString(bad) + "\"");
        }
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
