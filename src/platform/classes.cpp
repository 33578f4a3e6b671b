#include "classes.h"

#include <algorithm>
#include <cstring>

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
    for (size_t from = 0, next = 0; from < text.size(); from = next)
        FItems.push_back(text.substr(from, LineEnd(text, from, next) - from));
}

size_t LineEnd(std::string_view text, size_t from, size_t& next)
{
    // Looked for a window at a time, so that a text of CR line breaks alone
    // is not searched to its end for an LF at every line.
    constexpr size_t Window = 256;
    const size_t n = text.size();
    const char* data = text.data();
    size_t end = n;
    for (size_t at = from; at < n; at += Window) {
        const size_t size = std::min(Window, n - at);
        const auto* lf = static_cast<const char*>(std::memchr(data + at, '\n', size));
        const auto* cr = static_cast<const char*>(std::memchr(data + at, '\r', lf ? lf - (data + at) : size));
        if (cr || lf) {
            end = static_cast<size_t>((cr ? cr : lf) - data);
            break;
        }
    }
    next = end;
    if (next < n && text[next++] == '\r' && next < n && text[next] == '\n') ++next;
    return end;
}
