#include "editors/RowRules.h"

#include "documents/NumericText.h"

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

std::optional<BrokenRule> brokenDefinitionRule(std::string_view index, std::string_view deviceId) {
    if (!within(index, kDefinitionColumns.index)) return BrokenRule{0, "Index Modbus must be between 0 and 65535"};
    if (!within(deviceId, kDefinitionColumns.deviceId)) return BrokenRule{1, "Device ID must be between 1 and 250"};
    return std::nullopt;
}

std::optional<std::string> checkDefinition(std::string_view index, std::string_view deviceId) {
    return messageOf(brokenDefinitionRule(index, deviceId));
}

}  // namespace tessaro
