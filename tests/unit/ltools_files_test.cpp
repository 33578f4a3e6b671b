// TLTools: whole-file writes, replacement, archives and the trace log.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <regex>

#include "LTools.h"
#include "dttools.h"
#include "sysfiles.h"
#include "testutil.h"
#include "thrown.h"

namespace {

// The stamp written after `marker`, checked to be a real local time taken
// while the test ran.
std::string StampAfter(const std::string& text, const std::string& marker, TDateTime from, TDateTime to)
{
    const size_t at = text.find(marker);
    if (at == std::string::npos) return "<no " + marker + ">";
    const std::string stamp = text.substr(at + marker.size(), 19);
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << stamp;
    const AnsiString lo = TdtTools(from).ToString(fmt4YDateTime), hi = TdtTools(to).ToString(fmt4YDateTime);
    EXPECT_LE(lo, stamp);
    EXPECT_GE(hi, stamp);
    return stamp;
}

// A text tool that answers every key of one section with "<key>".
int EchoKeys(char* buffer, int size, const char* section, const char* key)
{
    if (std::strcmp(section, "veltools_LTools") != 0) return 0;
    std::snprintf(buffer, static_cast<size_t>(size), "<%s>", key);
    return 1;
}

}  // namespace

TEST(LToolsFiles, BufToFileReplacesAndAppendAdds)
{
    testutil::TempDir dir;
    const std::string p = dir / "combo.tow";
    testutil::WriteFile(p, "much longer old contents\r\n");
    TLTools::BufToFile("new", p);
    EXPECT_EQ(testutil::ReadFile(p), "new");
    TLTools::BufToAppendFile("\r\nmore", p);
    EXPECT_EQ(testutil::ReadFile(p), "new\r\nmore");
    TLTools::BufToAppendFile("x", dir / "import.log");
    EXPECT_EQ(testutil::ReadFile(dir / "import.log"), "x");
    EXPECT_ANY_THROW(TLTools::BufToFile("x", dir / "no/such/file"));
}

TEST(LToolsFiles, RenFileReplacesInOneStepOrSaysWhy)
{
    testutil::TempDir dir;
    testutil::WriteFile(dir / "from", "F");
    testutil::WriteFile(dir / "to", "T");
    TLTools::RenFile(dir / "from", dir / "to", nullptr);
    EXPECT_EQ(testutil::ReadFile(dir / "to"), "F");
    EXPECT_FALSE(FileExists(dir / "from"));
    EXPECT_EQ(testutil::Thrown([&] { TLTools::RenFile(dir / "from", dir / "to", nullptr); }),
              "B\xB3\xB9" "d zmiany nazwy pliku" + (dir / "to"));
    EXPECT_EQ(testutil::ReadFile(dir / "to"), "F");
    std::filesystem::create_directory(dir / "folder");
    EXPECT_EQ(testutil::Thrown([&] { TLTools::RenFile(dir / "to", dir / "folder", nullptr); }),
              "B\xB3\xB9" "d usuni\xEA" "cia pliku " + (dir / "folder"));
}

TEST(LToolsFiles, BufToFileExLeavesOnlyTheWholeFinalFileOrKeepsTheOldOne)
{
    testutil::TempDir dir;
    const std::string fin = dir / "dcrd_in.txt", work = dir / "dcrd_in.tmp";
    testutil::WriteFile(fin, "old\r\n");
    TLTools::BufToFileEx("new\r\n", fin, work, nullptr, false);
    EXPECT_EQ(testutil::ReadFile(fin), "new\r\n");
    EXPECT_FALSE(FileExists(work));

    TLTools::BufToFileEx("more\r\n", fin, work, nullptr, true);
    EXPECT_EQ(testutil::ReadFile(fin), "new\r\nmore\r\n");
    EXPECT_FALSE(FileExists(work));

    // No final file yet: the text alone, whatever a stale working file held.
    const std::string fin2 = dir / "b.txt", work2 = dir / "b.tmp";
    testutil::WriteFile(work2, "stale");
    TLTools::BufToFileEx("text", fin2, work2, nullptr, true);
    EXPECT_EQ(testutil::ReadFile(fin2), "text");
    EXPECT_FALSE(FileExists(work2));

    testutil::WriteFile(fin, "old");
    EXPECT_ANY_THROW(TLTools::BufToFileEx("new", fin, dir / "missing/dcrd_in.tmp", nullptr, false));
    EXPECT_ANY_THROW(TLTools::BufToFileEx("new", fin, dir / "missing/dcrd_in.tmp", nullptr, true));
    EXPECT_EQ(testutil::ReadFile(fin), "old");
}

