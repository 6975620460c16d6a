#include "core/exchange/ExchangeTables.h"

#include <algorithm>
#include <array>

#include "core/documents/NumericText.h"
#include "core/editors/FrameTable.h"
#include "core/editors/GroupTable.h"
#include "core/editors/RowRules.h"

namespace tessaro {

namespace {

constexpr std::string_view kRowNumberColumn = "N";
constexpr std::size_t kFixedDefinitionColumns = 5;  // Frame, Device_ID, Index, Points, Type
constexpr std::array<std::string_view, kFixedDefinitionColumns> kDefinitionTableColumns = {"Frame", "Device_ID",
                                                                                           "Index", "Points", "Type"};
enum DefinitionColumn : std::size_t { kFrame, kDeviceId, kIndex, kPoints, kType, kFirstRegister };

std::string registerColumn(std::size_t r, bool high) {
    return "R" + std::to_string(r + 1) + (high ? "_High" : "_Low");
}

std::string selectorText(int nibble) {
    return nibble == 0 ? std::string(kByteSelectorItems[0]) : "B" + std::to_string(nibble);
}

// A cell of a data row under a column of the header; cells a row does not reach are empty.
struct Cell {
    std::string_view text;
    std::size_t line;
    std::size_t column;
};

[[noreturn]] void refuse(const Cell& cell, const std::string& message) {
    throw ExchangeError(cell.line, cell.column, message);
}

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

// The header's columns found by name, in any order; a name the table does not have, one given twice, one missing,
// or a column without a name among them is refused. Empty cells after the last name are left out, as in a data row.
// A row's cells come in the order of their columns; a workbook's row holds only the cells that hold something.
class Columns {
public:
    Columns(const GridRow& header, TableKind kind) : m_kind(kind), m_names(tableHeader(kind)), m_at(m_names.size(), 0) {
        m_headerLine = header.line;
        std::size_t width = 0;  // the last named column
        for (const GridCell& cell : header.cells) {
            if (cell.text.empty()) continue;
            std::size_t name = 0;
            while (name < m_names.size() && m_names[name] != cell.text) ++name;
            if (name == m_names.size())
                throw ExchangeError(cell.line, cell.column,
                                    "unknown column " + quoted(cell.text) + ": the " + std::string(tableName(kind)) +
                                        " table has the columns " + listOfNames());
            if (m_at[name] != 0)
                throw ExchangeError(cell.line, cell.column, "the column " + quoted(cell.text) + " is given twice");
            m_at[name] = cell.column;
            width = cell.column;
        }
        // Every name is known and given once, so a column beyond their number leaves one without a name.
        if (width > m_names.size()) {
            std::size_t unnamed = 1;
            while (std::find(m_at.begin(), m_at.end(), unnamed) != m_at.end()) ++unnamed;
            throw ExchangeError(m_headerLine, unnamed,
                                "the column has no name: the " + std::string(tableName(kind)) +
                                    " table has the columns " + listOfNames());
        }
        for (std::size_t name = 0; name < m_names.size(); ++name)
            if (m_at[name] == 0)
                throw ExchangeError(m_headerLine, width + 1,
                                    "the column " + quoted(m_names[name]) + " is missing: the " +
                                        std::string(tableName(kind)) + " table has the columns " + listOfNames());
    }

    static std::string listOfNames(TableKind kind) {
        std::string list;
        for (const std::string& name : tableHeader(kind)) list += (list.empty() ? "" : ", ") + name;
        return list;
    }

    // The cell of the row under the name at position name of the header.
    Cell cell(const GridRow& row, std::size_t name) const {
        const std::size_t column = m_at[name];
        const auto found = std::lower_bound(row.cells.begin(), row.cells.end(), column,
                                            [](const GridCell& cell, std::size_t at) { return cell.column < at; });
        if (found != row.cells.end() && found->column == column) return {found->text, found->line, found->column};
        return {{}, row.line, column};
    }

