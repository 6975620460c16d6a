#include "core/documents/Utf8Text.h"

#include <array>
#include <cstdint>

namespace tessaro {

namespace {

// The length of the well-formed sequence at the start of the text, or 0 when its first byte begins none.
std::size_t sequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
    const unsigned lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if ((byte(k) & 0xC0) != 0x80) return 0;
    return length;
}

// The characters of 0x80 to 0x9F in the Windows code page 1252; 0xFFFD where it assigns none.
constexpr std::array<std::uint16_t, 32> kWindows1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

void appendWindows1252(std::string& out, unsigned char byte) {
    if (byte < 0x80) {
        out += static_cast<char>(byte);
        return;
    }
    const std::uint32_t code = byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte;
    if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
    } else {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    }
    out += static_cast<char>(0x80 | (code & 0x3F));
}

}  // namespace

std::size_t invalidUtf8At(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = sequenceLength(text, at);
        if (length == 0) return at;
        at += length;
    }
    return std::string_view::npos;
}

std::string windows1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (const char c : text) appendWindows1252(out, static_cast<unsigned char>(c));
    return out;
}

std::string repairedUtf8(std::string_view text) {
    std::size_t at = invalidUtf8At(text);
    if (at == std::string_view::npos) return std::string(text);
    std::string out(text.substr(0, at));
    while (at < text.size()) {
        const std::size_t length = sequenceLength(text, at);
        if (length == 0) {
            appendWindows1252(out, static_cast<unsigned char>(text[at]));
            ++at;
        } else {
            out.append(text, at, length);
            at += length;
        }
    }
    return out;
}

}  // namespace tessaro
