#include <algorithm>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "core/documents/NumericText.h"
#include "core/editors/FrameTable.h"
#include "core/editors/GroupTable.h"
#include "core/editors/RowRules.h"
#include "core/exchange/CsvText.h"
#include "core/exchange/DefinitionPairs.h"
#include "core/exchange/ExchangeTables.h"

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

// The grid with empty cells after its header's last: read as the same table, or refused at the same place.
TextGrid withEmptyHeaderCells(TextGrid grid) {
    if (grid.rows.empty()) return grid;
    GridRow& header = grid.rows.front();
    for (int extra = 0; extra < 2; ++extra) header.cells.push_back(GridCell{{}, header.line, header.cells.size() + 1});
    return grid;
}

// Every data row of a table goes out: as many lines as rows, besides the header.
void checkEveryRowGoesOut(const TextRows& table, std::size_t rows) {
    TESSARO_FUZZ_EXPECT(table.size() == rows + 1,
                        std::to_string(rows) + " rows go out as " + std::to_string(table.size()) + " lines");
}

// An accepted table holds only what an editor's OK could store, goes out whole and comes back as the same rows, and
// reads the same with empty cells after its header; a refused one says where, within the text.
template <typename Import, typename Export, typename Stored>
void checkTable(const TextGrid& grid, std::size_t lines, Import import, Export exportRows, Stored storedByAnEditor) {
    std::string accepted = "refused";
    try {
        const auto rows = import(grid);
        accepted = "accepted";
        storedByAnEditor(rows);
        const TextRows table = exportRows(rows);
        const std::string written = writeCsv(table);
        const auto back = import(readCsv(written));
        TESSARO_FUZZ_EXPECT(back == rows, "the table does not come back from " + printable(written));
        TESSARO_FUZZ_EXPECT(import(withEmptyHeaderCells(grid)) == rows, "empty header cells change the table");
    } catch (const ExchangeError& refusal) {
        TESSARO_FUZZ_EXPECT(refusal.line() >= 1 && refusal.line() <= lines + 1 && refusal.column() >= 1,
                            std::string("refused at no place of the text: ") + refusal.what());
        if (accepted == "refused") {
            try {
                import(withEmptyHeaderCells(grid));
                TESSARO_FUZZ_EXPECT(false, "accepted only with empty header cells");
            } catch (const ExchangeError& again) {
                TESSARO_FUZZ_EXPECT(std::string(again.what()) == refusal.what(),
                                    std::string(refusal.what()) + " becomes " + again.what());
            }
        }
    }
}

void frameRowsAnEditorStores(const TableRows& rows) {
    TESSARO_FUZZ_EXPECT(rows.size() <= kFrameRows, std::to_string(rows.size()) + " frames");
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const TableRow& row = rows[r];
        TESSARO_FUZZ_EXPECT(
            !checkFrameRow(int(r + 1), row[FrameColumn::Priority], row[FrameColumn::DataPage], row[FrameColumn::Pgn]),
            "frame " + std::to_string(r + 1) + " breaks a rule of OK");
        TESSARO_FUZZ_EXPECT(isListedGroup(toIntegerOr(row[FrameColumn::Group], -1)) &&
                                std::to_string(toIntegerOr(row[FrameColumn::Group], -1)) == row[FrameColumn::Group],
                            "group " + printable(row[FrameColumn::Group]));
        TESSARO_FUZZ_EXPECT(
            std::find(kEraseTexts.begin(), kEraseTexts.end(), row[FrameColumn::Erase]) != kEraseTexts.end(),
            "Erase " + printable(row[FrameColumn::Erase]));
    }
}

void groupRowsAnEditorStores(const TableRows& rows) {
    TESSARO_FUZZ_EXPECT(rows.size() <= kGroupRows, std::to_string(rows.size()) + " groups");
    for (std::size_t r = 0; r < rows.size(); ++r)
        TESSARO_FUZZ_EXPECT(!checkGroupRow(int(r + 1), rows[r][GroupColumn::CyclicTime]),
                            "group " + std::to_string(r + 1) + " breaks a rule of OK");
}

