#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "cli/Cli.h"
#include "core/documents/AtomicFile.h"
#include "core/exchange/ProjectExchange.h"
#include "core/exchange/Workbook.h"
#include "support/CliRun.h"
#include "support/ImageFields.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

const std::string kExample = std::string(TESSARO_FIXTURES) + "/image/worked-example";

using Outcome = testing::CliOutcome;
using testing::runCli;

void copyDocuments(const std::string& from, const std::string& to) {
    for (const char* name : {"FrameJ1939.xml", "DefFrameJ1939.xml", "Group.xml", "pargen.xml"})
        std::filesystem::copy_file(from + "/" + name, to + "/" + name);
}

// Each command's usage, as its help and its usage errors show it.
const std::map<std::string, std::string> kCommandUsage = {
    {"build", "usage: tessaro-cli build PROJECT_DIR [-o FILE]\n"},
    {"dump", "usage: tessaro-cli dump IMAGE [--json]\n"},
    {"check", "usage: tessaro-cli check PROJECT_DIR [--dbc FILE]\n"},
    {"map", "usage: tessaro-cli map PROJECT_DIR [--json | --csv] [--dbc FILE]\n"},
    {"export",
     "usage: tessaro-cli export frames|groups|definitions PROJECT_DIR [-o FILE]\n"
     "       tessaro-cli export workbook PROJECT_DIR -o FILE.xlsx\n"},
    {"import", "usage: tessaro-cli import frames|groups|definitions|workbook PROJECT_DIR FILE [--empty]\n"},
    {"desk",
     "usage: tessaro-cli desk PROJECT_DIR (--registers FILE.csv | --rtu DEVICE | --tcp HOST[:PORT]) [--image FILE]\n"
     "                        [--duration SECONDS | --cycles N] [-o FILE | --can IFACE] [--json] [--signals [--dbc "
     "FILE]]\n"},
};

const std::string kUsage =
    "usage: tessaro-cli build PROJECT_DIR [-o FILE]\n"
    "       tessaro-cli dump IMAGE [--json]\n"
    "       tessaro-cli check PROJECT_DIR [--dbc FILE]\n"
    "       tessaro-cli map PROJECT_DIR [--json | --csv] [--dbc FILE]\n"
    "       tessaro-cli export frames|groups|definitions PROJECT_DIR [-o FILE]\n"
    "       tessaro-cli export workbook PROJECT_DIR -o FILE.xlsx\n"
    "       tessaro-cli import frames|groups|definitions|workbook PROJECT_DIR FILE [--empty]\n"
    "       tessaro-cli desk PROJECT_DIR (--registers FILE.csv | --rtu DEVICE | --tcp HOST[:PORT]) [--image FILE]\n"
    "                        [--duration SECONDS | --cycles N] [-o FILE | --can IFACE] [--json] [--signals [--dbc "
    "FILE]]\n"
    "       tessaro-cli COMMAND --help\n"
    "       tessaro-cli --version\n";

TEST(CliBuild, WritesBinBankBinAndSaysWhatItBuilt) {
    testing::TemporaryFolder project;
    copyDocuments(kExample, project.path());
    const Outcome outcome = runCli({"build", project.path()});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, project.file("bin/bank.bin") + ": 53 bytes, 1 frame, 1 definition, 1 group\n");
    EXPECT_EQ(outcome.err, "");
    EXPECT_TRUE(testing::sameImage(readFile(kExample + "/bank.bin"), project.read("bin/bank.bin")));

    EXPECT_EQ(runCli({"build", project.path() + "//"}).out,
              project.file("bin/bank.bin") + ": 53 bytes, 1 frame, 1 definition, 1 group\n");

    const Outcome elsewhere = runCli({"build", "-o", project.file("other.bin"), project.path()});
    EXPECT_EQ(elsewhere.status, 0);
    EXPECT_EQ(elsewhere.out, project.file("other.bin") + ": 53 bytes, 1 frame, 1 definition, 1 group\n");
    EXPECT_EQ(project.read("other.bin").size(), 53u);
}

TEST(CliBuild, FailureNamesTheBuildersMessageAndChangesNothing) {
    testing::TemporaryFolder project;
    copyDocuments(kExample, project.path());
    project.write("Group.xml", "<Group><row Cyclic_Time=\"abc\"/></Group>");
    project.write("bin/bank.bin", "previous");
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"build", project.path()}, {"build", project.path(), "-o", project.file("x.bin")}}) {
        const Outcome outcome = runCli(arguments);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err,
                  "tessaro-cli: 'abc' is not a valid integer value\n"
                  "tessaro-cli: Group.xml, row 1, attribute Cyclic_Time\n");
        EXPECT_EQ(outcome.out, "");
    }
    EXPECT_EQ(project.read("bin/bank.bin"), "previous");
    EXPECT_FALSE(project.exists("x.bin"));

    const Outcome missing = runCli({"build", project.file("nowhere")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "tessaro-cli: '" + project.file("nowhere") + "' is not a folder\n");
    const Outcome unwritable = runCli({"build", kExample, "-o", project.file("no/such/folder.bin")});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(unwritable.err.rfind("tessaro-cli: Cannot create file \"" + project.file("no/such/folder.bin"), 0), 0u);
}

// A bank.bin the user made read-only (mode 0444) stays as it is, also when root builds.
TEST(CliBuild, AReadOnlyImageIsRefusedWithStatusOneAndLeftAsItIs) {
    testing::TemporaryFolder project;
    copyDocuments(kExample, project.path());
    for (const char* image : {"bin/bank.bin", "other.bin"}) {
        const std::string path = project.write(image, "previous");
        ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
        const Outcome outcome =
            runCli(std::string(image) == "other.bin" ? std::vector<std::string>{"build", project.path(), "-o", path}
                                                     : std::vector<std::string>{"build", project.path()});
        EXPECT_EQ(outcome.status, 1) << image;
        EXPECT_EQ(outcome.err, "tessaro-cli: Cannot create file \"" + path + "\". The file is read-only\n");
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(project.read(image), "previous");
    }
}

