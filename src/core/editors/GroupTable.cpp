#include "editors/GroupTable.h"

#include <array>

#include "documents/AtomicFile.h"
#include "editors/RowRules.h"

namespace tessaro {

namespace {

constexpr auto kAttributes = columnNames(kGroupColumns.all());

}  // namespace

TableRead readGroupTable(const std::string& path, const CellSink& sink) {
    const std::array<TableColumn, 2> columns = {TableColumn{kAttributes[0], {}}, TableColumn{kAttributes[1], {}}};
    return readTable(path, kGroupRows, columns, sink);
}

TableLoad loadGroupTable(const std::string& path) {
    TableLoad load;
    static_cast<TableRead&>(load) = readGroupTable(path, collectInto(load.rows));
    return load;
}

std::optional<std::string> checkGroupRows(const TableRows& rows) {
    const std::size_t used = usedRowCount(rows);
    for (std::size_t index = 0; index < used; ++index)
        if (auto broken = checkGroupRow(int(index + 1), cellOf(rows[index], GroupColumn::CyclicTime))) return broken;
    return std::nullopt;
}

std::string groupTableText(const TableRows& rows) {
    return tableText(kGroupRoot, kAttributes, rows);
}

void saveGroupTable(const std::string& path, const TableRows& rows) {
    replaceFile(path, groupTableText(rows));
}

}  // namespace tessaro
