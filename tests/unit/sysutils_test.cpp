#include "sysutils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classes.h"

TEST(Text, TrimKeepsPolishLettersAndStrToIntDefTakesOnlyAWholeNumber)
{
    EXPECT_EQ(Trim(" \t\xB3\xB3 \r\n"), "\xB3\xB3");
    EXPECT_EQ(Trim("ł"), "\xB3");  // the source is compiled to code page 1250
    EXPECT_EQ(Trim(""), "");
    const std::pair<const char*, int> cases[] = {{"12", 12}, {"-7", -7},   {"+7", 7},          {"12a", 5},
                                                  {" 12", 5}, {"", 5}, {"2147483648", 5}, {"-2147483648", INT32_MIN}};
    for (const auto& [text, value] : cases) EXPECT_EQ(StrToIntDef(text, 5), value) << text;
}

TEST(Text, FormatIgnoresTheProcessLocale)
{
    const char* old = setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    if (!setlocale(LC_NUMERIC, "pl_PL.UTF-8") && !setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "no comma-decimal locale installed";
    EXPECT_EQ(Format("%.02f", 7.0), "7.00");
    setlocale(LC_NUMERIC, saved.c_str());
}

TEST(StringList, SetTextSplitsAtEveryKindOfLineEnd)
{
    // Lines longer than the search window, and a CR that ends a window.
    const std::string longLine(600, 'x'), edge(255, 'y');
    const struct {
        std::string text;
        std::vector<AnsiString> lines;
    } cases[] = {
        {"a\r\nb\nc\rd\r\n", {"a", "b", "c", "d"}},
        {"a\n\nb", {"a", "", "b"}},
        {"\r\r\n\n", {"", "", ""}},
        {longLine + "\r" + longLine + "\n" + longLine, {longLine, longLine, longLine}},
        {edge + "\r\n" + edge + "\r", {edge, edge}},
        {"", {}},
    };
    for (const auto& c : cases) {
        TStringList l;
        l.SetText(c.text);
        EXPECT_EQ(std::vector<AnsiString>(l.begin(), l.end()), c.lines) << c.text.size();
    }
    // The export reader hands over a view of its buffer: what lies past it
    // is not the text's.
    const std::string buffer = "abc_\n";
    size_t next = 0;
    EXPECT_EQ(LineEnd(std::string_view(buffer.data(), 3), 2, next), 3u);
    EXPECT_EQ(next, 3u);
    TStringList l;
    l.SetText("a\n\nb");
    EXPECT_EQ(l.Text(), "a\r\n\r\nb\r\n");
}