// Without a command, the usage of every command; with one, its own.
TEST(Cli, WrongUsageGivesStatusTwoAndTheUsageOfTheCommand) {
    const struct {
        std::vector<std::string> arguments;
        const char* message;
    } cases[] = {
        {{}, "a command is missing"},
        {{"make"}, "unknown command 'make'"},
        {{"-o", "x"}, "unknown command '-o'"},
        {{"build"}, "PROJECT_DIR missing"},
        {{"build", "a", "b"}, "unexpected 'b'"},
        {{"build", "a", "-o"}, "'-o' needs a file name"},
        {{"build", "a", "-o", "x", "-o", "y"}, "'-o' given twice"},
        {{"build", "a", "-o", "x", "--output", "y"}, "'--output' given twice"},
        {{"build", "a", "--json"}, "unknown option '--json'"},
        {{"build", "a", "--version"}, "unknown option '--version'"},
        {{"dump"}, "IMAGE missing"},
        {{"dump", "a", "-o", "x"}, "unknown option '-o'"},
        {{"check", "a", "--verbose"}, "unknown option '--verbose'"},
        {{"check"}, "PROJECT_DIR missing"},
        {{"check", "a", "--dbc"}, "'--dbc' needs a file name"},
        {{"map", "a", "--dbc", "x", "--dbc", "y"}, "'--dbc' given twice"},
        {{"map", "a", "--csv", "--json"}, "'--json' and '--csv' exclude each other"},
        {{"build", "a", "--dbc", "x"}, "unknown option '--dbc'"},
        {{"dump", "a", "--dbc", "x"}, "unknown option '--dbc'"},
        {{"export"}, "frames, groups, definitions or workbook missing"},
        {{"export", "-o", "x"}, "frames, groups, definitions or workbook missing"},
        {{"export", "signals", "a"}, "unknown table 'signals'"},
        {{"export", "frames"}, "PROJECT_DIR missing"},
        {{"export", "frames", "a", "b"}, "unexpected 'b'"},
        {{"export", "workbook", "a"}, "export workbook needs -o FILE.xlsx"},
        {{"export", "workbook", "a", "-o", "book.csv"}, "the workbook's FILE must end in .xlsx"},
        {{"import"}, "frames, groups, definitions or workbook missing"},
        {{"import", "sheets", "a", "b"}, "unknown table 'sheets'"},
        {{"import", "frames", "a"}, "FILE missing"},
        {{"import", "frames", "a", "b", "c"}, "unexpected 'c'"},
        {{"import", "workbook", "a", "b.csv"}, "import workbook reads a FILE ending in .xlsx"},
        {{"import", "frames", "a", "b", "-o", "c"}, "unknown option '-o'"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = runCli(c.arguments);
        const auto usage = c.arguments.empty() ? kCommandUsage.end() : kCommandUsage.find(c.arguments.front());
        EXPECT_EQ(outcome.status, 2) << c.message;
        EXPECT_EQ(outcome.err, "tessaro-cli: " + std::string(c.message) + "\n" +
                                   (usage == kCommandUsage.end() ? kUsage : usage->second));
        EXPECT_EQ(outcome.out, "");
    }
}

// A command's help: its usage, what it does, and its options in a column.
TEST(Cli, HelpOnEachCommandBeginsWithItsUsageAndEndsWithItsOptions) {
    const struct {
        const char* command;
        const char* options;
    } cases[] = {
        {"build", "  -o FILE   write the image to FILE instead; a device or a FIFO is written to, never replaced\n"},
        {"dump", "  --json   print the same as one JSON document\n"},
        {"check",
         "  --dbc FILE   the signal database; without it, signals.dbc in PROJECT_DIR, else in the tool folder\n"},
        {"map",
         "  --json       print the same as one JSON document\n"
         "  --csv        print one line per frame byte\n"
         "  --dbc FILE   the signal database; without it, signals.dbc in PROJECT_DIR, else in the tool folder\n"},
        {"export", "  -o FILE   write to FILE instead\n"},
        {"import", "  --empty   a table without rows empties its document (without it, such a table is refused)\n"},
        {"desk",
         "  --registers FILE     the values of the slaves' registers, as CSV\n"
         "  --rtu DEVICE         Modbus RTU on the serial device\n"
         "  --tcp HOST[:PORT]    Modbus TCP\n"
         "  --image FILE         the configuration image to play, instead of the project's documents\n"
         "  --duration SECONDS   stop after this time (0.5, 10)\n"
         "  --cycles N           stop once every group that sends has sent N times\n"
         "  -o FILE              write the frames to FILE\n"
         "  --can IFACE          send on the SocketCAN interface IFACE (Linux)\n"
         "  --json               one JSON object per frame, with --signals its signal values\n"
         "  --signals            each frame's physical values, as a line beside the log (with --json, in each "
         "object)\n"
         "  --dbc FILE           the signal database; without it, signals.dbc in PROJECT_DIR, else in the tool "
         "folder\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        ASSERT_TRUE(kCommandUsage.contains(c.command));
        for (const std::vector<std::string>& arguments :
             {std::vector<std::string>{c.command, "--help"}, {c.command, "a", "-h"}, {"help", c.command}}) {
            const Outcome outcome = runCli(arguments);
            EXPECT_EQ(outcome.status, 0);
            EXPECT_EQ(outcome.err, "");
            EXPECT_EQ(outcome.out.substr(0, kCommandUsage.at(c.command).size() + 1),
                      kCommandUsage.at(c.command) + "\n");
            ASSERT_GE(outcome.out.size(), std::strlen(c.options));
            EXPECT_EQ(outcome.out.substr(outcome.out.size() - std::strlen(c.options)), c.options);
            // The description sits between them, after a blank line and before one.
            EXPECT_NE(outcome.out.find(".\n\n" + std::string(c.options)), std::string::npos) << outcome.out;
        }
    }
}

TEST(Cli, TheOverviewListsEveryUsageAndCommand) {
    for (const char* word : {"--help", "-h", "help"}) {
        const Outcome overview = runCli({word});
        EXPECT_EQ(overview.status, 0);
        EXPECT_EQ(overview.err, "");
        EXPECT_EQ(overview.out,
                  kUsage +
                      "\n"
                      "Builds, decodes and checks DO48213 gateway projects without a window.\n"
                      "\n"
                      "commands:\n"
                      "  build   compile a project folder into its configuration image\n"
                      "  dump    decode a configuration image for a person, or as JSON\n"
                      "  check   apply the editors' rules to a project's documents\n"
                      "  map     show what each frame byte carries and what each Modbus slave is polled for\n"
                      "  export  write the frames, the groups or the definitions as CSV or a workbook\n"
                      "  import  read them back from CSV or a workbook, checked cell by cell\n"
                      "  desk    play the gateway against Modbus slaves and show the J1939 frames it sends\n"
                      "\n"
                      "Exit status: 0 on success, 1 on failure (a failed write to standard output or a file "
                      "included),\n"
                      "2 for wrong usage.\n");
    }
}

TEST(Cli, VersionIsTheProjectsOwn) {
    const Outcome version = runCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "tessaro-cli " TESSARO_PROJECT_VERSION "\n");
    EXPECT_EQ(version.err, "");
}

const char* const kWorkedExampleDump =
    ": 53 bytes\n"
    "Header: frame entries at 16, definition entries at 22, group entries at 36, general parameters at 38\n"
    "Frames: 1\n"
    "  Frame 1: priority 6, data page 0, PGN 65262 (0xFEEE), group 1, erase no\n"
    "Definitions: 1\n"
    "  Definition 1: frame 1, slave 1, index 100, 1 point, holding registers (Type_Reg 3)\n"
    "    R1 (register 100): high byte from B2, low byte from B1\n"
    "Groups: 1\n"
    "  Group 1: cyclic time 1000 ms\n"
    "General parameters:\n"
    "  J1939 baud rate: 250 kbit/s (BR_CAN 5)\n"
    "  J1939 device ID: 10\n"
    "  Modbus RTU interface: RS485 (Select_Ser 0)\n"
    "  Modbus RTU baud rate: 9600 bit/s (Baud_Ser 3)\n"
    "  Parity: NONE (Par_Ser 0)\n"
    "  Stop bits: 1 Stop Bit (Stop_Ser 0)\n"
    "  Modbus RTU time-out: 1000 ms\n"
    "  Modbus RTU cyclic delay: 100 ms\n"
    "  Counts: 1 frame, 1 definition, 1 group\n";

const char* const kWorkedExampleJson =
    "{\n"
    "  \"size\": 53,\n"
    "  \"header\": {\"frames\": 16, \"definitions\": 22, \"groups\": 36, \"generalParameters\": 38},\n"
    "  \"frames\": [\n"
    "    {\"frame\": 1, \"priority\": 6, \"dataPage\": 0, \"pgn\": 65262, \"pgnHex\": \"0xFEEE\", \"group\": 1, "
    "\"onRequest\": false, \"erase\": false}\n"
    "  ],\n"
    "  \"definitions\": [\n"
    "    {\"definition\": 1, \"frame\": 1, \"slave\": 1, \"index\": 100, \"points\": 1, \"typeReg\": 3, "
    "\"registerKind\": \"holding\",\n"
    "     \"registers\": [{\"register\": 1, \"address\": 100, \"high\": \"B2\", \"low\": \"B1\"}]}\n"
    "  ],\n"
    "  \"groups\": [{\"group\": 1, \"cyclicTimeMs\": 1000}],\n"
    "  \"generalParameters\": {\n"
    "    \"canBaudRatePosition\": 5, \"canBaudRateKbits\": 250,\n"
    "    \"canDeviceId\": 10,\n"
    "    \"serialInterface\": 0, \"serialInterfaceName\": \"RS485\",\n"
    "    \"rtuBaudRatePosition\": 3, \"rtuBaudRate\": 9600,\n"
    "    \"parityPosition\": 0, \"parity\": \"NONE\",\n"
    "    \"stopBitsPosition\": 0, \"stopBits\": \"1 Stop Bit\",\n"
    "    \"timeoutMs\": 1000, \"cyclicDelayMs\": 100,\n"
    "    \"frameCount\": 1, \"definitionCount\": 1, \"groupCount\": 1\n"
    "  }\n"
    "}\n";

TEST(CliDump, DecodesTheWorkedExampleForAPersonAndAsJson) {
    const std::string image = kExample + "/bank.bin";
    const Outcome text = runCli({"dump", image});
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out, image + kWorkedExampleDump);
    const Outcome json = runCli({"dump", "--json", image});
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out, kWorkedExampleJson);
}

