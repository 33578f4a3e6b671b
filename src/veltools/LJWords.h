// One line of a separator-delimited data file split into words, and joined
// again (optionally in fixed-width fields).
#pragma once

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
    int Init(const AnsiString& line);
    int GetCount() const { return FWords.Count(); }
    // Word i (from 0). Past the end: empty and Feof set; a negative index:
    // empty, Feof unchanged.
    AnsiString operator[](int i);
    // Like operator[], and also sets Feof when i is the last word.
    AnsiString Get(int i);
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
    TStringList FWords;
    // One entry per word with a width: the word index, "=", the width.
    TStringList FSizes;

    int SizeEntry(int i) const;
};
