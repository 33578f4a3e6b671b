// Feeds arbitrary bytes as the intermediate sales file "combo.imp" to the
// parse pass, in receipt mode and in totals mode: every bad line ends the
// parse with the driver's exception naming it, and nothing else happens.
#include "fuzz_action.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Action& action = fuzz::TheAction();
    action.impPath = fuzz::Folder() + "combo.imp";
    fuzz::WriteInput(action.impPath, data, size);
    try {
        action.ReadFromFile();
    } catch (const Exception&) {
    }
    action.DeleteImpBufs();
    action.ediLines.Clear();
    return 0;
}
