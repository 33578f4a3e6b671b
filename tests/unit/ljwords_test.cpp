#include "LJWords.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
TLJWords Words(const AnsiString& line)
{
    TLJWords w;
    w.FSeparator = ";";
    w.Init(line);
    return w;
}
}  // namespace

TEST(LJWords, SplitsAtEverySeparator)
{
    // Inner empty words count, a separator at the very end adds none, words
    // are not trimmed; a separator of several characters goes whole; without
    // one the line is one word. Joined again, the words give the line back.
    const struct {
        const char* separator;
        const char* line;
        std::vector<AnsiString> words;
    } cases[] = {
        {";", "abcdefg;;hijklmno;p;", {"abcdefg", "", "hijklmno", "p"}}, {";", ";a", {"", "a"}},
        {";", " a ; b ", {" a ", " b "}}, {";", "a;b;", {"a", "b"}}, {";", "a;;", {"a", ""}}, {";", ";", {""}},
        {";", "", {}}, {"||", "a|||b||c||||d", {"a", "|b", "c", "", "d"}}, {"", "a;b", {"a;b"}}, {"", "", {}},
    };
    for (const auto& c : cases) {
        TLJWords w;
        w.FSeparator = c.separator;
        EXPECT_EQ(w.Init(c.line), static_cast<int>(c.words.size())) << c.line;
        std::vector<AnsiString> words;
        for (int i = 0; i < w.GetCount(); ++i) words.push_back(w[i]);
        EXPECT_EQ(words, c.words) << c.line;
        EXPECT_FALSE(w.Feof) << c.line;
    }
    // Words reused from a longer line keep nothing of it.
    TLJWords w = Words("a long first word;x;y");
    w.Init("b");
    EXPECT_EQ(w.GetCount(), 1);
    EXPECT_EQ(w[0], "b");
    EXPECT_EQ(AnsiString(w), "b");
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
    // Get also flags the last word.
    w.Init("a;b");
    EXPECT_EQ(w.Get(0), "a");
    EXPECT_FALSE(w.Feof);
    EXPECT_EQ(w.Get(1), "b");
    EXPECT_TRUE(w.Feof);
}

TEST(LJWords, PutReplacesOnlyExistingWordsAndAssigningALineSplitsIt)
{
    TLJWords w = Words("a;;c");
    w.Put(1, "b");
    w.Put(3, "d");
    w.Put(-1, "z");
    EXPECT_EQ(w.GetCount(), 3);
    EXPECT_EQ(AnsiString(w), "a;b;c");

    EXPECT_EQ(w = AnsiString("1;2"), "1;2");
    EXPECT_EQ(w.GetCount(), 2);
    TLJWords copy = w;
    copy.Put(0, "9");
    EXPECT_EQ(w[0], "1");  // a copy owns its words
}

TEST(LJWords, WidthsPadOnTheLeftOrCut)
{
    TLJWords w = Words("ab;cdef;g");
    EXPECT_EQ(w.GetSize(0), -1);
    w.SetSize(0, 2);
    w.SetSize(1, 3);
    w.SetSize(0, 4);  // replaces the earlier width
    EXPECT_EQ(w.GetSize(0), 4);
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
