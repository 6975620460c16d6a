// The desk test run as tessaro-cli runs it, against Modbus slaves we did not write (pymodbus, over TCP and over RTU
// through a socat pair of pseudo-terminals), and its log read back by python-can and can-utils.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/ChildProcess.h"
#include "support/ModbusTestSlave.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

using std::chrono::milliseconds;
using testing::ChildProcess;

const std::string kSlaveScript = std::string(TESSARO_DESK_TESTS) + "/modbus_slave.py";

// Two frames in group 1 (100 ms): EEC1 keeps its bytes after a failed poll, ET1 erases them. Slave 1 feeds both;
// slave 2 is asked for an input register its slave does not have; slave 3 is not on the line.
void writeProject(const testing::TemporaryFolder& project, int parity = 0) {
    project.write("FrameJ1939.xml",
                  "<Frames_J1939>"
                  "<row Priority=\"3\" DataPage=\"0\" PGN=\"61444\" Group=\"1\" Erase=\"N\" Mnemonic=\"\"/>"
                  "<row Priority=\"6\" DataPage=\"0\" PGN=\"65262\" Group=\"1\" Erase=\"Y\" Mnemonic=\"\"/>"
                  "</Frames_J1939>");
    const auto definition = [](int frame, int slave, int index, int registers, int typeReg,
                               std::vector<int> positions) {
        std::string row = "<row NrFrameJ1939=\"" + std::to_string(frame) + "\" Device_ID=\"" + std::to_string(slave) +
                          "\" Index=\"" + std::to_string(index) + "\" Num_Reg=\"" + std::to_string(registers - 1) +
                          "\" Type_Reg=\"" + std::to_string(typeReg) + "\"";
        for (std::size_t k = 0; k < 8; ++k)
            row +=
                " poscomp" + std::to_string(k) + "=\"" + std::to_string(k < positions.size() ? positions[k] : 0) + "\"";
        return row + "/>";
    };
    project.write("DefFrameJ1939.xml",
                  "<DefFrame>" + definition(1, 1, 0, 1, 3, {0x54}) + definition(2, 1, 10, 2, 3, {0x01, 0x02}) +
                      definition(2, 2, 20, 1, 4, {0x34}) + definition(2, 3, 0, 1, 3, {0x56}) + "</DefFrame>");
    project.write("Group.xml", "<Group><row Cyclic_Time=\"100\" Mnemonic=\"\"/></Group>");
    project.write("pargen.xml",
                  "<GeneralParameter><BR_CAN>5</BR_CAN><ID_CAN>128</ID_CAN><Select_Ser>0</Select_Ser>"
                  "<Baud_Ser>4</Baud_Ser><Par_Ser>" +
                      std::to_string(parity) +
                      "</Par_Ser><Stop_Ser>0</Stop_Ser><TimeOut_Ser>100</TimeOut_Ser>"
                      "<Delay_Ser>20</Delay_Ser></GeneralParameter>");
}

constexpr const char* kSlaveValues = R"({"1": {"hr": {"0": 12000, "10": 130, "11": 5}}, "2": {"ir": {"3": 9}}})";

// A pymodbus server of its own, killed with the object.
class PymodbusSlave {
public:
    PymodbusSlave(const testing::TemporaryFolder& folder, const std::vector<std::string>& line) {
        const std::string values = folder.write("slaves.json", kSlaveValues);
        std::vector<std::string> arguments{TESSARO_PYTHON, kSlaveScript, values};
        arguments.insert(arguments.end(), line.begin(), line.end());
        m_process.emplace(arguments, folder.file("slave.out"), folder.file("slave.err"));
        const std::optional<std::string> ready = m_process->awaitLine("ready", milliseconds(10000));
        if (!ready) throw std::runtime_error("the pymodbus slave did not start: " + folder.read("slave.err"));
        m_ready = *ready;
    }
    int port() const { return std::stoi(m_ready.substr(6)); }
    void stop() { m_process.reset(); }

private:
    std::optional<ChildProcess> m_process;
    std::string m_ready;
};

// The lines of the log that carry the identifier, their data after '#'.
std::vector<std::string> dataOf(const std::string& log, const std::string& identifier) {
    std::vector<std::string> data;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t at = line.find(" " + identifier + "#");
        if (at != std::string::npos) data.push_back(line.substr(at + identifier.size() + 2));
    }
    return data;
}

