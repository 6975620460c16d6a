#include "platform/Launcher.h"

#include <QFile>

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <cstring>

extern char** environ;
#endif

namespace tessaro::platform {

#ifdef _WIN32

struct ProcessLauncher::LeftRunning {};

namespace {

class WindowsProcess : public Process {
public:
    explicit WindowsProcess(HANDLE handle) : m_handle(handle) {}
    ~WindowsProcess() override { CloseHandle(m_handle); }
    // A wait of no time, not the exit code: a program may well end with the code that means "still active".
    bool running() override { return WaitForSingleObject(m_handle, 0) == WAIT_TIMEOUT; }
    ExitStatus exitStatus() const override {
        DWORD code = 0;
        GetExitCodeProcess(m_handle, &code);
        return ExitStatus{static_cast<std::uint32_t>(code), 0};
    }

private:
    HANDLE m_handle;
};

// The system's text for an error code, without the line end it comes with.
QString systemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString message =
        length ? QString::fromWCharArray(text, int(length)).trimmed() : QStringLiteral("Error %1").arg(error);
    LocalFree(text);
    return message;
}

// The program's own name in quotes, then the parameter string exactly as built.
std::wstring commandLine(const ProgramCall& call) {
    return L"\"" + call.program.toStdWString() + L"\" " + call.parameters.toStdWString();
}

}  // namespace

ProcessLauncher::ProcessLauncher() = default;
ProcessLauncher::~ProcessLauncher() = default;

StartResult ProcessLauncher::start(const ProgramCall& call) {
    const std::wstring program = call.program.toStdWString();
    std::wstring line = commandLine(call);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return {nullptr, systemMessage(GetLastError())};
    CloseHandle(started.hThread);
    return {std::make_unique<WindowsProcess>(started.hProcess), {}};
}

#else

struct ProcessLauncher::LeftRunning {
    std::vector<pid_t> children;

    void add(pid_t child) { children.push_back(child); }
    // Reaps those that have ended since.
    void reap() {
        std::erase_if(children, [](pid_t child) {
            int status = 0;
            const pid_t result = ::waitpid(child, &status, WNOHANG);
            return result == child || (result < 0 && errno == ECHILD);
        });
    }
};

namespace {

class PosixProcess : public Process {
public:
    PosixProcess(pid_t child, std::shared_ptr<ProcessLauncher::LeftRunning> leftRunning)
        : m_child(child), m_leftRunning(std::move(leftRunning)) {}
    ~PosixProcess() override {
        if (!m_ended) m_leftRunning->add(m_child);
    }

    bool running() override {
        if (m_ended) return false;
        int status = 0;
        pid_t result;
        do result = ::waitpid(m_child, &status, WNOHANG);
        while (result < 0 && errno == EINTR);
        if (result == 0) return true;
        m_ended = true;
        if (result == m_child) {
            if (WIFEXITED(status)) m_status.code = static_cast<std::uint32_t>(WEXITSTATUS(status));
            if (WIFSIGNALED(status)) m_status.signal = WTERMSIG(status);
        }
        return false;
    }
    ExitStatus exitStatus() const override { return m_status; }

private:
    pid_t m_child;
    bool m_ended = false;
    ExitStatus m_status;
    std::shared_ptr<ProcessLauncher::LeftRunning> m_leftRunning;
};

// The child starts with every signal at its default and none blocked, whatever the tool has set for itself.
class SpawnAttributes {
public:
    SpawnAttributes() {
        posix_spawnattr_init(&m_attributes);
        sigset_t signalSet;
        sigemptyset(&signalSet);
        posix_spawnattr_setsigmask(&m_attributes, &signalSet);
        sigfillset(&signalSet);
        posix_spawnattr_setsigdefault(&m_attributes, &signalSet);
        posix_spawnattr_setflags(&m_attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&m_attributes); }
    const posix_spawnattr_t* get() const { return &m_attributes; }

private:
    posix_spawnattr_t m_attributes;
};

}  // namespace

ProcessLauncher::ProcessLauncher() : m_leftRunning(std::make_shared<LeftRunning>()) {}

ProcessLauncher::~ProcessLauncher() {
    m_leftRunning->reap();
}

StartResult ProcessLauncher::start(const ProgramCall& call) {
    m_leftRunning->reap();
    const QByteArray program = QFile::encodeName(call.program);
    std::vector<QByteArray> encoded{program};
    for (const QString& argument : call.arguments) encoded.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& argument : encoded) argv.push_back(argument.data());
    argv.push_back(nullptr);

    const SpawnAttributes attributes;
    pid_t child = 0;
    // glibc reports a failed exec (missing, not executable, of no known format) here, not as an exit of the child.
    if (const int error = ::posix_spawn(&child, program.constData(), nullptr, attributes.get(), argv.data(), environ))
        return {nullptr, QString::fromLocal8Bit(std::strerror(error))};
    return {std::make_unique<PosixProcess>(child, m_leftRunning), {}};
}

#endif

}  // namespace tessaro::platform
