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

// Several documents that belong together are replaced all or none.

std::string g_madeAFolderOf;  // the document the hook below puts a folder in place of
std::size_t g_renamesSeen = 0;

// After the first rename a folder takes the place of a later document, so that its rename fails, whoever runs the test.
void makeAFolderAfterTheFirstRename(std::size_t renamed) {
    g_renamesSeen = renamed;
    if (renamed != 1) return;
    std::filesystem::remove(g_madeAFolderOf);
    std::filesystem::create_directories(g_madeAFolderOf + "/inner");
}

struct Replacements {
    testing::TemporaryFolder folder;
    std::vector<FileReplacement> files;

    Replacements() {
        folder.write("Group.xml", "old groups");
        folder.write("FrameJ1939.xml", "old frames");
        ::chmod(folder.file("FrameJ1939.xml").c_str(), 0640);
        files = {{folder.file("Group.xml"), "new groups"},
                 {folder.file("FrameJ1939.xml"), "new frames"},
                 {folder.file("DefFrameJ1939.xml"), std::string_view("new definitions, a file that was not there")}};
    }
    std::string failure() const {
        try {
            replaceFiles(files);
        } catch (const Error& failure) {
            return failure.what();
        }
        return "no error";
    }
};

TEST(ReplaceFiles, ReplacesEveryFileAndLeavesNoTemporaryFile) {
    Replacements replacements;
    EXPECT_EQ(replacements.failure(), "no error");
    const testing::TemporaryFolder& folder = replacements.folder;
    EXPECT_EQ(folder.read("Group.xml"), "new groups");
    EXPECT_EQ(folder.read("FrameJ1939.xml"), "new frames");
    EXPECT_EQ(modeOf(folder.file("FrameJ1939.xml")), 0640u);
    EXPECT_EQ(folder.read("DefFrameJ1939.xml"), "new definitions, a file that was not there");
    EXPECT_EQ(entryNames(folder.path()), (std::set<std::string>{"DefFrameJ1939.xml", "FrameJ1939.xml", "Group.xml"}));
}

TEST(ReplaceFiles, AFileThatCannotBeReplacedIsFoundBeforeAnyIs) {
    for (const int last : {0, 1}) {
        Replacements replacements;
        const testing::TemporaryFolder& folder = replacements.folder;
        std::string expected;
        if (last == 0) {
            // The last of the three read-only: the first two are still as they were.
            folder.write("DefFrameJ1939.xml", "old definitions");
            ASSERT_EQ(::chmod(folder.file("DefFrameJ1939.xml").c_str(), 0444), 0);
            expected = "Cannot create file \"" + folder.file("DefFrameJ1939.xml") + "\". The file is read-only";
        } else {
            std::filesystem::create_directories(folder.file("DefFrameJ1939.xml/inner"));
            expected = "Cannot create file \"" + folder.file("DefFrameJ1939.xml") + "\". Is a directory";
        }
        EXPECT_EQ(replacements.failure(), expected);
        EXPECT_EQ(folder.read("Group.xml"), "old groups");
        EXPECT_EQ(folder.read("FrameJ1939.xml"), "old frames");
        EXPECT_EQ(entryNames(folder.path()),
                  (std::set<std::string>{"DefFrameJ1939.xml", "FrameJ1939.xml", "Group.xml"}));
    }
}

TEST(ReplaceFiles, AWriteThatFailsPartWayReplacesNothing) {
    Replacements replacements;
    const std::string large(65536, 'x');
    replacements.files[2].bytes = large;
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string message = replacements.failure();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previousHandler);
    const testing::TemporaryFolder& folder = replacements.folder;
    EXPECT_EQ(message, "Cannot create file \"" + folder.file("DefFrameJ1939.xml") + "\". File too large");
    EXPECT_EQ(folder.read("Group.xml"), "old groups");
    EXPECT_EQ(folder.read("FrameJ1939.xml"), "old frames");
    EXPECT_EQ(entryNames(folder.path()), (std::set<std::string>{"FrameJ1939.xml", "Group.xml"}));
}

TEST(ReplaceFiles, ARenameThatFailsPutsBackWhatWasReplaced) {
    Replacements replacements;
    const testing::TemporaryFolder& folder = replacements.folder;
    g_madeAFolderOf = folder.file("FrameJ1939.xml");
    setRenamedHook(makeAFolderAfterTheFirstRename);
    const std::string message = replacements.failure();
    setRenamedHook(nullptr);
    EXPECT_EQ(g_renamesSeen, 1u);
    EXPECT_EQ(message, "Cannot create file \"" + folder.file("FrameJ1939.xml") + "\". Is a directory");
    EXPECT_EQ(folder.read("Group.xml"), "old groups");
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("FrameJ1939.xml/inner")));
    EXPECT_EQ(entryNames(folder.path()), (std::set<std::string>{"FrameJ1939.xml", "Group.xml"}));

    // A file that was not there before is taken away again.
    std::filesystem::remove_all(folder.file("FrameJ1939.xml"));
    folder.write("FrameJ1939.xml", "old frames");
    std::filesystem::remove(folder.file("Group.xml"));
    g_madeAFolderOf = folder.file("DefFrameJ1939.xml");
    setRenamedHook(makeAFolderAfterTheFirstRename);
    const std::string second = replacements.failure();
    setRenamedHook(nullptr);
    EXPECT_EQ(second, "Cannot create file \"" + folder.file("DefFrameJ1939.xml") + "\". Is a directory");
    EXPECT_FALSE(folder.exists("Group.xml"));
    EXPECT_EQ(folder.read("FrameJ1939.xml"), "old frames");
}

// A process killed between two renames leaves what the folder holds at that moment: a copy taken then is that.
std::string g_killedCopy;  // where the hook copies the folder to

void copyTheFolderAfterTheFirstRename(std::size_t renamed) {
    if (renamed == 1)
        std::filesystem::copy(std::filesystem::path(g_madeAFolderOf).parent_path(), g_killedCopy,
                              std::filesystem::copy_options::recursive);
}

TEST(ReplaceFiles, AKillBetweenTwoRenamesLeavesEachFileWholeAndTheNextSavesClearUp) {
    Replacements replacements;
    testing::TemporaryFolder killed;
    g_madeAFolderOf = replacements.folder.file("Group.xml");
    g_killedCopy = killed.file("project");
    setRenamedHook(copyTheFolderAfterTheFirstRename);
    EXPECT_EQ(replacements.failure(), "no error");
    setRenamedHook(nullptr);
    EXPECT_EQ(killed.read("project/Group.xml"), "new groups");
    EXPECT_EQ(killed.read("project/FrameJ1939.xml"), "old frames");
    EXPECT_FALSE(killed.exists("project/DefFrameJ1939.xml"));
    // The temporary files of the two not yet renamed, whole, which the next save of each removes.
    std::set<std::string> names = entryNames(killed.file("project"));
    EXPECT_EQ(names.size(), 4u);
    names.erase("Group.xml");
    names.erase("FrameJ1939.xml");
    for (const std::string& name : names) EXPECT_EQ(name.substr(name.size() - 4), ".tmp") << name;
    replaceFiles({{killed.file("project/FrameJ1939.xml"), "frames again"},
                  {killed.file("project/DefFrameJ1939.xml"), "definitions again"}});
    EXPECT_EQ(entryNames(killed.file("project")),
              (std::set<std::string>{"DefFrameJ1939.xml", "FrameJ1939.xml", "Group.xml"}));
}

}  // namespace
}  // namespace tessaro
