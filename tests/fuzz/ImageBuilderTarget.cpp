#include <array>
#include <filesystem>
#include <optional>
#include <set>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "cli/ImageDump.h"
#include "core/documents/Errors.h"
#include "core/documents/NumericText.h"
#include "core/documents/XmlDocument.h"
#include "core/editors/PargenDocument.h"
#include "core/image/ConfigurationImage.h"

namespace tessaro::fuzz {

namespace {

constexpr std::array<std::string_view, 4> kDocuments = {kFrameTableFileName, kDefinitionsFileName, kGroupFileName,
                                                        kPargenFileName};

struct Reference {
    std::string bytes;
    ImageCounts counts;
};

class ReferencePacker {
public:
    void put8(std::int32_t value) { m_bytes += static_cast<char>(static_cast<std::uint32_t>(value) & 0xFF); }
    void put16(std::int32_t value) {
        put8(value);
        put8(static_cast<std::int32_t>(static_cast<std::uint32_t>(value) >> 8));
    }
    void put32(std::size_t value) {
        put16(static_cast<std::int32_t>(value & 0xFFFF));
        put16(static_cast<std::int32_t>(value >> 16));
    }
    std::string& bytes() { return m_bytes; }

private:
    std::string m_bytes;
};

// Whether a row of a document names an attribute twice. The parser keeps both, and which one a reader takes then
// depends on how it searches: the builder and the editors go on from the last attribute found, the layout below
// takes the first.
bool namesAnAttributeTwice(const std::vector<std::string_view>& parts) {
    for (std::size_t document = 0; document < 3; ++document) {
        if (parts[document].empty()) continue;
        XmlDocument rows;
        try {
            rows.loadText(parts[document]);
        } catch (const Error&) {
            continue;
        }
        for (const XmlElement& row : rows.documentElement().children()) {
            std::set<std::string_view> names;
            for (pugi::xml_attribute at = row.node().first_attribute(); at; at = at.next_attribute())
                if (!names.insert(at.name()).second) return true;
        }
    }
    return false;
}

// The image laid out a second way, from the layout's description and the XML layer's own lookups; nothing where
// the builder must refuse the project.
std::optional<Reference> referenceImage(const std::vector<std::string_view>& parts) {
    Reference reference;
    try {
        std::array<XmlDocument, 4> documents;
        const auto present = [&](std::size_t document) { return !parts[document].empty(); };
        const auto rowsOf = [&](std::size_t document) {
            documents[document].loadText(parts[document]);
            return documents[document].documentElement().children();
        };
        ReferencePacker frames, definitions, groups, general;
        if (present(0)) {
            for (const XmlElement& row : rowsOf(0)) {
                ++reference.counts.frames;
                frames.put8(row.integerAttribute("Priority"));
                frames.put8(row.integerAttribute("DataPage"));
                frames.put16(row.integerAttribute("PGN"));
                frames.put8(row.integerAttribute("Group"));
                const std::string erase = row.attribute("Erase");
                frames.put8(erase == "Y" || erase == "y" ? 1 : 0);
            }
        }
        // Definitions count only for the frames there are, and without frames their document is not read.
        if (present(1) && reference.counts.frames > 0) {
            for (const XmlElement& row : rowsOf(1)) {
                const std::int32_t frame = row.integerAttribute("NrFrameJ1939");
                if (frame > reference.counts.frames) continue;
                if (frame < 1) return std::nullopt;
                ++reference.counts.definitions;
                definitions.put8(frame);
                definitions.put8(row.integerAttribute("Device_ID"));
                definitions.put16(row.integerAttribute("Index"));
                const std::int32_t registers = row.integerAttribute("Num_Reg");
                definitions.put8(registers);
                definitions.put8(row.integerAttribute("Type_Reg"));
                for (int r = 0; r < 8; ++r)
                    definitions.put8(r <= (registers & 0xFF) ? row.integerAttribute("poscomp" + std::to_string(r)) : 0);
            }
        }
        if (present(2))
            for (const XmlElement& row : rowsOf(2)) {
                ++reference.counts.groups;
                groups.put16(row.integerAttribute("Cyclic_Time"));
            }
        if (present(3)) {
            documents[3].loadText(parts[3]);
            const std::optional<XmlElement> root = documents[3].findTopLevel(kPargenRoot);
            if (!root) return std::nullopt;
            for (const std::string_view name : kPargenElements) {
                const std::optional<XmlElement> element = root->findChild(name);
                if (!element) return std::nullopt;
                const std::int32_t value = toInteger(element->text());
                if (name == "TimeOut_Ser" || name == "Delay_Ser")
                    general.put16(value);
                else
                    general.put8(value);
            }
            general.put16(reference.counts.frames);
            general.put16(reference.counts.definitions);
            general.put8(reference.counts.groups);
        }

        ReferencePacker header;
        std::size_t end = kHeaderSize;
        header.put32(end);
        for (ReferencePacker* section : {&frames, &definitions, &groups}) {
            end += section->bytes().size();
            header.put32(end);
        }
        reference.bytes = header.bytes() + frames.bytes() + definitions.bytes() + groups.bytes() + general.bytes();
        if (reference.bytes.size() > kImageCapacity) return std::nullopt;
        return reference;
    } catch (const Error&) {
        return std::nullopt;
    }
}

std::uint32_t word(std::string_view image, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;) value = value << 8 | static_cast<std::uint8_t>(image[at + i]);
    return value;
}

}  // namespace

