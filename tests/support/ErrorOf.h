#pragma once

#include <functional>
#include <string>

#include "core/documents/Errors.h"

namespace tessaro::testing {

// The message of the tessaro::Error that action throws, or "no error".
inline std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& failure) {
        return failure.what();
    }
    return "no error";
}

}  // namespace tessaro::testing
