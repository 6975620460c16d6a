#include "editors/PartialReadGuard.h"

namespace tessaro {

namespace {

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

void PartialReadGuard::shown(std::vector<std::string_view> unreadFiles) {
    m_unread.assign(unreadFiles.begin(), unreadFiles.end());
    m_warnedLoss.reset();
}

std::optional<std::string> PartialReadGuard::beforeWrite(std::string_view fileName,
                                                         const std::optional<std::string>& loss) {
    std::string warning;
    if (!m_unread.empty()) warning = partialReadMessage(m_unread, fileName);
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
