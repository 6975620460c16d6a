#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

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

// The kind a Type_Reg names, or nothing for any other value.
constexpr std::optional<RegisterKind> registerKindOf(std::uint8_t typeReg) {
    if (isHolding(typeReg)) return RegisterKind::holding;
    if (isInput(typeReg)) return RegisterKind::input;
    return std::nullopt;
}

// "holding", "input".
constexpr std::string_view registerKindWord(RegisterKind kind) {
    return kind == RegisterKind::holding ? "holding" : "input";
}

// The same for a stored Type_Reg; empty for a value that names no kind.
constexpr std::string_view registerKindWord(std::uint8_t typeReg) {
    const std::optional<RegisterKind> kind = registerKindOf(typeReg);
    return kind ? registerKindWord(*kind) : std::string_view();
}

}  // namespace tessaro
