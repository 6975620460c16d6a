// The signals in the project map and in check, through tessaro-cli as a user runs it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "core/map/MapFormats.h"
#include "core/map/SignalAnalysis.h"
#include "support/CliRun.h"
#include "support/MapProject.h"

namespace tessaro {
namespace {

using testing::runCli;
using testing::TemporaryFolder;
using testing::writeMapProject;

const std::string kDemo = std::string(TESSARO_EXAMPLES) + "/engine-demo";

constexpr const char* kEngineDatabase =
    "BO_ 2364539904 EEC1: 8 Engine\n"
    " SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8191.875] \"rpm\" Gateway\n";

void copyDemo(const std::string& to) {
    for (const auto& entry : std::filesystem::directory_iterator(kDemo))
        if (entry.is_regular_file())
            std::filesystem::copy_file(entry.path(), to + "/" + entry.path().filename().string());
}

TEST(SignalMap, TheDemosMapNamesTheSignalsOfEachByteAndHowToEncodeThem) {
    const auto outcome = runCli({"map", kDemo});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const std::string& text = outcome.out;
    for (const char* line : {
             "erase no, message EEC1\n",
             "  B4: slave 1 holding 0 low  [EngineSpeed]\n",
             "  B5: slave 1 holding 0 high  [EngineSpeed]\n",
             "  signal EngineSpeed, B4 bits 0–7 and B5 bits 0–7 (start bit 24, 16 bits little-endian), from slave 1 "
             "holding 0: raw = physical / 0.125, 16 bits unsigned, physical in rpm; holding 0 = raw in bits 0–15; "
             "example: 2000 rpm → raw 16000 → holding 0 = 0x3E80\n",
             "  B1: slave 1 holding 10 low  [EngineCoolantTemperature]\n",
             "  signal EngineCoolantTemperature, B1 bits 0–7 (start bit 0, 8 bits little-endian), from slave 1 holding "
             "10: raw = physical + 40, 8 bits unsigned, physical in degC; holding 10 = raw in bits 0–7; example: 20 "
             "degC → raw 60 → holding 10 = 0x003C\n",
             "  signal WheelBasedVehicleSpeed, B2 bits 0–7 and B3 bits 0–7 (start bit 8, 16 bits little-endian), from "
             "slave 2 holding 0: raw = physical / 0.00390625, 16 bits unsigned, physical in km/h; holding 0 = raw in "
             "bits 0–15; example: 60 km/h → raw 15360 → holding 0 = 0x3C00\n",
             "  warning: frame 1 (EEC1): B2 is fed, but no signal of EEC1 covers it\n",
             "  warning: frame 4 (CCVS): B6 is fed, but no signal of CCVS covers it\n",
         })
        EXPECT_NE(text.find(line), std::string::npos) << line;
    // Frame 3's PGN is not in the database: no message, no signals, no findings.
    const std::size_t frame3 = text.find("Frame 3:");
    EXPECT_EQ(text.substr(frame3, text.find('\n', frame3) - frame3).find("message"), std::string::npos);
    EXPECT_EQ(text.find("frame 3 ("), std::string::npos);
}

TEST(SignalMap, EachSignalFindingNamesItsFrameAndADatabaseNoteNone) {
    TemporaryFolder project;
    copyDemo(project.path());
    project.write("signals.dbc", project.read("signals.dbc") +
                                     "\nBO_ 2364539905 Extra: 8 E\n SG_ A m7 : 8|8@1+ (1,0) "
                                     "[0|1] \"\" R\n");
    const MapTable table = findingTable(buildAnnotatedProjectMap(project.path(), {}));
    std::vector<std::string> frames;
    for (const std::vector<std::string>& row : table.rows)
        if (row[2].starts_with("frame 1 (EEC1): ") || row[2].starts_with("frame 4 (CCVS): ") ||
            row[2].starts_with(project.file("signals.dbc") + ": "))
            frames.push_back(row[1]);
    EXPECT_EQ(frames, (std::vector<std::string>{"1", "1", "4", "4", ""}));
}

// The project of the user guide's signal section: two nibbles and a byte off the byte's edge, a float, a multiplexed
// frame.
TEST(SignalMap, TheGuidesShapesSayTheirBitsTheirArithmeticAndAWorkedExample) {
    const auto outcome = runCli({"map", std::string(TESSARO_FIXTURES) + "/signals/shapes"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    for (const char* line : {
             "  B1: slave 1 holding 0 low  [LowNibble, HighNibble]\n",
             "  signal HighNibble, B1 bits 4–7 (start bit 4, 4 bits little-endian), from slave 1 holding 0: raw = "
             "physical, 4 bits unsigned; holding 0 = raw << 4 in bits 4–7; example: 4 → raw 4 → holding 0 = 0x0040\n",
             "  signal Mid, B3 bits 4–7 and B4 bits 0–3 (start bit 20, 8 bits little-endian), from slave 1 holding 1: "
             "raw = physical, 8 bits unsigned; holding 1 = raw << 4 in bits 4–11; example: 60 → raw 60 → holding 1 = "
             "0x03C0\n",
             "raw = physical, IEEE single (32 bits), physical in V; holding 10 = raw >> 16 in bits 0–15, holding 11 = "
             "raw & 0xFFFF in bits 0–15; example: 30 V → raw 30 (0x41F00000) → holding 10 = 0x41F0, holding 11 = "
             "0x0000\n",
             "  B2: slave 2 input 21 low  {Temperature when Page = 0, Pressure when Page = 1}\n",
             "  signal Temperature (SPN 110) when Page = 0, B2 bits 0–7 and B3 bits 0–7 (start bit 8, 16 bits "
             "little-endian), from slave 2 input 21: raw = (physical + 273) / 0.03125, 16 bits unsigned, physical in "
             "degC; input 21 = raw in bits 0–15; example: 200 degC → raw 15136 → input 21 = 0x3B20\n",
             "; values: 0 temperature, 1 pressure\n",
             "Findings: 0\n",
         })
        EXPECT_NE(outcome.out.find(line), std::string::npos) << line;
    const nlohmann::json document =
        nlohmann::json::parse(runCli({"map", std::string(TESSARO_FIXTURES) + "/signals/shapes", "--json"}).out);
    const nlohmann::json& mid = document["frames"][0]["coveredSignals"][2];
    EXPECT_EQ(mid["name"], "Mid");
    EXPECT_EQ(mid["startBit"], 20);
    EXPECT_EQ(mid["length"], 8);
    EXPECT_EQ(mid["byteOrder"], "little-endian");
    EXPECT_EQ(mid["valueType"], "integer");
    EXPECT_EQ(mid["bits"], nlohmann::json::parse(R"([{"byte":3,"bits":[4,7],"rawBits":[0,3]},
                                                       {"byte":4,"bits":[0,3],"rawBits":[4,7]}])"));
    EXPECT_EQ(mid["arithmetic"], nlohmann::json::parse(R"([{"slave":1,"kind":"holding","register":1,
                                                             "pieces":[{"rawBit":0,"registerBit":4,"count":8}]}])"));
    EXPECT_EQ(mid["example"]["physical"], 60.0);
    EXPECT_EQ(mid["example"]["raw"], 60);
    EXPECT_EQ(mid["example"]["registers"][0]["hex"], "0x03C0");
    EXPECT_EQ(document["frames"][1]["coveredSignals"][0]["valueType"], "ieeeSingle");
    EXPECT_EQ(document["frames"][1]["coveredSignals"][0]["example"]["raw"], 30.0);
    const nlohmann::json& b2 = document["frames"][2]["bytes"][1];
    EXPECT_EQ(b2["signals"], nlohmann::json::array());
    EXPECT_EQ(b2["multiplexedSignals"], nlohmann::json::parse(R"([{"name":"Temperature","multiplexer":"Page",
        "values":[[0,0]]},{"name":"Pressure","multiplexer":"Page","values":[[1,1]]}])"));
    const nlohmann::json& temperature = document["frames"][2]["coveredSignals"][1];
    EXPECT_EQ(temperature["spn"], 110);
    EXPECT_EQ(temperature["multiplexer"], "Page");
    EXPECT_EQ(temperature["multiplexerValues"], nlohmann::json::parse("[[0,0]]"));
}

TEST(SignalMap, TheJsonGivesEachByteItsSignalsAndEachFrameItsMessage) {
    const auto outcome = runCli({"map", kDemo, "--json"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const nlohmann::json document = nlohmann::json::parse(outcome.out);
    const nlohmann::json& eec1 = document["frames"][0];
    EXPECT_EQ(eec1["message"], "EEC1");
    EXPECT_EQ(eec1["bytes"][3]["signals"], nlohmann::json::array({"EngineSpeed"}));
    EXPECT_EQ(eec1["bytes"][1]["signals"], nlohmann::json::array());
    const nlohmann::json& speed = eec1["coveredSignals"][0];
    EXPECT_EQ(speed["name"], "EngineSpeed");
    EXPECT_EQ(speed["bytes"], nlohmann::json::array({5, 4}));
    EXPECT_EQ(speed["registers"], nlohmann::json::parse(R"([{"slave":1,"kind":"holding","register":0}])"));
    EXPECT_EQ(speed["factor"], 0.125);
    EXPECT_EQ(speed["offset"], 0.0);
    EXPECT_EQ(speed["unit"], "rpm");
    EXPECT_TRUE(document["frames"][2]["message"].is_null());
    EXPECT_EQ(document["frames"][2]["coveredSignals"], nlohmann::json::array());
    EXPECT_EQ(document["findings"][0]["message"], "frame 1 (EEC1): B2 is fed, but no signal of EEC1 covers it");
}

TEST(SignalMap, TheCsvGainsTheMessageAndTheSignalsOfEachByte) {
    const auto outcome = runCli({"map", kDemo, "--csv"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out.rfind("frame,pgn,pgnHex,acronym,name,priority,dataPage,group,cycle,erase,byte,sources,"
                                "fedTwice,message,signals,coveredSignals,multiplexedSignals\r\n",
                                0),
              0u);
    EXPECT_NE(
        outcome.out.find(",B4,slave 1 holding 0 low,no,EEC1,EngineSpeed,\"EngineSpeed, B4 bits 0–7 and B5 bits 0–7 "
                         "(start bit 24, 16 bits little-endian), from slave 1 holding 0: raw = physical / 0.125, 16 "
                         "bits unsigned, physical in rpm; holding 0 = raw in bits 0–15; example: 2000 rpm → raw 16000 "
                         "→ holding 0 = 0x3E80\",\r\n"),
        std::string::npos);
    EXPECT_NE(outcome.out.find(",B1,slave 2 input 40 low,no,,,,\r\n"), std::string::npos);
}

TEST(SignalMap, WithoutADatabaseTheMapIsAsBefore) {
    TemporaryFolder project;
    copyDemo(project.path());
    std::filesystem::remove(project.file("signals.dbc"));
    const auto text = runCli({"map", project.path()});
    EXPECT_EQ(text.out.find("message"), std::string::npos);
    EXPECT_EQ(text.out.find("["), std::string::npos);
    EXPECT_EQ(text.out.find("signal"), std::string::npos);
    const auto json = runCli({"map", project.path(), "--json"});
    EXPECT_EQ(json.out.find("\"signals\""), std::string::npos);
    EXPECT_EQ(json.out.find("\"message\": \""), std::string::npos);
    const auto csv = runCli({"map", project.path(), "--csv"});
    EXPECT_EQ(csv.out.substr(0, csv.out.find('\r')),
              "frame,pgn,pgnHex,acronym,name,priority,dataPage,group,cycle,erase,byte,sources,fedTwice");
    EXPECT_EQ(runCli({"check", project.path()}).out, "");
}

// A project with EEC1 whose engine speed comes from holding register 0 of slave 1 as the positions say.
void writeEngineSpeedProject(const TemporaryFolder& project, std::vector<int> positions) {
    writeMapProject(project, {{"61444", "1"}}, {{1, 1, 0, std::move(positions)}}, {100});
}

TEST(SignalCheck, ASwappedSignalIsAWarningAtItsDefinition) {
    TemporaryFolder project;
    writeEngineSpeedProject(project, {0x45});  // high half into B4, the low byte of a little-endian signal
    project.write("signals.dbc", kEngineDatabase);
    const auto outcome = runCli({"check", project.path()});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, project.file("DefFrameJ1939.xml") +
                               ":1: warning: frame 1 (EEC1): signal EngineSpeed is swapped: its registers give B4 and "
                               "B5 in the opposite of its little-endian byte order (B4 = slave 1 holding 0 high, B5 = "
                               "slave 1 holding 0 low)\n");
    // The map says the same among its findings.
    EXPECT_NE(runCli({"map", project.path()}).out.find("  warning: frame 1 (EEC1): signal EngineSpeed is swapped"),
              std::string::npos);
}

TEST(SignalCheck, APartlyFedSignalAndHalvesOfTwoSlavesAreWarnings) {
    TemporaryFolder project;
    writeMapProject(project, {{"61444", "1"}, {"61444", "1"}},
                    {{1, 1, 0, {0x04}}, {2, 1, 0, {0x04}}, {2, 2, 0, {0x50}}}, {100});
    project.write("signals.dbc", kEngineDatabase);
    const auto outcome = runCli({"check", project.path()});
    const std::string definitions = project.file("DefFrameJ1939.xml");
    EXPECT_EQ(outcome.out,
              definitions + ":1: warning: frame 1 (EEC1): signal EngineSpeed covers B4 and B5, but only B4 is fed\n" +
                  definitions +
                  ":2: warning: frame 2 (EEC1): signal EngineSpeed is fed from halves that do not form one value (B4 "
                  "= slave 1 holding 0 low, B5 = slave 2 holding 0 high)\n");
}

TEST(SignalCheck, AFedByteWithoutASignalIsNoWarningOfCheck) {
    TemporaryFolder project;
    writeEngineSpeedProject(project, {0x54, 0x10});  // engine speed right, and B1 from register 1
    project.write("signals.dbc", kEngineDatabase);
    EXPECT_EQ(runCli({"check", project.path()}).out, "");
    EXPECT_NE(runCli({"map", project.path()}).out.find("B1 is fed, but no signal of EEC1 covers it"),
              std::string::npos);
}

TEST(SignalCheck, TheMalformedLinesOfTheDatabaseAreWarningsAtTheirLines) {
    TemporaryFolder project;
    writeEngineSpeedProject(project, {0x54});
    const std::string database =
        project.write("signals.dbc", std::string(kEngineDatabase) + " SG_ Broken : 8|8@3+ (1,0) [0|1] \"\" X\n");
    EXPECT_EQ(runCli({"check", project.path()}).out,
              database + ":3: warning: SG_: the byte order 0 or 1 expected after '@'\n");
    EXPECT_NE(runCli({"map", project.path()})
                  .out.find("  warning: " + database + ": line 3: SG_: the byte order 0 or 1 expected after '@'\n"),
              std::string::npos);
}

TEST(SignalDatabaseChoice, TheFileGivenThenTheProjectsThenTheToolsDatabase) {
    TemporaryFolder tool;
    TemporaryFolder project;
    writeEngineSpeedProject(project, {0x54});
    const auto messageShown = [&](std::vector<std::string> arguments) {
        std::ostringstream out, err;
        const int status = cli::run(arguments, out, err, tool.path());
        EXPECT_EQ(status, 0) << err.str();
        const std::string text = out.str();
        const std::size_t at = text.find(", message ");
        return at == std::string::npos ? std::string() : text.substr(at + 10, text.find('\n', at) - at - 10);
    };
    EXPECT_EQ(messageShown({"map", project.path()}), "");
    tool.write("signals.dbc", "BO_ 2364539904 FromTheTool: 8 E\n");
    EXPECT_EQ(messageShown({"map", project.path()}), "FromTheTool");
    project.write("signals.dbc", "BO_ 2364539904 FromTheProject: 8 E\n");
    EXPECT_EQ(messageShown({"map", project.path()}), "FromTheProject");
    const std::string given = tool.write("other.dbc", "BO_ 2364539904 Given: 8 E\n");
    EXPECT_EQ(messageShown({"map", project.path(), "--dbc", given}), "Given");
}

TEST(SignalDatabaseChoice, ADatabaseThatCannotBeReadFailsTheCommand) {
    TemporaryFolder project;
    writeEngineSpeedProject(project, {0x54});
    const std::string missing = project.file("missing.dbc");
    for (const char* command : {"map", "check"}) {
        const auto outcome = runCli({command, project.path(), "--dbc", missing});
        EXPECT_EQ(outcome.status, 1) << command;
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err.rfind("tessaro-cli: Cannot open file \"" + missing + "\".", 0), 0u) << outcome.err;
    }
}

// The executable's own folder is its tool folder.
TEST(SignalDatabaseChoice, TheCommandFindsTheDatabaseBesideItself) {
    TemporaryFolder tool;
    const std::string program = tool.file("tessaro-cli");
    std::filesystem::copy_file(TESSARO_CLI, program);
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    TemporaryFolder project;
    writeEngineSpeedProject(project, {0x54});
    tool.write("signals.dbc", kEngineDatabase);
    const std::string command = program + " map " + project.path() + " >" + tool.file("out");
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_NE(tool.read("out").find("  B4: slave 1 holding 0 low  [EngineSpeed]\n"), std::string::npos)
        << tool.read("out");
}

}  // namespace
}  // namespace tessaro
