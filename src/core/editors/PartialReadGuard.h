#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro {

// An editor rewrites its whole document from what it shows. Where that would lose something the documents or the
// grid hold (a part of a document that could not be read, rows OK does not keep), the first OK warns instead of
// writing, and the next OK writes, so nothing is dropped unawares.
class PartialReadGuard {
public:
    // After a show: the documents that could not be read whole, none when each one was.
    void shown(std::vector<std::string_view> unreadFiles = {});

    // Before OK replaces fileName: the warning to show instead of writing, or nothing when OK may write. loss says
    // what else the write would drop; once warned, the next OK that would drop the same writes.
    std::optional<std::string> beforeWrite(std::string_view fileName,
                                           const std::optional<std::string>& loss = std::nullopt);

private:
    std::vector<std::string> m_unread;
    std::optional<std::string> m_warnedLoss;
};

}  // namespace tessaro
