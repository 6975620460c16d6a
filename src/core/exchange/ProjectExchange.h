#pragma once

#include <string>
#include <string_view>

#include "exchange/ExchangeTables.h"
#include "exchange/TextGrid.h"

namespace tessaro {

// A project's tables out to CSV files or a workbook and back: what the export commands and the dialogs' Export
// and Import do with the documents of a project folder.

// Whether a path names a workbook (.xlsx, any letter case) rather than a CSV file.
bool isWorkbookPath(std::string_view path);

// The table as the project's documents hold it; throws tessaro::Error when a document cannot be read.
TextRows exportedRows(TableKind kind, const std::string& projectFolder);

// The bytes of a table file: a workbook holding the table's sheet for a .xlsx path, CSV otherwise.
std::string tableFileBytes(TableKind kind, const TextRows& rows, std::string_view path);

// The three tables in one workbook: sheets frames, groups and definitions.
std::string projectWorkbookBytes(const std::string& projectFolder);

// The rows of a table file (the table's sheet of a workbook, or a CSV file), checked cell by cell, as the documents
// hold them (a frame's Group as its index). Throws tessaro::Error whose text is "FILE:LINE:COLUMN: message"
// (FILE[SHEET] for a workbook), or "FILE: message" for the file as a whole.
TableRows importedFrameRows(const std::string& path);
TableRows importedGroupRows(const std::string& path);
// Per frame of frameCount, the definitions of a table file.
std::vector<std::vector<TClIndMB>> importedDefinitions(const std::string& path, std::size_t frameCount);

// Checks every cell of the file, then replaces the table's document as its editor's OK writes it. Throws
// tessaro::Error as importedFrameRows does, and writes nothing then.
void importTableFile(TableKind kind, const std::string& projectFolder, const std::string& path);

// Checks the three sheets of the workbook, the definitions against the frames of its own frames sheet, and only
// then replaces the three documents.
void importWorkbookFile(const std::string& projectFolder, const std::string& path);

// The place of a problem in a table file: "FILE" or "FILE[SHEET]".
std::string tableFilePlace(TableKind kind, const std::string& path);

}  // namespace tessaro
