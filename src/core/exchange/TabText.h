#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessaro {

// Cells as spreadsheets put them on the clipboard: a tab between the cells of a row, a line break (CR LF, LF or a
// lone CR) after each row, the last one too. A cell that holds a tab, a line break or begins with a quote is written
// in double quotes, its quotes doubled, and read back the same way; a quote anywhere else is plain text.

using TabRows = std::vector<std::vector<std::string>>;

// The rows of text; one line break at its end ends the last row and adds none. A cell that opens with a quote and
// never closes it properly (a quote followed by a tab, a line break or the end) is read as it stands.
TabRows readTabText(std::string_view text);
// The rows, each ending in LF.
std::string writeTabText(const TabRows& rows);
// What typing could have made of a cell: each tab and line break (CR LF as one) a blank.
std::string singleLine(std::string_view text);

}  // namespace tessaro