TEST(CliDump, ShowsOddValuesForWhatTheyAre) {
    testing::TemporaryFolder folder;
    // One frame on request with erase, one definition of 9 points of an unknown kind, no groups, no pargen.xml.
    folder.write("odd.bin", testing::bytesFromHex("10000000 16000000 24000000 24000000"
                                                  "03 01 04F0 00 01"
                                                  "01 F7 FEFF 08 05 09 80 00 00 00 00 00 03"));
    const Outcome text = runCli({"dump", folder.file("odd.bin")});
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(
        text.out.find("  Frame 1: priority 3, data page 1, PGN 61444 (0xF004), group 0 (On Request), erase yes\n"),
        std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("  Definition 1: frame 1, slave 247, index 65534, 9 points, unknown register kind "
                            "(Type_Reg 5)\n"
                            "    R1 (register 65534): high byte none, low byte from nibble 9, which names no frame "
                            "byte\n"
                            "    R2 (register 65535): high byte from B8, low byte none\n"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("    R8 (register 65541): high byte none, low byte from B3\n"), std::string::npos);
    EXPECT_NE(text.out.find("General parameters: none (the project had no pargen.xml)\n"), std::string::npos);
    const Outcome json = runCli({"dump", folder.file("odd.bin"), "--json"});
    EXPECT_NE(json.out.find("\"registerKind\": null"), std::string::npos);
    EXPECT_NE(json.out.find("{\"register\": 1, \"address\": 65534, \"high\": null, \"low\": \"nibble 9\"}"),
              std::string::npos);
    EXPECT_NE(json.out.find("\"generalParameters\": null\n}\n"), std::string::npos);
}

TEST(CliDump, RefusesAnImageWhoseHeaderSizeAndCountsDisagree) {
    const std::string example = readFile(kExample + "/bank.bin");
    const auto withWord = [&](std::size_t at, const char* hex) {
        std::string image = example;
        image.replace(at, 4, testing::bytesFromHex(hex));
        return image;
    };
    const auto withByte = [&](std::size_t at, char value) {
        std::string image = example;
        image[at] = value;
        return image;
    };
    const struct {
        std::string image;
        std::string message;
    } cases[] = {
        {example.substr(0, 15), "the image holds 15 bytes, fewer than its 16-byte header"},
        {withWord(0, "11000000"), "header word 0 is 17, but frame entries always start at 16"},
        {withWord(4, "17000000"),
         "header word 4 is 23, but the frame entries from offset 16 would not be a whole number of 6-byte entries"},
        {withWord(4, "0A000000"),
         "header word 4 is 10, but the frame entries from offset 16 would not be a whole number of 6-byte entries"},
        {withWord(8, "25000000"),
         "header word 8 is 37, but the definition entries from offset 22 would not be a "
         "whole number of 14-byte entries"},
        {withWord(12, "25000000"),
         "header word 12 is 37, but the group entries from offset 36 would not be a "
         "whole number of 2-byte entries"},
        {example.substr(0, 52),
         "the image holds 52 bytes, but header word 12 is 38, which leaves 38 bytes without "
         "general parameters or 53 with them"},
        {withByte(48, 2), "the general-parameter block counts 2 frames, but the header leaves room for 1"},
        {withByte(50, 0), "the general-parameter block counts 0 definitions, but the header leaves room for 1"},
        {withByte(52, 3), "the general-parameter block counts 3 groups, but the header leaves room for 1"},
        {std::string(100005, '\0'), "the image holds 100005 bytes, more than the limit of 100004"},
    };
    testing::TemporaryFolder folder;
    for (const auto& c : cases) {
        const std::string file = folder.write("bad.bin", c.image);
        for (const char* json : {"", "--json"}) {
            const Outcome outcome =
                runCli(*json ? std::vector<std::string>{"dump", file, json} : std::vector<std::string>{"dump", file});
            EXPECT_EQ(outcome.status, 1);
            EXPECT_EQ(outcome.err, "tessaro-cli: '" + file + "' is not a configuration image: " + c.message + "\n");
            EXPECT_EQ(outcome.out, "");
        }
    }
    const Outcome missing = runCli({"dump", folder.file("none.bin")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.rfind("tessaro-cli: Cannot open file \"" + folder.file("none.bin") + "\".", 0), 0u);
}

// A folder reads as no bytes, and was once called an image of 0 bytes; a text file is no image either.
TEST(CliDump, AFolderOrATextFileIsNotAConfigurationImage) {
    testing::TemporaryFolder folder;
    const std::string notes = folder.write("notes.txt", "Frames of the engine, to be built on Monday.\n");
    const struct {
        std::string file;
        std::string message;
    } cases[] = {
        {folder.path(), "tessaro-cli: '" + folder.path() + "' is a folder, not a configuration image\n"},
        {folder.path() + "/", "tessaro-cli: '" + folder.path() + "/' is a folder, not a configuration image\n"},
        {notes, "tessaro-cli: '" + notes +
                    "' is not a configuration image: header word 0 is 1835102790, but frame entries always start at "
                    "16\n"},
        {folder.write("empty.bin", ""),
         "tessaro-cli: '" + folder.file("empty.bin") +
             "' is not a configuration image: the image holds 0 bytes, fewer than its 16-byte header\n"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = runCli({"dump", c.file});
        EXPECT_EQ(outcome.status, 1) << c.file;
        EXPECT_EQ(outcome.err, c.message);
        EXPECT_EQ(outcome.out, "");
    }
}

std::string checkOutput(const testing::TemporaryFolder& project, std::string lines) {
    // The fixtures name their files bare; the findings carry the project's path.
    std::string result;
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) result += project.path() + "/" + line + "\n";
    return result;
}

TEST(CliCheck, ACleanProjectHasNoFindings) {
    testing::TemporaryFolder project;
    copyDocuments(kExample, project.path());
    const Outcome outcome = runCli({"check", project.path()});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "");
    testing::TemporaryFolder fresh;
    fresh.write("bin/.keep", "");
    EXPECT_EQ(runCli({"check", fresh.path()}).status, 0);
}

TEST(CliCheck, ReportsTheEditorsRulesAndWhatTheBuildWouldDropOrCut) {
    testing::TemporaryFolder project;
    project.write("FrameJ1939.xml",
                  "<Frames_J1939>"
                  "<row Priority=\"6\" DataPage=\"0\" PGN=\"65262\" Group=\"1\" Erase=\"N\" Mnemonic=\"\"/>"
                  "<row Priority=\"8\" DataPage=\"2\" PGN=\"1\" Group=\"3\" Erase=\"y\" Mnemonic=\"\"/>"
                  "<row Priority=\"1\" DataPage=\"1\" PGN=\"70000\" Group=\"300\" Erase=\"YES\" Mnemonic=\"\"/>"
                  "<row Priority=\"1\" DataPage=\"1\" Group=\"x\" Mnemonic=\"\"/>"
                  "</Frames_J1939>");
    const std::string zeros =
        " poscomp2=\"0\" poscomp3=\"0\" poscomp4=\"0\" poscomp5=\"0\" poscomp6=\"0\" poscomp7=\"0\"";
    project.write(
        "DefFrameJ1939.xml",
        "<DefFrame>"
        "<row NrFrameJ1939=\"1\" Device_ID=\"1\" Index=\"100\" Num_Reg=\"1\" Type_Reg=\"3\" poscomp0=\"18\" "
        "poscomp1=\"3\"" +
            zeros +
            "/>"
            "<row NrFrameJ1939=\"1\" Device_ID=\"2\" Index=\"200\" Num_Reg=\"0\" Type_Reg=\"4\" poscomp0=\"49\"/>"
            "<row NrFrameJ1939=\"9\" Device_ID=\"abc\"/>"
            "<row NrFrameJ1939=\"2\" Device_ID=\"251\" Index=\"70000\" Num_Reg=\"9\" Type_Reg=\"5\" "
            "poscomp0=\"300\" poscomp1=\"159\"" +
            zeros +
            "/>"
            "<row NrFrameJ1939=\"2\" Device_ID=\"0\" Index=\"1\" Num_Reg=\"0\" Type_Reg=\"3\" poscomp0=\"0\"/>"
            "<row NrFrameJ1939=\"0\"/>"
            "</DefFrame>");
    project.write("Group.xml",
                  "<Group><row Cyclic_Time=\"100\" Mnemonic=\"\"/><row Cyclic_Time=\"0\" Mnemonic=\"\"/>"
                  "<row Mnemonic=\"\"/></Group>");
    project.write("pargen.xml",
                  "<GeneralParameter><BR_CAN>9</BR_CAN><ID_CAN>241</ID_CAN><Select_Ser>1</Select_Ser>"
                  "<Baud_Ser>3</Baud_Ser><Par_Ser>x</Par_Ser><Stop_Ser>0</Stop_Ser>"
                  "<TimeOut_Ser>1000</TimeOut_Ser></GeneralParameter>");
    const Outcome outcome = runCli({"check", project.path()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out,
              checkOutput(project,
                          "FrameJ1939.xml:2: error: Error in row 2!! The Priority must to be between 0 and 7\n"
                          "FrameJ1939.xml:2: warning: Erase 'y' is neither Y nor N: the image holds 1, while the frame "
                          "table shows it cleared\n"
                          "FrameJ1939.xml:3: error: Error in row 3!! The PGN must to be between 0x0000 and 0xFFFF\n"
                          "FrameJ1939.xml:3: warning: Group 300 does not fit in its 8 bits: the image holds 44\n"
                          "FrameJ1939.xml:3: warning: Erase 'YES' is neither Y nor N: the image holds 0\n"
                          "FrameJ1939.xml:4: error: Could not convert variant of type (Null) into type (Integer)\n"
                          "FrameJ1939.xml:4: error: 'x' is not a valid integer value\n"
                          "FrameJ1939.xml:4: error: Could not convert variant of type (Null) into type (String)\n"
                          "DefFrameJ1939.xml:2: warning: frame byte B3 of frame 1 is already mapped by row 1\n"
                          "DefFrameJ1939.xml:2: warning: frame byte B1 of frame 1 is already mapped by row 1\n"
                          "DefFrameJ1939.xml:3: warning: frame 9 does not exist (FrameJ1939.xml holds 4 frames): the "
                          "definition is left out of the image\n"
                          "DefFrameJ1939.xml:4: error: Index Modbus must be between 0 and 65535\n"
                          "DefFrameJ1939.xml:4: warning: Num_Reg 9 is more than 7: a definition has at most 8 points\n"
                          "DefFrameJ1939.xml:4: warning: Type_Reg 5 is neither 3 (holding registers) nor 4 (input "
                          "registers)\n"
                          "DefFrameJ1939.xml:4: warning: poscomp0 300 does not fit in its 8 bits: the image holds 44\n"
                          "DefFrameJ1939.xml:4: warning: poscomp1 159 holds the nibble 9, which names no frame byte "
                          "(B1 to B8)\n"
                          "DefFrameJ1939.xml:4: warning: poscomp1 159 holds the nibble 15, which names no frame byte "
                          "(B1 to B8)\n"
                          "DefFrameJ1939.xml:5: error: Device ID must be between 1 and 250\n"
                          "DefFrameJ1939.xml:6: error: Error in row 6 of DefFrameJ1939.xml: the frame number 0 is "
                          "below 1\n"
                          "Group.xml:2: error: Error in row 2!! The Cyclic Time must be between 1 and 65535 mS\n"
                          "Group.xml:3: error: Could not convert variant of type (Null) into type (Integer)\n"
                          "pargen.xml:BR_CAN: warning: BR_CAN 9 is not among the J1939 baud-rate list (0 to 8)\n"
                          "pargen.xml:Par_Ser: error: 'x' is not a valid integer value\n"
                          "pargen.xml:Delay_Ser: error: pargen.xml has no Delay_Ser element in GeneralParameter\n"
                          "pargen.xml: error: Error! The ID Device must to be between 0 and 240\n"));
    EXPECT_EQ(outcome.err, "");
}

TEST(CliCheck, WarningsAloneLeaveTheStatusAtZero) {
    testing::TemporaryFolder project;
    copyDocuments(kExample, project.path());
    project.write("FrameJ1939.xml",
                  "<Frames_J1939><row Priority=\"6\" DataPage=\"0\" PGN=\"65262\" Group=\"2\" "
                  "Erase=\"\" Mnemonic=\"\"/></Frames_J1939>");
    const Outcome outcome = runCli({"check", project.path()});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out,
              checkOutput(project, "FrameJ1939.xml:1: warning: group 2 does not exist: Group.xml holds 1 group\n"));
}

TEST(CliCheck, UnreadableDocumentsAndATooLargeImage) {
    testing::TemporaryFolder project;
    project.write("Group.xml", "<Group><row");
    project.write("pargen.xml", "<Settings/>");
    std::string frames;
    for (int i = 0; i < 16665; ++i) frames += "<row Priority=\"1\" DataPage=\"0\" PGN=\"1\" Group=\"0\" Erase=\"\"/>";
    project.write("FrameJ1939.xml", "<Frames_J1939>" + frames + "</Frames_J1939>");
    const Outcome outcome = runCli({"check", project.path()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out,
              checkOutput(project,
                          "FrameJ1939.xml:251: warning: FrameJ1939.xml holds 16665 frames, more than the 250 rows of "
                          "the frame table\n"
                          "Group.xml: error: Error parsing start element tag at offset 10\n"
                          "pargen.xml: error: pargen.xml has no GeneralParameter element\n"
                          "bin/bank.bin: error: The configuration image needs 100021 bytes, more than the limit "
                          "of 100004 bytes\n"));
}

TEST(CliCheck, TheEngineDemoPassesAndBuilds) {
    testing::TemporaryFolder project;
    copyDocuments(std::string(TESSARO_EXAMPLES) + "/engine-demo", project.path());
    const Outcome check = runCli({"check", project.path()});
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.out, "");
    const Outcome build = runCli({"build", project.path()});
    EXPECT_EQ(build.status, 0) << build.err;
    EXPECT_EQ(build.out, project.file("bin/bank.bin") + ": 233 bytes, 5 frames, 12 definitions, 2 groups\n");
    EXPECT_EQ(runCli({"dump", project.file("bin/bank.bin")}).status, 0);
}

TEST(CliExchange, ExportsEachTableToStandardOutputOrAFile) {
    testing::TemporaryFolder project;
    copyDocuments(std::string(TESSARO_EXAMPLES) + "/engine-demo", project.path());
    const Outcome groups = runCli({"export", "groups", project.path()});
    EXPECT_EQ(groups.status, 0) << groups.err;
    EXPECT_EQ(groups.out, "N,Cyclic_Time,Mnemonic\r\n1,100,Fast engine data\r\n2,1000,Slow engine data\r\n");
    // The table is the output: what was written is said beside it.
    EXPECT_EQ(groups.err, "standard output: 2 groups\n");
    const Outcome frames = runCli({"export", "frames", project.path(), "-o", project.file("frames.csv")});
    EXPECT_EQ(frames.status, 0) << frames.err;
    EXPECT_EQ(frames.out, project.file("frames.csv") + ": 5 frames\n");
    EXPECT_EQ(frames.err, "");
    const std::string firstLines =
        "N,Priority,DataPage,PGN,Group,Erase,Mnemonic\r\n1,3,0,61444,1,N,EEC1 engine speed and torque\r\n";
    EXPECT_EQ(project.read("frames.csv").substr(0, firstLines.size()), firstLines);
    const Outcome definitions =
        runCli({"export", "definitions", project.path(), "-o", project.file("definitions.xlsx")});
    EXPECT_EQ(definitions.status, 0) << definitions.err;
    EXPECT_EQ(definitions.out, project.file("definitions.xlsx") + ": 12 definitions\n");
    EXPECT_EQ(project.read("definitions.xlsx").substr(0, 2), "PK");
    const Outcome book = runCli({"export", "workbook", project.path(), "-o", project.file("book.xlsx")});
    EXPECT_EQ(book.status, 0) << book.err;
    EXPECT_EQ(book.out, project.file("book.xlsx") + ": 5 frames, 2 groups, 12 definitions\n");
    EXPECT_EQ(book.err, "");
    EXPECT_EQ(project.read("book.xlsx").substr(0, 2), "PK");

    // One of each, said as one.
    testing::TemporaryFolder single;
    copyDocuments(kExample, single.path());
    EXPECT_EQ(runCli({"export", "workbook", single.path(), "-o", single.file("book.xlsx")}).out,
              single.file("book.xlsx") + ": 1 frame, 1 group, 1 definition\n");
    EXPECT_EQ(runCli({"export", "definitions", single.path()}).err, "standard output: 1 definition\n");
}

TEST(CliExchange, ImportWritesTheDocumentAsTheEditorsOkDoes) {
    testing::TemporaryFolder project;
    copyDocuments(std::string(TESSARO_EXAMPLES) + "/engine-demo", project.path());
    project.write("groups.csv", "\xEF\xBB\xBFN;Mnemonic;Cyclic_Time\r\n1;\"a;b\"; 0x10\r\n2;;020\r\n");
    const Outcome outcome = runCli({"import", "groups", project.path(), project.file("groups.csv")});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, project.file("Group.xml") + ": 2 groups\n");
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(project.read("Group.xml"),
              "<Group><row Cyclic_Time=\" 0x10\" Mnemonic=\"a;b\"/><row Cyclic_Time=\"020\" Mnemonic=\"\"/></Group>");
    for (const char* table : {"frames", "definitions"}) {
        const std::string file = project.file(std::string(table) + ".xlsx");
        ASSERT_EQ(runCli({"export", table, project.path(), "-o", file}).status, 0);
        const Outcome imported = runCli({"import", table, project.path(), file});
        EXPECT_EQ(imported.status, 0) << table;
        EXPECT_EQ(imported.out, std::string(table) == "frames"
                                    ? project.file("FrameJ1939.xml") + ": 5 frames\n"
                                    : project.file("DefFrameJ1939.xml") + ": 12 definitions\n");
    }
    EXPECT_EQ(runCli({"check", project.path()}).status, 0);
}

