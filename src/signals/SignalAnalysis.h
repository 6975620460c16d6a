#pragma once

#include <array>
#include <string>
#include <vector>

#include "map/ProjectMap.h"
#include "signals/FrameSignals.h"
#include "signals/SignalDatabase.h"

namespace tessaro {

// "slave 1 holding 0"
std::string registerText(const SignalRegister& source);

// "raw = physical / 0.125, 16 bits unsigned, physical in rpm": raw = (physical - offset) / factor.
std::string encodingText(const SignalDefinition& signal);
// The shortest decimal text that reads back as the same number.
std::string numberText(double value);

// The names of the message's signals at each of B1 to B8, in the message's order.
std::array<std::vector<std::string>, kFrameBytes> signalsAtBytes(const MessageDefinition& message);

// The signals of the frame's PGN at its bytes, given the register halves that feed them.
FrameSignals analyseFrameSignals(const SignalDatabase& database, const FrameMap& frame);

// Names the signals of every frame of the map, and adds their findings and the database's notes (the file
// named by its name) to the map's findings.
void annotateSignals(ProjectMap& map, const SignalDatabase& database, const std::string& databaseName);

}  // namespace tessaro
