#include "core/editors/FrameDefinitions.h"

#include <algorithm>

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"
#include "core/documents/NumericText.h"
#include "core/documents/XmlDocument.h"
#include "core/editors/RowRules.h"

namespace tessaro {

namespace {

// A definition row's attributes in written order; positions follow from kFirstPosition.
constexpr auto kDefinitionAttributes = columnNames(kDefinitionColumns.all());
static_assert(kDefinitionAttributes.size() == 5 + kRegisterSlots);
enum DefinitionAttribute : std::size_t { kFrameNumber, kDeviceId, kIndex, kNumReg, kTypeReg, kFirstPosition };

std::uint8_t lowByte(std::int32_t value) {
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value));
}

int selectorOrNone(int selector) {
    return selector < 0 ? 0 : selector;
}

// Where the reading of a document stopped: a row (from 1) and its attribute.
struct ReadingStopped {
    std::size_t row;
    std::string_view attribute;
};

constexpr std::array<std::string_view, 3> kFrameLineAttributes = {kFrameColumns.priority.name,
                                                                  kFrameColumns.dataPage.name, kFrameColumns.pgn.name};

// Appends a frame per row; a row without one of the three attributes stops the reading there.
void readFrameTable(const XmlDocument& document, std::vector<TClPdo>& frames, std::vector<std::string>& lines,
                    std::vector<std::optional<FramePgnFields>>& pgns) {
    for (const XmlElement& row : document.documentElement().children()) {
        std::string line;
        std::array<std::string, kFrameLineAttributes.size()> texts;
        RowReader reader(row);
        for (std::size_t k = 0; k < kFrameLineAttributes.size(); ++k) {
            const std::string_view name = kFrameLineAttributes[k];
            const char* value = reader.find(name);
            if (!value) throw ReadingStopped{frames.size() + 1, name};
            texts[k] = value;
            if (k > 0) line += '\t';
            line += texts[k];
        }
        lines.push_back(std::move(line));
        const std::optional<std::int32_t> dataPage = tryToInteger(texts[1]);
        const std::optional<std::int32_t> pgn = tryToInteger(texts[2]);
        pgns.push_back(dataPage && pgn ? std::optional(FramePgnFields{*dataPage, *pgn}) : std::nullopt);
        frames.push_back(TClPdo{static_cast<std::int32_t>(frames.size() + 1), {}});
    }
}

// One row's values, looked up in one pass; an absent one, or one that is no integer where one is needed, stops the
// reading at it.
class DefinitionValues {
public:
    DefinitionValues(const XmlElement& row, std::size_t rowNumber) : m_rowNumber(rowNumber) {
        row.attributeValues(kDefinitionAttributes, m_values);
    }

    std::string text(DefinitionAttribute name) const { return present(name); }
    std::int32_t integer(std::size_t name) const {
        if (const std::optional<std::int32_t> value = tryToInteger(present(name))) return *value;
        stop(name);
    }
    [[noreturn]] void stop(std::size_t name) const { throw ReadingStopped{m_rowNumber, kDefinitionAttributes[name]}; }

private:
    const char* present(std::size_t name) const {
        if (!m_values[name]) stop(name);
        return m_values[name];
    }

    std::size_t m_rowNumber;
    std::array<const char*, kDefinitionAttributes.size()> m_values{};
};

TClIndMB readDefinition(const DefinitionValues& row) {
    TClIndMB definition;
    definition.deviceId = row.text(kDeviceId);
    definition.index = row.text(kIndex);
    definition.registerCount = lowByte(row.integer(kNumReg));
    definition.registerKind = lowByte(row.integer(kTypeReg)) - kTypeRegOffset;
    for (std::size_t k = 0; k < kRegisterSlots; ++k)
        if (registerInUse(definition.registerCount, k + 1))
            definition.positions[k] = lowByte(row.integer(kFirstPosition + k));
    return definition;
}

// Appends each row to its frame; rows of frames beyond the list are skipped and their numbers (from 1) kept in
// beyond. A failing row stops the reading.
void readDefinitions(const XmlDocument& document, std::vector<TClPdo>& frames, std::vector<std::size_t>& beyond) {
    const auto frameCount = static_cast<std::int64_t>(frames.size());
    std::size_t rowNumber = 0;
    for (const XmlElement& element : document.documentElement().children()) {
        const DefinitionValues row(element, ++rowNumber);
        const std::int32_t frameNumber = row.integer(kFrameNumber);
        if (frameNumber > frameCount) {
            beyond.push_back(rowNumber);
            continue;
        }
        if (frameNumber < 1) row.stop(kFrameNumber);
        frames[static_cast<std::size_t>(frameNumber - 1)].definitions.push_back(readDefinition(row));
    }
}