TEST(CliExchange, AProblemIsReportedAtItsPlaceWithStatusOneAndNothingWritten) {
    testing::TemporaryFolder project;
    copyDocuments(std::string(TESSARO_EXAMPLES) + "/engine-demo", project.path());
    const std::string groups = project.read("Group.xml");
    const std::string definitions = project.read("DefFrameJ1939.xml");
    project.write("groups.csv", "N,Cyclic_Time,Mnemonic\n1,100,a\n2,65536,b\n");
    const Outcome outcome = runCli({"import", "groups", project.path(), project.file("groups.csv")});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "tessaro-cli: " + project.file("groups.csv") +
                               ":3:2: Error in row 2!! The Cyclic Time must be between 1 and 65535 mS (the cell "
                               "holds '65536')\n");
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(project.read("Group.xml"), groups);

    ASSERT_EQ(runCli({"export", "workbook", project.path(), "-o", project.file("book.xlsx")}).status, 0);
    project.write("FrameJ1939.xml", "<Frames_J1939/>");  // the project's frames no longer hold the definitions' frames
    const Outcome frameless = runCli({"import", "definitions", project.path(), project.file("book.xlsx")});
    EXPECT_EQ(frameless.status, 1);
    EXPECT_EQ(frameless.err, "tessaro-cli: " + project.file("book.xlsx") +
                                 "[definitions]:2:1: there is no frame 1: the frame table holds 0 frames\n");
    EXPECT_EQ(project.read("DefFrameJ1939.xml"), definitions);

    const Outcome missing = runCli({"import", "frames", project.path(), project.file("none.csv")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.rfind("tessaro-cli: Cannot open file \"" + project.file("none.csv") + "\"", 0), 0u)
        << missing.err;
}

