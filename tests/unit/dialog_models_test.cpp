// The models of the two windows, without a display: what the VAT-rate slot
// dialog shows and gives back, and how the goods-import options tick their boxes.
#include <gtest/gtest.h>

#include "FltkDialog.h"
#include "StawkiKolejne.h"
#include "StawkiKolejneDialog.h"
#include "cbimportdlg.h"
#include "inprocess_host.h"
#include "setofintegers.h"

namespace {
TFrmStawkiNaKasie Filled(bool precise, std::vector<int32_t> rates)
{
    TFrmStawkiNaKasie d(nullptr, precise, nullptr);
    TMacSetOfIntegers set;
    for (int32_t r : rates) set.Add(r);
    d.SetStawkiMarket(set);
    return d;
}
}  // namespace

TEST(VatSlotDialog, DisplayFormsAndTheirReadingBack)
{
    const TFrmStawkiNaKasie precise = Filled(true, {}), whole = Filled(false, {});
    for (auto [value, p, w] : {std::tuple{2300, "23.00", "100"}, {23, "0.23", "23"}, {555, "5.55", "100"},
                               {100, "1.00", "100"}, {0, "0.00", "0"}, {-1, "zw", "zw"}, {-2, "<pusta>", "<pusta>"}}) {
        EXPECT_EQ(precise.ToDispFormat(value), p) << value;
        EXPECT_EQ(whole.ToDispFormat(value), w) << value;
    }
    for (auto [text, p, w] : {std::tuple{"23.00", 2300, 23}, {"5.55", 555, 6}, {" 5,555 ", 556, 6}, {" ZW ", -1, -1},
                              {"<pusta>", -999, -999}, {"abc", -999, -999}, {"99999999999", -999, -999}}) {
        EXPECT_EQ(precise.FromDispFormat(text), p) << text;
        EXPECT_EQ(whole.FromDispFormat(text), w) << text;
    }
}

TEST(VatSlotDialog, RowsArePreselectedLabelledAndReadBack)
{
    TFrmStawkiNaKasie d = Filled(true, {2300, 800, 500});
    EXPECT_EQ(d.Wiersze[0].Etykieta + d.Wiersze[9].Etykieta, "1:10:");
    EXPECT_EQ(d.Pozycje, (std::vector<AnsiString>{"<pusta>", "23.00", "8.00", "5.00"}));
    TVelStawkiKolejne slots;
    for (auto [slot, value] : {std::pair{0, 800}, {1, 700}, {2, -1}, {3, 2300}, {9, 500}})
        slots.SetWartosci(slot, value);
    d.SetStawkiUrzadzenia(slots, true);
    d.SetIloscStawek(7);
    const int chosen[] = {2, 0, 0, 1, 0, 0, 0, 0, 0, 3};  // 7.00 and zw are not the host's: empty
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(d.Wiersze[i].Wybrany == chosen[i] && d.Wiersze[i].Widoczny == (i < 7) && d.Wiersze[i].Dostepny)
            << i;
    d.Wiersze[1].Wybrany = 3;
    d.Wiersze[3].Wybrany = -1;
    d.Wiersze[4].Wybrany = 4;  // past the list
    d.GetStawkiUrzadzenia(slots);
    EXPECT_EQ(slots.SpiszDoTekstuParametru(),
              "800\r\n500\r\n-999\r\n-999\r\n-999\r\n-999\r\n-999\r\n-999\r\n-999\r\n500");
    for (auto [name, labels] : {std::pair{"A", "A:J:"}, {"0", "0:9:"}, {"7", "7:16:"}, {"", "1:10:"}}) {
        d.SetNazwaStawki(name);
        EXPECT_EQ(d.Wiersze[0].Etykieta + d.Wiersze[9].Etykieta, labels) << name;
    }
    d.SetStawkiUrzadzenia(slots, false);
    EXPECT_FALSE(d.OkDostepny || d.Wiersze[0].Dostepny || d.Wiersze[9].Dostepny);
    d.StawkaSpecjalna("X", -1);
    EXPECT_FALSE(d.GetSpecjalnaWidoczna());
    d.SetSpecjalnaWidoczna(true);
    EXPECT_EQ(d.EtykietaSpecjalna + d.TekstSpecjalny, "Xzw");
}

TEST(ImportOptionsDialog, OnlyTheExactTrueTicksABox)
{
    InProcessHost in;
    in.Start();
    auto action = in.NewAction();
    Tfrm_import d(nullptr, nullptr);
    for (auto [stored, checked] : {std::pair{"TRUE", true}, {"true", false}, {" TRUE", false}, {"", false}}) {
        in.host.SetParam("ComboImportOverWrite", stored);
        in.host.SetParam("ComboImportLogSave", stored);
        d.WczytajOpcje(action.get());
        EXPECT_TRUE(d.OverwriteChecked == checked && d.LogFileChecked == checked) << stored;
    }
}

TEST(DialogTexts, LabelsAndItemsInUtf8ShowTheirMarksAsThemselves)
{
    // The test's own literals are code page 1250, so UTF-8 is written byte by byte.
    EXPECT_EQ(veldialog::Utf8("\x80\x81\xB3\xA3 zw"), "\xE2\x82\xAC?\xC5\x82\xC5\x81 zw");
    EXPECT_EQ(veldialog::Utf8Label("A&B@/_"), "A&&B@@/_");
    EXPECT_EQ(veldialog::Utf8Item("A&B@/_\\"), "A&&B@@\\/\\_\\\\");
}
