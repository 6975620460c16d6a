#include "TableChecks.h"

#include <algorithm>

#include "FuzzSupport.h"

namespace tessaro::fuzz {

void checkTableLoad(const TableLoad& load, std::size_t gridRows, std::size_t columns) {
    const std::size_t rows = load.rows.size();
    TESSARO_FUZZ_EXPECT(rows <= gridRows && rows <= load.documentRows,
                        std::to_string(rows) + " rows of " + std::to_string(load.documentRows));
    if (load.failure) {
        TESSARO_FUZZ_EXPECT(!load.failure->empty(), "a failure without a message");
        for (std::size_t row = 0; row + 1 < rows; ++row)
            TESSARO_FUZZ_EXPECT(load.rows[row].size() == columns, "row " + std::to_string(row + 1) + " cut short");
        if (rows > 0) TESSARO_FUZZ_EXPECT(load.rows.back().size() <= columns, "a row of too many cells");
        return;
    }
    TESSARO_FUZZ_EXPECT(rows == std::min(load.documentRows, gridRows),
                        std::to_string(rows) + " rows shown of " + std::to_string(load.documentRows));
    for (std::size_t row = 0; row < rows; ++row)
        TESSARO_FUZZ_EXPECT(load.rows[row].size() == columns, "row " + std::to_string(row + 1) + " cut short");
}

TableRows usedRows(const TableRows& rows) {
    return TableRows(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(usedRowCount(rows)));
}

std::string shown(const TableRows& rows) {
    std::string text = "{";
    for (const TableRow& row : rows) {
        text += "{";
        for (const std::string& cell : row) text += printable(cell) + ",";
        text += "}";
    }
    return text + "}";
}

}  // namespace tessaro::fuzz
