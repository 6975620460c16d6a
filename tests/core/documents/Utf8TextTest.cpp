#include <gtest/gtest.h>

#include "core/documents/Utf8Text.h"

namespace tessaro {
namespace {

struct Utf8Case {
    const char* text;
    std::size_t invalidAt;  // npos when valid
    const char* repaired;
};

TEST(Utf8Text, WellFormedSequencesAreKeptAndEveryOtherByteIsReadInTheWindowsCodePage) {
    constexpr auto whole = std::string_view::npos;
    const Utf8Case cases[] = {
        {"plain", whole, "plain"},
        {"\xC2\xB0"
         "C",
         whole,
         "\xC2\xB0"
         "C"},
        {"\xF0\x9F\x98\x80", whole, "\xF0\x9F\x98\x80"},
        {"a\xB0", 1, "a\xC2\xB0"},
        {"\x89", 0, "\xE2\x80\xB0"},                                              // per mille
        {"\x80", 0, "\xE2\x82\xAC"},                                              // euro
        {"\x8D", 0, "\xEF\xBF\xBD"},                                              // unassigned in the code page
        {"\xC0\x80", 0, "\xC3\x80\xE2\x82\xAC"},                                  // an overlong NUL
        {"\xED\xA0\x80", 0, "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},                      // a surrogate
        {"\xF4\x90\x80\x80", 0, "\xC3\xB4\xEF\xBF\xBD\xE2\x82\xAC\xE2\x82\xAC"},  // above U+10FFFF
        {"\xE2\x82", 0, "\xC3\xA2\xE2\x80\x9A"},                                  // cut short
        {"ok\xE2\x82\xAC\xFF", 5, "ok\xE2\x82\xAC\xC3\xBF"},
    };
    for (const Utf8Case& c : cases) {
        EXPECT_EQ(invalidUtf8At(c.text), c.invalidAt) << c.text;
        EXPECT_EQ(repairedUtf8(c.text), c.repaired) << c.text;
        EXPECT_TRUE(isValidUtf8(repairedUtf8(c.text))) << c.text;
    }
}

TEST(Utf8Text, TheWholeTextInTheWindowsCodePage) {
    EXPECT_EQ(windows1252ToUtf8("\xC3\xA9 \x80"), "\xC3\x83\xC2\xA9 \xE2\x82\xAC");
}

}  // namespace
}  // namespace tessaro
