#include <gtest/gtest.h>

#include <filesystem>

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"
#include "core/image/ConfigurationImage.h"
#include "support/ImageFields.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

using testing::bytesFromHex;
using testing::sameImage;

const std::string kFixtures = TESSARO_FIXTURES;

const char* const kPargen =
    "<GeneralParameter><BR_CAN>5</BR_CAN><ID_CAN>10</ID_CAN><Select_Ser>0</Select_Ser><Baud_Ser>3</Baud_Ser>"
    "<Par_Ser>0</Par_Ser><Stop_Ser>0</Stop_Ser><TimeOut_Ser>1000</TimeOut_Ser><Delay_Ser>100</Delay_Ser>"
    "</GeneralParameter>";

std::string frameRow(const std::string& priority, const std::string& pgn, const std::string& erase = "N") {
    return "<row Priority=\"" + priority + "\" DataPage=\"0\" PGN=\"" + pgn + "\" Group=\"1\" Erase=\"" + erase +
           "\" Mnemonic=\"m\"/>";
}

std::string definitionRow(int frame, int index, int registerCount = 0) {
    std::string row = "<row NrFrameJ1939=\"" + std::to_string(frame) + "\" Device_ID=\"1\" Index=\"" +
                      std::to_string(index) + "\" Num_Reg=\"" + std::to_string(registerCount) + "\" Type_Reg=\"3\"";
    for (int k = 0; k < 8; ++k) row += " poscomp" + std::to_string(k) + "=\"" + std::to_string(k + 1) + "\"";
    return row + "/>";
}

std::string table(const char* root, const std::string& rows) {
    return "<" + std::string(root) + ">" + rows + "</" + root + ">";
}

// A project folder of its own, whose documents the test writes.
class Image : public ::testing::Test {
protected:
    void write(const char* name, const std::string& text) { folder.write(name, text); }
    std::string build() {
        BuildConfigurationImage(folder.path(), image);
        return std::string(image.inUse());
    }
    std::string failure() {
        try {
            build();
        } catch (const Error& error) {
            return error.what();
        }
        return "no failure";
    }

    testing::TemporaryFolder folder;
    ImageBuffer image;
};

TEST_F(Image, WorkedExampleIsBuiltAndWrittenByteForByte) {
    const std::string example = kFixtures + "/image/worked-example";
    for (const char* name : {"FrameJ1939.xml", "DefFrameJ1939.xml", "Group.xml", "pargen.xml"})
        std::filesystem::copy_file(example + "/" + name, folder.file(name));
    const ImageCounts counts = BuildConfigurationImage(folder.path(), image);
    WriteConfigurationImage(folder.path(), image);
    EXPECT_TRUE(sameImage(folder.read("bin/bank.bin"), readFile(example + "/bank.bin")));
    EXPECT_EQ(counts.frames, 1);
    EXPECT_EQ(counts.definitions, 1);
    EXPECT_EQ(counts.groups, 1);
}

TEST_F(Image, EmptyProjectGivesTheBareHeader) {
    EXPECT_TRUE(sameImage(bytesFromHex("10 00 00 00  10 00 00 00  10 00 00 00  10 00 00 00"), build()));
}

TEST_F(Image, WithoutFramesTheDefinitionsAreNotEvenOpened) {
    write("DefFrameJ1939.xml", "<DefFrame><row");  // not well-formed, and never read
    write("Group.xml", table("Group", "<row Cyclic_Time=\"100\" Mnemonic=\"\"/>"));
    EXPECT_TRUE(sameImage(bytesFromHex("10000000 10000000 10000000 12000000 6400"), build()));
    write("FrameJ1939.xml", "<Frames_J1939/>");
    EXPECT_TRUE(sameImage(bytesFromHex("10000000 10000000 10000000 12000000 6400"), build()));
}

TEST_F(Image, DefinitionsBeyondTheFrameCountAreDroppedAndNotCounted) {
    write("FrameJ1939.xml", table("Frames_J1939", frameRow("1", "1") + frameRow("2", "2")));
    write("DefFrameJ1939.xml",
          table("DefFrame", definitionRow(2, 0x20) + definitionRow(3, 0x30) + definitionRow(1, 0x10)));
    write("pargen.xml", kPargen);
    EXPECT_TRUE(sameImage(bytesFromHex("10000000 1C000000 38000000 38000000"
                                       "01 00 0100 01 00  02 00 0200 01 00"
                                       "02 01 2000 00 03 01 00000000000000"
                                       "01 01 1000 00 03 01 00000000000000"
                                       "05 0A 00 03 00 00 E803 6400 0200 0200 00"),
                          build()));
}

