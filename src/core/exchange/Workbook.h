#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/exchange/TextGrid.h"

namespace tessaro {

// An .xlsx workbook of text tables: every cell a text, so that a spreadsheet keeps 001, 0x10, $10 and 3/4 as they
// are, and every column formatted as text, so that what is typed into it later stays text too.

struct WorkbookSheet {
    std::string name;
    // The header row first: it is set apart (bold, on a shaded ground) and stays in view.
    std::vector<std::vector<std::string>> rows;
};

// The bytes of the workbook; throws tessaro::Error when it cannot be made.
std::string workbookBytes(const std::vector<WorkbookSheet>& sheets);

// The cells of the named sheet that hold text: texts as they are, a number as its shortest decimal text; rows
// without any text are left out. Throws tessaro::Error when the bytes are no workbook, hold no such sheet (saying
// which sheets they hold), or unpack to more than a bounded multiple of their size (so that the memory taken stays
// within a bound of the file's size), and ExchangeError (at the cell's row and column) for a place beyond XFD1048576,
// the last cell of a sheet, and for a value that a spreadsheet has turned into something else, said as it shows: a date
// or time, a currency amount, a percentage, a fraction, a decimal fraction, a number shown with leading zeros or
// decimals or in powers of ten, a truth value, or an error.
TextGrid readWorkbookSheet(std::string_view bytes, std::string_view sheet);
// The same, and the only sheet of a workbook of one whatever its name (a spreadsheet that opens one CSV file makes a
// sheet named after the file); name gets the name of the sheet read.
TextGrid readTableSheet(std::string_view bytes, std::string_view sheet, std::string& name);

}  // namespace tessaro
