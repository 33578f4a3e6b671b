// The harness's host answering a library object in this process: unit tests drive an action through real callbacks.
#pragma once

#include <memory>

#include "cbaction.h"
#include "hostlib.h"
#include "testutil.h"

class InProcessHost {
public:
    InProcessHost() = default;
    // Registers the callbacks; call after setting up `host`.
    void Start()
    {
        library = std::make_unique<TVelComboLibrary>(&host);
        host.RegisterCallbacks(
            [](void* lib, void* fn, int id) { static_cast<TVelLibrary*>(lib)->RejestrujCallback(fn, id); },
            library.get());
    }
    // An action of this library called by this host; Action: the action
    // class itself or a test's subclass of it.
    template <typename Action = TVelComboAction>
    std::unique_ptr<Action> NewAction()
    {
        return std::make_unique<Action>(library.get(), host.Call());
    }

    VelHost host;
    std::unique_ptr<TVelComboLibrary> library;
};
