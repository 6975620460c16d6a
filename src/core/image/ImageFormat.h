#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/documents/DocumentColumns.h"

namespace tessaro {

// The one description of the image's bytes: each entry's size and each field's offset and width, with the name
// of the document attribute or element it comes from. The builder writes and the decoder reads through it.
struct ImageField {
    std::string_view name;  // the attribute (or pargen element) the builder reads it from
    std::size_t offset;
    std::size_t width;  // bytes, stored low byte first

    constexpr std::size_t end() const { return offset + width; }
};

struct FrameEntryFormat {
    ImageField priority{kFrameColumns.priority.name, 0, 1};
    ImageField dataPage{kFrameColumns.dataPage.name, 1, 1};
    ImageField pgn{kFrameColumns.pgn.name, 2, 2};
    ImageField group{kFrameColumns.group.name, 4, 1};
    ImageField erase{kFrameColumns.erase.name, 5, 1};  // 1 for "Y" or "y", else 0
    std::size_t size = 6;
};

struct DefinitionEntryFormat {
    ImageField frame{kDefinitionColumns.frame.name, 0, 1};
    ImageField deviceId{kDefinitionColumns.deviceId.name, 1, 1};
    ImageField index{kDefinitionColumns.index.name, 2, 2};
    ImageField registerCount{kDefinitionColumns.registerCount.name, 4, 1};
    ImageField typeReg{kDefinitionColumns.typeReg.name, 5, 1};
    // One byte per register, "poscomp0" to "poscomp7": the high half's frame byte in the upper nibble.
    std::array<ImageField, 8> positions{{{kDefinitionColumns.positions[0].name, 6, 1},
                                         {kDefinitionColumns.positions[1].name, 7, 1},
                                         {kDefinitionColumns.positions[2].name, 8, 1},
                                         {kDefinitionColumns.positions[3].name, 9, 1},
                                         {kDefinitionColumns.positions[4].name, 10, 1},
                                         {kDefinitionColumns.positions[5].name, 11, 1},
                                         {kDefinitionColumns.positions[6].name, 12, 1},
                                         {kDefinitionColumns.positions[7].name, 13, 1}}};
    std::size_t size = 14;
};

struct GroupEntryFormat {
    ImageField cyclicTime{kGroupColumns.cyclicTime.name, 0, 2};
    std::size_t size = 2;
};

// Follows the groups when the project has a pargen.xml.
struct GeneralBlockFormat {
    // In the order of the pargen.xml elements.
    std::array<ImageField, 8> parameters{{{kPargenColumns.all()[0].name, 0, 1},
                                          {kPargenColumns.all()[1].name, 1, 1},
                                          {kPargenColumns.all()[2].name, 2, 1},
                                          {kPargenColumns.all()[3].name, 3, 1},
                                          {kPargenColumns.all()[4].name, 4, 1},
                                          {kPargenColumns.all()[5].name, 5, 1},
                                          {kPargenColumns.all()[6].name, 6, 2},
                                          {kPargenColumns.all()[7].name, 8, 2}}};
    ImageField frameCount{"frames", 10, 2};
    ImageField definitionCount{"definitions", 12, 2};
    ImageField groupCount{"groups", 14, 1};
    std::size_t size = 15;
};

// Four 32-bit offsets: frame entries, definition entries, group entries, general parameters.
struct HeaderFormat {
    std::size_t wordWidth = 4;
    std::size_t size = 16;

    constexpr ImageField word(std::size_t number) const { return {"header", number * wordWidth, wordWidth}; }
};

inline constexpr FrameEntryFormat kFrameEntry;
inline constexpr DefinitionEntryFormat kDefinitionEntry;
inline constexpr GroupEntryFormat kGroupEntry;
inline constexpr GeneralBlockFormat kGeneralBlock;
inline constexpr HeaderFormat kHeader;

inline constexpr std::size_t kImageCapacity = 100004;
inline constexpr std::size_t kHeaderSize = kHeader.size;
inline constexpr std::size_t kFrameEntrySize = kFrameEntry.size;
inline constexpr std::size_t kDefinitionEntrySize = kDefinitionEntry.size;
inline constexpr std::size_t kGroupEntrySize = kGroupEntry.size;
inline constexpr std::size_t kGeneralBlockSize = kGeneralBlock.size;

static_assert(kFrameEntry.erase.end() == kFrameEntry.size);
static_assert(kDefinitionEntry.positions.back().end() == kDefinitionEntry.size);
static_assert(kGroupEntry.cyclicTime.end() == kGroupEntry.size);
static_assert(kGeneralBlock.groupCount.end() == kGeneralBlock.size);
static_assert(kGeneralBlock.parameters.size() == kPargenColumns.all().size());
static_assert(kHeader.size == 4 * kHeader.wordWidth);

// Stores the value's low-order bits in the field, low byte first.
inline void putField(std::uint8_t* entry, const ImageField& field, std::uint32_t value) {
    for (std::size_t i = 0; i < field.width; ++i) entry[field.offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline std::uint32_t fieldValue(std::string_view bytes, std::size_t entry, const ImageField& field) {
    std::uint32_t value = 0;
    for (std::size_t i = field.width; i-- > 0;)
        value = value << 8 | static_cast<std::uint8_t>(bytes[entry + field.offset + i]);
    return value;
}

}  // namespace tessaro
