#include "core/exchange/ProjectExchange.h"

#include <algorithm>
#include <array>
#include <limits>

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"
#include "core/documents/NumericText.h"
#include "core/documents/XmlDocument.h"
#include "core/editors/FrameTable.h"
#include "core/editors/GroupTable.h"
#include "core/exchange/CsvText.h"
#include "core/exchange/Workbook.h"
#include "core/image/ConfigurationImage.h"
#include "core/project/ProjectState.h"

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

std::string_view documentName(TableKind kind) {
    switch (kind) {
        case TableKind::frames:
            return kFrameTableFileName;
        case TableKind::groups:
            return kGroupFileName;
        case TableKind::definitions:
            return kDefinitionsFileName;
    }
    return {};
}

std::string documentPath(TableKind kind, const std::string& projectFolder) {
    return joinPath(projectFolder, documentName(kind));
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

// Which sheet of a workbook holds a table: the one of the table's name, or also the only sheet whatever its name
// (for a table imported alone).
enum class Sheet { named, namedOrOnly };

// Hands the rows of the table in the file's bytes (the table's sheet of a workbook, or CSV read as it goes) to
// import, and places a problem in the file.
template <typename Import>
auto importRows(TableKind kind, const std::string& path, const std::string& bytes, Import import,
                Sheet which = Sheet::namedOrOnly) {
    std::string place = tableFilePlace(kind, path);
    try {
        if (!isWorkbookPath(path))
            return import(RowSource([&bytes](const RowVisitor& visit) { readCsvRows(bytes, visit); }));
        TextGrid sheet;
        try {
            std::string name(tableName(kind));
            sheet = which == Sheet::named ? readWorkbookSheet(bytes, name) : readTableSheet(bytes, name, name);
            place = path + "[" + name + "]";
        } catch (const Error& problem) {  // the workbook as a whole
            throw Error(path + ": " + problem.what());
        }
        return import(rowsOf(sheet));
    } catch (const ExchangeError& problem) {
        throw Error(problem.placed(place));
    }
}

auto definitionsOf(std::size_t frameCount) {
    return [frameCount](const RowSource& rows) { return importDefinitionRows(rows, frameCount); };
}

bool readsAsPairs(const std::string& path, std::string_view bytes) {
    return !isWorkbookPath(path) && isDefinitionPairsText(bytes);
}

DefinitionsImport definitionsFrom(const std::string& path, const std::string& bytes, const FrameDefinitions& held) {
    if (!readsAsPairs(path, bytes))
        return {importRows(TableKind::definitions, path, bytes, definitionsOf(held.frameCount())), std::nullopt};
    PairsReadBack read = importRows(TableKind::definitions, path, bytes,
                                    [&held](const RowSource& rows) { return readDefinitionPairs(rows, held); });
    return {std::move(read.definitions), std::move(read.counts)};
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

std::string projectWorkbookBytes(const std::string& projectFolder, TableCounts* counts) {
    std::vector<WorkbookSheet> sheets;
    for (const TableKind kind : kTableKinds)
        sheets.push_back(WorkbookSheet{std::string(tableName(kind)), exportedRows(kind, projectFolder)});
    if (counts)  // each sheet holds its header first
        *counts = {.frames = sheets[0].rows.size() - 1,
                   .definitions = sheets[2].rows.size() - 1,
                   .groups = sheets[1].rows.size() - 1};
    return workbookBytes(sheets);
}

TableRows importedFrameRows(const std::string& path) {
    return importRows(TableKind::frames, path, readFile(path), frameRowsOf);
}

TableRows importedGroupRows(const std::string& path) {
    return importRows(TableKind::groups, path, readFile(path), groupRowsOf);
}

DefinitionsImport importedDefinitions(const std::string& path, const FrameDefinitions& held) {
    return definitionsFrom(path, readFile(path), held);
}

namespace {

// The rows of a table document, as the builder counts them; none for a document that is missing or unreadable, which
// the builder refuses for its own reason.
std::size_t documentRowCount(const std::string& path) {
    if (!XmlDocument::exists(path)) return 0;
    try {
        XmlDocument document;
        document.load(path);
        return document.documentElement().children().size();
    } catch (const Error&) {
        return 0;
    }
}

// Each row's frame number in DefFrameJ1939.xml, in order; nothing for one that is no integer.
std::vector<std::optional<std::int32_t>> definitionFrameNumbers(const std::string& projectFolder) {
    std::vector<std::optional<std::int32_t>> numbers;
    const std::string path = documentPath(TableKind::definitions, projectFolder);
    if (!XmlDocument::exists(path)) return numbers;
    try {
        XmlDocument document;
        document.load(path);
        for (const XmlElement& row : document.documentElement().children()) {
            const char* frame = RowReader(row).find(kDefinitionColumns.frame.name);
            numbers.push_back(frame ? tryToInteger(frame) : std::nullopt);
        }
    } catch (const Error&) {
        numbers.clear();
    }
    return numbers;
}

// A table that holds its header alone would empty its document: refused unless the options allow it.
void checkRows(TableKind kind, const std::string& path, std::size_t rows, const ImportOptions& options) {
    if (rows > 0 || options.emptyTables) return;
    throw Error(tableFilePlace(kind, path) + ": the table has no rows, so the import would empty " +
                std::string(documentName(kind)) + "; give --empty to empty it");
}

void checkImage(const std::string& projectFolder, const std::string& place, const TableCounts& counts) {
    if (const std::optional<std::string> refusal = imageTooLarge(projectFolder, counts))
        throw Error(place + ": " + *refusal);
}

std::size_t definitionCount(const std::vector<std::vector<TClIndMB>>& definitions) {
    std::size_t count = 0;
    for (const auto& frame : definitions) count += frame.size();
    return count;
}

}  // namespace

std::optional<std::string> imageTooLarge(const std::string& projectFolder, const TableCounts& counts) {
    // A table the import gives is counted as it; the others as their documents hold them.
    const auto countOf = [&](const std::optional<std::size_t>& given, TableKind kind) {
        return std::int32_t(given ? *given : documentRowCount(documentPath(kind, projectFolder)));
    };
    ImageCounts image;
    image.frames = countOf(counts.frames, TableKind::frames);
    if (counts.definitions) {
        image.definitions = std::int32_t(*counts.definitions);
    } else {
        for (const std::optional<std::int32_t> frame : definitionFrameNumbers(projectFolder))
            if (frame && *frame >= 1 && *frame <= image.frames) ++image.definitions;
    }
    image.groups = countOf(counts.groups, TableKind::groups);
    const std::size_t size = imageSize(image, fileExists(joinPath(projectFolder, kPargenFileName)));
    if (size <= kImageCapacity) return std::nullopt;
    return imageTooLargeMessage(size);
}

DefinitionsWithoutFrame definitionsLeftWithoutFrame(const std::string& projectFolder, std::size_t frameCount) {
    DefinitionsWithoutFrame left;
    left.frameCount = frameCount;
    const std::size_t before = documentRowCount(documentPath(TableKind::frames, projectFolder));
    const std::vector<std::optional<std::int32_t>> numbers = definitionFrameNumbers(projectFolder);
    for (std::size_t row = 0; row < numbers.size(); ++row) {
        const std::optional<std::int32_t> frame = numbers[row];
        if (!frame || *frame < 1 || std::size_t(*frame) <= frameCount || std::size_t(*frame) > before) continue;
        left.rows.push_back(row + 1);
        left.frames.push_back(*frame);
    }
    std::sort(left.frames.begin(), left.frames.end());
    left.frames.erase(std::unique(left.frames.begin(), left.frames.end()), left.frames.end());
    return left;
}

ImportOutcome importTableFile(TableKind kind, const std::string& projectFolder, const std::string& path,
                              const ImportOptions& options) {
    const std::string place = tableFilePlace(kind, path);
    std::string document;
    ImportOutcome outcome;
    switch (kind) {
        case TableKind::frames: {
            TableRows rows = importedFrameRows(path);
            checkRows(kind, path, rows.size(), options);
            checkImage(projectFolder, place, {.frames = rows.size()});
            const DefinitionsWithoutFrame left = definitionsLeftWithoutFrame(projectFolder, rows.size());
            if (!left.empty()) outcome.notes.push_back(definitionsWithoutFrameNote(left));
            outcome.counts.frames = rows.size();
            document = frameDocument(projectFolder, std::move(rows));
            break;
        }
        case TableKind::groups: {
            const TableRows rows = importedGroupRows(path);
            checkRows(kind, path, rows.size(), options);
            checkImage(projectFolder, place, {.groups = rows.size()});
            outcome.counts.groups = rows.size();
            document = groupTableText(rows);
            break;
        }
        case TableKind::definitions: {
            const std::string bytes = readFile(path);
            // Only a DefFrame.csv needs the stored definitions, to take them back whole.
            FrameDefinitions frames =
                readsAsPairs(path, bytes) ? projectDefinitions(projectFolder) : projectFrames(projectFolder);
            DefinitionsImport imported = definitionsFrom(path, bytes, frames);
            checkRows(kind, path, definitionCount(imported.definitions), options);
            checkImage(projectFolder, place,
                       {.frames = frames.frameCount(), .definitions = definitionCount(imported.definitions)});
            outcome.counts.definitions = definitionCount(imported.definitions);
            if (imported.pairs) {
                // The rows of frames the frame table lacks are dropped too.
                for (const TClPdo& beyond :
                     readDefinitionsBeyondFrames(documentPath(kind, projectFolder), frames.frameCount()))
                    for (const TClIndMB& definition : beyond.definitions)
                        imported.pairs->unlisted.push_back({beyond.frameNumber, definition.index});
                outcome.readBack = pairsReadBackLine(path, *imported.pairs);
            }
            document = definitionDocument(std::move(frames), std::move(imported.definitions));
            break;
        }
    }
    replaceFile(documentPath(kind, projectFolder), document);
    return outcome;
}

ImportOutcome importWorkbookFile(const std::string& projectFolder, const std::string& path,
                                 const ImportOptions& options) {
    const std::string bytes = readFile(path);
    TableRows frameRows = importRows(TableKind::frames, path, bytes, frameRowsOf, Sheet::named);
    const TableRows groupRows = importRows(TableKind::groups, path, bytes, groupRowsOf, Sheet::named);
    std::vector<std::string> lines;
    for (const TableRow& row : frameRows)
        lines.push_back(row[FrameColumn::Priority] + '\t' + row[FrameColumn::DataPage] + '\t' + row[FrameColumn::Pgn]);
    FrameDefinitions frames;
    frames.setFrames(std::move(lines));
    auto definitions =
        importRows(TableKind::definitions, path, bytes, definitionsOf(frames.frameCount()), Sheet::named);
    checkRows(TableKind::frames, path, frameRows.size(), options);
    checkRows(TableKind::groups, path, groupRows.size(), options);
    checkRows(TableKind::definitions, path, definitionCount(definitions), options);
    const TableCounts counts{
        .frames = frameRows.size(), .definitions = definitionCount(definitions), .groups = groupRows.size()};
    checkImage(projectFolder, path, counts);

    const std::string frameText = frameDocument(projectFolder, std::move(frameRows));
    const std::string groupText = groupTableText(groupRows);
    const std::string definitionText = definitionDocument(std::move(frames), std::move(definitions));
    replaceFiles({{documentPath(TableKind::groups, projectFolder), groupText},
                  {documentPath(TableKind::frames, projectFolder), frameText},
                  {documentPath(TableKind::definitions, projectFolder), definitionText}});
    return {.counts = counts, .notes = {}};
}

}  // namespace tessaro
