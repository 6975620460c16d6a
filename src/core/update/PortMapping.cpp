#include "core/update/PortMapping.h"

#include <charconv>

#include "core/project/IniProfile.h"

namespace tessaro {

std::string defaultSerialDevice(std::string_view listName) {
#ifdef _WIN32
    return std::string(listName);
#else
    int number = 0;
    const std::string_view digits = listName.substr(std::min<std::size_t>(3, listName.size()));
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    const bool listEntry = listName.starts_with("COM") && !digits.empty() && digits.front() != '0' &&
                           error == std::errc() && end == digits.data() + digits.size() && number >= 1 && number <= 10;
    if (!listEntry) return std::string(listName);
    return "/dev/ttyS" + std::to_string(number - 1);
#endif
}

std::string mappedSerialDevice(const std::string& settingsPath, std::string_view listName) {
    const std::optional<std::string> mapped = readProfileString(settingsPath, kPortsSection, listName);
    if (mapped && !mapped->empty()) return *mapped;
    return defaultSerialDevice(listName);
}

}  // namespace tessaro
