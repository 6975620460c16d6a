#include <filesystem>

#include "core/documents/AtomicFile.h"
#include "support/GuiFixture.h"
#include "support/ImageFields.h"

namespace tessaro {
namespace {

const std::string kExample = std::string(TESSARO_FIXTURES) + "/image/worked-example";

// "Update Device" in a project abc below PROJECTS.
class UpdateDevice : public testing::GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        useNewProject("abc");
    }
    void copyExample() {
        for (const char* name : {"FrameJ1939.xml", "DefFrameJ1939.xml", "Group.xml", "pargen.xml"})
            std::filesystem::copy_file(kExample + "/" + name, projectFile(name));
    }
};

TEST_F(UpdateDevice, BuildsAndWritesTheImageOfTheProject) {
    copyExample();
    click("CreateBin");
    EXPECT_TRUE(testing::sameImage(readFile(kExample + "/bank.bin"), readFile(projectFile("bin/bank.bin"))));
    EXPECT_EQ(readFile(projectFile("bin/bank.bin")).size(), 53u);
    EXPECT_TRUE(fake.messages.shown.empty());
    EXPECT_EQ(fake.dialogs.shownTitles, std::vector<QString>{"Update Firmware from Serial (RS232)"});
}

TEST_F(UpdateDevice, AnEmptyProjectFolderIsNotValid) {
    window->project().projectFolder.clear();
    window->project().SetProjectPaths();
    click("CreateBin");
    EXPECT_EQ(fake.messages.shown,
              (std::vector<testing::Message>{
                  {"plain", "Project not valid\nNo project folder is set: open or create a project."}}));
    EXPECT_TRUE(fake.dialogs.shownTitles.empty());
}

TEST_F(UpdateDevice, ABuildFailureIsShownAndThePreviousImageStays) {
    copyExample();
    tool.write("PROJECTS/abc/Group.xml", "<Group><row Cyclic_Time=\"abc\" Mnemonic=\"\"/></Group>");
    tool.write("PROJECTS/abc/bin/bank.bin", "previous");
    click("CreateBin");
    EXPECT_EQ(fake.messages.shown,
              (std::vector<testing::Message>{
                  {"standardError", "'abc' is not a valid integer value\nGroup.xml, row 1, attribute Cyclic_Time"}}));
    EXPECT_EQ(tool.read("PROJECTS/abc/bin/bank.bin"), "previous");
    EXPECT_TRUE(fake.dialogs.shownTitles.empty());
}

TEST_F(UpdateDevice, AnImageThatCannotBeWrittenIsReported) {
    copyExample();
    tool.write("PROJECTS/abc/bin/bank.bin/x", "a folder where the image should be");
    click("CreateBin");
    ASSERT_EQ(fake.messages.shown.size(), 1u);
    EXPECT_EQ(fake.messages.shown[0].kind, "standardError");
    EXPECT_EQ(fake.messages.shown[0].text.rfind("Cannot create file \"" + projectFile("bin/bank.bin") + "\".", 0), 0u)
        << fake.messages.shown[0].text;
    EXPECT_EQ(tool.read("PROJECTS/abc/bin/bank.bin/x"), "a folder where the image should be");
    EXPECT_TRUE(fake.dialogs.shownTitles.empty());
}

TEST_F(UpdateDevice, AMissingBinFolderIsCreated) {
    copyExample();
    ASSERT_FALSE(tool.exists("PROJECTS/abc/bin"));
    click("CreateBin");
    EXPECT_EQ(tool.read("PROJECTS/abc/bin/bank.bin").size(), 53u);
}

}  // namespace
}  // namespace tessaro
