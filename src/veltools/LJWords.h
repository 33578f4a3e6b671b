// One line of a separator-delimited data file split into words, and joined
// again (optionally in fixed-width fields).
#pragma once

#include <string_view>
#include <vector>

#include "classes.h"
#include "sysutils.h"

class TLJWords {
public:
    // Every user sets it (to ";") right after creating the object.
    AnsiString FSeparator;
    // Set when a reader asks for a word past the end.
    bool Feof = false;

    // Splits line into words; returns their number. An empty word between two
    // separators counts, a separator at the very end adds no word.
    int Init(std::string_view line);
    // Init without a copy of the line: the words are read from the caller's
    // text, which must stay as it is while they are used.
    int InitView(std::string_view line);
    int GetCount() const { return static_cast<int>(FSpans.size()); }
    // Word i (from 0). Past the end: empty and Feof set; a negative index:
    // empty, Feof unchanged. The word stays valid until the next Init or Put.
    const AnsiString& operator[](int i);
    // Word i as operator[] gives it, without making a string of it; valid
    // until the next Init or Put.
    std::string_view View(int i) { return Exists(i) ? Word(static_cast<size_t>(i)) : std::string_view(); }
    // Like operator[], and also sets Feof when i is the last word.
    const AnsiString& Get(int i);
    // Replaces word i when it exists.
    void Put(int i, const AnsiString& word);
    // Field width of word i for the joined text; -1 when it has none.
    int GetSize(int i) const;
    void SetSize(int i, int width);

    // Init(line), then line.
    AnsiString operator=(const AnsiString& line);
    // The words joined by the separator, each fitted to its width if it has one.
    operator AnsiString() const;

private:
    // The line as last split, and where each of its words lies in it; the
    // room of both is kept for the next line, so that splitting line after
    // line allocates next to nothing.
    AnsiString FLine;
    // The line the words lie in: FLine, or the caller's (InitView).
    bool FOwnLine = true;
    std::string_view FView;
    std::string_view Text() const { return FOwnLine ? std::string_view(FLine) : FView; }
    struct Span {
        size_t from, size;
        // The word's slot holds it (asked for as a string, or put).
        bool made;
    };
    std::vector<Span> FSpans;
    // Words as strings, made only when asked for; slots past the words keep
    // their room too.
    std::vector<AnsiString> FWords;
    // One entry per word with a width: the word index, "=", the width.
    TStringList FSizes;

    // Whether word i exists; past the end sets Feof.
    bool Exists(int i)
    {
        if (i >= GetCount()) Feof = true;
        return i >= 0 && i < GetCount();
    }
    // Word k, which exists.
    std::string_view Word(size_t k) const
    {
        const Span& span = FSpans[k];
        return span.made ? std::string_view(FWords[k]) : Text().substr(span.from, span.size);
    }

    int SizeEntry(int i) const;
    // Splits Text().
    int Split();
};