    // Whether the row holds anything at all; one that reaches beyond the header's columns is refused.
    bool holdsAnything(const GridRow& row) const {
        bool any = false;
        for (const GridCell& cell : row.cells) {
            if (cell.text.empty()) continue;
            if (cell.column > m_names.size())
                throw ExchangeError(cell.line, cell.column,
                                    "a cell beyond the last column of the header (" + listOfNames() + ")");
            any = true;
        }
        return any;
    }

private:
    std::string listOfNames() const { return listOfNames(m_kind); }

    TableKind m_kind;
    std::vector<std::string> m_names;
    std::vector<std::size_t> m_at;  // the column of each name, from 1
    std::size_t m_headerLine = 1;
};

// The header, then the data rows that hold anything, each with its number (from 1).
template <typename Visit>
void forEachDataRow(const RowSource& rows, TableKind kind, Visit visit) {
    std::optional<Columns> columns;
    std::size_t number = 0;
    rows([&](const GridRow& row) {
        if (!columns)
            columns.emplace(row, kind);
        else if (columns->holdsAnything(row))
            visit(*columns, row, ++number);
    });
    if (!columns) throw ExchangeError(1, 1, "the file holds no header line (" + Columns::listOfNames(kind) + ")");
}

// N: the row's own number, counting from 1; the table holds at most limit rows.
void checkRowNumber(const Cell& cell, std::size_t number, std::size_t limit, std::string_view what) {
    const std::optional<std::int32_t> value = tryToInteger(cell.text);
    if (!value || *value < 0 || std::size_t(*value) != number)
        refuse(cell, "N is " + quoted(cell.text) + " where row " + std::to_string(number) +
                         " stands: the rows are numbered 1, 2, 3 ... in order");
    if (number > limit) refuse(cell, "the table holds at most " + std::to_string(limit) + " " + std::string(what));
}

// The position of text among the items of a list the editor chooses from.
template <std::size_t N>
std::optional<int> itemOf(const std::array<std::string_view, N>& items, std::string_view text) {
    for (std::size_t item = 0; item < N; ++item)
        if (items[item] == text) return int(item);
    return std::nullopt;
}

// A register's byte selector, empty standing for "none".
std::optional<int> selectorOf(std::string_view text) {
    return text.empty() ? 0 : itemOf(kByteSelectorItems, text);
}

}  // namespace

std::string_view tableName(TableKind kind) {
    switch (kind) {
        case TableKind::frames:
            return "frames";
        case TableKind::groups:
            return "groups";
        case TableKind::definitions:
            return "definitions";
    }
    return {};
}

std::string refusedCellMessage(const std::string& message, std::string_view text) {
    return message + " (the cell holds " + quoted(text) + ")";
}

std::string noSuchFrameMessage(std::int32_t frame, std::size_t frameCount) {
    return "there is no frame " + std::to_string(frame) + ": the frame table holds " + std::to_string(frameCount) +
           (frameCount == 1 ? " frame" : " frames");
}

std::optional<TableKind> tableNamed(std::string_view name) {
    for (const TableKind kind : kTableKinds)
        if (tableName(kind) == name) return kind;
    return std::nullopt;
}

std::vector<std::string> tableHeader(TableKind kind) {
    std::vector<std::string> header;
    switch (kind) {
        case TableKind::frames:
            header.emplace_back(kRowNumberColumn);
            header.insert(header.end(), kFrameAttributes.begin(), kFrameAttributes.end());
            break;
        case TableKind::groups:
            header.emplace_back(kRowNumberColumn);
            header.insert(header.end(), kGroupAttributes.begin(), kGroupAttributes.end());
            break;
        case TableKind::definitions:
            header.assign(kDefinitionTableColumns.begin(), kDefinitionTableColumns.end());
            for (std::size_t r = 0; r < kRegisterSlots; ++r) {
                header.push_back(registerColumn(r, true));
                header.push_back(registerColumn(r, false));
            }
            break;
    }
    return header;
}

namespace {

TextRows numberedRows(TableKind kind, const TableRows& rows, std::size_t width) {
    TextRows table{tableHeader(kind)};
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::vector<std::string> line{std::to_string(r + 1)};
        for (std::size_t c = 0; c < width; ++c) line.emplace_back(cellOf(rows[r], c));
        table.push_back(std::move(line));
    }
    return table;
}

}  // namespace

