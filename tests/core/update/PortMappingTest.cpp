#include <gtest/gtest.h>

#include "core/update/PortMapping.h"
#include "support/TemporaryFolder.h"

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

// As a Windows editor saves it: a byte order mark before the first section, CR LF, a device in quotes.
TEST(PortMapping, AFirstSectionAfterAByteOrderMarkAndADeviceInQuotes) {
    testing::TemporaryFolder tool;
    const std::string settings = tool.write("Tessaro_Kelvane.ini",
                                            "\xEF\xBB\xBF[ports]\r\nCOM1=\"/dev/ttyUSB0\"\r\nCOM2=\"\"\r\n"
                                            "[lastproj]\r\nprojectname=/abc\r\n");
    EXPECT_EQ(mappedSerialDevice(settings, "COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(mappedSerialDevice(settings, "COM2"), "/dev/ttyS1") << "an empty value in quotes maps nothing";
}

}  // namespace
}  // namespace tessaro
