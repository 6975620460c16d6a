#pragma once

#include <chrono>
#include <functional>

namespace tessaro::desk {

// Times of a run, from an arbitrary start.
using DeskTime = std::chrono::nanoseconds;
inline constexpr DeskTime kNever = DeskTime::max();

// What the run waits on: the steady clock of the machine, or a simulated one that the tests and the values file
// drive. Each activity of the run waits on it only; a simulated clock moves on once every activity waits.
class Clock {
public:
    virtual ~Clock() = default;
    virtual DeskTime now() const = 0;
    // Returns at the deadline, once ready() holds, or earlier for no reason: the caller looks again. ready() is
    // called with the clock's lock held; it reads flags, counts and now(), nothing that waits.
    virtual void waitUntil(DeskTime deadline, const std::function<bool()>& ready) = 0;
    // Has the waiting activities call their ready() again; called after changing what it reads.
    virtual void notify() = 0;
    // A run says how many activities will wait on the clock, then each enters from its own thread (the order of
    // entering decides between activities due at the same time) and leaves when it is done.
    virtual void expect(unsigned /*activities*/) {}
    virtual void enter() {}
    virtual void leave() {}
};

}  // namespace tessaro::desk
