#include <algorithm>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "editors/FrameTable.h"
#include "exchange/CsvText.h"
#include "exchange/ExchangeTables.h"

namespace tessaro::fuzz {

namespace {

using Cells = std::vector<std::vector<std::string>>;

std::string shownCells(const Cells& cells) {
    std::string text;
    for (const auto& row : cells) {
        for (const std::string& cell : row) text += "[" + printable(cell) + "]";
        text += "\n";
    }
    return text;
}

// An accepted table goes out and comes back as the same rows; a refused one says where, within the text.
template <typename Import, typename Export>
void checkTable(const TextGrid& grid, std::size_t lines, Import import, Export exportRows) {
    try {
        const auto rows = import(grid);
        const std::string written = writeCsv(exportRows(rows));
        const auto back = import(readCsv(written));
        TESSARO_FUZZ_EXPECT(back == rows, "the table does not come back from " + printable(written));
    } catch (const ExchangeError& refusal) {
        TESSARO_FUZZ_EXPECT(refusal.line() >= 1 && refusal.line() <= lines + 1 && refusal.column() >= 1,
                            std::string("refused at no place of the text: ") + refusal.what());
    }
}

}  // namespace

void csvTable(std::string_view input) {
    const std::size_t lines =
        std::size_t(std::count(input.begin(), input.end(), '\n') + std::count(input.begin(), input.end(), '\r')) + 1;
    TextGrid grid;
    try {
        grid = readCsv(input);
    } catch (const ExchangeError& refusal) {
        TESSARO_FUZZ_EXPECT(refusal.line() >= 1 && refusal.line() <= lines && refusal.column() >= 1,
                            std::string("refused at no place of the text: ") + refusal.what());
        return;
    }

    // Every cell has its place: lines going down, columns 1, 2, 3 ... along each row.
    std::size_t lastLine = 0;
    for (const GridRow& row : grid.rows) {
        TESSARO_FUZZ_EXPECT(row.line > lastLine && row.line <= lines, "row at line " + std::to_string(row.line));
        for (std::size_t c = 0; c < row.cells.size(); ++c) {
            TESSARO_FUZZ_EXPECT(row.cells[c].column == c + 1,
                                "cell " + std::to_string(c + 1) + " at column " + std::to_string(row.cells[c].column));
            TESSARO_FUZZ_EXPECT(row.cells[c].line >= row.line && row.cells[c].line <= lines,
                                "cell at line " + std::to_string(row.cells[c].line));
            lastLine = row.cells[c].line;
        }
    }

    // What is accepted writes back to the same cells.
    const Cells cells = cellTexts(grid);
    const std::string written = writeCsv(cells);
    TextGrid again;
    try {
        again = readCsv(written);
    } catch (const ExchangeError& refusal) {
        TESSARO_FUZZ_EXPECT(false, std::string("what was written is refused: ") + refusal.what());
    }
    TESSARO_FUZZ_EXPECT(cellTexts(again) == cells,
                        shownCells(cells) + "comes back as\n" + shownCells(cellTexts(again)));

    checkTable(
        grid, lines, [](const TextGrid& cells) { return importFrameRows(cells); }, frameTableRows);
    checkTable(
        grid, lines, [](const TextGrid& cells) { return importGroupRows(cells); }, groupTableRows);
    checkTable(
        grid, lines, [](const TextGrid& cells) { return importDefinitionRows(cells, kFrameRows); },
        [](const std::vector<std::vector<TClIndMB>>& definitions) {
            FrameDefinitions frames;
            frames.setFrames(std::vector<std::string>(definitions.size()));
            for (std::size_t f = 0; f < definitions.size(); ++f) frames.frame(f).definitions = definitions[f];
            return definitionTableRows(frames);
        });
}

}  // namespace tessaro::fuzz
