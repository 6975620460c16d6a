#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "documents/DocumentColumns.h"

namespace tessaro {

// The checks the editors make at OK, on the texts as typed or stored. Each returns the message of the first rule
// broken, or nothing. Texts that do not convert count as -1, which every range rejects.

// A frame table row: Priority 0..7, then Data Page 0 or 1, then PGN 0..65535.
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

}  // namespace tessaro
