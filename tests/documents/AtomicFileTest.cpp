#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

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

std::set<std::string> entryNames(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

mode_t modeOf(const std::string& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
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

// The owner's write bit decides, so that the file stays protected when root saves (the tests run as root).
TEST(AtomicFile, AFileItsOwnerMayNotWriteIsRefusedAndLeftAsItIs) {
    for (const mode_t mode : {0444, 0400, 0466, 0000}) {
        testing::TemporaryFolder folder;
        const std::string path = folder.write("doc.xml", "protected content");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        std::string message = "no error";
        try {
            replaceFile(path, "new");
        } catch (const Error& failure) {
            message = failure.what();
        }
        EXPECT_EQ(message, "Cannot create file \"" + path + "\". The file is read-only") << std::oct << mode;
        EXPECT_EQ(modeOf(path), mode) << std::oct << mode;
        ::chmod(path.c_str(), 0600);
        EXPECT_EQ(readFile(path), "protected content") << std::oct << mode;
        EXPECT_EQ(entryCount(folder.path()), 1) << std::oct << mode;
    }
}

TEST(AtomicFile, AFileItsOwnerMayWriteIsReplacedAndKeepsItsMode) {
    for (const mode_t mode : {0644, 0600, 0200}) {
        testing::TemporaryFolder folder;
        const std::string path = folder.write("doc.xml", "previous");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        replaceFile(path, "new");
        EXPECT_EQ(modeOf(path), mode) << std::oct << mode;
        ::chmod(path.c_str(), 0600);
        EXPECT_EQ(readFile(path), "new") << std::oct << mode;
    }
}

// Another user's file in a folder everyone may write: the rename could replace it, but the user may not write it.
TEST(AtomicFile, AFileTheUserMayNotWriteIsRefusedAndLeftAsItIs) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to save as another user";
    testing::TemporaryFolder folder;
    ASSERT_EQ(::chmod(folder.path().c_str(), 0777), 0);
    const std::string path = folder.write("doc.xml", "root's content");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        std::string message = "no error";
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) message = "setuid failed";
        try {
            replaceFile(path, "nobody's");
        } catch (const Error& failure) {
            message = failure.what();
        }
        [[maybe_unused]] const ssize_t written = ::write(ends[1], message.data(), message.size());
        ::_exit(0);
    }
    ::close(ends[1]);
    std::string message;
    char buffer[512];
    for (ssize_t got; (got = ::read(ends[0], buffer, sizeof buffer)) > 0;) message.append(buffer, std::size_t(got));
    ::close(ends[0]);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(message, "Cannot create file \"" + path + "\". The file is read-only");
    EXPECT_EQ(readFile(path), "root's content");
    EXPECT_EQ(entryCount(folder.path()), 1);
}

// What a killed save leaves is its temporary file, the document's name with ".XXXXXX.tmp" after it: the next save
// of that document removes it, and nothing else.
TEST(AtomicFile, ASaveRemovesTheTemporaryFilesThatKilledSavesOfItsDocumentLeft) {
    testing::TemporaryFolder folder;
    const std::string path = folder.write("doc.xml", "previous");
    for (const char* left : {"doc.xml.a1B2c3.tmp", "doc.xml.zzzzzz.tmp"}) folder.write(left, "<Frames_J1939><ro");
    const std::set<std::string> kept = {"doc.xml.backup",       "doc.xml.a1B2c3",     "doc.xml.a1B2c.tmp",
                                        "other.xml.a1B2c3.tmp", "doc.xml.a-B2c3.tmp", "xdoc.xml.a1B2c3.tmp"};
    for (const std::string& name : kept) folder.write(name, "the user's");
    std::filesystem::create_directory(folder.file("doc.xml.folder.tmp"));

    replaceFile(path, "new");

    std::set<std::string> expected = kept;
    expected.insert({"doc.xml", "doc.xml.folder.tmp"});
    EXPECT_EQ(entryNames(folder.path()), expected);
    EXPECT_EQ(readFile(path), "new");
    for (const std::string& name : kept) EXPECT_EQ(folder.read(name), "the user's") << name;
}

}  // namespace
}  // namespace tessaro
