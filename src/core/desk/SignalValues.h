#pragma once

#include <string>
#include <vector>

#include "core/desk/GatewayModel.h"
#include "core/signals/SignalDatabase.h"

namespace tessaro::desk {

// The physical values a frame's bytes carry, as its message in a signal database describes them.

struct SignalValue {
    std::string name;
    double value = 0;  // raw × factor + offset
    std::string unit;
    bool available = true;  // false when every bit of the signal is set: J1939's "not available"
};

// Nothing when the signal reaches past the eight bytes.
std::optional<SignalValue> decodeSignal(const FrameBytes& bytes, const SignalDefinition& signal);
// The message's signals that lie within the eight bytes, in its order.
std::vector<SignalValue> decodeSignals(const FrameBytes& bytes, const MessageDefinition& message);

// "1500 rpm", "not available".
std::string signalValueText(const SignalValue& value);

}  // namespace tessaro::desk