struct DeskOutcome {
    int status;
    std::string log;
    std::string summary;
};

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// tessaro-cli desk as a process; when given, stopSlave runs once the log holds three lines with the text.
DeskOutcome runDesk(const testing::TemporaryFolder& folder, const std::string& project,
                    const std::vector<std::string>& words, const std::string& waitFor = {},
                    const std::function<void()>& stopSlave = {}) {
    std::vector<std::string> arguments{TESSARO_CLI, "desk", project, "-o", folder.file("run.log")};
    arguments.insert(arguments.end(), words.begin(), words.end());
    ChildProcess desk(arguments, folder.file("desk.out"), folder.file("desk.err"));
    if (stopSlave) {
        const auto end = std::chrono::steady_clock::now() + milliseconds(5000);
        while (occurrences(folder.read("run.log"), waitFor) < 3 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(milliseconds(10));
        stopSlave();
    }
    const std::optional<int> status = desk.awaitExit(milliseconds(10000));
    return {status.value_or(-1), folder.read("run.log"), folder.read("desk.err")};
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(PymodbusSlaves, OverTcpKnownRegistersGiveTheFramesTheImageDescribesAndSilenceErases) {
    testing::TemporaryFolder project, folder;
    writeProject(project);
    PymodbusSlave slave(folder, {"tcp"});
    const DeskOutcome run =
        runDesk(folder, project.path(), {"--tcp", "127.0.0.1:" + std::to_string(slave.port()), "--duration", "1.5"},
                "18FEEE80#8205", [&] { slave.stop(); });
    ASSERT_EQ(run.status, 0) << run.summary;
    // EEC1: register 0 of slave 1, 12000 = 0x2EE0, its high byte into B5, its low into B4. ET1: registers 10 and 11
    // of slave 1 into B1 and B2; slave 2's register is refused, slave 3 is silent.
    const std::vector<std::string> engine = dataOf(run.log, "0CF00480");
    const std::vector<std::string> temperature = dataOf(run.log, "18FEEE80");
    ASSERT_FALSE(engine.empty());
    EXPECT_TRUE(std::find(temperature.begin(), temperature.end(), "8205FFFFFFFFFFFF") != temperature.end()) << run.log;
    // Once slave 1 is gone: ET1 erases, EEC1 keeps its last answer.
    EXPECT_EQ(engine.back(), "FFFFFFE02EFFFFFF") << run.log;
    EXPECT_EQ(temperature.back(), "FFFFFFFFFFFFFFFF") << run.log;
    // Before the slaves went, slave 2 was refused and slave 3 timed out; then the connection was refused.
    EXPECT_TRUE(contains(run.summary, "  slave 2: ")) << run.summary;
    EXPECT_TRUE(contains(run.summary, " 02 (illegal data address)")) << run.summary;
    EXPECT_TRUE(contains(run.summary, "  slave 3: ")) << run.summary;
    EXPECT_TRUE(contains(run.summary, " time-out")) << run.summary;
    EXPECT_TRUE(contains(run.summary, "(the last: Connection refused)")) << run.summary;
}

TEST(PymodbusSlaves, OverRtuThroughASocatPairTheSameAndSilenceTimesOut) {
    testing::TemporaryFolder project, folder;
    // socat's pseudo-terminals take no parity: the image's line is 19200 bit/s, no parity, 1 stop bit.
    writeProject(project, 0);
    const std::string master = folder.file("master"), line = folder.file("slave");
    std::optional<ChildProcess> socat(
        std::in_place,
        std::vector<std::string>{TESSARO_SOCAT, "pty,raw,echo=0,link=" + master, "pty,raw,echo=0,link=" + line},
        folder.file("socat.out"), folder.file("socat.err"));
    for (int i = 0; i < 500 && !(std::filesystem::exists(master) && std::filesystem::exists(line)); ++i)
        std::this_thread::sleep_for(milliseconds(10));
    ASSERT_TRUE(std::filesystem::exists(master)) << folder.read("socat.err");
    PymodbusSlave slave(folder, {"rtu", line, "19200", "N", "1"});
    const DeskOutcome run =
        runDesk(folder, project.path(), {"--rtu", master, "--duration", "1.5"}, "18FEEE80#8205", [&] { slave.stop(); });
    ASSERT_EQ(run.status, 0) << run.summary;
    const std::vector<std::string> engine = dataOf(run.log, "0CF00480");
    const std::vector<std::string> temperature = dataOf(run.log, "18FEEE80");
    ASSERT_FALSE(engine.empty());
    EXPECT_TRUE(std::find(temperature.begin(), temperature.end(), "8205FFFFFFFFFFFF") != temperature.end()) << run.log;
    EXPECT_EQ(engine.back(), "FFFFFFE02EFFFFFF") << run.log;
    EXPECT_EQ(temperature.back(), "FFFFFFFFFFFFFFFF") << run.log;
    EXPECT_TRUE(contains(run.summary, "Modbus RTU on " + master + ", 19200 bit/s, no parity, 1 stop bit, RS485"))
        << run.summary;
    EXPECT_TRUE(contains(run.summary, " 02 (illegal data address)")) << run.summary;
    EXPECT_TRUE(contains(run.summary, " time-outs")) << run.summary;
}

TEST(CandumpLog, PythonCanAndLog2ascReadItBackWhole) {
    testing::TemporaryFolder folder;
    const std::string values = folder.write("values.csv", "slave,kind,register,value\n1,holding,0,12000\n");
    const std::string log = folder.file("run.log");
    ChildProcess desk({TESSARO_CLI, "desk", std::string(TESSARO_EXAMPLES) + "/engine-demo", "--registers", values,
                       "--cycles", "3", "-o", log},
                      folder.file("desk.out"), folder.file("desk.err"));
    ASSERT_EQ(desk.awaitExit(milliseconds(10000)), 0) << folder.read("desk.err");
    // Group 1 (100 ms) sends its two frames 30 times while group 2 (1000 ms) sends its two 3 times.
    const std::string reader = folder.write("read.py",
                                            "import can, sys\n"
                                            "messages = list(can.CanutilsLogReader(sys.argv[1]))\n"
                                            "first = messages[0]\n"
                                            "print(len(messages), hex(first.arbitration_id), first.is_extended_id,\n"
                                            "      first.dlc, first.data.hex(), first.channel)\n");
    ChildProcess python({TESSARO_PYTHON, reader, log}, folder.file("python.out"), folder.file("python.err"));
    ASSERT_EQ(python.awaitExit(milliseconds(10000)), 0) << folder.read("python.err");
    EXPECT_EQ(folder.read("python.out"), "66 0xcf00480 True 8 ffffffe02effffff can0\n");

    const std::string asc = folder.file("run.asc");
    ChildProcess converter({TESSARO_LOG2ASC, "-I", log, "-O", asc, "can0"}, folder.file("asc.out"),
                           folder.file("asc.err"));
    ASSERT_EQ(converter.awaitExit(milliseconds(10000)), 0) << folder.read("asc.err");
    std::istringstream lines(folder.read("run.asc"));
    std::vector<std::string> frames;
    for (std::string line; std::getline(lines, line);)
        if (contains(line, " Rx ")) frames.push_back(line);
    ASSERT_EQ(frames.size(), 66u);
    EXPECT_TRUE(contains(frames[0], "CF00480x") && contains(frames[0], "d 8 FF FF FF E0 2E FF FF FF")) << frames[0];
}

TEST(CliProcess, CtrlCStopsARealTimeRunAndPrintsTheSummary) {
    testing::ModbusTestSlave slave;
    slave.setHolding(1, 0, 12000);
    testing::TemporaryFolder folder;
    const std::string log = folder.file("run.log");
    ChildProcess desk({TESSARO_CLI, "desk", std::string(TESSARO_EXAMPLES) + "/engine-demo", "--tcp",
                       "127.0.0.1:" + std::to_string(slave.port()), "-o", log},
                      folder.file("desk.out"), folder.file("desk.err"));
    const auto end = std::chrono::steady_clock::now() + milliseconds(5000);
    while (folder.read("run.log").find("0CF00480#") == std::string::npos && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(milliseconds(10));
    desk.signal(SIGINT);
    ASSERT_EQ(desk.awaitExit(milliseconds(5000)), 0) << folder.read("desk.err");
    const std::string summary = folder.read("desk.err");
    EXPECT_TRUE(contains(summary, "; it ended because it was stopped\n")) << summary;
    EXPECT_TRUE(contains(summary, "  PGN 61444 (0xF004) EEC1: ")) << summary;
    EXPECT_TRUE(contains(dataOf(folder.read("run.log"), "0CF00480").back(), "E02E")) << folder.read("run.log");
}

}  // namespace
}  // namespace tessaro
