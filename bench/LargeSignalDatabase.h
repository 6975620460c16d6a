#pragma once

#include <string>

namespace tessaro::bench {

// A signal database of messages messages for the largest project (writeLargestProject): the first ones carry the
// PGNs of its 250 frames, so that every frame meets its message, the rest other PGNs. Each message has eight
// signals of every shape the reader knows: whole bytes and bits off a byte's edge in both byte orders, a float, a
// multiplexer and what it chooses, with comments, SPNs and value texts, as DBC editors write them.
std::string largestProjectDatabase(int messages);

}  // namespace tessaro::bench
