#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/documents/DocumentColumns.h"

namespace tessaro {

// The checks the editors make at OK, on the texts as typed or stored. Each returns the message of the first rule
// broken, or nothing. Texts that do not convert count as -1, which every range rejects.

// A broken rule: the field it is about (its position among the fields checked, from 0) and its message.
struct BrokenRule {
    std::size_t field;
    std::string message;
};

// A frame table row: Priority 0..7, then Data Page 0 or 1, then PGN 0..65535 (fields 0, 1, 2).
std::optional<BrokenRule> brokenFrameRule(int row, std::string_view priority, std::string_view dataPage,
                                          std::string_view pgn);
// A frame definition at New and Modify: Modbus index 0..65535 (field 0), then Device ID 1..250 (field 1).
std::optional<BrokenRule> brokenDefinitionRule(std::string_view index, std::string_view deviceId);
// The Modbus index alone, as New checks it first.
std::optional<std::string> checkDefinitionIndex(std::string_view index);

// The same checks, as their messages.
// "Error in row N!! The Priority must to be between 0 and 7" and so on, row counting from 1.
std::optional<std::string> checkFrameRow(int row, std::string_view priority, std::string_view dataPage,
                                         std::string_view pgn);

// A groups row: Cyclic Time 1..65535 ms.
std::optional<std::string> checkGroupRow(int row, std::string_view cyclicTime);

// A frame definition at New and Modify: Modbus index 0..65535, then Device ID 1..250.
std::optional<std::string> checkDefinition(std::string_view index, std::string_view deviceId);

// Whether the text, converted leniently with -1 for what does not convert, lies in low..high.
bool integerTextWithin(std::string_view text, std::int32_t low, std::int32_t high);
// The same over the range of a document's column.
bool within(std::string_view text, const DocumentColumn& column);

// "Error in row N" followed by the check's own text, as the row checks show it.
std::string rowErrorMessage(int row, std::string_view text);

// What an OK would lose, said before it does: the first OK shows the text and writes nothing, a second OK writes.

// Rows (from 1) as a reader counts them: "row 3", "rows 3 and 5", "rows 2, 4 and 6 to 9".
std::string rowList(const std::vector<std::size_t>& rows);

// The grid rows OK does not keep: firstEmpty is the first row whose first data column (named column) is empty,
// lost the rows from there on that hold some text.
std::string droppedRowsMessage(std::string_view fileName, std::string_view column, std::size_t firstEmpty,
                               const std::vector<std::size_t>& lost);

// The rows of the definitions document whose frame number is beyond the frame table's frameCount frames.
std::string definitionsBeyondFramesMessage(const std::vector<std::size_t>& rows, std::size_t frameCount);

// The rows of the definitions document (from 1) whose frames a shorter frame table no longer has, and those frames,
// each in ascending order; frameCount is the number of frames the table then has.
struct DefinitionsWithoutFrame {
    std::vector<std::size_t> rows;
    std::vector<std::int32_t> frames;
    std::size_t frameCount = 0;

    bool empty() const { return rows.empty(); }
};

// Said after an import of the frame table that leaves them so: "rows 13 to 15 of DefFrameJ1939.xml are definitions
// of frames 6 and 7, which FrameJ1939.xml no longer has (it has 5 frames): the build leaves them out, and the OK of
// Define J1939 drops them".
std::string definitionsWithoutFrameNote(const DefinitionsWithoutFrame& left);

// Said at the frame table's first OK that would leave them so, before it writes.
std::string definitionsWithoutFrameMessage(const DefinitionsWithoutFrame& left);

// A definition as DefFrame.csv names it: its frame number and its index text.
struct DefinitionName {
    std::int32_t frame = 0;
    std::string index;
    bool operator==(const DefinitionName&) const = default;
};

// "index 100 of frame 2", "index 100 of frame 2 and index 7 of frame 3", past five names "... and 4 more".
std::string definitionNames(const std::vector<DefinitionName>& names);

// Said at the first OK after an import of DefFrame.csv that did not list these definitions of those shown.
std::string unlistedDefinitionsMessage(const std::vector<DefinitionName>& unlisted);

// A settings document that exists but could not be read: its settings are replaced by those shown.
std::string unreadSettingsMessage();

}  // namespace tessaro
