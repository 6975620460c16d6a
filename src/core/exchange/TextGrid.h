#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro {

// A table of texts as a CSV file or a workbook's sheet holds it, each cell with its place.

struct GridCell {
    std::string text;
    std::size_t line = 0;    // the CSV line the cell starts on, or the sheet's row (from 1)
    std::size_t column = 0;  // from 1
};

// A row's cells in the order of their columns. A CSV line holds every cell up to its last; a workbook's row only
// those that hold something.
struct GridRow {
    std::size_t line = 0;
    std::vector<GridCell> cells;
};

struct TextGrid {
    std::vector<GridRow> rows;
};

// The texts alone, row by row, each under its column: the cells a row leaves out are empty texts.
inline std::vector<std::vector<std::string>> cellTexts(const TextGrid& grid) {
    std::vector<std::vector<std::string>> texts;
    for (const GridRow& row : grid.rows) {
        texts.emplace_back();
        for (const GridCell& cell : row.cells) {
            if (cell.column > texts.back().size() + 1) texts.back().resize(cell.column - 1);
            texts.back().push_back(cell.text);
        }
    }
    return texts;
}

// The rows of a table handed over one at a time, as a reader goes down a file, so that a large one is never held
// whole: a source calls its visitor once per row, in order.
using RowVisitor = std::function<void(const GridRow&)>;
using RowSource = std::function<void(const RowVisitor&)>;

// The rows of a grid held whole.
inline RowSource rowsOf(const TextGrid& grid) {
    return [&grid](const RowVisitor& visit) {
        for (const GridRow& row : grid.rows) visit(row);
    };
}

// A problem at a place of an imported file. what() is "LINE:COLUMN: message"; placed() puts the file before it.
class ExchangeError : public std::runtime_error {
public:
    ExchangeError(std::size_t line, std::size_t column, const std::string& message);

    std::size_t line() const { return m_line; }
    std::size_t column() const { return m_column; }
    const std::string& message() const { return m_message; }
    // "FILE:LINE:COLUMN: message"
    std::string placed(std::string_view file) const;

private:
    std::size_t m_line;
    std::size_t m_column;
    std::string m_message;
};

}  // namespace tessaro
