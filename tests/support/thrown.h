// The text of the framework's exception that a piece of code throws, for tests that check what a failure says.
#pragma once

#include <string>

#include "sysutils.h"

namespace testutil {

// What Thrown gives for code that returns.
inline const std::string kNothingThrown = "(nothing thrown)";

template <typename Fn>
std::string Thrown(Fn fn)
{
    try {
        fn();
    } catch (const Exception& e) {
        return e.Message();
    }
    return kNothingThrown;
}

}  // namespace testutil
