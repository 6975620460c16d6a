#include <gtest/gtest.h>

#include <filesystem>

#include "core/documents/Errors.h"
#include "core/project/IniProfile.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

struct ReadCase {
    const char* text;
    std::optional<std::string> value;
};

const ReadCase kReads[] = {
    {"[other]\nprojectname=wrong\n[LastProj]\n  ProjectName = \\abc \n", "\\abc"},
    {"[lastproj]\nprojectname=\n", ""},
    {"[lastproj]\n", std::nullopt},
    {"", std::nullopt},
    // A file saved by an editor that writes a byte order mark: the first section is a section all the same.
    {"\xEF\xBB\xBF[lastproj]\nprojectname=/abc\n", "/abc"},
    {"\xEF\xBB\xBF[lastproj]\r\nprojectname=/abc\r\n", "/abc"},
    {"\xEF\xBB\xBF", std::nullopt},
    // Only at the very start is it a mark; elsewhere its bytes are text.
    {"[lastproj]\nprojectname=\xEF\xBB\xBF/abc\n", "\xEF\xBB\xBF/abc"},
    // Double quotes around a value go, and so does the trimming inside them; a lone or unmatched quote stays.
    {"[lastproj]\nprojectname=\"/abc\"\n", "/abc"},
    {"[lastproj]\nprojectname = \" a b \" \n", " a b "},
    {"[lastproj]\nprojectname=\"\"\n", ""},
    {"[lastproj]\nprojectname=\"\n", "\""},
    {"[lastproj]\nprojectname=\"/abc\n", "\"/abc"},
    {"[lastproj]\nprojectname=/abc\"\n", "/abc\""},
    {"[lastproj]\nprojectname=\"a\"b\"\n", "a\"b"},
    {"[lastproj]\nprojectname='/abc'\n", "'/abc'"},
};

TEST(IniProfile, ReadsTheKeyOfItsSection) {
    for (const ReadCase& c : kReads) EXPECT_EQ(readIniValue(c.text, "lastproj", "projectname"), c.value) << c.text;
}

TEST(IniProfile, PortsSectionAfterAByteOrderMarkWithAQuotedDevice) {
    const std::string text = "\xEF\xBB\xBF[ports]\r\nCOM1=\"/dev/ttyUSB0\"\r\nCOM2=/dev/ttyACM0\r\n";
    EXPECT_EQ(readIniValue(text, "ports", "COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(readIniValue(text, "ports", "COM2"), "/dev/ttyACM0");
}

struct WriteCase {
    const char* before;
    const char* value;
    const char* after;
};

const WriteCase kWrites[] = {
    {"", "", "[lastproj]\nprojectname=\n"},
    {"", "/abc", "[lastproj]\nprojectname=/abc\n"},
    {"[lastproj]\nprojectname=old\n", "new", "[lastproj]\nprojectname=new\n"},
    {"; comment\n[a]\nx=1\n\n[lastproj]\nother=2\nprojectname=old\nlast=3\n[b]\ny=4", "new",
     "; comment\n[a]\nx=1\n\n[lastproj]\nother=2\nprojectname=new\nlast=3\n[b]\ny=4"},
    {"[lastproj]\nother=2\n\n[b]\ny=4\n", "v", "[lastproj]\nother=2\nprojectname=v\n\n[b]\ny=4\n"},
    {"[a]\r\nx=1", "v", "[a]\r\nx=1\r\n[lastproj]\r\nprojectname=v\r\n"},
    {"[lastproj]", "v", "[lastproj]\nprojectname=v\n"},
    // The byte order mark stays where it was, and the section after it is the one written.
    {"\xEF\xBB\xBF[lastproj]\nprojectname=old\n", "new", "\xEF\xBB\xBF[lastproj]\nprojectname=new\n"},
    {"\xEF\xBB\xBF[ports]\r\nCOM1=\"/dev/ttyUSB0\"\r\n", "v",
     "\xEF\xBB\xBF[ports]\r\nCOM1=\"/dev/ttyUSB0\"\r\n[lastproj]\r\nprojectname=v\r\n"},
    {"\xEF\xBB\xBF", "v", "\xEF\xBB\xBF[lastproj]\nprojectname=v\n"},
    // A value that reading would change (blanks at its ends, quotes around it) is written in quotes.
    {"", "\"q\"", "[lastproj]\nprojectname=\"\"q\"\"\n"},
    {"", " a ", "[lastproj]\nprojectname=\" a \"\n"},
    {"", "a\"b", "[lastproj]\nprojectname=a\"b\n"},
};

TEST(IniProfile, WritingKeepsEveryOtherLine) {
    for (const WriteCase& c : kWrites)
        EXPECT_EQ(withIniValue(c.before, "lastproj", "projectname", c.value), c.after) << "before: " << c.before;
}

TEST(IniProfile, EveryValueReadsBackAsWritten) {
    for (const char* value : {"", "/abc", "\\abc", "\"q\"", " a ", "\t", "a\"b", "\"", "\"\"", "'x'", "x = y"}) {
        const std::string text = withIniValue("[lastproj]\nprojectname=old\n", "lastproj", "projectname", value);
        EXPECT_EQ(readIniValue(text, "lastproj", "projectname"), value) << text;
    }
}

TEST(IniProfile, FileRoundTripAndUnwritableFile) {
    testing::TemporaryFolder folder;
    const std::string path = folder.file("Tessaro_Kelvane.ini");
    EXPECT_EQ(readProfileString(path, "lastproj", "projectname"), std::nullopt);
    writeProfileString(path, "lastproj", "projectname", "/abc");
    EXPECT_EQ(readProfileString(path, "lastproj", "projectname"), "/abc");

    std::filesystem::create_directories(folder.file("blocked.ini/inside"));
    try {
        writeProfileString(folder.file("blocked.ini"), "lastproj", "projectname", "x");
        FAIL() << "no error";
    } catch (const Error& failure) {
        EXPECT_EQ(std::string(failure.what()), "Unable to write to " + folder.file("blocked.ini") + "\nIs a directory");
    }
}

}  // namespace
}  // namespace tessaro
