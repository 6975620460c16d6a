#include <charconv>
#include <cstdint>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "core/documents/Errors.h"
#include "core/documents/NumericText.h"

namespace tessaro::fuzz {

namespace {

std::string shown(const std::optional<std::int32_t>& value) {
    return value ? std::to_string(*value) : std::string("nothing");
}

// The rule written a second way: the blanks, the sign and the prefix stripped, then the standard library's
// conversion of what is left.
std::optional<std::int32_t> referenceInteger(std::string_view text) {
    text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    for (const std::string_view prefix : {"0x", "0X", "$", "x", "X"}) {
        if (text.starts_with(prefix)) {
            base = 16;
            text.remove_prefix(prefix.size());
            break;
        }
    }
    if (text.empty()) return std::nullopt;
    const std::string_view digits = base == 16 ? "0123456789abcdefABCDEF" : "0123456789";
    if (text.find_first_not_of(digits) != std::string_view::npos) return std::nullopt;
    text.remove_prefix(std::min(text.find_first_not_of('0'), text.size()));
    if (text.size() > (base == 16 ? 8u : 10u)) return std::nullopt;
    std::uint64_t magnitude = 0;
    if (!text.empty()) {
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
        if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    }
    if (base == 16) {
        const auto pattern = static_cast<std::uint32_t>(magnitude);
        return static_cast<std::int32_t>(negative ? 0u - pattern : pattern);
    }
    if (magnitude > (negative ? 2147483648u : 2147483647u)) return std::nullopt;
    return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(magnitude)
                                              : static_cast<std::int64_t>(magnitude));
}

}  // namespace

void numericText(std::string_view input) {
    const std::optional<std::int32_t> tried = tryToInteger(input);

    std::optional<std::int32_t> strict;
    std::optional<std::string> refusal;
    try {
        strict = toInteger(input);
    } catch (const Error& error) {
        refusal = error.what();
    }
    TESSARO_FUZZ_EXPECT(strict.has_value() == tried.has_value(),
                        "strict " + shown(strict) + ", tried " + shown(tried) + " for " + printable(input));
    TESSARO_FUZZ_EXPECT(strict == tried, "strict " + shown(strict) + ", tried " + shown(tried));
    if (refusal) {
        // The message is a C string: a NUL byte of the text ends it there.
        const std::string message = "'" + std::string(input) + "' is not a valid integer value";
        TESSARO_FUZZ_EXPECT(*refusal == message.c_str(), printable(*refusal));
    }

    // Two fallbacks, so that a value equal to one of them is still told apart from a fallback.
    for (const std::int32_t fallback : {-1, 7}) {
        const std::int32_t lenient = toIntegerOr(input, fallback);
        TESSARO_FUZZ_EXPECT(lenient == tried.value_or(fallback), "lenient " + std::to_string(lenient) + ", tried " +
                                                                     shown(tried) + " for " + printable(input));
    }

    const std::optional<std::int32_t> reference = referenceInteger(input);
    TESSARO_FUZZ_EXPECT(reference == tried,
                        "reference " + shown(reference) + ", tried " + shown(tried) + " for " + printable(input));

    // A value reads back from the text it is written as.
    if (tried) TESSARO_FUZZ_EXPECT(tryToInteger(std::to_string(*tried)) == tried, std::to_string(*tried));
}

}  // namespace tessaro::fuzz
