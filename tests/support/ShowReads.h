#pragma once

#include <string>
#include <utility>

#include "core/editors/FrameTable.h"
#include "core/editors/GroupTable.h"

namespace tessaro::testing {

// A table editor's show read, with the cells it handed to the grid collected as rows (the last one part-way after a
// failure).
template <class Content>
struct ReadRows {
    ShowRead<Content> read;
    TableRows rows;
};

inline ReadRows<std::monostate> readGroupRows(const std::string& path) {
    TableRows rows;
    ShowRead<> read = readGroupTable(path, collectInto(rows));
    return {std::move(read), std::move(rows)};
}

inline ReadRows<GroupCaptions> readFrameRows(const std::string& groupPath, const std::string& framePath) {
    TableRows rows;
    ShowRead<GroupCaptions> read = readFrameTable(groupPath, framePath, collectInto(rows));
    return {std::move(read), std::move(rows)};
}

}  // namespace tessaro::testing
