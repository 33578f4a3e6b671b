// Feeds arbitrary bytes as the host's export file "kasa.exp" to the export
// buffer's reader: a bad line ends the reading with the framework's
// exception, and the rows read stay readable.
#include "VelExpBuf.h"
#include "VelExpRec.h"
#include "fuzz_action.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = fuzz::Folder() + "kasa.exp";
    fuzz::WriteInput(path, data, size);
    VelExpBuf buffer(nullptr);
    try {
        buffer.ReadFromFile(path, true, -1);
    } catch (const Exception&) {
    }
    // The archive copy of every input would only grow.
    std::remove((fuzz::Folder() + "ARCH2.EXP").c_str());
    VelTowRec rec;
    for (int row = 0; row < buffer.il_rec; ++row) buffer.CzytajRec(row, &rec);
    return 0;
}
