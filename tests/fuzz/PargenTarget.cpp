#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "core/editors/PargenDocument.h"

namespace tessaro::fuzz {

namespace {

std::string shown(const PargenSettings& settings) {
    return std::to_string(settings.canBaudRatePosition) + " " + printable(settings.deviceId) + " " +
           (settings.rs232 ? "RS232 " : "RS485 ") + std::to_string(settings.rtuBaudRatePosition) + " " +
           std::to_string(settings.parityPosition) + " " + std::to_string(settings.stopBitsPosition) + " " +
           printable(settings.timeout) + " " + printable(settings.delay);
}

}  // namespace

void pargen(std::string_view input) {
    // The dialog's show: the settings, or nothing and the reason where the text is refused.
    const ShowRead<std::optional<PargenSettings>> read = readPargen(writeScratchFile("pargen.xml", input));
    const std::optional<PargenSettings>& parsed = read.content;
    TESSARO_FUZZ_EXPECT(parsed || (read.failures.size() == 1 && !read.failures.front().empty()),
                        "a refusal without a message");
    TESSARO_FUZZ_EXPECT(read.unreadFiles.size() <= 1, "pargen.xml unread more than once");
    if (!parsed) return;

    // What OK writes reads back: the list positions always, the texts whenever the settings pass validation (only
    // those are ever written).
    const std::string written = pargenText(*parsed);
    const ShowRead<std::optional<PargenSettings>> rereadShow = readPargen(writeScratchFile("pargen.xml", written));
    if (!rereadShow.content || !rereadShow.unreadFiles.empty())
        reportBrokenInvariant("the written document is refused: " +
                              (rereadShow.failures.empty() ? std::string() : rereadShow.failures.front()) + " in " +
                              printable(written));
    const PargenSettings reread = rereadShow.content.value_or(PargenSettings{});
    TESSARO_FUZZ_EXPECT(reread.canBaudRatePosition == parsed->canBaudRatePosition && reread.rs232 == parsed->rs232 &&
                            reread.rtuBaudRatePosition == parsed->rtuBaudRatePosition &&
                            reread.parityPosition == parsed->parityPosition &&
                            reread.stopBitsPosition == parsed->stopBitsPosition,
                        shown(*parsed) + " reads back as " + shown(reread));
    if (!validatePargen(*parsed))
        TESSARO_FUZZ_EXPECT(reread == *parsed, shown(*parsed) + " reads back as " + shown(reread));
}

}  // namespace tessaro::fuzz
