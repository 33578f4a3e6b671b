// One line of a separator-delimited data file split into words, and joined
// again (optionally in fixed-width fields).
#pragma once

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
    int Init(const AnsiString& line);
    int GetCount() const { return FCount; }
    // Word i (from 0). Past the end: empty and Feof set; a negative index:
    // empty, Feof unchanged. The word stays valid until the next Init or Put.
    const AnsiString& operator[](int i);
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
    // Words 0 to FCount - 1; the slots past them keep their room for the
    // next line, so that splitting line after line allocates next to nothing.
    std::vector<AnsiString> FWords;
    int FCount = 0;
    // One entry per word with a width: the word index, "=", the width.
    TStringList FSizes;

    void AddWord(const char* word, size_t size);

    int SizeEntry(int i) const;
};
