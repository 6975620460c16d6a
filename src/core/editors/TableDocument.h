#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/documents/XmlDocument.h"
#include "core/editors/ShowRead.h"

namespace tessaro {

// What the rows of a grid-based table document have in common (the frame table and the groups).

// The texts of a grid's data columns; grid row n is rows[n - 1] and column 0 (the row number) is not held.
using TableRow = std::vector<std::string>;
using TableRows = std::vector<TableRow>;

// The rows that count: from the first up to the first whose first data column is empty (or the end).
std::size_t usedRowCount(const TableRows& rows);

// Every row down to the last that holds text, also those OK would not keep: what Export writes, so that nothing is
// hidden.
TableRows heldRows(const TableRows& rows);

// A row that holds any text.
bool holdsText(const TableRow& row);

// The rows (from 1) OK does not keep although they hold some text: from the first row whose first data column is
// empty on.
std::vector<std::size_t> droppedRows(const TableRows& rows);
// Said before OK drops them: the message naming those rows, column being the first data column's name; nothing when
// OK keeps every row that holds text.
std::optional<std::string> droppedRowsWarning(std::string_view fileName, std::string_view column,
                                              const TableRows& rows);

// A row's cell, empty text where the row is shorter.
inline std::string_view cellOf(const TableRow& row, std::size_t column) {
    return column < row.size() ? std::string_view(row[column]) : std::string_view();
}

// One data column of a row element: its attribute, read as text or, when fromInteger is set, converted strictly
// to an integer and shown as fromInteger writes it. An absent attribute fails with the Null conversion message.
struct TableColumn {
    std::string_view attribute;
    std::function<std::string(std::int32_t)> fromInteger;
};

// Receives each cell as it is read, in row order and within a row in column order; rows and columns from 0.
using CellSink = std::function<void(std::size_t row, std::size_t column, std::string_view text)>;

// Hands the cells of the document at path (named fileName) to sink, rows by position up to gridRows, the columns in
// order; stops at the first failure, whose text gets its place (the file, and the row and attribute) on a second
// line. A missing file is an empty table.
ShowRead<> readTable(const std::string& path, std::string_view fileName, std::size_t gridRows,
                     std::span<const TableColumn> columns, const CellSink& sink);

// A sink that appends the cells to rows; after a failure the last row holds the cells read before it.
CellSink collectInto(TableRows& rows);

// The document element root with one "row" per used row, one attribute per column in order.
std::string tableText(std::string_view root, std::span<const std::string_view> attributes, const TableRows& rows);

// The note shown once when a document has more rows than the grid can hold.
std::string overflowMessage(std::string_view fileName, std::size_t documentRows, std::size_t gridRows);

}  // namespace tessaro
