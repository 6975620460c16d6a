#include <gtest/gtest.h>

#include <QTest>
#include <QTreeView>
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

// A user's double-click on a folder's line in the shown dialog, as the system delivers it: a click, then the double
// click and its release.
void doubleClick(platform::FolderBrowserDialog& browser, const QModelIndex& folder) {
    auto* tree = browser.findChild<QTreeView*>();
    ASSERT_TRUE(tree);
    tree->scrollTo(folder);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tree->visualRect(folder).isValid(); }));
    const QPoint at = tree->visualRect(folder).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

QModelIndex lineOf(platform::FolderBrowserDialog& browser, const QString& folder) {
    EXPECT_TRUE(browser.select(folder));
    return browser.findChild<QTreeView*>()->currentIndex();
}

TEST_F(FolderBrowser, ADoubleClickOnAFolderChoosesItAsOkDoes) {
    platform::FolderBrowserDialog browser(nullptr, "t", path("PROJECTS"), path("PROJECTS/def"));
    browser.show();
    browser.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&browser));
    const QModelIndex abc = lineOf(browser, path("PROJECTS/abc"));
    browser.select(path("PROJECTS/def"));
    doubleClick(browser, abc);
    EXPECT_FALSE(browser.isVisible());
    EXPECT_EQ(browser.result(), QDialog::Accepted);
    EXPECT_EQ(browser.chosenFolder(), path("PROJECTS/abc"));
}

TEST_F(FolderBrowser, ADoubleClickOnTheRootOpensOrClosesItAndChoosesNothing) {
    platform::FolderBrowserDialog browser(nullptr, "t", path("PROJECTS"), path("PROJECTS/def"));
    browser.show();
    browser.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&browser));
    auto* tree = browser.findChild<QTreeView*>();
    const QModelIndex root = lineOf(browser, path("PROJECTS"));
    ASSERT_TRUE(tree->isExpanded(root));
    doubleClick(browser, root);
    EXPECT_FALSE(tree->isExpanded(root));
    doubleClick(browser, root);
    EXPECT_TRUE(tree->isExpanded(root));
    EXPECT_TRUE(browser.isVisible());
    browser.reject();
}

}  // namespace
}  // namespace tessaro
