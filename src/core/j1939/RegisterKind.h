#pragma once

#include <cstdint>

namespace tessaro {

// The two kinds of Modbus register the gateway polls, by the numbers of their read functions, which the definitions
// store as Type_Reg. Any other stored value is kept as it is and names no kind.
enum class RegisterKind : std::uint8_t { holding = 3, input = 4 };

constexpr std::uint8_t typeRegOf(RegisterKind kind) {
    return std::uint8_t(kind);
}

constexpr bool isHolding(std::uint8_t typeReg) {
    return typeReg == typeRegOf(RegisterKind::holding);
}

constexpr bool isInput(std::uint8_t typeReg) {
    return typeReg == typeRegOf(RegisterKind::input);
}

constexpr bool isRegisterKind(std::uint8_t typeReg) {
    return isHolding(typeReg) || isInput(typeReg);
}

}  // namespace tessaro
