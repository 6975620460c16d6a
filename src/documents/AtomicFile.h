#pragma once

#include <string>
#include <string_view>

namespace tessaro {

// Replaces the file at path with bytes: written to a temporary file in the same folder, flushed, then renamed over
// the old one, so an interrupted or failed write leaves the previous file whole.
// Throws tessaro::Error "Cannot create file "PATH". REASON" on failure.
void replaceFile(const std::string& path, std::string_view bytes);

// Reads a whole file; throws tessaro::Error "Cannot open file "PATH". REASON" on failure.
std::string readFile(const std::string& path);

bool fileExists(const std::string& path);
bool folderExists(const std::string& path);

}  // namespace tessaro
