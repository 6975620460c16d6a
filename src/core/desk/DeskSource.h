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

struct TcpAddress {
    std::string host;
    std::string port;
};

// "HOST", "HOST:PORT", "[IPv6]" or "[IPv6]:PORT"; throws tessaro::Error for any other text.
TcpAddress parseTcpAddress(std::string_view text);

}  // namespace tessaro::desk