void imageBuilder(std::string_view input) {
    static const std::string project = [] {
        const std::string folder = scratchFolder() + "/project";
        std::filesystem::create_directory(folder);
        return folder;
    }();
    const std::vector<std::string_view> parts = splitInput(input, kDocuments.size());
    for (std::size_t document = 0; document < kDocuments.size(); ++document)
        placeScratchFile("project/" + std::string(kDocuments[document]), parts[document]);

    // A buffer of its own whose length tells whether a refused build left it alone.
    static ImageBuffer image;
    constexpr std::int32_t kUntouched = 7;
    image.length = kUntouched;
    std::optional<ImageCounts> counts;
    try {
        counts = BuildConfigurationImage(project, image);
    } catch (const Error& refusal) {
        TESSARO_FUZZ_EXPECT(*refusal.what() != '\0', "a refusal without a message");
        TESSARO_FUZZ_EXPECT(image.length == kUntouched, "a refused build changed the length");
    }

    const bool ambiguous = namesAnAttributeTwice(parts);
    const std::optional<Reference> reference = ambiguous ? std::nullopt : referenceImage(parts);
    if (!counts) {
        TESSARO_FUZZ_EXPECT(ambiguous || !reference, "the builder refuses what the layout allows");
        return;
    }

    // The size follows from the counts, and the header's words are the sections' offsets.
    const bool general = !parts[3].empty();
    const std::size_t frames = std::size_t(counts->frames), definitions = std::size_t(counts->definitions),
                      groups = std::size_t(counts->groups);
    const std::size_t expected = kHeaderSize + kFrameEntrySize * frames + kDefinitionEntrySize * definitions +
                                 kGroupEntrySize * groups + (general ? kGeneralBlockSize : 0);
    TESSARO_FUZZ_EXPECT(image.length >= 0 && std::size_t(image.length) == expected,
                        std::to_string(image.length) + " bytes for " + std::to_string(frames) + " frames, " +
                            std::to_string(definitions) + " definitions, " + std::to_string(groups) + " groups");
    TESSARO_FUZZ_EXPECT(expected <= kImageCapacity, std::to_string(expected) + " bytes");
    const std::string_view bytes = image.inUse();
    TESSARO_FUZZ_EXPECT(word(bytes, 0) == kHeaderSize && word(bytes, 4) == kHeaderSize + kFrameEntrySize * frames &&
                            word(bytes, 8) == word(bytes, 4) + kDefinitionEntrySize * definitions &&
                            word(bytes, 12) == word(bytes, 8) + kGroupEntrySize * groups,
                        "the header " + printable(bytes.substr(0, kHeaderSize)));

    // The decoder takes back every image the builder makes, with the same counts.
    try {
        const DecodedImage decoded = decodeImage(bytes);
        TESSARO_FUZZ_EXPECT(decoded.frames.size() == frames && decoded.definitions.size() == definitions &&
                                decoded.groups.size() == groups && decoded.general.has_value() == general,
                            "the decoded counts");
    } catch (const Error& refusal) {
        reportBrokenInvariant("the decoder refuses a built image: " + std::string(refusal.what()));
    }

    if (ambiguous) return;
    TESSARO_FUZZ_EXPECT(reference, "the builder accepts what the layout refuses");
    TESSARO_FUZZ_EXPECT(reference->counts.frames == counts->frames &&
                            reference->counts.definitions == counts->definitions &&
                            reference->counts.groups == counts->groups,
                        "the counts differ from the layout's");
    TESSARO_FUZZ_EXPECT(reference->bytes == bytes,
                        "built " + printable(bytes) + ", laid out " + printable(reference->bytes));
}

}  // namespace tessaro::fuzz
