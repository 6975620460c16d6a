#include "TableChecks.h"

#include <algorithm>

#include "FuzzSupport.h"

namespace tessaro::fuzz {

void checkTableLoad(const std::vector<std::string>& failures, std::size_t documentRows, const TableRows& shownRows,
                    std::size_t gridRows, std::size_t columns) {
    const std::size_t rows = shownRows.size();
    TESSARO_FUZZ_EXPECT(rows <= gridRows && rows <= documentRows,
                        std::to_string(rows) + " rows of " + std::to_string(documentRows));
    if (!failures.empty()) {
        TESSARO_FUZZ_EXPECT(failures.size() == 1 && !failures.front().empty(), "a failure without a message");
        for (std::size_t row = 0; row + 1 < rows; ++row)
            TESSARO_FUZZ_EXPECT(shownRows[row].size() == columns, "row " + std::to_string(row + 1) + " cut short");
        if (rows > 0) TESSARO_FUZZ_EXPECT(shownRows.back().size() <= columns, "a row of too many cells");
        return;
    }
    TESSARO_FUZZ_EXPECT(rows == std::min(documentRows, gridRows),
                        std::to_string(rows) + " rows shown of " + std::to_string(documentRows));
    for (std::size_t row = 0; row < rows; ++row)
        TESSARO_FUZZ_EXPECT(shownRows[row].size() == columns, "row " + std::to_string(row + 1) + " cut short");
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
