#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "LQuickSort.h"

namespace {
// A buffer of integer rows, as the data buffers derive from the base.
class IntRows : public TLQuickSort {
public:
    std::vector<int> rows;
    int key = 0;
    long compares = 0;
    long exchanges = 0;
    std::vector<int> done;

    explicit IntRows(std::vector<int> r = {}) : rows(std::move(r)) {}
    int Last() const { return static_cast<int>(rows.size()) - 1; }

    void SetNumDone(int d) override { done.push_back(d); }
    int SortCompare(int a, int b) override
    {
        ++compares;
        Check(a);
        Check(b);
        return (rows[a] > rows[b]) - (rows[a] < rows[b]);
    }
    int ExChange(int a, int b) override
    {
        ++exchanges;
        Check(a);
        Check(b);
        std::swap(rows[a], rows[b]);
        return 0;
    }
    int FindCompare(int i) override
    {
        ++compares;
        Check(i);
        return (key > rows[i]) - (key < rows[i]);
    }

private:
    void Check(int i) const
    {
        if (i < 0 || i > Last()) ADD_FAILURE() << "row " << i << " outside 0.." << Last();
    }
};

std::vector<int> RandomRows(size_t n, int range, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> d(0, range);
    std::vector<int> v(n);
    for (int& x : v) x = d(gen);
    return v;
}

std::vector<int> Ascending(size_t n)
{
    std::vector<int> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<int>(2 * i);
    return v;
}

// Sorts like std::sort, finds what std::lower_bound finds and reports the
// insertion place of every key that is missing.
void CheckAgainstStd(std::vector<int> data)
{
    IntRows buf(data);
    std::sort(data.begin(), data.end());
    EXPECT_EQ(buf.Sort(0, buf.Last()), 0);
    ASSERT_EQ(buf.rows, data);
    buf.Sorted = true;

    std::mt19937 gen(7);
    std::uniform_int_distribution<int> d(data.front() - 2, data.back() + 2);
    for (int probe = 0; probe < 2000; ++probe) {
        buf.key = d(gen);
        const auto lb = std::lower_bound(data.begin(), data.end(), buf.key);
        const bool present = lb != data.end() && *lb == buf.key;
        const int at = buf.Find(0, buf.Last());
        if (present) {
            ASSERT_GE(at, 0);
            ASSERT_EQ(buf.rows[at], buf.key);
            ASSERT_EQ(buf.FindInsertPlace(0, buf.Last()), -1);
        } else {
            ASSERT_EQ(at, -1);
            ASSERT_EQ(buf.insert_place, lb - data.begin());
            ASSERT_EQ(buf.FindInsertPlace(0, buf.Last()), lb - data.begin());
        }
    }
}
}  // namespace

TEST(LQuickSort, AgreesWithTheStandardLibraryOnLargeCollections)
{
    const size_t n = 100000;
    CheckAgainstStd(RandomRows(n, 1000000, 1));
    CheckAgainstStd(RandomRows(n, 50, 2));  // many equal keys
    CheckAgainstStd(Ascending(n));
    std::vector<int> desc = Ascending(n);
    std::reverse(desc.begin(), desc.end());
    CheckAgainstStd(desc);
    CheckAgainstStd(std::vector<int>(n, 4));
}

TEST(LQuickSort, SortReportsProgressAndTouchesNoMoreThanItMust)
{
    IntRows buf(RandomRows(1000, 100, 3));
    buf.Sort(0, buf.Last());
    ASSERT_FALSE(buf.done.empty());
    EXPECT_EQ(buf.done.back(), buf.Last());
    IntRows two({5, 3});
    two.Sort(0, 1);
    EXPECT_EQ(two.rows, (std::vector<int>{3, 5}));
    EXPECT_EQ(two.exchanges, 1);

    IntRows none;
    EXPECT_EQ(none.Sort(0, -1), 0);
    none.key = 3;
    EXPECT_EQ(none.Find(0, -1), -1);
    EXPECT_EQ(none.insert_place, 0);
    EXPECT_EQ(none.FindInsertPlace(0, -1), 0);
    EXPECT_EQ(none.compares + none.exchanges, 0) << "an empty range is never compared";
}

TEST(LQuickSort, FindSortsAnUnsortedCollectionFirstAndMarksIt)
{
    IntRows buf({9, 1, 7, 3});
    buf.key = 7;
    EXPECT_FALSE(buf.Sorted);
    const int at = buf.Find(0, buf.Last());
    EXPECT_TRUE(buf.Sorted);
    EXPECT_EQ(buf.rows, (std::vector<int>{1, 3, 7, 9}));
    EXPECT_EQ(at, 2);

    // Once marked, it is not sorted again.
    buf.rows = {9, 1};
    buf.key = 1;
    EXPECT_EQ(buf.Find(0, 1), -1);
    EXPECT_EQ(buf.rows, (std::vector<int>{9, 1}));

    // The insertion place in a sub-range counts from its first row.
    buf.rows = {10, 20, 30, 40};
    buf.key = 15;
    EXPECT_EQ(buf.FindInsertPlace(2, 3), 2);
    buf.key = 30;
    EXPECT_EQ(buf.FindInsertPlace(2, 3), -1);
}

namespace {
// McIlroy's adversary: values are decided only as the sort compares them,
// always so that the pivot turns out to be the smallest value left. Every
// partition then splits off a single row, the worst case of any quicksort.
class Adversary : public TLQuickSort {
public:
    explicit Adversary(int n) : item(n), value(n, Gas)
    {
        for (int i = 0; i < n; ++i) item[i] = i;
    }
    long compares = 0;
    std::vector<int> item;

    int SortCompare(int a, int b) override
    {
        ++compares;
        int& x = value[item[a]];
        int& y = value[item[b]];
        if (x == Gas && y == Gas) {
            if (item[a] == candidate)
                x = solid++;
            else
                y = solid++;
        }
        if (x == Gas)
            candidate = item[a];
        else if (y == Gas)
            candidate = item[b];
        return (x > y) - (x < y);
    }
    int ExChange(int a, int b) override
    {
        std::swap(item[a], item[b]);
        return 0;
    }
    bool InOrder() const
    {
        for (size_t i = 1; i < item.size(); ++i)
            if (value[item[i - 1]] > value[item[i]]) return false;
        return true;
    }

private:
    static constexpr int Gas = 1 << 30;
    std::vector<int> value;
    int solid = 0;
    int candidate = -1;
};

void* SortAdversary(void* arg)
{
    auto* a = static_cast<Adversary*>(arg);
    a->Sort(0, static_cast<int>(a->item.size()) - 1);
    return nullptr;
}
}  // namespace

TEST(LQuickSort, WorstCaseDataDoNotDeepenTheStack)
{
    // Sorted on a thread with a small stack: a sort that recursed once per
    // partition would need thousands of frames here.
    const int n = 6000;
    Adversary a(n);
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, 128 * 1024), 0);
    pthread_t t;
    ASSERT_EQ(pthread_create(&t, &attr, SortAdversary, &a), 0);
    pthread_join(t, nullptr);
    pthread_attr_destroy(&attr);
    EXPECT_GT(a.compares, static_cast<long>(n) * n / 8);  // the data really were the worst case
    EXPECT_TRUE(a.InOrder());
}
