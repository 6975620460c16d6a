#include "core/editors/RowRules.h"

#include "core/documents/DocumentNames.h"
#include "core/documents/NumericText.h"

namespace tessaro {

bool integerTextWithin(std::string_view text, std::int32_t low, std::int32_t high) {
    const std::int32_t value = toIntegerOr(text, -1);
    return value >= low && value <= high;
}

bool within(std::string_view text, const DocumentColumn& column) {
    return integerTextWithin(text, column.low, column.high);
}

std::string rowErrorMessage(int row, std::string_view text) {
    return "Error in row " + std::to_string(row) + std::string(text);
}

std::optional<BrokenRule> brokenFrameRule(int row, std::string_view priority, std::string_view dataPage,
                                          std::string_view pgn) {
    if (!within(priority, kFrameColumns.priority))
        return BrokenRule{0, rowErrorMessage(row, "!! The Priority must to be between 0 and 7")};
    if (!within(dataPage, kFrameColumns.dataPage))
        return BrokenRule{1, rowErrorMessage(row, "!! The Data Page must to be 0 or 1")};
    if (!within(pgn, kFrameColumns.pgn))
        return BrokenRule{2, rowErrorMessage(row, "!! The PGN must to be between 0x0000 and 0xFFFF")};
    return std::nullopt;
}

namespace {

std::optional<std::string> messageOf(std::optional<BrokenRule> broken) {
    if (!broken) return std::nullopt;
    return std::move(broken->message);
}

}  // namespace

std::optional<std::string> checkFrameRow(int row, std::string_view priority, std::string_view dataPage,
                                         std::string_view pgn) {
    return messageOf(brokenFrameRule(row, priority, dataPage, pgn));
}

std::optional<std::string> checkGroupRow(int row, std::string_view cyclicTime) {
    if (!within(cyclicTime, kGroupColumns.cyclicTime))
        return rowErrorMessage(row, "!! The Cyclic Time must be between 1 and 65535 mS");
    return std::nullopt;
}

std::optional<std::string> checkDefinitionIndex(std::string_view index) {
    if (!within(index, kDefinitionColumns.index)) return "Index Modbus must be between 0 and 65535";
    return std::nullopt;
}

std::optional<BrokenRule> brokenDefinitionRule(std::string_view index, std::string_view deviceId) {
    if (auto broken = checkDefinitionIndex(index)) return BrokenRule{0, std::move(*broken)};
    if (!within(deviceId, kDefinitionColumns.deviceId)) return BrokenRule{1, "Device ID must be between 1 and 250"};
    return std::nullopt;
}

std::optional<std::string> checkDefinition(std::string_view index, std::string_view deviceId) {
    return messageOf(brokenDefinitionRule(index, deviceId));
}

namespace {

// Numbers as a reader counts them: "frame 3", "frames 3 and 5", "frames 2, 4 and 6 to 9".
template <typename Number>
std::string numberList(std::string_view one, std::string_view many, const std::vector<Number>& rows) {
    // Runs of consecutive numbers, each "a" or "a to b".
    std::vector<std::string> runs;
    for (std::size_t at = 0; at < rows.size();) {
        std::size_t end = at;
        while (end + 1 < rows.size() && rows[end + 1] == rows[end] + 1) ++end;
        std::string run = std::to_string(rows[at]);
        if (end == at + 1) {
            runs.push_back(run);
            run = std::to_string(rows[end]);
        } else if (end > at) {
            run += " to " + std::to_string(rows[end]);
        }
        runs.push_back(run);
        at = end + 1;
    }
    std::string text(rows.size() == 1 ? one : many);
    text += ' ';
    for (std::size_t run = 0; run < runs.size(); ++run) {
        if (run > 0) text += run + 1 == runs.size() ? " and " : ", ";
        text += runs[run];
    }
    return text;
}

}  // namespace

std::string rowList(const std::vector<std::size_t>& rows) {
    return numberList("row", "rows", rows);
}

namespace {

// The close of every loss message: what a second OK does and how to keep the file.
std::string pressAgain(std::size_t count, std::string_view fileName) {
    return std::string(": press OK again to drop ") + (count == 1 ? "it" : "them") + ", or Cancel to keep " +
           std::string(fileName) + " as it is.";
}

// "no frame", "1 frame", "5 frames".
std::string framesText(std::size_t count) {
    return count == 0   ? std::string("no frame")
           : count == 1 ? std::string("1 frame")
                        : std::to_string(count) + " frames";
}

std::string capitalised(std::string text) {
    if (!text.empty() && text.front() >= 'a' && text.front() <= 'z') text.front() = char(text.front() - 'a' + 'A');
    return text;
}

}  // namespace

std::string droppedRowsMessage(std::string_view fileName, std::string_view column, std::size_t firstEmpty,
                               const std::vector<std::size_t>& lost) {
    return "Row " + std::to_string(firstEmpty) + " has no " + std::string(column) + ", so OK keeps " +
           (firstEmpty == 1 ? "no row" : "only the rows above it") + " and would lose " + rowList(lost) +
           pressAgain(lost.size(), fileName);
}

std::string definitionsBeyondFramesMessage(const std::vector<std::size_t>& rows, std::size_t frameCount) {
    const bool one = rows.size() == 1;
    const std::string frames = framesText(frameCount);
    return capitalised(rowList(rows)) + " of " + std::string(kDefinitionsFileName) +
           (one ? " belongs to a frame" : " belong to frames") + " that " + std::string(kFrameTableFileName) +
           " does not have (it has " + frames + "), so OK would lose " + (one ? "it" : "them") +
           pressAgain(rows.size(), kDefinitionsFileName);
}

namespace {

// "rows 13 to 15 of DefFrameJ1939.xml are definitions of frames 6 and 7", or "row 4 ... is a definition of frame 2".
std::string definitionsOfFrames(const DefinitionsWithoutFrame& left) {
    const bool one = left.rows.size() == 1;
    return rowList(left.rows) + " of " + std::string(kDefinitionsFileName) +
           (one ? " is a definition of " : " are definitions of ") + numberList("frame", "frames", left.frames);
}

}  // namespace

std::string definitionsWithoutFrameNote(const DefinitionsWithoutFrame& left) {
    const bool one = left.rows.size() == 1;
    return definitionsOfFrames(left) + ", which " + std::string(kFrameTableFileName) + " no longer has (it has " +
           framesText(left.frameCount) + "): the build leaves " + (one ? "it" : "them") +
           " out, and the OK of Define J1939 drops " + (one ? "it" : "them");
}

std::string definitionsWithoutFrameMessage(const DefinitionsWithoutFrame& left) {
    const bool one = left.rows.size() == 1;
    return capitalised(definitionsOfFrames(left)) + ", which the table would no longer have (it would keep " +
           framesText(left.frameCount) + "): the build would leave " + (one ? "it" : "them") +
           " out, and the OK of Define J1939 would drop " + (one ? "it" : "them") + ". Press OK again to write " +
           std::string(kFrameTableFileName) + " all the same, or Cancel to keep it as it is.";
}

std::string definitionNames(const std::vector<DefinitionName>& names) {
    // A message box holds a few; the rest are counted.
    constexpr std::size_t kNamed = 5;
    const std::size_t named = names.size() > kNamed ? kNamed - 1 : names.size();
    std::string text;
    for (std::size_t at = 0; at < named; ++at) {
        if (at > 0) text += at + 1 == names.size() ? " and " : ", ";
        text += "index " + names[at].index + " of frame " + std::to_string(names[at].frame);
    }
    if (named < names.size()) text += " and " + std::to_string(names.size() - named) + " more";
    return text;
}

std::string unlistedDefinitionsMessage(const std::vector<DefinitionName>& unlisted) {
    const bool one = unlisted.size() == 1;
    return "The file imported does not list " +
           std::string(one ? "1 definition" : std::to_string(unlisted.size()) + " definitions") +
           " of those shown before it (" + definitionNames(unlisted) + "), so OK would lose " + (one ? "it" : "them") +
           pressAgain(unlisted.size(), kDefinitionsFileName);
}

std::string unreadSettingsMessage() {
    return std::string(kPargenFileName) +
           " could not be read, so OK would replace the stored communication settings with those shown: press OK "
           "again to do so, or Cancel to keep " +
           std::string(kPargenFileName) + " as it is.";
}

}  // namespace tessaro
