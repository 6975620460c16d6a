#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace tessaro::testing {

// What tessaro-cli's commands give when called in-process.
struct CliOutcome {
    int status;
    std::string out;
    std::string err;
};

inline CliOutcome runCli(const std::vector<std::string>& arguments) {
    std::ostringstream out, err;
    const int status = cli::run(arguments, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace tessaro::testing
