#include <algorithm>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "core/documents/Errors.h"
#include "core/documents/XmlDocument.h"
#include "core/editors/FrameDefinitions.h"

namespace tessaro::fuzz {

namespace {

std::size_t definitionCount(const FrameDefinitions& list) {
    std::size_t count = 0;
    for (std::size_t frame = 0; frame < list.frameCount(); ++frame) count += list.frame(frame).definitions.size();
    return count;
}

// The reading message first, then the place of the failure in the document named file.
bool isReadingMessage(const std::string& message, std::string_view first, std::string_view file) {
    return message.rfind(std::string(first) + "\n" + std::string(file), 0) == 0;
}

std::string shown(const std::vector<std::string>& messages) {
    std::string text;
    for (const std::string& message : messages) text += printable(message) + " ";
    return text;
}

}  // namespace

void frameDefinitions(std::string_view input) {
    const std::vector<std::string_view> parts = splitInput(input, 2);
    const std::string framePath = placeScratchFile(kFrameTableFileName, parts[0]);
    const std::string definitionsPath = placeScratchFile(kDefinitionsFileName, parts[1]);

    const ShowRead<FrameDefinitions> read = readFrameDefinitions(framePath, definitionsPath);
    const FrameDefinitions& list = read.content;
    const std::vector<std::string>& messages = read.failures;

    // Each reading's message at most once, the frame table's first.
    const bool frameTableFailed =
        !messages.empty() && isReadingMessage(messages.front(), kFrameTableReadError, kFrameTableFileName);
    const bool definitionsFailed =
        !messages.empty() && isReadingMessage(messages.back(), kDefinitionsReadError, kDefinitionsFileName);
    TESSARO_FUZZ_EXPECT(messages.size() == std::size_t(frameTableFailed) + std::size_t(definitionsFailed),
                        shown(messages));
    TESSARO_FUZZ_EXPECT(!definitionsFailed || !parts[1].empty(), "a failure of a missing DefFrameJ1939.xml");

    TESSARO_FUZZ_EXPECT(list.frameLines().size() == list.frameCount(), "a line per frame");
    for (std::size_t frame = 0; frame < list.frameCount(); ++frame) {
        const TClPdo& record = list.frame(frame);
        TESSARO_FUZZ_EXPECT(record.frameNumber == static_cast<std::int32_t>(frame + 1),
                            "frame " + std::to_string(frame + 1) + " numbered " + std::to_string(record.frameNumber));
        TESSARO_FUZZ_EXPECT(std::count(list.frameLines()[frame].begin(), list.frameLines()[frame].end(), '\t') >= 2,
                            printable(list.frameLines()[frame]));
        // Registers beyond the number of points hold nothing.
        for (const TClIndMB& definition : record.definitions)
            for (std::size_t r = 1; r <= kRegisterSlots; ++r)
                if (!registerInUse(definition.registerCount, r))
                    TESSARO_FUZZ_EXPECT(definition.positions[r - 1] == 0, "a position beyond the points");
    }
    if (!frameTableFailed && !parts[0].empty()) {
        // A frame per row of the table, whatever the rows are named.
        XmlDocument table;
        table.loadText(parts[0]);
        TESSARO_FUZZ_EXPECT(table.documentElement().childCount() == list.frameCount(),
                            std::to_string(list.frameCount()) + " frames");
    }
    const std::string exported = list.exportText();
    std::size_t lines = 0;
    for (std::size_t at = exported.find("\r\n"); at != std::string::npos; at = exported.find("\r\n", at + 2)) ++lines;
    TESSARO_FUZZ_EXPECT(lines == definitionCount(list), "DefFrame.csv has " + std::to_string(lines) + " lines");
    if (!messages.empty()) return;

    // OK writes the definitions of the list; the next show gives the same list.
    const std::string written = list.documentText();
    const ShowRead<FrameDefinitions> rereadShow =
        readFrameDefinitions(framePath, writeScratchFile(kDefinitionsFileName, written));
    const FrameDefinitions& reread = rereadShow.content;
    const std::vector<std::string>& again = rereadShow.failures;
    TESSARO_FUZZ_EXPECT(again.empty(), "the written definitions are refused: " + shown(again));
    TESSARO_FUZZ_EXPECT(reread.frameCount() == list.frameCount(), "the frames changed");
    for (std::size_t frame = 0; frame < list.frameCount(); ++frame)
        TESSARO_FUZZ_EXPECT(
            reread.frame(frame).definitions == list.frame(frame).definitions,
            "the definitions of frame " + std::to_string(frame + 1) + " change in " + printable(written));
    TESSARO_FUZZ_EXPECT(reread.documentText() == written, "the document changes when written again");
}

}  // namespace tessaro::fuzz
