// The goods index by barcode: built and sorted once per run, then searched.
// Barcodes compare byte by byte: the order only serves equality searches, so
// it must be the same whatever locale the host runs in.
#include <algorithm>

#include "VelExpBuf.h"

VelExpBuf::IndexEntry VelExpBuf::IndexKey(std::string_view kod, int32_t row)
{
    IndexEntry entry{{0, 0}, static_cast<uint32_t>(std::min<size_t>(kod.size(), UINT32_MAX)), row};
    const size_t head = std::min<size_t>(kod.size(), 16);
    for (size_t i = 0; i < head; ++i)
        entry.head[i / 8] |= uint64_t{static_cast<unsigned char>(kod[i])} << (56 - 8 * (i % 8));
    return entry;
}

int VelExpBuf::CompareEntries(const IndexEntry& a, const IndexEntry& b) const
{
    for (int i = 0; i < 2; ++i)
        if (a.head[i] != b.head[i]) return a.head[i] < b.head[i] ? -1 : 1;
    if (a.size <= 16 || b.size <= 16) return a.size < b.size ? -1 : a.size > b.size ? 1 : 0;
    // The search's own entry has no row: its barcode is the one searched.
    auto kod = [this](const IndexEntry& entry) {
        return entry.row < 0 ? std::string_view(SearchedPlu) : ds_plu[static_cast<size_t>(entry.row)].Kod();
    };
    return kod(a).compare(kod(b));
}

void VelExpBuf::CreateIndex()
{
    ds_index.resize(ds_plu.size());
    for (size_t i = 0; i < ds_index.size(); ++i) ds_index[i] = IndexKey(ds_plu[i].Kod(), static_cast<int32_t>(i));
    Sorted = false;
}

int VelExpBuf::FindRec(const AnsiString& kod, int n) { return FindRow(kod, n); }

int VelExpBuf::FindRow(std::string_view kod, int n)
{
    const int at = FindEntry(kod, n);
    return at < 0 ? -1 : ds_index[static_cast<size_t>(at)].row;
}

void VelExpBuf::FindRows(std::string_view kod, int n, std::vector<int>& rows)
{
    const int at = FindEntry(kod, n);
    if (at < 0) return;
    // Equal barcodes lie next to each other in the index.
    const auto same = [this](int entry) { return CompareEntries(FSearched, ds_index[static_cast<size_t>(entry)]) == 0; };
    int first = at, last = at;
    while (first > 0 && same(first - 1)) --first;
    while (last + 1 < std::min(n, static_cast<int>(ds_index.size())) && same(last + 1)) ++last;
    const size_t from = rows.size();
    for (int entry = first; entry <= last; ++entry) rows.push_back(ds_index[static_cast<size_t>(entry)].row);
    std::sort(rows.begin() + static_cast<std::ptrdiff_t>(from), rows.end());
}

int VelExpBuf::FindEntry(std::string_view kod, int n)
{
    if (n <= 0) return -1;
    SearchedPlu.assign(kod);
    FSearched = IndexKey(kod, -1);
    if (!Sorted) {
        // Only the rows the caller searches among are indexed, so that a
        // later, larger n can never reach entries left out of the order.
        CreateIndex();
        ds_index.resize(std::min(ds_index.size(), static_cast<size_t>(n)));
        Sort(0, static_cast<int>(ds_index.size()) - 1);
        Sorted = true;
    }
    const int range = std::min(n, static_cast<int>(ds_index.size()));
    return Find(0, range - 1);
}

int VelExpBuf::SortCompare(int a, int b)
{
    return CompareEntries(ds_index[static_cast<size_t>(a)], ds_index[static_cast<size_t>(b)]);
}

int VelExpBuf::ExChange(int a, int b)
{
    std::swap(ds_index[static_cast<size_t>(a)], ds_index[static_cast<size_t>(b)]);
    return 0;
}

int VelExpBuf::FindCompare(int i) { return CompareEntries(FSearched, ds_index[static_cast<size_t>(i)]); }
