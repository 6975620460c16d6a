#include <filesystem>

#include <gtest/gtest.h>

#include "documents/AtomicFile.h"
#include "documents/Errors.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

TEST(AtomicFile, ReplacesWholeAndLeavesNoTemporaryFile) {
    testing::TemporaryFolder folder;
    const std::string path = folder.write("doc.xml", "previous content that is longer");
    replaceFile(path, "new");
    EXPECT_EQ(readFile(path), "new");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(AtomicFile, FailedReplaceKeepsThePreviousFile) {
    testing::TemporaryFolder folder;
    // A folder where the file should be: the rename cannot happen, whoever runs the test.
    std::filesystem::create_directories(folder.file("doc.xml/inner"));
    EXPECT_THROW(replaceFile(folder.file("doc.xml"), "new"), Error);
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("doc.xml/inner")));
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) ++entries;
    EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace tessaro
