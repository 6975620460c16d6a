#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "core/desk/DeskRun.h"
#include "core/desk/DeskSource.h"

namespace tessaro::cli {

// tessaro-cli desk, its words already checked for their combinations.
struct DeskOptions {
    std::string projectFolder;
    std::string toolFolder;
    std::optional<std::string> image;  // else the project's documents, built in memory
    desk::DeskSource source;
    desk::RunLimits limits;
    std::optional<std::string> output;  // else standard output
    std::optional<std::string> can;     // the interface to send on and hear requests on
    bool json = false;
    bool signalValues = false;
    std::optional<std::string> dbc;
};

// Runs the desk test: the frames to out or the file, the summary to err. Throws tessaro::Error for a project,
// image, values file, device or output that cannot be used.
int runDesk(const DeskOptions& options, std::ostream& out, std::ostream& err);

// A run on a values file without a CAN interface goes by a simulated clock: it has no slave to wait for.
bool runsOnSimulatedClock(const DeskOptions& options);

// "10", "0.5": seconds; nothing for any other text.
std::optional<desk::DeskTime> durationOf(const std::string& text);

}  // namespace tessaro::cli
