// What the targets of the driver's file readers share: a folder of their own
// for the file under test, and a Combo/NEO action of a library with no host
// callbacks (each then answers its fixed value), its exchange folder that
// folder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "cbaction.h"

namespace fuzz {

inline void Check(bool ok)
{
    if (!ok) abort();
}

inline const std::string& Folder()
{
    static const std::string folder = [] {
        char name[] = "/tmp/velcombo-fuzz.XXXXXX";
        if (!mkdtemp(name)) abort();
        static std::string made = name;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(made, ignored);
        });
        return made + "/";
    }();
    return folder;
}

inline void WriteInput(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) abort();
    std::fclose(file);
}

// The action with the members the targets reach.
class Action : public TVelComboAction {
public:
    explicit Action(TVelComboLibrary* library) : TVelComboAction(library, nullptr) { FKatalogWymiany = Folder(); }
    using TVelComboAction::DeleteImpBufs;
    using TVelComboAction::ediLines;
    using TVelComboAction::impPath;
    using TVelComboAction::KeptOrder;
    using TVelComboAction::ReadKeptOrders;
    using TVelComboAction::WriteKeptOrders;
};

inline Action& TheAction()
{
    static TVelComboLibrary library(nullptr);
    static Action action(&library);
    return action;
}

}  // namespace fuzz
