// The FTP client against a real FTP server on loopback.
#include <gtest/gtest.h>

#include <filesystem>

#include "FTPControl.h"
#include "peer_process.h"
#include "testutil.h"
#include "thrown.h"

TEST(FTPControl, FilesAndFoldersGoBothWaysAndAFailedDownloadKeepsTheOldFile)
{
    testutil::TempDir server, local;
    peerproc::PeerProcess peer("/usr/bin/python3", {FTP_PEER_SCRIPT, server.Path(), "kasa", "tajne"});
    TFTPControl ftp;
    std::vector<AnsiString> status;
    ftp.OnStatus = [&](const AnsiString& text) { status.push_back(text); };
    ftp.SetReportLevel(1);
    ftp.SetHost("127.0.0.1");
    ftp.SetPortA(peer.Port());
    ftp.SetUserId("kasa");
    ftp.SetPassword("zle");
    ftp.SetTimeout(testutil::kEventWaitMs);
    EXPECT_NE(testutil::Thrown([&] { ftp.Connect(); }).find("błąd połączenia z serwerem FTP 127.0.0.1:"),
              AnsiString::npos);
    EXPECT_FALSE(ftp.GetConnected());
    EXPECT_EQ(testutil::Thrown([&] { ftp.MakeDir("x"); }), "TFTPControl: brak połączenia z serwerem FTP");

    ftp.SetPassword("tajne");
    ftp.Connect();
    EXPECT_TRUE(ftp.GetConnected());
    ftp.MakeDir("dane");
    ftp.ChangeDir("dane");
    ftp.MakeDir("pod");
    EXPECT_EQ(ftp.CurrentDir(), "/dane/");
    const std::string bytes = "Zamówienie\r\n" + testutil::Hex({0x00, 0xB3, 0x0A});
    testutil::WriteFile(local / "zam.txt", bytes);
    ftp.Upload(local / "zam.txt", "zam.txt");
    ftp.Upload(local / "zam.txt", "/dane/a b.txt");
    EXPECT_EQ(testutil::ReadFile(server / "dane/zam.txt"), bytes);

    TStringList dirs, files;
    ftp.List(&dirs, &files);
    EXPECT_EQ(dirs.Text(), "pod\r\n");
    EXPECT_EQ(files.Count(), 2);
    EXPECT_TRUE(ftp.FileExists("a b.txt") && ftp.FileExists("zam.txt") && ftp.DirExists("pod") &&
                !ftp.FileExists("pod"));
    const TFTPListingItems items = ftp.ListAndParse();
    ASSERT_EQ(items.Count(), 3);
    int at = 0;
    while (at < 2 && items.Get(at).Name != "zam.txt") ++at;
    EXPECT_EQ(items.Get(at).Name + " " + std::to_string(items.Get(at).Size), "zam.txt 15");
    EXPECT_NEAR(items.Get(at).Modified, Now(), 1.0);
    EXPECT_EQ(testutil::Thrown([&] { items.Get(3); }), "TFTPListingItems: rozmiar poza zakresem");
    const std::pair<const char*, TDateTime> dates[] = {
        {"Mar  9 2031", EncodeDate(2031, 3, 9)}, {"mar 9 2031", EncodeDate(2031, 3, 9)}, {"Feb 30 2031", 0},
        {"Mar 9", 0}, {"9 Mar 2031", 0}, {"Mar 9 1O:15", 0}};
    for (const auto& [text, date] : dates) EXPECT_EQ(TFTPListingItems::ParseDate(text), date) << text;
    int y = 0, m = 0, d = 0;
    DecodeDate(Date() + 1, y, m, d);
    const std::string tomorrow =
        std::string("JanFebMarAprMayJunJulAugSepOctNovDec").substr(m * 3 - 3, 3) + " " + std::to_string(d) + " 10:15";
    EXPECT_EQ(TFTPListingItems::ParseDate(tomorrow), EncodeDateTime(y - 1, m, d, 10, 15, 0, 0)) << "a year ago";

    testutil::WriteFile(local / "kopia.txt", "stara");
    ftp.Download("a b.txt", local / "kopia.txt");
    EXPECT_EQ(testutil::ReadFile(local / "kopia.txt"), bytes);
    ftp.DeleteFileA("a b.txt");
    EXPECT_FALSE(testutil::Exists(server / "dane/a b.txt"));
    const std::string failed = testutil::Thrown([&] { ftp.Download("a b.txt", local / "kopia.txt"); });
    EXPECT_NE(failed.find("błąd pobierania pliku /dane/a b.txt"), AnsiString::npos);
    EXPECT_EQ(testutil::ReadFile(local / "kopia.txt"), bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(local.Path()), {}), 2) << "no working file left";
    EXPECT_NE(testutil::Thrown([&] { ftp.DeleteFileA("a b.txt"); }), testutil::kNothingThrown);
    EXPECT_NE(testutil::Thrown([&] { ftp.ChangeDir("brak"); }), testutil::kNothingThrown);
    EXPECT_EQ(testutil::Thrown([&] { ftp.Upload(local / "zam.txt", "x\r\nDELE zam.txt"); }),
              "TFTPControl: niedozwolony znak końca linii w nazwie \"x\r\nDELE zam.txt\"");
    ftp.ChangeDir("..");
    EXPECT_EQ(ftp.CurrentDir(), "/");

    ftp.SetPassiveMode(false);
    ftp.Connect();
    ftp.Download("dane/zam.txt", local / "aktywny.txt");
    EXPECT_EQ(testutil::ReadFile(local / "aktywny.txt"), bytes);
    ftp.Disconnect();
    EXPECT_FALSE(ftp.GetConnected());
    EXPECT_EQ(status.front(), "Łączenie z serwerem FTP 127.0.0.1:" + std::to_string(peer.Port()));
    EXPECT_EQ(status.back(), "Rozłączono z serwerem FTP 127.0.0.1");
}
