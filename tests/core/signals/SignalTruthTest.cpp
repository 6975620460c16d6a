// What the map and check say about signals that do not fill whole bytes, floats, multiplexed frames, SPNs and value
// texts, the reader's quiet cases and its refusals, through tessaro-cli as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "support/CliRun.h"
#include "support/MapProject.h"

namespace tessaro {
namespace {

using testing::MapDefinition;
using testing::MapFrame;
using testing::runCli;
using testing::TemporaryFolder;
using testing::writeMapProject;

std::string mapOf(const TemporaryFolder& project, const std::vector<std::string>& options = {}) {
    std::vector<std::string> arguments{"map", project.path()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const auto outcome = runCli(arguments);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    return outcome.out;
}

std::string linesWith(const std::string& text, std::string_view part) {
    std::string found;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line(text.data() + at, end - at);
        if (line.find(part) != std::string_view::npos) found += std::string(line) + "\n";
        at = end + 1;
    }
    return found;
}

// EEC1 with two nibbles in B1 and a byte that straddles B3 and B4, fed by holding 5 (B1 low half, so holding 5's
// low byte) and holding 6 (B3 low, B4 high).
constexpr const char* kShifted =
    "BO_ 2364539904 EEC1: 8 Engine\n"
    " SG_ LowNibble : 0|4@1+ (1,0) [0|15] \"\" Gateway\n"
    " SG_ HighNibble : 4|4@1+ (1,0) [0|15] \"\" Gateway\n"
    " SG_ Mid : 20|8@1+ (1,0) [0|255] \"\" Gateway\n";

TEST(SignalPlacement, ASignalOffAByteEdgeSaysItsShiftAndItsBits) {
    TemporaryFolder project;
    writeMapProject(project, {{"61444", "1"}}, {{1, 1, 5, {0x01}}, {1, 1, 6, {0x43}}}, {100});
    project.write("signals.dbc", kShifted);
    const std::string text = mapOf(project);
    EXPECT_EQ(linesWith(text, "  signal "),
              "  signal LowNibble, B1 bits 0–3 (start bit 0, 4 bits little-endian), from slave 1 holding 5: raw = "
              "physical, 4 bits unsigned; holding 5 = raw in bits 0–3; example: 4 → raw 4 → holding 5 = 0x0004\n"
              "  signal HighNibble, B1 bits 4–7 (start bit 4, 4 bits little-endian), from slave 1 holding 5: raw = "
              "physical, 4 bits unsigned; holding 5 = raw << 4 in bits 4–7; example: 4 → raw 4 → holding 5 = "
              "0x0040\n"
              "  signal Mid, B3 bits 4–7 and B4 bits 0–3 (start bit 20, 8 bits little-endian), from slave 1 holding "
              "6: raw = physical, 8 bits unsigned; holding 6 = raw << 4 in bits 4–11; example: 60 → raw 60 → "
              "holding 6 = 0x03C0\n");
}

TEST(SignalPlacement, EngineSpeedHasItsWorkedExample) {
    TemporaryFolder project;
    writeMapProject(project, {{"61444", "1"}}, {{1, 1, 0, {0x54}}}, {100});
    project.write("signals.dbc",
                  "BO_ 2364539904 EEC1: 8 Engine\n"
                  " SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8031.875] \"rpm\" Gateway\n");
    EXPECT_EQ(linesWith(mapOf(project), "  signal "),
              "  signal EngineSpeed, B4 bits 0–7 and B5 bits 0–7 (start bit 24, 16 bits little-endian), from slave 1 "
              "holding 0: raw = physical / 0.125, 16 bits unsigned, physical in rpm; holding 0 = raw in bits 0–15; "
              "example: 2000 rpm → raw 16000 → holding 0 = 0x3E80\n");
}

TEST(SignalPlacement, FloatsAreSaidToBeFloatsWithTheirRegisterWords) {
    TemporaryFolder project;
    // B1 to B4 from holding 10 and 11 in the order Modbus carries them; B1 to B8 of the second frame from 20 to 23.
    writeMapProject(project, {{"65262", "1"}, {"65263", "1"}},
                    {{1, 1, 10, {0x12, 0x34}}, {2, 1, 20, {0x12, 0x34, 0x56, 0x78}}}, {100});
    project.write("signals.dbc",
                  "BO_ 2566843904 ET1: 8 Engine\n"
                  " SG_ Single : 7|32@0- (1,0) [0|100] \"V\" Gateway\n"
                  "BO_ 2566844160 EFL: 8 Engine\n"
                  " SG_ Double : 7|64@0- (1,0) [0|0] \"\" Gateway\n"
                  "SIG_VALTYPE_ 2566843904 Single : 1;\n"
                  "SIG_VALTYPE_ 2566844160 Double : 2;\n");
    const std::string text = mapOf(project);
    EXPECT_EQ(text.find("32 bits signed"), std::string::npos) << text;
    EXPECT_EQ(text.find("64 bits signed"), std::string::npos) << text;
    EXPECT_NE(text.find("raw = physical, IEEE single (32 bits), physical in V; holding 10 = raw >> 16 in bits 0–15, "
                        "holding 11 = raw & 0xFFFF in bits 0–15; example: 30 V → raw 30 (0x41F00000) → holding 10 = "
                        "0x41F0, holding 11 = 0x0000\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("raw = physical, IEEE double (64 bits); holding 20 = raw >> 48 in bits 0–15"),
              std::string::npos)
        << text;
}

// The multiplexer in B1 chooses what B2 and B3 carry.
constexpr const char* kMultiplexed =
    "BO_ 2566852611 Muxed: 8 Engine\n"
    " SG_ Page M : 0|8@1+ (1,0) [0|255] \"\" Gateway\n"
    " SG_ PageA m0 : 8|16@1+ (1,0) [0|65535] \"\" Gateway\n"
    " SG_ PageB m1 : 8|16@1+ (1,0) [0|65535] \"\" Gateway\n";

TEST(SignalMultiplexing, TheMultiplexerIsNamedAtItsBytesAndTheMultiplexedSignalsAtTheirs) {
    TemporaryFolder project;
    writeMapProject(project, {{"0xFF10", "1"}}, {{1, 1, 0, {0x01, 0x23}}}, {100});
    project.write("signals.dbc", kMultiplexed);
    const std::string text = mapOf(project);
    EXPECT_NE(text.find("  B1: slave 1 holding 0 low  [Page]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  B2: slave 1 holding 1 high  {PageA when Page = 0, PageB when Page = 1}\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("is fed, but no signal"), std::string::npos) << text;
    EXPECT_EQ(text.find("left out"), std::string::npos) << text;
}

TEST(SignalDatabaseReading, TheIndependentSignalsMessageIsReadWithoutAWord) {
    TemporaryFolder project;
    writeMapProject(project, {{"61444", "1"}}, {{1, 1, 0, {0x54}}}, {100});
    project.write("signals.dbc",
                  "BO_ 2364539904 EEC1: 8 Engine\n"
                  " SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8031.875] \"rpm\" Gateway\n"
                  "BO_ 3221225472 VECTOR__INDEPENDENT_SIG_MSG: 0 Vector__XXX\n"
                  " SG_ Lone : 0|8@1+ (1,0) [0|0] \"\" Vector__XXX\n"
                  " SG_ Other : 8|16@1+ (1,0) [0|0] \"\" Vector__XXX\n");
    EXPECT_EQ(linesWith(mapOf(project), "warning"), "");
    EXPECT_EQ(runCli({"check", project.path()}).out, "");
}

TEST(SignalDatabaseReading, AKeywordAtTheStartOfACommentsLineStaysComment) {
    TemporaryFolder project;
    writeMapProject(project, {{"61444", "1"}}, {{1, 1, 0, {0x54}}}, {100});
    project.write("signals.dbc",
                  "BO_ 2364539904 EEC1: 8 Engine\n"
                  " SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8031.875] \"rpm\" Gateway\n"
                  "CM_ SG_ 2364539904 EngineSpeed \"Actual engine speed, see\n"
                  "VAL_ tables for the states and\n"
                  "SG_ lines for the rest\";\n");
    EXPECT_EQ(linesWith(mapOf(project), "warning"), "");
    EXPECT_EQ(runCli({"check", project.path()}).out, "");
}

TEST(SignalDatabaseReading, ADatabaseThatIsAFolderEmptyOrWithoutAMessageFailsTheCommand) {
    TemporaryFolder project;
    writeMapProject(project, {{"61444", "1"}}, {{1, 1, 0, {0x54}}}, {100});
    std::filesystem::create_directory(project.file("folder.dbc"));
    const std::string empty = project.write("empty.dbc", "");
    const std::string noMessage = project.write("nomessage.dbc", "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: Engine\n");
    for (const std::string& file : {project.file("folder.dbc"), empty, noMessage})
        for (const char* command : {"map", "check"}) {
            SCOPED_TRACE(file + " " + command);
            const auto outcome = runCli({command, project.path(), "--dbc", file});
            EXPECT_EQ(outcome.status, 1);
            EXPECT_EQ(outcome.out, "");
            EXPECT_NE(outcome.err.find(file), std::string::npos) << outcome.err;
        }
}

TEST(SignalDatabaseReading, TheProjectsOwnDatabaseEmptyOrWithoutAMessageFailsTheCommandToo) {
    TemporaryFolder project;
    writeMapProject(project, {{"61444", "1"}}, {{1, 1, 0, {0x54}}}, {100});
    for (const char* text : {"", "VERSION \"\"\n\nBU_: Engine\nBO_ 2364539904 : 8 Engine\n"}) {
        const std::string database = project.write("signals.dbc", text);
        for (const char* command : {"map", "check"}) {
            SCOPED_TRACE(std::string(command) + " of " + (*text ? "no message" : "an empty file"));
            const auto outcome = runCli({command, project.path()});
            EXPECT_EQ(outcome.status, 1);
            EXPECT_EQ(outcome.out, "");
            EXPECT_EQ(outcome.err.rfind("tessaro-cli: \"" + database + "\" ", 0), 0u) << outcome.err;
        }
    }
    // The malformed message line is named with its place.
    EXPECT_NE(runCli({"map", project.path()}).err.find("line 4: BO_: the message name expected"), std::string::npos);
}

TEST(SignalFindings, TheSwappedHalvesOfAnotherRegisterAreFoundWhenOneByteIsFedTwice) {
    TemporaryFolder project;
    // Distance, little-endian in B5 to B8: holding 10 gives B8 and B7 swapped, holding 11 gives B6 and B5 swapped,
    // and holding 12 feeds B5 as well.
    writeMapProject(project, {{"61444", "1"}}, {{1, 1, 10, {0x78, 0x56}}, {1, 1, 12, {0x05}}}, {100});
    project.write("signals.dbc",
                  "BO_ 2364539904 EEC1: 8 Engine\n"
                  " SG_ Distance : 32|32@1+ (5,0) [0|21055406000] \"m\" Gateway\n");
    const std::string text = mapOf(project);
    EXPECT_NE(text.find("signal Distance is swapped"), std::string::npos) << text;
    EXPECT_NE(runCli({"check", project.path()}).out.find("signal Distance is swapped"), std::string::npos);
}

TEST(SignalPgn, AFramePgnWithADestinationGetsItsAcronymAndItsMessage) {
    TemporaryFolder project;
    writeMapProject(project, {{"0xEA21", "1"}, {"0x0003", "1"}}, {{1, 1, 0, {0x10}}}, {100});
    project.write("signals.dbc",
                  "BO_ 2565480704 RQST: 3 Cab\n"
                  " SG_ RequestedPgn : 0|24@1+ (1,0) [0|16777215] \"\" Engine\n");
    const std::string text = mapOf(project);
    EXPECT_NE(text.find("Frame 1: PGN 59937 (0xEA21) RQST Request, destination 33, priority"), std::string::npos)
        << text;
    EXPECT_NE(text.find("Frame 2: PGN 3 (0x0003) TSC1 Torque/speed control 1, destination 3, priority"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("message RQST\n"), std::string::npos) << text;
    const nlohmann::json json = nlohmann::json::parse(mapOf(project, {"--json"}));
    EXPECT_EQ(json["frames"][0]["acronym"], "RQST");
    EXPECT_EQ(json["frames"][0]["destination"], 33);
    EXPECT_EQ(json["frames"][0]["message"], "RQST");
}

TEST(SignalSpn, TheSpnAndTheValueTextsAreShown) {
    TemporaryFolder project;
    writeMapProject(project, {{"61444", "1"}}, {{1, 1, 0, {0x07}}}, {100});
    project.write("signals.dbc",
                  "BO_ 2364539904 EEC1: 8 Engine\n"
                  " SG_ StarterMode : 48|4@1+ (1,0) [0|15] \"\" Gateway\n"
                  "BA_DEF_ SG_ \"SPN\" INT 0 524287;\n"
                  "BA_ \"SPN\" SG_ 2364539904 StarterMode 1675;\n"
                  "VAL_ 2364539904 StarterMode 0 \"start not requested\" 1 \"starter active\" 15 \"not available\" "
                  ";\n");
    const std::string text = mapOf(project);
    EXPECT_NE(text.find("  signal StarterMode (SPN 1675), B7 bits 0–3"), std::string::npos) << text;
    EXPECT_NE(text.find("; values: 0 start not requested, 1 starter active, 15 not available\n"), std::string::npos)
        << text;
    const nlohmann::json json = nlohmann::json::parse(mapOf(project, {"--json"}));
    const nlohmann::json& signal = json["frames"][0]["coveredSignals"][0];
    EXPECT_EQ(signal["spn"], 1675);
    EXPECT_EQ(signal["valueTexts"][2], nlohmann::json::parse(R"({"value":15,"text":"not available"})"));
}

}  // namespace
}  // namespace tessaro
