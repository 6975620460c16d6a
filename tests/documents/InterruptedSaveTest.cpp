#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "documents/AtomicFile.h"
#include "support/SaveGenerations.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

// tessaro_save_loop saving generation after generation of a document, its reports read through a pipe.
class SaveLoop {
public:
    SaveLoop(const std::string& path, std::uint64_t firstGeneration) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
        const std::string first = std::to_string(firstGeneration);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(ends[1], STDOUT_FILENO);
            ::execl(TESSARO_SAVE_LOOP, TESSARO_SAVE_LOOP, path.c_str(), first.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ends[1]);
        if (m_pid < 0) {
            ::close(ends[0]);
            throw std::runtime_error("no fork");
        }
        m_reports = ends[0];
    }
    ~SaveLoop() {
        if (m_pid > 0) killNow();
        ::close(m_reports);
    }

    // Waits (at most ten seconds) until the child has reported its first save.
    bool waitForFirstSave() {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (m_text.find('\n') == std::string::npos) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(limit - std::chrono::steady_clock::now());
            pollfd wanted{m_reports, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&wanted, 1, static_cast<int>(left.count())) <= 0 || !readSome())
                return false;
        }
        return true;
    }

    // SIGKILL; then the last generation the child said it had saved, and whether the signal was what ended it.
    struct End {
        std::optional<std::uint64_t> lastReported;
        bool killed;
    };
    End kill() {
        const bool killed = killNow();
        while (readSome()) {
        }
        std::optional<std::uint64_t> last;
        const std::size_t end = m_text.rfind('\n');
        if (end != std::string::npos) {
            const std::size_t start = end == 0 ? std::string::npos : m_text.rfind('\n', end - 1);
            const std::size_t first = start == std::string::npos ? 0 : start + 1;
            last = std::stoull(m_text.substr(first, end - first));
        }
        return {last, killed};
    }

private:
    bool killNow() {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }
    bool readSome() {
        char buffer[4096];
        const ssize_t got = ::read(m_reports, buffer, sizeof buffer);
        if (got > 0) m_text.append(buffer, static_cast<std::size_t>(got));
        return got > 0;
    }

    pid_t m_pid = -1;
    int m_reports = -1;
    std::string m_text;
};

// A save killed at any moment leaves the previous document or the new one, whole: never a mix, a cut-off or an
// empty file. The child is killed at seeded random moments while it saves over and over.
TEST(InterruptedSave, AKilledSaveLeavesTheOldOrTheNewDocumentWhole) {
    testing::TemporaryFolder folder;
    const std::string path = folder.file("FrameJ1939.xml");
    testing::saveGeneration(path, 0);
    std::mt19937 random(1939);
    std::uniform_int_distribution<int> microseconds(0, 20000);
    std::uint64_t onDisk = 0;
    int newerThanReported = 0;
    for (int round = 0; round < 30; ++round) {
        SaveLoop child(path, onDisk + 1);
        ASSERT_TRUE(child.waitForFirstSave()) << "round " << round;
        std::this_thread::sleep_for(std::chrono::microseconds(microseconds(random)));
        const SaveLoop::End end = child.kill();
        ASSERT_TRUE(end.killed) << "round " << round;
        ASSERT_TRUE(end.lastReported) << "round " << round;

        const std::string text = readFile(path);
        const std::optional<std::uint64_t> found = testing::generationOf(loadFrameTable(std::string(), path));
        ASSERT_TRUE(found) << "round " << round << ": not a whole generation, " << text.size() << " bytes";
        // The last save the child reported, or the one after it when the kill came between its rename and its report.
        ASSERT_TRUE(*found == *end.lastReported || *found == *end.lastReported + 1)
            << "round " << round << ": generation " << *found << " after " << *end.lastReported;
        ASSERT_EQ(text, testing::generationText(*found)) << "round " << round;
        if (*found != *end.lastReported) ++newerThanReported;
        onDisk = *found;
    }
    // Each kill between the temporary file's creation and its rename leaves that file behind.
    int killedWhileWriting = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        if (entry.path().filename() != "FrameJ1939.xml") ++killedWhileWriting;
    EXPECT_GT(killedWhileWriting, 0) << "no kill came while a save was writing";
    RecordProperty("GenerationsSaved", static_cast<int>(onDisk));
    RecordProperty("KillsWhileWriting", killedWhileWriting);
    RecordProperty("KillsAfterTheRenameBeforeTheReport", newerThanReported);
}

}  // namespace
}  // namespace tessaro
