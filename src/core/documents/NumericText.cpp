#include "core/documents/NumericText.h"

#include <string>

#include "core/documents/Errors.h"

namespace tessaro {

namespace {

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The conversion itself. It reports through a flag rather than an optional so that the value stays in a register
// on the way out: this runs for every number of every document the image builder reads.
bool convert(std::string_view text, std::int32_t& result) noexcept {
    std::size_t at = 0;
    while (at < text.size() && text[at] == ' ') ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    bool hexadecimal = false;
    if (at < text.size() && (text[at] == '$' || text[at] == 'x' || text[at] == 'X')) {
        hexadecimal = true;
        ++at;
    } else if (at + 1 < text.size() && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X')) {
        hexadecimal = true;
        at += 2;
    }
    if (at == text.size()) return false;

    if (hexadecimal) {
        std::uint32_t pattern = 0;
        int significant = 0;
        for (; at < text.size(); ++at) {
            const int digit = hexDigitValue(text[at]);
            if (digit < 0) return false;
            if (significant > 0 || digit != 0) ++significant;
            if (significant > 8) return false;
            pattern = (pattern << 4) | static_cast<std::uint32_t>(digit);
        }
        if (negative) pattern = 0u - pattern;
        result = static_cast<std::int32_t>(pattern);
        return true;
    }

    std::int64_t magnitude = 0;
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c < '0' || c > '9') return false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > limit) return false;
    }
    result = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return true;
}

}  // namespace

std::optional<std::int32_t> tryToInteger(std::string_view text) noexcept {
    std::int32_t value = 0;
    if (convert(text, value)) return value;
    return std::nullopt;
}

std::string notAnIntegerMessage(std::string_view text) {
    return "'" + std::string(text) + "' is not a valid integer value";
}

std::int32_t toInteger(std::string_view text) {
    std::int32_t value = 0;
    if (!convert(text, value)) throw Error(notAnIntegerMessage(text));
    return value;
}

std::int32_t toIntegerOr(std::string_view text, std::int32_t fallback) noexcept {
    std::int32_t value = 0;
    return convert(text, value) ? value : fallback;
}

}  // namespace tessaro
