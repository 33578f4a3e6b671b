#include "ConstFieldLenFile.h"

#include <algorithm>
#include <locale>
#include <sstream>

#include "xtools.h"

ConstFieldLenFile::ConstFieldLenFile() : FSkipShortLines(true) {}

ConstFieldLenFile::ConstFieldLenFile(const AnsiString& name)
    : std::ifstream(name, std::ios::binary), FSkipShortLines(false), FName(name)
{
}

void ConstFieldLenFile::AddField(int start, int width)
{
    if (FFields.size() >= MaxFields)
        throw Exception(Format("ConstFieldLenFile: najwyżej %d pól w linii, pole od kolumny %d odrzucone", MaxFields,
                               start));
    int total = 0;
    if (__builtin_add_overflow(FTotalWidth, width, &total))
        throw Exception(Format("ConstFieldLenFile: pole od kolumny %d odrzucone, łączna szerokość pól przekracza "
                               "zakres liczby",
                               start));
    FFields.push_back({start, width});
    FTotalWidth = total;
    if (FTotalWidth > LineSize)
        TxTools::MsgBox("Rozmiar linii zgłaszany klasie ConstFieldLenFile\r\nprzekracza rozmiar bufora!", "Uwaga!!!",
                        0);
}

bool ConstFieldLenFile::getln()
{
    FValidFields = -1;
    std::string line;
    while (std::getline(*this, line)) {
        ++FLineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // A longer line is cut to the buffer and the file goes on with the next.
        if (line.size() > LineSize) line.resize(LineSize);
        if (FSkipShortLines && static_cast<int>(line.size()) < FTotalWidth) continue;
        FLine = line;
        return true;
    }
    FLine.clear();
    return false;
}

int ConstFieldLenFile::GetNumberOfValidFields()
{
    if (FValidFields >= 0) return FValidFields;
    const int length = static_cast<int>(FLine.size());
    FValidFields = static_cast<int>(FFields.size());
    if (length < FTotalWidth)
        for (size_t i = 0; i < FFields.size(); ++i)
            if (FFields[i].start < 0 || FFields[i].start >= length) {
                FValidFields = static_cast<int>(i);
                break;
            }
    return FValidFields;
}

AnsiString ConstFieldLenFile::NextField()
{
    if (FFields.empty()) return AnsiString();
    if (FNext == 0) getln();
    const pole& field = FFields[FNext];
    if (field.start < 0 || field.start >= static_cast<int>(FLine.size())) {
        FNext = 0;
        return AnsiString();
    }
    const AnsiString text =
        FLine.substr(static_cast<size_t>(field.start), static_cast<size_t>(std::max(field.width, 0)));
    if (++FNext >= static_cast<size_t>(GetNumberOfValidFields())) FNext = 0;
    return text;
}

template <typename T>
ConstFieldLenFile& ConstFieldLenFile::ReadNumber(T& value)
{
    std::istringstream in(NextField());
    in.imbue(std::locale::classic());
    if (!(in >> value)) value = T();
    return *this;
}

ConstFieldLenFile& ConstFieldLenFile::operator>>(int& value) { return ReadNumber(value); }
ConstFieldLenFile& ConstFieldLenFile::operator>>(long double& value) { return ReadNumber(value); }
ConstFieldLenFile& ConstFieldLenFile::operator>>(char& value) { return ReadNumber(value); }
ConstFieldLenFile& ConstFieldLenFile::operator>>(bool& value) { return ReadNumber(value); }

ConstFieldLenFile& ConstFieldLenFile::operator>>(TxfTools& value)
{
    value = TxfTools();
    const size_t field = FNext;
    const AnsiString text = NextField();
    if (Trim(text).empty()) return *this;
    try {
        value.FromString(text, FFields[field].width);
    } catch (const Exception&) {
        throw Exception(Format("Plik %s, linia %d, pole %d: \"%s\" nie jest liczbą", FName.c_str(), FLineNumber,
                               static_cast<int>(field) + 1, text.c_str()));
    }
    return *this;
}

ConstFieldLenFile& ConstFieldLenFile::operator>>(AnsiString& value)
{
    value = NextField();
    return *this;
}
