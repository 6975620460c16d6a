#include "update/ImageDecoder.h"

#include <string>

#include "documents/Errors.h"
#include "update/ConfigurationImage.h"

namespace tessaro {

namespace {

std::uint16_t read16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint8_t>(bytes[at + 1])
                                                                                 << 8);
}

std::uint8_t read8(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint8_t>(bytes[at]);
}

[[noreturn]] void disagree(const std::string& what) {
    throw Error(what);
}

void compareCount(std::uint32_t stored, std::size_t entries, std::uint32_t mask, const char* what) {
    if (stored != (entries & mask))
        disagree("the general-parameter block counts " + std::to_string(stored) + " " + what + ", but the header" +
                 " leaves room for " + std::to_string(entries));
}

}  // namespace

DecodedImage decodeImage(std::string_view bytes) {
    const ImageLayout layout = readImageLayout(bytes);
    DecodedImage image;
    image.size = layout.size;
    image.header = layout.header;
    const auto frames = std::size_t(layout.counts.frames);
    const auto definitions = std::size_t(layout.counts.definitions);
    const auto groups = std::size_t(layout.counts.groups);
    const std::size_t end = image.header[3];

    for (std::size_t i = 0; i < frames; ++i) {
        const std::size_t at = kHeaderSize + i * kFrameEntrySize;
        image.frames.push_back({read8(bytes, at), read8(bytes, at + 1), read16(bytes, at + 2), read8(bytes, at + 4),
                                read8(bytes, at + 5)});
    }
    for (std::size_t i = 0; i < definitions; ++i) {
        const std::size_t at = image.header[1] + i * kDefinitionEntrySize;
        ImageDefinition definition{read8(bytes, at),     read8(bytes, at + 1), read16(bytes, at + 2),
                                   read8(bytes, at + 4), read8(bytes, at + 5), {}};
        for (std::size_t k = 0; k < 8; ++k) definition.positions[k] = read8(bytes, at + 6 + k);
        image.definitions.push_back(definition);
    }
    for (std::size_t i = 0; i < groups; ++i) image.groups.push_back(read16(bytes, image.header[2] + i * 2));

    if (layout.generalParameters) {
        ImageGeneralParameters general{read8(bytes, end),       read8(bytes, end + 1),  read8(bytes, end + 2),
                                       read8(bytes, end + 3),   read8(bytes, end + 4),  read8(bytes, end + 5),
                                       read16(bytes, end + 6),  read16(bytes, end + 8), read16(bytes, end + 10),
                                       read16(bytes, end + 12), read8(bytes, end + 14)};
        compareCount(general.frameCount, frames, 0xFFFF, "frames");
        compareCount(general.definitionCount, definitions, 0xFFFF, "definitions");
        compareCount(general.groupCount, groups, 0xFF, "groups");
        image.general = general;
    }
    return image;
}

}  // namespace tessaro
