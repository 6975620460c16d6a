#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/documents/JsonText.h"
#include "core/documents/Utf8Text.h"

namespace tessaro {
namespace {

TEST(JsonText, InvalidBytesAreReadInTheWindowsCodePageAndTheRestIsKept) {
    const struct {
        std::string_view text;
        const char* json;
    } cases[] = {
        {"plain", "\"plain\""},
        {"/home/Proj\xE9t/signals.dbc", "\"/home/Proj\xC3\xA9t/signals.dbc\""},  // Latin-1 e acute
        {"Proj\xC3\xA9t", "\"Proj\xC3\xA9t\""},                                  // already UTF-8
        {"\x80 \x89", "\"\xE2\x82\xAC \xE2\x80\xB0\""},                          // euro, per mille
        {"a\x81z", "\"a\xEF\xBF\xBDz\""},                                        // unassigned in the code page
        {"\xB0"
         "C",
         "\"\xC2\xB0"
         "C\""},
        {"\"\\\n\t", "\"\\\"\\\\\\n\\t\""},
        {std::string_view("\0\x1F\x7F", 3), "\"\\u0000\\u001f\x7F\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(jsonString(c.text), c.json) << c.text;
        EXPECT_TRUE(isValidUtf8(jsonString(c.text))) << c.text;
    }
}

// The strings written by hand and those the JSON library writes within one document look the same.
TEST(JsonText, EscapesAsTheJsonLibraryDoes) {
    std::string every;
    for (int c = 0; c < 0x80; ++c) every += char(c);
    for (const std::string& text : {every, std::string("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), std::string()})
        EXPECT_EQ(jsonString(text), nlohmann::json(text).dump());
    const std::string latin1 = "caf\xE9 \x8D";
    EXPECT_EQ(jsonString(latin1), nlohmann::json(repairedUtf8(latin1)).dump());
}

}  // namespace
}  // namespace tessaro
