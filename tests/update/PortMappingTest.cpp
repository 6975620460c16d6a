#include <gtest/gtest.h>

#include "support/TemporaryFolder.h"
#include "update/PortMapping.h"

namespace tessaro {
namespace {

TEST(PortMapping, ListNamesMapOntoTheFirstTenSerialDevices) {
    const std::pair<const char*, const char*> cases[] = {
        {"COM1", "/dev/ttyS0"}, {"COM2", "/dev/ttyS1"}, {"COM9", "/dev/ttyS8"}, {"COM10", "/dev/ttyS9"},
        {"COM11", "COM11"},     {"COM0", "COM0"},       {"COM01", "COM01"},     {"COM+1", "COM+1"},
        {"COM", "COM"},         {"com1", "com1"},       {"COM1 ", "COM1 "},     {"/dev/pts/3", "/dev/pts/3"},
    };
    for (const auto& [name, device] : cases) EXPECT_EQ(defaultSerialDevice(name), device) << name;
}

TEST(PortMapping, TheSettingsFileMapsEachNameAndTheOthersKeepTheDefault) {
    testing::TemporaryFolder tool;
    const std::string settings = tool.write("Tessaro_Kelvane.ini",
                                            "[lastproj]\nprojectname=/abc\nCOM3=/dev/wrong-section\n"
                                            "[Ports]\ncom2 = /dev/ttyUSB0\nCOM4=\nCOM10=/dev/serial/by-id/usb-x\n");
    const std::pair<const char*, const char*> cases[] = {
        {"COM1", "/dev/ttyS0"},
        {"COM2", "/dev/ttyUSB0"},
        {"COM3", "/dev/ttyS2"},
        {"COM4", "/dev/ttyS3"},
        {"COM10", "/dev/serial/by-id/usb-x"},
    };
    for (const auto& [name, device] : cases) EXPECT_EQ(mappedSerialDevice(settings, name), device) << name;
    EXPECT_EQ(mappedSerialDevice(tool.file("missing.ini"), "COM2"), "/dev/ttyS1");
}

}  // namespace
}  // namespace tessaro
