// The framework's string list: an ordered list of 8-bit lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sysutils.h"

class TStringList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    bool Empty() const { return FItems.empty(); }
    const AnsiString& operator[](int i) const { return FItems.at(static_cast<size_t>(i)); }
    AnsiString& operator[](int i) { return FItems.at(static_cast<size_t>(i)); }
    int Add(const AnsiString& s)
    {
        FItems.push_back(s);
        return Count() - 1;
    }
    void Insert(int i, const AnsiString& s) { FItems.insert(FItems.begin() + i, s); }
    void Delete(int i) { FItems.erase(FItems.begin() + i); }
    void Clear() { FItems.clear(); }
    int IndexOf(const AnsiString& s) const;

    // Every line followed by CR LF.
    AnsiString Text() const;
    // Splits a whole text into lines at CR LF, LF or CR (LineEnd); a final line end adds no empty line.
    void SetText(const AnsiString& text);

    std::vector<AnsiString>::const_iterator begin() const { return FItems.begin(); }
    std::vector<AnsiString>::const_iterator end() const { return FItems.end(); }

private:
    std::vector<AnsiString> FItems;
};

// The line of `text` that starts at `from` (before the text's end): where it
// ends, before its line break (CR LF, LF or CR), and in `next` where the
// following line starts.
size_t LineEnd(std::string_view text, size_t from, size_t& next);
