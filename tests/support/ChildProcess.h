#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tessaro::testing {

// A program a test starts, its standard output and error going to files; it is killed, if still running, when the
// object goes, so that no server outlives its test.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& arguments, const std::string& outPath, const std::string& errPath)
        : m_outPath(outPath) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        const int failure = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failure != 0) throw std::runtime_error("cannot start " + arguments[0]);
    }
    ~ChildProcess() {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGKILL);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }
    void signal(int number) const { ::kill(m_pid, number); }

    // The first line of its output that starts with prefix, once it has written it, or nothing within the time.
    std::optional<std::string> awaitLine(const std::string& prefix, std::chrono::milliseconds time) const {
        const auto end = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < end) {
            std::ifstream in(m_outPath);
            for (std::string line; std::getline(in, line);)
                if (line.rfind(prefix, 0) == 0 && in.good()) return line;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return std::nullopt;
    }

    // Its exit status once it ended, or nothing (and it is killed) when it is still running after the time.
    std::optional<int> awaitExit(std::chrono::milliseconds time) {
        const auto end = std::chrono::steady_clock::now() + time;
        while (!m_status) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (std::chrono::steady_clock::now() >= end) return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return m_status;
    }

private:
    pid_t m_pid = -1;
    std::string m_outPath;
    std::optional<int> m_status;
};

}  // namespace tessaro::testing
