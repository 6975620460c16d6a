#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/editors/RowRules.h"
#include "core/exchange/DefinitionPairs.h"
#include "core/exchange/ExchangeTables.h"
#include "core/exchange/TextGrid.h"

namespace tessaro {

// A project's tables out to CSV files or a workbook and back: what the export commands and the dialogs' Export
// and Import do with the documents of a project folder.

// Whether a path names a workbook (.xlsx, any letter case) rather than a CSV file.
bool isWorkbookPath(std::string_view path);

// The table as the project's documents hold it; throws tessaro::Error when a document cannot be read.
TextRows exportedRows(TableKind kind, const std::string& projectFolder);

// The bytes of a table file: a workbook holding the table's sheet for a .xlsx path, CSV otherwise.
std::string tableFileBytes(TableKind kind, const TextRows& rows, std::string_view path);

// How many frames, definitions and groups the tables hold or would hold; nothing for a table not concerned.
struct TableCounts {
    std::optional<std::size_t> frames{};
    std::optional<std::size_t> definitions{};  // all of them of frames the project has
    std::optional<std::size_t> groups{};
};

// The three tables in one workbook: sheets frames, groups and definitions. Counts, when given, gets the rows each
// sheet holds.
std::string projectWorkbookBytes(const std::string& projectFolder, TableCounts* counts = nullptr);

// The rows of a table file (the table's sheet of a workbook, or a CSV file), checked cell by cell, as the documents
// hold them (a frame's Group as its index). Throws tessaro::Error whose text is "FILE:LINE:COLUMN: message"
// (FILE[SHEET] for a workbook), or "FILE: message" for the file as a whole. A workbook of one sheet is read whatever
// its sheet's name: what a spreadsheet makes of one CSV file is a sheet named after the file.
TableRows importedFrameRows(const std::string& path);
TableRows importedGroupRows(const std::string& path);
// The definitions of a table file, per frame of held: the definitions table's rows as they are, or a DefFrame.csv's
// pairs (isDefinitionPairsText) each taken whole from held where it can (readDefinitionPairs).
struct DefinitionsImport {
    std::vector<std::vector<TClIndMB>> definitions;
    std::optional<PairsCounts> pairs;  // how a DefFrame.csv's came back; nothing for the table
};
DefinitionsImport importedDefinitions(const std::string& path, const FrameDefinitions& held);

// How an import goes.
struct ImportOptions {
    // A table without rows empties its document; without this it is refused, as a file that lost its rows would be.
    bool emptyTables = false;
};

// What an import wrote: the rows of each document it replaced, and what the user should know besides, one line each.
struct ImportOutcome {
    TableCounts counts;
    std::vector<std::string> notes;
    // How the definitions of a DefFrame.csv came back (pairsReadBackLine); nothing for a table.
    std::optional<std::string> readBack;
};

// Checks every cell of the file, then the project the import would make, and only then replaces the table's document
// as its editor's OK writes it. A DefFrame.csv takes its definitions whole from DefFrameJ1939.xml, and drops those
// of DefFrameJ1939.xml that it does not list. Refused, with nothing written: a cell that breaks a rule (tessaro::Error
// as importedFrameRows throws), a table without rows unless options allow it, a project whose image the builder would
// refuse as too large (with the builder's message) and a document that cannot be replaced. What the import leaves
// that the user should know comes back as notes: the definitions whose frames a frames table removed.
ImportOutcome importTableFile(TableKind kind, const std::string& projectFolder, const std::string& path,
                              const ImportOptions& options = {});

// Checks the three sheets of the workbook as importTableFile checks a table, the definitions against the frames of
// its own frames sheet, and then replaces the three documents all or none (replaceFiles).
ImportOutcome importWorkbookFile(const std::string& projectFolder, const std::string& path,
                                 const ImportOptions& options = {});

// What the dialogs' Import needs before it fills an editor, whose OK then writes: the project the editor's table
// would make, its other documents as they are.
// The builder's refusal of such a project as too large for the image, or nothing.
std::optional<std::string> imageTooLarge(const std::string& projectFolder, const TableCounts& counts);
// The rows of DefFrameJ1939.xml whose frame FrameJ1939.xml has now and a frame table of frameCount frames would not.
DefinitionsWithoutFrame definitionsLeftWithoutFrame(const std::string& projectFolder, std::size_t frameCount);

// The place of a problem in a table file: "FILE" or "FILE[SHEET]".
std::string tableFilePlace(TableKind kind, const std::string& path);

}  // namespace tessaro
