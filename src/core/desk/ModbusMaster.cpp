#include "core/desk/ModbusMaster.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace tessaro::desk {

std::string exceptionText(std::uint8_t code) {
    static constexpr std::array<std::string_view, 12> kNames = {"",
                                                                "illegal function",
                                                                "illegal data address",
                                                                "illegal data value",
                                                                "slave device failure",
                                                                "acknowledge",
                                                                "slave device busy",
                                                                "negative acknowledge",
                                                                "memory parity error",
                                                                "",
                                                                "gateway path unavailable",
                                                                "gateway target device failed to respond"};
    char number[4];
    std::snprintf(number, sizeof number, "%02X", unsigned(code));
    if (code < kNames.size() && !kNames[code].empty())
        return std::string(number) + " (" + std::string(kNames[code]) + ")";
    return number;
}

}  // namespace tessaro::desk
