#include <gtest/gtest.h>

#include <filesystem>

#include "platform/FolderBrowserDialog.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

class FolderBrowser : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"PROJECTS/abc/bin", "PROJECTS/def", "PROJECTSabc", "MASTER"})
            std::filesystem::create_directories(tool.file(folder));
    }
    QString path(const char* relative) const { return QString::fromStdString(tool.file(relative)); }

    testing::TemporaryFolder tool;
};

TEST_F(FolderBrowser, StartsAtTheCurrentProjectFolder) {
    platform::FolderBrowserDialog browser(nullptr, "Select directory of project", path("PROJECTS"),
                                          path("PROJECTS/abc"));
    EXPECT_EQ(browser.windowTitle(), "Select directory of project");
    EXPECT_EQ(browser.chosenFolder(), path("PROJECTS/abc"));
}

TEST_F(FolderBrowser, OnlyTheRootAndFoldersBelowItCanBeChosen) {
    platform::FolderBrowserDialog browser(nullptr, "t", path("PROJECTS"), QString());
    EXPECT_EQ(browser.chosenFolder(), path("PROJECTS")) << "an empty start selects the root";
    EXPECT_TRUE(browser.select(path("PROJECTS/abc/bin")));
    EXPECT_EQ(browser.chosenFolder(), path("PROJECTS/abc/bin"));
    for (const char* outside : {"PROJECTSabc", "MASTER", ""}) {
        EXPECT_FALSE(browser.select(path(outside))) << outside;
        EXPECT_EQ(browser.chosenFolder(), path("PROJECTS/abc/bin")) << outside;
    }
    EXPECT_FALSE(browser.select(path("PROJECTS/../MASTER")));
}

}  // namespace
}  // namespace tessaro
