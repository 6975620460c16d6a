#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaro {

// The one conversion for every number kept as text: leading blanks, an optional sign, then decimal digits or
// hexadecimal digits after "$", "x", "X", "0x" or "0X" (at most eight significant ones, taken as a 32-bit pattern).
std::optional<std::int32_t> tryToInteger(std::string_view text) noexcept;

// "'TEXT' is not a valid integer value": what the strict form throws.
std::string notAnIntegerMessage(std::string_view text);

// Strict form: throws tessaro::Error "'TEXT' is not a valid integer value".
std::int32_t toInteger(std::string_view text);

// Lenient form used by validators: the fallback when the text does not convert.
std::int32_t toIntegerOr(std::string_view text, std::int32_t fallback) noexcept;

}  // namespace tessaro
