#include <gtest/gtest.h>

#include "editors/PartialReadGuard.h"
#include "editors/RowRules.h"
#include "editors/TableDocument.h"

namespace tessaro {
namespace {

const std::string kPriority = "!! The Priority must to be between 0 and 7";
const std::string kDataPage = "!! The Data Page must to be 0 or 1";
const std::string kPgn = "!! The PGN must to be between 0x0000 and 0xFFFF";

TEST(RowRules, FrameRowReportsTheFirstBrokenCheckWithItsRow) {
    const struct {
        const char* priority;
        const char* dataPage;
        const char* pgn;
        std::string problem;
    } cases[] = {
        {"0x7", "0", "0xFFFF", ""},   {" 3", "1", "$FEF1", ""},   {"0", "0", "+10", ""},
        {"7", "1", "65535", ""},      {"8", "0", "1", kPriority}, {"-1", "0", "1", kPriority},
        {"abc", "0", "1", kPriority}, {"", "0", "1", kPriority},  {"9", "5", "-1", kPriority},
        {"1", "2", "1", kDataPage},   {"1", "", "1", kDataPage},  {"1", "0", "65536", kPgn},
        {"1", "0", "-1", kPgn},       {"1", "0", "12 ", kPgn},    {"1", "0", "", kPgn},
    };
    for (const auto& c : cases) {
        const auto message = checkFrameRow(4, c.priority, c.dataPage, c.pgn);
        if (c.problem.empty())
            EXPECT_EQ(message, std::nullopt) << c.priority << "|" << c.dataPage << "|" << c.pgn;
        else
            EXPECT_EQ(message, "Error in row 4" + c.problem) << c.priority << "|" << c.dataPage << "|" << c.pgn;
    }
    EXPECT_EQ(checkFrameRow(12, "1", "2", "1"), "Error in row 12!! The Data Page must to be 0 or 1");
}

TEST(RowRules, GroupRowAcceptsOneTo65535Milliseconds) {
    for (const char* good : {"65535", "1", "0xFFFF", " 20"}) EXPECT_EQ(checkGroupRow(1, good), std::nullopt) << good;
    for (const char* bad : {"0", "65536", "-5", "abc", "20 ms", "20 ", ""})
        EXPECT_EQ(checkGroupRow(3, bad), "Error in row 3!! The Cyclic Time must be between 1 and 65535 mS") << bad;
}

TEST(RowRules, DefinitionChecksTheIndexFirstThenTheDeviceId) {
    const std::string index = "Index Modbus must be between 0 and 65535";
    const std::string device = "Device ID must be between 1 and 250";
    const struct {
        const char* index;
        const char* deviceId;
        std::string message;
    } cases[] = {{"65535", "250", ""}, {"0", "1", ""},      {"007", " 5", ""},  {"65536", "1", index},
                 {"-1", "1", index},   {"abc", "1", index}, {"1", "0", device}, {"1", "251", device},
                 {"1", "", device},    {"-1", "0", index}};
    for (const auto& c : cases) {
        const auto message = checkDefinition(c.index, c.deviceId);
        if (c.message.empty())
            EXPECT_EQ(message, std::nullopt) << c.index << "|" << c.deviceId;
        else
            EXPECT_EQ(message, c.message) << c.index << "|" << c.deviceId;
    }
}

TEST(RowRules, RowListNamesRunsOfRowsAsAReaderCountsThem) {
    const struct {
        std::vector<std::size_t> rows;
        const char* text;
    } cases[] = {
        {{3}, "row 3"},
        {{3, 5}, "rows 3 and 5"},
        {{3, 4}, "rows 3 and 4"},
        {{1, 2, 3}, "rows 1 to 3"},
        {{2, 4, 6, 7, 8, 9}, "rows 2, 4 and 6 to 9"},
        {{1, 2, 4, 5}, "rows 1, 2, 4 and 5"},
        {{7, 8, 9, 250}, "rows 7 to 9 and 250"},
    };
    for (const auto& c : cases) EXPECT_EQ(rowList(c.rows), c.text);
}

TEST(RowRules, DroppedRowsAreThoseAfterTheFirstEmptyFirstColumnThatHoldText) {
    const TableRows rows = {{"1", "a"}, {"", "b"}, {"", ""}, {"4", ""}, {"", "", "x"}, {}, {"", ""}};
    EXPECT_EQ(droppedRows(rows), (std::vector<std::size_t>{2, 4, 5}));
    EXPECT_EQ(droppedRowsWarning("Group.xml", "Cyclic Time", rows),
              "Row 2 has no Cyclic Time, so OK keeps only the rows above it and would lose rows 2, 4 and 5: press OK "
              "again to drop them, or Cancel to keep Group.xml as it is.");
    EXPECT_EQ(droppedRowsWarning("Group.xml", "Cyclic Time", {{"1", "a"}, {"2", ""}, {"", ""}}), std::nullopt);
    EXPECT_EQ(droppedRowsWarning("FrameJ1939.xml", "Priority", {{"", "", "", "", "N"}}),
              "Row 1 has no Priority, so OK keeps no row and would lose row 1: press OK again to drop it, or Cancel "
              "to keep FrameJ1939.xml as it is.");
}

TEST(RowRules, DefinitionsBeyondTheFramesAreCountedInFrames) {
    EXPECT_EQ(definitionsBeyondFramesMessage({4, 5}, 3),
              "Rows 4 and 5 of DefFrameJ1939.xml belong to frames that FrameJ1939.xml does not have (it has 3 "
              "frames), so OK would lose them: press OK again to drop them, or Cancel to keep DefFrameJ1939.xml as it "
              "is.");
    EXPECT_EQ(definitionsBeyondFramesMessage({1}, 0),
              "Row 1 of DefFrameJ1939.xml belongs to a frame that FrameJ1939.xml does not have (it has no frame), so "
              "OK would lose it: press OK again to drop it, or Cancel to keep DefFrameJ1939.xml as it is.");
}

// The first OK that would lose something warns; the next OK that would lose the same writes.
TEST(PartialReadGuard, WarnsOnceForEachLossAndOnceAfterAPartialRead) {
    const std::string partial =
        "Group.xml could not be read whole. OK replaces it with what is shown, and what could "
        "not be read is lost: press OK again to do so, or Cancel to keep the file as it is.";
    PartialReadGuard guard;
    guard.shown();
    EXPECT_EQ(guard.beforeWrite("Group.xml"), std::nullopt);
    EXPECT_EQ(guard.beforeWrite("Group.xml", "rows 3"), "rows 3");
    EXPECT_EQ(guard.beforeWrite("Group.xml", "rows 3"), std::nullopt);
    EXPECT_EQ(guard.beforeWrite("Group.xml", "rows 3 and 4"), "rows 3 and 4") << "a new loss is named again";
    EXPECT_EQ(guard.beforeWrite("Group.xml"), std::nullopt);
    EXPECT_EQ(guard.beforeWrite("Group.xml", "rows 3 and 4"), "rows 3 and 4") << "after an OK without loss";

    guard.shown({"Group.xml"});
    EXPECT_EQ(guard.beforeWrite("Group.xml", "rows 3"), partial + "\n\nrows 3");
    EXPECT_EQ(guard.beforeWrite("Group.xml", "rows 3"), std::nullopt);
    guard.shown({"Group.xml"});
    EXPECT_EQ(guard.beforeWrite("Group.xml"), partial);
    EXPECT_EQ(guard.beforeWrite("Group.xml"), std::nullopt);
    guard.shown();
    EXPECT_EQ(guard.beforeWrite("Group.xml"), std::nullopt);

    guard.shown({"Group.xml"});
    EXPECT_EQ(guard.beforeWrite("FrameJ1939.xml"),
              "Group.xml could not be read whole. OK replaces FrameJ1939.xml with what is shown, and what could not "
              "be read is lost: press OK again to do so, or Cancel to keep FrameJ1939.xml as it is.");
}

}  // namespace
}  // namespace tessaro
