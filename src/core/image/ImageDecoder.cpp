#include "core/image/ImageDecoder.h"

#include <string>

#include "core/documents/Errors.h"
#include "core/image/ConfigurationImage.h"

namespace tessaro {

namespace {

std::uint8_t byteOf(std::string_view bytes, std::size_t entry, const ImageField& field) {
    return static_cast<std::uint8_t>(fieldValue(bytes, entry, field));
}

std::uint16_t wordOf(std::string_view bytes, std::size_t entry, const ImageField& field) {
    return static_cast<std::uint16_t>(fieldValue(bytes, entry, field));
}

void compareCount(std::uint32_t stored, std::size_t entries, std::uint32_t mask, const char* what) {
    if (stored != (entries & mask))
        throw Error("the general-parameter block counts " + std::to_string(stored) + " " + what +
                    ", but the header leaves room for " + std::to_string(entries));
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

    for (std::size_t i = 0; i < frames; ++i) {
        const std::size_t at = image.header[0] + i * kFrameEntry.size;
        image.frames.push_back({byteOf(bytes, at, kFrameEntry.priority), byteOf(bytes, at, kFrameEntry.dataPage),
                                wordOf(bytes, at, kFrameEntry.pgn), byteOf(bytes, at, kFrameEntry.group),
                                byteOf(bytes, at, kFrameEntry.erase)});
    }
    for (std::size_t i = 0; i < definitions; ++i) {
        const std::size_t at = image.header[1] + i * kDefinitionEntry.size;
        ImageDefinition definition{
            byteOf(bytes, at, kDefinitionEntry.frame),   byteOf(bytes, at, kDefinitionEntry.deviceId),
            wordOf(bytes, at, kDefinitionEntry.index),   byteOf(bytes, at, kDefinitionEntry.registerCount),
            byteOf(bytes, at, kDefinitionEntry.typeReg), {}};
        for (std::size_t k = 0; k < definition.positions.size(); ++k)
            definition.positions[k] = byteOf(bytes, at, kDefinitionEntry.positions[k]);
        image.definitions.push_back(definition);
    }
    for (std::size_t i = 0; i < groups; ++i)
        image.groups.push_back(wordOf(bytes, image.header[2] + i * kGroupEntry.size, kGroupEntry.cyclicTime));

    if (layout.generalParameters) {
        const std::size_t at = image.header[3];
        const auto& parameters = kGeneralBlock.parameters;
        ImageGeneralParameters general{byteOf(bytes, at, parameters[0]),
                                       byteOf(bytes, at, parameters[1]),
                                       byteOf(bytes, at, parameters[2]),
                                       byteOf(bytes, at, parameters[3]),
                                       byteOf(bytes, at, parameters[4]),
                                       byteOf(bytes, at, parameters[5]),
                                       wordOf(bytes, at, parameters[6]),
                                       wordOf(bytes, at, parameters[7]),
                                       wordOf(bytes, at, kGeneralBlock.frameCount),
                                       wordOf(bytes, at, kGeneralBlock.definitionCount),
                                       byteOf(bytes, at, kGeneralBlock.groupCount)};
        compareCount(general.frameCount, frames, 0xFFFF, "frames");
        compareCount(general.definitionCount, definitions, 0xFFFF, "definitions");
        compareCount(general.groupCount, groups, 0xFF, "groups");
        image.general = general;
    }
    return image;
}

}  // namespace tessaro
