#include <gtest/gtest.h>
#include <termios.h>

#include <functional>

#include "platform/SerialPort.h"
#include "support/PseudoTerminal.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

using testing::PseudoTerminal;

// The line settings of a terminal device as another program sees them.
termios lineOf(const std::string& device) {
    termios line{};
    const int descriptor = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_GE(descriptor, 0) << device;
    EXPECT_EQ(::tcgetattr(descriptor, &line), 0);
    ::close(descriptor);
    return line;
}

void setLine(const std::string& device, const std::function<void(termios&)>& change) {
    const int descriptor = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(descriptor, 0) << device;
    termios line{};
    ASSERT_EQ(::tcgetattr(descriptor, &line), 0);
    change(line);
    ASSERT_EQ(::tcsetattr(descriptor, TCSANOW, &line), 0);
    ::close(descriptor);
}

// Every list name names the pseudo-terminal.
platform::SerialDeviceMapping onto(const PseudoTerminal& terminal) {
    const QString device = QString::fromStdString(terminal.device());
    return [device](const QString&) { return device; };
}

TEST(SerialPort, PseudoTerminalOpensExclusivelyAt9600EightNoneOneButRefusesDtr) {
    PseudoTerminal terminal;
    platform::QtSerialPort port(onto(terminal));
    EXPECT_FALSE(port.open()) << "no name yet";
    ASSERT_TRUE(port.setDeviceName("COM4"));
    ASSERT_TRUE(port.open());
    EXPECT_TRUE(port.isOpen());
    EXPECT_FALSE(port.open()) << "already open";
    EXPECT_TRUE(port.setDeviceName("COM4"));
    EXPECT_FALSE(port.setDeviceName("COM5")) << "another name while open";
    EXPECT_EQ(port.deviceName(), "COM4");
    EXPECT_FALSE(port.raiseDtr());

    const termios line = lineOf(terminal.device());
    EXPECT_EQ(::cfgetospeed(&line), B9600);
    EXPECT_EQ(line.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB), tcflag_t(0));
    EXPECT_EQ(line.c_iflag & INPCK, tcflag_t(0)) << "no parity checking";

    platform::QtSerialPort other(onto(terminal));
    other.setDeviceName("COM4");
    EXPECT_FALSE(other.open()) << "the port is held exclusively";
    port.close();
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.raiseDtr());
    EXPECT_TRUE(other.open()) << "closing let it go";
}

TEST(SerialPort, WhatIsNoTerminalDoesNotOpenAndSaysWhy) {
    testing::TemporaryFolder folder;
    const std::pair<std::string, const char*> cases[] = {
        {folder.write("file", "x"), "a regular file, not a serial device"},
        {folder.path(), "a folder, not a serial device"},
        {folder.file("missing"), "No such file or directory"},
    };
    for (const auto& [device, reason] : cases) {
        platform::QtSerialPort port([device](const QString&) { return QString::fromStdString(device); });
        port.setDeviceName("COM1");
        EXPECT_FALSE(port.open()) << device;
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(port.failure().toStdString(), reason);
    }
}

TEST(SerialPort, AFailureSaysWhyUntilTheNextSuccess) {
    PseudoTerminal terminal;
    platform::QtSerialPort port(onto(terminal));
    EXPECT_FALSE(port.open());
    EXPECT_EQ(port.failure(), "no port named");
    port.setDeviceName("COM1");
    ASSERT_TRUE(port.open());
    EXPECT_EQ(port.failure(), "");
    EXPECT_FALSE(port.open());
    EXPECT_EQ(port.failure(), "already open");
    EXPECT_FALSE(port.raiseDtr());
    EXPECT_EQ(port.failure(), "DTR cannot be raised (Inappropriate ioctl for device)")
        << "a terminal without modem lines";

    platform::QtSerialPort other(onto(terminal));
    other.setDeviceName("COM2");
    EXPECT_FALSE(other.open());
    EXPECT_FALSE(other.failure().isEmpty()) << "held by the first: the port layer's own words";
    port.close();
    EXPECT_FALSE(port.raiseDtr());
    EXPECT_EQ(port.failure(), "not open");
    EXPECT_TRUE(other.open());
    EXPECT_EQ(other.failure(), "");
}

// The port's flow control is its own: neither hardware nor software flow control is switched on or off by the tool.
TEST(SerialPort, FlowControlStaysAsThePortHadItAndXonXoffAre17And19) {
    struct Case {
        const char* what;
        tcflag_t hardware;  // c_cflag
        tcflag_t software;  // c_iflag
    };
    const Case cases[] = {
        {"none", 0, 0},
        {"RTS/CTS", CRTSCTS, 0},
        {"XON/XOFF out", 0, IXON},
        {"XON/XOFF both ways, any character restarts", 0, IXON | IXOFF | IXANY},
        {"both", CRTSCTS, IXOFF},
    };
    for (const Case& example : cases) {
        PseudoTerminal terminal;
        setLine(terminal.device(), [&](termios& line) {
            line.c_cflag = (line.c_cflag & ~tcflag_t(CRTSCTS)) | example.hardware;
            line.c_iflag = (line.c_iflag & ~tcflag_t(IXON | IXOFF | IXANY)) | example.software;
            line.c_cc[VSTART] = 1;
            line.c_cc[VSTOP] = 2;
            cfsetospeed(&line, B19200);
        });
        platform::QtSerialPort port(onto(terminal));
        port.setDeviceName("COM1");
        ASSERT_TRUE(port.open()) << example.what;
        const termios open = lineOf(terminal.device());
        EXPECT_EQ(open.c_cflag & CRTSCTS, example.hardware) << example.what;
        EXPECT_EQ(open.c_iflag & (IXON | IXOFF | IXANY), example.software) << example.what;
        EXPECT_EQ(open.c_cc[VSTART], 17) << example.what;
        EXPECT_EQ(open.c_cc[VSTOP], 19) << example.what;
        EXPECT_EQ(::cfgetospeed(&open), B9600) << example.what;
        port.close();
        const termios closed = lineOf(terminal.device());
        EXPECT_EQ(::cfgetospeed(&closed), B19200) << example.what << ": the port's own settings come back at close";
        EXPECT_EQ(closed.c_cc[VSTART], 1) << example.what;
    }
}

// The device used here is a pseudo-terminal (/dev/pts/N): it opens like a serial port.
TEST(SerialPort, SettingsFileMapsCom2OntoAnyDevice) {
    PseudoTerminal terminal;
    testing::TemporaryFolder tool;
    const std::string settings =
        tool.write("Tessaro_Kelvane.ini", "[lastproj]\nprojectname=\n[ports]\nCOM2=" + terminal.device() + "\n");
    platform::QtSerialPort port(platform::settingsMapping(settings));
    EXPECT_EQ(port.deviceOf("COM2").toStdString(), terminal.device());
    EXPECT_EQ(port.deviceOf("COM1").toStdString(), "/dev/ttyS0");
    ASSERT_TRUE(port.setDeviceName("COM2"));
    ASSERT_TRUE(port.open());
    platform::QtSerialPort other(onto(terminal));
    other.setDeviceName("COM7");
    EXPECT_FALSE(other.open()) << "COM2 holds the pseudo-terminal";

    tool.write("Tessaro_Kelvane.ini", "[ports]\nCOM2=" + tool.file("gone") + "\n");
    EXPECT_EQ(port.deviceOf("COM2").toStdString(), tool.file("gone")) << "the file is read at every use";
}

}  // namespace
}  // namespace tessaro
