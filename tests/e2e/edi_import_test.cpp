// The orders an import finds become an EDI document, through the real library.
#include <gtest/gtest.h>

#include <ctime>

#include "host_lines.h"
#include "register_session.h"

TEST(EdiImport, OrdersOfAnImportBecomeOneDocumentWithCorrectionsApplied)
{
    RegisterSession s;
    s.host.SetParam("ComboPort", "PLIK");
    s.host.SetParam("ComboEdiFolder", s.tmp / "EDI");
    testutil::WriteFile(s.tmp / "combo.imp", "P_ZAM;32;9;590;2500;Mleko\r\nP_ZAM;32;10;591;1000;Chleb\r\n"
                                             "P_PLU;1;5;590;Ser;1000;100;0\r\nP_ZAM;33;9;590 ;1500;Mleko\r\n");
    ASSERT_EQ(s.Run(-3), 0);

    char stamp[9] = {};
    const std::time_t now = std::time(nullptr);
    std::tm today{};
    std::strftime(stamp, sizeof stamp, "%Y%m%d", localtime_r(&now, &today));
    const std::string name = "Doc001_" + std::string(stamp) + "_001.txt";
    const auto lines = testutil::ReadLines(s.tmp / ("EDI/" + name));
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[8] + lines[9] + lines[10],
              "IloscLinii:2\rLinia:Kod{591}Ilosc{1.000}\rLinia:Kod{590}Ilosc{1.500}\r");
    EXPECT_EQ(s.host.lines.back(), testutil::Added("Utworzono nowy dokument EDI z zamówieniem: " + name, 1));
}
