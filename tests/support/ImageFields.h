#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace tessaro::testing {

// The name of the image field that holds the byte at offset, found through the image's own header words,
// such as "frame 1 PGN" or "general parameters TimeOut_Ser".
std::string imageFieldAt(std::string_view image, std::size_t offset);

// Byte for byte; on a difference, the first differing offset and the name of its field in the expected image.
::testing::AssertionResult sameImage(std::string_view expected, std::string_view actual);

// "10 00 00 00 ..." to bytes.
std::string bytesFromHex(std::string_view hex);

}  // namespace tessaro::testing