TEST(LToolsFiles, ArchiveOfAnExportWithEveryKind)
{
    const char* kinds[] = {"OTWARTA ZM. FISK.", "ZAMKNIETA ZM. FISK.", "WSZYSTKIE", "ZMIANA LISTY"};
    for (int kind = -1; kind <= 4; ++kind) {
        testutil::TempDir dir;
        testutil::WriteFile(dir / "kasa.exp", "PLU;1\r\nVAT;23\r\n");
        testutil::WriteFile(dir / "ARCH2.EXP", "earlier\r\n");
        const TDateTime from = Now();
        TLTools::ArchiveFile(dir / "kasa.exp", dir / "ARCH2.EXP", nullptr, true, kind, true, "");
        const std::string got = testutil::ReadFile(dir / "ARCH2.EXP");
        const std::string stamp = StampAfter(got, "DNIA: ", from, Now());
        std::string want = "earlier\r\n\r\n----------- [EKSPORT WYKONANY DNIA: " + stamp + "] ------------\r\n";
        if (kind >= 0 && kind <= 3) want += std::string(kinds[kind]) + "\r\n";
        want += "PLU;1\r\nVAT;23\r\n";
        EXPECT_EQ(got, want) << "kind " << kind;
        EXPECT_EQ(testutil::ReadFile(dir / "kasa.exp"), "PLU;1\r\nVAT;23\r\n");
    }
}

TEST(LToolsFiles, ArchiveOfAnImport)
{
    testutil::TempDir dir;
    testutil::WriteFile(dir / "combo.imp", "\r\nSPT;1;2;3;4;05-03-2024\r\nKAS;0");
    const TDateTime from = Now();
    TLTools::ArchiveFile(dir / "combo.imp", dir / "arch.imp", nullptr, false, -1, true, "extra line");
    const std::string got = testutil::ReadFile(dir / "arch.imp");
    const std::string stamp = StampAfter(got, "DNIA: ", from, Now());
    // The last line had no line end: it is archived all the same.
    EXPECT_EQ(got, "\r\n------------ [IMPORT WYKONANY DNIA: " + stamp +
                       "] ------------\r\nextra line\r\n\r\nSPT;1;2;3;4;05-03-2024\r\nKAS;0\r\n");
}

TEST(LToolsFiles, ArchiveWithoutHeaderOrSourceAndOfALargeFile)
{
    testutil::TempDir dir;
    TLTools::ArchiveFile(dir / "missing", dir / "arch.imp", nullptr, false, -1, true, "x");
    EXPECT_FALSE(std::filesystem::exists(dir / "arch.imp"));
    testutil::WriteFile(dir / "receipt.tmp", "P_PLU;1\r\nFIRST_LINE_REPEATED");
    TLTools::ArchiveFile(dir / "receipt.tmp", dir / "arch2.imp", nullptr, false, -1, false, "");
    EXPECT_EQ(testutil::ReadFile(dir / "arch2.imp"), "P_PLU;1\r\nFIRST_LINE_REPEATED\r\n");
    std::string src;
    for (int i = 0; i < 20000; ++i) src += "P_PLU;1;" + std::to_string(i) + ";5901234123457;Ser;1000;599;0\r\n";
    testutil::WriteFile(dir / "combo.imp", src);
    TLTools::ArchiveFile(dir / "combo.imp", dir / "arch.imp", nullptr, false, -1, false, "");
    EXPECT_EQ(testutil::ReadFile(dir / "arch.imp"), src);
}

TEST(LToolsFiles, HeaderTextsAreLookedUpInTheToolboxSection)
{
    testutil::TempDir dir;
    TMLgExtTools lg(nullptr, EchoKeys);
    testutil::WriteFile(dir / "s", "L\r\n");
    TLTools::ArchiveFile(dir / "s", dir / "a", &lg, true, 1, true, "");
    const std::string got = testutil::ReadFile(dir / "a");
    EXPECT_EQ(got.substr(0, 23), "<TLToolsArchiveFExport>");
    EXPECT_NE(got.find("<TLToolsArchiveFExport_00001>\r\n<TLToolsArchiveFKind_00001>\r\nL\r\n"), std::string::npos);
    EXPECT_EQ(testutil::Thrown([&] { TLTools::RenFile(dir / "none", dir / "x", &lg); }),
              "<TLToolsRenFileExceptio_00001>" + (dir / "x"));
}