TEST_F(Image, PositionsAreReadOnlyUpToTheStoredRegisterCount) {
    write("FrameJ1939.xml", table("Frames_J1939", frameRow("0", "0")));
    const std::string onlyFirst =
        "<row NrFrameJ1939=\"1\" Device_ID=\"2\" Index=\"3\" Num_Reg=\"0\" Type_Reg=\"4\" poscomp0=\"18\"/>";
    // 256 keeps its low byte 0; -1 keeps FF, so all eight are read.
    const std::string wrapsToZero =
        "<row NrFrameJ1939=\"1\" Device_ID=\"2\" Index=\"3\" Num_Reg=\"256\" Type_Reg=\"4\" poscomp0=\"$21\"/>";
    write("DefFrameJ1939.xml",
          table("DefFrame", onlyFirst + definitionRow(1, 7, 7) + wrapsToZero + definitionRow(1, 9, -1)));
    EXPECT_TRUE(sameImage(bytesFromHex("10000000 16000000 4E000000 4E000000  00 00 0000 01 00"
                                       "01 02 0300 00 04 12 00 00 00 00 00 00 00"
                                       "01 01 0700 07 03 01 02 03 04 05 06 07 08"
                                       "01 02 0300 00 04 21 00 00 00 00 00 00 00"
                                       "01 01 0900 FF 03 01 02 03 04 05 06 07 08"),
                          build()));
    write("DefFrameJ1939.xml", table("DefFrame",
                                     "<row NrFrameJ1939=\"1\" Device_ID=\"2\" Index=\"3\" Num_Reg=\"1\" Type_Reg=\"4\" "
                                     "poscomp0=\"1\"/>"));
    EXPECT_EQ(
        failure(),
        "Could not convert variant of type (Null) into type (Integer)\nDefFrameJ1939.xml, row 1, attribute poscomp1");
}

TEST_F(Image, EraseIsSetOnlyByY) {
    const struct {
        const char* erase;
        const char* stored;
    } cases[] = {{"Y", "01"}, {"y", "01"}, {"N", "00"}, {"YES", "00"}, {"", "00"}, {" Y", "00"}, {"n", "00"}};
    for (const auto& c : cases) {
        write("FrameJ1939.xml", table("Frames_J1939", frameRow("6", "65262", c.erase)));
        EXPECT_TRUE(sameImage(
            bytesFromHex(std::string("10000000 16000000 16000000 16000000 06 00 EEFE 01 ") + c.stored), build()))
            << "Erase \"" << c.erase << "\"";
    }
    write("FrameJ1939.xml", table("Frames_J1939", "<row Priority=\"6\" DataPage=\"0\" PGN=\"1\" Group=\"1\"/>"));
    EXPECT_EQ(failure(),
              "Could not convert variant of type (Null) into type (String)\nFrameJ1939.xml, row 1, attribute Erase");
}

TEST_F(Image, ValuesKeepTheirLowOrderBitsWithoutRangeChecks) {
    const struct {
        const char* priority;
        const char* pgn;
        const char* stored;
    } cases[] = {
        {"6", "65262", "06 00 EEFE"},   {"-1", "70000", "FF 00 7011"}, {"0x106", "0xFEF1", "06 00 F1FE"},
        {" 3", "$1FEEE", "03 00 EEFE"}, {"+7", "-2", "07 00 FEFF"},    {"X0000000F", "x00010", "0F 00 1000"},
    };
    for (const auto& c : cases) {
        write("FrameJ1939.xml", table("Frames_J1939", frameRow(c.priority, c.pgn)));
        EXPECT_TRUE(
            sameImage(bytesFromHex(std::string("10000000 16000000 16000000 16000000") + c.stored + "01 00"), build()))
            << c.priority << " " << c.pgn;
    }
}

TEST_F(Image, GeneralParametersAndTheirCounts) {
    write(
        "pargen.xml",
        "<?xml version=\"1.0\"?>\n<GeneralParameter>\n  <Delay_Ser>0x1F4</Delay_Ser>\n  <TimeOut_Ser>1000</TimeOut_Ser>"
        "<Extra>x</Extra><Stop_Ser>2</Stop_Ser><Par_Ser>1</Par_Ser><Baud_Ser>7</Baud_Ser><Select_Ser>1</Select_Ser>"
        "<ID_CAN>300</ID_CAN><BR_CAN>-1</BR_CAN><BR_CAN>abc</BR_CAN>\n</GeneralParameter>");
    EXPECT_TRUE(sameImage(bytesFromHex("10000000 10000000 10000000 10000000 FF 2C 01 07 01 02 E803 F401 0000 0000 00"),
                          build()));
}

TEST_F(Image, WithoutPargenTheImageEndsAtTheLastHeaderWord) {
    write("FrameJ1939.xml", table("Frames_J1939", frameRow("6", "65262")));
    write("Group.xml", table("Group", "<row Cyclic_Time=\"1000\" Mnemonic=\"\"/>"));
    const std::string built = build();
    EXPECT_EQ(built.size(), 24u);
    EXPECT_EQ(static_cast<unsigned char>(built[12]), 24);
}

