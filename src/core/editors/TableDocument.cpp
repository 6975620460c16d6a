#include "core/editors/TableDocument.h"

#include <algorithm>

#include "core/documents/Errors.h"
#include "core/documents/NumericText.h"
#include "core/editors/RowRules.h"

namespace tessaro {

std::size_t usedRowCount(const TableRows& rows) {
    std::size_t count = 0;
    while (count < rows.size() && !rows[count].empty() && !rows[count].front().empty()) ++count;
    return count;
}

bool holdsText(const TableRow& row) {
    return std::any_of(row.begin(), row.end(), [](const std::string& cell) { return !cell.empty(); });
}

TableRows heldRows(const TableRows& rows) {
    std::size_t held = rows.size();
    while (held > 0 && !holdsText(rows[held - 1])) --held;
    return TableRows(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(held));
}

std::vector<std::size_t> droppedRows(const TableRows& rows) {
    std::vector<std::size_t> dropped;
    for (std::size_t index = usedRowCount(rows); index < rows.size(); ++index)
        if (holdsText(rows[index])) dropped.push_back(index + 1);
    return dropped;
}

std::optional<std::string> droppedRowsWarning(std::string_view fileName, std::string_view column,
                                              const TableRows& rows) {
    const std::vector<std::size_t> dropped = droppedRows(rows);
    if (dropped.empty()) return std::nullopt;
    return droppedRowsMessage(fileName, column, usedRowCount(rows) + 1, dropped);
}

ShowRead<> readTable(const std::string& path, std::string_view fileName, std::size_t gridRows,
                     std::span<const TableColumn> columns, const CellSink& sink) {
    ShowRead<> read;
    if (!XmlDocument::exists(path)) return read;
    std::vector<std::string_view> names;
    for (const TableColumn& column : columns) names.push_back(column.attribute);
    std::vector<const char*> values(columns.size());
    // Where the reading is, for the place of a failure.
    bool loaded = false;
    std::size_t row = 0;
    std::size_t column = 0;
    try {
        XmlDocument document;
        document.load(path);
        loaded = true;
        const std::vector<XmlElement> elements = document.documentElement().children();
        read.documentRows = elements.size();
        const std::size_t shown = std::min(elements.size(), gridRows);
        for (row = 0; row < shown; ++row) {
            elements[row].attributeValues(names, values);
            for (column = 0; column < columns.size(); ++column) {
                const TableColumn& kind = columns[column];
                if (!values[column]) throw Error(nullConversionMessage(kind.fromInteger ? "Integer" : "String"));
                if (kind.fromInteger)
                    sink(row, column, kind.fromInteger(toInteger(values[column])));
                else
                    sink(row, column, values[column]);
            }
        }
    } catch (const Error& failure) {
        read.unread(fileName, withPlace(failure.what(), loaded ? DocumentPlace{path, row + 1, columns[column].attribute}
                                                               : DocumentPlace{path}));
    }
    return read;
}

CellSink collectInto(TableRows& rows) {
    return [&rows](std::size_t row, std::size_t, std::string_view text) {
        if (row == rows.size()) rows.emplace_back();
        rows.back().emplace_back(text);
    };
}

std::string tableText(std::string_view root, std::span<const std::string_view> attributes, const TableRows& rows) {
    XmlDocument document;
    XmlElement element = document.addRoot(root);
    const std::size_t used = usedRowCount(rows);
    for (std::size_t index = 0; index < used; ++index) {
        XmlElement row = element.addChild("row");
        for (std::size_t column = 0; column < attributes.size(); ++column)
            row.setAttribute(attributes[column], column < rows[index].size() ? rows[index][column] : std::string());
    }
    return document.toText();
}

std::string overflowMessage(std::string_view fileName, std::size_t documentRows, std::size_t gridRows) {
    const std::string grid = std::to_string(gridRows);
    return std::string(fileName) + " has " + std::to_string(documentRows) + " rows; only the first " + grid +
           " are shown, and the rows beyond " + grid + " will not be kept if you press OK.";
}

}  // namespace tessaro