void definitionsAnEditorStores(const std::vector<std::vector<TClIndMB>>& frames) {
    for (const auto& definitions : frames)
        for (const TClIndMB& definition : definitions) {
            TESSARO_FUZZ_EXPECT(!checkDefinition(definition.index, definition.deviceId), "a definition breaks a rule");
            TESSARO_FUZZ_EXPECT(
                definition.registerCount < kNumberOfPointsItems.size() && definition.registerKind < kKindItems.size(),
                "Num_Reg " + std::to_string(definition.registerCount) + ", kind " +
                    std::to_string(definition.registerKind));
            // What the dialog would show and store again is what was read.
            TESSARO_FUZZ_EXPECT(packDefinition(unpackDefinition(definition)) == definition,
                                "a definition the dialog would not store as it is");
        }
}

// DefFrame.csv read against a few definitions held: each held one comes back whole or is named as not listed, each
// new one has an index OK could store, and the Export of what came back reads back whole; a refusal says where.
void checkPairs(const TextGrid& grid, std::size_t lines) {
    FrameDefinitions held;
    held.setFrames({"a", "b", "c"});
    const auto definition = [](const char* index, const char* deviceId) {
        TClIndMB result;
        result.index = index;
        result.deviceId = deviceId;
        return result;
    };
    held.frame(0).definitions = {definition("0", "1"), definition("0", "2"), definition("7", "3")};
    held.frame(2).definitions = {definition("65535", "4")};
    constexpr std::size_t kHeld = 4;
    try {
        const PairsReadBack read = readDefinitionPairs(rowsOf(grid), held);
        std::size_t back = 0;
        for (const auto& definitions : read.definitions) back += definitions.size();
        TESSARO_FUZZ_EXPECT(read.counts.whole + read.counts.unlisted.size() == kHeld,
                            std::to_string(read.counts.whole) + " whole and " +
                                std::to_string(read.counts.unlisted.size()) + " not listed");
        TESSARO_FUZZ_EXPECT(back == read.counts.whole + read.counts.added.size(),
                            std::to_string(back) + " definitions came back");
        for (const DefinitionName& added : read.counts.added)
            TESSARO_FUZZ_EXPECT(!checkDefinitionIndex(added.index), "new index " + printable(added.index));
        FrameDefinitions shown = held;
        for (std::size_t f = 0; f < shown.frameCount(); ++f) shown.frame(f).definitions = read.definitions[f];
        const std::string exported = shown.exportText();
        const PairsReadBack again = readDefinitionPairs(rowsOf(readCsv(exported)), shown);
        TESSARO_FUZZ_EXPECT(
            again.definitions == read.definitions && again.counts.added.empty() && again.counts.unlisted.empty(),
            "the definitions do not come back from " + printable(exported));
    } catch (const ExchangeError& refusal) {
        TESSARO_FUZZ_EXPECT(refusal.line() >= 1 && refusal.line() <= lines && refusal.column() >= 1,
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
        grid, lines, [](const TextGrid& cells) { return importFrameRows(cells); },
        [](const TableRows& rows) {
            const TextRows table = frameTableRows(rows);
            checkEveryRowGoesOut(table, rows.size());
            return table;
        },
        frameRowsAnEditorStores);
    checkTable(
        grid, lines, [](const TextGrid& cells) { return importGroupRows(cells); },
        [](const TableRows& rows) {
            const TextRows table = groupTableRows(rows);
            checkEveryRowGoesOut(table, rows.size());
            return table;
        },
        groupRowsAnEditorStores);
    // The definitions checked against a frame table of a few frames, and the last frame's rows written out as rows
    // of a frame beyond the table, which go out too.
    constexpr std::size_t kFrames = 4;
    checkTable(
        grid, lines, [](const TextGrid& cells) { return importDefinitionRows(cells, kFrames); },
        [](const std::vector<std::vector<TClIndMB>>& definitions) {
            FrameDefinitions frames;
            frames.setFrames(std::vector<std::string>(definitions.size() - 1));
            std::size_t rows = 0;
            for (std::size_t f = 0; f < definitions.size(); ++f) rows += definitions[f].size();
            for (std::size_t f = 0; f + 1 < definitions.size(); ++f) frames.frame(f).definitions = definitions[f];
            const std::vector<TClPdo> beyond = {TClPdo{std::int32_t(kFrames), definitions.back()}};
            const TextRows table = definitionTableRows(frames, beyond);
            checkEveryRowGoesOut(table, rows);
            return table;
        },
        definitionsAnEditorStores);
    checkPairs(grid, lines);
}

}  // namespace tessaro::fuzz
