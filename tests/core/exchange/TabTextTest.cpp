#include <gtest/gtest.h>

#include "core/exchange/TabText.h"

namespace tessaro {
namespace {

// Blocks as a spreadsheet puts them on the clipboard: a tab between cells, a line break after every row.
TEST(TabText, ReadsRowsOfCellsWhateverTheLineBreak) {
    const struct {
        const char* text;
        TabRows rows;
    } cases[] = {
        {"", {}},
        {"a", {{"a"}}},
        {"a\n", {{"a"}}},
        {"\n", {{""}}},
        {"a\tb\n1\t2\n", {{"a", "b"}, {"1", "2"}}},
        {"a\tb\r\n1\t2\r\n", {{"a", "b"}, {"1", "2"}}},
        {"a\tb\r1\t2", {{"a", "b"}, {"1", "2"}}},
        {"a\t\t\n\tb\t\n", {{"a", "", ""}, {"", "b", ""}}},
        {"a\n\nb\n", {{"a"}, {""}, {"b"}}},
        {"a\n\n", {{"a"}, {""}}},
        {"x\t", {{"x", ""}}},
    };
    for (const auto& c : cases) EXPECT_EQ(readTabText(c.text), c.rows) << c.text;
}

// A cell in quotes may hold tabs, line breaks and doubled quotes; a quote elsewhere is text.
TEST(TabText, QuotedCellsAsASpreadsheetWritesThem) {
    const struct {
        const char* text;
        TabRows rows;
    } cases[] = {
        {"\"two\nlines\"\tb\n", {{"two\nlines", "b"}}},
        {"\"two\r\nlines\"\r\nc\r\n", {{"two\r\nlines"}, {"c"}}},
        {"\"a\tb\"\tc\n", {{"a\tb", "c"}}},
        {"\"say \"\"hi\"\"\"\n", {{"say \"hi\""}}},
        {"5\" disk\tx\n", {{"5\" disk", "x"}}},
        {"\"\"\t\"\"\n", {{"", ""}}},
        {"\"open\tx\n", {{"\"open", "x"}}},
        {"\"a\" b\tc\n", {{"\"a\" b", "c"}}},
    };
    for (const auto& c : cases) EXPECT_EQ(readTabText(c.text), c.rows) << c.text;
}

TEST(TabText, WrittenRowsReadBackTheSame) {
    const TabRows rows = {{"3", "0", "0xFEF1", "G1 100 - Engine", "Y", "Wheel speed"},
                          {"", "tab\there", "two\nlines", "\"quoted\"", "5\" disk", ""}};
    const std::string text = writeTabText(rows);
    EXPECT_EQ(text,
              "3\t0\t0xFEF1\tG1 100 - Engine\tY\tWheel speed\n"
              "\t\"tab\there\"\t\"two\nlines\"\t\"\"\"quoted\"\"\"\t5\" disk\t\n");
    EXPECT_EQ(readTabText(text), rows);
    EXPECT_EQ(writeTabText({{"a"}}), "a\n");
}

TEST(TabText, SingleLineTurnsTabsAndLineBreaksIntoBlanks) {
    EXPECT_EQ(singleLine("Wheel\r\nspeed\tfront\nleft\rright"), "Wheel speed front left right");
    EXPECT_EQ(singleLine("plain"), "plain");
    EXPECT_EQ(singleLine(""), "");
}

}  // namespace
}  // namespace tessaro
