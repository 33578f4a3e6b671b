#include "LQuickSort.h"

void TLQuickSort::SetNumDone(int) {}
int TLQuickSort::SortCompare(int, int) { return 0; }
int TLQuickSort::ExChange(int, int) { return 0; }
int TLQuickSort::FindCompare(int) { return 0; }

int TLQuickSort::Sort(int lo, int hi)
{
    if (hi < lo) return 0;
    const int doneAt = hi;
    // The smaller part is sorted by recursion and the larger one by the loop,
    // so the stack stays logarithmic whatever the data look like.
    while (lo < hi) {
        int p = lo + (hi - lo) / 2;
        int i = lo;
        int j = hi;
        do {
            while (SortCompare(i, p) < 0) ++i;
            while (SortCompare(p, j) < 0) --j;
            if (i <= j) {
                // The pivot is a row, not a place: follow it through the exchange.
                if (p == i)
                    p = j;
                else if (p == j)
                    p = i;
                ExChange(i, j);
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - lo < hi - i) {
            if (lo < j) Sort(lo, j);
            lo = i;
        } else {
            if (i < hi) Sort(i, hi);
            hi = j;
        }
    }
    SetNumDone(doneAt);
    return 0;
}

void TLQuickSort::SortIfNeeded(int lo, int hi)
{
    if (Sorted) return;
    Sort(lo, hi);
    Sorted = true;
}

int TLQuickSort::Find(int lo, int hi)
{
    SortIfNeeded(lo, hi);
    while (lo <= hi) {
        const int m = lo + (hi - lo) / 2;
        const int c = FindCompare(m);
        if (c == 0) return m;
        if (c > 0)
            lo = m + 1;
        else
            hi = m - 1;
    }
    insert_place = lo;
    return -1;
}

int TLQuickSort::FindInsertPlace(int lo, int hi)
{
    SortIfNeeded(lo, hi);
    if (hi < lo) return lo;
    if (FindCompare(lo) < 0) return lo;
    if (FindCompare(hi) > 0) return hi + 1;
    insert_place = -1;
    Find(lo, hi);
    return insert_place;
}