// A workbook replaces three documents: each is checked to be replaceable before the first is, so that a failed
// import leaves all three as they were (a frame table of the workbook's with the definitions of before would map
// one frame's registers onto another's bytes).
TEST(CliExchange, AWorkbookImportReplacesAllThreeDocumentsOrNone) {
    testing::TemporaryFolder project, other;
    copyDocuments(std::string(TESSARO_EXAMPLES) + "/engine-demo", project.path());
    copyDocuments(kExample, other.path());
    ASSERT_EQ(runCli({"export", "workbook", other.path(), "-o", other.file("book.xlsx")}).status, 0);
    const char* const documents[] = {"Group.xml", "FrameJ1939.xml", "DefFrameJ1939.xml"};
    for (const char* readOnly : documents) {
        SCOPED_TRACE(readOnly);
        std::vector<std::string> before;
        for (const char* name : documents) before.push_back(project.read(name));
        ASSERT_EQ(::chmod(project.file(readOnly).c_str(), 0444), 0);
        const Outcome outcome = runCli({"import", "workbook", project.path(), other.file("book.xlsx")});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err,
                  "tessaro-cli: Cannot create file \"" + project.file(readOnly) + "\". The file is read-only\n");
        for (std::size_t d = 0; d < std::size(documents); ++d) EXPECT_EQ(project.read(documents[d]), before[d]);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(project.path()), {}), 4);
        ASSERT_EQ(::chmod(project.file(readOnly).c_str(), 0644), 0);
    }
    const Outcome outcome = runCli({"import", "workbook", project.path(), other.file("book.xlsx")});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, project.file("FrameJ1939.xml") + ": 1 frame\n" + project.file("Group.xml") + ": 1 group\n" +
                               project.file("DefFrameJ1939.xml") + ": 1 definition\n");
    EXPECT_EQ(outcome.err, "");
    for (const char* table : {"frames", "groups", "definitions"})
        EXPECT_EQ(runCli({"export", table, project.path()}).out, runCli({"export", table, other.path()}).out);
}

// A spreadsheet that opens one CSV file makes a workbook of one sheet named after the file: a table's import reads
// that sheet whatever its name and places its problems there. The import of all three wants them by their names.
TEST(CliExchange, AWorkbookOfOneSheetIsReadWhateverItsName) {
    testing::TemporaryFolder project, files;
    const std::string demo = std::string(TESSARO_EXAMPLES) + "/engine-demo";
    copyDocuments(demo, project.path());
    const struct {
        TableKind kind;
        const char* document;
        const char* rows;
    } tables[] = {{TableKind::frames, "FrameJ1939.xml", "5 frames"},
                  {TableKind::groups, "Group.xml", "2 groups"},
                  {TableKind::definitions, "DefFrameJ1939.xml", "12 definitions"}};
    for (const auto& table : tables) {
        const std::string name(tableName(table.kind));
        const std::string book = files.file("engine " + name + ".xlsx");
        replaceFile(book, workbookBytes({{"engine " + name, exportedRows(table.kind, demo)}}));
        const Outcome outcome = runCli({"import", name, project.path(), book});
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.out, project.file(table.document) + ": " + table.rows + "\n");
        EXPECT_EQ(runCli({"export", name, project.path()}).out, runCli({"export", name, demo}).out);
    }
    const std::string groups = project.read("Group.xml");
    const std::string bad = files.file("bad.xlsx");
    replaceFile(bad, workbookBytes({{"my groups", {{"N", "Cyclic_Time", "Mnemonic"}, {"1", "0", "a"}}}}));
    const Outcome placed = runCli({"import", "groups", project.path(), bad});
    EXPECT_EQ(placed.status, 1);
    EXPECT_EQ(placed.err, "tessaro-cli: " + bad +
                              "[my groups]:2:2: Error in row 1!! The Cyclic Time must be between 1 and 65535 mS (the "
                              "cell holds '0')\n");
    EXPECT_EQ(project.read("Group.xml"), groups);

    const Outcome whole = runCli({"import", "workbook", project.path(), files.file("engine frames.xlsx")});
    EXPECT_EQ(whole.status, 1);
    EXPECT_EQ(whole.err, "tessaro-cli: " + files.file("engine frames.xlsx") +
                             ": the workbook has no sheet named 'frames', only 'engine frames'\n");
}

// A workbook of several sheets needs the table's own; when it lacks it, the refusal names those it has.
TEST(CliExchange, AMissingSheetIsRefusedNamingTheSheetsThereAre) {
    testing::TemporaryFolder project, files;
    copyDocuments(std::string(TESSARO_EXAMPLES) + "/engine-demo", project.path());
    const TextRows frames = exportedRows(TableKind::frames, project.path());
    const std::string book = files.file("book.xlsx");
    replaceFile(book, workbookBytes({{"frames", frames}, {"Notes", {{"what"}, {"to do"}}}, {"Sheet3", {}}}));
    const Outcome outcome = runCli({"import", "groups", project.path(), book});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "tessaro-cli: " + book +
                               ": the workbook has no sheet named 'groups', only 'frames', 'Notes' and "
                               "'Sheet3'\n");
    EXPECT_EQ(runCli({"import", "frames", project.path(), book}).status, 0);
    const Outcome whole = runCli({"import", "workbook", project.path(), book});
    EXPECT_EQ(whole.err, "tessaro-cli: " + book +
                             ": the workbook has no sheet named 'groups', only 'frames', 'Notes' "
                             "and 'Sheet3'\n");
}

// The case as users meet it: a CSV file opened in LibreOffice Calc and saved as a workbook.
TEST(CliExchange, AWorkbookLibreOfficeMadeOfOneCsvFileImports) {
    ASSERT_EQ(std::system("command -v soffice >/dev/null"), 0)
        << "soffice is missing: scripts/install-deps installs libreoffice-calc-nogui";
    testing::TemporaryFolder project, work;
    copyDocuments(std::string(TESSARO_EXAMPLES) + "/engine-demo", project.path());
    const std::string before = runCli({"export", "frames", project.path()}).out;
    const std::string csv = work.write("engine frames.csv", before);
    const std::string command =
        "cd '" + work.path() + "' && soffice --headless --norestore -env:UserInstallation=file://" +
        work.file("profile") + " --convert-to xlsx '" + csv + "' >" + work.file("soffice.log") + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << work.read("soffice.log");
    ASSERT_TRUE(work.exists("engine frames.xlsx")) << work.read("soffice.log");
    project.write("FrameJ1939.xml", "<Frames_J1939/>");
    const Outcome outcome = runCli({"import", "frames", project.path(), work.file("engine frames.xlsx")});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, project.file("FrameJ1939.xml") + ": 5 frames\n");
    EXPECT_EQ(runCli({"export", "frames", project.path()}).out, before);
}

