#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessaro {

// The one rule for text that should be UTF-8: the well-formed sequences of the Unicode standard (no overlong forms,
// no surrogates, nothing above U+10FFFF). A NUL byte is well-formed.

// Where the first byte that is not part of a well-formed sequence stands; npos when the text is UTF-8 whole.
std::size_t invalidUtf8At(std::string_view text);
inline bool isValidUtf8(std::string_view text) {
    return invalidUtf8At(text) == std::string_view::npos;
}

// The text read as the Windows code page 1252, in UTF-8; its five unassigned bytes become U+FFFD.
std::string windows1252ToUtf8(std::string_view text);

// The text with its well-formed sequences kept and every other byte read as in windows1252ToUtf8: what a writer of
// UTF-8 (JSON, say) makes of names and paths whose bytes it cannot vouch for.
std::string repairedUtf8(std::string_view text);

}  // namespace tessaro
