#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/j1939/Pgn.h"

namespace tessaro {

// A parameter group whose number we have checked, with its acronym and name.
struct WellKnownPgn {
    std::uint32_t number = 0;
    std::string_view acronym;
    std::string_view name;
};

// The table, ordered by number.
std::span<const WellKnownPgn> wellKnownPgns();

// The parameter group of pgn, or nullptr when it is none of the table; a PDU1 destination is no part of it, and every
// PGN of the table lies on data page 0.
const WellKnownPgn* findWellKnownPgn(const Pgn& pgn);

// "ET1 Engine temperature 1"; empty for nullptr.
std::string wellKnownPgnText(const WellKnownPgn* pgn);

// "ET1 Engine temperature 1" for the texts of a frame's data page and PGN, read as the builder reads them
// (framePgn); empty when a text is no number or the PGN is outside the table.
std::string wellKnownPgnTip(std::string_view dataPage, std::string_view pgn);
// The same for a data page and PGN already read.
std::string wellKnownPgnTip(std::int32_t dataPage, std::int32_t pgn);

}  // namespace tessaro
