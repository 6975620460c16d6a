#include <gtest/gtest.h>

#include "core/documents/NumericText.h"
#include "core/editors/FrameTable.h"
#include "support/ShowReads.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

TableRows grid(TableRows filled) {
    filled.resize(kFrameRows, TableRow(6));
    return filled;
}

TableRow frame(const char* priority, const char* dataPage, const char* pgn) {
    return {priority, dataPage, pgn, "", "", ""};
}

const std::string kPriority = "!! The Priority must to be between 0 and 7";
const std::string kDataPage = "!! The Data Page must to be 0 or 1";
const std::string kPgn = "!! The PGN must to be between 0x0000 and 0xFFFF";

TEST(FrameTable, RowCheckFirstFailureInOrder) {
    struct Case {
        TableRow row;
        std::optional<std::string> message;  // for row 2
    };
    const Case cases[] = {
        {frame("0x7", "1", "0xFFFF"), std::nullopt},
        {frame(" 3", "0", "$FEF1"), std::nullopt},
        {frame("0", "0", "+10"), std::nullopt},
        {frame("8", "0", "1"), kPriority},
        {frame("abc", "0", "1"), kPriority},
        {frame("-1", "0", "1"), kPriority},
        {frame("9", "5", "1"), kPriority},
        {frame("1", "2", "1"), kDataPage},
        {frame("1", "", "1"), kDataPage},
        {frame("1", "0", "65536"), kPgn},
        {frame("1", "0", "-1"), kPgn},
        {frame("1", "0", "12 "), kPgn},
        {frame("1", "0", ""), kPgn},
    };
    for (const Case& c : cases) {
        const auto expected = c.message ? std::optional<std::string>("Error in row 2" + *c.message) : std::nullopt;
        EXPECT_EQ(checkFrameRows(grid({frame("6", "0", "100"), c.row})), expected) << c.row[0] << "|" << c.row[2];
    }
}

TEST(FrameTable, CheckAndSaveStopAtTheFirstEmptyPriority) {
    const std::vector<std::string> captions = readGroupCaptions("/no/such/Group.xml").content;
    const TableRows rows =
        grid({frame("1", "0", "1"), frame("2", "1", "2"), frame("", "9", "9"), frame("99", "9", "9")});
    EXPECT_EQ(checkFrameRows(rows), std::nullopt);
    EXPECT_EQ(frameTableText(captions, rows),
              "<Frames_J1939><row Priority=\"1\" DataPage=\"0\" PGN=\"1\" Group=\"0\" Erase=\"\" Mnemonic=\"\"/>"
              "<row Priority=\"2\" DataPage=\"1\" PGN=\"2\" Group=\"0\" Erase=\"\" Mnemonic=\"\"/></Frames_J1939>");
    EXPECT_EQ(checkFrameRows(grid({})), std::nullopt);
    EXPECT_EQ(frameTableText(captions, grid({})), "<Frames_J1939/>");
}

TEST(FrameTable, CaptionsFromGroupXml) {
    testing::TemporaryFolder folder;
    folder.write("Group.xml",
                 "<Group><row Cyclic_Time=\"0100\" Mnemonic=\"Engine\"/>"
                 "<row Cyclic_Time=\"0x1F4\" Mnemonic=\"\"/><row Cyclic_Time=\" 20\" Mnemonic=\"a&amp;b\"/>"
                 "</Group>");
    const ShowRead<GroupCaptions> load = readGroupCaptions(folder.file("Group.xml"));
    EXPECT_TRUE(load.failures.empty());
    EXPECT_EQ(load.content,
              (std::vector<std::string>{"On Request", "G1 100 - Engine", "G2 500 - ", "G3 20 - a&b", "G4 Not In Use",
                                        "G5 Not In Use", "G6 Not In Use", "G7 Not In Use", "G8 Not In Use",
                                        "G9 Not In Use", "G10 Not In Use"}));
    const auto missing = readGroupCaptions(folder.file("none.xml")).content;
    ASSERT_EQ(missing.size(), kGroupCaptionCount);
    EXPECT_EQ(missing[1], "G1 Not In Use");
}

