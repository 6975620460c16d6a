#include "core/image/ConfigurationImage.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"
#include "core/documents/NumericText.h"
#include "core/documents/Paths.h"
#include "core/documents/XmlDocument.h"
#include "core/editors/FrameTable.h"
#include "core/editors/PargenDocument.h"

namespace tessaro {

namespace {

// The running offset. An entry that would pass the buffer's end is not written, but its size still counts, so
// that the refusal can name the size the whole image needs.
class Packer {
public:
    explicit Packer(ImageBuffer& image) : m_bytes(image.bytes.data()) {}

    std::size_t offset() const { return m_offset; }
    bool overflowed() const { return m_offset > kImageCapacity; }

    // Where the next entry of size bytes goes, or nothing once the image has outgrown the buffer.
    std::uint8_t* entry(std::size_t size) {
        std::uint8_t* at = m_offset + size <= kImageCapacity ? m_bytes + m_offset : nullptr;
        m_offset += size;
        return at;
    }

    void headerWord(std::size_t word, std::size_t value) {
        putField(m_bytes, kHeader.word(word), static_cast<std::uint32_t>(value));
    }

private:
    std::uint8_t* m_bytes;
    std::size_t m_offset = 0;
};

// Values keep their low-order bits.
void put(std::uint8_t* entry, const ImageField& field, std::int32_t value) {
    putField(entry, field, static_cast<std::uint32_t>(value));
}

// A document of the project folder, or nothing when its file is missing.
std::optional<XmlDocument> loadIfPresent(const std::string& projectFolder, std::string_view name) {
    const std::string path = joinPath(projectFolder, name);
    if (!XmlDocument::exists(path)) return std::nullopt;
    std::optional<XmlDocument> document(std::in_place);
    try {
        document->load(path);
    } catch (const Error& failure) {
        throw Error(withPlace(failure.what(), {name}));
    }
    return document;
}

void packFrames(const XmlDocument& document, Packer& packer, ImageCounts& counts) {
    const std::vector<XmlElement> rows = document.documentElement().children();
    counts.frames = static_cast<std::int32_t>(rows.size());
    std::size_t rowNumber = 0;
    for (const XmlElement& row : rows) {
        ++rowNumber;
        std::uint8_t* at = packer.entry(kFrameEntrySize);
        if (!at) continue;
        RowReader reader(row, kFrameTableFileName, rowNumber);
        put(at, kFrameEntry.priority, reader.integer(kFrameEntry.priority.name));
        put(at, kFrameEntry.dataPage, reader.integer(kFrameEntry.dataPage.name));
        put(at, kFrameEntry.pgn, reader.integer(kFrameEntry.pgn.name));
        put(at, kFrameEntry.group, reader.integer(kFrameEntry.group.name));
        putField(at, kFrameEntry.erase, erasesData(reader.text(kFrameEntry.erase.name, "String")) ? 1 : 0);
    }
}

void packDefinitions(const XmlDocument& document, Packer& packer, ImageCounts& counts,
                     std::vector<SkippedDefinition>* skipped) {
    std::size_t rowNumber = 0;
    for (const XmlElement& row : document.documentElement().children()) {
        ++rowNumber;
        RowReader reader(row, kDefinitionsFileName, rowNumber);
        const std::int32_t frame = reader.integer(kDefinitionEntry.frame.name);
        if (frame > counts.frames) {
            if (skipped) skipped->push_back({rowNumber, frame});
            continue;
        }
        if (frame < 1) throw Error(frameNumberBelowOneMessage(rowNumber, frame));
        ++counts.definitions;
        std::uint8_t* at = packer.entry(kDefinitionEntrySize);
        if (!at) continue;
        put(at, kDefinitionEntry.frame, frame);
        put(at, kDefinitionEntry.deviceId, reader.integer(kDefinitionEntry.deviceId.name));
        put(at, kDefinitionEntry.index, reader.integer(kDefinitionEntry.index.name));
        put(at, kDefinitionEntry.registerCount, reader.integer(kDefinitionEntry.registerCount.name));
        put(at, kDefinitionEntry.typeReg, reader.integer(kDefinitionEntry.typeReg.name));
        // Positions up to the stored count are read; the rest are zero, read or not.
        const std::uint8_t lastRead = at[kDefinitionEntry.registerCount.offset];
        for (std::uint8_t i = 0; i < 8; ++i) {
            const ImageField& position = kDefinitionEntry.positions[i];
            put(at, position, i <= lastRead ? reader.integer(position.name) : 0);
        }
    }
}

void packGroups(const XmlDocument& document, Packer& packer, ImageCounts& counts) {
    const std::vector<XmlElement> rows = document.documentElement().children();
    counts.groups = static_cast<std::int32_t>(rows.size());
    std::size_t rowNumber = 0;
    for (const XmlElement& row : rows) {
        ++rowNumber;
        std::uint8_t* at = packer.entry(kGroupEntrySize);
        if (at)
            put(at, kGroupEntry.cyclicTime,
                RowReader(row, kGroupFileName, rowNumber).integer(kGroupEntry.cyclicTime.name));
    }
}

void packGeneralParameters(const XmlDocument& document, Packer& packer, const ImageCounts& counts) {
    std::uint8_t* at = packer.entry(kGeneralBlockSize);
    if (!at) return;
    const std::optional<XmlElement> root = document.findTopLevel(kPargenRoot);
    if (!root) throw Error(missingGeneralParameterMessage());
    std::int32_t values[kPargenElements.size()];
    for (std::size_t i = 0; i < kPargenElements.size(); ++i) {
        const std::optional<XmlElement> element = root->findChild(kPargenElements[i]);
        if (!element) throw Error(missingPargenElementMessage(kPargenElements[i]));
        const std::string text = element->text();
        const std::optional<std::int32_t> value = tryToInteger(text);
        if (!value)
            throw Error(
                withPlace(notAnIntegerMessage(text), DocumentPlace::ofElement(kPargenFileName, kPargenElements[i])));
        values[i] = *value;
    }
    for (std::size_t i = 0; i < kPargenElements.size(); ++i) put(at, kGeneralBlock.parameters[i], values[i]);
    put(at, kGeneralBlock.frameCount, counts.frames);
    put(at, kGeneralBlock.definitionCount, counts.definitions);
    put(at, kGeneralBlock.groupCount, counts.groups);
}

}  // namespace

ImageCounts BuildConfigurationImage(const std::string& projectFolder, ImageBuffer& image,
                                    std::vector<SkippedDefinition>* skipped) {
    Packer packer(image);
    ImageCounts counts;
    packer.entry(kHeaderSize);
    packer.headerWord(0, packer.offset());

    if (const auto frames = loadIfPresent(projectFolder, kFrameTableFileName)) packFrames(*frames, packer, counts);
    packer.headerWord(1, packer.offset());

    if (counts.frames > 0)
        if (const auto definitions = loadIfPresent(projectFolder, kDefinitionsFileName))
            packDefinitions(*definitions, packer, counts, skipped);
    packer.headerWord(2, packer.offset());

    if (const auto groups = loadIfPresent(projectFolder, kGroupFileName)) packGroups(*groups, packer, counts);
    packer.headerWord(3, packer.offset());

    if (packer.overflowed()) {
        // Past the buffer nothing more is read: the general-parameter block would add its fixed size.
        const bool withPargen = fileExists(joinPath(projectFolder, kPargenFileName));
        throw Error(imageTooLargeMessage(packer.offset() + (withPargen ? kGeneralBlockSize : 0)));
    }
    if (const auto pargen = loadIfPresent(projectFolder, kPargenFileName))
        packGeneralParameters(*pargen, packer, counts);
    if (packer.overflowed()) throw Error(imageTooLargeMessage(packer.offset()));

    image.length = static_cast<std::int32_t>(packer.offset());
    return counts;
}

std::string imageFilePath(const std::string& projectFolder) {
    return joinPath(joinPath(projectFolder, "bin"), "bank.bin");
}

void writeImageFile(const std::string& path, const ImageBuffer& image) {
    replaceFile(path, image.inUse());
}

void WriteConfigurationImage(const std::string& projectFolder, const ImageBuffer& image) {
    const std::string bin = joinPath(projectFolder, "bin");
    if (!folderExists(bin)) {
        std::error_code code;
        std::filesystem::create_directory(bin, code);
        if (code) throw Error("Cannot create folder \"" + bin + "\". " + code.message());
    }
    writeImageFile(imageFilePath(projectFolder), image);
}

namespace {

[[noreturn]] void disagree(const std::string& what) {
    throw Error(what);
}

// Checks that a section from start to end holds whole entries; the number of entries.
std::int32_t entriesBetween(std::uint32_t start, std::uint32_t end, std::size_t entrySize, int word,
                            const char* entries) {
    if (end < start || (end - start) % entrySize != 0)
        disagree("header word " + std::to_string(word) + " is " + std::to_string(end) + ", but the " + entries +
                 " from offset " + std::to_string(start) + " would not be a whole number of " +
                 std::to_string(entrySize) + "-byte entries");
    return static_cast<std::int32_t>((end - start) / entrySize);
}

}  // namespace

ImageLayout readImageLayout(std::string_view bytes) {
    ImageLayout layout;
    layout.size = bytes.size();
    if (bytes.size() < kHeaderSize)
        disagree("the image holds " + std::to_string(bytes.size()) + " bytes, fewer than its 16-byte header");
    if (bytes.size() > kImageCapacity)
        disagree("the image holds " + std::to_string(bytes.size()) + " bytes, more than the limit of " +
                 std::to_string(kImageCapacity));
    for (std::size_t word = 0; word < layout.header.size(); ++word)
        layout.header[word] = fieldValue(bytes, 0, kHeader.word(word));
    if (layout.header[0] != kHeaderSize)
        disagree("header word 0 is " + std::to_string(layout.header[0]) + ", but frame entries always start at 16");
    layout.counts.frames = entriesBetween(layout.header[0], layout.header[1], kFrameEntrySize, 4, "frame entries");
    layout.counts.definitions =
        entriesBetween(layout.header[1], layout.header[2], kDefinitionEntrySize, 8, "definition entries");
    layout.counts.groups = entriesBetween(layout.header[2], layout.header[3], kGroupEntrySize, 12, "group entries");
    const std::size_t end = layout.header[3];
    if (bytes.size() != end && bytes.size() != end + kGeneralBlockSize)
        disagree("the image holds " + std::to_string(bytes.size()) + " bytes, but header word 12 is " +
                 std::to_string(end) + ", which leaves " + std::to_string(end) +
                 " bytes without general parameters or " + std::to_string(end + kGeneralBlockSize) + " with them");
    layout.generalParameters = bytes.size() == end + kGeneralBlockSize;
    return layout;
}

std::string plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string imageContentsText(std::size_t size, const ImageCounts& counts) {
    return std::to_string(size) + " bytes, " + plural(std::size_t(counts.frames), "frame", "frames") + ", " +
           plural(std::size_t(counts.definitions), "definition", "definitions") + ", " +
           plural(std::size_t(counts.groups), "group", "groups");
}

std::string imageTooLargeMessage(std::size_t needed) {
    return "The configuration image needs " + std::to_string(needed) + " bytes, more than the limit of " +
           std::to_string(kImageCapacity) + " bytes";
}

std::size_t imageSize(const ImageCounts& counts, bool generalParameters) {
    return kHeaderSize + kFrameEntrySize * std::size_t(counts.frames) +
           kDefinitionEntrySize * std::size_t(counts.definitions) + kGroupEntrySize * std::size_t(counts.groups) +
           (generalParameters ? kGeneralBlockSize : 0);
}

std::string frameNumberBelowOneMessage(std::size_t row, std::int32_t frameNumber) {
    return "Error in row " + std::to_string(row) + " of DefFrameJ1939.xml: the frame number " +
           std::to_string(frameNumber) + " is below 1";
}

std::string missingGeneralParameterMessage() {
    return "pargen.xml has no GeneralParameter element";
}

std::string missingPargenElementMessage(std::string_view element) {
    return "pargen.xml has no " + std::string(element) + " element in GeneralParameter";
}

}  // namespace tessaro
