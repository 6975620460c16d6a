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

std::optional<std::string> checkFrameRow(int row, std::string_view priority, std::string_view dataPage,
                                         std::string_view pgn) {
    if (!within(priority, kFrameColumns.priority))
        return rowErrorMessage(row, "!! The Priority must to be between 0 and 7");
    if (!within(dataPage, kFrameColumns.dataPage)) return rowErrorMessage(row, "!! The Data Page must to be 0 or 1");
    if (!within(pgn, kFrameColumns.pgn)) return rowErrorMessage(row, "!! The PGN must to be between 0x0000 and 0xFFFF");
    return std::nullopt;
}

std::optional<std::string> checkGroupRow(int row, std::string_view cyclicTime) {
    if (!within(cyclicTime, kGroupColumns.cyclicTime))
        return rowErrorMessage(row, "!! The Cyclic Time must be between 1 and 65535 mS");
    return std::nullopt;
}

std::optional<std::string> checkDefinition(std::string_view index, std::string_view deviceId) {
    if (!within(index, kDefinitionColumns.index)) return "Index Modbus must be between 0 and 65535";
    if (!within(deviceId, kDefinitionColumns.deviceId)) return "Device ID must be between 1 and 250";
    return std::nullopt;
}

}  // namespace tessaro
