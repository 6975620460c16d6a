#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/documents/DocumentColumns.h"
#include "core/documents/DocumentNames.h"
#include "core/editors/TableDocument.h"

namespace tessaro {

// Group.xml: up to ten groups, each a cyclic time in milliseconds and a mnemonic; a group's number is its position.

inline constexpr std::size_t kGroupRows = 10;
inline constexpr std::string_view kGroupRoot = kGroupColumns.root;
// A group row's attributes, in written order.
inline constexpr auto kGroupAttributes = columnNames(kGroupColumns.all());

// Data columns of a group row.
namespace GroupColumn {
inline constexpr std::size_t CyclicTime = 0;
inline constexpr std::size_t Mnemonic = 1;
}  // namespace GroupColumn

// Show: the rows to sink as the grid shows them, both attributes as texts, at most kGroupRows.
ShowRead<> readGroupTable(const std::string& path, const CellSink& sink);

// The first row whose cyclic time is not 1 to 65535, as its message.
std::optional<std::string> checkGroupRows(const TableRows& rows);

// The rows OK would drop, said before it does; nothing when it keeps every row that holds text.
std::optional<std::string> groupRowsDropped(const TableRows& rows);

// The document of the used rows; saveGroupTable throws tessaro::Error when the file cannot be written.
std::string groupTableText(const TableRows& rows);
void saveGroupTable(const std::string& path, const TableRows& rows);

}  // namespace tessaro
