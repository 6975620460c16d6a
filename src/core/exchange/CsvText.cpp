#include "core/exchange/CsvText.h"

#include <algorithm>

#include "core/documents/Utf8Text.h"

namespace tessaro {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kQuotedStops = "\"\r\n";

// The length of the line break at at: 2 for CR LF, 1 for a lone CR or LF, 0 for none.
std::size_t lineBreakAt(std::string_view text, std::size_t at) {
    if (at >= text.size()) return 0;
    if (text[at] == '\n') return 1;
    if (text[at] != '\r') return 0;
    return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
}

// The first comma or semicolon of the header line outside quotes; a comma when the line has neither.
char separatorOf(std::string_view text) {
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == ',' || c == ';') return c;
        if (c == '\r' || c == '\n') break;
    }
    return ',';
}

void checkText(const GridCell& cell) {
    if (cell.text.find('\0') != std::string::npos || !isValidUtf8(cell.text))
        throw ExchangeError(cell.line, cell.column,
                            "the cell is not UTF-8 text (or holds a NUL character): save the file as UTF-8");
}

}  // namespace

ExchangeError::ExchangeError(std::size_t line, std::size_t column, const std::string& message)
    : std::runtime_error(std::to_string(line) + ":" + std::to_string(column) + ": " + message),
      m_line(line),
      m_column(column),
      m_message(message) {}

std::string ExchangeError::placed(std::string_view file) const {
    return std::string(file) + ":" + what();
}

TextGrid readCsv(std::string_view text) {
    TextGrid grid;
    grid.rows.reserve(std::size_t(std::count(text.begin(), text.end(), '\n')) + 1);
    readCsvRows(text, [&grid](const GridRow& row) { grid.rows.push_back(row); });
    return grid;
}

void readCsvRows(std::string_view text, const RowVisitor& visit) {
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    const char separator = separatorOf(text);
    const char stopCharacters[] = {separator, '\r', '\n', '"'};
    const std::string_view stops(stopCharacters, sizeof stopCharacters);
    const std::size_t size = text.size();
    // One row, its cells and their texts used again and again.
    GridRow row;
    std::size_t cellCount = 0;
    std::size_t line = 1;
    std::size_t at = 0;
    for (;;) {
        if (cellCount == row.cells.size()) row.cells.emplace_back();
        GridCell& cell = row.cells[cellCount];
        cell.text.clear();
        cell.line = line;
        cell.column = cellCount + 1;
        if (cellCount == 0) row.line = line;
        const bool quoted = at < size && text[at] == '"';
        if (quoted) {
            ++at;
            for (;;) {
                if (at == size)
                    throw ExchangeError(cell.line, cell.column, "the quote that opens this cell is never closed");
                if (text[at] == '"') {
                    if (at + 1 < size && text[at + 1] == '"') {
                        cell.text += '"';
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                if (const std::size_t lineBreak = lineBreakAt(text, at)) {
                    cell.text.append(text.substr(at, lineBreak));
                    at += lineBreak;
                    ++line;
                    continue;
                }
                const std::size_t plain = text.find_first_of(kQuotedStops, at);
                const std::size_t end = plain == std::string_view::npos ? size : plain;
                cell.text.append(text.substr(at, end - at));
                at = end;
            }
            if (at < size && text[at] != separator && !lineBreakAt(text, at))
                throw ExchangeError(line, cell.column,
                                    "'" + std::string(1, text[at]) +
                                        "' follows the closing quote of the cell: a quote inside a quoted cell is "
                                        "written twice");
        } else {
            const std::size_t end = std::min(text.find_first_of(stops, at), size);
            if (end < size && text[end] == '"')
                throw ExchangeError(line, cell.column,
                                    "a quote inside a cell that does not start with one: put the cell in quotes and "
                                    "write the quote twice");
            cell.text.assign(text.substr(at, end - at));
            at = end;
        }
        checkText(cell);
        const bool blankLine = cellCount == 0 && !quoted && cell.text.empty();
        ++cellCount;
        if (at < size && text[at] == separator) {
            ++at;
            continue;
        }
        if (at == size && !blankLine)
            throw ExchangeError(cell.line, cell.column,
                                "the file stops in the middle of a line (was it cut short?): every line of a table, "
                                "the last one too, ends with a line break");
        if (!blankLine) {
            row.cells.resize(cellCount);
            visit(row);
        }
        cellCount = 0;
        if (at == size) break;
        at += lineBreakAt(text, at);
        ++line;
        if (at == size) break;
    }
}

std::string writeCsv(const std::vector<std::vector<std::string>>& rows) {
    std::string text;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::vector<std::string>& row = rows[r];
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string& cell = row[c];
            if (c > 0) text += ',';
            const bool quote = cell.find_first_of(",;\"\r\n") != std::string::npos ||
                               (row.size() == 1 && cell.empty()) ||
                               (r == 0 && c == 0 && cell.starts_with(kByteOrderMark));
            if (!quote) {
                text += cell;
                continue;
            }
            text += '"';
            for (const char ch : cell) {
                if (ch == '"') text += '"';
                text += ch;
            }
            text += '"';
        }
        text += "\r\n";
    }
    return text;
}

}  // namespace tessaro
