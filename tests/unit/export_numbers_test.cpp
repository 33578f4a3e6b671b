// Numbers of the host's export file and the look-up of the register's
// barcodes among the host's goods, through the real export buffer.
#include <gtest/gtest.h>

#include "cbexpbuf.h"
#include "inprocess_host.h"
#include "thrown.h"

namespace {
std::string Plu(int plu, const std::string& kod, const std::string& price, const std::string& rate)
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
        in.host.device.folder = tmp.Folder();
        in.host.SetParam("Vel_Combo_PosortowaneStawkiVatPrec", "2300\r\n800");
        in.Start();
        action = in.NewAction();
        buf = std::make_unique<TVelComboExpBuf>(action.get());
    }
    VelTowRec Row(int row)
    {
        VelTowRec rec;
        buf->CzytajRec(row, &rec);
        return rec;
    }
    std::string Read(const std::string& text)
    {
        testutil::WriteFile(tmp / "kasa.exp", text);
        return testutil::Thrown([&] { buf->ReadFromFile(tmp / "kasa.exp", false, -1); });
    }
};
}  // namespace

TEST_F(ExportNumbers, ABadNumberIsAFormatErrorNamingItsLine)
{
    const std::string at = "B\xB3\xB9" "d w linii 2 pliku kasa.exp: ";
    const std::string notNumber = "\" nie jest prawid\xB3ow\xB9 liczb\xB9";
    const struct {
        std::string price, rate, error;
    } cases[] = {
        {"100", "21474836", testutil::kNothingThrown},
        {"100", "21474837", at + "Nieprawid\xB3owy format pliku eksportowego"},
        {"100", "99999999", at + "Nieprawid\xB3owy format pliku eksportowego"},
        {"nan", "23", at + "\"nan" + notNumber},
        {"-inf", "23", at + "\"-inf" + notNumber},
        {"1e999", "23", at + "\"1e999" + notNumber},
        {"12abc", "23", testutil::kNothingThrown},
    };
    for (const auto& c : cases) {
        buf = std::make_unique<TVelComboExpBuf>(action.get());
        EXPECT_EQ(Read("VAT;23\r\n" + Plu(1, "1", c.price, c.rate)), c.error) << c.price << " " << c.rate;
    }
    EXPECT_EQ(Row(0).cena, 12) << "what is no number stays read as far as it goes";
    buf = std::make_unique<TVelComboExpBuf>(action.get());
    Read(Plu(1, "1", "100", "21474836"));
    EXPECT_EQ(Row(0).stawkaPrec, 2147483600);
}

TEST_F(ExportNumbers, TheRegistersBarcodeFindsTheHostsExactRowBeforeTheStrippedOne)
{
    ASSERT_EQ(Read(Plu(1, "123", "100", "23") + Plu(2, "0123", "100", "23")), testutil::kNothingThrown);
    buf->AddInPlu("0123", "TOW;2;T2;0123;0;0;0;100;0;1;0;0;0;1;1;1");
    buf->AnalizujCancelBufor(false);
    ASSERT_EQ(buf->il_rec, 2) << "nothing inserted again";
    EXPECT_EQ(Row(0).status, stDod) << "the register lacks 123";
    EXPECT_EQ(Row(1).status, stNull) << "0123 is the register's own, unchanged";
}
