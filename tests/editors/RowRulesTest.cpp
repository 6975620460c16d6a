#include <gtest/gtest.h>

#include "editors/RowRules.h"

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

}  // namespace
}  // namespace tessaro