// A file that lost its rows would empty its document: a table without rows is refused unless --empty says so.
TEST(CliExchange, ATableWithoutRowsIsRefusedUnlessEmptyIsGiven) {
    testing::TemporaryFolder project;
    copyDocuments(std::string(TESSARO_EXAMPLES) + "/engine-demo", project.path());
    const std::string frames = project.read("FrameJ1939.xml");
    const std::string file = project.write("frames.csv", "N,Priority,DataPage,PGN,Group,Erase,Mnemonic\r\n");
    const Outcome refused = runCli({"import", "frames", project.path(), file});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "tessaro-cli: " + file +
                               ": the table has no rows, so the import would empty FrameJ1939.xml; give --empty to "
                               "empty it\n");
    EXPECT_EQ(project.read("FrameJ1939.xml"), frames);

    testing::TemporaryFolder empty;
    empty.write("Group.xml", "<Group/>");
    ASSERT_EQ(runCli({"export", "workbook", empty.path(), "-o", project.file("book.xlsx")}).status, 0);
    const Outcome book = runCli({"import", "workbook", project.path(), project.file("book.xlsx")});
    EXPECT_EQ(book.status, 1);
    EXPECT_EQ(book.err, "tessaro-cli: " + project.file("book.xlsx") +
                            "[frames]: the table has no rows, so the import would empty FrameJ1939.xml; give --empty "
                            "to empty it\n");
    EXPECT_EQ(project.read("FrameJ1939.xml"), frames);

    const Outcome emptied = runCli({"import", "frames", project.path(), file, "--empty"});
    EXPECT_EQ(emptied.status, 0) << emptied.err;
    EXPECT_EQ(emptied.out, project.file("FrameJ1939.xml") + ": 0 frames\n");
    EXPECT_EQ(project.read("FrameJ1939.xml"), "<Frames_J1939/>");
    EXPECT_EQ(runCli({"import", "workbook", project.path(), project.file("book.xlsx"), "--empty"}).status, 0);
    EXPECT_EQ(project.read("Group.xml"), "<Group/>");
    EXPECT_EQ(runCli({"import", "groups", "--empty", project.path(), file}).status, 1);
    EXPECT_EQ(
        runCli({"export", "groups", project.path(), "--empty"}).err.rfind("tessaro-cli: unknown option '--empty'", 0),
        0u);
}

// A frames table with fewer frames than the definitions use leaves those definitions without their frame: the import
// goes through and names them.
TEST(CliExchange, AFramesImportNamesTheDefinitionsItLeavesWithoutTheirFrame) {
    testing::TemporaryFolder project;
    copyDocuments(std::string(TESSARO_EXAMPLES) + "/engine-demo", project.path());
    const std::string file = project.write("frames.csv",
                                           "N,Priority,DataPage,PGN,Group,Erase,Mnemonic\n1,3,0,61444,1,N,EEC1\n"
                                           "2,6,0,65262,2,N,ET1\n3,6,0,65263,2,N,EFL/P1\n");
    const Outcome outcome = runCli({"import", "frames", project.path(), file});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, project.file("FrameJ1939.xml") + ": 3 frames\n");
    EXPECT_EQ(outcome.err,
              "tessaro-cli: warning: rows 7 to 12 of DefFrameJ1939.xml are definitions of frames 4 and 5, which "
              "FrameJ1939.xml no longer has (it has 3 frames): the build leaves them out, and the OK of Define J1939 "
              "drops them\n");
    EXPECT_NE(project.read("FrameJ1939.xml").find("EFL/P1"), std::string::npos);
    // Said once: the next import of the same table leaves nothing more without its frame.
    const Outcome again = runCli({"import", "frames", project.path(), file});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.err, "");
    const Outcome check = runCli({"check", project.path()});
    EXPECT_EQ(check.status, 0);
    EXPECT_NE(check.out.find("frame 4 does not exist"), std::string::npos) << check.out;
}

// The builder refuses an image larger than the device holds; an import that would make one is refused with the
// builder's own message.
TEST(CliExchange, AnImportTheBuilderWouldRefuseIsRefusedWithItsMessage) {
    testing::TemporaryFolder project;
    copyDocuments(std::string(TESSARO_EXAMPLES) + "/engine-demo", project.path());
    const std::string definitions = project.read("DefFrameJ1939.xml");
    // 16 header bytes, 5 frames, 2 groups and the general parameters leave room for 7138 definitions of 14 bytes.
    const auto table = [](std::size_t rows) {
        std::string text =
            "Frame,Device_ID,Index,Points,Type,R1_High,R1_Low,R2_High,R2_Low,R3_High,R3_Low,R4_High,R4_Low,R5_High,"
            "R5_Low,R6_High,R6_Low,R7_High,R7_Low,R8_High,R8_Low\n";
        for (std::size_t r = 0; r < rows; ++r)
            text += std::to_string(r % 5 + 1) + ",1," + std::to_string(r) + ",1,Holding Register,B1,B2\n";
        return text;
    };
    const std::string tooMany = project.write("many.csv", table(7139));
    const Outcome refused = runCli({"import", "definitions", project.path(), tooMany});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "tessaro-cli: " + tooMany +
                               ": The configuration image needs 100011 bytes, more than the limit of 100004 bytes\n");
    EXPECT_EQ(project.read("DefFrameJ1939.xml"), definitions);

    const Outcome fits = runCli({"import", "definitions", project.path(), project.write("fits.csv", table(7138))});
    EXPECT_EQ(fits.status, 0) << fits.err;
    const Outcome built = runCli({"build", project.path()});
    EXPECT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(built.out, project.file("bin/bank.bin") + ": 99997 bytes, 5 frames, 7138 definitions, 2 groups\n");
    // One definition more, written by hand: the builder's refusal is the import's.
    std::string document = project.read("DefFrameJ1939.xml");
    const std::size_t last = document.rfind("<row");
    document.insert(last, document.substr(last, document.size() - last - std::string("</DefFrame>").size()));
    project.write("DefFrameJ1939.xml", document);
    const Outcome unbuilt = runCli({"build", project.path()});
    EXPECT_EQ(unbuilt.err,
              "tessaro-cli: The configuration image needs 100011 bytes, more than the limit of 100004 bytes\n");
}

// What no editor stores is refused at its cell, so that check finds nothing after any import.
TEST(CliExchange, AnImportNeverLeavesAProjectThatCheckFaults) {
    testing::TemporaryFolder project;
    copyDocuments(std::string(TESSARO_EXAMPLES) + "/engine-demo", project.path());
    const std::string frames = "N,Priority,DataPage,PGN,Group,Erase,Mnemonic\n1,3,0,61444,1,N,EEC1\n2,6,0,65262,";
    const std::string definitions =
        "Frame,Device_ID,Index,Points,Type,R1_High,R1_Low,R2_High,R2_Low,R3_High,R3_Low,R4_High,R4_Low,R5_High,"
        "R5_Low,R6_High,R6_Low,R7_High,R7_Low,R8_High,R8_Low\n1,1,0,1,Holding Register,B5,B4\n1,1,1,";
    const struct {
        const char* table;
        std::string text;
        const char* what;
    } cases[] = {
        {"frames", frames + "11,N,ET1\n", ":3:5: Group '11' names no group: 0 (On Request) or 1 to 10"},
        {"frames", frames + "2,maybe,ET1\n", ":3:6: Erase 'maybe' is neither Y nor N (nor empty)"},
        {"frames", frames + "2,yes,ET1\n", ":3:6: Erase 'yes' is neither Y nor N (nor empty)"},
        {"frames", frames + "2,1,ET1\n", ":3:6: Erase '1' is neither Y nor N (nor empty)"},
        {"frames", frames + "2,TRUE,ET1\n", ":3:6: Erase 'TRUE' is neither Y nor N (nor empty)"},
        {"definitions", definitions + "9,Holding Register,none,B3\n",
         ":3:4: Points '9' is no number of points: 1 to 8"},
        {"definitions", definitions + "1,Holding Register,none,B9\n",
         ":3:7: R1_Low 'B9' names no frame byte: \"none\" or B1 to B8"},
        {"definitions", definitions + "1,5,none,B3\n",
         ":3:5: Type '5' is neither \"Holding Register\" nor \"Input Register\""},
    };
    for (const auto& c : cases) {
        const std::string file = project.write("table.csv", c.text);
        const Outcome outcome = runCli({"import", c.table, project.path(), file});
        EXPECT_EQ(outcome.status, 1) << c.text;
        EXPECT_EQ(outcome.err, "tessaro-cli: " + file + c.what + "\n");
    }
    const Outcome check = runCli({"check", project.path()});
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.out, "");
}

