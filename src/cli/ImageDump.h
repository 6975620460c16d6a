#pragma once

#include <string>
#include <string_view>

#include "core/image/ImageDecoder.h"

namespace tessaro::cli {

// The configuration image in the file, decoded. Throws tessaro::Error for a file that cannot be read, for a folder
// ("'X' is a folder, not a configuration image") and for bytes whose layout is no image ("'X' is not a configuration
// image: " and the decoder's reason).
DecodedImage readImageFile(const std::string& file);

// For a person: every entry with its meaning.
std::string dumpText(const DecodedImage& image, std::string_view name);
// The same as one JSON document.
std::string dumpJson(const DecodedImage& image);

}  // namespace tessaro::cli
