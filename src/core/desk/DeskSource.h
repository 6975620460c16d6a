#pragma once

#include <string>
#include <string_view>

namespace tessaro::desk {

// Where a run's Modbus answers come from.
enum class SourceKind { values, rtu, tcp };

struct DeskSource {
    SourceKind kind = SourceKind::values;
    std::string text;  // the values file, the serial device or list name ("COM3"), or HOST[:PORT]
};

inline constexpr std::string_view kModbusTcpPort = "502";

// Start with the values file chosen as the source and no file named.
inline constexpr std::string_view kNoValuesFileMessage =
    "Choose a values file\nNo file is named for \"Values file\": type its path or press Browse...";

struct TcpAddress {
    std::string host;
    std::string port;
};

// "HOST", "HOST:PORT", "[IPv6]" or "[IPv6]:PORT"; throws tessaro::Error for any other text.
TcpAddress parseTcpAddress(std::string_view text);

}  // namespace tessaro::desk
