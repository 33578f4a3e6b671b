// EDI order documents written from an action's order lines into a real folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "host_lines.h"
#include "inprocess_host.h"
#include "thrown.h"

namespace {
std::string Today(const char* format)
{
    int y = 0, m = 0, d = 0;
    DecodeDate(Date(), y, m, d);
    return Format(format, y, m, d);
}

class EdiOrders : public ::testing::Test {
protected:
    InProcessHost in;
    testutil::TempDir tmp;
    std::unique_ptr<TVelComboAction> action;
    std::string folder = tmp.File("edi/zam");

    void SetUp() override
    {
        in.host.device.folder = tmp.Folder();
        in.host.device.number = 7;
        in.host.device.name = "Sklep Łódź";
        in.host.weighted = {"28SSSSS?????K"};
        in.host.SetParam("ComboEdiFolder", folder);
        in.host.SetParam("ComboOrdersMagNo", "MAG1");
        in.Start();
        action = in.NewAction();
    }
    std::string Doc(int device, const std::string& stamp, int n)
    {
        return Format("%s/Doc%03d_%s_%03d.txt", folder.c_str(), device, stamp.c_str(), n);
    }
};
}  // namespace

TEST_F(EdiOrders, DocumentIsWrittenByteForByteInCodePage852)
{
    action->AddToZamEDIDoc("Chleb", "123", 1500);
    action->AddToZamEDIDoc("Ser", " 2801234 ", 250);
    action->AddToZamEDIDoc("Mleko", "5901", 1000);
    action->CorrectZamEDIDoc("Mleko", "5901 ", -2500);
    action->SaveEDIOrder();

    const std::string name = "Doc007_" + Today("%04d%02d%02d") + "_001.txt";
    EXPECT_EQ(testutil::ReadFile(folder + "/" + name),
              "TypPolskichLiter:LA\r\nTypDok:ZAM\r\nNrDok:1\r\nData:" + Today("%04d-%02d-%02d") +
                  "\r\nMagazyn:MAG1\r\nNIPWystawcy: 7\r\nIndeksCentralny:NIE\r\n"
                  "NazwaWystawcy:Kasa nr 7 (Sklep \x9D\xA2"
                  "d\xAB)\r\nIloscLinii:3\r\n"
                  "Linia:Kod{123}Ilosc{1.500}\r\nLinia:Kod{2801234??????}Ilosc{0.250}\r\n"
                  "Linia:Kod{5901}Ilosc{-2.500}\r\n");
    EXPECT_EQ(in.host.lines.back(), testutil::Added("Utworzono nowy dokument EDI z zamówieniem: " + name, 1));
}

TEST_F(EdiOrders, NumberIsTheFirstFreeOfThisRegisterAndDay)
{
    action->SaveEDIOrder();
    EXPECT_FALSE(testutil::Exists(folder)) << "no order lines: no folder, no file";
    EXPECT_TRUE(in.host.lines.empty());

    const std::string today = Today("%04d%02d%02d");
    std::filesystem::create_directories(folder);
    for (const std::string& taken :
         {Doc(7, today, 1), Doc(7, today, 2), Doc(7, today, 3), Doc(8, today, 4), Doc(7, "20000101", 4)})
        testutil::WriteFile(taken, "x");
    in.host.SetParam("ComboOrdersAs", "2");
    action->AddToZamEDIDoc("Chleb", "123", 1);
    action->SaveEDIOrder();
    const auto lines = testutil::ReadLines(Doc(7, today, 4));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[1] + lines[2] + lines[9], "TypDok:ZAM_ODB\rNrDok:4\rLinia:Kod{123}Ilosc{0.001}\r");

    for (int n = 5; n <= 998; ++n) testutil::WriteFile(Doc(7, today, n), "x");
    action->SaveEDIOrder();
    EXPECT_EQ(testutil::ReadLines(Doc(7, today, 999))[2], "NrDok:999\r");
    EXPECT_EQ(testutil::Thrown([&] { action->SaveEDIOrder(); }),
              "Brak wolnego numeru pliku na zapisanie dokumentu zamówienia");
    EXPECT_EQ(testutil::ReadLines(Doc(7, today, 999)).size(), 10u);
}
