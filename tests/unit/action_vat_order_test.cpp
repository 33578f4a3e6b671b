// The register's VAT-rate order as an action reads it from the host and the
// slot lookup of a rate.
#include <gtest/gtest.h>

#include "StawkiKolejne.h"
#include "inprocess_host.h"
#include "setofintegers.h"
#include "thrown.h"

namespace {
std::vector<int32_t> Slots(TVelStawkiKolejne* order)
{
    std::vector<int32_t> v;
    for (int i = 0; i < TVelStawkiKolejne::IloscSlotow; ++i) v.push_back(order->GetWartosci(i));
    return v;
}
constexpr int32_t E = TVelStawkiKolejne::Pusta;
}  // namespace

TEST(VatOrder, WithoutStoredOrdersTheHostsRatesFillTheSevenSlots)
{
    InProcessHost in;
    in.host.vat = {23, 8, 5, 0, 7, 4, 3, 2, 1};  // no callback 32: whole percent times 100
    in.Start();
    auto action = in.NewAction();
    EXPECT_EQ(Slots(action->GetStawkiKolejnePrec()),
              (std::vector<int32_t>{100, 200, 300, 400, 700, 0, 500, E, E, E}));
}

TEST(VatOrder, StoredWholePercentOrderCarriesOverToThePreciseOne)
{
    InProcessHost in;
    in.host.SetParam("Vel_Combo_PosortowaneStawkiVat", "23\r\n8\r\n5\r\n0\r\n-1");
    in.Start();
    auto action = in.NewAction();
    EXPECT_EQ(Slots(action->GetStawkiKolejnePrec()), (std::vector<int32_t>{2300, 800, 500, 0, -1, E, E, E, E, E}));
    EXPECT_EQ(Slots(action->GetStawkiKolejne()), (std::vector<int32_t>{23, 8, 5, 0, -1, E, E, E, E, E}));
}

TEST(VatOrder, StoredPreciseOrderWinsAndIsWrittenBack)
{
    InProcessHost in;
    in.host.SetParam("Vel_Combo_PosortowaneStawkiVat", "23");
    in.host.SetParam("Vel_Combo_PosortowaneStawkiVatPrec", "800\r\n2300");
    in.Start();
    auto action = in.NewAction();
    action->GetStawkiKolejnePrec()->SetWartosci(2, 500);
    action->ZapiszStawkiKolejnePrec();
    EXPECT_EQ(in.host.Param("Vel_Combo_PosortowaneStawkiVatPrec"),
              "800\r\n2300\r\n500\r\n-999\r\n-999\r\n-999\r\n-999\r\n-999\r\n-999\r\n-999");
}

TEST(VatOrder, HostPreciseRatesComeFromCallback32WhenOffered)
{
    InProcessHost in;
    in.host.vat = {23};
    in.host.hasVatPrec = true;
    in.host.vatPrec = {550, 2300, 550};
    in.Start();
    auto action = in.NewAction();
    TMacSetOfIntegers* set = action->GetStawkiDostepnePrec();
    ASSERT_EQ(set->GetCount(), 2) << "duplicates are ignored, the host's order is kept";
    EXPECT_EQ(std::pair(set->GetValues(0), set->GetValues(1)), std::pair(550, 2300));
}

TEST(VatOrder, SlotLookupsKeepTheirLastAnswerAndThrowForAnUnknownRate)
{
    InProcessHost in;
    in.host.SetParam("Vel_Combo_PosortowaneStawkiVatPrec", "2300\r\n800\r\n500\r\n0\r\n-1");
    in.host.SetParam("Vel_Combo_PosortowaneStawkiVat", "23\r\n8\r\n5\r\n0\r\n-1");
    in.Start();
    auto action = in.NewAction();
    // Each lookup over its own order: whole percent and hundredths of a percent.
    const struct {
        int (VelAction::*lookup)(int);
        TVelStawkiKolejne* (TVelActionBase::*order)();
        int rate, unknown;
        const char* error;
    } lookups[] = {
        {&VelAction::NumerStawkiPrec, &TVelActionBase::GetStawkiKolejnePrec, 800, 700, "Niezdefiniowana stawka 7.00%"},
        {&VelAction::NumerStawki, &TVelActionBase::GetStawkiKolejne, 8, 7, "Niezdefiniowana stawka 7.00%"}};
    for (const auto& l : lookups) {
        auto lookup = [&](int rate) { return ((*action).*l.lookup)(rate); };
        EXPECT_EQ(lookup(l.rate), 1);
        ((*action).*l.order)()->SetWartosci(1, l.rate + 1);
        EXPECT_EQ(lookup(l.rate), 1) << "the same rate again is not searched";
        EXPECT_EQ(lookup(-1), 4);
        for (int attempt = 0; attempt < 2; ++attempt) EXPECT_EQ(testutil::Thrown([&] { lookup(l.unknown); }), l.error);
        EXPECT_THROW(lookup(l.rate), Exception) << "searched again after a failure";
    }

    // A new action searches on its first lookup, whatever an earlier one kept.
    auto next = in.NewAction();
    EXPECT_EQ(next->NumerStawkiPrec(800), 1);
}

TEST(ParamAsDate, ReadsTheCompressedFormOrGivesToday)
{
    InProcessHost in;
    in.host.SetParam("Od", " 20261231235959123 ");
    in.host.SetParam("Zle", "2026-12-31");
    in.Start();
    auto action = in.NewAction();
    EXPECT_EQ(action->ParamAsDate("Od"), EncodeDate(2026, 12, 31));
    EXPECT_EQ(action->ParamAsDate("Zle"), Date());
}

namespace {
extern "C" int AlwaysMore(void*, void*, int32_t index, int32_t* rate)
{
    *rate = index % 30;
    return 1;
}
}  // namespace

TEST(VatOrder, AHostThatAlwaysHasMoreRatesIsAskedAThousandTimes)
{
    InProcessHost in;
    in.Start();
    in.library->RejestrujCallback(reinterpret_cast<void*>(&AlwaysMore), 15);
    auto action = in.NewAction();
    std::vector<int32_t> rates;
    in.library->WypelnijStawkiVAT(action.get(), rates);
    EXPECT_EQ(rates.size(), 1000u);
    EXPECT_EQ(action->GetStawkiDostepnePrec()->GetCount(), 30) << "no callback 32: callback 15, duplicates once";
}
