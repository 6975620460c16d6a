#include "core/desk/DeskSource.h"

#include <algorithm>

#include "core/documents/Errors.h"

namespace tessaro::desk {

namespace {

bool validPort(std::string_view port) {
    if (port.empty() || port.size() > 5 ||
        !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const int number = std::stoi(std::string(port));
    return number >= 1 && number <= 65535;
}

}  // namespace

TcpAddress parseTcpAddress(std::string_view text) {
    const auto refuse = [&](const std::string& why) -> TcpAddress {
        throw Error("'" + std::string(text) + "' is no TCP address (HOST or HOST:PORT): " + why);
    };
    TcpAddress address;
    std::string_view rest = text;
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) return refuse("the '[' is never closed");
        address.host = std::string(rest.substr(1, close - 1));
        rest.remove_prefix(close + 1);
        if (!rest.empty() && !rest.starts_with(':')) return refuse("text after ']'");
        if (!rest.empty()) address.port = std::string(rest.substr(1));
    } else {
        const std::size_t colon = rest.find(':');
        if (colon != std::string_view::npos && rest.find(':', colon + 1) != std::string_view::npos)
            return refuse("an IPv6 address goes in brackets, [::1]:502");
        address.host = std::string(rest.substr(0, colon));
        if (colon != std::string_view::npos)
            address.port = std::string(rest.substr(colon + 1));
        else
            address.port = std::string(kModbusTcpPort);
    }
    if (address.port.empty() && !text.ends_with(':')) address.port = std::string(kModbusTcpPort);
    if (address.host.empty()) return refuse("the host is missing");
    if (!validPort(address.port)) return refuse("the port is 1 to 65535");
    return address;
}

}  // namespace tessaro::desk
