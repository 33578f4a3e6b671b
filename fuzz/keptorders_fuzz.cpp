// Feeds arbitrary bytes as the kept-orders file "zamowienia.tmp": what is
// read from it, written back and read again, is the same documents.
#include "fuzz_action.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Action& action = fuzz::TheAction();
    fuzz::WriteInput(fuzz::Folder() + "zamowienia.tmp", data, size);
    try {
        const std::vector<fuzz::Action::KeptOrder> documents = action.ReadKeptOrders();
        action.WriteKeptOrders(documents);
        const std::vector<fuzz::Action::KeptOrder> again = action.ReadKeptOrders();
        fuzz::Check(again.size() == documents.size());
        for (size_t i = 0; i < again.size(); ++i) {
            fuzz::Check(again[i].name == documents[i].name);
            fuzz::Check(again[i].readings == documents[i].readings);
            fuzz::Check(again[i].waiting == documents[i].waiting && again[i].written == documents[i].written &&
                        again[i].publishing == documents[i].publishing);
            fuzz::Check(std::vector<AnsiString>(again[i].lines.begin(), again[i].lines.end()) ==
                        std::vector<AnsiString>(documents[i].lines.begin(), documents[i].lines.end()));
        }
    } catch (const Exception&) {
    }
    return 0;
}
