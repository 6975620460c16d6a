#include "core/editors/FrameTable.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "core/documents/AtomicFile.h"
#include "core/documents/NumericText.h"
#include "core/editors/RowRules.h"

namespace tessaro {

namespace {

constexpr std::string_view kOnRequest = "On Request";
constexpr std::string_view kNotInUse = " Not In Use";

std::string notInUse(std::int32_t index) {
    return "G" + std::to_string(index) + std::string(kNotInUse);
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equalIgnoringCase(std::string_view left, std::string_view right) {
    if (left.size() != right.size()) return false;
    for (std::size_t at = 0; at < left.size(); ++at)
        if (upper(left[at]) != upper(right[at])) return false;
    return true;
}

// The number of a text written as notInUse(number) writes it, ignoring ASCII case.
std::optional<std::int32_t> notInUseNumber(std::string_view text) {
    if (text.size() < 2 + kNotInUse.size() || upper(text.front()) != 'G') return std::nullopt;
    const std::string_view number = text.substr(1, text.size() - 1 - kNotInUse.size());
    if (!equalIgnoringCase(text.substr(text.size() - kNotInUse.size()), kNotInUse)) return std::nullopt;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size() || std::to_string(value) != number)
        return std::nullopt;
    return value;
}

}  // namespace

ShowRead<GroupCaptions> readGroupCaptions(const std::string& groupPath) {
    const std::array<TableColumn, 2> columns = {
        TableColumn{kGroupColumns.cyclicTime.name, [](std::int32_t value) { return std::to_string(value); }},
        TableColumn{kGroupColumns.mnemonic.name, {}},
    };
    TableRows groups;
    const ShowRead<> groupsRead =
        readTable(groupPath, kGroupFileName, kGroupCaptionCount - 1, columns, collectInto(groups));
    ShowRead<GroupCaptions> read;
    read.adopt(groupsRead);
    GroupCaptions& captions = read.content;
    captions.reserve(kGroupCaptionCount);
    captions.emplace_back(kOnRequest);
    for (const TableRow& group : groups) {
        if (group.size() < columns.size()) break;
        captions.push_back("G" + std::to_string(captions.size()) + " " + group[0] + " - " + group[1]);
    }
    if (read.unreadFiles.empty())
        while (captions.size() < kGroupCaptionCount)
            captions.push_back(notInUse(static_cast<std::int32_t>(captions.size())));
    return read;
}

std::string groupCaptionOf(const std::vector<std::string>& captions, std::int32_t index) {
    if (index >= 0 && static_cast<std::size_t>(index) < captions.size())
        return captions[static_cast<std::size_t>(index)];
    return notInUse(index);
}

std::int32_t groupIndexOf(const std::vector<std::string>& captions, std::string_view cellText) {
    for (std::size_t index = 0; index < captions.size(); ++index)
        if (equalIgnoringCase(captions[index], cellText)) return static_cast<std::int32_t>(index);
    return notInUseNumber(cellText).value_or(0);
}

std::string_view eraseAfterClick(std::string_view text) {
    return text == kEraseTexts[0] ? kEraseTexts[1] : kEraseTexts[0];
}

std::optional<std::string_view> eraseTextOf(std::string_view text) {
    for (const std::string_view shown : kEraseTexts)
        if (equalIgnoringCase(shown, text)) return shown;
    return std::nullopt;
}

bool erasesData(std::string_view text) {
    return text == "Y" || text == "y";
}

std::string pastedGroupCell(const std::vector<std::string>& captions, std::string_view text) {
    if (text.empty()) return {};
    for (std::size_t index = 0; index < captions.size(); ++index)
        if (equalIgnoringCase(captions[index], text)) return captions[index];
    if (const std::optional<std::int32_t> notInUse = notInUseNumber(text)) return groupCaptionOf(captions, *notInUse);
    return groupCaptionOf(captions, tryToInteger(text).value_or(0));
}

std::string_view pastedEraseCell(std::string_view text) {
    if (text.empty()) return {};
    return erasesData(text) ? "Y" : "N";
}

ShowRead<GroupCaptions> readFrameTable(const std::string& groupPath, const std::string& framePath,
                                       const CellSink& sink) {
    ShowRead<GroupCaptions> read = readGroupCaptions(groupPath);
    // The frames' rows are counted, not the groups'.
    read.documentRows = 0;
    if (!read.unreadFiles.empty()) return read;
    const GroupCaptions& captions = read.content;
    std::array<TableColumn, kFrameAttributes.size()> columns;
    for (std::size_t column = 0; column < columns.size(); ++column)
        columns[column].attribute = kFrameAttributes[column];
    columns[FrameColumn::Group].fromInteger = [&captions](std::int32_t index) {
        return groupCaptionOf(captions, index);
    };
    read.adopt(readTable(framePath, kFrameTableFileName, kFrameRows, columns, sink));
    return read;
}

std::optional<std::string> checkFrameRows(const TableRows& rows) {
    const std::size_t used = usedRowCount(rows);
    for (std::size_t index = 0; index < used; ++index) {
        const TableRow& row = rows[index];
        if (auto broken = checkFrameRow(int(index + 1), cellOf(row, FrameColumn::Priority),
                                        cellOf(row, FrameColumn::DataPage), cellOf(row, FrameColumn::Pgn)))
            return broken;
    }
    return std::nullopt;
}

std::optional<std::string> frameRowsDropped(const TableRows& rows) {
    return droppedRowsWarning(kFrameTableFileName, "Priority", rows);
}

TableRows storedFrameRows(const std::vector<std::string>& captions, const TableRows& rows) {
    TableRows stored(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(usedRowCount(rows)));
    for (TableRow& row : stored) {
        row.resize(kFrameAttributes.size());
        row[FrameColumn::Group] = std::to_string(groupIndexOf(captions, row[FrameColumn::Group]));
    }
    return stored;
}

TableRows heldFrameRows(const std::vector<std::string>& captions, const TableRows& rows) {
    TableRows stored = heldRows(rows);
    for (TableRow& row : stored) {
        const bool text = holdsText(row);
        row.resize(kFrameAttributes.size());
        if (text) row[FrameColumn::Group] = std::to_string(groupIndexOf(captions, row[FrameColumn::Group]));
    }
    return stored;
}

std::string frameTableText(const std::vector<std::string>& captions, const TableRows& rows) {
    return tableText(kFrameRoot, kFrameAttributes, storedFrameRows(captions, rows));
}

void saveFrameTable(const std::string& path, const std::vector<std::string>& captions, const TableRows& rows) {
    replaceFile(path, frameTableText(captions, rows));
}

}  // namespace tessaro
