#include <gtest/gtest.h>

#include <filesystem>

#include "sysfiles.h"
#include "testutil.h"

TEST(SysFiles, FilesAndFoldersAreToldAndEveryParentFolderIsMade)
{
    testutil::TempDir dir;
    testutil::WriteFile(dir / "f", "x");
    EXPECT_TRUE(FileExists(dir / "f"));
    EXPECT_FALSE(FileExists(dir.Path()));
    EXPECT_FALSE(FileExists(dir / "missing"));
    EXPECT_FALSE(FileExists(""));
    EXPECT_TRUE(DirectoryExists(dir.Path()));
    EXPECT_FALSE(DirectoryExists(dir / "f"));

    EXPECT_TRUE(ForceDirectories(dir / "log/a/b/"));
    EXPECT_TRUE(DirectoryExists(dir / "log/a/b"));
    EXPECT_TRUE(ForceDirectories(dir / "log/a"));  // already there
    EXPECT_FALSE(ForceDirectories(dir / "f/sub"));
    EXPECT_FALSE(ForceDirectories(""));
}

TEST(SysFiles, DeleteAndRenameNeverOverwrite)
{
    testutil::TempDir dir;
    testutil::WriteFile(dir / "a", "A");
    testutil::WriteFile(dir / "b", "B");
    EXPECT_FALSE(RenameFile(dir / "a", dir / "b"));
    EXPECT_EQ(testutil::ReadFile(dir / "b"), "B");
    EXPECT_TRUE(RenameFile(dir / "a", dir / "c"));
    EXPECT_EQ(testutil::ReadFile(dir / "c"), "A");
    EXPECT_FALSE(FileExists(dir / "a"));
    EXPECT_TRUE(DeleteFile(dir / "c"));
    EXPECT_FALSE(DeleteFile(dir / "c"));
    EXPECT_FALSE(DeleteFile(dir.Path()));
}

TEST(SysFiles, CopyFileReplacesWholeOrRefuses)
{
    testutil::TempDir dir;
    testutil::WriteFile(dir / "kasa.imp", std::string("a\r\n\x00\xB3", 5));
    testutil::WriteFile(dir / "kasa.tmp", "old and longer");
    EXPECT_FALSE(CopyFile(dir / "kasa.imp", dir / "kasa.tmp", true));
    EXPECT_EQ(testutil::ReadFile(dir / "kasa.tmp"), "old and longer");
    EXPECT_TRUE(CopyFile(dir / "kasa.imp", dir / "kasa.tmp", false));
    EXPECT_EQ(testutil::ReadFile(dir / "kasa.tmp"), std::string("a\r\n\x00\xB3", 5));
    EXPECT_FALSE(FileExists(WorkingFileName(dir / "kasa.tmp")));
    EXPECT_FALSE(CopyFile(dir / "missing", dir / "x", false));
    EXPECT_FALSE(FileExists(dir / "x"));
    // A copy that cannot be written leaves the old target.
    EXPECT_FALSE(CopyFile(dir / "kasa.imp", dir / "no/such/folder", false));
    // A file that opens but cannot be read (this process's memory at address
    // 0) is no copy either.
    EXPECT_FALSE(CopyFile("/proc/self/mem", dir / "kasa.tmp", false));
    EXPECT_EQ(testutil::ReadFile(dir / "kasa.tmp"), std::string("a\r\n\x00\xB3", 5));
    EXPECT_FALSE(FileExists(WorkingFileName(dir / "kasa.tmp")));
}

TEST(SysFiles, PathPartsAndPolishErrorTexts)
{
    EXPECT_EQ(ExtractFilePath("/x/y/kasa.exp"), "/x/y/");
    EXPECT_EQ(ExtractFileName("/x/y/kasa.exp"), "kasa.exp");
    EXPECT_EQ(ExtractFilePath("c:\\OrvWin\\kasa.exp"), "c:\\OrvWin\\");
    EXPECT_EQ(ExtractFilePath("kasa.exp"), "");
    EXPECT_EQ(ExtractFileName("kasa.exp"), "kasa.exp");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/x/y"), "/x/y/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/x/y/"), "/x/y/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("c:\\OrvWin\\"), "c:\\OrvWin\\");
    EXPECT_EQ(IncludeTrailingPathDelimiter(""), "/");
    EXPECT_EQ(SysErrorMessage(ENOENT), "plik lub folder nie istnieje");
    EXPECT_EQ(SysErrorMessage(ENOSPC), "brak miejsca na dysku");
    EXPECT_EQ(SysErrorMessage(12345), "b\xB3\xB9" "d systemu nr 12345");
}

