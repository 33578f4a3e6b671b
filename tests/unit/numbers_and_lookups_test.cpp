// Numbers of the host's export file, the look-up of the register's barcodes
// among the host's goods, and the group map's numbers.
#include <gtest/gtest.h>

#include "IdMap.h"
#include "cbexpbuf.h"
#include "inprocess_host.h"
#include "thrown.h"

namespace {
std::string Plu(int plu, const std::string& kod, const std::string& price, const std::string& rate = "23")
{
    return "PLU;" + std::to_string(plu) + ";0;" + kod + ";T" + std::to_string(plu) + ";" + price + ";90;80;70;" + rate +
           ";1;F;0;F;F;F;0;;0;AKT\r\n";
}

class ExportNumbers : public ::testing::Test {
protected:
    InProcessHost in;
    testutil::TempDir tmp;
    std::unique_ptr<TVelComboAction> action;
    std::unique_ptr<TVelComboExpBuf> buf;
    void SetUp() override
    {
        in.host.SetParam("Vel_Combo_PosortowaneStawkiVatPrec", "2300\r\n800");
        in.Start();
        action = in.NewAction();
    }
    std::string Read(const std::string& text)
    {
        buf = std::make_unique<TVelComboExpBuf>(action.get());
        testutil::WriteFile(tmp / "kasa.exp", text);
        return testutil::Thrown([&] { buf->ReadFromFile(tmp / "kasa.exp", false, -1); });
    }
    VelTowRec Row(int row)
    {
        VelTowRec rec;
        buf->CzytajRec(row, &rec);
        return rec;
    }
};
}  // namespace

TEST_F(ExportNumbers, ABadNumberIsAFormatErrorNamingItsLine)
{
    const std::string at = "Błąd w linii 2 pliku kasa.exp: ", format = "Nieprawidłowy format pliku eksportowego";
    // Price and rate as the file has them, the failure, and the row's price and rate as read.
    const std::tuple<std::string, std::string, std::string, double, int32_t> cases[] = {
        {"100", "21474836", testutil::kNothingThrown, 100, 2147483600},
        {"12abc", "0", testutil::kNothingThrown, 12, 0},
        {"100", "21474837", at + format, 0, 0},
        {"100", "99999999", at + format, 0, 0},
        {"nan", "23", at + "\"nan\" nie jest prawidłową liczbą", 0, 0},
        {"1e999", "23", at + "\"1e999\" nie jest prawidłową liczbą", 0, 0},
    };
    for (const auto& [price, rate, error, cena, stawkaPrec] : cases) {
        EXPECT_EQ(Read("VAT;23\r\n" + Plu(1, "1", price, rate)), error) << price << " " << rate;
        EXPECT_TRUE(error != testutil::kNothingThrown || (Row(0).cena == cena && Row(0).stawkaPrec == stawkaPrec));
    }
}

TEST_F(ExportNumbers, TheRegistersBarcodeFindsTheHostsExactRowBeforeTheStrippedOne)
{
    for (const int exact : {1, 0}) {  // the host's "0123" in either row
        const std::string rows[] = {Plu(1, "123", "100"), Plu(2, "0123", "100")};
        ASSERT_EQ(Read(exact ? rows[0] + rows[1] : rows[1] + rows[0]), testutil::kNothingThrown);
        buf->AddInPlu("0123", "TOW;2;T2;0123;0;0;0;100;0;1;0;0;0;1;1;1");
        buf->AnalizujCancelBufor(false);
        ASSERT_EQ(buf->il_rec, 2) << "nothing inserted again";
        EXPECT_EQ(Row(1 - exact).status, stDod) << "the register lacks 123";
        EXPECT_EQ(Row(exact).status, stNull) << "0123 is the register's own, unchanged";
    }
}

TEST(GroupMap, FarNumbersCostNothingAndNoNumberIsSharedByTwoIdentifiers)
{
    const std::tuple<AnsiString, AnsiString, AnsiString> cases[] = {  // the map, the identifiers, the map after
        {"1=100000000", "1\r\n2", "2=0\r\n1=100000000\r\n"},
        {"5=2147483646", "5\r\n6\r\n7", "6=0\r\n7=1\r\n5=2147483646\r\n"},
        {"3=0\r\n5=0\r\n7=1", "3\r\n5\r\n7", "3=0\r\n7=1\r\n5=2\r\n"},
        {"9=0\r\n2=0\r\n4=2", "2\r\n4\r\n9", "9=0\r\n2=1\r\n4=2\r\n"},
        {"9=1\r\n2=1", "2\r\n9", "2=0\r\n9=1\r\n"},
    };
    for (auto [map, ids, expected] : cases) {
        IdMap().Initialize(map, ids);
        EXPECT_EQ(map, expected) << ids;
    }
}
