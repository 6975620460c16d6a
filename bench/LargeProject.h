#pragma once

#include <optional>
#include <string>

namespace tessaro::bench {

// Writes the largest project the image holds into folder, as the editors write their documents: 250 frames,
// 7032 definitions of 8 points each, 10 groups and pargen.xml (an image of 99 999 bytes). The groups cycle every
// 100 ms to 1000 ms, or all every groupCycleMs.
void writeLargestProject(const std::string& folder, std::optional<int> groupCycleMs = std::nullopt);

}  // namespace tessaro::bench
