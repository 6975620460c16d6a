#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "core/desk/DeskClock.h"

namespace tessaro::desk {

// Time that passes only when every activity waits: it then jumps to the earliest deadline and lets one activity
// run at a time, the one that entered first before the others due at the same time. A run on it gives the same frames
// at the same times at every run, however fast the machine. It starts at 0. When every activity would wait for ever,
// their waits throw tessaro::Error rather than hang.
class SimulatedClock : public Clock {
public:
    DeskTime now() const override { return DeskTime(m_now.load()); }
    void waitUntil(DeskTime deadline, const std::function<bool()>& ready) override;
    void notify() override;
    void expect(unsigned activities) override;
    void enter() override;
    void leave() override;

    // The waiting activities call their ready() again at this time, as when something arrives from outside.
    void wakeAt(DeskTime time);

private:
    struct Waiter {
        std::uint64_t order = 0;
        DeskTime deadline{};
        const std::function<bool()>* ready = nullptr;
        bool running = false;
    };

    // With the lock held: when every activity waits, moves time on and hands the turn to one of them.
    void dispatch();

    mutable std::mutex m_mutex;
    std::condition_variable m_turn;
    std::atomic<std::int64_t> m_now{0};
    unsigned m_activities = 0;  // expected and not yet left
    std::uint64_t m_nextOrder = 0;
    std::vector<Waiter*> m_waiting;
    std::multiset<DeskTime> m_wakes;
    std::map<std::thread::id, std::uint64_t> m_orders;
    bool m_stalled = false;
};

}  // namespace tessaro::desk
