#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "core/documents/Errors.h"
#include "core/map/MapFormats.h"
#include "core/map/ProjectMap.h"
#include "support/CliRun.h"
#include "support/MapProject.h"

namespace tessaro {
namespace {

using testing::MapDefinition;
using testing::MapFrame;
using testing::TemporaryFolder;
using testing::writeMapProject;

std::vector<std::string> sourceTexts(const FrameByteMap& byte) {
    std::vector<std::string> texts;
    for (const RegisterHalfSource& source : byte.sources) texts.push_back(sourceText(source));
    return texts;
}

std::vector<std::string> findingTexts(const ProjectMap& map) {
    std::vector<std::string> texts;
    for (const MapFinding& finding : map.findings) texts.push_back(finding.message);
    return texts;
}

TEST(ProjectMap, MultiPointDefinitionNumbersItsRegistersFromTheIndex) {
    TemporaryFolder project;
    // Three holding registers from 100: R1 high B1 low B2, R2 low B3, R3 high B8.
    writeMapProject(project, {{"65262", "1"}}, {{1, 5, 100, {0x12, 0x03, 0x80}}}, {1000});
    const ProjectMap map = buildProjectMap(project.path());
    ASSERT_EQ(map.frames.size(), 1u);
    const FrameMap& frame = map.frames[0];
    const std::vector<std::vector<std::string>> expected = {
        {"slave 5 holding 100 high"}, {"slave 5 holding 100 low"}, {"slave 5 holding 101 low"}, {}, {}, {}, {},
        {"slave 5 holding 102 high"}};
    for (std::size_t b = 0; b < 8; ++b) EXPECT_EQ(sourceTexts(frame.bytes[b]), expected[b]) << "B" << b + 1;
    EXPECT_EQ(frame.bytes[0].sources[0].definitionRow, 1u);
    EXPECT_EQ(frame.bytes[7].sources[0].position, 3);
    EXPECT_TRUE(map.findings.empty());
}

TEST(ProjectMap, ByteFedByTwoDefinitionsIsMarkedAndFound) {
    TemporaryFolder project;
    writeMapProject(project, {{"61444", "1"}, {"61443", "1"}},
                    {{1, 1, 0, {0x12}}, {2, 1, 10, {0x01}}, {1, 2, 7, {0x20}, 4}}, {100});
    const ProjectMap map = buildProjectMap(project.path());
    const FrameByteMap& b2 = map.frames[0].bytes[1];
    EXPECT_TRUE(b2.fedTwice());
    EXPECT_EQ(sourceTexts(b2), (std::vector<std::string>{"slave 1 holding 0 low", "slave 2 input 7 high"}));
    EXPECT_EQ(b2.sources[1].definitionRow, 3u);
    // B1 of frame 2 is fed once: the same byte number of another frame does not count.
    EXPECT_FALSE(map.frames[1].bytes[0].fedTwice());
    EXPECT_EQ(findingTexts(map), (std::vector<std::string>{"frame 1: B2 is fed by 2 register halves"}));
    EXPECT_NE(mapText(map).find("  B2: slave 1 holding 0 low, slave 2 input 7 high  (fed twice)\n"), std::string::npos);
}

TEST(ProjectMap, RangesMergeAcrossDefinitionsOfOneSlaveAndKind) {
    TemporaryFolder project;
    writeMapProject(project, {{"65262", "1"}, {"65263", "1"}},
                    {{1, 3, 104, {0x11, 0x22}},        // 104-105
                     {2, 3, 100, {0x33, 0, 0, 0x44}},  // 100-103: joins 104-105
                     {1, 3, 110, {0x55}},              // 110 stays apart
                     {2, 3, 105, {0x66, 0x77}},        // 105-106: overlaps, extends to 106
                     {1, 3, 100, {0x88}, 4},           // input registers are another list
                     {2, 4, 100, {0}}},
                    {500});
    const ProjectMap map = buildProjectMap(project.path());
    ASSERT_EQ(map.slaves.size(), 3u);
    const SlavePolling& holding = map.slaves[0];
    EXPECT_EQ(holding.slave, 3);
    EXPECT_EQ(holding.typeReg, 3);
    ASSERT_EQ(holding.ranges.size(), 2u);
    EXPECT_EQ(holding.ranges[0].first, 100);
    EXPECT_EQ(holding.ranges[0].last, 106);
    EXPECT_EQ(holding.ranges[1].first, 110);
    EXPECT_EQ(holding.ranges[1].last, 110);
    // Register 105 feeds B2 of frame 1 twice and B6 of frame 2 twice; the feeds come by register.
    std::vector<std::string> feeds;
    for (const RegisterFeed& feed : holding.feeds)
        feeds.push_back(std::to_string(feed.registerNumber) + ":" + std::to_string(feed.frame) + "B" +
                        std::to_string(feed.byte) + (feed.half == RegisterHalf::high ? "h" : "l"));
    EXPECT_EQ(feeds, (std::vector<std::string>{"100:2B3h", "100:2B3l", "103:2B4h", "103:2B4l", "104:1B1h", "104:1B1l",
                                               "105:1B2h", "105:1B2l", "105:2B6h", "105:2B6l", "106:2B7h", "106:2B7l",
                                               "110:1B5h", "110:1B5l"}));
    EXPECT_EQ(map.slaves[1].slave, 3);
    EXPECT_EQ(map.slaves[1].typeReg, 4);
    // A register that feeds no byte is polled all the same.
    EXPECT_EQ(map.slaves[2].slave, 4);
    ASSERT_EQ(map.slaves[2].ranges.size(), 1u);
    EXPECT_EQ(map.slaves[2].ranges[0].first, 100);
    EXPECT_TRUE(map.slaves[2].feeds.empty());
    EXPECT_NE(mapText(map).find("Slave 3, holding registers: 100-106, 110\n"), std::string::npos);
    // The dialog's polling list: a row per range, a line per register.
    const MapTable polling = pollingTable(map);
    ASSERT_EQ(polling.rows.size(), 4u);
    EXPECT_EQ(polling.rows[0], (std::vector<std::string>{"3", "holding", "100-106",
                                                         "100: F2 B3 high, F2 B3 low\n101: -\n102: -\n103: F2 B4 high, "
                                                         "F2 B4 low\n104: F1 B1 high, F1 B1 low\n105: F1 B2 high, F1 "
                                                         "B2 low, F2 B6 high, F2 B6 low\n106: F2 B7 high, F2 B7 low"}));
    EXPECT_EQ(polling.rows[3], (std::vector<std::string>{"4", "holding", "100", "100: -"}));
}

TEST(ProjectMap, DefinitionBeyondTheFrameCountIsDroppedAsTheBuilderDropsIt) {
    TemporaryFolder project;
    writeMapProject(project, {{"65262", "1"}, {"65263", "1"}},
                    {{2, 1, 0, {0x10}}, {3, 1, 50, {0x20}}, {1, 9, 7, {0x30}}}, {1000});
    const ProjectMap map = buildProjectMap(project.path());
    EXPECT_EQ(findingTexts(map),
              (std::vector<std::string>{"row 2 of DefFrameJ1939.xml: frame 3 does not exist (FrameJ1939.xml holds 2 "
                                        "frames): the definition is left out of the image"}));
    // The next definition keeps its own row number.
    ASSERT_EQ(map.frames[0].bytes[2].sources.size(), 1u);
    EXPECT_EQ(map.frames[0].bytes[2].sources[0].definitionRow, 3u);
    EXPECT_EQ(map.slaves.size(), 2u);  // slave 1 has register 0 only: 50 is not polled
    EXPECT_EQ(map.slaves[0].ranges.size(), 1u);
    EXPECT_EQ(map.slaves[0].ranges[0].last, 0);
}

TEST(ProjectMap, FrameNumbersBeyond255AreTheEightBitsTheImageKeeps) {
    TemporaryFolder project;
    writeMapProject(project, std::vector<MapFrame>(300, MapFrame{"65262", "1"}),
                    {{257, 1, 0, {0x10}}, {256, 2, 0, {0x10}}}, {1000});
    const ProjectMap map = buildProjectMap(project.path());
    EXPECT_EQ(sourceTexts(map.frames[0].bytes[0]), (std::vector<std::string>{"slave 1 holding 0 high"}));
    EXPECT_EQ(
        findingTexts(map),
        (std::vector<std::string>{
            "row 2 of DefFrameJ1939.xml: the image holds its frame number as 0, which names no frame (an entry "
            "keeps 8 bits of it)",
            "FrameJ1939.xml holds 300 frames: an image entry keeps 8 bits of its frame number, so the definitions "
            "of frame 256 feed no frame and those of frame 257 and above feed the frame 256 places earlier"}));
    // The gateway polls the register all the same.
    ASSERT_EQ(map.slaves.size(), 2u);
    EXPECT_TRUE(map.slaves[1].feeds.empty());
}

TEST(ProjectMap, PositionOutsideB1ToB8AndRegistersPast65535AreFindings) {
    TemporaryFolder project;
    writeMapProject(project, {{"65262", "1"}}, {{1, 1, 20, {0x91}}, {1, 2, 65534, {0x02, 0x03, 0x04}}}, {1000});
    const ProjectMap map = buildProjectMap(project.path());
    EXPECT_EQ(sourceTexts(map.frames[0].bytes[0]), (std::vector<std::string>{"slave 1 holding 20 low"}));
    EXPECT_EQ(sourceTexts(map.frames[0].bytes[3]), (std::vector<std::string>{"slave 2 holding 65536 low"}));
    EXPECT_EQ(findingTexts(map),
              (std::vector<std::string>{"row 1 of DefFrameJ1939.xml (frame 1): poscomp0 145 names "
                                        "the nibble 9 for the high half of register 20, which is "
                                        "no frame byte (B1 to B8)",
                                        "row 2 of DefFrameJ1939.xml: its registers 65534 to 65536 go "
                                        "past 65535, the last Modbus register"}));
}

TEST(ProjectMap, FindingTableNumbersEachFindingAndNamesTheFrameItIsAbout) {
    TemporaryFolder project;
    writeMapProject(project, {{"65262", "1"}, {"65263", "4"}},
                    {{1, 1, 20, {0x91}},                 // frame 1: no frame byte for the high half
                     {1, 2, 65534, {0x02, 0x03, 0x04}},  // frame 1: past the last register
                     {3, 1, 0, {0x10}},                  // no frame 3: of no frame
                     {2, 1, 0, {0x10}, 5},               // frame 2: an unknown kind
                     {2, 1, 0, {0x10}}},                 // frame 2: B1 fed twice
                    {1000});
    const MapTable table = findingTable(buildProjectMap(project.path()));
    EXPECT_EQ(table.titles, (std::vector<std::string>{"No.", "Frame", "Finding"}));
    const std::vector<std::vector<std::string>> expected = {
        {"1", "2", "frame 2: group 4 does not exist (Group.xml holds 1 group)"},
        {"2", "1",
         "row 1 of DefFrameJ1939.xml (frame 1): poscomp0 145 names the nibble 9 for the high half of register 20, "
         "which is no frame byte (B1 to B8)"},
        {"3", "1", "row 2 of DefFrameJ1939.xml: its registers 65534 to 65536 go past 65535, the last Modbus register"},
        {"4", "2", "row 4 of DefFrameJ1939.xml: Type_Reg 5 is neither 3 (holding registers) nor 4 (input registers)"},
        {"5", "2", "frame 2: B1 is fed by 2 register halves"},
        {"6", "",
         "row 3 of DefFrameJ1939.xml: frame 3 does not exist (FrameJ1939.xml holds 2 frames): the definition is left "
         "out of the image"}};
    EXPECT_EQ(table.rows, expected);
}

TEST(ProjectMap, PgnNamesAndGroups) {
    TemporaryFolder project;
    writeMapProject(project,
                    {{"65262", "2"},       // ET1, group 2
                     {"0xFEF1", "0"},      // CCVS, On Request
                     {"65280", "1"},       // proprietary: no name
                     {"65262", "1", "1"},  // data page 1: another parameter group
                     {"61444", "4"}},      // group 4 does not exist
                    {}, {100, 250});
    const ProjectMap map = buildProjectMap(project.path());
    ASSERT_EQ(map.frames.size(), 5u);
    EXPECT_EQ(wellKnownText(map.frames[0]), "ET1 Engine temperature 1");
    EXPECT_EQ(cycleText(map.frames[0]), "250 ms");
    EXPECT_EQ(wellKnownText(map.frames[1]), "CCVS Cruise control/vehicle speed");
    EXPECT_TRUE(map.frames[1].onRequest());
    EXPECT_FALSE(map.frames[1].cycleMs);
    EXPECT_EQ(cycleText(map.frames[1]), "On Request");
    EXPECT_EQ(map.frames[2].wellKnown, nullptr);
    EXPECT_EQ(map.frames[3].wellKnown, nullptr);
    EXPECT_EQ(cycleText(map.frames[4]), "group 4 missing");
    EXPECT_EQ(findingTexts(map),
              (std::vector<std::string>{"frame 5: group 4 does not exist (Group.xml holds 2 groups)"}));
    const std::string text = mapText(map);
    EXPECT_NE(text.find("Frame 2: PGN 65265 (0xFEF1) CCVS Cruise control/vehicle speed, priority 6, data page 0, "
                        "On Request, erase no\n"),
              std::string::npos);
    EXPECT_NE(text.find("Frame 3: PGN 65280 (0xFF00), priority 6, data page 0, group 1 (100 ms), erase no\n"),
              std::string::npos);
}

TEST(ProjectMap, UnreadableDocumentFailsAsTheBuildFails) {
    TemporaryFolder project;
    writeMapProject(project, {{"abc", "1"}}, {}, {1000});
    EXPECT_THROW(buildProjectMap(project.path()), Error);
    const testing::CliOutcome outcome = testing::runCli({"map", project.path()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("'abc' is not a valid integer value"), std::string::npos);
}

TEST(ProjectMap, KindsTheGatewayDoesNotKnowStandAmongTheOthersInTheListsAndTheirOwnRanges) {
    TemporaryFolder project;
    writeMapProject(project, {{"65262", "1"}},
                    {{1, 1, 10, {0x10}},     // holding 10 high on B1
                     {1, 2, 7, {0x10}, 5},   // Type_Reg 5, register 7
                     {1, 2, 8, {0x10}, 5},   // the same slave and kind: one range 7-8
                     {1, 2, 20, {0x10}, 6},  // another unknown kind: a list of its own
                     {1, 3, 30, {0x10}, 4}},
                    {1000});
    const ProjectMap map = buildProjectMap(project.path());
    const std::string text = mapText(map);
    EXPECT_NE(text.find("  B1: slave 1 holding 10 high, slave 2 Type_Reg 5 7 high, slave 2 Type_Reg 5 8 high, "
                        "slave 2 Type_Reg 6 20 high, slave 3 input 30 high  (fed twice)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Slave 2, Type_Reg 5 registers: 7-8\nSlave 2, Type_Reg 6 registers: 20\n"), std::string::npos)
        << text;
    EXPECT_NE(mapCsv(map).find(",B1,slave 1 holding 10 high; slave 2 Type_Reg 5 7 high; slave 2 Type_Reg 5 8 high; "
                               "slave 2 Type_Reg 6 20 high; slave 3 input 30 high,yes\r\n"),
              std::string::npos);
}

TEST(ProjectMap, CsvHasALinePerFrameByte) {
    TemporaryFolder project;
    writeMapProject(project, {{"65253", "1"}}, {{1, 1, 0, {0x12}}, {1, 2, 0, {0x10}}}, {1000});
    const std::string csv = mapCsv(buildProjectMap(project.path()));
    const std::string head = "1,65253,0xFEE5,HOURS,\"Engine hours, revolutions\",6,0,1,1000 ms,N,";
    EXPECT_EQ(csv, "frame,pgn,pgnHex,acronym,name,priority,dataPage,group,cycle,erase,byte,sources,fedTwice\r\n" +
                       head + "B1,slave 1 holding 0 high; slave 2 holding 0 high,yes\r\n" + head +
                       "B2,slave 1 holding 0 low,no\r\n" + head + "B3,,no\r\n" + head + "B4,,no\r\n" + head +
                       "B5,,no\r\n" + head + "B6,,no\r\n" + head + "B7,,no\r\n" + head + "B8,,no\r\n");
}

TEST(ProjectMap, FindingsAloneDoNotFailTheCommand) {
    TemporaryFolder project;
    writeMapProject(project, {{"65262", "1"}}, {{1, 1, 0, {0x11}}, {2, 1, 0, {0x11}}}, {1000});
    const testing::CliOutcome outcome = testing::runCli({"map", project.path()});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.out.find("Findings: 2\n  warning: frame 1: B1 is fed by 2 register halves\n"), std::string::npos);
    EXPECT_EQ(testing::runCli({"map", project.path(), "--json", "--csv"}).status, 2);
}

TEST(ProjectMap, JsonIsAcceptedByPythonAndHasTheKeys) {
    TemporaryFolder project;
    writeMapProject(project, {{"65262", "1"}, {"65280", "0"}}, {{1, 1, 100, {0x12, 0x30}}, {1, 2, 5, {0x10}, 4}},
                    {1000});
    const std::string json = project.write("map.json", testing::runCli({"map", project.path(), "--json"}).out);
    // The keys a reader of the map relies on, with their values for this project.
    const std::string check = project.write("check.py", R"(import json, sys
m = json.load(open(sys.argv[1]))
f = m["frames"][0]
assert (f["frame"], f["pgn"], f["acronym"], f["group"], f["cycleMs"]) == (1, 65262, "ET1", 1, 1000), f
assert [b["byte"] for b in f["bytes"]] == list(range(1, 9))
assert f["bytes"][0]["sources"] == [
    {"slave": 1, "kind": "holding", "typeReg": 3, "register": 100, "half": "high", "definitionRow": 1},
    {"slave": 2, "kind": "input", "typeReg": 4, "register": 5, "half": "high", "definitionRow": 2}]
assert f["bytes"][2]["sources"][0]["register"] == 101
g = m["frames"][1]
assert (g["acronym"], g["cycleMs"], g["onRequest"]) == (None, None, True), g
assert [(s["slave"], s["kind"], s["ranges"]) for s in m["slaves"]] == [(1, "holding", [[100, 101]]), (2, "input", [[5, 5]])]
assert m["findings"] == [{"severity": "warning", "message": "frame 1: B1 is fed by 2 register halves"}]
)");
    EXPECT_EQ(std::system(("python3 -m json.tool " + json + " >/dev/null").c_str()), 0);
    EXPECT_EQ(std::system(("python3 " + check + " " + json).c_str()), 0);
}

}  // namespace
}  // namespace tessaro

namespace tessaro {
namespace {

TEST(ProjectMap, CommandPrintsTheSameTextAndCsvInPiecesAsWhole) {
    // Some hundred kilobytes of text, so that it goes out in several pieces.
    TemporaryFolder project;
    std::vector<MapFrame> frames(20, MapFrame{"65262", "1"});
    std::vector<MapDefinition> definitions;
    for (int i = 0; i < 400; ++i)
        definitions.push_back({i % 20 + 1, i % 7 + 1, i * 8, {0x18, 0x27, 0x36, 0x45, 0x54, 0x63, 0x72, 0x81}});
    writeMapProject(project, frames, definitions, {1000});
    const ProjectMap map = buildProjectMap(project.path());
    const std::string text = mapText(map);
    ASSERT_GT(text.size(), 150000u);
    EXPECT_EQ(testing::runCli({"map", project.path()}).out, text);
    EXPECT_EQ(testing::runCli({"map", project.path(), "--csv"}).out, mapCsv(map));
}

}  // namespace
}  // namespace tessaro
