#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/project/ProjectState.h"

namespace tessaro {

inline constexpr std::string_view kUpdaterProgramName = "Ser_48213_Update.exe";
inline constexpr std::string_view kSimulationFileName = "sim48213.sim";

// The four ticks of the options stage.
struct UpdateOptions {
    bool firmware = true;
    bool readFirmware = true;
    bool project = true;
    bool readProject = true;
};

// How the maker's updater is started.
struct UpdaterCommand {
    // Tool folder + separator + the updater's file name.
    std::string program;
    // The parameter string as the updater reads it from one command line: the port, the four tokens and the two
    // quoted paths, each piece closed by one blank except the last.
    std::string parameters;
    // The same pieces, one argument each, without the blanks and the quotes, so that no blank or quote in a path
    // can add or break an argument.
    std::vector<std::string> arguments;
};

UpdaterCommand updaterCommand(const ProjectState& project, std::string_view port, const UpdateOptions& options);

}  // namespace tessaro