TEST(FrameTable, CaptionsStopAtAGroupXmlFailure) {
    testing::TemporaryFolder folder;
    struct Case {
        const char* document;
        std::vector<std::string> captions;
        const char* failure;
    };
    const Case cases[] = {
        {"<Group><row Cyclic_Time=\"1\" Mnemonic=\"a\"/><row Cyclic_Time=\"1 0\" Mnemonic=\"b\"/></Group>",
         {"On Request", "G1 1 - a"},
         "'1 0' is not a valid integer value\nGroup.xml, row 2, attribute Cyclic_Time"},
        {"<Group><row Mnemonic=\"a\"/></Group>",
         {"On Request"},
         "Could not convert variant of type (Null) into type (Integer)\nGroup.xml, row 1, attribute Cyclic_Time"},
        {"<Group><row Cyclic_Time=\"1\"/></Group>",
         {"On Request"},
         "Could not convert variant of type (Null) into type (String)\nGroup.xml, row 1, attribute Mnemonic"},
    };
    for (const Case& c : cases) {
        folder.write("Group.xml", c.document);
        const auto load = testing::readFrameRows(folder.file("Group.xml"), folder.file("FrameJ1939.xml"));
        EXPECT_EQ(load.read.content, c.captions) << c.document;
        EXPECT_EQ(load.read.failures, std::vector<std::string>{c.failure}) << c.document;
        EXPECT_EQ(load.read.unreadFiles, std::vector<std::string_view>{"Group.xml"}) << c.document;
    }
}

