#pragma once

#include <string>
#include <string_view>

namespace tessaro {

// The settings file may map each list name ("COM1" to "COM10") to any serial device, one key per name in this
// section ("COM1=/dev/ttyUSB0"). The tool only reads it.
inline constexpr std::string_view kPortsSection = "ports";

#ifdef _WIN32
inline constexpr std::string_view kExampleAdapter = "COM7";
#else
inline constexpr std::string_view kExampleAdapter = "/dev/ttyUSB0";
#endif

// The platform's device for a list name: Windows uses the name itself; elsewhere "COM1" to "COM10" are /dev/ttyS0
// to /dev/ttyS9, and any other name is taken as it is.
std::string defaultSerialDevice(std::string_view listName);

// The device a list name stands for: its key in the ports section of the settings file at settingsPath when it has
// a value there, the default otherwise (also when the file cannot be read).
std::string mappedSerialDevice(const std::string& settingsPath, std::string_view listName);

}  // namespace tessaro
