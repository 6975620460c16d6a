#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace tessaro {

// A failure the caller cannot handle; what() is the exact text the user sees.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The text of the standard error box: a full stop is appended when the last character sorts after ".".
std::string standardErrorText(std::string_view text);

}  // namespace tessaro
