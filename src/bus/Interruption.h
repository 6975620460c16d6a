#pragma once

#include <functional>
#include <thread>

namespace tessaro::bus {

// While it lives, Ctrl-C (SIGINT) and SIGTERM, on Windows Ctrl-C, Ctrl-Break and closing the console, call
// onInterrupt on a thread of its own instead of ending the program; the previous handling comes back after it.
// One at a time.
class InterruptWatch {
public:
    explicit InterruptWatch(std::function<void()> onInterrupt);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

private:
    std::function<void()> m_onInterrupt;
#ifndef _WIN32
    int m_pipe[2] = {-1, -1};
    std::thread m_watcher;
#endif
};

}  // namespace tessaro::bus
