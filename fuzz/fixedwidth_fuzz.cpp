// Feeds arbitrary bytes to the fixed-width field reader: the first bytes
// choose the fields (start and width each), the rest is the file, read
// field after field in every type until its end.
#include "ConstFieldLenFile.h"
#include "fuzz_action.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const size_t fields = data[0] % 8 + 1;
    if (size < 1 + 2 * fields) return 0;
    const std::string path = fuzz::Folder() + "pola.txt";
    fuzz::WriteInput(path, data + 1 + 2 * fields, size - 1 - 2 * fields);
    ConstFieldLenFile file(path);
    try {
        for (size_t i = 0; i < fields; ++i) file.AddField(data[1 + 2 * i], data[2 + 2 * i]);
        for (int n = 0; file.good() && n < 10000; ++n) {
            AnsiString text;
            int whole = 0;
            long double real = 0;
            char byte = 0;
            bool flag = false;
            TxfTools decimal;
            switch (n % 6) {
                case 0: file >> text; break;
                case 1: file >> whole; break;
                case 2: file >> real; break;
                case 3: file >> byte; break;
                case 4: file >> flag; break;
                default: file >> decimal; break;
            }
            fuzz::Check(file.Line().size() <= ConstFieldLenFile::LineSize);
            fuzz::Check(file.GetNumberOfValidFields() <= static_cast<int>(fields));
        }
    } catch (const Exception&) {
    }
    return 0;
}