TextRows frameTableRows(const TableRows& frames) {
    return numberedRows(TableKind::frames, frames, kFrameAttributes.size());
}

TextRows groupTableRows(const TableRows& groups) {
    return numberedRows(TableKind::groups, groups, kGroupAttributes.size());
}

TextRows definitionTableRows(const FrameDefinitions& definitions, const std::vector<TClPdo>& beyondFrames) {
    TextRows table{tableHeader(TableKind::definitions)};
    std::vector<const TClPdo*> frames;
    for (std::size_t f = 0; f < definitions.frameCount(); ++f) frames.push_back(&definitions.frame(f));
    for (const TClPdo& frame : beyondFrames) frames.push_back(&frame);
    for (const TClPdo* const frameRecord : frames) {
        const TClPdo& frame = *frameRecord;
        for (const TClIndMB& definition : frame.definitions) {
            const int typeReg = static_cast<std::uint8_t>(definition.registerKind + kTypeRegOffset);
            std::vector<std::string> line{std::to_string(frame.frameNumber), definition.deviceId, definition.index,
                                          std::to_string(int(definition.registerCount) + 1),
                                          definition.registerKind < kKindItems.size()
                                              ? std::string(kKindItems[definition.registerKind])
                                              : std::to_string(typeReg)};
            for (std::size_t r = 0; r < kRegisterSlots; ++r) {
                const bool inUse = registerInUse(definition.registerCount, r + 1);
                line.push_back(inUse ? selectorText(definition.positions[r] >> 4) : std::string());
                line.push_back(inUse ? selectorText(definition.positions[r] & 0x0F) : std::string());
            }
            table.push_back(std::move(line));
        }
    }
    return table;
}

namespace {

// A numbered table (the frames, the groups): N checked, then the cells under the document's attributes, which check
// looks at and may change before they are kept.
template <std::size_t Width, typename Check>
TableRows numberedTable(const RowSource& source, TableKind kind, std::size_t limit, std::string_view what,
                        Check check) {
    TableRows rows;
    forEachDataRow(source, kind, [&](const Columns& columns, const GridRow& row, std::size_t number) {
        checkRowNumber(columns.cell(row, 0), number, limit, what);
        std::array<Cell, Width> cells{};
        for (std::size_t c = 0; c < Width; ++c) cells[c] = columns.cell(row, c + 1);
        TableRow stored;
        for (const Cell& cell : cells) stored.emplace_back(cell.text);
        check(int(number), cells, stored);
        rows.push_back(std::move(stored));
    });
    return rows;
}

}  // namespace

TableRows importFrameRows(const RowSource& source) {
    return numberedTable<kFrameAttributes.size()>(
        source, TableKind::frames, kFrameRows, "frames", [](int number, const auto& cells, TableRow& stored) {
            if (const std::optional<BrokenRule> broken =
                    brokenFrameRule(number, cells[FrameColumn::Priority].text, cells[FrameColumn::DataPage].text,
                                    cells[FrameColumn::Pgn].text)) {
                const Cell& cell = cells[FrameColumn::Priority + broken->field];
                refuse(cell, refusedCellMessage(broken->message, cell.text));
            }
            const Cell& group = cells[FrameColumn::Group];
            const std::optional<std::int32_t> groupIndex = tryToInteger(group.text);
            if (!groupIndex) refuse(group, notAnIntegerMessage(group.text));
            if (!isListedGroup(*groupIndex))
                refuse(group, "Group " + quoted(group.text) + " names no group: 0 (On Request) or 1 to " +
                                  std::to_string(kGroupCaptionCount - 1));
            stored[FrameColumn::Group] = std::to_string(*groupIndex);
            const Cell& erase = cells[FrameColumn::Erase];
            const std::optional<std::string_view> eraseText = eraseTextOf(erase.text);
            if (!eraseText) refuse(erase, "Erase " + quoted(erase.text) + " is neither Y nor N (nor empty)");
            stored[FrameColumn::Erase] = *eraseText;
        });
}

