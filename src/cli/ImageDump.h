#pragma once

#include <string>
#include <string_view>

#include "update/ImageDecoder.h"

namespace tessaro::cli {

// For a person: every entry with its meaning.
std::string dumpText(const DecodedImage& image, std::string_view name);
// The same as one JSON document.
std::string dumpJson(const DecodedImage& image);

}  // namespace tessaro::cli