// The executable itself: its exit status and its two streams.
Outcome runProcess(const std::string& arguments) {
    testing::TemporaryFolder folder;
    const std::string command =
        std::string(TESSARO_CLI) + " " + arguments + " >" + folder.file("out") + " 2>" + folder.file("err");
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, folder.read("out"), folder.read("err")};
}

// The workbook's libraries come in a module beside the executable: without it the rest works and a workbook is
// refused plainly.
TEST(CliProcess, AWorkbookNeedsTheModuleBesideTheExecutable) {
    testing::TemporaryFolder project, tool;
    copyDocuments(kExample, project.path());
    std::filesystem::copy_file(TESSARO_CLI, tool.file("tessaro-cli"));
    std::filesystem::permissions(tool.file("tessaro-cli"), std::filesystem::perms::owner_all);
    const std::string alone = tool.file("tessaro-cli");
    const auto run = [&](const std::string& arguments) {
        const int raw = std::system((alone + " " + arguments + " >/dev/null 2>" + tool.file("err")).c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    EXPECT_EQ(run("build " + project.path()), 0);
    EXPECT_EQ(run("export workbook " + project.path() + " -o " + project.file("book.xlsx")), 1);
    EXPECT_EQ(tool.read("err").rfind("tessaro-cli: The workbook support libtessaro_workbook.so cannot be loaded: ", 0),
              0u)
        << tool.read("err");
    EXPECT_FALSE(std::filesystem::exists(project.file("book.xlsx")));

    EXPECT_EQ(runProcess("export workbook " + project.path() + " -o " + project.file("book.xlsx")).status, 0);
    EXPECT_EQ(project.read("book.xlsx").substr(0, 2), "PK");
}

TEST(CliProcess, ExitStatusAndStreams) {
    testing::TemporaryFolder project;
    copyDocuments(kExample, project.path());
    const Outcome built = runProcess("build " + project.path());
    EXPECT_EQ(built.status, 0);
    EXPECT_EQ(built.out, project.file("bin/bank.bin") + ": 53 bytes, 1 frame, 1 definition, 1 group\n");
    const Outcome dumped = runProcess("dump " + project.file("bin/bank.bin") + " --json");
    EXPECT_EQ(dumped.status, 0);
    EXPECT_EQ(dumped.out, kWorkedExampleJson);
    const Outcome failed = runProcess("dump " + project.file("missing.bin"));
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err.rfind("tessaro-cli: Cannot open file", 0), 0u);
    const Outcome usage = runProcess("");
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.err, "tessaro-cli: a command is missing\n" + kUsage);
}

std::string notAProjectFolder(const std::string& folder) {
    return "tessaro-cli: '" + folder +
           "' is not a project folder: it holds none of pargen.xml, FrameJ1939.xml, DefFrameJ1939.xml and "
           "Group.xml, and no bin folder\n";
}

// An empty folder, or one that exists but is not the project meant (a typo, a parent folder), is not built into an
// empty image: every command that reads a project says so and writes nothing.
TEST(CliProjectFolder, AFolderWithoutDocumentsOrBinIsNotAProjectFolder) {
    testing::TemporaryFolder empty, other;
    other.write("notes.txt", "not a document");
    other.write("PROJECTS/demo/Group.xml", "<Group/>");
    for (const testing::TemporaryFolder* folder : {&empty, &other}) {
        const std::string groups =
            folder->write("../" + std::filesystem::path(folder->path()).filename().string() + "-groups.csv",
                          "N,Cyclic_Time,Mnemonic\n1,100,a\n");
        const std::vector<std::vector<std::string>> commands = {
            {"build", folder->path()},
            {"build", folder->path(), "-o", folder->file("x.bin")},
            {"map", folder->path()},
            {"map", folder->path(), "--json"},
            {"check", folder->path()},
            {"import", "groups", folder->path(), groups},
            {"export", "groups", folder->path()},
            {"export", "workbook", folder->path(), "-o", folder->file("book.xlsx")},
        };
        for (const std::vector<std::string>& arguments : commands) {
            const Outcome outcome = runCli(arguments);
            EXPECT_EQ(outcome.status, 1) << arguments[0] << " " << arguments[1];
            EXPECT_EQ(outcome.err, notAProjectFolder(folder->path())) << arguments[0] << " " << arguments[1];
            EXPECT_EQ(outcome.out, "") << arguments[0];
        }
        EXPECT_FALSE(folder->exists("bin"));
        EXPECT_FALSE(folder->exists("x.bin"));
        EXPECT_FALSE(folder->exists("Group.xml"));
        EXPECT_FALSE(folder->exists("book.xlsx"));
        std::filesystem::remove(groups);
    }
    EXPECT_EQ(runCli({"build", other.path() + "/"}).err, notAProjectFolder(other.path()));
}

// "New project" makes the folder and its bin folder and nothing else: that builds, as Update Device builds it, into
// the image of no frames. One document alone makes a project as well.
TEST(CliProjectFolder, ANewProjectWithItsBinFolderAloneStillBuilds) {
    testing::TemporaryFolder fresh;
    std::filesystem::create_directory(fresh.file("bin"));
    const Outcome built = runCli({"build", fresh.path()});
    EXPECT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(built.out, fresh.file("bin/bank.bin") + ": 16 bytes, 0 frames, 0 definitions, 0 groups\n");
    EXPECT_EQ(fresh.read("bin/bank.bin").size(), 16u);
    EXPECT_EQ(runCli({"check", fresh.path()}).status, 0);
    EXPECT_EQ(runCli({"map", fresh.path()}).status, 0);

    for (const char* document : {"pargen.xml", "FrameJ1939.xml", "DefFrameJ1939.xml", "Group.xml"}) {
        testing::TemporaryFolder project;
        std::filesystem::copy_file(kExample + "/" + document, project.file(document));
        const Outcome outcome = runCli({"map", project.path()});
        EXPECT_EQ(outcome.status, 0) << document << outcome.err;
    }
}

// What the executable leaves: its exit status and its standard error.
struct Written {
    int status;
    std::string err;
};

// The executable with its standard output on target (a path in the test's own folder, opened as a shell's
// redirection opens it) and, when limit is given, a file size limit that stops its writes past that many bytes, as
// a full disk would.
Written runWithOutputOn(const std::string& target, const std::vector<std::string>& arguments,
                        std::optional<rlim_t> limit = std::nullopt) {
    std::vector<std::string> words = {TESSARO_CLI};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    int errors[2];
    if (::pipe(errors) != 0) return {-1, "no pipe"};
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (out < 0 || ::dup2(out, 1) < 0 || ::dup2(errors[1], 2) < 0) ::_exit(126);
        if (limit) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit small{*limit, *limit};
            if (::setrlimit(RLIMIT_FSIZE, &small) != 0) ::_exit(126);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(errors[1]);
    std::string err;
    char buffer[4096];
    for (ssize_t got; (got = ::read(errors[0], buffer, sizeof buffer)) > 0;) err.append(buffer, std::size_t(got));
    ::close(errors[0]);
    int raw = 0;
    ::waitpid(child, &raw, 0);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, err};
}

// A device node made in the test's own folder with the numbers of a device of the system (its full or null
// device): writing to it writes to no path outside the folder.
class DeviceNode {
public:
    DeviceNode(std::string path, const char* like) : m_path(std::move(path)) {
        struct stat device {};
        if (::stat(like, &device) != 0 || !S_ISCHR(device.st_mode))
            m_missing = std::string(like) + " is missing";
        else if (::mknod(m_path.c_str(), S_IFCHR | 0666, device.st_rdev) != 0)
            m_missing = std::string("cannot make a device node like ") + like + ": " + std::strerror(errno);
        else
            m_rdev = device.st_rdev;
    }
    const std::string& path() const { return m_path; }
    // Why the node could not be made; empty when it was.
    const std::string& missing() const { return m_missing; }
    bool unchanged() const {
        struct stat now {};
        return ::lstat(m_path.c_str(), &now) == 0 && S_ISCHR(now.st_mode) && now.st_rdev == m_rdev;
    }

private:
    std::string m_path;
    std::string m_missing;
    dev_t m_rdev = 0;
};