TableRows importGroupRows(const RowSource& source) {
    return numberedTable<kGroupAttributes.size()>(
        source, TableKind::groups, kGroupRows, "groups", [](int number, const auto& cells, TableRow&) {
            const Cell& cyclicTime = cells[GroupColumn::CyclicTime];
            if (const std::optional<std::string> broken = checkGroupRow(number, cyclicTime.text))
                refuse(cyclicTime, refusedCellMessage(*broken, cyclicTime.text));
        });
}

std::vector<std::vector<TClIndMB>> importDefinitionRows(const RowSource& source, std::size_t frameCount) {
    std::vector<std::vector<TClIndMB>> frames(frameCount);
    forEachDataRow(source, TableKind::definitions, [&](const Columns& columns, const GridRow& row, std::size_t) {
        const Cell frame = columns.cell(row, kFrame);
        const std::optional<std::int32_t> frameNumber = tryToInteger(frame.text);
        if (!frameNumber) refuse(frame, notAnIntegerMessage(frame.text));
        if (*frameNumber < 1 || std::size_t(*frameNumber) > frameCount)
            refuse(frame, noSuchFrameMessage(*frameNumber, frameCount));
        TClIndMB definition;
        const Cell deviceId = columns.cell(row, kDeviceId);
        const Cell index = columns.cell(row, kIndex);
        if (const std::optional<BrokenRule> broken = brokenDefinitionRule(index.text, deviceId.text)) {
            const Cell& cell = broken->field == 0 ? index : deviceId;
            refuse(cell, refusedCellMessage(broken->message, cell.text));
        }
        definition.deviceId = deviceId.text;
        definition.index = index.text;
        const Cell points = columns.cell(row, kPoints);
        const std::optional<int> pointsItem = itemOf(kNumberOfPointsItems, points.text);
        if (!pointsItem)
            refuse(points, "Points " + quoted(points.text) +
                               " is no number of points: " + std::string(kNumberOfPointsItems.front()) + " to " +
                               std::string(kNumberOfPointsItems.back()));
        const int pointCount = *pointsItem + 1;
        definition.registerCount = static_cast<std::uint8_t>(*pointsItem);
        const Cell type = columns.cell(row, kType);
        const std::optional<int> kind = itemOf(kKindItems, type.text);
        if (!kind)
            refuse(type, "Type " + quoted(type.text) + " is neither \"" + std::string(kKindItems[0]) + "\" nor \"" +
                             std::string(kKindItems[1]) + "\"");
        definition.registerKind = static_cast<std::uint8_t>(*kind);
        for (std::size_t r = 0; r < kRegisterSlots; ++r) {
            int nibbles[2] = {0, 0};
            for (int half = 0; half < 2; ++half) {
                const Cell cell = columns.cell(row, kFirstRegister + 2 * r + std::size_t(half));
                const std::optional<int> selector = selectorOf(cell.text);
                if (!selector)
                    refuse(cell, registerColumn(r, half == 0) + " " + quoted(cell.text) +
                                     " names no frame byte: \"none\" or B1 to B8");
                if (*selector != 0 && !registerInUse(definition.registerCount, r + 1))
                    refuse(cell, registerColumn(r, half == 0) + " names the frame byte " + quoted(cell.text) +
                                     ", but the definition has " + std::to_string(pointCount) +
                                     (pointCount == 1 ? " point" : " points") +
                                     ": leave the registers beyond Points empty");
                nibbles[half] = *selector;
            }
            definition.positions[r] = packPosition(nibbles[0], nibbles[1]);
        }
        frames[std::size_t(*frameNumber - 1)].push_back(std::move(definition));
    });
    return frames;
}

}  // namespace tessaro

namespace tessaro {

TableRows importFrameRows(const TextGrid& grid) {
    return importFrameRows(rowsOf(grid));
}

TableRows importGroupRows(const TextGrid& grid) {
    return importGroupRows(rowsOf(grid));
}

std::vector<std::vector<TClIndMB>> importDefinitionRows(const TextGrid& grid, std::size_t frameCount) {
    return importDefinitionRows(rowsOf(grid), frameCount);
}

}  // namespace tessaro
