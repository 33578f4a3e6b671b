// A text file whose lines hold fields at fixed columns, read field after
// field with stream-style extraction: `file >> code >> price >> name`.
#pragma once

#include <fstream>
#include <vector>

#include "sysutils.h"
#include "xftools.h"

// One field: its start column (from 0) and its width in characters.
struct pole {
    int start;
    int width;
};

class ConstFieldLenFile : public std::ifstream {
public:
    // The longest line kept; the rest of a longer line is passed over.
    static constexpr int LineSize = 1023;
    static constexpr int MaxFields = 100;

    // Without a file name (opened later with open()), lines shorter than the
    // fields together are skipped; with one, they are read.
    ConstFieldLenFile();
    explicit ConstFieldLenFile(const AnsiString& name);
    // Opens the file of a reader made without a name; the name goes into
    // the messages.
    void open(const AnsiString& name)
    {
        FName = name;
        std::ifstream::open(name, std::ios::binary);
    }

    // Appends a field. A 101st field, or one whose width takes the total
    // width out of the int range, throws Exception; fields wider together
    // than a line warns that they do not fit.
    void AddField(int start, int width);
    // Reads the next line; false at the end of the file.
    bool getln();
    // The next field of the current line (the first field reads a new line).
    // A field beyond the line's end gives 0 or an empty text, and the next
    // read starts a new line. A decimal that is no number throws Exception
    // naming the file, the line and the field.
    ConstFieldLenFile& operator>>(int& value);
    ConstFieldLenFile& operator>>(long double& value);
    ConstFieldLenFile& operator>>(char& value);
    ConstFieldLenFile& operator>>(bool& value);
    ConstFieldLenFile& operator>>(TxfTools& value);
    ConstFieldLenFile& operator>>(AnsiString& value);
    // The fields in order up to the first that starts beyond the current
    // line's end; all of them for a line as long as the fields together.
    int GetNumberOfValidFields();
    const AnsiString& Line() const { return FLine; }

private:
    AnsiString FLine;
    std::vector<pole> FFields;
    size_t FNext = 0;
    int FTotalWidth = 0;
    bool FSkipShortLines;
    int FValidFields = -1;
    int FLineNumber = 0;
    AnsiString FName;

    // The text of the next field; empty when it starts beyond the line.
    AnsiString NextField();
    template <typename T>
    ConstFieldLenFile& ReadNumber(T& value);
};
