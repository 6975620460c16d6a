#include <gtest/gtest.h>

#include "core/documents/Errors.h"
#include "core/editors/GroupTable.h"
#include "support/ShowReads.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

TableRows grid(TableRows filled) {
    filled.resize(kGroupRows, TableRow{"", ""});
    return filled;
}

TEST(GroupTable, CyclicTimesAcceptedAndRefused) {
    struct Case {
        const char* cyclicTime;
        bool valid;
    };
    const Case cases[] = {{"65535", true}, {"1", true},      {"0xFFFF", true}, {" 20", true},
                          {"$1F4", true},  {"0", false},     {"65536", false}, {"-5", false},
                          {"abc", false},  {"20 ms", false}, {"20 ", false}};
    for (const Case& c : cases) {
        const auto message = checkGroupRows(grid({{"100", ""}, {c.cyclicTime, "x"}}));
        if (c.valid)
            EXPECT_EQ(message, std::nullopt) << c.cyclicTime;
        else
            EXPECT_EQ(message, "Error in row 2!! The Cyclic Time must be between 1 and 65535 mS") << c.cyclicTime;
    }
}

TEST(GroupTable, CheckAndSaveStopAtTheFirstEmptyCyclicTime) {
    const TableRows rows = grid({{"100", "a"}, {"", "only a mnemonic"}, {"0", "never looked at"}});
    EXPECT_EQ(checkGroupRows(rows), std::nullopt);
    EXPECT_EQ(groupTableText(rows), "<Group><row Cyclic_Time=\"100\" Mnemonic=\"a\"/></Group>");
    EXPECT_EQ(groupTableText(grid({})), "<Group/>");
    EXPECT_EQ(checkGroupRows(grid({})), std::nullopt);
}

TEST(GroupTable, TextsAreStoredAsTypedAndSpecialCharactersRoundTrip) {
    testing::TemporaryFolder folder;
    const std::string path = folder.file("Group.xml");
    const TableRows rows = grid({{" 20", "a & <b> \"c\""}, {"0x1F4", "Motor \xc3\xa9"}, {"5", ""}});
    saveGroupTable(path, rows);
    EXPECT_EQ(folder.read("Group.xml"),
              "<Group><row Cyclic_Time=\" 20\" Mnemonic=\"a &amp; &lt;b> &quot;c&quot;\"/>"
              "<row Cyclic_Time=\"0x1F4\" Mnemonic=\"Motor \xc3\xa9\"/><row Cyclic_Time=\"5\" Mnemonic=\"\"/></Group>");
    const auto load = testing::readGroupRows(path);
    EXPECT_TRUE(load.read.failures.empty());
    EXPECT_EQ(load.read.documentRows, 3u);
    EXPECT_EQ(grid(load.rows), rows);
}

TEST(GroupTable, LoadByPositionWhateverTheNames) {
    testing::TemporaryFolder folder;
    folder.write("Group.xml",
                 "<?xml version=\"1.0\"?>\n<Groups>\n  <g Mnemonic=\"m\" Cyclic_Time=\"7\" extra=\"1\"/>\n"
                 "  <!-- kept out -->\n  <row Cyclic_Time=\"\" Mnemonic=\"\"/>\n</Groups>\n");
    const auto load = testing::readGroupRows(folder.file("Group.xml"));
    EXPECT_TRUE(load.read.failures.empty());
    EXPECT_EQ(load.rows, (TableRows{{"7", "m"}, {"", ""}}));
    const auto missing = testing::readGroupRows(folder.file("missing.xml"));
    EXPECT_TRUE(missing.rows.empty());
    EXPECT_TRUE(missing.read.unreadFiles.empty());
}

TEST(GroupTable, LoadFailureKeepsWhatWasReadBefore) {
    testing::TemporaryFolder folder;
    folder.write("Group.xml",
                 "<Group><row Cyclic_Time=\"1\" Mnemonic=\"a\"/><row Cyclic_Time=\"2\"/>"
                 "<row Cyclic_Time=\"3\" Mnemonic=\"c\"/></Group>");
    const auto load = testing::readGroupRows(folder.file("Group.xml"));
    EXPECT_EQ(load.read.failures,
              (std::vector<std::string>{"Could not convert variant of type (Null) into type (String)\n"
                                        "Group.xml, row 2, attribute Mnemonic"}));
    EXPECT_EQ(load.read.unreadFiles, (std::vector<std::string_view>{"Group.xml"}));
    EXPECT_EQ(load.rows, (TableRows{{"1", "a"}, {"2"}}));

    folder.write("Broken.xml", "<Group><row Cyclic_Time=\"1\" Mnemonic=\"a\"/>");
    const auto broken = testing::readGroupRows(folder.file("Broken.xml"));
    EXPECT_EQ(broken.read.failures, (std::vector<std::string>{"Start-end tags mismatch at offset 41\nBroken.xml"}));
    EXPECT_TRUE(broken.rows.empty());
}

TEST(GroupTable, DocumentWithMoreRowsThanTheGrid) {
    testing::TemporaryFolder folder;
    std::string text = "<Group>";
    for (int group = 1; group <= 12; ++group)
        text += "<row Cyclic_Time=\"" + std::to_string(group) + "\" Mnemonic=\"\"/>";
    folder.write("Group.xml", text + "</Group>");
    const auto load = testing::readGroupRows(folder.file("Group.xml"));
    EXPECT_EQ(load.rows.size(), kGroupRows);
    EXPECT_EQ(load.rows.back().front(), "10");
    EXPECT_EQ(load.read.documentRows, 12u);
    EXPECT_EQ(overflowMessage(kGroupFileName, 12, kGroupRows),
              "Group.xml has 12 rows; only the first 10 are shown, and the rows beyond 10 will not be kept if you "
              "press OK.");
}

TEST(GroupTable, UnwritableFileFails) {
    testing::TemporaryFolder folder;
    EXPECT_THROW(saveGroupTable(folder.file("missing/Group.xml"), grid({})), Error);
}

}  // namespace
}  // namespace tessaro
