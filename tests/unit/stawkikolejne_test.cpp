#include <gtest/gtest.h>

#include <vector>

#include "StawkiKolejne.h"

namespace {
std::vector<int32_t> Slots(const TVelStawkiKolejne& s)
{
    std::vector<int32_t> r;
    for (int k = 0; k < 10; ++k) r.push_back(s.GetWartosci(k));
    return r;
}

const int32_t E = TVelStawkiKolejne::Pusta;

// The host's set of rates as the action hands it over.
class Rates {
public:
    explicit Rates(std::vector<int32_t> v) : values(std::move(v)) {}
    int GetCount() const { return static_cast<int>(values.size()); }
    int32_t GetValues(int i) const { return values[static_cast<size_t>(i)]; }

private:
    std::vector<int32_t> values;
};
}  // namespace

TEST(StawkiKolejne, ParameterTextFillsTheSlotsInOrder)
{
    using V = std::vector<int32_t>;
    const struct {
        const char* text;
        bool times100;
        V slots;
    } cases[] = {
        {"23\r\n8\r\n5\r\n0", true, {2300, 800, 500, 0, E, E, E, E, E, E}},
        {"23\r\n8\r\n5\r\n0", false, {23, 8, 5, 0, E, E, E, E, E, E}},
        {"23\r\n8\r\n5\r\n0\r\n-1", true, {2300, 800, 500, 0, -1, E, E, E, E, E}},
        // Bad lines give empty slots in their place; blank lines at either end of the whole text are no slots.
        {"-5\nabc\n 8 \n\n7x\n-1", false, {E, E, 8, E, E, -1, E, E, E, E}},
        {"\r\n \r\n-5\r\nabc\r\n 8 \r\n\r\n7x\r\n-1\r\n\r\n", false, {E, E, 8, E, E, -1, E, E, E, E}},
        {"", true, V(10, E)},
        {" \r\n \t", true, V(10, E)},
        // Values that do not fit, also once times 100.
        {"2147483647\r\n2147483648\r\n99999999999999999999\r\n-2147483649", false, {2147483647, E, E, E, E, E, E, E, E, E}},
        {"21474837\r\n21474836\r\n2147483647", true, {E, 2147483600, E, E, E, E, E, E, E, E}},
        {"1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n12", false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
    };
    for (const auto& c : cases) {
        TVelStawkiKolejne s;
        s.SetWartosci(9, 7);
        s.WczytajZTekstuParametru(c.text, c.times100);
        EXPECT_EQ(Slots(s), c.slots) << c.text;
    }
}

TEST(StawkiKolejne, ParameterTextRoundTrips)
{
    TVelStawkiKolejne s;
    s.SetWartosci(0, 2300);
    s.SetWartosci(1, 800);
    s.SetWartosci(2, 500);
    s.SetWartosci(3, -1);
    const AnsiString text = s.SpiszDoTekstuParametru();
    EXPECT_EQ(text, "2300\r\n800\r\n500\r\n-1\r\n-999\r\n-999\r\n-999\r\n-999\r\n-999\r\n-999");
    TVelStawkiKolejne back;
    back.SetWartosci(0, 7);
    back.WczytajZTekstuParametru(text, false);
    EXPECT_EQ(Slots(back), Slots(s));
}

TEST(StawkiKolejne, HostRatesFillTheSlotsFromTheLast)
{
    TVelStawkiKolejne s;
    s.WczytajZListyDostepnychStawek(std::vector<int32_t>{0, 5, 8, 23});
    EXPECT_EQ(Slots(s), (std::vector<int32_t>{23, 8, 5, 0, E, E, E, E, E, E}));
    s.WczytajZListyDostepnychStawek(Rates({2300, 800, 500, 0}));
    EXPECT_EQ(Slots(s), (std::vector<int32_t>{0, 500, 800, 2300, E, E, E, E, E, E}));
    s.WczytajZListyDostepnychStawek(Rates({}));
    EXPECT_EQ(Slots(s), std::vector<int32_t>(10, E));
    // Of more than ten the first are left out; repeats count once and bad ones are empty.
    s.WczytajZListyDostepnychStawek(std::vector<int32_t>{100, 101, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    EXPECT_EQ(Slots(s), (std::vector<int32_t>{10, 9, 8, 7, 6, 5, 4, 3, 2, 1}));
    s.WczytajZListyDostepnychStawek(std::vector<int32_t>{23, 8, 23, -1, -7, 8});
    EXPECT_EQ(Slots(s), (std::vector<int32_t>{E, -1, 8, 23, E, E, E, E, E, E}));
}

TEST(StawkiKolejne, SlotAccessOutsideTheTenSlots)
{
    TVelStawkiKolejne s;
    s.SetWartosci(3, -7);
    EXPECT_EQ(s.GetWartosci(3), E);
    s.SetWartosci(10, 5);
    s.SetWartosci(-1, 5);
    EXPECT_EQ(Slots(s), std::vector<int32_t>(10, E));
    EXPECT_EQ(s.GetWartosci(10), E);
    EXPECT_EQ(s.GetWartosci(-1), E);
    EXPECT_FALSE(s.GetUzywane(-1));
    EXPECT_FALSE(s.GetZwolnione(10));
    s.SetWartosci(2, -1);
    s.SetWartosci(5, 0);
    EXPECT_TRUE(s.GetUzywane(2));
    EXPECT_TRUE(s.GetZwolnione(2));
    EXPECT_TRUE(s.GetUzywane(5));
    EXPECT_FALSE(s.GetZwolnione(5));
    EXPECT_FALSE(s.GetUzywane(3));
}

TEST(StawkiKolejne, CountingUsedSlotsIncludesGapsBeforeTheLast)
{
    TVelStawkiKolejne s;
    EXPECT_EQ(Slots(s), std::vector<int32_t>(10, E));
    EXPECT_EQ(s.IleUstawionych(), 0);
    s.SetWartosci(4, -1);
    EXPECT_EQ(s.IleUstawionych(), 5);
    s.SetWartosci(4, E);
    s.SetWartosci(0, 2300);
    s.SetWartosci(2, 800);
    EXPECT_EQ(s.IleUstawionych(), 3);
    s.SetWartosci(9, 0);
    EXPECT_EQ(s.IleUstawionych(), 10);
}

TEST(StawkiKolejne, CuttingEmptiesTheSlotsFromTheCountOn)
{
    TVelStawkiKolejne s;
    s.WczytajZTekstuParametru("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10", false);
    s.ObetnijDoTylu(10);
    EXPECT_EQ(s.IleUstawionych(), 10);
    s.ObetnijDoTylu(7);
    EXPECT_EQ(Slots(s), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, E, E, E}));
    s.ObetnijDoTylu(-2);
    EXPECT_EQ(Slots(s), std::vector<int32_t>(10, E));
}
