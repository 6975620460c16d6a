#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/editors/FrameDefinitions.h"
#include "core/editors/TableDocument.h"
#include "core/exchange/TextGrid.h"

namespace tessaro {

// The three tables a project goes out to a spreadsheet as, and comes back from: a header line naming the columns,
// then one line per row. Values go out as the documents hold them, also those no editor would store, so that nothing
// is hidden; they come back only when every cell holds what an editor's OK could store: the rules OK applies, and
// the choices of the lists and check boxes (a group of the Group list, an Erase Data box's Y, N or empty, a number of
// points 1 to 8, a kind of the list, the frame bytes none and B1 to B8).

enum class TableKind { frames, groups, definitions };

inline constexpr TableKind kTableKinds[] = {TableKind::frames, TableKind::groups, TableKind::definitions};

// "frames", "groups", "definitions": the command's word and the workbook's sheet.
std::string_view tableName(TableKind kind);
std::optional<TableKind> tableNamed(std::string_view name);
// The header of the table.
std::vector<std::string> tableHeader(TableKind kind);

// A table as it goes out: its header, then its rows.
using TextRows = std::vector<std::vector<std::string>>;

// The frames' and the groups' document texts (one attribute per column, in document order) as a table.
TextRows frameTableRows(const TableRows& frames);
TextRows groupTableRows(const TableRows& groups);
// The definitions of every frame, in frame list order: Points is the number of points, Type the kind's item (or
// Type_Reg's number for a kind outside the list), the registers' byte selectors "none" or "B1" to "B8" (a nibble
// above 8 as "B9" to "B15"), empty for the registers beyond Points. Then the definitions of frames beyond the list,
// so that the table holds every row of the document.
TextRows definitionTableRows(const FrameDefinitions& definitions, const std::vector<TClPdo>& beyondFrames = {});

// A rule's message about a cell's text: "MESSAGE (the cell holds 'TEXT')".
std::string refusedCellMessage(const std::string& message, std::string_view text);
// A definition's frame number that the frame table of frameCount frames does not have.
std::string noSuchFrameMessage(std::int32_t frame, std::size_t frameCount);

// The rows of a table read back, as the document holds them (a frame's Group as its index in decimal text, Erase as
// the check box's "Y", "N" or empty whatever the case it was written in).
// Throws ExchangeError at the first cell that breaks a rule; rows whose cells are all empty are left out.
TableRows importFrameRows(const RowSource& rows);
TableRows importGroupRows(const RowSource& rows);
// Per frame (frameCount of them), the definitions read back, in the order of their rows.
std::vector<std::vector<TClIndMB>> importDefinitionRows(const RowSource& rows, std::size_t frameCount);
// The same from a grid held whole.
TableRows importFrameRows(const TextGrid& grid);
TableRows importGroupRows(const TextGrid& grid);
std::vector<std::vector<TClIndMB>> importDefinitionRows(const TextGrid& grid, std::size_t frameCount);

}  // namespace tessaro
