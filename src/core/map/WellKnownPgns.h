#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tessaro {

// A parameter group whose number we have checked, with its acronym and name.
struct WellKnownPgn {
    std::uint32_t number = 0;
    std::string_view acronym;
    std::string_view name;
};

// The table, ordered by number.
std::span<const WellKnownPgn> wellKnownPgns();

// The parameter group a frame carries, or nullptr when it is none of the table. The frame table holds the PGN
// without its data-page bit, so the data page takes part: every PGN of the table lies on data page 0.
const WellKnownPgn* findWellKnownPgn(std::uint32_t dataPage, std::uint32_t pgn);

// "ET1 Engine temperature 1"; empty for nullptr.
std::string wellKnownPgnText(const WellKnownPgn* pgn);

// "ET1 Engine temperature 1" for the texts of a frame's data page and PGN, read as the builder reads them (their
// low 8 and 16 bits); empty when a text is no number or the PGN is outside the table.
std::string wellKnownPgnTip(std::string_view dataPage, std::string_view pgn);
// The same for a data page and PGN already read.
std::string wellKnownPgnTip(std::int32_t dataPage, std::int32_t pgn);

}  // namespace tessaro
