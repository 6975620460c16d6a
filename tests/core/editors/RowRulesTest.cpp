#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "core/editors/PartialReadGuard.h"
#include "core/editors/RowRules.h"
#include "core/editors/TableDocument.h"
#include "support/TemporaryFolder.h"

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

// What happens to a watched document between the show and OK, and whether OK then names it.
TEST(PartialReadGuard, NamesWhatAnotherWriterDidToAWatchedDocument) {
    struct Case {
        const char* what;
        std::optional<std::string> atShow;  // nothing: no file
        std::function<void(const std::string& path)> meanwhile;
        const char* named;  // the start of the warning, or nullptr for none
    };
    const auto write = [](std::string bytes) {
        return [bytes](const std::string& path) { std::ofstream(path, std::ios::binary) << bytes; };
    };
    const Case cases[] = {
        {"left alone", "<Group/>", [](const std::string&) {}, nullptr},
        {"written again with the same bytes", "<Group/>", write("<Group/>"), nullptr},
        {"changed", "<Group/>", write("<Group></Group>"), "Group.xml was changed on disk since this dialog read it"},
        {"emptied", "<Group/>", write(""), "Group.xml was changed on disk since this dialog read it"},
        {"created", std::nullopt, write("<Group/>"), "Group.xml was created since this dialog found none"},
        {"created empty", std::nullopt, write(""), "Group.xml was created since this dialog found none"},
        {"deleted", "<Group/>", [](const std::string& path) { std::filesystem::remove(path); },
         "Group.xml was deleted since this dialog read it"},
        {"replaced by a folder", "<Group/>",
         [](const std::string& path) {
             std::filesystem::remove(path);
             std::filesystem::create_directory(path);
         },
         "Group.xml was deleted since this dialog read it"},
        {"its folder gone: the write says why it fails", "<Group/>",
         [](const std::string& path) { std::filesystem::remove_all(std::filesystem::path(path).parent_path()); },
         nullptr},
    };
    for (const Case& c : cases) {
        testing::TemporaryFolder folder;
        const std::string path = folder.file("project/Group.xml");
        std::filesystem::create_directory(folder.file("project"));
        if (c.atShow) folder.write("project/Group.xml", *c.atShow);
        PartialReadGuard guard;
        guard.watch({{path, "Group.xml"}});
        guard.shown();
        c.meanwhile(path);
        const std::optional<std::string> warning = guard.beforeWrite("Group.xml");
        if (!c.named) {
            EXPECT_EQ(warning, std::nullopt) << c.what;
            continue;
        }
        ASSERT_TRUE(warning) << c.what;
        EXPECT_TRUE(warning->starts_with(c.named)) << c.what << ": " << *warning;
        EXPECT_EQ(guard.beforeWrite("Group.xml"), std::nullopt) << c.what << ": the next OK writes";
    }
}

TEST(PartialReadGuard, WhatOkWroteItselfIsNoChangeOfAnotherWriter) {
    testing::TemporaryFolder folder;
    const std::string path = folder.write("Group.xml", "<Group></Group>");
    PartialReadGuard guard;
    guard.watch({{path, "Group.xml"}});
    folder.write("Group.xml", "<Group/>");
    guard.wrote("Group.xml");
    EXPECT_EQ(guard.beforeWrite("Group.xml"), std::nullopt);
    folder.write("Group.xml", "<Group><row/></Group>");
    EXPECT_NE(guard.beforeWrite("Group.xml"), std::nullopt) << "a change after it is another writer's";
}

TEST(PartialReadGuard, AChangeOnDiskComesBeforeTheOtherLossesAndTheWrittenDocumentFirst) {
    testing::TemporaryFolder folder;
    const std::string frames = folder.write("FrameJ1939.xml", "<Frames_J1939/>");
    const std::string definitions = folder.write("DefFrameJ1939.xml", "<DefFrame/>");
    PartialReadGuard guard;
    guard.watch({{definitions, "DefFrameJ1939.xml"}, {frames, "FrameJ1939.xml", "the frames listed"}});
    guard.shown({"FrameJ1939.xml"});
    folder.write("FrameJ1939.xml", "<Frames_J1939></Frames_J1939>");
    folder.write("DefFrameJ1939.xml", "<DefFrame></DefFrame>");
    const std::optional<std::string> warning = guard.beforeWrite("DefFrameJ1939.xml", "rows 3");
    ASSERT_TRUE(warning);
    const std::size_t written = warning->find("DefFrameJ1939.xml was changed on disk");
    const std::size_t read = warning->find(
        "FrameJ1939.xml was changed on disk since this dialog read it (by another "
        "instance of the tool, an import or an editor), so the frames listed are "
        "as it was before.");
    const std::size_t partial = warning->find("FrameJ1939.xml could not be read whole.");
    const std::size_t loss = warning->find("\n\nrows 3");
    EXPECT_EQ(written, 0u) << *warning;
    EXPECT_TRUE(written < read && read < partial && partial < loss && loss != std::string::npos) << *warning;
    EXPECT_EQ(guard.beforeWrite("DefFrameJ1939.xml", "rows 3"), std::nullopt);
}

}  // namespace
}  // namespace tessaro
