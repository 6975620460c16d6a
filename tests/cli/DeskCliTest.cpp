#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/Cli.h"
#include "core/documents/AtomicFile.h"
#include "support/CliRun.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

using testing::runCli;

const std::string kDemo = std::string(TESSARO_EXAMPLES) + "/engine-demo";

// The engine demo's registers: engine speed 1500 rpm (raw 12000), coolant 90 degC (130 - 40), vehicle speed
// 80 km/h (raw 20480); slave 2 lacks input register 60, and so refuses LFE's definition.
constexpr const char* kDemoValues =
    "slave,kind,register,value\n"
    "1,holding,0,12000\n1,holding,1,0x11\n1,holding,2,0x22\n1,holding,10,130\n1,holding,11,5\n"
    "1,holding,30,1\n1,holding,31,2\n1,holding,32,3\n1,holding,50,4\n1,holding,51,5\n"
    "2,holding,0,20480\n2,holding,1,7\n2,input,2,8\n2,input,20,0x1234\n2,input,40,9\n";

const std::string kDeskUsage =
    "usage: tessaro-cli desk PROJECT_DIR (--registers FILE.csv | --rtu DEVICE | --tcp HOST[:PORT]) [--image FILE]\n"
    "                        [--duration SECONDS | --cycles N] [-o FILE | --can IFACE] [--json] [--signals [--dbc "
    "FILE]]\n";

TEST(CliDesk, WrongUsageGivesStatusTwoAndTheDesksUsage) {
    const struct {
        std::vector<std::string> arguments;
        const char* message;
    } cases[] = {
        {{"desk", "a"}, "one source of answers: --registers FILE.csv, --rtu DEVICE or --tcp HOST[:PORT]"},
        {{"desk", "a", "--registers", "v.csv", "--tcp", "h"},
         "one source of answers: --registers FILE.csv, --rtu DEVICE or --tcp HOST[:PORT]"},
        {{"desk", "a", "--tcp"}, "'--tcp' needs a value"},
        {{"desk", "a", "--tcp", "h", "--tcp", "i"}, "'--tcp' given twice"},
        {{"desk", "a", "--tcp", "h", "--duration", "1", "--cycles", "2"},
         "'--duration' and '--cycles' exclude each other"},
        {{"desk", "a", "--tcp", "h", "--duration", "0"}, "'0' is no duration: seconds, such as 10 or 0.5"},
        {{"desk", "a", "--tcp", "h", "--duration", "1s"}, "'1s' is no duration: seconds, such as 10 or 0.5"},
        {{"desk", "a", "--tcp", "h", "--cycles", "0"}, "'0' is no number of cycles: 1 or more"},
        {{"desk", "a", "--tcp", "h", "--can", "vcan0", "-o", "x"},
         "'--can' sends the frames on the interface: it excludes '-o' and '--json'"},
        {{"desk", "a", "--tcp", "h", "--can", "vcan0", "--json"},
         "'--can' sends the frames on the interface: it excludes '-o' and '--json'"},
        {{"desk", "a", "--tcp", "h", "--dbc", "s.dbc", "--json"}, "'--dbc' goes with '--signals'"},
        {{"desk", "a", "--tcp", "h", "--signals"},
         "'--signals' prints the values to standard output beside the log: give the log -o FILE, or use '--json'"},
        {{"desk", "a", "--registers", "v.csv"},
         "a values file without '--can' runs on a simulated clock: give it --duration or --cycles"},
        {{"desk", "a", "--tcp", "h", "--csv"}, "unknown option '--csv'"},
        {{"desk", "a", "--tcp", "h", "--output", "x", "--can", "vcan0"},
         "'--can' sends the frames on the interface: it excludes '-o' and '--json'"},
        {{"desk", "a", "--image"}, "'--image' needs a file name"},
        {{"desk", "--tcp", "h"}, "PROJECT_DIR missing"},
    };
    for (const auto& c : cases) {
        const testing::CliOutcome outcome = runCli(c.arguments);
        EXPECT_EQ(outcome.status, 2) << c.message;
        EXPECT_EQ(outcome.err, "tessaro-cli: " + std::string(c.message) + "\n" + kDeskUsage);
    }
}

