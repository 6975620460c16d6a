#include <gtest/gtest.h>

#include <filesystem>

#include "core/documents/Errors.h"
#include "core/editors/FrameDefinitions.h"
#include "core/editors/RowRules.h"
#include "support/DefinitionRows.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

using Positions = std::array<std::uint8_t, kRegisterSlots>;
using Selectors = std::array<int, kRegisterSlots>;
using testing::definitionRow;
using testing::frameRow;
using testing::positionAttributes;
using testing::threeFrames;
using testing::writtenRow;

const std::vector<std::string> kNoMessage;

class FrameDefinitionsFile : public ::testing::Test {
protected:
    std::vector<std::string> load(const std::string& frames, const std::string& definitions) {
        if (!frames.empty()) folder.write("FrameJ1939.xml", frames);
        if (!definitions.empty()) folder.write("DefFrameJ1939.xml", definitions);
        ShowRead<FrameDefinitions> read =
            readFrameDefinitions(folder.file("FrameJ1939.xml"), folder.file("DefFrameJ1939.xml"));
        list = std::move(read.content);
        return read.failures;
    }
    std::vector<std::size_t> definitionCounts() const {
        std::vector<std::size_t> counts;
        for (std::size_t frame = 0; frame < list.frameCount(); ++frame)
            counts.push_back(list.frame(frame).definitions.size());
        return counts;
    }

    testing::TemporaryFolder folder;
    FrameDefinitions list;
};

TEST(FrameDefinitionPacking, ChosenSelectorsOfRegistersInUseMakeThePositionBytes) {
    DefinitionControls controls;
    controls.index = " 0100";
    controls.deviceId = "5";
    controls.numberOfPointsPosition = 1;
    controls.kindPosition = 1;
    controls.high = Selectors{1, 0, 7, 8, 0, 0, 0, 0};
    controls.low = Selectors{2, 3, 1, 8, 0, 0, 0, 0};
    const TClIndMB packed = packDefinition(controls);
    EXPECT_EQ(packed.index, " 0100");
    EXPECT_EQ(packed.deviceId, "5");
    EXPECT_EQ(packed.registerCount, 1);
    EXPECT_EQ(packed.registerKind, 1);
    EXPECT_EQ(packed.positions, (Positions{18, 3, 0, 0, 0, 0, 0, 0})) << "registers 3 and 4 are not in use";

    controls.numberOfPointsPosition = 7;
    EXPECT_EQ(packDefinition(controls).positions, (Positions{18, 3, 0x71, 0x88, 0, 0, 0, 0}));
}

