#include "xtools.h"

#include <iconv.h>

#include <cstdio>

namespace {

bool Contains(const AnsiString& chars, char c) { return chars.find(c) != AnsiString::npos; }

// The terminal speaks UTF-8, the driver's texts are code page 1250.
std::string ToUtf8(const AnsiString& text)
{
    iconv_t cd = iconv_open("UTF-8", "CP1250");
    if (cd == reinterpret_cast<iconv_t>(-1)) return text;
    std::string out(text.size() * 3 + 1, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* o = out.data();
    size_t outLeft = out.size();
    const bool ok = iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    if (!ok) return text;
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

AnsiString TxTools::SelectWordEx(int n, bool& found, const AnsiString& separators) const
{
    found = false;
    if (n < 0) return AnsiString();
    size_t start = 0;
    for (int word = 0; word < n; ++word) {
        while (start < FValue.size() && !Contains(separators, FValue[start])) ++start;
        if (start >= FValue.size()) return AnsiString();
        ++start;
    }
    size_t end = start;
    while (end < FValue.size() && !Contains(separators, FValue[end])) ++end;
    found = true;
    return FValue.substr(start, end - start);
}

AnsiString TxTools::SelectWord(int n, const AnsiString& separators) const
{
    bool found = false;
    return SelectWordEx(n, found, separators);
}

TxTools& TxTools::DelChars(char c) { return DelAnyChar(AnsiString(1, c)); }

TxTools& TxTools::DelAnyChar(const AnsiString& chars) { return Chars2Str(chars, AnsiString()); }

TxTools& TxTools::DelAnyOtherChar(const AnsiString& chars)
{
    AnsiString r;
    for (char c : FValue)
        if (Contains(chars, c)) r += c;
    FValue = r;
    return *this;
}

TxTools& TxTools::Chars2Char(const AnsiString& chars, char c) { return Chars2Str(chars, AnsiString(1, c)); }

TxTools& TxTools::Chars2Str(const AnsiString& chars, const AnsiString& s)
{
    AnsiString r;
    for (char c : FValue) {
        if (Contains(chars, c))
            r += s;
        else
            r += c;
    }
    FValue = r;
    return *this;
}

bool TxTools::ContainsAnyChar(const AnsiString& chars) const
{
    return FValue.find_first_of(chars) != AnsiString::npos;
}

AnsiString TxTools::FileName() const
{
    const size_t slash = FValue.find_last_of("/\\");
    return slash == AnsiString::npos ? FValue : FValue.substr(slash + 1);
}

AnsiString TxTools::FileExtension() const
{
    const AnsiString name = FileName();
    const size_t dot = name.rfind('.');
    return dot == AnsiString::npos ? AnsiString() : name.substr(dot + 1);
}

int TxTools::MsgBox(const AnsiString& text, const AnsiString& title, int flags)
{
    std::fprintf(stderr, "[%s] %s\n", ToUtf8(title).c_str(), ToUtf8(text).c_str());
    // The answers of each button set, in button order.
    static const int answers[6][3] = {{1, 1, 1}, {1, 2, 2}, {3, 4, 5}, {6, 7, 2}, {6, 7, 7}, {4, 2, 2}};
    const int set = flags & 0x0F;
    const int button = (flags & 0x300) >> 8;
    if (set > 5 || button > 2) return answers[set > 5 ? 0 : set][0];
    return answers[set][button];
}