// Reads the document at path with read; a failure gives message with the place where the reading stopped. True
// when the document was read whole.
template <typename Read>
std::optional<std::string> readReporting(XmlDocument& document, const std::string& path, std::string_view message,
                                         Read read) {
    try {
        document.load(path);
        read(document);
        return std::nullopt;
    } catch (const ReadingStopped& stopped) {
        return withPlace(message, {path, stopped.row, stopped.attribute});
    } catch (const Error&) {
        return withPlace(message, {path});
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

void FrameDefinitions::setFrames(std::vector<std::string> lines) {
    *this = FrameDefinitions();
    m_lines = std::move(lines);
    for (std::size_t k = 0; k < m_lines.size(); ++k) m_frames.push_back(TClPdo{static_cast<std::int32_t>(k + 1), {}});
    // Frames set from lines carry no numbers read from a document.
    m_pgns.assign(m_lines.size(), std::nullopt);
}

ShowRead<FrameDefinitions> readFrameDefinitions(const std::string& frameTablePath, const std::string& definitionsPath) {
    ShowRead<FrameDefinitions> read;
    FrameDefinitions& list = read.content;
    XmlDocument document;
    if (XmlDocument::exists(frameTablePath))
        if (auto failure = readReporting(
                document, frameTablePath, kFrameTableReadError,
                [&](const XmlDocument& frames) { readFrameTable(frames, list.m_frames, list.m_lines, list.m_pgns); }))
            read.unread(kFrameTableFileName, std::move(*failure));
    if (XmlDocument::exists(definitionsPath))
        if (auto failure = readReporting(
                document, definitionsPath, kDefinitionsReadError,
                [&](const XmlDocument& rows) { readDefinitions(rows, list.m_frames, list.m_rowsBeyondFrames); }))
            read.unread(kDefinitionsFileName, std::move(*failure));
    return read;
}

std::vector<TClPdo> readDefinitionsBeyondFrames(const std::string& definitionsPath, std::size_t frameCount) {
    std::vector<TClPdo> beyond;
    if (!XmlDocument::exists(definitionsPath)) return beyond;
    XmlDocument document;
    const std::optional<std::string> failure =
        readReporting(document, definitionsPath, kDefinitionsReadError, [&](const XmlDocument& rows) {
            std::size_t rowNumber = 0;
            for (const XmlElement& element : rows.documentElement().children()) {
                const DefinitionValues row(element, ++rowNumber);
                const std::int32_t frameNumber = row.integer(kFrameNumber);
                if (frameNumber < 1 || std::size_t(frameNumber) <= frameCount) continue;
                auto frame =
                    std::lower_bound(beyond.begin(), beyond.end(), frameNumber,
                                     [](const TClPdo& pdo, std::int32_t number) { return pdo.frameNumber < number; });
                if (frame == beyond.end() || frame->frameNumber != frameNumber)
                    frame = beyond.insert(frame, TClPdo{frameNumber, {}});
                frame->definitions.push_back(readDefinition(row));
            }
        });
    if (failure) throw Error(*failure);
    return beyond;
}

std::optional<std::string> FrameDefinitions::rowsBeyondFramesWarning() const {
    if (m_rowsBeyondFrames.empty()) return std::nullopt;
    return definitionsBeyondFramesMessage(m_rowsBeyondFrames, m_frames.size());
}

std::optional<Pgn> FrameDefinitions::framePgnOf(std::size_t position) const {
    const std::optional<FramePgnFields> fields = m_pgns[position];
    return fields ? std::optional(framePgn(fields->dataPage, fields->pgn)) : std::nullopt;
}

std::string FrameDefinitions::documentText() const {
    XmlDocument document;
    XmlElement root = document.addRoot(kDefinitionsRoot);
    for (const TClPdo& frame : m_frames) {
        const std::string frameNumber = std::to_string(frame.frameNumber);
        for (const TClIndMB& definition : frame.definitions) {
            XmlElement row = root.addChild("row");
            row.setAttribute(kDefinitionAttributes[kFrameNumber], frameNumber);
            row.setAttribute(kDefinitionAttributes[kDeviceId], definition.deviceId);
            row.setAttribute(kDefinitionAttributes[kIndex], definition.index);
            row.setAttribute(kDefinitionAttributes[kNumReg], std::to_string(definition.registerCount));
            // The kind is a byte, so a Type_Reg read outside 3 and 4 goes back as it came.
            row.setAttribute(kDefinitionAttributes[kTypeReg],
                             std::to_string(static_cast<std::uint8_t>(definition.registerKind + kTypeRegOffset)));
            for (std::size_t k = 0; k < kRegisterSlots; ++k)
                row.setAttribute(kDefinitionAttributes[kFirstPosition + k], std::to_string(definition.positions[k]));
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