// Each command with something to print, on a project where check has findings.
std::vector<std::vector<std::string>> printingCommands(const testing::TemporaryFolder& project) {
    copyDocuments(kExample, project.path());
    project.write("FrameJ1939.xml",
                  "<Frames_J1939><row Priority=\"6\" DataPage=\"0\" PGN=\"65262\" Group=\"2\" "
                  "Erase=\"\" Mnemonic=\"\"/></Frames_J1939>");
    const std::string image = project.file("image.bin");
    std::filesystem::copy_file(kExample + "/bank.bin", image);
    return {{"build", project.path(), "-o", project.file("built.bin")},
            {"dump", image},
            {"dump", image, "--json"},
            {"check", project.path()},
            {"map", project.path()},
            {"map", project.path(), "--json"},
            {"map", project.path(), "--csv"},
            {"export", "frames", project.path()},
            {"export", "definitions", project.path()},
            {"--help"},
            {"map", "--help"}};
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

TEST(CliOutput, AFullDeviceOnStandardOutputIsStatusOneWithTheReason) {
    testing::TemporaryFolder project;
    const DeviceNode full(project.file("full"), "/dev/full");
    if (!full.missing().empty()) GTEST_SKIP() << full.missing();
    for (const std::vector<std::string>& arguments : printingCommands(project)) {
        const Written written = runWithOutputOn(full.path(), arguments);
        EXPECT_EQ(written.status, 1) << joined(arguments);
        EXPECT_EQ(written.err, "tessaro-cli: Cannot write to standard output. No space left on device\n")
            << joined(arguments);
    }
    EXPECT_TRUE(full.unchanged());
}

// A write that stops part-way (at half of what the command prints) fails the command as a write of nothing does.
// build is left out: the limit would stop the writing of its image first.
TEST(CliOutput, AShortWriteToStandardOutputIsStatusOneWithTheReason) {
    testing::TemporaryFolder project;
    for (const std::vector<std::string>& arguments : printingCommands(project)) {
        if (arguments[0] == "build") continue;
        const std::size_t half = runCli(arguments).out.size() / 2;
        ASSERT_GT(half, 0u) << joined(arguments);
        const Written written = runWithOutputOn(project.file("out.txt"), arguments, half);
        EXPECT_EQ(written.status, 1) << joined(arguments);
        EXPECT_EQ(written.err, "tessaro-cli: Cannot write to standard output. File too large\n") << joined(arguments);
        EXPECT_EQ(project.read("out.txt").size(), half) << joined(arguments);
    }
    // What fits is written whole, with status 0.
    const Written fits = runWithOutputOn(project.file("out.txt"), {"export", "groups", project.path()}, 100);
    EXPECT_EQ(fits.status, 0) << fits.err;
    EXPECT_EQ(project.read("out.txt"), runCli({"export", "groups", project.path()}).out);
}

// A stream that cannot be written, given to the commands in-process, fails them too.
TEST(CliOutput, AStreamThatFailsFailsTheCommand) {
    testing::TemporaryFolder project;
    for (const std::vector<std::string>& arguments : printingCommands(project)) {
        std::ostream broken(nullptr);
        std::ostringstream err;
        EXPECT_EQ(cli::run(arguments, broken, err), 1) << joined(arguments);
        EXPECT_EQ(err.str(), "tessaro-cli: Cannot write to standard output\n") << joined(arguments);
    }
}

// -o on a device or a FIFO, or a link to one, writes to it and leaves it as it is: renamed over, a device node
// would become a regular file (as root, /dev/null). A write that fails there is exit 1 with the system's reason.
TEST(CliOutput, AnOutputThatIsNotARegularFileIsWrittenToAndStays) {
    testing::TemporaryFolder project;
    copyDocuments(kExample, project.path());
    const std::string image = readFile(kExample + "/bank.bin");
    const std::string fifo = project.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink("pipe", project.file("link"));
    for (const char* name : {"pipe", "link"}) {
        // Opened for reading first, so that neither the command nor the test waits for the other.
        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(reader, 0);
        const Outcome outcome = runCli({"build", project.path(), "-o", project.file(name)});
        std::string received;
        char buffer[4096];
        for (ssize_t got; (got = ::read(reader, buffer, sizeof buffer)) > 0;) received.append(buffer, std::size_t(got));
        ::close(reader);
        EXPECT_EQ(outcome.status, 0) << name << outcome.err;
        EXPECT_EQ(outcome.out, project.file(name) + ": 53 bytes, 1 frame, 1 definition, 1 group\n");
        EXPECT_TRUE(testing::sameImage(image, received)) << name;
        EXPECT_TRUE(std::filesystem::is_fifo(fifo)) << name;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(project.file("link")));

    const DeviceNode null(project.file("null"), "/dev/null");
    const DeviceNode full(project.file("full"), "/dev/full");
    if (!null.missing().empty() || !full.missing().empty()) GTEST_SKIP() << null.missing() << " " << full.missing();
    std::filesystem::create_symlink("null", project.file("null-link"));
    for (const char* name : {"null", "null-link"}) {
        for (const std::vector<std::string>& arguments :
             {std::vector<std::string>{"build", project.path(), "-o", project.file(name)},
              {"export", "frames", project.path(), "-o", project.file(name)}}) {
            const Outcome outcome = runCli(arguments);
            EXPECT_EQ(outcome.status, 0) << joined(arguments) << outcome.err;
            EXPECT_TRUE(null.unchanged()) << joined(arguments);
        }
    }
    EXPECT_TRUE(std::filesystem::is_symlink(project.file("null-link")));
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"build", project.path(), "-o", full.path()},
          {"export", "groups", project.path(), "-o", full.path()},
          {"export", "workbook", project.path(), "-o", project.file("full.xlsx")}}) {
        if (arguments[0] == "export" && arguments[1] == "workbook")
            std::filesystem::create_symlink("full", project.file("full.xlsx"));
        const Outcome outcome = runCli(arguments);
        EXPECT_EQ(outcome.status, 1) << joined(arguments);
        EXPECT_EQ(outcome.err,
                  "tessaro-cli: Cannot create file \"" + arguments.back() + "\". No space left on device\n");
        EXPECT_EQ(outcome.out, "");
        EXPECT_TRUE(full.unchanged()) << joined(arguments);
    }
}

// -o on a link to a regular file keeps the link and replaces the file it leads to.
TEST(CliOutput, AnOutputThatIsALinkToAFileReplacesTheFileAndKeepsTheLink) {
    testing::TemporaryFolder project;
    copyDocuments(kExample, project.path());
    project.write("images/current.bin", "previous");
    std::filesystem::create_symlink("images/current.bin", project.file("bank.bin"));
    const Outcome outcome = runCli({"build", project.path(), "-o", project.file("bank.bin")});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(std::filesystem::is_symlink(project.file("bank.bin")));
    EXPECT_TRUE(testing::sameImage(readFile(kExample + "/bank.bin"), project.read("images/current.bin")));
}

// Names and paths whose bytes are not UTF-8 (Latin-1 here, and 0x81, which the Windows code page leaves
// unassigned) reach the JSON as the Windows code page reads them; bytes that are UTF-8 already stay as they are.
TEST(CliOutput, JsonIsUtf8WhateverTheBytesOfPathsAndNames) {
    testing::TemporaryFolder tool;
    const std::string project = tool.file("Proj\xE9t");
    std::filesystem::create_directory(project);
    copyDocuments(std::string(TESSARO_EXAMPLES) + "/engine-demo", project);
    // A database named in Latin-1, with a unit in Latin-1 and a line that is malformed, so that a finding names it.
    const std::string dbc = project + "/sign\xE4\x81ls \xC3\xA9.dbc";
    std::string database = readFile(std::string(TESSARO_EXAMPLES) + "/engine-demo/signals.dbc");
    database += "\nBO_ 123 Broken\n";
    const std::string unit = "\"degC\"";
    database.replace(database.find(unit), unit.size(),
                     "\"\xB0"
                     "C\"");
    { std::ofstream(dbc, std::ios::binary) << database; }
    const Outcome outcome = runCli({"map", project, "--json", "--dbc", dbc});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const std::string json = tool.write("map.json", outcome.out);
    const std::string check = tool.write("check.py", R"(import json, sys
m = json.load(open(sys.argv[1], encoding="utf-8"))
messages = [f["message"] for f in m["findings"]]
assert any("Proj\u00e9t/sign\u00e4\ufffdls \u00e9.dbc" in text for text in messages), messages
units = [s["unit"] for f in m["frames"] for s in f.get("coveredSignals", [])]
assert "\u00b0C" in units, units
)");
    EXPECT_EQ(std::system(("python3 -m json.tool " + json + " " + tool.file("pretty.json")).c_str()), 0);
    EXPECT_EQ(std::system(("python3 " + check + " " + json).c_str()), 0);
}

}  // namespace
}  // namespace tessaro
