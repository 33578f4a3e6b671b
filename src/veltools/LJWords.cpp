#include "LJWords.h"

void TLJWords::AddWord(const char* word, size_t size)
{
    if (static_cast<size_t>(FCount) < FWords.size())
        FWords[static_cast<size_t>(FCount)].assign(word, size);
    else
        FWords.emplace_back(word, size);
    ++FCount;
}

int TLJWords::Init(const AnsiString& line)
{
    Feof = false;
    FCount = 0;
    FSizes.Clear();
    if (FSeparator.empty()) {
        // Nothing to split at: the whole line is one word.
        if (!line.empty()) AddWord(line.data(), line.size());
        return GetCount();
    }
    size_t from = 0;
    while (from < line.size()) {
        const size_t at = FSeparator.size() == 1 ? line.find(FSeparator[0], from) : line.find(FSeparator, from);
        if (at == AnsiString::npos) {
            AddWord(line.data() + from, line.size() - from);
            break;
        }
        AddWord(line.data() + from, at - from);
        from = at + FSeparator.size();
    }
    return GetCount();
}

const AnsiString& TLJWords::operator[](int i)
{
    static const AnsiString none;
    if (i < 0) return none;
    if (i >= GetCount()) {
        Feof = true;
        return none;
    }
    return FWords[static_cast<size_t>(i)];
}

const AnsiString& TLJWords::Get(int i)
{
    if (i >= 0 && i == GetCount() - 1) Feof = true;
    return (*this)[i];
}

void TLJWords::Put(int i, const AnsiString& word)
{
    if (i >= 0 && i < GetCount()) FWords[static_cast<size_t>(i)] = word;
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
        const AnsiString& word = FWords[static_cast<size_t>(i)];
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
