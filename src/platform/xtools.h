// The package's text tool: one text and the word and character operations
// the driver uses on it.
#pragma once

#include "sysutils.h"

class TxTools {
public:
    TxTools() = default;
    TxTools(const AnsiString& text) : FValue(text) {}

    const AnsiString& Value() const { return FValue; }
    void SetValue(const AnsiString& text) { FValue = text; }

    // Word n, counted from 0. Every byte found in `separators` ends a word,
    // so empty words count ("a;;b" has the words "a", "" and "b") and a text
    // without separators is word 0. A word past the last one is empty.
    AnsiString SelectWord(int n, const AnsiString& separators) const;
    // The same; `found` tells whether word n exists.
    AnsiString SelectWordEx(int n, bool& found, const AnsiString& separators) const;

    // Removes every byte c.
    TxTools& DelChars(char c);
    // Removes every byte that occurs in `chars`.
    TxTools& DelAnyChar(const AnsiString& chars);
    // Removes every byte that does not occur in `chars`.
    TxTools& DelAnyOtherChar(const AnsiString& chars);
    // Replaces every byte that occurs in `chars` by c.
    TxTools& Chars2Char(const AnsiString& chars, char c);
    // Replaces every byte that occurs in `chars` by the text s.
    TxTools& Chars2Str(const AnsiString& chars, const AnsiString& s);
    bool ContainsAnyChar(const AnsiString& chars) const;

    // The text as a path: the part after the last "/" or "\".
    AnsiString FileName() const;
    // The part of FileName() after its last ".", without the dot; empty
    // when there is none.
    AnsiString FileExtension() const;

    // No window can be shown from inside the host: the text goes to the
    // standard error stream and the default button's answer comes back
    // (the message-box codes: 1 OK, 2 Cancel, 3 Abort, 4 Retry, 5 Ignore,
    // 6 Yes, 7 No; buttons by flags & 0x0F, default by flags & 0x300).
    static int MsgBox(const AnsiString& text, const AnsiString& title, int flags);

private:
    AnsiString FValue;
};