TEST_F(Image, OtherNamesDeclarationsCommentsAndIndentationReadTheSame) {
    write("FrameJ1939.xml",
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- frames -->\n<Other>\n  <frame "
          "Mnemonic=\"a &amp; b\" Erase=\"Y\" Group=\"0\" PGN=\"61444\" DataPage=\"1\" "
          "Priority=\"3\"/>\n  <!-- no row -->\n</Other>\n");
    EXPECT_TRUE(sameImage(bytesFromHex("10000000 16000000 16000000 16000000 03 01 04F0 00 01"), build()));
}

// The failure's own text, then where it came from: the document, and the row and attribute or the element.
TEST_F(Image, ConversionFailuresStopTheBuildKeepTheLengthInUseAndSayWhere) {
    write("Group.xml", table("Group", "<row Cyclic_Time=\"100\" Mnemonic=\"\"/>"));
    build();
    const std::string pargen = readFile(kFixtures + "/image/worked-example/pargen.xml");
    const struct {
        const char* name;
        std::string text;
        std::string message;
    } cases[] = {
        {"Group.xml", table("Group", "<row Cyclic_Time=\"abc\" Mnemonic=\"\"/>"),
         "'abc' is not a valid integer value\nGroup.xml, row 1, attribute Cyclic_Time"},
        {"Group.xml", table("Group", "<row Cyclic_Time=\"1\"/><row Cyclic_Time=\"12 \"/>"),
         "'12 ' is not a valid integer value\nGroup.xml, row 2, attribute Cyclic_Time"},
        {"Group.xml", table("Group", "<row Mnemonic=\"x\"/>"),
         "Could not convert variant of type (Null) into type (Integer)\nGroup.xml, row 1, attribute Cyclic_Time"},
        {"Group.xml", table("Group", "text"),
         "Could not convert variant of type (Null) into type (Integer)\nGroup.xml, row 1, attribute Cyclic_Time"},
        {"Group.xml", table("Group", "<row Cyclic_Time=\"0x123456789\"/>"),
         "'0x123456789' is not a valid integer value\nGroup.xml, row 1, attribute Cyclic_Time"},
        {"Group.xml", "<Group><row Cyclic_Time=\"1\">", "Start-end tags mismatch at offset 27\nGroup.xml"},
        {"pargen.xml", std::string(pargen).replace(pargen.find("1000</TimeOut_Ser>"), 4, "1 s"),
         "'1 s' is not a valid integer value\npargen.xml, element TimeOut_Ser"},
        {"FrameJ1939.xml", table("Frames_J1939", frameRow("6", "1") + frameRow("6", "FEF1")),
         "'FEF1' is not a valid integer value\nFrameJ1939.xml, row 2, attribute PGN"},
    };
    for (const auto& c : cases) {
        write("Group.xml", table("Group", "<row Cyclic_Time=\"100\" Mnemonic=\"\"/>"));
        std::filesystem::remove(folder.file("pargen.xml"));
        std::filesystem::remove(folder.file("FrameJ1939.xml"));
        write(c.name, c.text);
        EXPECT_EQ(failure(), c.message) << c.text;
        EXPECT_EQ(image.length, 18);
    }
}

TEST_F(Image, FrameNumberBelowOneStopsTheBuildNamingTheRow) {
    write("FrameJ1939.xml", table("Frames_J1939", frameRow("1", "1")));
    write("DefFrameJ1939.xml", table("DefFrame", definitionRow(1, 1) + definitionRow(0, 2)));
    EXPECT_EQ(failure(), "Error in row 2 of DefFrameJ1939.xml: the frame number 0 is below 1");
    write("DefFrameJ1939.xml", table("DefFrame", definitionRow(-3, 2)));
    EXPECT_EQ(failure(), "Error in row 1 of DefFrameJ1939.xml: the frame number -3 is below 1");
}

TEST_F(Image, PargenWithoutWhatTheBuilderReadsStopsTheBuild) {
    write("pargen.xml", "<Settings><BR_CAN>5</BR_CAN></Settings>");
    EXPECT_EQ(failure(), "pargen.xml has no GeneralParameter element");
    for (const char* element :
         {"BR_CAN", "ID_CAN", "Select_Ser", "Baud_Ser", "Par_Ser", "Stop_Ser", "TimeOut_Ser", "Delay_Ser"}) {
        std::string text = kPargen;
        const std::string open = std::string("<") + element + ">";
        text.replace(text.find(open), open.size(), "<Other>");
        const std::string close = std::string("</") + element + ">";
        text.replace(text.find(close), close.size(), "</Other>");
        write("pargen.xml", text);
        EXPECT_EQ(failure(), std::string("pargen.xml has no ") + element + " element in GeneralParameter");
    }
}

