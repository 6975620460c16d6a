#include "core/editors/PartialReadGuard.h"

#include <filesystem>

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"

namespace tessaro {

namespace {

constexpr std::string_view kOtherWriters = " (by another instance of the tool, an import or an editor)";

// One watched document that changed since the show: what became of it, and what OK then does.
std::string changeMessage(const WatchedDocument& changed, const FileSnapshot& before, const FileSnapshot& now,
                          std::string_view written) {
    const std::string name(changed.fileName);
    const std::string keep = "Cancel to keep " + std::string(written) + " as it is now and open the dialog again";
    if (changed.fileName != written) {
        const std::string what = !now.exists     ? " was deleted since this dialog read it"
                                 : before.exists ? " was changed on disk since this dialog read it"
                                                 : " was created since this dialog found none";
        const std::string shown(changed.shownAs);
        return name + what + (now.exists ? std::string(kOtherWriters) : std::string()) + ", so " + shown +
               " are as it was before. OK writes " + std::string(written) + " for " + shown +
               ": press OK again to do so, or " + keep + " to see them as they are now.";
    }
    if (!now.exists)
        return name +
               " was deleted since this dialog read it. OK writes it again with what is shown: press OK again "
               "to do so, or Cancel to leave it deleted.";
    if (!before.exists)
        return name + " was created since this dialog found none" + std::string(kOtherWriters) +
               ". OK replaces it with what is shown, and what it holds is lost: press OK again to do so, or " + keep +
               " to see it.";
    return name + " was changed on disk since this dialog read it" + std::string(kOtherWriters) +
           ". OK replaces it with what is shown, and that change is lost: press OK again to do so, or " + keep +
           " to see it.";
}

std::string partialReadMessage(const std::vector<std::string>& unread, std::string_view fileName) {
    std::string names;
    for (std::size_t at = 0; at < unread.size(); ++at) {
        if (at > 0) names += at + 1 == unread.size() ? " and " : ", ";
        names += unread[at];
    }
    const bool itself = unread.size() == 1 && unread.front() == fileName;
    const std::string written = itself ? std::string("it") : std::string(fileName);
    const std::string kept = itself ? std::string("the file") : std::string(fileName);
    return names + " could not be read whole. OK replaces " + written +
           " with what is shown, and what could not be read is lost: press OK again to do so, or Cancel to keep " +
           kept + " as it is.";
}

}  // namespace

FileSnapshot snapshotOf(const std::string& path) {
    FileSnapshot snapshot;
    snapshot.exists = fileExists(path);
    if (!snapshot.exists) return snapshot;
    try {
        snapshot.bytes = readFile(path);
    } catch (const Error& failure) {
        snapshot.failure = failure.what();
    }
    return snapshot;
}

void PartialReadGuard::watch(std::vector<WatchedDocument> documents) {
    m_watched.clear();
    for (WatchedDocument& document : documents) {
        FileSnapshot seen = snapshotOf(document.path);
        m_watched.push_back({std::move(document), std::move(seen)});
    }
}

void PartialReadGuard::wrote(std::string_view fileName) {
    for (Watched& watched : m_watched)
        if (watched.document.fileName == fileName) watched.seen = snapshotOf(watched.document.path);
}

std::string PartialReadGuard::changesOnDisk(std::string_view fileName) {
    std::vector<std::string> messages;
    for (Watched& watched : m_watched) {
        // Without its folder the document cannot be told apart from a deleted one; the write then says why it fails.
        if (!folderExists(std::filesystem::path(watched.document.path).parent_path().string())) continue;
        FileSnapshot now = snapshotOf(watched.document.path);
        if (now == watched.seen) continue;
        std::string message = changeMessage(watched.document, watched.seen, now, fileName);
        // The document written comes first.
        messages.insert(watched.document.fileName == fileName ? messages.begin() : messages.end(), std::move(message));
        watched.seen = std::move(now);
    }
    std::string warning;
    for (const std::string& message : messages) warning += (warning.empty() ? "" : "\n\n") + message;
    return warning;
}

void PartialReadGuard::shown(std::vector<std::string_view> unreadFiles) {
    m_unread.assign(unreadFiles.begin(), unreadFiles.end());
    m_warnedLoss.reset();
}

std::optional<std::string> PartialReadGuard::beforeWrite(std::string_view fileName,
                                                         const std::optional<std::string>& loss) {
    std::string warning = changesOnDisk(fileName);
    if (!m_unread.empty()) {
        if (!warning.empty()) warning += "\n\n";
        warning += partialReadMessage(m_unread, fileName);
    }
    m_unread.clear();
    if (loss && loss != m_warnedLoss) {
        if (!warning.empty()) warning += "\n\n";
        warning += *loss;
    }
    m_warnedLoss = loss;
    if (warning.empty()) return std::nullopt;
    return warning;
}

}  // namespace tessaro
