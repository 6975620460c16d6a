#include "editors/FrameDefinitions.h"

#include "documents/AtomicFile.h"
#include "documents/Errors.h"
#include "documents/NumericText.h"
#include "documents/XmlDocument.h"

namespace tessaro {

namespace {

constexpr std::array<std::string_view, kRegisterSlots> kPositionAttributes = {
    "poscomp0", "poscomp1", "poscomp2", "poscomp3", "poscomp4", "poscomp5", "poscomp6", "poscomp7"};

constexpr int kIndexLowest = 0;
constexpr int kIndexHighest = 65535;
constexpr int kDeviceIdLowest = 1;
constexpr int kDeviceIdHighest = 250;
constexpr std::uint8_t kTypeRegOffset = 3;

bool within(std::string_view text, std::int32_t low, std::int32_t high) {
    const std::int32_t value = toIntegerOr(text, -1);
    return value >= low && value <= high;
}

std::uint8_t lowByte(std::int32_t value) {
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value));
}

int selectorOrNone(int selector) {
    return selector < 0 ? 0 : selector;
}

// Appends a frame per row; a row without one of the three attributes stops the reading there.
void readFrameTable(const XmlDocument& document, std::vector<TClPdo>& frames, std::vector<std::string>& lines) {
    for (const XmlElement& row : document.documentElement().children()) {
        std::string line = row.attribute("Priority");
        line += '\t';
        line += row.attribute("DataPage");
        line += '\t';
        line += row.attribute("PGN");
        lines.push_back(std::move(line));
        frames.push_back(TClPdo{static_cast<std::int32_t>(frames.size() + 1), {}});
    }
}

TClIndMB readDefinition(const XmlElement& row) {
    TClIndMB definition;
    definition.deviceId = row.attribute("Device_ID");
    definition.index = row.attribute("Index");
    definition.registerCount = lowByte(row.integerAttribute("Num_Reg"));
    definition.registerKind = lowByte(row.integerAttribute("Type_Reg")) - kTypeRegOffset;
    for (std::size_t k = 0; k < kRegisterSlots; ++k)
        if (registerInUse(definition.registerCount, k + 1))
            definition.positions[k] = lowByte(row.integerAttribute(kPositionAttributes[k]));
    return definition;
}

// Appends each row to its frame; rows of frames beyond the list are skipped. A failing row stops the reading.
void readDefinitions(const XmlDocument& document, std::vector<TClPdo>& frames) {
    const auto frameCount = static_cast<std::int64_t>(frames.size());
    for (const XmlElement& row : document.documentElement().children()) {
        const std::int32_t frameNumber = row.integerAttribute("NrFrameJ1939");
        if (frameNumber > frameCount) continue;
        if (frameNumber < 1) throw Error("NrFrameJ1939 below 1");
        frames[static_cast<std::size_t>(frameNumber - 1)].definitions.push_back(readDefinition(row));
    }
}

}  // namespace

TClIndMB packDefinition(const DefinitionControls& controls) {
    TClIndMB definition;
    definition.index = controls.index;
    definition.deviceId = controls.deviceId;
    definition.registerCount = controls.numberOfPointsPosition >= 0
                                   ? static_cast<std::uint8_t>(controls.numberOfPointsPosition)
                                   : controls.keptRegisterCount;
    definition.registerKind =
        controls.kindPosition >= 0 ? static_cast<std::uint8_t>(controls.kindPosition) : controls.keptRegisterKind;
    for (std::size_t r = 0; r < kRegisterSlots; ++r)
        if (registerInUse(definition.registerCount, r + 1))
            definition.positions[r] = packPosition(selectorOrNone(controls.high[r]), selectorOrNone(controls.low[r]));
    return definition;
}

DefinitionControls unpackDefinition(const TClIndMB& definition) {
    DefinitionControls controls;
    controls.index = definition.index;
    controls.deviceId = definition.deviceId;
    controls.numberOfPointsPosition =
        definition.registerCount < kNumberOfPointsItems.size() ? definition.registerCount : -1;
    controls.kindPosition = definition.registerKind < kKindItems.size() ? definition.registerKind : -1;
    controls.keptRegisterCount = definition.registerCount;
    controls.keptRegisterKind = definition.registerKind;
    for (std::size_t r = 0; r < kRegisterSlots; ++r) {
        if (!registerInUse(definition.registerCount, r + 1)) continue;
        controls.high[r] = highSelector(definition.positions[r]);
        controls.low[r] = lowSelector(definition.positions[r]);
    }
    return controls;
}

std::optional<std::string> validateDefinition(std::string_view index, std::string_view deviceId) {
    if (!within(index, kIndexLowest, kIndexHighest)) return std::string(kIndexRangeError);
    if (!within(deviceId, kDeviceIdLowest, kDeviceIdHighest)) return std::string(kDeviceIdRangeError);
    return std::nullopt;
}

void FrameDefinitions::clear() {
    m_frames.clear();
    m_lines.clear();
}

std::vector<std::string> FrameDefinitions::load(const std::string& frameTablePath, const std::string& definitionsPath) {
    clear();
    std::vector<std::string> messages;
    XmlDocument document;
    if (XmlDocument::exists(frameTablePath)) {
        try {
            document.load(frameTablePath);
            readFrameTable(document, m_frames, m_lines);
        } catch (const Error&) {
            messages.emplace_back(kFrameTableReadError);
        }
    }
    if (XmlDocument::exists(definitionsPath)) {
        try {
            document.load(definitionsPath);
            readDefinitions(document, m_frames);
        } catch (const Error&) {
            messages.emplace_back(kDefinitionsReadError);
        }
    }
    return messages;
}

std::string FrameDefinitions::documentText() const {
    XmlDocument document;
    XmlElement root = document.addRoot(kDefinitionsRoot);
    for (const TClPdo& frame : m_frames) {
        const std::string frameNumber = std::to_string(frame.frameNumber);
        for (const TClIndMB& definition : frame.definitions) {
            XmlElement row = root.addChild("row");
            row.setAttribute("NrFrameJ1939", frameNumber);
            row.setAttribute("Device_ID", definition.deviceId);
            row.setAttribute("Index", definition.index);
            row.setAttribute("Num_Reg", std::to_string(definition.registerCount));
            // The kind is a byte, so a Type_Reg read outside 3 and 4 goes back as it came.
            row.setAttribute("Type_Reg",
                             std::to_string(static_cast<std::uint8_t>(definition.registerKind + kTypeRegOffset)));
            for (std::size_t k = 0; k < kRegisterSlots; ++k)
                row.setAttribute(kPositionAttributes[k], std::to_string(definition.positions[k]));
        }
    }
    return document.toText();
}

void FrameDefinitions::save(const std::string& path) const {
    replaceFile(path, documentText());
}

std::string FrameDefinitions::exportText() const {
    std::string text;
    for (const TClPdo& frame : m_frames) {
        const std::string frameNumber = std::to_string(frame.frameNumber);
        for (const TClIndMB& definition : frame.definitions) {
            text += definition.index;
            text += ',';
            text += frameNumber;
            text += ",\r\n";
        }
    }
    return text;
}

void FrameDefinitions::exportTo(const std::string& path) const {
    replaceFile(path, exportText());
}

}  // namespace tessaro
