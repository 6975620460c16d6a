#include "bus/Interruption.h"

#include "core/documents/Errors.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace tessaro::bus {

#ifdef _WIN32

namespace {

std::function<void()>* g_onInterrupt = nullptr;

BOOL WINAPI consoleEvent(DWORD) {
    // The system calls this on a thread of its own.
    if (g_onInterrupt) (*g_onInterrupt)();
    return TRUE;
}

}  // namespace

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt) : m_onInterrupt(std::move(onInterrupt)) {
    g_onInterrupt = &m_onInterrupt;
    SetConsoleCtrlHandler(consoleEvent, TRUE);
}

InterruptWatch::~InterruptWatch() {
    SetConsoleCtrlHandler(consoleEvent, FALSE);
    g_onInterrupt = nullptr;
}

#else

namespace {

volatile sig_atomic_t g_pipeEnd = -1;
struct sigaction g_previousInterrupt {};
struct sigaction g_previousTerminate {};

// All a signal handler may do: write a byte.
void onSignal(int) {
    const int saved = errno;
    const char byte = 1;
    if (g_pipeEnd >= 0) {
        [[maybe_unused]] const auto written = ::write(g_pipeEnd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt) : m_onInterrupt(std::move(onInterrupt)) {
    if (::pipe(m_pipe) != 0) throw Error(std::string("cannot watch for Ctrl-C: ") + std::strerror(errno));
    g_pipeEnd = m_pipe[1];
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &g_previousInterrupt);
    sigaction(SIGTERM, &action, &g_previousTerminate);
    m_watcher = std::thread([this] {
        for (;;) {
            char byte = 0;
            const auto got = ::read(m_pipe[0], &byte, 1);
            if (got < 0 && errno == EINTR) continue;
            // A 0 byte is the watch ending, as is a closed pipe.
            if (got <= 0 || byte == 0) return;
            m_onInterrupt();
        }
    });
}

InterruptWatch::~InterruptWatch() {
    sigaction(SIGINT, &g_previousInterrupt, nullptr);
    sigaction(SIGTERM, &g_previousTerminate, nullptr);
    g_pipeEnd = -1;
    const char end = 0;
    [[maybe_unused]] const auto written = ::write(m_pipe[1], &end, 1);
    m_watcher.join();
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

#endif

}  // namespace tessaro::bus
