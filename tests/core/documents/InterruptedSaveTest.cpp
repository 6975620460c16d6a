#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <thread>

#include "core/documents/AtomicFile.h"
#include "support/SaveGenerations.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

// tessaro_save_loop saving generation after generation of a document, its reports read through a pipe.
class SaveLoop {
public:
    explicit SaveLoop(std::vector<std::string> arguments) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(TESSARO_SAVE_LOOP));
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        // Spawned rather than forked: a fork copies the page tables of this whole process, which under the
        // sanitizers' shadow memory costs more than the save itself.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        const int spawned = ::posix_spawn(&m_pid, TESSARO_SAVE_LOOP, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
        if (spawned != 0) {
            m_pid = -1;
            ::close(ends[0]);
            throw std::runtime_error("no child");
        }
        m_reports = ends[0];
    }
    ~SaveLoop() {
        if (m_pid > 0) killNow();
        ::close(m_reports);
    }

    // Waits (at most ten seconds) until the child has said a line that begins with what.
    bool waitFor(const std::string& what) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!said(what)) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(limit - std::chrono::steady_clock::now());
            pollfd wanted{m_reports, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&wanted, 1, static_cast<int>(left.count())) <= 0 || !readSome())
                return false;
        }
        return true;
    }

    // SIGKILL; then whether the signal was what ended the child, and the last generation it said it had saved.
    struct End {
        bool killed;
        std::optional<std::uint64_t> lastSaved;
    };
    End kill() {
        const bool killed = killNow();
        while (readSome()) {
        }
        std::optional<std::uint64_t> last;
        const std::string prefix = "saved ";
        for (std::size_t at = m_text.find(prefix); at != std::string::npos; at = m_text.find(prefix, at + 1))
            if (at == 0 || m_text[at - 1] == '\n') last = std::stoull(m_text.substr(at + prefix.size()));
        return {killed, last};
    }

private:
    bool said(const std::string& what) const {
        for (std::size_t at = m_text.find(what); at != std::string::npos; at = m_text.find(what, at + 1))
            if ((at == 0 || m_text[at - 1] == '\n') && m_text.find('\n', at) != std::string::npos) return true;
        return false;
    }
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

// The files beside the document, by name, with their content.
std::map<std::string, std::string> besideTheDocument(const testing::TemporaryFolder& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        if (entry.path().filename() != "FrameJ1939.xml")
            files[entry.path().filename()] = readFile(entry.path().string());
    return files;
}

// A save killed at any moment leaves the previous document or the new one, whole: never a mix, a cut-off or an
// empty file; and the next save takes away the temporary file that the killed one left. Every other kill comes
// while the child is held inside the write of a save, at a seeded byte; the others come at seeded moments while it
// saves over and over.
TEST(InterruptedSave, AKilledSaveLeavesTheOldOrTheNewDocumentWholeAndTheNextSaveLeavesNothingBehind) {
    testing::TemporaryFolder folder;
    const std::string path = folder.file("FrameJ1939.xml");
    testing::saveGeneration(path, 0);
    std::mt19937 random(1939);
    std::uint64_t onDisk = 0;
    int killedWhileWriting = 0;
    int newerThanReported = 0;
    // The texts of the generations around the one on disk, each made once: under the sanitizers they cost.
    std::map<std::uint64_t, std::string> texts;
    const auto textOf = [&texts](std::uint64_t generation) -> const std::string& {
        auto known = texts.find(generation);
        if (known == texts.end()) known = texts.emplace(generation, testing::generationText(generation)).first;
        return known->second;
    };
    for (int round = 0; round < 200; ++round) {
        texts.erase(texts.begin(), texts.lower_bound(onDisk));
        const std::uint64_t first = onDisk + 1;
        if (round % 2 == 0) {
            // Held inside the write of its first, second or third save, after a seeded number of bytes.
            const std::uint64_t paused = first + std::uniform_int_distribution<std::uint64_t>(0, 2)(random);
            const std::string& text = textOf(paused);
            const std::size_t bytes = std::uniform_int_distribution<std::size_t>(0, text.size())(random);
            SaveLoop child({path, std::to_string(first), std::to_string(paused), std::to_string(bytes)});
            ASSERT_TRUE(child.waitFor("writing " + std::to_string(paused) + "\n")) << "round " << round;
            const SaveLoop::End end = child.kill();
            ASSERT_TRUE(end.killed) << "round " << round;
            ASSERT_EQ(end.lastSaved.value_or(onDisk), paused - 1) << "round " << round;
            ASSERT_EQ(readFile(path), textOf(paused - 1)) << "round " << round;
            // Its own temporary file, cut where it was held; whatever earlier kills left is gone.
            const std::map<std::string, std::string> left = besideTheDocument(folder);
            ASSERT_EQ(left.size(), 1u) << "round " << round;
            ASSERT_EQ(left.begin()->second, text.substr(0, bytes)) << "round " << round << ": " << left.begin()->first;
            ++killedWhileWriting;
            onDisk = paused - 1;
        } else {
            SaveLoop child({path, std::to_string(first)});
            ASSERT_TRUE(child.waitFor("saved ")) << "round " << round;
            std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 3000)(random)));
            const SaveLoop::End end = child.kill();
            ASSERT_TRUE(end.killed) << "round " << round;
            ASSERT_TRUE(end.lastSaved) << "round " << round;
            const std::string text = readFile(path);
            const std::optional<std::uint64_t> found =
                testing::generationOf(testing::readFrameRows(std::string(), path));
            ASSERT_TRUE(found) << "round " << round << ": not a whole generation, " << text.size() << " bytes";
            // The last save the child reported, or the one after it when the kill came between its rename and its
            // report.
            ASSERT_TRUE(*found == *end.lastSaved || *found == *end.lastSaved + 1)
                << "round " << round << ": generation " << *found << " after " << *end.lastSaved;
            ASSERT_EQ(text, textOf(*found)) << "round " << round;
            // The first save took away the temporary file of the round before; this kill may have left one.
            const std::map<std::string, std::string> left = besideTheDocument(folder);
            ASSERT_LE(left.size(), 1u) << "round " << round;
            if (!left.empty()) ++killedWhileWriting;
            if (*found != *end.lastSaved) ++newerThanReported;
            onDisk = *found;
        }
    }
    testing::saveGeneration(path, onDisk + 1);
    EXPECT_TRUE(besideTheDocument(folder).empty());
    RecordProperty("GenerationsSaved", static_cast<int>(onDisk));
    RecordProperty("KillsWhileWriting", killedWhileWriting);
    RecordProperty("KillsAfterTheRenameBeforeTheReport", newerThanReported);
}

}  // namespace
}  // namespace tessaro
