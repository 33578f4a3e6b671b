#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "emexception.h"
#include "mfile.h"
#include "testutil.h"

namespace {
void OpenFile(TMFile& f, const std::string& path, bool readOnly)
{
    f.SetPath(path);
    f.SetReadOnly(readOnly);
    f.Open();
}

std::vector<std::string> AllLines(TMFile& f)
{
    std::vector<std::string> lines;
    AnsiString line;
    while (f.ReadLine(line, "\r\n")) lines.push_back(line);
    return lines;
}

// The same lines read as views, from the start of the file.
std::vector<std::string> AllViews(TMFile& f, const AnsiString& end = "\r\n")
{
    f.SetPointer(0);
    std::vector<std::string> lines;
    std::string_view line;
    while (f.ReadLine(line, end)) lines.emplace_back(line);
    return lines;
}
}  // namespace

TEST(MFile, OpeningAMissingFileToReadFailsInPolish)
{
    testutil::TempDir dir;
    TMFile f;
    f.SetPath(dir / "nie ma");
    f.SetReadOnly(true);
    try {
        f.Open();
        FAIL();
    } catch (const EMException& e) {
        EXPECT_EQ(e.GetCode(), "MFILE-OPEN");
        EXPECT_EQ(e.GetTitle(), "B\xB3\xB9" "d otwarcia pliku");
        EXPECT_EQ(e.GetDescription(), "Plik \"" + (dir / "nie ma") + "\": plik lub folder nie istnieje");
    }
    EXPECT_FALSE(f.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(dir / "nie ma"));
    EXPECT_THROW(OpenFile(f, dir.Path(), true), EMException);  // a folder is no file
    EXPECT_THROW(f.Write("x", 1), EMException);                // nor is a closed file
}

TEST(MFile, OpeningToWriteCreatesTheFileAndWritesGoAtThePointer)
{
    testutil::TempDir dir;
    TMFile f;
    OpenFile(f, dir / "new.txt", false);
    EXPECT_EQ(f.GetSize(), 0);
    f.WriteLine("za\xBF\xF3\xB3\xE6", "\r\n");
    f.Write("\x00\xFF\x1A", 3);
    f.Flush();
    EXPECT_EQ(f.GetPointer(), 11);
    f.Close();
    EXPECT_EQ(testutil::ReadFile(dir / "new.txt"), std::string("za\xBF\xF3\xB3\xE6\r\n\x00\xFF\x1A", 11));

    testutil::WriteFile(dir / "w.txt", "aaaa\r\nbbbb\r\n");
    OpenFile(f, dir / "w.txt", false);
    AnsiString line;
    ASSERT_TRUE(f.ReadLine(line));
    f.Write("XX", 2);  // what was read ahead must not hide this
    f.SetPointer(0);
    EXPECT_EQ(AllLines(f), (std::vector<std::string>{"aaaa", "XXbb"}));
    f.SetPointer(f.GetSize());
    f.WriteLine("cc", "\r\n");
    f.SetPointer(4);
    f.SetEof();
    EXPECT_EQ(f.GetSize(), 4);
    f.Close();
    EXPECT_EQ(testutil::ReadFile(dir / "w.txt"), "aaaa");
}

TEST(MFile, HeldWritesReachTheFileBeforeAnythingElseIsDoneWithIt)
{
    testutil::TempDir dir;
    const std::string path = dir / "held.txt";
    TMFile f;
    f.SetWriteBuffer(8);
    OpenFile(f, path, false);
    f.Write("abc", 3);
    f.WriteLine("de", "\r\n");
    EXPECT_EQ(testutil::ReadFile(path), "") << "held back";
    EXPECT_EQ(std::tuple(f.GetPointer(), f.GetSize()), std::tuple(7, 7));
    f.Write("fg", 2);
    EXPECT_EQ(testutil::ReadFile(path), "abcde\r\n") << "a full buffer goes out before it takes more";
    f.Write("0123456789", 10);
    EXPECT_EQ(testutil::ReadFile(path), "abcde\r\nfg0123456789") << "more than the buffer holds goes at once";

    f.Write("xy", 2);
    f.SetPointer(1);
    f.Write("B", 1);
    EXPECT_EQ(testutil::ReadFile(path), "abcde\r\nfg0123456789xy") << "a write elsewhere sends the held bytes first";
    char read[3] = {};
    f.SetPointer(0);
    EXPECT_EQ(f.Read(read, 3), 3);
    EXPECT_EQ(std::string(read, 3), "aBc");
    f.SetPointer(21);
    f.Write("z", 1);
    f.SetEof();
    EXPECT_EQ(testutil::ReadFile(path), "aBcde\r\nfg0123456789xyz");
    f.SetPointer(3);
    f.SetEof();
    EXPECT_EQ(f.GetSize(), 3) << "what was held once counts no more";
    f.Write("!", 1);
    f.Close();
    EXPECT_EQ(testutil::ReadFile(path), "aBc!");

    // A file given up without Close drops what it held.
    {
        TMFile dropped;
        dropped.SetWriteBuffer(64);
        OpenFile(dropped, path, false);
        dropped.SetPointer(dropped.GetSize());
        dropped.Write("lost", 4);
    }
    EXPECT_EQ(testutil::ReadFile(path), "aBc!");
}

