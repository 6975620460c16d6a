#include "editors/GroupTable.h"

#include <array>

#include "documents/AtomicFile.h"

namespace tessaro {

namespace {

constexpr std::array<std::string_view, 2> kAttributes = {"Cyclic_Time", "Mnemonic"};

constexpr std::array<RangeRule, 1> kRules = {
    RangeRule{GroupColumn::CyclicTime, 1, 65535, "!! The Cyclic Time must be between 1 and 65535 mS"}};

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

std::optional<std::string> checkGroupRows(const TableRows& rows) { return checkRanges(rows, kRules); }

std::string groupTableText(const TableRows& rows) { return tableText(kGroupRoot, kAttributes, rows); }

void saveGroupTable(const std::string& path, const TableRows& rows) { replaceFile(path, groupTableText(rows)); }

}  // namespace tessaro
