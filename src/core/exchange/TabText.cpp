#include "core/exchange/TabText.h"

namespace tessaro {

namespace {

// The length of the line break at at: 2 for CR LF, 1 for a lone CR or LF, 0 for none.
std::size_t lineBreakAt(std::string_view text, std::size_t at) {
    if (at >= text.size()) return 0;
    if (text[at] == '\n') return 1;
    if (text[at] != '\r') return 0;
    return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
}

bool endsCell(std::string_view text, std::size_t at) {
    return at == text.size() || text[at] == '\t' || lineBreakAt(text, at) > 0;
}

// A quoted cell from the quote at at: its text and the place after its closing quote, or nothing when no quote
// there closes it.
bool readQuoted(std::string_view text, std::size_t& at, std::string& cell) {
    std::string unquoted;
    for (std::size_t next = at + 1; next < text.size(); ++next) {
        if (text[next] != '"') {
            unquoted += text[next];
            continue;
        }
        if (next + 1 < text.size() && text[next + 1] == '"') {
            unquoted += '"';
            ++next;
            continue;
        }
        if (!endsCell(text, next + 1)) return false;
        cell = std::move(unquoted);
        at = next + 1;
        return true;
    }
    return false;
}

}  // namespace

TabRows readTabText(std::string_view text) {
    TabRows rows;
    if (text.empty()) return rows;
    std::vector<std::string> row;
    std::size_t at = 0;
    for (;;) {
        std::string cell;
        if (at >= text.size() || text[at] != '"' || !readQuoted(text, at, cell)) {
            const std::size_t start = at;
            while (!endsCell(text, at)) ++at;
            cell.assign(text.substr(start, at - start));
        }
        row.push_back(std::move(cell));
        if (at < text.size() && text[at] == '\t') {
            ++at;
            continue;
        }
        rows.push_back(std::move(row));
        row.clear();
        at += lineBreakAt(text, at);
        if (at >= text.size()) break;
    }
    return rows;
}

std::string writeTabText(const TabRows& rows) {
    std::string text;
    for (const std::vector<std::string>& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string& cell = row[c];
            if (c > 0) text += '\t';
            if (cell.find_first_of("\t\r\n") == std::string::npos && !cell.starts_with('"')) {
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
        text += '\n';
    }
    return text;
}

std::string singleLine(std::string_view text) {
    std::string line;
    line.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (const std::size_t lineBreak = lineBreakAt(text, at)) {
            line += ' ';
            at += lineBreak;
            continue;
        }
        line += text[at] == '\t' ? ' ' : text[at];
        ++at;
    }
    return line;
}

}  // namespace tessaro
