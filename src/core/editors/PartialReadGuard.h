#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro {

// What a file was at one moment: whether it existed, and its bytes or why they could not be read. Two of one path
// tell whether anything wrote the file in between; its time of modification cannot, since a write within the file
// system's tick, or a copy that keeps the time, leaves it as it was.
struct FileSnapshot {
    bool exists = false;
    std::string bytes;
    std::string failure;
    bool operator==(const FileSnapshot&) const = default;
};
FileSnapshot snapshotOf(const std::string& path);

// A document a show reads, by its path and its name in messages; for one the dialog only reads, what the dialog shows
// of it ("the frames listed").
struct WatchedDocument {
    std::string path;
    std::string_view fileName;
    std::string_view shownAs = {};
};

// An editor rewrites its whole document from what it shows. Where that would lose something the documents or the
// grid hold (a part of a document that could not be read, rows OK does not keep, what another writer put into the
// document since the show), the first OK warns instead of writing, and the next OK writes, so nothing is dropped
// unawares.
class PartialReadGuard {
public:
    // After a show: the documents that could not be read whole, none when each one was.
    void shown(std::vector<std::string_view> unreadFiles = {});

    // At a show, before it reads them: the documents whose change on disk until OK (by another instance of the
    // tool, an import, an editor) makes OK overwrite that change, or write from what is no longer on disk.
    void watch(std::vector<WatchedDocument> documents);
    // After OK wrote fileName: what it holds now is this dialog's own, not another writer's.
    void wrote(std::string_view fileName);

    // Before OK replaces fileName: the warning to show instead of writing, or nothing when OK may write. loss says
    // what else the write would drop; once warned, the next OK that would drop the same writes.
    std::optional<std::string> beforeWrite(std::string_view fileName,
                                           const std::optional<std::string>& loss = std::nullopt);

private:
    // The warning naming the watched documents that changed since they were last looked at; each is looked at anew.
    std::string changesOnDisk(std::string_view fileName);

    struct Watched {
        WatchedDocument document;
        FileSnapshot seen;
    };
    std::vector<Watched> m_watched;
    std::vector<std::string> m_unread;
    std::optional<std::string> m_warnedLoss;
};

}  // namespace tessaro
