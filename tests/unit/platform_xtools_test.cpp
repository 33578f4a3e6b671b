// The package's text tool and set of integers.
#include <gtest/gtest.h>

#include "setofintegers.h"
#include "xtools.h"

TEST(TextTool, WordsCountFromZeroEmptyWordsCountAndAnySeparatorEndsOne)
{
    const TxTools line("P_PLA;2;1;;;;-1");
    EXPECT_EQ(line.SelectWord(0, ";"), "P_PLA");
    EXPECT_EQ(line.SelectWord(2, ";"), "1");
    EXPECT_EQ(line.SelectWord(3, ";"), "");
    EXPECT_EQ(line.SelectWord(6, ";"), "-1");
    bool found = true;
    EXPECT_EQ(line.SelectWordEx(7, found, ";"), "");
    EXPECT_FALSE(found);
    EXPECT_EQ(line.SelectWordEx(5, found, ";"), "");
    EXPECT_TRUE(found);
    EXPECT_EQ(line.SelectWordEx(-1, found, ";"), "");
    EXPECT_FALSE(found);
    const TxTools t("a b;c;");
    EXPECT_EQ(t.SelectWord(1, "; "), "b");
    EXPECT_EQ(t.SelectWord(2, "; "), "c");
    found = false;
    EXPECT_EQ(t.SelectWordEx(3, found, "; "), "");
    EXPECT_TRUE(found);  // the empty word after the last separator
    EXPECT_EQ(TxTools("whole").SelectWord(0, ";"), "whole");
    EXPECT_EQ(TxTools("").SelectWordEx(0, found, ";"), "");
    EXPECT_TRUE(found);
}

TEST(TextTool, CharacterOperationsAndFileNameParts)
{
    EXPECT_EQ(TxTools("Ser; żółty;").DelChars(';').Value(), "Ser \xBF\xF3\xB3ty");
    EXPECT_EQ(TxTools("12-34 x5").DelAnyChar("- ").Value(), "1234x5");
    EXPECT_EQ(TxTools("12-34 x5").DelAnyOtherChar("0123456789").Value(), "12345");
    EXPECT_EQ(TxTools("a;b,c").Chars2Char(";,", '|').Value(), "a|b|c");
    EXPECT_EQ(TxTools("a\tb").Chars2Str("\t", "<TAB>").Value(), "a<TAB>b");
    EXPECT_TRUE(TxTools("abc;").ContainsAnyChar(";,"));
    EXPECT_FALSE(TxTools("abc").ContainsAnyChar(";,"));
    EXPECT_FALSE(TxTools("abc").ContainsAnyChar(""));
    // Bytes above 0x7F are ordinary bytes.
    EXPECT_EQ(TxTools("\xB3\xB3x").DelAnyChar("\xB3").Value(), "x");
    EXPECT_EQ(TxTools("/a/b.c/kasa.exp").FileName(), "kasa.exp");
    EXPECT_EQ(TxTools("c:\\OrvWin\\NEO_LOG 2024.TXT").FileName(), "NEO_LOG 2024.TXT");
    EXPECT_EQ(TxTools("/a/b.c/kasa.exp").FileExtension(), "exp");
    EXPECT_EQ(TxTools("/a/b.c/kasa").FileExtension(), "");
    EXPECT_EQ(TxTools("arch.tar.gz").FileExtension(), "gz");
}

TEST(TextTool, MessageBoxAnswersTheDefaultButton)
{
    EXPECT_EQ(TxTools::MsgBox("Wyjątek w ORVDLLSerKasOperacja", "Uwaga!!!", 0), 1);
    EXPECT_EQ(TxTools::MsgBox("?", "t", 4), 6);            // yes/no: yes
    EXPECT_EQ(TxTools::MsgBox("?", "t", 4 | 0x100), 7);    // second button: no
    EXPECT_EQ(TxTools::MsgBox("?", "t", 3 | 0x200), 2);    // yes/no/cancel, third: cancel
    EXPECT_EQ(TxTools::MsgBox("?", "t", 2), 3);            // abort
    EXPECT_EQ(TxTools::MsgBox("?", "t", 0x0F), 1);
}

TEST(SetOfIntegers, KeepsOrderAndRefusesDuplicates)
{
    TMacSetOfIntegers set(100);
    EXPECT_EQ(set.GetCount(), 0);
    for (int v : {2300, 800, 2300, 500, 800, -1}) set.Add(v);
    ASSERT_EQ(set.GetCount(), 4);
    EXPECT_EQ(std::vector<int>({set.GetValues(0), set.GetValues(1), set.GetValues(2), set.GetValues(3)}),
              std::vector<int>({2300, 800, 500, -1}));
    EXPECT_THROW(set.GetValues(4), Exception);
    EXPECT_THROW(set.GetValues(-1), Exception);
    set.Clear();
    EXPECT_EQ(set.GetCount(), 0);
    set.Add(800);
    EXPECT_EQ(set.GetValues(0), 800);
    TMacSetOfIntegers odd(-5);  // a nonsense hint is harmless
    odd.Add(1);
    EXPECT_EQ(odd.GetCount(), 1);
}
