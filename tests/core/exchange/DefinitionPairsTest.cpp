// DefFrame.csv read back: each definition taken whole from those held by its frame and index.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/documents/AtomicFile.h"
#include "core/exchange/CsvText.h"
#include "core/exchange/DefinitionPairs.h"
#include "core/exchange/ProjectExchange.h"
#include "support/ErrorOf.h"
#include "support/RandomProject.h"
#include "support/TemporaryFolder.h"

namespace tessaro {

// A definition as the dialog shows it, for the failures' texts.
static void PrintTo(const TClIndMB& definition, std::ostream* out) {
    *out << "{index '" << definition.index << "', device '" << definition.deviceId << "', points "
         << int(definition.registerCount) + 1 << ", kind " << int(definition.registerKind) << ", positions";
    for (const std::uint8_t position : definition.positions) *out << ' ' << int(position);
    *out << '}';
}

namespace {

using testing::errorOf;

// A definition that differs from every other of the tests by its device and its bytes.
TClIndMB definition(const char* index, const char* deviceId, std::uint8_t points = 1, std::uint8_t kind = 0) {
    DefinitionControls controls;
    controls.index = index;
    controls.deviceId = deviceId;
    controls.numberOfPointsPosition = points - 1;
    controls.kindPosition = kind;
    for (std::size_t r = 0; r < points; ++r) {
        controls.high[r] = int(r % 8) + 1;
        controls.low[r] = deviceId[0] % 9;
    }
    return packDefinition(controls);
}

// Three frames: frame 1 holds A (100), B (101) and C (100 again), frame 2 nothing, frame 3 D (7).
FrameDefinitions held() {
    FrameDefinitions frames;
    frames.setFrames({"6\t0\t61444", "6\t0\t65262", "3\t0\t65265"});
    frames.frame(0).definitions = {definition("100", "5", 2), definition("101", "6", 1, 1), definition("100", "7", 8)};
    frames.frame(2).definitions = {definition(" 7", "250", 3)};
    return frames;
}

PairsReadBack readBack(const std::string& text, const FrameDefinitions& from = held()) {
    return readDefinitionPairs([&text](const RowVisitor& visit) { readCsvRows(text, visit); }, from);
}

std::string refusal(const std::string& text) {
    try {
        readBack(text);
    } catch (const ExchangeError& problem) {
        return problem.what();
    }
    return "accepted";
}

TEST(DefinitionPairs, TheExportsShapeIsToldFromTheTablesByItsFirstLine) {
    const struct {
        const char* text;
        bool pairs;
    } cases[] = {
        {"100,1,\r\n", true},
        {"100,1,200,1,\r\n", true},
        {" 7,3,\n", true},
        {"\xEF\xBB\xBF"
         "100,1,\r\n",
         true},
        {"\r\n100,1,\r\n", true},
        {"100;1;\r\n", true},
        {"", true},  // the Export of no definition
        {"100,x,\r\n", false},
        {"100\r\n", false},
        {"100,1,", false},  // cut short: the table's reading says so
        {"Frame,Device_ID,Index,Points,Type,R1_High,R1_Low\r\n", false},
        {"Index,Frame,Device_ID,Points,Type,R1_High,R1_Low\r\n", false},
        {"N,Cyclic_Time,Mnemonic\r\n1,100,a\r\n", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isDefinitionPairsText(c.text), c.pairs) << c.text;
}

TEST(DefinitionPairs, TheExportComesBackWhole) {
    const FrameDefinitions frames = held();
    EXPECT_EQ(frames.exportText(), "100,1,\r\n101,1,\r\n100,1,\r\n 7,3,\r\n");
    const PairsReadBack read = readBack(frames.exportText());
    ASSERT_EQ(read.definitions.size(), 3u);
    for (std::size_t f = 0; f < 3; ++f) EXPECT_EQ(read.definitions[f], frames.frame(f).definitions) << f;
    EXPECT_EQ(read.counts.whole, 4u);
    EXPECT_TRUE(read.counts.added.empty());
    EXPECT_TRUE(read.counts.unlisted.empty());
}

// Lines removed or moved remove or move definitions, each with all its fields; the k-th pair of one frame and index
// is the k-th held definition of them.
TEST(DefinitionPairs, EditedLinesMoveAndRemoveDefinitionsWithTheirFields) {
    const FrameDefinitions frames = held();
    const TClIndMB& a = frames.frame(0).definitions[0];
    const TClIndMB& b = frames.frame(0).definitions[1];
    const TClIndMB& c = frames.frame(0).definitions[2];
    const TClIndMB& d = frames.frame(2).definitions[0];
    const struct {
        const char* text;
        std::vector<std::vector<TClIndMB>> definitions;
        std::vector<DefinitionName> unlisted;
    } cases[] = {
        {" 7,3,\r\n101,1,\r\n100,1,\r\n100,1,\r\n", {{b, a, c}, {}, {d}}, {}},
        {"100,1,\r\n100,1,\r\n101,1,\r\n", {{a, c, b}, {}, {}}, {{3, " 7"}}},
        {"100,1,\r\n", {{a}, {}, {}}, {{1, "101"}, {1, "100"}, {3, " 7"}}},
        {"101,1,\n", {{b}, {}, {}}, {{1, "100"}, {1, "100"}, {3, " 7"}}},
        {"", {{}, {}, {}}, {{1, "100"}, {1, "101"}, {1, "100"}, {3, " 7"}}},
    };
    for (const auto& e : cases) {
        const PairsReadBack read = readBack(e.text);
        EXPECT_EQ(read.definitions, e.definitions) << e.text;
        EXPECT_EQ(read.counts.unlisted, e.unlisted) << e.text;
        EXPECT_TRUE(read.counts.added.empty()) << e.text;
    }
}

// A pair that matches no held definition is a new one with the index and frame it names, and the rest as the
// dialog's controls stand after a show.
TEST(DefinitionPairs, APairThatMatchesNoneIsANewDefinitionWithTheDefaults) {
    const FrameDefinitions frames = held();
    const PairsReadBack read = readBack("100,1,\r\n500,2,\r\n100,1,\r\n100,1,\r\n7,3,\r\n");
    TClIndMB fresh;
    fresh.index = "500";
    EXPECT_EQ(newDefinitionOf("500"), fresh);
    EXPECT_EQ(fresh.deviceId, "");
    EXPECT_EQ(fresh.registerCount, 0);
    EXPECT_EQ(fresh.registerKind, 0);
    EXPECT_EQ(fresh.positions, (std::array<std::uint8_t, kRegisterSlots>{}));
    const std::vector<std::vector<TClIndMB>> expected = {
        {frames.frame(0).definitions[0], frames.frame(0).definitions[2], newDefinitionOf("100")},
        {fresh},
        {newDefinitionOf("7")}};  // " 7" is held, "7" is another text
    EXPECT_EQ(read.definitions, expected);
    EXPECT_EQ(read.counts.whole, 2u);
    EXPECT_EQ(read.counts.added, (std::vector<DefinitionName>{{2, "500"}, {1, "100"}, {3, "7"}}));
    EXPECT_EQ(read.counts.unlisted, (std::vector<DefinitionName>{{1, "101"}, {3, " 7"}}));
}

TEST(DefinitionPairs, LinesOfSeveralPairsAndLinesThatRepeatTheLineBefore) {
    const FrameDefinitions frames = held();
    const TClIndMB& a = frames.frame(0).definitions[0];
    const TClIndMB& b = frames.frame(0).definitions[1];
    const TClIndMB& c = frames.frame(0).definitions[2];
    const TClIndMB& d = frames.frame(2).definitions[0];
    const struct {
        const char* text;
        std::vector<std::vector<TClIndMB>> definitions;
    } cases[] = {
        // A line per frame.
        {"100,1,101,1,100,1,\r\n 7,3,\r\n", {{a, b, c}, {}, {d}}},
        // Each line of a frame repeating the pairs before it.
        {"100,1,\r\n100,1,101,1,\r\n100,1,101,1,100,1,\r\n 7,3,\r\n", {{a, b, c}, {}, {d}}},
        // One pair a line, the same pair twice: two definitions.
        {"100,1,\r\n100,1,\r\n", {{a, c}, {}, {}}},
        // A line that does not begin with the whole line before it adds all its pairs.
        {"100,1,101,1,\r\n101,1,100,1,\r\n", {{a, b, newDefinitionOf("101"), c}, {}, {}}},
        // Without the comma after the last pair, and with empty cells after it.
        {"100,1\r\n 7,3,,,\r\n", {{a}, {}, {d}}},
    };
    for (const auto& e : cases) EXPECT_EQ(readBack(e.text).definitions, e.definitions) << e.text;
}

TEST(DefinitionPairs, EachRefusalSaysItsLineAndColumn) {
    const struct {
        const char* text;
        const char* what;
    } cases[] = {
        {"100,1,\r\n100,4,\r\n", "2:2: there is no frame 4: the frame table holds 3 frames"},
        {"100,1,\r\n100,0,\r\n", "2:2: there is no frame 0: the frame table holds 3 frames"},
        {"100,1,100,x,\r\n", "1:4: 'x' is not a valid integer value"},
        {"100,1,\r\n5,1,6\r\n",
         "2:4: the index '6' has no frame number after it: each line holds pairs INDEX,FRAME, "
         "as the Export of Define J1939 writes them"},
        {"100,1,\r\n70000,2,\r\n", "2:1: Index Modbus must be between 0 and 65535 (the cell holds '70000')"},
        {"100,1,\r\n,2,\r\n", "2:1: Index Modbus must be between 0 and 65535 (the cell holds '')"},
        {"100,1,\r\nabc,1,\r\n", "2:1: Index Modbus must be between 0 and 65535 (the cell holds 'abc')"},
    };
    for (const auto& c : cases) EXPECT_EQ(refusal(c.text), c.what) << c.text;
    // A held index is taken whole whatever it holds: it is the dialog's, not the file's.
    FrameDefinitions odd;
    odd.setFrames({"1\t0\t1"});
    odd.frame(0).definitions = {definition("abc", "1")};
    EXPECT_EQ(readBack("abc,1,\r\n", odd).definitions[0], odd.frame(0).definitions);
}

TEST(DefinitionPairs, WhatTheDialogAndTheCommandLineSay) {
    const PairsCounts whole{.whole = 4};
    EXPECT_EQ(pairsReadBackMessage("/p/DefFrame.csv", whole),
              "/p/DefFrame.csv names each definition by its index and frame only: 4 definitions came back whole from "
              "those shown.");
    EXPECT_EQ(pairsReadBackLine("/p/DefFrame.csv", whole), "/p/DefFrame.csv: 4 definitions came back whole");

    const PairsCounts edited{.whole = 1, .added = {{2, "500"}}, .unlisted = {{1, "101"}, {3, " 7"}}};
    EXPECT_EQ(pairsReadBackMessage("d.csv", edited),
              "d.csv names each definition by its index and frame only: 1 definition came back whole from those "
              "shown, and 1 definition is new (index 500 of frame 2) with no Device ID, 1 point, Holding Register, "
              "no frame bytes.\n"
              "Give the new definition its Device ID before Update Device.\n"
              "OK drops the 2 definitions it does not list (index 101 of frame 1 and index  7 of frame 3), after "
              "asking.");
    EXPECT_EQ(pairsReadBackLine("d.csv", edited),
              "d.csv: 1 definition came back whole, 1 definition is new (index 500 of frame 2: no Device ID, 1 "
              "point, Holding Register, no frame bytes), 2 definitions not listed were dropped (index 101 of frame 1 "
              "and index  7 of frame 3)");

    const PairsCounts fresh{.added = {{1, "1"}, {1, "2"}, {1, "3"}, {1, "4"}, {1, "5"}, {1, "6"}}};
    EXPECT_EQ(pairsReadBackMessage("d.csv", fresh),
              "d.csv names each definition by its index and frame only: no definition came back whole from those "
              "shown, and 6 definitions are new (index 1 of frame 1, index 2 of frame 1, index 3 of frame 1, index 4 "
              "of frame 1 and 2 more) with no Device ID, 1 point, Holding Register, no frame bytes.\n"
              "Give the new definitions their Device IDs before Update Device.");
}

}  // namespace
}  // namespace tessaro

namespace tessaro {
namespace {

const std::string kTwoFrames =
    "<Frames_J1939><row Priority=\"1\" DataPage=\"0\" PGN=\"1\" Group=\"0\" Erase=\"\" Mnemonic=\"\"/>"
    "<row Priority=\"1\" DataPage=\"0\" PGN=\"2\" Group=\"0\" Erase=\"\" Mnemonic=\"\"/></Frames_J1939>";

std::string row(const char* frame, const char* device, const char* index, const char* firstPosition) {
    return std::string("<row NrFrameJ1939=\"") + frame + "\" Device_ID=\"" + device + "\" Index=\"" + index +
           "\" Num_Reg=\"0\" Type_Reg=\"4\" poscomp0=\"" + firstPosition +
           "\" poscomp1=\"0\" poscomp2=\"0\" poscomp3=\"0\" poscomp4=\"0\" poscomp5=\"0\" poscomp6=\"0\" "
           "poscomp7=\"0\"/>";
}

// The command line's import reads DefFrame.csv against the stored definitions, writes the document as the dialog's
// OK would, and says how they came back, naming the rows of frames the table lacks among those dropped.
TEST(DefinitionPairsImport, TheStoredDefinitionsComeBackWholeFromTheirPairs) {
    testing::TemporaryFolder project, files;
    project.write("FrameJ1939.xml", kTwoFrames);
    project.write("DefFrameJ1939.xml", "<DefFrame>" + row("2", "9", "20", "18") + row("1", "3", "10", "52") +
                                           row("7", "1", "70", "1") + row("1", "4", "11", "136") + "</DefFrame>");
    const std::string file = files.write("DefFrame.csv", "20,2,\r\n11,1,\r\n12,2,\r\n");
    const ImportOutcome outcome = importTableFile(TableKind::definitions, project.path(), file);
    EXPECT_TRUE(outcome.notes.empty());
    EXPECT_EQ(project.read("DefFrameJ1939.xml"),
              "<DefFrame>" + row("1", "4", "11", "136") + row("2", "9", "20", "18") +
                  "<row NrFrameJ1939=\"2\" Device_ID=\"\" Index=\"12\" Num_Reg=\"0\" Type_Reg=\"3\" poscomp0=\"0\" "
                  "poscomp1=\"0\" poscomp2=\"0\" poscomp3=\"0\" poscomp4=\"0\" poscomp5=\"0\" poscomp6=\"0\" "
                  "poscomp7=\"0\"/></DefFrame>");
    EXPECT_EQ(outcome.readBack,
              file +
                  ": 2 definitions came back whole, 1 definition is new (index 12 of frame 2: no Device "
                  "ID, 1 point, Holding Register, no frame bytes), 2 definitions not listed were dropped "
                  "(index 10 of frame 1 and index 70 of frame 7)");

    // Refused as the table is, with nothing written: a frame the table lacks, a file without a pair.
    const std::string before = project.read("DefFrameJ1939.xml");
    const std::string beyond = files.write("beyond.csv", "11,1,\r\n70,7,\r\n");
    EXPECT_EQ(errorOf([&] { importTableFile(TableKind::definitions, project.path(), beyond); }),
              beyond + ":2:2: there is no frame 7: the frame table holds 2 frames");
    const std::string empty = files.write("empty.csv", "");
    EXPECT_EQ(errorOf([&] { importTableFile(TableKind::definitions, project.path(), empty); }),
              empty + ": the table has no rows, so the import would empty DefFrameJ1939.xml; give --empty to empty it");
    EXPECT_EQ(project.read("DefFrameJ1939.xml"), before);
    importTableFile(TableKind::definitions, project.path(), empty, {.emptyTables = true});
    EXPECT_EQ(project.read("DefFrameJ1939.xml"), "<DefFrame/>");
}

// Random projects: their DefFrame.csv gives back the very document, and a shuffled one with lines left out the
// definitions of the lines kept, in the lines' order, each with its fields.
TEST(DefinitionPairsImport, RandomProjectsComeBackFromTheirExport) {
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE(seed);
        testing::TemporaryFolder project, files;
        testing::RandomProject(seed).writeTo(project.path());
        const std::string frames = project.file("FrameJ1939.xml");
        const std::string definitions = project.file("DefFrameJ1939.xml");
        const FrameDefinitions stored = readFrameDefinitions(frames, definitions).content;
        const std::string document = project.read("DefFrameJ1939.xml");
        const std::string file = files.file("DefFrame.csv");
        stored.exportTo(file);
        importTableFile(TableKind::definitions, project.path(), file, {.emptyTables = true});
        EXPECT_EQ(project.read("DefFrameJ1939.xml"), document);

        // Each line with the definition it came from; the indices of a frame differ, so each names one.
        std::vector<std::pair<std::string, const TClIndMB*>> lines;
        for (std::size_t f = 0; f < stored.frameCount(); ++f) {
            std::vector<std::string> indices;
            for (const TClIndMB& held : stored.frame(f).definitions) {
                indices.push_back(held.index);
                lines.emplace_back(held.index + "," + std::to_string(f + 1) + ",\r\n", &held);
            }
            std::sort(indices.begin(), indices.end());
            ASSERT_EQ(std::adjacent_find(indices.begin(), indices.end()), indices.end());
        }
        std::mt19937 engine(seed);
        std::shuffle(lines.begin(), lines.end(), engine);
        lines.resize(lines.size() * 2 / 3);
        std::string text;
        FrameDefinitions expected = stored;
        for (std::size_t f = 0; f < expected.frameCount(); ++f) expected.frame(f).definitions.clear();
        for (const auto& [line, held] : lines) {
            text += line;
            const std::size_t f = std::size_t(std::stoi(line.substr(line.find(',') + 1)) - 1);
            expected.frame(f).definitions.push_back(*held);
        }
        replaceFile(file, text);
        const DefinitionsImport imported = importedDefinitions(file, stored);
        ASSERT_TRUE(imported.pairs.has_value());
        EXPECT_EQ(imported.pairs->whole, lines.size());
        EXPECT_TRUE(imported.pairs->added.empty());
        for (std::size_t f = 0; f < expected.frameCount(); ++f)
            EXPECT_EQ(imported.definitions[f], expected.frame(f).definitions) << "frame " << f + 1;
    }
}

}  // namespace
}  // namespace tessaro