TEST(FrameTable, GroupIndexOfAndCaptionOf) {
    const std::vector<std::string> captions = {"On Request", "G1 100 - Engine", "G2 Not In Use"};
    struct Case {
        const char* text;
        std::int32_t index;
    };
    const Case cases[] = {
        {"On Request", 0},       {"", 0},
        {"g1 100 - engine", 1},  {"G1 100 - Engine", 1},
        {"G2 NOT IN USE", 2},    {"G12 Not In Use", 12},
        {"g-3 not in use", -3},  {"G012 Not In Use", 0},
        {"G+1 Not In Use", 0},   {"G Not In Use", 0},
        {"G1 100 - Engine ", 0}, {"anything", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(groupIndexOf(captions, c.text), c.index) << c.text;
    EXPECT_EQ(groupCaptionOf(captions, 1), "G1 100 - Engine");
    EXPECT_EQ(groupCaptionOf(captions, 11), "G11 Not In Use");
    EXPECT_EQ(groupCaptionOf(captions, -2), "G-2 Not In Use");
    EXPECT_EQ(groupIndexOf(captions, groupCaptionOf(captions, 2147483647)), 2147483647);
}

TEST(FrameTable, EraseClickCycle) {
    EXPECT_EQ(eraseAfterClick(""), "Y");
    EXPECT_EQ(eraseAfterClick("Y"), "N");
    EXPECT_EQ(eraseAfterClick("N"), "Y");
    EXPECT_EQ(eraseAfterClick("y"), "Y");
    EXPECT_EQ(eraseAfterClick("maybe"), "Y");
}

// A pasted Group text becomes the caption the cell would show for what OK stores; an empty one stays empty.
TEST(FrameTable, PastedGroupCellIsTheCaptionOfItsIndex) {
    const std::vector<std::string> captions = {"On Request", "G1 100 - Engine", "G2 Not In Use"};
    const struct {
        const char* pasted;
        const char* cell;
    } cases[] = {
        {"", ""},
        {"g1 100 - ENGINE", "G1 100 - Engine"},
        {"On Request", "On Request"},
        {"G12 not in use", "G12 Not In Use"},
        {"1", "G1 100 - Engine"},
        {"$2", "G2 Not In Use"},
        {"0", "On Request"},
        {"7", "G7 Not In Use"},
        {"Engine", "On Request"},
        {"G1 100 - Engine ", "On Request"},
    };
    for (const auto& c : cases) {
        const std::string cell = pastedGroupCell(captions, c.pasted);
        EXPECT_EQ(cell, c.cell) << c.pasted;
        if (*c.pasted) {
            const std::optional<std::int32_t> number = tryToInteger(c.pasted);
            const std::int32_t stored = number ? *number : groupIndexOf(captions, c.pasted);
            EXPECT_EQ(groupIndexOf(captions, cell), stored) << c.pasted;
        }
    }
}

// A pasted Erase text shows as the box the image writes for it: ticked for "Y" or "y" alone.
TEST(FrameTable, PastedEraseCellIsYOrN) {
    const struct {
        const char* pasted;
        const char* cell;
    } cases[] = {{"", ""}, {"Y", "Y"}, {"y", "Y"}, {"N", "N"}, {"n", "N"}, {"YES", "N"}, {" Y", "N"}, {"1", "N"}};
    for (const auto& c : cases) {
        EXPECT_EQ(pastedEraseCell(c.pasted), c.cell) << c.pasted;
        EXPECT_EQ(erasesData(c.pasted), std::string_view(c.cell) == "Y") << c.pasted;
    }
}

TEST(FrameTable, ShowThenSaveKeepsTheDocument) {
    testing::TemporaryFolder folder;
    folder.write("Group.xml",
                 "<Group><row Cyclic_Time=\"100\" Mnemonic=\"A\"/><row Cyclic_Time=\"200\" Mnemonic=\"B\"/>"
                 "</Group>");
    const std::string document =
        "<Frames_J1939><row Priority=\" 6\" DataPage=\"0\" PGN=\"0xFEF1\" Group=\"2\" Erase=\"\" Mnemonic=\"a &amp; "
        "&lt;b> &quot;c&quot;\"/><row Priority=\"$3\" DataPage=\"1\" PGN=\"+10\" Group=\"12\" Erase=\"Y\" "
        "Mnemonic=\"\"/><row Priority=\"0\" DataPage=\"0\" PGN=\"0\" Group=\"0\" Erase=\"N\" Mnemonic=\"z\"/>"
        "</Frames_J1939>";
    folder.write("FrameJ1939.xml", document);
    const auto load = testing::readFrameRows(folder.file("Group.xml"), folder.file("FrameJ1939.xml"));
    EXPECT_TRUE(load.read.failures.empty());
    ASSERT_EQ(load.rows.size(), 3u);
    EXPECT_EQ(load.rows[0], (TableRow{" 6", "0", "0xFEF1", "G2 200 - B", "", "a & <b> \"c\""}));
    EXPECT_EQ(load.rows[1][FrameColumn::Group], "G12 Not In Use");
    EXPECT_EQ(frameTableText(load.read.content, grid(load.rows)), document);
}

TEST(FrameTable, FrameLoadFailuresKeepTheRowsReadBefore) {
    testing::TemporaryFolder folder;
    struct Case {
        const char* row2;
        const char* failure;
        std::size_t cellsOfRow2;
    };
    const Case cases[] = {
        {"<row DataPage=\"0\" PGN=\"1\" Group=\"0\" Erase=\"\" Mnemonic=\"\"/>",
         "Could not convert variant of type (Null) into type (String)\nFrameJ1939.xml, row 2, attribute Priority", 0},
        {"<row Priority=\"1\" DataPage=\"0\" PGN=\"1\" Erase=\"\" Mnemonic=\"\"/>",
         "Could not convert variant of type (Null) into type (Integer)\nFrameJ1939.xml, row 2, attribute Group", 3},
        {"<row Priority=\"1\" DataPage=\"0\" PGN=\"1\" Group=\"one\" Erase=\"\" Mnemonic=\"\"/>",
         "'one' is not a valid integer value\nFrameJ1939.xml, row 2, attribute Group", 3},
        {"<row Priority=\"1\" DataPage=\"0\" PGN=\"1\" Group=\"1\" Erase=\"\"/>",
         "Could not convert variant of type (Null) into type (String)\nFrameJ1939.xml, row 2, attribute Mnemonic", 5},
    };
    for (const Case& c : cases) {
        folder.write("FrameJ1939.xml", std::string("<Frames_J1939><row Priority=\"7\" DataPage=\"1\" PGN=\"2\" "
                                                   "Group=\"0\" Erase=\"Y\" Mnemonic=\"m\"/>") +
                                           c.row2 + "<row Priority=\"5\"/></Frames_J1939>");
        const auto load = testing::readFrameRows(folder.file("Group.xml"), folder.file("FrameJ1939.xml"));
        EXPECT_EQ(load.read.failures, std::vector<std::string>{c.failure}) << c.row2;
        EXPECT_EQ(load.read.unreadFiles, std::vector<std::string_view>{"FrameJ1939.xml"}) << c.row2;
        ASSERT_EQ(load.rows.size(), c.cellsOfRow2 ? 2u : 1u) << c.row2;
        EXPECT_EQ(load.rows[0], (TableRow{"7", "1", "2", "On Request", "Y", "m"}));
        if (c.cellsOfRow2) {
            EXPECT_EQ(load.rows[1].size(), c.cellsOfRow2) << c.row2;
        }
        EXPECT_EQ(load.read.content.size(), kGroupCaptionCount);
    }
}

TEST(FrameTable, DocumentWithMoreRowsThanTheGrid) {
    testing::TemporaryFolder folder;
    std::string text = "<Frames_J1939>";
    for (int row = 1; row <= 260; ++row)
        text += "<row Priority=\"1\" DataPage=\"0\" PGN=\"" + std::to_string(row) +
                "\" Group=\"0\" Erase=\"\" Mnemonic=\"\"/>";
    folder.write("FrameJ1939.xml", text + "</Frames_J1939>");
    const auto load = testing::readFrameRows(folder.file("Group.xml"), folder.file("FrameJ1939.xml"));
    EXPECT_TRUE(load.read.failures.empty());
    EXPECT_EQ(load.rows.size(), kFrameRows);
    EXPECT_EQ(load.rows.back()[FrameColumn::Pgn], "250");
    EXPECT_EQ(load.read.documentRows, 260u);
}

}  // namespace
}  // namespace tessaro
