#include <gtest/gtest.h>

#include "core/editors/PargenDocument.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

const char* const kDefaultsDocument =
    "<GeneralParameter><BR_CAN>5</BR_CAN><ID_CAN>10</ID_CAN><Select_Ser>0</Select_Ser><Baud_Ser>3</Baud_Ser>"
    "<Par_Ser>0</Par_Ser><Stop_Ser>0</Stop_Ser><TimeOut_Ser>1000</TimeOut_Ser><Delay_Ser>100</Delay_Ser>"
    "</GeneralParameter>";

TEST(PargenDocument, DefaultsAreWrittenInElementOrder) {
    EXPECT_EQ(pargenText(PargenSettings{}), kDefaultsDocument);
}

TEST(PargenDocument, MissingFileGivesTheDefaultsAndBrokenFileNothing) {
    testing::TemporaryFolder folder;
    EXPECT_EQ(readPargen(folder.file("pargen.xml")).content, PargenSettings{});
    EXPECT_EQ(readPargen(folder.write("pargen.xml", "<GeneralParameter><BR_CAN>")).content, std::nullopt);
}

TEST(PargenDocument, ADocumentWhoseSettingsCannotBeReadIsSaidSo) {
    testing::TemporaryFolder folder;
    const struct {
        const char* text;
        bool unread;
    } cases[] = {{"<GeneralParameter><BR_CAN>", true},
                 {"<Settings><ID_CAN>3</ID_CAN></Settings>", true},
                 {"", true},
                 {"<GeneralParameter/>", false},
                 {"<?xml version=\"1.0\"?><GeneralParameter><BR_CAN>x</BR_CAN></GeneralParameter>", false}};
    for (const auto& c : cases)
        EXPECT_EQ(readPargen(folder.write("pargen.xml", c.text)).unreadFiles,
                  c.unread ? std::vector<std::string_view>{"pargen.xml"} : std::vector<std::string_view>{})
            << c.text;
    EXPECT_TRUE(readPargen(folder.file("missing.xml")).unreadFiles.empty());
}

TEST(PargenDocument, EachElementStandsAlone) {
    testing::TemporaryFolder folder;
    const std::string path = folder.write(
        "pargen.xml",
        "<?xml version=\"1.0\"?>\n<GeneralParameter>\n <Delay_Ser>5</Delay_Ser>\n <Extra>1</Extra>\n"
        " <Select_Ser>7</Select_Ser>\n <BR_CAN>9</BR_CAN>\n <Baud_Ser>abc</Baud_Ser>\n <ID_CAN> 007</ID_CAN>\n"
        " <Par_Ser>$2</Par_Ser>\n <Stop_Ser>-1</Stop_Ser>\n <TimeOut_Ser></TimeOut_Ser>\n</GeneralParameter>\n");
    const PargenSettings read = *readPargen(path).content;
    EXPECT_EQ(read.canBaudRatePosition, 9);  // outside the list: applied unchanged
    EXPECT_EQ(read.deviceId, " 007");
    EXPECT_TRUE(read.rs232);
    EXPECT_EQ(read.rtuBaudRatePosition, 3);  // not an integer: its default
    EXPECT_EQ(read.parityPosition, 2);
    EXPECT_EQ(read.stopBitsPosition, -1);
    EXPECT_EQ(read.timeout, "");
    EXPECT_EQ(read.delay, "5");
}

TEST(PargenDocument, MissingElementsTakeTheirDefaults) {
    PargenSettings expected;
    expected.deviceId = "3";
    testing::TemporaryFolder folder;
    EXPECT_EQ(readPargen(folder.write("pargen.xml", "<GeneralParameter><ID_CAN>3</ID_CAN></GeneralParameter>")).content,
              expected);
    EXPECT_EQ(readPargen(folder.write("pargen.xml", "<Other><ID_CAN>3</ID_CAN></Other>")).content, PargenSettings{});
}

TEST(PargenDocument, ValidationReportsTheFirstBrokenRule) {
    struct Case {
        const char* deviceId;
        const char* timeout;
        const char* delay;
        bool rs232;
        int stopBits;
        const char* message;
    };
    const char* const id = "Error! The ID Device must to be between 0 and 240";
    const char* const timeout = "Error! The Modbus RTU TimeOut must to be between 1 and 65535 milleseconds";
    const char* const delay = "Error! The Modbus RTU Cyclic Delay must to be between 1 and 65535 milleseconds";
    const char* const stop = "Error! when RS232 is select only 1 Stop bit can be used";
    const Case cases[] = {
        {"240", "1", "65535", false, 2, nullptr}, {"0", "65535", "1", true, 0, nullptr},
        {"0xF0", " 5", "$10", false, 0, nullptr}, {"241", "1", "1", false, 0, id},
        {"-1", "1", "1", false, 0, id},           {"", "1", "1", false, 0, id},
        {"abc", "1", "1", false, 0, id},          {"10", "0", "1", false, 0, timeout},
        {"10", "65536", "1", false, 0, timeout},  {"10", "1", "0", false, 0, delay},
        {"10", "1", "65536", false, 0, delay},    {"10", "1", "1", true, 1, stop},
        {"10", "1", "1", true, 2, stop},          {"999", "0", "0", true, 2, id},
        {"10", "0", "0", true, 2, timeout},
    };
    for (const Case& c : cases) {
        PargenSettings settings;
        settings.deviceId = c.deviceId;
        settings.timeout = c.timeout;
        settings.delay = c.delay;
        settings.rs232 = c.rs232;
        settings.stopBitsPosition = c.stopBits;
        EXPECT_EQ(validatePargen(settings), c.message ? std::optional<std::string>(c.message) : std::nullopt)
            << c.deviceId << " / " << c.timeout << " / " << c.delay;
    }
}

// Only a position of the J1939 list can be stored, so a fifth rule, after the four, refuses any other.
TEST(PargenDocument, BaudRateOutsideTheListIsRefusedAfterTheOtherRules) {
    const std::string rule =
        "Error! The J1939 Baud rate must be one of 10, 20, 50, 100, 125, 250, 500, 800, 1000 kbit/s";
    for (const std::int32_t position : {0, 5, 8}) {
        PargenSettings settings;
        settings.canBaudRatePosition = position;
        EXPECT_EQ(validatePargen(settings), std::nullopt) << position;
    }
    for (const std::int32_t position : {-1, 9, 255}) {
        PargenSettings settings;
        settings.canBaudRatePosition = position;
        EXPECT_EQ(validatePargen(settings), rule) << position;
        settings.rs232 = true;
        settings.stopBitsPosition = 1;
        EXPECT_EQ(validatePargen(settings), "Error! when RS232 is select only 1 Stop bit can be used") << position;
    }
}

}  // namespace
}  // namespace tessaro
