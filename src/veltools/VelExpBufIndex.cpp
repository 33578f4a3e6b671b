// The goods index by barcode: built and sorted once per run, then searched.
// Barcodes compare byte by byte: the order only serves equality searches, so
// it must be the same whatever locale the host runs in.
#include <algorithm>

#include "VelExpBuf.h"

void VelExpBuf::CreateIndex()
{
    ds_index.resize(ds_plu.size());
    for (size_t i = 0; i < ds_index.size(); ++i) ds_index[i] = static_cast<int32_t>(i);
    Sorted = false;
}

int VelExpBuf::FindRec(const AnsiString& kod, int n)
{
    if (n <= 0) return -1;
    SearchedPlu = kod;
    if (!Sorted) {
        // Only the rows the caller searches among are indexed, so that a
        // later, larger n can never reach entries left out of the order.
        CreateIndex();
        ds_index.resize(std::min(ds_index.size(), static_cast<size_t>(n)));
        Sort(0, static_cast<int>(ds_index.size()) - 1);
        Sorted = true;
    }
    const int range = std::min(n, static_cast<int>(ds_index.size()));
    const int at = Find(0, range - 1);
    return at < 0 ? -1 : ds_index[static_cast<size_t>(at)];
}

int VelExpBuf::SortCompare(int a, int b)
{
    return ds_plu[static_cast<size_t>(ds_index[static_cast<size_t>(a)])].kod.compare(
        ds_plu[static_cast<size_t>(ds_index[static_cast<size_t>(b)])].kod);
}

int VelExpBuf::ExChange(int a, int b)
{
    std::swap(ds_index[static_cast<size_t>(a)], ds_index[static_cast<size_t>(b)]);
    return 0;
}

int VelExpBuf::FindCompare(int i)
{
    return SearchedPlu.compare(ds_plu[static_cast<size_t>(ds_index[static_cast<size_t>(i)])].kod);
}
