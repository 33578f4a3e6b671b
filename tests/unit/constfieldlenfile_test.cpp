// Fixed-width fields read from real files: short, empty and overlong lines, numbers, and the field limit.
#include <gtest/gtest.h>

#include <climits>

#include "ConstFieldLenFile.h"
#include "testutil.h"
#include "thrown.h"

TEST(ConstFieldLenFile, FieldsAreReadLineByLineWhateverTheLines)
{
    testutil::TempDir tmp;
    const std::string path = tmp / "pola.txt";
    testutil::WriteFile(path, "ABCDE123WXYZ\r\n\n" + std::string(1500, 'x') + "\n00042  71.25\nXY\n");
    auto fields = [](ConstFieldLenFile& f) {
        for (const auto& [start, width] : {std::pair{0, 5}, {5, 3}, {8, 4}}) f.AddField(start, width);
    };

    ConstFieldLenFile file(path);
    fields(file);
    AnsiString a, b, c, empty = "?", x1, x2, x3, last, end = "?";
    int i = -1;
    long double ld = -1;
    TxfTools dec;
    file >> a >> b >> c >> empty >> x1 >> x2 >> x3;
    EXPECT_EQ(a + "|" + b + "|" + c + "|" + empty, "ABCDE|123|WXYZ|");
    EXPECT_EQ(x1 + x2 + x3, std::string(12, 'x'));
    EXPECT_EQ(file.Line().size(), 1023u);
    file >> i >> ld >> dec >> last;
    EXPECT_EQ(i, 42);
    EXPECT_EQ(ld, 7.0L);
    EXPECT_EQ(dec.ToString(0, 2), "1.25");
    EXPECT_EQ(last, "XY");
    EXPECT_EQ(file.GetNumberOfValidFields(), 1);
    file >> end;
    EXPECT_EQ(end, "");
    EXPECT_TRUE(file.eof());

    // Opened later: lines shorter than the fields together are passed over.
    ConstFieldLenFile skipping;
    fields(skipping);
    skipping.open(path);
    std::vector<AnsiString> firsts(3);
    for (AnsiString& first : firsts) skipping >> first >> b >> c;
    EXPECT_EQ(firsts, std::vector<AnsiString>({"ABCDE", "xxxxx", "00042"}));

    // A field that starts past a short line reads empty.
    testutil::WriteFile(path, "XY\n");
    ConstFieldLenFile past(path);
    past.AddField(5, 3);
    past >> b;
    EXPECT_EQ(b, "");

    testutil::WriteFile(path, "1.5x\n");
    ConstFieldLenFile bad(path);
    bad.AddField(0, 4);
    EXPECT_EQ(testutil::Thrown([&] { bad >> dec; }), "Plik " + path + ", linia 1, pole 1: \"1.5x\" nie jest liczbą");
    for (int n = 0; n < ConstFieldLenFile::MaxFields - 1; ++n) bad.AddField(n, 1);
    EXPECT_THROW(bad.AddField(0, 1), Exception) << "the 101st field";

    // Widths whose total no longer fits a number are refused, the fields before them kept.
    for (const int width : {INT_MAX, INT_MIN}) {
        ConstFieldLenFile wide(path);
        wide.AddField(0, width);
        EXPECT_EQ(testutil::Thrown([&] { wide.AddField(1, width < 0 ? -1 : 1); }),
                  "ConstFieldLenFile: pole od kolumny 1 odrzucone, łączna szerokość pól przekracza zakres liczby");
        wide >> b;
        EXPECT_EQ(b, width < 0 ? "" : "1.5x");
    }
}