TEST(MFile, ReadLineSplitsAtTheGivenEndOnly)
{
    testutil::TempDir dir;
    testutil::WriteFile(dir / "a.txt", "one\r\n\r\nx\ny\r\nlast");
    TMFile f;
    OpenFile(f, dir / "a.txt", true);
    EXPECT_EQ(AllLines(f), (std::vector<std::string>{"one", "", "x\ny", "last"}));
    EXPECT_EQ(AllViews(f), (std::vector<std::string>{"one", "", "x\ny", "last"}));
    AnsiString line = "stale";
    EXPECT_FALSE(f.ReadLine(line, "\r\n"));

    testutil::WriteFile(dir / "b.txt", "a\r\n");
    OpenFile(f, dir / "b.txt", true);
    EXPECT_EQ(AllLines(f), std::vector<std::string>{"a"});  // no empty line after the final end
    EXPECT_EQ(AllViews(f), std::vector<std::string>{"a"});

    testutil::WriteFile(dir / "c.txt", "");
    OpenFile(f, dir / "c.txt", true);
    EXPECT_FALSE(f.ReadLine(line, "\r\n"));
    EXPECT_TRUE(AllViews(f).empty());
}

TEST(MFile, LongLinesAndEndsAcrossReadChunks)
{
    testutil::TempDir dir;
    const std::string a(65535, 'a'), b(200000, 'b');
    testutil::WriteFile(dir / "long.txt", a + "\r\n" + b + "\r\nz");
    TMFile f;
    OpenFile(f, dir / "long.txt", true);
    EXPECT_EQ(AllLines(f), (std::vector<std::string>{a, b, "z"}));
    EXPECT_EQ(AllViews(f), (std::vector<std::string>{a, b, "z"}));
    // A longer line end split over the seam at every point.
    for (size_t before : {65533u, 65534u, 65535u, 65536u}) {
        testutil::WriteFile(dir / "seam.txt", std::string(before, 'a') + "END" + "zEN");
        OpenFile(f, dir / "seam.txt", true);
        AnsiString line;
        ASSERT_TRUE(f.ReadLine(line, "END"));
        EXPECT_EQ(line.size(), before);
        ASSERT_TRUE(f.ReadLine(line, "END"));
        EXPECT_EQ(line, "zEN");
        EXPECT_FALSE(f.ReadLine(line, "END"));
        EXPECT_EQ(AllViews(f, "END"), (std::vector<std::string>{std::string(before, 'a'), "zEN"})) << before;
    }
}

TEST(MFile, PointerCanBeRememberedAndRestoredAndAReadOnlyFileRefusesWrites)
{
    testutil::TempDir dir;
    testutil::WriteFile(dir / "p.txt", "P_PLU;1\r\nP_PLU;2\r\nP_TRN;3\r\nKAS;0\r\n");
    TMFile f;
    OpenFile(f, dir / "p.txt", true);
    AnsiString line;
    ASSERT_TRUE(f.ReadLine(line));
    const int64_t mark = f.GetPointer();
    EXPECT_EQ(mark, 9);
    ASSERT_TRUE(f.ReadLine(line));
    ASSERT_TRUE(f.ReadLine(line));
    EXPECT_EQ(line, "P_TRN;3");
    f.SetPointer(mark);
    ASSERT_TRUE(f.ReadLine(line));
    EXPECT_EQ(line, "P_PLU;2");
    f.SetPointer(f.GetSize() + 10);
    EXPECT_FALSE(f.ReadLine(line));
    EXPECT_THROW(f.SetPointer(-1), EMException);
    // Opened read-only, it refuses writes.
    EXPECT_THROW(f.Write("y", 1), EMException);
    EXPECT_THROW(f.SetEof(), EMException);
    EXPECT_EQ(testutil::ReadFile(dir / "p.txt"), "P_PLU;1\r\nP_PLU;2\r\nP_TRN;3\r\nKAS;0\r\n");
}

TEST(MFile, ReadStringsFromFile)
{
    testutil::TempDir dir;
    testutil::WriteFile(dir / "kasa.exp", "PLU;1\r\nVAT;23\nJM;1;0;szt.\r\n");
    TStringList list;
    list.Add("old");
    for (int chunk : {4096, 3}) {
        TMFile::ReadStringsFromFile(dir / "kasa.exp", list, chunk);
        EXPECT_EQ(std::vector<AnsiString>(list.begin(), list.end()),
                  (std::vector<AnsiString>{"PLU;1", "VAT;23", "JM;1;0;szt."}))
            << chunk;
    }
    EXPECT_THROW(TMFile::ReadStringsFromFile(dir / "brak.exp", list, 4096), EMException);
}
