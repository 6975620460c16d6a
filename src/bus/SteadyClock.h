#pragma once

#include <condition_variable>
#include <mutex>

#include "core/desk/DeskClock.h"

namespace tessaro::bus {

// The machine's steady clock, for a run in real time.
class SteadyClock : public desk::Clock {
public:
    desk::DeskTime now() const override;
    void waitUntil(desk::DeskTime deadline, const std::function<bool()>& ready) override;
    void notify() override;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

}  // namespace tessaro::bus
