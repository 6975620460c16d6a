#include "bus/SteadyClock.h"

#include <chrono>

namespace tessaro::bus {

desk::DeskTime SteadyClock::now() const {
    return std::chrono::duration_cast<desk::DeskTime>(std::chrono::steady_clock::now().time_since_epoch());
}

void SteadyClock::waitUntil(desk::DeskTime deadline, const std::function<bool()>& ready) {
    std::unique_lock lock(m_mutex);
    if (deadline == desk::kNever) {
        m_changed.wait(lock, ready);
        return;
    }
    using Steady = std::chrono::steady_clock;
    m_changed.wait_until(lock, Steady::time_point(std::chrono::duration_cast<Steady::duration>(deadline)), ready);
}

void SteadyClock::notify() {
    // Taken and let go, so that a waiter between its look at ready() and its sleep cannot miss the news.
    { std::lock_guard lock(m_mutex); }
    m_changed.notify_all();
}

}  // namespace tessaro::bus
