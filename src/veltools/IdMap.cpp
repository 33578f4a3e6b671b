#include "IdMap.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

namespace {
struct Entry {
    int32_t id;
    int32_t number;
};

// Ascending by number.
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
    const std::vector<Entry> entries = ReadMap(map);

    // Highest number the map held, also of entries about to go: a number given
    // out before is not handed to a new identifier above the ones in use.
    int64_t max = -1;
    for (const Entry& e : entries) max = std::max<int64_t>(max, e.number);

    // In the stored order: a repeated identifier keeps its first line, and a
    // number held twice stays with the first identifier, so two groups never
    // share one group of the device; the later identifier counts as new.
    std::vector<Entry> kept;
    std::unordered_set<int32_t> keptIds, usedNumbers;
    for (const Entry& e : entries) {
        if (!std::binary_search(programIds.begin(), programIds.end(), e.id) || keptIds.count(e.id) ||
            usedNumbers.count(e.number))
            continue;
        kept.push_back(e);
        keptIds.insert(e.id);
        usedNumbers.insert(e.number);
    }

    // Free numbers are found one at a time between the used ones, never
    // listed: a stored number near the top of the range costs nothing.
    std::vector<int32_t> used(usedNumbers.begin(), usedNumbers.end());
    std::sort(used.begin(), used.end());
    size_t nextUsed = 0;
    int64_t candidate = 0;
    auto nextFree = [&](int32_t id) -> int32_t {
        while (nextUsed < used.size() && used[nextUsed] == candidate) {
            ++candidate;
            ++nextUsed;
        }
        if (nextUsed < used.size()) return static_cast<int32_t>(candidate++);
        if (max >= INT32_MAX) throw Exception(Format("Brak wolnego numeru dla identyfikatora %d", id));
        return static_cast<int32_t>(++max);
    };
    for (int32_t id : programIds)
        if (!keptIds.count(id)) kept.push_back(Entry{id, nextFree(id)});

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
