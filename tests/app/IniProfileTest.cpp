#include <gtest/gtest.h>

#include <filesystem>

#include "documents/Errors.h"
#include "project/IniProfile.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

TEST(IniProfile, ReadsTheKeyOfItsSection) {
    const std::string text = "[other]\nprojectname=wrong\n[LastProj]\n  ProjectName = \\abc \n";
    EXPECT_EQ(readIniValue(text, "lastproj", "projectname"), "\\abc");
    EXPECT_EQ(readIniValue("[lastproj]\nprojectname=\n", "lastproj", "projectname"), "");
    EXPECT_EQ(readIniValue("[lastproj]\n", "lastproj", "projectname"), std::nullopt);
    EXPECT_EQ(readIniValue("", "lastproj", "projectname"), std::nullopt);
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
};

TEST(IniProfile, WritingKeepsEveryOtherLine) {
    for (const WriteCase& c : kWrites)
        EXPECT_EQ(withIniValue(c.before, "lastproj", "projectname", c.value), c.after) << "before: " << c.before;
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
        EXPECT_EQ(std::string(failure.what()), "Unable to write to " + folder.file("blocked.ini"));
    }
}

}  // namespace
}  // namespace tessaro
