#pragma once

#include <memory>
#include <string>

#include "core/desk/DeskClock.h"
#include "core/desk/DeskRun.h"

namespace tessaro::bus {

// A CAN interface the run sends on and hears requests on: a SocketCAN interface on Linux (an adapter or vcan).
class CanInterface : public desk::CanOut, public desk::CanIn {
public:
    // Frames the interface could not take because its queue was full (no other node acknowledges them, say).
    virtual std::uint64_t dropped() const = 0;
};

// Throws tessaro::Error naming the interface and the system's reason when it cannot be opened, and on a system
// without SocketCAN. Requests that arrive have the clock's waiters look again.
std::unique_ptr<CanInterface> openCanInterface(const std::string& name, desk::Clock& clock);

}  // namespace tessaro::bus
