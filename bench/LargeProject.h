#pragma once

#include <string>

namespace tessaro::bench {

// Writes the largest project the image holds into folder, as the editors write their documents: 250 frames,
// 7032 definitions of 8 points each, 10 groups and pargen.xml (an image of 99 999 bytes).
void writeLargestProject(const std::string& folder);

}  // namespace tessaro::bench
