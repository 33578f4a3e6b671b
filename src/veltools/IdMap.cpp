#include "IdMap.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {
struct Entry {
    int32_t id;
    int32_t number;
};

// Ascending by identifier; by number.
bool cmp2(const Entry& a, const Entry& b) { return a.id < b.id; }
bool cmp3(const Entry& a, const Entry& b) { return a.number < b.number; }

[[noreturn]] void BadLine(const AnsiString& line)
{
    throw Exception(Format("Nieprawidłowy wpis mapy numerów: \"%s\"", line.c_str()));
}

// The identifiers in ascending order, each once.
std::vector<int32_t> ReadIds(const AnsiString& ids)
{
    TStringList lines;
    lines.SetText(ids);
    std::vector<int32_t> r;
    for (const AnsiString& raw : lines) {
        const AnsiString line = Trim(raw);
        if (line.empty()) continue;
        int32_t id = 0;
        if (!TryStrToInt(line, id)) throw Exception(Format("Nieprawidłowy identyfikator: \"%s\"", line.c_str()));
        r.push_back(id);
    }
    std::sort(r.begin(), r.end());
    r.erase(std::unique(r.begin(), r.end()), r.end());
    return r;
}

std::vector<Entry> ReadMap(const TStringList& map)
{
    std::vector<Entry> r;
    for (const AnsiString& raw : map) {
        const AnsiString line = Trim(raw);
        if (line.empty()) continue;
        const size_t eq = line.find('=');
        Entry e{};
        if (eq == AnsiString::npos || !TryStrToInt(line.substr(0, eq), e.id) ||
            !TryStrToInt(line.substr(eq + 1), e.number) || e.number < 0)
            BadLine(line);
        r.push_back(e);
    }
    return r;
}
}  // namespace

void IdMap::Initialize(TStringList& map, const AnsiString& ids)
{
    const std::vector<int32_t> programIds = ReadIds(ids);
    std::vector<Entry> entries = ReadMap(map);

    // Highest number the map held, also of entries about to go: a number given
    // out before is not handed to a new identifier above the ones in use.
    int64_t max = -1;
    for (const Entry& e : entries) max = std::max<int64_t>(max, e.number);

    std::stable_sort(entries.begin(), entries.end(), cmp2);
    std::vector<Entry> kept;
    for (const Entry& e : entries) {
        const bool wanted = std::binary_search(programIds.begin(), programIds.end(), e.id);
        // A repeated identifier keeps its first line.
        const bool repeated = !kept.empty() && kept.back().id == e.id;
        if (wanted && !repeated) kept.push_back(e);
    }

    std::vector<int32_t> numbers;
    for (const Entry& e : kept) numbers.push_back(e.number);
    std::sort(numbers.begin(), numbers.end());
    std::vector<int32_t> free;
    int64_t prev = -1;
    for (int32_t v : numbers) {
        for (int64_t n = prev + 1; n < v; ++n) free.push_back(static_cast<int32_t>(n));
        prev = v;
    }

    size_t nextFree = 0;
    const auto keptEnd = kept.size();
    for (int32_t id : programIds) {
        const auto end = kept.begin() + static_cast<std::ptrdiff_t>(keptEnd);
        if (std::binary_search(kept.begin(), end, Entry{id, 0}, cmp2)) continue;
        if (nextFree < free.size()) {
            kept.push_back(Entry{id, free[nextFree++]});
        } else {
            if (max >= INT32_MAX) throw Exception(Format("Brak wolnego numeru dla identyfikatora %d", id));
            kept.push_back(Entry{id, static_cast<int32_t>(++max)});
        }
    }

    std::stable_sort(kept.begin(), kept.end(), cmp3);
    map.Clear();
    for (const Entry& e : kept) map.Add(IntToStr(e.id) + "=" + IntToStr(e.number));
}

void IdMap::Initialize(AnsiString& mapText, const AnsiString& ids)
{
    DeviceMap.SetText(mapText);
    Initialize(DeviceMap, ids);
    mapText = DeviceMap.Text();
}
