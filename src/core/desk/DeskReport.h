#pragma once

#include <string>

#include "core/desk/DeskRun.h"

namespace tessaro::desk {

// The summary of a run for a person: how it ended, each slave's requests and what failed, the frames sent per PGN,
// each group's measured cycle against its own, the On Request frames, and the model's notes.
std::string summaryText(const DeskSummary& summary, const GatewayModel& model);

// "answering", "time-out", "exception 02 (illegal data address)", "failed: REASON", "not asked yet".
std::string slaveStateText(const SlaveStats& slave);

// "01 02 FF ..." as they go out.
std::string bytesText(const FrameBytes& bytes);

// "12.345 ms"
std::string millisecondsText(double milliseconds);

}  // namespace tessaro::desk
