#include "core/desk/SimulatedClock.h"

#include <algorithm>

#include "core/documents/Errors.h"

namespace tessaro::desk {

void SimulatedClock::waitUntil(DeskTime deadline, const std::function<bool()>& ready) {
    std::unique_lock lock(m_mutex);
    // A thread that did not enter (a test's own) goes after the activities.
    const auto entered = m_orders.find(std::this_thread::get_id());
    Waiter waiter{entered == m_orders.end() ? ~std::uint64_t(0) : entered->second, deadline, &ready, false};
    const auto byOrder =
        std::upper_bound(m_waiting.begin(), m_waiting.end(), waiter.order,
                         [](std::uint64_t order, const Waiter* other) { return order < other->order; });
    m_waiting.insert(byOrder, &waiter);
    dispatch();
    m_turn.wait(lock, [&] { return waiter.running || m_stalled; });
    if (!waiter.running) {
        m_waiting.erase(std::find(m_waiting.begin(), m_waiting.end(), &waiter));
        throw Error("the simulated clock has nothing left to wait for: every activity waits for ever");
    }
}

void SimulatedClock::notify() {
    std::lock_guard lock(m_mutex);
    dispatch();
}

void SimulatedClock::expect(unsigned activities) {
    std::lock_guard lock(m_mutex);
    m_activities += activities;
}

void SimulatedClock::enter() {
    std::lock_guard lock(m_mutex);
    m_orders[std::this_thread::get_id()] = m_nextOrder++;
}

void SimulatedClock::leave() {
    std::lock_guard lock(m_mutex);
    if (m_activities > 0) --m_activities;
    m_orders.erase(std::this_thread::get_id());
    dispatch();
}

void SimulatedClock::wakeAt(DeskTime time) {
    std::lock_guard lock(m_mutex);
    m_wakes.insert(time);
}

void SimulatedClock::dispatch() {
    // One activity runs at a time: the others wait here, and the one that runs is not among them.
    if (m_activities == 0 || m_waiting.size() != m_activities) return;
    for (;;) {
        const DeskTime now(m_now.load());
        for (auto at = m_waiting.begin(); at != m_waiting.end(); ++at) {
            Waiter* waiter = *at;
            if (waiter->deadline > now && !(*waiter->ready)()) continue;
            m_waiting.erase(at);
            waiter->running = true;
            m_turn.notify_all();
            return;
        }
        DeskTime next = kNever;
        for (const Waiter* waiter : m_waiting) next = std::min(next, waiter->deadline);
        m_wakes.erase(m_wakes.begin(), m_wakes.upper_bound(now));
        if (!m_wakes.empty()) next = std::min(next, *m_wakes.begin());
        // Every activity waits for ever: nothing can happen any more.
        if (next == kNever) {
            m_stalled = true;
            m_turn.notify_all();
            return;
        }
        m_now.store(next.count());
    }
}

}  // namespace tessaro::desk
