#include <gtest/gtest.h>

#include "core/documents/Errors.h"
#include "core/documents/NumericText.h"

namespace tessaro {
namespace {

struct Case {
    const char* text;
    std::optional<std::int32_t> value;
};

// One line per case: the text and the value it reads as, or nothing when it fails.
const Case kCases[] = {
    {"0", 0},
    {"16", 16},
    {"0100", 100},
    {"+10", 10},
    {"-1", -1},
    {" 16", 16},
    {"   -7", -7},
    {"0x10", 16},
    {"0X10", 16},
    {"x10", 16},
    {"X10", 16},
    {"$10", 16},
    {"$fef1", 0xFEF1},
    {"0xFFFF", 65535},
    {"-$10", -16},
    {"+0x7", 7},
    {"$FFFFFFFF", -1},
    {"$7FFFFFFF", 2147483647},
    {"$80000000", -2147483647 - 1},
    {"$000000000000FF", 255},      // leading zeros are not significant
    {"$100000000", std::nullopt},  // nine significant digits
    {"2147483647", 2147483647},
    {"-2147483648", -2147483647 - 1},
    {"2147483648", std::nullopt},
    {"-2147483649", std::nullopt},
    {"99999999999999999999", std::nullopt},
    {"", std::nullopt},
    {" ", std::nullopt},
    {"16 ", std::nullopt},
    {"12 ms", std::nullopt},
    {"abc", std::nullopt},
    {"+", std::nullopt},
    {"-", std::nullopt},
    {"$", std::nullopt},
    {"0x", std::nullopt},
    {"x", std::nullopt},
    {"+-1", std::nullopt},
    {"--1", std::nullopt},
    {"- 1", std::nullopt},
    {"\t16", std::nullopt},  // only the blank counts as a leading blank
    {"1.5", std::nullopt},
    {"0x1G", std::nullopt},
    {"$-1", std::nullopt},
    {"1e3", std::nullopt},
};

TEST(NumericText, EveryCaseOfTheTable) {
    for (const Case& c : kCases) {
        EXPECT_EQ(tryToInteger(c.text), c.value) << "text: '" << c.text << "'";
        EXPECT_EQ(toIntegerOr(c.text, -1), c.value.value_or(-1)) << "text: '" << c.text << "'";
        if (c.value) {
            EXPECT_EQ(toInteger(c.text), *c.value) << "text: '" << c.text << "'";
        } else {
            EXPECT_THROW(toInteger(c.text), Error) << "text: '" << c.text << "'";
        }
    }
}

TEST(NumericText, StrictFormNamesTheText) {
    try {
        toInteger("12 ");
        FAIL() << "no error";
    } catch (const Error& failure) {
        EXPECT_STREQ(failure.what(), "'12 ' is not a valid integer value");
    }
}

TEST(StandardErrorText, FullStopAfterCharactersThatSortAfterIt) {
    EXPECT_EQ(standardErrorText("'abc' is not a valid integer value"), "'abc' is not a valid integer value.");
    EXPECT_EQ(standardErrorText("Could not convert variant of type (Null) into type (String)"),
              "Could not convert variant of type (Null) into type (String)");  // ")" sorts before "."
    EXPECT_EQ(standardErrorText("Done."), "Done.");
    EXPECT_EQ(standardErrorText("offset 12"), "offset 12.");
    EXPECT_EQ(standardErrorText("Why?"), "Why?.");
    EXPECT_EQ(standardErrorText("dash -"), "dash -");
    EXPECT_EQ(standardErrorText(""), "");
}

// The first line stays the failure's own text; the rule looks at the end of the place.
TEST(StandardErrorText, AFailureWithItsPlaceKeepsItsFirstLine) {
    EXPECT_EQ(standardErrorText(withPlace("'abc' is not a valid integer value", {"/p/Group.xml", 2, "Cyclic_Time"})),
              "'abc' is not a valid integer value\nGroup.xml, row 2, attribute Cyclic_Time.");
    EXPECT_EQ(standardErrorText(withPlace("Could not convert variant of type (Null) into type (String)",
                                          DocumentPlace::ofElement("pargen.xml", "ID_CAN"))),
              "Could not convert variant of type (Null) into type (String)\npargen.xml, element ID_CAN.");
    EXPECT_EQ(standardErrorText(withPlace("Start-end tags mismatch at offset 14", {"/p/FrameJ1939.xml"})),
              "Start-end tags mismatch at offset 14\nFrameJ1939.xml.");
}

}  // namespace
}  // namespace tessaro
