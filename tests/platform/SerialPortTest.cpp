#include <termios.h>

#include <gtest/gtest.h>

#include "platform/SerialPort.h"
#include "support/PseudoTerminal.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

using testing::PseudoTerminal;

TEST(SerialDevice, ListNamesMapOntoTheFirstTenSerialDevices) {
    const std::pair<const char*, const char*> cases[] = {
        {"COM1", "/dev/ttyS0"}, {"COM2", "/dev/ttyS1"}, {"COM9", "/dev/ttyS8"}, {"COM10", "/dev/ttyS9"},
        {"COM11", "COM11"},     {"COM0", "COM0"},       {"com1", "com1"},       {"/dev/pts/3", "/dev/pts/3"},
    };
    for (const auto& [name, device] : cases) EXPECT_EQ(platform::serialDeviceOf(name).toStdString(), device) << name;
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

    termios line{};
    const int device = ::open(terminal.device().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(device, 0);
    ASSERT_EQ(::tcgetattr(device, &line), 0);
    ::close(device);
    EXPECT_EQ(::cfgetospeed(&line), B9600);
    EXPECT_EQ(line.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB), tcflag_t(0));

    platform::QtSerialPort other(onto(terminal));
    other.setDeviceName("COM4");
    EXPECT_FALSE(other.open()) << "the port is held exclusively";
    port.close();
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.raiseDtr());
    EXPECT_TRUE(other.open()) << "closing let it go";
}

TEST(SerialPort, WhatIsNoTerminalDoesNotOpen) {
    testing::TemporaryFolder folder;
    for (const std::string& device : {folder.write("file", "x"), folder.path(), folder.file("missing")}) {
        platform::QtSerialPort port([device](const QString&) { return QString::fromStdString(device); });
        port.setDeviceName("COM1");
        EXPECT_FALSE(port.open()) << device;
        EXPECT_FALSE(port.isOpen());
    }
}

}  // namespace
}  // namespace tessaro
