#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/editors/FrameDefinitions.h"
#include "core/editors/RowRules.h"
#include "core/exchange/TextGrid.h"

namespace tessaro {

// DefFrame.csv, as Define J1939's Export writes it: per definition its index text, a comma, its frame number and a
// comma ("100,1,"), a line each, no header. It names each definition by its index and frame only, so reading it back
// takes every definition whole from the definitions held (those of the dialog, or of DefFrameJ1939.xml).

// Whether CSV text has that shape rather than the definitions table's: its first line is pairs of an index and a
// frame number, with no header before them. A text without any line has it too, as the Export of no definition.
bool isDefinitionPairsText(std::string_view text);

// How the definitions of a DefFrame.csv came back.
struct PairsCounts {
    std::size_t whole = 0;                 // held definitions taken back whole
    std::vector<DefinitionName> added;     // pairs that match none: new definitions
    std::vector<DefinitionName> unlisted;  // held definitions no pair names, in frame order
};

struct PairsReadBack {
    // Per frame of those held, its definitions in the order of their pairs.
    std::vector<std::vector<TClIndMB>> definitions;
    PairsCounts counts;
};

// The definition a pair that matches none becomes: its index, and for the rest what the dialog's controls hold
// after a show (no Device ID, 1 point, Holding Register, no frame bytes).
TClIndMB newDefinitionOf(const std::string& index);

// Reads the pairs against held. The k-th pair of frame F and index text I in the file is the k-th held definition of
// frame F whose index text is I; a pair that matches none is a new definition (newDefinitionOf). A line may hold
// several pairs, and a line that begins with every pair of the line before it adds only the pairs after them.
// Throws ExchangeError at the first cell that breaks a rule: a frame number that is no frame of held, an index of a
// new definition outside 0 to 65535, an index without its frame number.
PairsReadBack readDefinitionPairs(const RowSource& rows, const FrameDefinitions& held);

// How the definitions came back, as Define J1939 says it after its Import of the file named fileName: the counts,
// what a new definition holds, that OK drops the unlisted ones.
std::string pairsReadBackMessage(const std::string& fileName, const PairsCounts& counts);
// The same as one line, after an import that wrote them.
std::string pairsReadBackLine(const std::string& path, const PairsCounts& counts);

}  // namespace tessaro
