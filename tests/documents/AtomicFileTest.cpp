#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "documents/AtomicFile.h"
#include "documents/Errors.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

int entryCount(const std::string& folder) {
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++entries;
    return entries;
}

TEST(AtomicFile, ReplacesWholeAndLeavesNoTemporaryFile) {
    testing::TemporaryFolder folder;
    const std::string path = folder.write("doc.xml", "previous content that is longer");
    replaceFile(path, "new");
    EXPECT_EQ(readFile(path), "new");
    EXPECT_EQ(entryCount(folder.path()), 1);
}

TEST(AtomicFile, FailedReplaceKeepsThePreviousFile) {
    testing::TemporaryFolder folder;
    // A folder where the file should be: the rename cannot happen, whoever runs the test.
    std::filesystem::create_directories(folder.file("doc.xml/inner"));
    EXPECT_THROW(replaceFile(folder.file("doc.xml"), "new"), Error);
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("doc.xml/inner")));
    EXPECT_EQ(entryCount(folder.path()), 1);
}

TEST(AtomicFile, AWriteThatStopsPartWayKeepsThePreviousFile) {
    testing::TemporaryFolder folder;
    const std::string path = folder.write("doc.xml", "previous content");
    // A file size limit stops the write after its first bytes, as a full disk would, whoever runs the test.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string message = "no error";
    try {
        replaceFile(path, std::string(65536, 'x'));
    } catch (const Error& failure) {
        message = failure.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(message, "Cannot create file \"" + path + "\". File too large");
    EXPECT_EQ(readFile(path), "previous content");
    EXPECT_EQ(entryCount(folder.path()), 1);
}

}  // namespace
}  // namespace tessaro
