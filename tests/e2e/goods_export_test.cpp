// Goods and packages through the real library against the register
// simulator's goods base: the four passes of an export with their exact
// fields, refused rows, the register's goods read back and reconciled, the
// goods base cleared, and service functions 1 and 2.
#include <gtest/gtest.h>

#include "host_lines.h"
#include "register_session.h"

using namespace testutil;

namespace {

// A host goods line: 0 PLU, 1 plu, 2 koldod, 3 kod, 4 nazwa, 5 cena, ..., 9
// stawka, 10 jedn, 11 czy_wazony, 12 precyzja, 13, 14 opakowanie, 15
// cena_otwarta, 16 kod_opakowania, 17, 18 nr_asort, 19 status.
std::string Plu(const std::string& plu, const std::string& kod, const std::string& name, const std::string& price,
                const std::string& status, const std::string& rest = "23;1;F;0;F;F;F;;;0")
{
    const std::string line = "PLU;" + plu + ";" + plu + "0;" + kod + ";" + name + ";" + price + ";0;0;0;" + rest;
    return line + ";" + status + "\r\n";
}
std::string Pack(const std::string& kod, const std::string& name, const std::string& price, const std::string& status)
{
    return Plu("0", kod, name, price, status, "0;1;F;0;F;T;F;;;0");
}

// The goods commands the register took, each with its fields.
std::vector<std::string> GoodsSent(const RegisterSession& s)
{
    std::vector<std::string> sent;
    for (const auto& line : s.Journal())
        if (int cmd = line["cmd"].get<int>(); cmd >= 2100 && cmd < 2800 && cmd / 100 != 25 && cmd / 100 != 26)
            sent.push_back(std::to_string(cmd) + " " + line["fields"].dump());
    return sent;
}

int Export(RegisterSession& s, const std::string& kasa, const char* kind = "0")
{
    WriteFile(s.tmp / "kasa.exp", kasa);
    s.host.SetParam("Vel_Combo_PosortowaneStawkiVatPrec", "2300\r\n800\r\n500\r\n0\r\n-1\r\n-999\r\n-999");
    s.host.SetParam("RodzajTransmisji", kind);
    return s.Run(-2);
}

const char* const kLongName = "Chleb razowy krojony pakowany z ziarnem slonecznika";

}  // namespace

TEST(GoodsExport, FourPassesSendEveryFieldAsTheFamilyTakesIt)
{
    const std::string kasa = Plu("1", "5901", kLongName, "350", "DOD", "23;2;F;0;F;F;F;4;;3") +
                             Plu("2", "28001234?????", "Ser", "-120.9", "AKT", "8;3;T;3;F;F;T;70;;0") +
                             Plu("3", "777", "Cukier", "499", "CEN") + Plu("4", "888", "Stary", "1", "USU") +
                             Pack("5", "Butelka", "50", "USU") + Pack("4", "Skrzynka", "900", "DOD");
    const struct {
        int model;
        const char *name, *barcode;
    } families[] = {{2, "Chleb razowy krojony pak", "1234"},
                    {30, "Chleb razowy krojony pakowany z ziarnem ", "28001234"},
                    {5, "Chleb razowy kro", "28001234"}};
    for (const auto& f : families) {
        RegisterSession s(R"({"model": )" + std::to_string(f.model) +
                          R"(, "goods": [{"plu": 3, "barcode": "777"}, {"plu": 4, "barcode": "888"}],
                              "packages": [{"number": 5, "barcode": "5"}]})");
        EXPECT_EQ(Export(s, kasa + "ASS;1;Napoje\r\nASS;3;Pieczywo\r\n"), 0);
        EXPECT_EQ(GoodsSent(s), (std::vector<std::string>{
                                    R"(2140 [["V",4],["B",0],["B",0]])", R"(2740 [["V",5],["B",0],["B",0]])",
                                    R"(2700 [["V",4],["S","Skrzynka"],["S","4"],["N",900],["N",0],["B",1],["B",1],["B",0]])",
                                    R"(2100 [["V",1],["S",")" + std::string(f.name) + R"("],["S","5901"],["N",350],["N",0],)"
                                    R"(["B",4],["B",2],["B",0],["B",2],["B",0],["B",0],["B",1],["B",1],["B",0],["B",1],["B",0]])",
                                    R"(2100 [["V",2],["S","Ser"],["S",")" + std::string(f.barcode) + R"("],["N",-120],["N",0],)"
                                    R"(["B",0],["B",3],["B",0],["B",1],["B",1],["B",3],["B",0],["B",1],["B",0],["B",1],["B",0]])",
                                    R"(2181 [["V",3],["N",499]])"}))
            << f.model;
        EXPECT_EQ(ReadFile(s.tmp / "wynik.exp"), "PLU;1;10;5901;DOD\r\nPLU;2;20;28001234?????;AKT\r\n"
                                                 "PLU;3;30;777;CEN\r\nPLU;4;40;888;USU\r\n");
        EXPECT_TRUE(s.Violations().empty());
    }
}
