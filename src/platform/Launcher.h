#pragma once

#include <memory>
#include <vector>

#include "platform/Platform.h"

namespace tessaro::platform {

// Starts programs without a shell: posix_spawn with the argument vector on POSIX, CreateProcess with the parameter
// string on Windows.
class ProcessLauncher : public Launcher {
public:
    ProcessLauncher();
    ~ProcessLauncher() override;
    ProcessLauncher(const ProcessLauncher&) = delete;
    ProcessLauncher& operator=(const ProcessLauncher&) = delete;

    StartResult start(const ProgramCall& call) override;

    // Children that were let go of while still running; they are reaped once they end.
    struct LeftRunning;

private:
    std::shared_ptr<LeftRunning> m_leftRunning;
};

}  // namespace tessaro::platform
