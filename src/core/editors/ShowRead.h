#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tessaro {

// What a show read from its documents, in one shape for every editor: the content, each failure's text (with its
// place on a second line) in reading order, and the documents that could not be read whole, which the editor's
// PartialReadGuard takes. A read that hands its cells to a sink as it goes holds no content of its own.
template <class Content = std::monostate>
struct ShowRead {
    Content content{};
    std::vector<std::string> failures;
    std::vector<std::string_view> unreadFiles;
    // A table's rows in its document, also those beyond the grid.
    std::size_t documentRows = 0;

    // fileName could not be read whole; failure says why, when there is something to say.
    void unread(std::string_view fileName, std::string failure = {}) {
        if (!failure.empty()) failures.push_back(std::move(failure));
        unreadFiles.push_back(fileName);
    }

    // Takes over what another read of the same show found, and its count of rows.
    template <class Other>
    void adopt(ShowRead<Other> other) {
        for (std::string& failure : other.failures) failures.push_back(std::move(failure));
        unreadFiles.insert(unreadFiles.end(), other.unreadFiles.begin(), other.unreadFiles.end());
        documentRows = other.documentRows;
    }
};

}  // namespace tessaro
