#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "core/j1939/Pgn.h"

namespace tessaro::desk {

// A classic CAN frame as the gateway sends it: a 29-bit identifier and eight data bytes.
struct CanFrame {
    std::uint32_t identifier = 0;  // 29 bits when extended, else 11
    bool extended = true;
    std::uint8_t length = 8;
    std::array<std::uint8_t, 8> data{};

    bool operator==(const CanFrame&) const = default;
};

// The parameter group a request to address (or to all) asks for; nothing for any other frame.
inline std::optional<std::uint32_t> requestedPgn(const CanFrame& frame, std::uint8_t address) {
    if (!frame.extended) return std::nullopt;
    return requestedPgnNumber(frame.identifier, frame.data.data(), frame.length, address);
}

// A data byte that no answer has fed: J1939's "not available".
inline constexpr std::uint8_t kNotAvailable = 0xFF;

}  // namespace tessaro::desk
