#include "LJWords.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace {
constexpr uint64_t EveryByte = 0x0101010101010101ULL;
constexpr uint64_t Low7Bits = 0x7F7F7F7F7F7F7F7FULL;

// The top bit of every byte of the eight at `data` that equals c; the first
// byte is the lowest.
uint64_t BytesEqual(const char* data, char c)
{
    uint64_t v = 0;
    std::memcpy(&v, data, sizeof v);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    const uint64_t x = v ^ (EveryByte * static_cast<uint8_t>(c));
    return ~(((x & Low7Bits) + Low7Bits) | x | Low7Bits);
}
}  // namespace

int TLJWords::Init(std::string_view line)
{
    FLine.assign(line);
    FOwnLine = true;
    return Split();
}

int TLJWords::InitView(std::string_view line)
{
    FView = line;
    FOwnLine = false;
    return Split();
}

int TLJWords::Split()
{
    Feof = false;
    FSpans.clear();
    FSizes.Clear();
    const std::string_view line = Text();
    const size_t n = line.size();
    if (FSeparator.empty()) {
        // Nothing to split at: the whole line is one word.
        if (n > 0) FSpans.push_back(Span{0, n, false});
    } else {
        // A line holds a separator every few bytes: they are looked for eight
        // bytes at a time, as a byte-by-byte test would guess wrong at most.
        const size_t k = FSeparator.size();
        size_t from = 0;
        auto separatorAt = [&](size_t at) {
            if (at < from || (k > 1 && line.compare(at, k, FSeparator) != 0)) return;
            FSpans.push_back(Span{from, at - from, false});
            from = at + k;
        };
        size_t at = 0;
        for (; at + 8 <= n; at += 8)
            for (uint64_t m = BytesEqual(line.data() + at, FSeparator[0]); m != 0; m &= m - 1)
                separatorAt(at + static_cast<size_t>(std::countr_zero(m)) / 8);
        for (; at < n; ++at)
            if (line[at] == FSeparator[0]) separatorAt(at);
        if (from < n) FSpans.push_back(Span{from, n - from, false});
    }
    // Every word has its slot before any is asked for, so that a word handed
    // out is never moved by a later one.
    if (FWords.size() < FSpans.size()) FWords.resize(FSpans.size());
    return GetCount();
}

const AnsiString& TLJWords::operator[](int i)
{
    static const AnsiString none;
    if (!Exists(i)) return none;
    const auto k = static_cast<size_t>(i);
    if (!FSpans[k].made) {
        FWords[k].assign(Text().substr(FSpans[k].from, FSpans[k].size));
        FSpans[k].made = true;
    }
    return FWords[k];
}

const AnsiString& TLJWords::Get(int i)
{
    if (i >= 0 && i == GetCount() - 1) Feof = true;
    return (*this)[i];
}

void TLJWords::Put(int i, const AnsiString& word)
{
    if (i < 0 || i >= GetCount()) return;
    const auto k = static_cast<size_t>(i);
    FWords[k] = word;
    FSpans[k].made = true;
}

int TLJWords::SizeEntry(int i) const
{
    const AnsiString prefix = IntToStr(i) + "=";
    for (int k = 0; k < FSizes.Count(); ++k)
        if (FSizes[k].compare(0, prefix.size(), prefix) == 0) return k;
    return -1;
}

int TLJWords::GetSize(int i) const
{
    const int k = SizeEntry(i);
    if (k < 0) return -1;
    return StrToIntDef(FSizes[k].substr(IntToStr(i).size() + 1), -1);
}

void TLJWords::SetSize(int i, int width)
{
    const AnsiString entry = IntToStr(i) + "=" + IntToStr(width);
    const int k = SizeEntry(i);
    if (k < 0)
        FSizes.Add(entry);
    else
        FSizes[k] = entry;
}

AnsiString TLJWords::operator=(const AnsiString& line)
{
    Init(line);
    return line;
}

TLJWords::operator AnsiString() const
{
    AnsiString r;
    for (int i = 0; i < GetCount(); ++i) {
        if (i > 0) r += FSeparator;
        const std::string_view word = Word(static_cast<size_t>(i));
        const int width = GetSize(i);
        if (width < 0) {
            r += word;
        } else if (static_cast<size_t>(width) >= word.size()) {
            r.append(static_cast<size_t>(width) - word.size(), ' ');
            r += word;
        } else {
            r += word.substr(0, static_cast<size_t>(width));
        }
    }
    return r;
}
