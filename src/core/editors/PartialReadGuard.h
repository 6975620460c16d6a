#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessaro {

// An editor rewrites its whole document from what it shows. After a show that could not read the document whole,
// the first OK warns instead of writing, so the part that was not read is never dropped unawares.
class PartialReadGuard {
public:
    void shown(bool readWhole) { m_pending = !readWhole; }

    // The warning for the first OK after a partial read, or nothing when OK may write.
    std::optional<std::string> beforeWrite(std::string_view fileName) {
        if (!m_pending) return std::nullopt;
        m_pending = false;
        return std::string(fileName) +
               " could not be read whole. OK replaces it with what is shown, and what could not be read is lost: "
               "press OK again to do so, or Cancel to keep the file as it is.";
    }

private:
    bool m_pending = false;
};

}  // namespace tessaro