// 250 frames, 10 groups and pargen.xml leave room for 7032 definitions of 14 bytes.
TEST_F(Image, TheLargestProjectFitsAndOneDefinitionMoreIsRefused) {
    std::string frames, groups;
    for (int i = 0; i < 250; ++i) frames += frameRow("6", std::to_string(i));
    for (int i = 0; i < 10; ++i) groups += "<row Cyclic_Time=\"100\" Mnemonic=\"\"/>";
    write("FrameJ1939.xml", table("Frames_J1939", frames));
    write("Group.xml", table("Group", groups));
    write("pargen.xml", kPargen);
    std::string definitions;
    for (int i = 0; i < 7032; ++i) definitions += definitionRow(i % 250 + 1, i, 7);
    write("DefFrameJ1939.xml", table("DefFrame", definitions));
    EXPECT_EQ(build().size(), 99999u);

    write("DefFrameJ1939.xml", table("DefFrame", definitions + definitionRow(1, 1)));
    EXPECT_EQ(failure(), "The configuration image needs 100013 bytes, more than the limit of 100004 bytes");
    EXPECT_EQ(image.length, 99999);
    write("DefFrameJ1939.xml", table("DefFrame", definitions + definitionRow(1, 1) + definitionRow(251, 1)));
    EXPECT_EQ(failure(), "The configuration image needs 100013 bytes, more than the limit of 100004 bytes");
    std::filesystem::remove(folder.file("pargen.xml"));
    EXPECT_EQ(build().size(), 99998u);
    // Past the buffer's end inside the definitions: the groups behind them still count.
    write("DefFrameJ1939.xml",
          table("DefFrame", definitions + definitionRow(1, 1) + definitionRow(1, 2) + definitionRow(1, 3)));
    EXPECT_EQ(failure(), "The configuration image needs 100026 bytes, more than the limit of 100004 bytes");
}

TEST_F(Image, EachBuildRewritesFromTheStartAndOnlyTheLengthInUseIsWritten) {
    write("FrameJ1939.xml", table("Frames_J1939", frameRow("1", "1") + frameRow("2", "2")));
    write("pargen.xml", kPargen);
    build();
    std::filesystem::remove(folder.file("FrameJ1939.xml"));
    std::filesystem::remove(folder.file("pargen.xml"));
    build();
    WriteConfigurationImage(folder.path(), image);
    EXPECT_TRUE(sameImage(bytesFromHex("10000000 10000000 10000000 10000000"), folder.read("bin/bank.bin")));
}

TEST_F(Image, TheWriterCreatesBinAndReportsWhatItCannotWrite) {
    write("Group.xml", table("Group", "<row Cyclic_Time=\"100\" Mnemonic=\"\"/>"));
    build();
    WriteConfigurationImage(folder.path(), image);
    EXPECT_EQ(folder.read("bin/bank.bin").size(), 18u);

    const struct {
        const char* blocker;
        std::string message;
    } cases[] = {
        {"bin", "Cannot create folder \"" + folder.file("bin") + "\". "},
        {"bin/bank.bin/x", "Cannot create file \"" + folder.file("bin/bank.bin") + "\". "},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(folder.file("bin"));
        write(c.blocker, "in the way");
        try {
            WriteConfigurationImage(folder.path(), image);
            ADD_FAILURE() << "no failure";
        } catch (const Error& error) {
            EXPECT_EQ(std::string(error.what()).rfind(c.message, 0), 0u) << error.what();
        }
        EXPECT_EQ(folder.read(c.blocker), "in the way");
    }

    try {
        WriteConfigurationImage(folder.file("gone"), image);
        ADD_FAILURE() << "no failure";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()).rfind("Cannot create folder \"" + folder.file("gone/bin") + "\".", 0), 0u)
            << error.what();
    }
}

TEST(ImageFields, NameTheFieldOfAnOffset) {
    const std::string example = readFile(kFixtures + "/image/worked-example/bank.bin");
    const struct {
        std::size_t offset;
        const char* name;
    } cases[] = {{5, "header word at 4"},
                 {19, "frame 1 PGN"},
                 {21, "frame 1 Erase"},
                 {22, "definition 1 NrFrameJ1939"},
                 {30, "definition 1 position byte 2"},
                 {37, "group 1 Cyclic_Time"},
                 {45, "general parameters TimeOut_Ser"},
                 {52, "general parameters group count"}};
    for (const auto& c : cases) EXPECT_EQ(testing::imageFieldAt(example, c.offset), c.name);
    std::string changed = example;
    changed[19] = 0;
    EXPECT_EQ(std::string(sameImage(example, changed).message()),
              "images differ first at offset 19 (frame 1 PGN): expected 0xFE, got 0x00");
}

}  // namespace
}  // namespace tessaro
