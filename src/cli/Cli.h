#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tessaro::cli {

inline constexpr int kSuccess = 0;
inline constexpr int kFailure = 1;
inline constexpr int kWrongUsage = 2;

// Runs tessaro-cli with its arguments (without the program name); the exit status. The tool folder is where a
// signal database may be besides the project folder; empty for none.
int run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
        const std::string& toolFolder = {});

}  // namespace tessaro::cli
