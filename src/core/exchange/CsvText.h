#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/exchange/TextGrid.h"

namespace tessaro {

// Comma-separated text as RFC 4180 has it: fields in double quotes may hold the separator, line breaks and doubled
// quotes. What spreadsheets write is read too: a UTF-8 byte-order mark, a semicolon as the separator (found from the
// header line), CR LF or LF. Lines holding nothing are left out. Every line ends with a line break, so that a
// file cut short is refused rather than read as a shorter table.

// The cells of text, each with the line it starts on and its column (both from 1). Throws ExchangeError at the
// first place the text breaks the rules: a quote inside an unquoted field, something after a closing quote, a quote
// that is never closed, a last line without its line break, text that is not UTF-8.
TextGrid readCsv(std::string_view text);
// The same, handing each row to visit as soon as it is read; a problem stops the reading there.
void readCsvRows(std::string_view text, const RowVisitor& visit);

// The rows as comma-separated lines ending in CR LF; a cell is quoted only when it holds a comma, a semicolon, a
// quote or a line break, or when it would otherwise read as a blank line.
std::string writeCsv(const std::vector<std::vector<std::string>>& rows);

}  // namespace tessaro