TEST(CliDesk, HelpSaysWhatTheRunDoes) {
    const testing::CliOutcome help = runCli({"desk", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind(kDeskUsage + "\n", 0), 0u);
    EXPECT_NE(help.out.find("  --signals "), std::string::npos);
}

TEST(CliDesk, AValuesFileRunsOnASimulatedClockAndSummarises) {
    testing::TemporaryFolder folder;
    const std::string values = folder.write("values.csv", kDemoValues);
    const testing::CliOutcome outcome = runCli({"desk", kDemo, "--registers", values, "--cycles", "2"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    // Group 2 (1000 ms) sends twice, group 1 (100 ms) twenty times: 44 lines.
    std::istringstream lines(outcome.out);
    std::vector<std::string> frames;
    for (std::string line; std::getline(lines, line);) frames.push_back(line.substr(line.find(')') + 1));
    ASSERT_EQ(frames.size(), 44u);
    EXPECT_EQ(frames[0], " can0 0CF00480#FF2211E02EFFFFFF");
    EXPECT_EQ(frames[1], " can0 18FEF180#FF005007FF08FFFF");
    EXPECT_EQ(frames[20], " can0 18FEEE80#82053412FFFFFFFF");
    EXPECT_EQ(frames[21], " can0 18FEEF80#09FFFF01FFFF0203");
    const std::string header = outcome.err.substr(0, outcome.err.find('\n') + 1);
    EXPECT_EQ(header, "Desk test of " + kDemo + ": the image its documents build, against the values of " + values +
                          ", answered at 19200 bit/s; the frames to standard output, on a simulated clock (a values "
                          "file has no slave to wait for)\n");
    EXPECT_EQ(
        outcome.err.substr(header.size()),
        "Desk test: 2.000 s, 13 poll rounds; it ended because it had made its cycles\n"
        "Slaves: 2\n"
        "  slave 1: 78 requests, 78 answered\n"
        "  slave 2: 78 requests, 65 answered, 13 failed, 13 exceptions 02 (illegal data address)\n"
        "Frames sent per PGN:\n"
        "  PGN 61444 (0xF004) EEC1: 20\n"
        "  PGN 65262 (0xFEEE) ET1: 2\n"
        "  PGN 65263 (0xFEEF) EFL/P1: 2\n"
        "  PGN 65265 (0xFEF1) CCVS: 20\n"
        "  PGN 65266 (0xFEF2) LFE: 0\n"
        "Groups: 2\n"
        "  group 1, 100 ms, 2 frames: 20 sends, measured cycle min 100.000 ms, median 100.000 ms, max 100.000 ms\n"
        "  group 2, 1000 ms, 2 frames: 2 sends, measured cycle min 1000.000 ms, median 1000.000 ms, max "
        "1000.000 ms\n"
        "On Request frames, not sent without a CAN interface to hear requests on:\n"
        "  frame 5: PGN 65266 (0xFEF2) LFE, identifier 18FEF280, bytes 04 00 05 00 FF FF FF FF\n");
}

TEST(CliDesk, WithTheDemosDatabaseTheSignalsComeOutAsTheRegistersGaveThem) {
    testing::TemporaryFolder folder;
    // The demo's own values: those of kDemoValues.
    const std::string values = kDemo + "/values.csv";
    ASSERT_EQ(readFile(values), kDemoValues);
    const testing::CliOutcome text =
        runCli({"desk", kDemo, "--registers", values, "--cycles", "1", "--signals", "-o", folder.file("run.log")});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find(") EEC1: EngineSpeed = 1500 rpm\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find(") ET1: EngineCoolantTemperature = 90 degC\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find(") CCVS: WheelBasedVehicleSpeed = 80 km/h\n"), std::string::npos) << text.out;
    EXPECT_NE(folder.read("run.log").find(" can0 0CF00480#FF2211E02EFFFFFF\n"), std::string::npos);

    const testing::CliOutcome json =
        runCli({"desk", kDemo, "--registers", values, "--cycles", "1", "--signals", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"identifier\":\"0CF00480\",\"frame\":1,\"pgn\":61444,\"pgnHex\":\"0xF004\","
                            "\"acronym\":\"EEC1\",\"priority\":3,\"dataPage\":0,\"source\":128,\"group\":1,"
                            "\"request\":false,\"data\":\"FF2211E02EFFFFFF\","
                            "\"signals\":[{\"name\":\"EngineSpeed\",\"value\":1500.0,\"unit\":\"rpm\"}]}\n"),
              std::string::npos)
        << json.out;
}

TEST(CliDesk, BadInputIsStatusOneNamingWhatAndWhy) {
    testing::TemporaryFolder folder;
    const std::string values = folder.write("values.csv", "slave,kind,register,value\n1,holding,0,1\n1,coil,2,3\n");
    const std::string image = folder.write("bank.bin", std::string(20, '\0'));
    const std::string good = folder.write("good.csv", kDemoValues);
    const std::string missingDevice = folder.file("no-such-adapter");
    // A new project: its bin folder alone, and no signal database.
    const std::string newProject = folder.file("new");
    std::filesystem::create_directories(newProject + "/bin");
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{"desk", folder.file("nothing"), "--tcp", "h"},
         "tessaro-cli: '" + folder.file("nothing") + "' is not a folder\n"},
        {{"desk", kDemo, "--registers", values, "--cycles", "1"},
         "tessaro-cli: " + values + ":3:2: 'coil' is no register kind: holding or input (or 3 or 4)\n"},
        {{"desk", kDemo, "--image", image, "--registers", good, "--cycles", "1"},
         "tessaro-cli: '" + image + "' is not a configuration image: "},
        {{"desk", kDemo, "--image", folder.path(), "--registers", good, "--cycles", "1"},
         "tessaro-cli: '" + folder.path() + "' is a folder, not a configuration image\n"},
        {{"desk", kDemo, "--rtu", missingDevice},
         "tessaro-cli: cannot open " + missingDevice + ": No such file or directory\n"},
        {{"desk", kDemo, "--tcp", "127.0.0.1:1"}, "tessaro-cli: cannot connect to 127.0.0.1:1: Connection refused\n"},
        {{"desk", kDemo, "--tcp", "127.0.0.1:0"},
         "tessaro-cli: '127.0.0.1:0' is no TCP address (HOST or HOST:PORT): the port is 1 to 65535\n"},
        {{"desk", kDemo, "--registers", good, "--can", "nosuch0"}, "tessaro-cli: cannot open CAN interface nosuch0: "},
        {{"desk", kDemo, "--registers", good, "--cycles", "1", "-o", folder.file("none/run.log")},
         "tessaro-cli: cannot write " + folder.file("none/run.log") + ": No such file or directory\n"},
        {{"desk", newProject, "--registers", good, "--cycles", "1", "--signals", "--json"},
         "tessaro-cli: --signals needs a signal database: give one with --dbc FILE, or put signals.dbc into the "
         "project folder\n"},
    };
    for (const auto& c : cases) {
        const testing::CliOutcome outcome = runCli(c.arguments);
        EXPECT_EQ(outcome.status, 1) << c.message;
        EXPECT_EQ(outcome.err.substr(0, c.message.size()), c.message);
    }
}

}  // namespace
}  // namespace tessaro
