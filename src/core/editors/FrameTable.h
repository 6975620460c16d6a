#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/documents/DocumentColumns.h"
#include "core/documents/DocumentNames.h"
#include "core/editors/TableDocument.h"

namespace tessaro {

// FrameJ1939.xml: the J1939 frames, a frame's number being its position. The grid shows a group caption where the
// document holds the group index.

inline constexpr std::size_t kFrameRows = 250;
inline constexpr std::size_t kGroupCaptionCount = 11;  // "On Request" and groups 1 to 10
inline constexpr std::string_view kFrameRoot = kFrameColumns.root;
// A frame row's attributes, in written order.
inline constexpr auto kFrameAttributes = columnNames(kFrameColumns.all());

// Data columns of a frame row (the grid's columns 1 to 6).
namespace FrameColumn {
inline constexpr std::size_t Priority = 0;
inline constexpr std::size_t DataPage = 1;
inline constexpr std::size_t Pgn = 2;
inline constexpr std::size_t Group = 3;
inline constexpr std::size_t Erase = 4;
inline constexpr std::size_t Mnemonic = 5;
}  // namespace FrameColumn

// Index 0 "On Request", then one per group.
using GroupCaptions = std::vector<std::string>;

// The captions of groups 1 to 10 from Group.xml; groups it does not have (or a missing file) are "Not In Use".
// Fewer than 11 when Group.xml failed part-way.
ShowRead<GroupCaptions> readGroupCaptions(const std::string& groupPath);

// The caption of a stored group index; an index without a caption reads "G" + index + " Not In Use".
std::string groupCaptionOf(const std::vector<std::string>& captions, std::int32_t index);

// The index of a Group cell's text: the first caption equal to it ignoring ASCII case, the number of a
// "Not In Use" text, otherwise 0 (On Request).
std::int32_t groupIndexOf(const std::vector<std::string>& captions, std::string_view cellText);

// Whether a stored Group value is one the Group column's list offers: 0 (On Request) or a group 1 to 10.
constexpr bool isListedGroup(std::int32_t index) {
    return index >= 0 && std::size_t(index) < kGroupCaptionCount;
}

// What the Erase Data check box holds: "Y" set, "N" cleared, empty when never touched.
inline constexpr std::array<std::string_view, 3> kEraseTexts = {"Y", "N", ""};

// A click on the Erase Data check box: "Y" becomes "N", anything else "Y".
std::string_view eraseAfterClick(std::string_view text);
// Whether an Erase text has the gateway erase the frame's data: "Y" or "y", as the image holds it.
bool erasesData(std::string_view text);

// A text pasted into a Group cell: empty stays empty; a caption (or a "Not In Use" text) or a group index as the
// document and the exported table hold it becomes that group's caption; any other text is the caption of what OK
// stores for it, "On Request".
std::string pastedGroupCell(const std::vector<std::string>& captions, std::string_view text);
// A text pasted into an Erase cell: empty stays empty, anything else "Y" or "N" as erasesData has it.
std::string_view pastedEraseCell(std::string_view text);

// The check box's text that text stands for, ignoring ASCII case ("y" is "Y"); nothing for any other text.
std::optional<std::string_view> eraseTextOf(std::string_view text);

// Show: the captions from Group.xml, then the frames' cells with their captions to sink. A Group.xml failure stops
// there; the unread file says which document failed.
ShowRead<GroupCaptions> readFrameTable(const std::string& groupPath, const std::string& framePath,
                                       const CellSink& sink);

// The first failing check of the used rows (Priority, Data Page, PGN), as its message.
std::optional<std::string> checkFrameRows(const TableRows& rows);

// The used rows as the document holds them: each Group cell as its index in decimal.
TableRows storedFrameRows(const std::vector<std::string>& captions, const TableRows& rows);

// Every row down to the last that holds text, also those OK would not keep, as the document would hold them: each
// Group cell of a row that holds text as its index in decimal. What Export writes, so that nothing is hidden.
TableRows heldFrameRows(const std::vector<std::string>& captions, const TableRows& rows);

// The rows OK would drop, said before it does; nothing when it keeps every row that holds text.
std::optional<std::string> frameRowsDropped(const TableRows& rows);

// The document of the used rows, each Group cell written as its index; saveFrameTable throws tessaro::Error when
// the file cannot be written.
std::string frameTableText(const std::vector<std::string>& captions, const TableRows& rows);
void saveFrameTable(const std::string& path, const std::vector<std::string>& captions, const TableRows& rows);

}  // namespace tessaro