TEST(LToolsFiles, SaveListToFileReplacesThroughAWorkingName)
{
    testutil::TempDir dir;
    const std::string p = dir / "combo.imp";
    testutil::WriteFile(p, "old contents that are longer\r\n");
    TStringList list;
    list.SetText("SPT;1\n\nP_PLU;2");
    TLTools::SaveListToFile(&list, p);
    EXPECT_EQ(testutil::ReadFile(p), "SPT;1\r\n\r\nP_PLU;2\r\n");
    EXPECT_FALSE(FileExists(WorkingFileName(p)));
    TLTools::SaveListToFile(nullptr, p);
    EXPECT_EQ(testutil::ReadFile(p), "SPT;1\r\n\r\nP_PLU;2\r\n");
}

TEST(LToolsFiles, SaveListToFileThatFailsKeepsTheOldFileAndSaysSo)
{
    testutil::TempDir dir;
    const std::string p = dir / "combo.imp";
    testutil::WriteFile(p, "old\r\n");
    // Something in the way of the working name makes the write fail.
    std::filesystem::create_directory(WorkingFileName(p));
    TStringList list;
    list.Add("new");
    EXPECT_EQ(testutil::Thrown([&] { TLTools::SaveListToFile(&list, p); }),
              "B\xB3\xB9" "d zapisu pliku " + p + ": Plik \"" + WorkingFileName(p) + "\": to jest folder");
    EXPECT_EQ(testutil::ReadFile(p), "old\r\n");
    EXPECT_TRUE(DirectoryExists(WorkingFileName(p)));
    EXPECT_THROW(TLTools::SaveListToFile(&list, dir / "no/such/combo.imp"), Exception);
}

TEST(LToolsFiles, NumberedCopiesMoveUpWithoutTakingEachOthersNames)
{
    testutil::TempDir dir;
    for (const char* name : {"arch.imp", "arch_0001.imp", "arch_0002.imp", "arch_0009.imp", "arch_x1.imp", "arch_.imp",
                             "arch_0003.txt", "inne_0001.imp", "log_0001"})
        testutil::WriteFile(dir / name, name);
    TLTools::ArchiveFileUpdateFileNames(dir / "arch.imp");
    TLTools::ArchiveFileUpdateFileNames(dir / "log");
    std::map<std::string, std::string> files;  // each file under its new name: its first name
    for (const auto& entry : std::filesystem::directory_iterator(dir.Folder()))
        if (entry.path().filename() != testutil::ReadFile(entry.path()))
            files[entry.path().filename()] = testutil::ReadFile(entry.path());
    EXPECT_EQ(files, (std::map<std::string, std::string>{{"arch_0002.imp", "arch_0001.imp"},
                                                         {"arch_0003.imp", "arch_0002.imp"},
                                                         {"arch_0010.imp", "arch_0009.imp"},
                                                         {"log_0002", "log_0001"}}));

    // Two copies of one number written differently cannot both move up.
    testutil::WriteFile(dir / "arch_3.imp", "3");
    EXPECT_EQ(testutil::Thrown([&] { TLTools::ArchiveFileUpdateFileNames(dir / "arch.imp"); }),
              "Błąd zmiany nazwy pliku" + (dir / "arch_0004.imp"));
    EXPECT_EQ(testutil::ReadFile(dir / "arch_3.imp"), "3");
}

TEST(LToolsFiles, ShortPathOfWhatExistsIsThePathOfNothingEmpty)
{
    testutil::TempDir dir;
    testutil::WriteFile(dir / "plik.txt", "");
    for (const std::string& path : {dir / "plik.txt", dir.Path(), dir.Folder()})
        EXPECT_EQ(TLTools::GetDirShortPath(path), path);
    EXPECT_EQ(TLTools::GetDirShortPath(dir / "brak"), "");
    EXPECT_EQ(TLTools::GetDirShortPath(dir / "brak/"), "");
}

