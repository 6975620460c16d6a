#include "core/j1939/Pgn.h"

#include <cstdio>

namespace tessaro {

std::string pgnHex(const Pgn& pgn) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", unsigned(pgn.low16()));
    return text;
}

std::string pgnText(const Pgn& pgn) {
    return std::to_string(pgn.low16()) + " (" + pgnHex(pgn) + ")";
}

}  // namespace tessaro
