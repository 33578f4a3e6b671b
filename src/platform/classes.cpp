#include "classes.h"

int TStringList::IndexOf(const AnsiString& s) const
{
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i] == s) return static_cast<int>(i);
    return -1;
}

AnsiString TStringList::Text() const
{
    AnsiString r;
    for (const auto& s : FItems) {
        r += s;
        r += "\r\n";
    }
    return r;
}

void TStringList::SetText(const AnsiString& text)
{
    FItems.clear();
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        size_t j = i;
        while (j < n && text[j] != '\r' && text[j] != '\n') ++j;
        FItems.push_back(text.substr(i, j - i));
        if (j < n && text[j] == '\r') {
            ++j;
            if (j < n && text[j] == '\n') ++j;
        } else if (j < n) {
            ++j;
        }
        i = j;
    }
}
