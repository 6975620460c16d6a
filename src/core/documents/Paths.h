#pragma once

#include <string>
#include <string_view>

namespace tessaro {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// folder + separator + name; folders are kept without a trailing separator.
inline std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    path += kPathSeparator;
    path += name;
    return path;
}

}  // namespace tessaro
