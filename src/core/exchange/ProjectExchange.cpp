#include "exchange/ProjectExchange.h"

#include <array>
#include <limits>

#include "documents/AtomicFile.h"
#include "documents/Errors.h"
#include "documents/NumericText.h"
#include "editors/FrameTable.h"
#include "editors/GroupTable.h"
#include "exchange/CsvText.h"
#include "exchange/Workbook.h"
#include "project/ProjectState.h"

namespace tessaro {

namespace {

// A table document's rows as it holds them, every attribute as text and every row, also those beyond the grid.
template <std::size_t N>
TableRows documentRows(const std::string& path, const std::array<std::string_view, N>& attributes) {
    std::array<TableColumn, N> columns;
    for (std::size_t c = 0; c < N; ++c) columns[c].attribute = attributes[c];
    TableRows rows;
    const ShowRead<> read = readTable(path, {}, std::numeric_limits<std::size_t>::max(), columns, collectInto(rows));
    if (!read.failures.empty()) throw Error(read.failures.front());
    return rows;
}

std::string documentPath(TableKind kind, const std::string& projectFolder) {
    switch (kind) {
        case TableKind::frames:
            return joinPath(projectFolder, kFrameTableFileName);
        case TableKind::groups:
            return joinPath(projectFolder, kGroupFileName);
        case TableKind::definitions:
            return joinPath(projectFolder, kDefinitionsFileName);
    }
    return {};
}

// The frame list of the project's frame table, as the definitions editor lists it.
FrameDefinitions projectFrames(const std::string& projectFolder) {
    ShowRead<FrameDefinitions> read = readFrameDefinitions(documentPath(TableKind::frames, projectFolder), {});
    if (!read.failures.empty()) throw Error(read.failures.front());
    return std::move(read.content);
}

FrameDefinitions projectDefinitions(const std::string& projectFolder) {
    ShowRead<FrameDefinitions> read = readFrameDefinitions(documentPath(TableKind::frames, projectFolder),
                                                           documentPath(TableKind::definitions, projectFolder));
    if (!read.failures.empty()) throw Error(read.failures.front());
    return std::move(read.content);
}

// FrameJ1939.xml as the frame table's OK writes it: the grid shows each group as its caption, OK stores its index.
std::string frameDocument(const std::string& projectFolder, TableRows rows) {
    const GroupCaptions captions = readGroupCaptions(documentPath(TableKind::groups, projectFolder)).content;
    for (TableRow& row : rows) row[FrameColumn::Group] = groupCaptionOf(captions, toInteger(row[FrameColumn::Group]));
    return frameTableText(captions, rows);
}

// DefFrameJ1939.xml as the definitions editor's OK writes it, with these definitions for these frames.
std::string definitionDocument(FrameDefinitions frames, std::vector<std::vector<TClIndMB>> definitions) {
    for (std::size_t f = 0; f < frames.frameCount(); ++f) frames.frame(f).definitions = std::move(definitions[f]);
    return frames.documentText();
}

// Hands the rows of the table in the file's bytes (the table's sheet of a workbook, or CSV read as it goes) to
// import, and places a problem in the file.
template <typename Import>
auto importRows(TableKind kind, const std::string& path, const std::string& bytes, Import import) {
    try {
        if (!isWorkbookPath(path))
            return import(RowSource([&bytes](const RowVisitor& visit) { readCsvRows(bytes, visit); }));
        TextGrid sheet;
        try {
            sheet = readWorkbookSheet(bytes, tableName(kind));
        } catch (const Error& problem) {  // the workbook as a whole
            throw Error(path + ": " + problem.what());
        }
        return import(rowsOf(sheet));
    } catch (const ExchangeError& problem) {
        throw Error(problem.placed(tableFilePlace(kind, path)));
    }
}

auto definitionsOf(std::size_t frameCount) {
    return [frameCount](const RowSource& rows) { return importDefinitionRows(rows, frameCount); };
}

const auto frameRowsOf = [](const RowSource& rows) { return importFrameRows(rows); };
const auto groupRowsOf = [](const RowSource& rows) { return importGroupRows(rows); };

}  // namespace

bool isWorkbookPath(std::string_view path) {
    if (path.size() < 5) return false;
    std::string extension(path.substr(path.size() - 5));
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return extension == ".xlsx";
}

std::string tableFilePlace(TableKind kind, const std::string& path) {
    return isWorkbookPath(path) ? path + "[" + std::string(tableName(kind)) + "]" : path;
}

TextRows exportedRows(TableKind kind, const std::string& projectFolder) {
    switch (kind) {
        case TableKind::frames:
            return frameTableRows(documentRows(documentPath(kind, projectFolder), kFrameAttributes));
        case TableKind::groups:
            return groupTableRows(documentRows(documentPath(kind, projectFolder), kGroupAttributes));
        case TableKind::definitions: {
            const FrameDefinitions definitions = projectDefinitions(projectFolder);
            return definitionTableRows(
                definitions, readDefinitionsBeyondFrames(documentPath(kind, projectFolder), definitions.frameCount()));
        }
    }
    return {};
}

std::string tableFileBytes(TableKind kind, const TextRows& rows, std::string_view path) {
    if (isWorkbookPath(path)) return workbookBytes({WorkbookSheet{std::string(tableName(kind)), rows}});
    return writeCsv(rows);
}

std::string projectWorkbookBytes(const std::string& projectFolder) {
    std::vector<WorkbookSheet> sheets;
    for (const TableKind kind : kTableKinds)
        sheets.push_back(WorkbookSheet{std::string(tableName(kind)), exportedRows(kind, projectFolder)});
    return workbookBytes(sheets);
}

TableRows importedFrameRows(const std::string& path) {
    return importRows(TableKind::frames, path, readFile(path), frameRowsOf);
}

TableRows importedGroupRows(const std::string& path) {
    return importRows(TableKind::groups, path, readFile(path), groupRowsOf);
}

std::vector<std::vector<TClIndMB>> importedDefinitions(const std::string& path, std::size_t frameCount) {
    return importRows(TableKind::definitions, path, readFile(path), definitionsOf(frameCount));
}

void importTableFile(TableKind kind, const std::string& projectFolder, const std::string& path) {
    std::string document;
    switch (kind) {
        case TableKind::frames:
            document = frameDocument(projectFolder, importedFrameRows(path));
            break;
        case TableKind::groups:
            document = groupTableText(importedGroupRows(path));
            break;
        case TableKind::definitions: {
            FrameDefinitions frames = projectFrames(projectFolder);
            auto definitions = importedDefinitions(path, frames.frameCount());
            document = definitionDocument(std::move(frames), std::move(definitions));
            break;
        }
    }
    replaceFile(documentPath(kind, projectFolder), document);
}

void importWorkbookFile(const std::string& projectFolder, const std::string& path) {
    const std::string bytes = readFile(path);
    TableRows frameRows = importRows(TableKind::frames, path, bytes, frameRowsOf);
    const TableRows groupRows = importRows(TableKind::groups, path, bytes, groupRowsOf);
    std::vector<std::string> lines;
    for (const TableRow& row : frameRows)
        lines.push_back(row[FrameColumn::Priority] + '\t' + row[FrameColumn::DataPage] + '\t' + row[FrameColumn::Pgn]);
    FrameDefinitions frames;
    frames.setFrames(std::move(lines));
    auto definitions = importRows(TableKind::definitions, path, bytes, definitionsOf(frames.frameCount()));

    const std::string frameText = frameDocument(projectFolder, std::move(frameRows));
    const std::string groupText = groupTableText(groupRows);
    const std::string definitionText = definitionDocument(std::move(frames), std::move(definitions));
    replaceFile(documentPath(TableKind::groups, projectFolder), groupText);
    replaceFile(documentPath(TableKind::frames, projectFolder), frameText);
    replaceFile(documentPath(TableKind::definitions, projectFolder), definitionText);
}

}  // namespace tessaro
