#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "documents/Errors.h"
#include "editors/PargenDocument.h"

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
    std::optional<PargenSettings> parsed;
    try {
        parsed = parsePargen(input);
    } catch (const Error& refusal) {
        TESSARO_FUZZ_EXPECT(*refusal.what() != '\0', "a refusal without a message");
    }

    // The dialog's reading of the same bytes as a file: the settings, or nothing where the text is refused.
    const std::optional<PargenSettings> loaded = readPargen(writeScratchFile("pargen.xml", input)).content;
    TESSARO_FUZZ_EXPECT(loaded == parsed, "from the file " + (loaded ? shown(*loaded) : "nothing") +
                                              ", from the text " + (parsed ? shown(*parsed) : "nothing"));
    if (!parsed) return;

    // What OK writes reads back: the list positions always, the texts whenever the settings pass validation (only
    // those are ever written).
    const std::string written = pargenText(*parsed);
    PargenSettings reread;
    try {
        reread = parsePargen(written);
    } catch (const Error& refusal) {
        reportBrokenInvariant("the written document is refused: " + std::string(refusal.what()) + " in " +
                              printable(written));
    }
    TESSARO_FUZZ_EXPECT(reread.canBaudRatePosition == parsed->canBaudRatePosition && reread.rs232 == parsed->rs232 &&
                            reread.rtuBaudRatePosition == parsed->rtuBaudRatePosition &&
                            reread.parityPosition == parsed->parityPosition &&
                            reread.stopBitsPosition == parsed->stopBitsPosition,
                        shown(*parsed) + " reads back as " + shown(reread));
    if (!validatePargen(*parsed))
        TESSARO_FUZZ_EXPECT(reread == *parsed, shown(*parsed) + " reads back as " + shown(reread));
}

}  // namespace tessaro::fuzz
