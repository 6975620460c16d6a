#include "core/editors/GroupTable.h"

#include <array>

#include "core/documents/AtomicFile.h"
#include "core/editors/RowRules.h"

namespace tessaro {

ShowRead<> readGroupTable(const std::string& path, const CellSink& sink) {
    const std::array<TableColumn, 2> columns = {TableColumn{kGroupAttributes[0], {}},
                                                TableColumn{kGroupAttributes[1], {}}};
    return readTable(path, kGroupFileName, kGroupRows, columns, sink);
}

std::optional<std::string> checkGroupRows(const TableRows& rows) {
    const std::size_t used = usedRowCount(rows);
    for (std::size_t index = 0; index < used; ++index)
        if (auto broken = checkGroupRow(int(index + 1), cellOf(rows[index], GroupColumn::CyclicTime))) return broken;
    return std::nullopt;
}

std::optional<std::string> groupRowsDropped(const TableRows& rows) {
    return droppedRowsWarning(kGroupFileName, "Cyclic Time", rows);
}

std::string groupTableText(const TableRows& rows) {
    return tableText(kGroupRoot, kGroupAttributes, rows);
}

void saveGroupTable(const std::string& path, const TableRows& rows) {
    replaceFile(path, groupTableText(rows));
}

}  // namespace tessaro
