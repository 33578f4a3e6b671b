#include <gtest/gtest.h>

#include "LJWords.h"

namespace {
TLJWords Words(const AnsiString& line)
{
    TLJWords w;
    w.FSeparator = ";";
    w.Init(line);
    return w;
}
}  // namespace

TEST(LJWords, SplitsAtEverySeparatorKeepingInnerEmptyWords)
{
    TLJWords w;
    w.FSeparator = ";";
    EXPECT_EQ(w.Init("a;b;c"), 3);
    EXPECT_EQ(w[0], "a");
    EXPECT_EQ(w[2], "c");
    EXPECT_EQ(w.Init("a;;b"), 3);
    EXPECT_EQ(w[1], "");
    EXPECT_EQ(w[2], "b");
    EXPECT_EQ(w.Init(";a"), 2);
    EXPECT_EQ(w[0], "");
    EXPECT_EQ(w.Init(" a ; b "), 2);
    EXPECT_EQ(w[0], " a ");  // words are not trimmed
}

TEST(LJWords, ATrailingSeparatorAddsNoEmptyWord)
{
    EXPECT_EQ(Words("a;b;").GetCount(), 2);
    EXPECT_EQ(Words("a;;").GetCount(), 2);
    EXPECT_EQ(Words(";").GetCount(), 1);
    EXPECT_EQ(Words("").GetCount(), 0);
}

TEST(LJWords, AWordPastTheEndReadsEmptyAndSetsTheEndFlag)
{
    TLJWords w = Words("PLU;123;\xB3\xF3\xBF;");
    EXPECT_FALSE(w.Feof);
    EXPECT_EQ(w[2], "łóż");
    EXPECT_FALSE(w.Feof);
    EXPECT_EQ(w[3], "");
    EXPECT_TRUE(w.Feof);
    w.Init("x");
    EXPECT_FALSE(w.Feof);  // a new line clears it
    EXPECT_EQ(w[-1], "");
    EXPECT_FALSE(w.Feof);  // a negative index leaves it alone
    EXPECT_EQ(w[100], "");
    EXPECT_TRUE(w.Feof);
}

TEST(LJWords, GetAlsoFlagsTheLastWord)
{
    TLJWords w = Words("a;b");
    EXPECT_EQ(w.Get(0), "a");
    EXPECT_FALSE(w.Feof);
    EXPECT_EQ(w.Get(1), "b");
    EXPECT_TRUE(w.Feof);
}

TEST(LJWords, ASeparatorOfSeveralCharactersIsRemovedWhole)
{
    TLJWords w;
    w.FSeparator = "||";
    EXPECT_EQ(w.Init("a||b||c"), 3);
    EXPECT_EQ(w[1], "b");
    EXPECT_EQ(AnsiString(w), "a||b||c");
}

TEST(LJWords, WithoutASeparatorTheLineIsOneWord)
{
    TLJWords w;
    EXPECT_EQ(w.Init("a;b"), 1);
    EXPECT_EQ(w[0], "a;b");
    EXPECT_EQ(w.Init(""), 0);
}

TEST(LJWords, PutReplacesOnlyExistingWordsAndJoinsBack)
{
    TLJWords w = Words("a;;c");
    w.Put(1, "b");
    w.Put(3, "d");
    w.Put(-1, "z");
    EXPECT_EQ(w.GetCount(), 3);
    EXPECT_EQ(AnsiString(w), "a;b;c");
}

TEST(LJWords, WidthsPadOnTheLeftOrCut)
{
    TLJWords w = Words("ab;cdef;g");
    EXPECT_EQ(w.GetSize(0), -1);
    w.SetSize(0, 4);
    w.SetSize(1, 2);
    w.SetSize(1, 3);  // replaces the earlier width
    EXPECT_EQ(w.GetSize(1), 3);
    w.SetSize(2, 1);
    EXPECT_EQ(AnsiString(w), "  ab;cde;g");
    w.SetSize(2, -1);  // no width again
    w.Put(2, "ghi");
    EXPECT_EQ(AnsiString(w), "  ab;cde;ghi");
    // Word 1's entry must not be read as word 10's.
    EXPECT_EQ(w.GetSize(10), -1);
    // A new line forgets the widths.
    w = AnsiString("x;y");
    EXPECT_EQ(w.GetSize(0), -1);
}

TEST(LJWords, AssigningALineSplitsItAndGivesItBack)
{
    TLJWords w;
    w.FSeparator = ";";
    EXPECT_EQ(w = AnsiString("1;2"), "1;2");
    EXPECT_EQ(w.GetCount(), 2);
    TLJWords copy = w;
    copy.Put(0, "9");
    EXPECT_EQ(w[0], "1");  // a copy owns its words
}
