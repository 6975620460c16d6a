#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaro {

// The one conversion for every number kept as text: leading blanks, an optional sign, then decimal digits or
// hexadecimal digits after "$", "x", "X", "0x" or "0X" (at most eight significant ones, taken as a 32-bit pattern).
std::optional<std::int32_t> tryToInteger(std::string_view text) noexcept;

// The same for a text that ends in a NUL, as a document's values do, through a flag so that the value stays in a
// register: the image builder reads every number this way. Most are short plain decimals, which up to nine digits
// cannot overflow: they are read here without measuring the text first.
inline bool tryToInteger(const char* text, std::int32_t& value) noexcept {
    std::int32_t result = 0;
    std::size_t length = 0;
    for (; length < 9 && text[length] >= '0' && text[length] <= '9'; ++length)
        result = result * 10 + (text[length] - '0');
    if (length == 0 || text[length] != '\0') {
        const std::optional<std::int32_t> converted = tryToInteger(std::string_view(text));
        if (!converted) return false;
        result = *converted;
    }
    value = result;
    return true;
}

// The shortest decimal text that reads back as value.
inline std::string shortestDecimal(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// "'TEXT' is not a valid integer value": what the strict form throws.
std::string notAnIntegerMessage(std::string_view text);

// Strict form: throws tessaro::Error "'TEXT' is not a valid integer value".
std::int32_t toInteger(std::string_view text);

// Lenient form used by validators: the fallback when the text does not convert.
std::int32_t toIntegerOr(std::string_view text, std::int32_t fallback) noexcept;

}  // namespace tessaro