TEST(FrameDefinitionPacking, UnpackShowsRegistersInUseOnlyAndBeyondB8AsB8) {
    struct Case {
        std::uint8_t count;
        Positions positions;
        Selectors high;
        Selectors low;
    };
    const Case cases[] = {
        {0, {0x12, 0x34, 0, 0, 0, 0, 0, 0}, {1, 0, 0, 0, 0, 0, 0, 0}, {2, 0, 0, 0, 0, 0, 0, 0}},
        {2, {0x03, 0x80, 0x9F, 0x55, 0, 0, 0, 0}, {0, 8, 8, 0, 0, 0, 0, 0}, {3, 0, 8, 0, 0, 0, 0, 0}},
        {7, {1, 2, 3, 4, 5, 6, 7, 0x88}, {0, 0, 0, 0, 0, 0, 0, 8}, {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const Case& c : cases) {
        TClIndMB definition;
        definition.registerCount = c.count;
        definition.positions = c.positions;
        const DefinitionControls shown = unpackDefinition(definition);
        EXPECT_EQ(shown.numberOfPointsPosition, c.count) << int(c.count);
        EXPECT_EQ(shown.high, c.high) << int(c.count);
        EXPECT_EQ(shown.low, c.low) << int(c.count);
    }
}

TEST(FrameDefinitionPacking, CountAndKindOutsideTheListsHaveNoChoiceAndPackBackUnchanged) {
    TClIndMB definition;
    definition.index = "7";
    definition.deviceId = "9";
    definition.registerCount = 9;
    definition.registerKind = 255;
    definition.positions = Positions{1, 2, 3, 4, 5, 6, 7, 8};
    const DefinitionControls shown = unpackDefinition(definition);
    EXPECT_EQ(shown.numberOfPointsPosition, -1);
    EXPECT_EQ(shown.kindPosition, -1);
    EXPECT_EQ(packDefinition(shown), definition);
}

TEST(FrameDefinitionPacking, ValidateChecksTheIndexFirst) {
    const std::string index = "Index Modbus must be between 0 and 65535";
    const std::string device = "Device ID must be between 1 and 250";
    struct Case {
        const char* index;
        const char* deviceId;
        std::optional<std::string> message;
    };
    const Case cases[] = {
        {"65535", "250", std::nullopt},
        {"0", "1", std::nullopt},
        {"0xFFFF", " 7", std::nullopt},
        {"65536", "5", index},
        {"-1", "5", index},
        {"abc", "5", index},
        {"", "5", index},
        {"12 ", "5", index},
        {"5", "0", device},
        {"5", "251", device},
        {"5", "", device},
        {"65536", "0", index},
    };
    for (const Case& c : cases)
        EXPECT_EQ(checkDefinition(c.index, c.deviceId), c.message) << c.index << " / " << c.deviceId;
}

TEST_F(FrameDefinitionsFile, FrameLinesAndDefinitionsGroupedByFrameWithRowsBeyondTheFramesSkipped) {
    const std::string rows = definitionRow(3, "1", "30", 0, 3) + definitionRow(1, "2", " 300", 0, 4) +
                             definitionRow(5, "3", "50", 0, 3) + definitionRow(2, "4", "0x10", 0, 3) +
                             definitionRow(1, "5", "11", 0, 3);
    EXPECT_EQ(load(threeFrames(), "<Other>" + rows + "</Other>"), kNoMessage);
    EXPECT_EQ(list.frameLines(), (std::vector<std::string>{"6\t0\t0xFEF1", " 3\t1\t61444", "7\t0\t$FEEE"}));
    EXPECT_EQ(list.frame(2).frameNumber, 3);
    EXPECT_EQ(definitionCounts(), (std::vector<std::size_t>{2, 1, 1}));
    EXPECT_EQ(list.frame(0).definitions[0].index, " 300");
    EXPECT_EQ(list.frame(0).definitions[1].index, "11");
    EXPECT_EQ(list.documentText(), "<DefFrame>" + writtenRow(1, "2", " 300", 0, 4) + writtenRow(1, "5", "11", 0, 3) +
                                       writtenRow(2, "4", "0x10", 0, 3) + writtenRow(3, "1", "30", 0, 3) +
                                       "</DefFrame>");
}

TEST_F(FrameDefinitionsFile, PositionsBeyondTheRegisterCountAreNotRead) {
    const std::string rows =
        definitionRow(1, "1", "1", 0, 3, " poscomp0=\"$12\" poscomp1=\"zz\"") +
        definitionRow(1, "1", "2", 2, 3, " poscomp0=\"1\" poscomp1=\"2\" poscomp2=\"0x88\" poscomp3=\"4\"") +
        definitionRow(1, "1", "3", -1, 3, positionAttributes({1, 2, 3, 4, 5, 6, 7, 0x88}));
    EXPECT_EQ(load(threeFrames(), "<DefFrame>" + rows + "</DefFrame>"), kNoMessage);
    const auto& definitions = list.frame(0).definitions;
    ASSERT_EQ(definitions.size(), 3u);
    EXPECT_EQ(definitions[0].positions, (Positions{0x12, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(definitions[1].positions, (Positions{1, 2, 0x88, 0, 0, 0, 0, 0}));
    EXPECT_EQ(definitions[2].registerCount, 255) << "low 8 bits of -1";
    EXPECT_EQ(definitions[2].positions, (Positions{1, 2, 3, 4, 5, 6, 7, 0x88}));
}

TEST_F(FrameDefinitionsFile, NumbersAreTheirLowBytesAndTypeRegGoesBackAsItCame) {
    const std::string rows = definitionRow(1, "1", "1", 256 + 1, 2, positionAttributes({0x12, 0x34})) +
                             definitionRow(1, "1", "2", 1, 4, " poscomp0=\"274\" poscomp1=\"-1\"");
    EXPECT_EQ(load(threeFrames(), "<DefFrame>" + rows + "</DefFrame>"), kNoMessage);
    const auto& definitions = list.frame(0).definitions;
    EXPECT_EQ(definitions[0].registerCount, 1);
    EXPECT_EQ(definitions[0].registerKind, 255);
    EXPECT_EQ(definitions[1].registerKind, 1);
    EXPECT_EQ(definitions[1].positions, (Positions{18, 255, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(list.documentText(), "<DefFrame>" + writtenRow(1, "1", "1", 1, 2, {0x12, 0x34}) +
                                       writtenRow(1, "1", "2", 1, 4, {18, 255}) + "</DefFrame>");
}

TEST_F(FrameDefinitionsFile, AttributesAreFoundByTheirWholeNameInAnyOrder) {
    const std::string row =
        "<row poscomp1=\"3\" Type_Reg=\"4\" IndexX=\"9\" Num_Reg=\"1\" Inde=\"8\" Index=\"100\" poscomp0=\"18\" "
        "Device_ID=\"5\" poscomp=\"7\" NrFrameJ1939=\"2\" Extra=\"\"/>";
    EXPECT_EQ(load(threeFrames(), "<DefFrame>" + row + "</DefFrame>"), kNoMessage);
    EXPECT_EQ(list.documentText(), "<DefFrame>" + writtenRow(2, "5", "100", 1, 4, {18, 3}) + "</DefFrame>");
}

TEST_F(FrameDefinitionsFile, FailingFrameTableKeepsTheFramesReadBefore) {
    const std::string frames = "<Frames_J1939>" + frameRow("6", "0", "1") + frameRow("6", "1", "2") +
                               "<row Priority=\"1\" DataPage=\"0\"/>" + frameRow("6", "0", "4") + "</Frames_J1939>";
    const std::string definitions =
        "<DefFrame>" + definitionRow(2, "1", "1", 0, 3) + definitionRow(3, "1", "2", 0, 3) + "</DefFrame>";
    EXPECT_EQ(load(frames, definitions),
              std::vector<std::string>{"Error in reading file PDO XML\nFrameJ1939.xml, row 3, attribute PGN"});
    EXPECT_EQ(list.frameLines(), (std::vector<std::string>{"6\t0\t1", "6\t1\t2"}));
    EXPECT_EQ(definitionCounts(), (std::vector<std::size_t>{0, 1})) << "read against the two frames";
}

TEST_F(FrameDefinitionsFile, UnreadableDocumentsShowBothMessagesInOrder) {
    EXPECT_EQ(load("<Frames_J1939><row", "<DefFrame>"),
              (std::vector<std::string>{"Error in reading file PDO XML\nFrameJ1939.xml",
                                        "Error in reading file SDOPDO XML\nDefFrameJ1939.xml"}));
    EXPECT_EQ(list.frameCount(), 0u);
    EXPECT_EQ(list.documentText(), "<DefFrame/>");
}

TEST_F(FrameDefinitionsFile, EachDefinitionFailureStopsTheReadingAndKeepsWhatCameBefore) {
    const std::string good = definitionRow(1, "1", "1", 0, 3);
    // The failing row is row 2; the message names the attribute the reading stopped at.
    const struct {
        std::string row;
        const char* attribute;
    } cases[] = {
        {definitionRow(0, "1", "1", 0, 3), "NrFrameJ1939"},
        {definitionRow(-4, "1", "1", 0, 3), "NrFrameJ1939"},
        {"<row NrFrameJ1939=\"1x\" Device_ID=\"1\" Index=\"1\" Num_Reg=\"0\" Type_Reg=\"3\" poscomp0=\"0\"/>",
         "NrFrameJ1939"},
        {"<row Device_ID=\"1\" Index=\"1\" Num_Reg=\"0\" Type_Reg=\"3\" poscomp0=\"0\"/>", "NrFrameJ1939"},
        {"<row NrFrameJ1939=\"1\" Index=\"1\" Num_Reg=\"0\" Type_Reg=\"3\" poscomp0=\"0\"/>", "Device_ID"},
        {"<row NrFrameJ1939=\"1\" Device_ID=\"1\" Num_Reg=\"0\" Type_Reg=\"3\" poscomp0=\"0\"/>", "Index"},
        {"<row NrFrameJ1939=\"1\" Device_ID=\"1\" Index=\"1\" Num_Reg=\"\" Type_Reg=\"3\" poscomp0=\"0\"/>", "Num_Reg"},
        {"<row NrFrameJ1939=\"1\" Device_ID=\"1\" Index=\"1\" Num_Reg=\"0\" poscomp0=\"0\"/>", "Type_Reg"},
        {definitionRow(1, "1", "1", 1, 3, " poscomp0=\"0\""), "poscomp1"},
        {definitionRow(1, "1", "1", 0, 3, " poscomp0=\"16 \""), "poscomp0"},
        {"text", "NrFrameJ1939"},
    };
    for (const auto& failing : cases) {
        EXPECT_EQ(load(threeFrames(), "<DefFrame>" + good + failing.row + good + "</DefFrame>"),
                  std::vector<std::string>{"Error in reading file SDOPDO XML\nDefFrameJ1939.xml, row 2, attribute " +
                                           std::string(failing.attribute)})
            << failing.row;
        EXPECT_EQ(definitionCounts(), (std::vector<std::size_t>{1, 0, 0})) << failing.row;
    }
}

TEST_F(FrameDefinitionsFile, MissingDocumentsAreNoFailure) {
    EXPECT_EQ(load("", ""), kNoMessage);
    EXPECT_EQ(list.frameCount(), 0u);
    EXPECT_EQ(load("", "<DefFrame>" + definitionRow(1, "1", "1", 0, 3) + "</DefFrame>"), kNoMessage)
        << "without frames every row is beyond the frame count";
    EXPECT_EQ(list.documentText(), "<DefFrame/>");
    std::filesystem::remove(folder.file("DefFrameJ1939.xml"));
    EXPECT_EQ(load(threeFrames(), ""), kNoMessage);
    EXPECT_EQ(definitionCounts(), (std::vector<std::size_t>{0, 0, 0}));
}

TEST_F(FrameDefinitionsFile, ExportIsOneLinePerDefinitionInFrameOrder) {
    const std::string rows =
        definitionRow(2, "1", "200", 0, 3) + definitionRow(1, "1", "100", 0, 3) + definitionRow(2, "1", "300", 0, 3);
    load(threeFrames(), "<DefFrame>" + rows + "</DefFrame>");
    list.exportTo(folder.file("DefFrame.csv"));
    EXPECT_EQ(folder.read("DefFrame.csv"), "100,1,\r\n200,2,\r\n300,2,\r\n");
}

TEST_F(FrameDefinitionsFile, SaveAndExportIntoAMissingFolderFailWithTheirPath) {
    load(threeFrames(), "");
    const std::string gone = folder.file("gone/DefFrameJ1939.xml");
    try {
        list.save(gone);
        FAIL() << "no error";
    } catch (const Error& failure) {
        EXPECT_NE(std::string(failure.what()).find(gone), std::string::npos) << failure.what();
    }
    EXPECT_THROW(list.exportTo(folder.file("gone/DefFrame.csv")), Error);
}

}  // namespace
}  // namespace tessaro
