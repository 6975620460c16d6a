#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"
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

bool isSymlink(const std::string& path) {
    std::error_code code;
    return std::filesystem::is_symlink(path, code);
}

// The read end of a FIFO, opened before anything writes to it so that neither side waits: what was written is
// read once the writer closed, and nothing when no writer ever opened it.
class FifoReader {
public:
    explicit FifoReader(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {}
    ~FifoReader() {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool opened() const { return m_fd >= 0; }
    std::string written() const {
        std::string bytes;
        char buffer[4096];
        for (ssize_t got; (got = ::read(m_fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, std::size_t(got));
        return bytes;
    }

private:
    int m_fd;
};

// A FIFO (or a link to one) where the file should be is written to, as a shell's redirection writes to it; a
// rename would put a regular file in its place and the reader would get nothing.
TEST(AtomicFile, AFifoIsWrittenToAndStaysAFifo) {
    for (const bool throughLink : {false, true}) {
        testing::TemporaryFolder folder;
        const std::string fifo = folder.file("pipe");
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        const std::string target = throughLink ? folder.file("link") : fifo;
        if (throughLink) std::filesystem::create_symlink("pipe", target);
        const FifoReader reader(fifo);
        ASSERT_TRUE(reader.opened());
        replaceFile(target, "the bytes");
        EXPECT_EQ(reader.written(), "the bytes") << throughLink;
        EXPECT_TRUE(std::filesystem::is_fifo(fifo)) << throughLink;
        EXPECT_EQ(isSymlink(target), throughLink);
        EXPECT_EQ(entryCount(folder.path()), throughLink ? 2 : 1);
    }
}

// A device node made in the test's own folder with the numbers of the system's null or full device: nothing
// outside the folder is written or renamed.
class DeviceNode {
public:
    DeviceNode(const std::string& path, const char* like) : m_path(path) {
        struct stat device {};
        if (::stat(like, &device) != 0 || !S_ISCHR(device.st_mode))
            m_missing = std::string(like) + " is missing";
        else if (::mknod(path.c_str(), S_IFCHR | 0666, device.st_rdev) != 0)
            m_missing = std::string("cannot make a device node: ") + std::strerror(errno);
        else
            m_rdev = device.st_rdev;
    }
    // Why the node could not be made; empty when it was.
    const std::string& missing() const { return m_missing; }
    bool unchanged() const {
        struct stat now {};
        return ::lstat(m_path.c_str(), &now) == 0 && S_ISCHR(now.st_mode) && now.st_rdev == m_rdev;
    }

private:
    std::string m_path;
    std::string m_missing;
    dev_t m_rdev = 0;
};

TEST(AtomicFile, ADeviceIsWrittenToAndStaysADevice) {
    testing::TemporaryFolder folder;
    const DeviceNode null(folder.file("null"), "/dev/null");
    if (!null.missing().empty()) GTEST_SKIP() << null.missing();
    std::filesystem::create_symlink(folder.file("null"), folder.file("link"));
    for (const char* name : {"null", "link"}) {
        replaceFile(folder.file(name), "the bytes");
        EXPECT_TRUE(null.unchanged()) << name;
    }
    EXPECT_TRUE(isSymlink(folder.file("link")));
    EXPECT_EQ(entryCount(folder.path()), 2);
}

// A write that fails on the device is the device's reason, and the device stays.
TEST(AtomicFile, AFailedWriteToADeviceGivesItsReason) {
    testing::TemporaryFolder folder;
    const DeviceNode full(folder.file("full"), "/dev/full");
    if (!full.missing().empty()) GTEST_SKIP() << full.missing();
    std::string message = "no error";
    try {
        replaceFile(folder.file("full"), "the bytes");
    } catch (const Error& failure) {
        message = failure.what();
    }
    EXPECT_EQ(message, "Cannot create file \"" + folder.file("full") + "\". No space left on device");
    EXPECT_TRUE(full.unchanged());
    EXPECT_EQ(entryCount(folder.path()), 1);
}

// A link to a regular file stays a link: the file it leads to is replaced, atomically in its own folder, with its
// mode and its protection; a link to a file not yet there makes it. A hard link to the old file keeps the old bytes,
// which shows that the file was replaced rather than written over.
TEST(AtomicFile, ALinkToARegularFileStaysAndTheFileItLeadsToIsReplaced) {
    const struct {
        const char* link;
        const char* leadsTo;
    } cases[] = {
        {"doc.xml", "real/doc.xml"},
        {"doc.xml", "hop"},  // doc.xml -> hop -> real/doc.xml
        {"doc.xml", "real/../real/./doc.xml"},
    };
    for (const auto& c : cases) {
        testing::TemporaryFolder folder;
        const std::string real = folder.write("real/doc.xml", "previous");
        ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
        ASSERT_EQ(::link(real.c_str(), folder.file("old").c_str()), 0);
        std::filesystem::create_symlink("real/doc.xml", folder.file("hop"));
        std::filesystem::create_symlink(c.leadsTo, folder.file(c.link));
        replaceFile(folder.file(c.link), "new");
        EXPECT_TRUE(isSymlink(folder.file(c.link))) << c.leadsTo;
        EXPECT_EQ(std::filesystem::read_symlink(folder.file(c.link)), c.leadsTo);
        EXPECT_EQ(readFile(real), "new") << c.leadsTo;
        EXPECT_EQ(folder.read("old"), "previous") << c.leadsTo;
        EXPECT_EQ(modeOf(real), 0640u) << c.leadsTo;
        EXPECT_EQ(entryNames(folder.path()), (std::set<std::string>{"doc.xml", "hop", "old", "real"}));
        EXPECT_EQ(entryNames(folder.file("real")), std::set<std::string>{"doc.xml"});
    }

    testing::TemporaryFolder folder;
    std::filesystem::create_directory(folder.file("real"));
    std::filesystem::create_symlink(folder.file("real/new.xml"), folder.file("doc.xml"));
    replaceFile(folder.file("doc.xml"), "made");
    EXPECT_TRUE(isSymlink(folder.file("doc.xml")));
    EXPECT_EQ(folder.read("real/new.xml"), "made");

    const std::string readOnly = folder.write("real/locked.xml", "protected");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    std::filesystem::create_symlink("real/locked.xml", folder.file("locked"));
    std::string message = "no error";
    try {
        replaceFile(folder.file("locked"), "new");
    } catch (const Error& failure) {
        message = failure.what();
    }
    EXPECT_EQ(message, "Cannot create file \"" + folder.file("locked") + "\". The file is read-only");
    EXPECT_EQ(folder.read("real/locked.xml"), "protected");
    EXPECT_TRUE(isSymlink(folder.file("locked")));
}

// Links that lead nowhere a file can be are refused by the system's reason, and left as they are.
TEST(AtomicFile, ALinkInACircleOrIntoAMissingFolderIsRefused) {
    testing::TemporaryFolder folder;
    std::filesystem::create_symlink("b", folder.file("a"));
    std::filesystem::create_symlink("a", folder.file("b"));
    std::filesystem::create_symlink("missing/doc.xml", folder.file("c"));
    for (const auto& [name, reason] : {std::pair<const char*, const char*>{"a", "Too many levels of symbolic links"},
                                       {"c", "No such file or directory"}}) {
        std::string message = "no error";
        try {
            replaceFile(folder.file(name), "new");
        } catch (const Error& failure) {
            message = failure.what();
        }
        EXPECT_EQ(message, "Cannot create file \"" + folder.file(name) + "\". " + reason);
        EXPECT_TRUE(isSymlink(folder.file(name))) << name;
    }
    EXPECT_EQ(entryCount(folder.path()), 3);
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

TEST(ReplaceFiles, ADocumentThatIsALinkStaysOneAndTheFileItLeadsToIsReplaced) {
    testing::TemporaryFolder folder;
    std::filesystem::create_directory(folder.file("real"));
    folder.write("real/Group.xml", "old groups");
    std::filesystem::create_symlink("real/Group.xml", folder.file("Group.xml"));
    replaceFiles({{folder.file("Group.xml"), "new groups"}, {folder.file("FrameJ1939.xml"), "new frames"}});
    EXPECT_TRUE(std::filesystem::is_symlink(folder.file("Group.xml")));
    EXPECT_EQ(folder.read("real/Group.xml"), "new groups");
    EXPECT_EQ(folder.read("FrameJ1939.xml"), "new frames");
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
