#include "core/documents/JsonText.h"

#include "core/documents/Utf8Text.h"

namespace tessaro {

namespace {

// The characters with an escape of their own, and the letter after the backslash for each.
constexpr std::string_view kNamed = "\"\\\b\f\n\r\t";
constexpr std::string_view kNamedLetters = "\"\\bfnrt";

void appendEscaped(std::string& out, std::string_view text) {
    constexpr char kHex[] = "0123456789abcdef";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (const std::size_t named = kNamed.find(c); named != std::string_view::npos) {
            out += '\\';
            out += kNamedLetters[named];
        } else if (byte < 0x20) {
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
}

}  // namespace

void appendJsonString(std::string& out, std::string_view text) {
    out += '"';
    if (isValidUtf8(text))
        appendEscaped(out, text);
    else
        appendEscaped(out, repairedUtf8(text));
    out += '"';
}

std::string jsonString(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    appendJsonString(out, text);
    return out;
}

}  // namespace tessaro
