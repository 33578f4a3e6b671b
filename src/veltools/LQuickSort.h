// Sorting and binary search over a collection held by a derived class: the
// derived class keeps the rows and answers comparisons and exchanges by row
// index, this base runs the algorithms.
#pragma once

#include <cstdint>

class TLQuickSort {
public:
    // Set by a failed search: the index at which the key would be inserted.
    int32_t insert_place = -1;
    // The rows are known to be in order. A derived class clears it whenever
    // it adds rows out of order; the searches sort first while it is false.
    bool Sorted = false;

    TLQuickSort() = default;
    TLQuickSort(const TLQuickSort&) = default;
    TLQuickSort& operator=(const TLQuickSort&) = default;
    virtual ~TLQuickSort() = default;

    // Progress report: the sort has put rows up to done in place.
    virtual void SetNumDone(int done);
    // Negative, zero or positive as row a sorts before, with or after row b.
    virtual int SortCompare(int a, int b);
    virtual int ExChange(int a, int b);
    // Compares the key stored for the search with row i: negative when the
    // key sorts before the row, zero when equal, positive when after.
    virtual int FindCompare(int i);

    // The ranges are lo..hi, both included; hi < lo is an empty range.
    // Sorts the rows; returns 0.
    int Sort(int lo, int hi);
    // Index of a row equal to the key, or -1 with insert_place set.
    int Find(int lo, int hi);
    // Index at which the key is to be inserted to keep the order, or -1 when
    // an equal row exists.
    int FindInsertPlace(int lo, int hi);

private:
    void SortIfNeeded(int lo, int hi);
};
