#pragma once

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "support/TemporaryFolder.h"

namespace tessaro::testing {

// Writes an executable shell script below the folder and returns its path.
inline std::string writeScript(const TemporaryFolder& folder, std::string_view relative, std::string_view body) {
    const std::string path = folder.write(relative, "#!/bin/sh\n" + std::string(body));
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
    return path;
}

// A script body that writes its process id, its own path, the number of its arguments and each argument on a line
// of its own into the file next to it (the script's path + ".out").
inline constexpr std::string_view kRecordArguments =
    "{ echo $$; printf '%s\\n' \"$0\" \"$#\"; for argument in \"$@\"; do printf '[%s]\\n' \"$argument\"; done; } "
    "> \"$0.tmp\" && mv \"$0.tmp\" \"$0.out\"\n";

// The text of a file once it exists, or empty text when it has not appeared within a few seconds.
inline std::string awaitFile(const std::string& path) {
    for (int attempt = 0; attempt < 500 && !std::filesystem::exists(path); ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Whether the process exists and has not ended (a zombie has ended).
inline bool processRunning(pid_t process) {
    std::ifstream stat("/proc/" + std::to_string(process) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const std::size_t nameEnd = line.rfind(')');
    if (nameEnd == std::string::npos || nameEnd + 2 >= line.size()) return false;
    const char state = line[nameEnd + 2];
    return state != 'Z' && state != 'X';
}

// Whether the process is gone altogether: neither running nor waiting to be reaped.
inline bool processGone(pid_t process) {
    return ::kill(process, 0) != 0 && errno == ESRCH;
}

// Ends a child that a test left running, and reaps it.
inline void killChild(pid_t child) {
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
}

}  // namespace tessaro::testing