TEST(LToolsFiles, BinariesFolderEndsWithASeparator)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", ""}, {"/opt/orvwin", "/opt/orvwin/"}, {"/opt/orvwin/", "/opt/orvwin/"}, {"c:\\OrvWin\\", "c:\\OrvWin\\"}};
    for (const auto& [value, folder] : cases) {
        setenv("ORVWIN_BINARIA", value, 1);
        EXPECT_EQ(TLTools::WczytajSciezkeDoBinariow(), folder) << value;
    }
    unsetenv("ORVWIN_BINARIA");
    EXPECT_EQ(TLTools::WczytajSciezkeDoBinariow(), "");
}

TEST(LToolsTrace, HeaderAndLines)
{
    testutil::TempDir dir;
    const std::string log = dir / "NEO_LOG 2024.03.05 07.08.09.TXT";
    testutil::WriteFile(log, "earlier run\r\n");
    TLTools t;
    const TDateTime from = Now();
    t.InitDebug(log, nullptr);
    EXPECT_TRUE(t.czy_debug);
    EXPECT_EQ(t.dbg_fname, log);
    t.DebugIt("->", "<STX>abc<ETX>");
    t.DebugIt("Otwieranie portu komunikacyjnego /dev/ttyS0 ...", "");
    const std::string got = testutil::ReadFile(log);
    const std::string stamp = StampAfter(got, "DNIA: ", from, Now());
    const std::string head = "earlier run\r\n\r\n--- [KOMUNIKACJA Z DNIA: " + stamp + "] ---\r\n";
    ASSERT_EQ(got.substr(0, head.size()), head);
    const std::regex lines(R"(\d\d:\d\d:\d\d\.\d{3} -> <STX>abc<ETX>\r\n)"
                           R"(\d\d:\d\d:\d\d\.\d{3} Otwieranie portu komunikacyjnego /dev/ttyS0 \.\.\. \r\n)");
    EXPECT_TRUE(std::regex_match(got.substr(head.size()), lines)) << got;
}

TEST(LToolsTrace, AFileThatCannotBeWrittenLeavesTheTraceOff)
{
    testutil::TempDir dir;
    TLTools t;
    // Nothing is written before the trace starts.
    t.DebugIt("->", "frame");
    const uint8_t b[2] = {0x41, 0x42};
    t.DebugItHex(b, 1);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
    t.InitDebug(dir / "missing/log.txt", nullptr);
    EXPECT_FALSE(t.czy_debug);

    // A trace whose file goes away mid-run turns itself off, silently.
    const std::string log = dir / "log.txt";
    t.InitDebug(log, nullptr);
    ASSERT_TRUE(t.czy_debug);
    std::filesystem::remove(log);
    std::filesystem::create_directory(log);
    EXPECT_NO_THROW(t.DebugIt("->", "x"));
    EXPECT_FALSE(t.czy_debug);
    t.czy_debug = true;
    EXPECT_NO_THROW(t.DebugItHex(b, 2));
    EXPECT_FALSE(t.czy_debug);
}

TEST(LToolsTrace, HexDumpLayout)
{
    testutil::TempDir dir;
    TLTools t;
    t.dbg_fname = dir / "hex.txt";
    t.czy_debug = true;
    // A space is shown as itself, the control bytes below it as dots.
    const uint8_t bytes[17] = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', ' ', 0x00, 0xB3, 0x1F, 0x05};
    t.DebugItHex(bytes, 17);
    const std::string got = testutil::ReadFile(dir / "hex.txt");
    ASSERT_EQ(got.size(), 2 * (12 + 3 + 48 + 2 + 16 + 2));
    const std::string first = got.substr(12, 3 + 48 + 2 + 16 + 2);
    EXPECT_EQ(first, "   41 42 43 44 45 46 47 48 49 4A 4B 4C 20 00 B3 1F   ABCDEFGHIJKL .\xB3.\r\n");
    EXPECT_TRUE(std::regex_match(got.substr(0, 12), std::regex(R"(\d\d:\d\d:\d\d\.\d{3})")));
    EXPECT_EQ(got.substr(83), std::string(12, ' ') + "   05 " + std::string(45, ' ') + "  ." + std::string(15, ' ') + "\r\n");

    testutil::WriteFile(t.dbg_fname, "");
    t.DebugItHex(bytes, 0);
    const std::string empty = testutil::ReadFile(t.dbg_fname);
    EXPECT_EQ(empty.substr(12), "   " + std::string(48, ' ') + "  " + std::string(16, ' ') + "\r\n");
}
