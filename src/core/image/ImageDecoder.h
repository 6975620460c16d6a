#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tessaro {

// A configuration image read back into its entries, as stored.
struct ImageFrame {
    std::uint8_t priority = 0;
    std::uint8_t dataPage = 0;
    std::uint16_t pgn = 0;
    std::uint8_t group = 0;
    std::uint8_t erase = 0;
};

struct ImageDefinition {
    std::uint8_t frame = 0;
    std::uint8_t deviceId = 0;
    std::uint16_t index = 0;
    std::uint8_t registerCount = 0;  // Num_Reg: points minus 1
    std::uint8_t typeReg = 0;
    std::array<std::uint8_t, 8> positions{};
};

struct ImageGeneralParameters {
    std::uint8_t canBaudRate = 0;
    std::uint8_t canDeviceId = 0;
    std::uint8_t serialInterface = 0;
    std::uint8_t rtuBaudRate = 0;
    std::uint8_t parity = 0;
    std::uint8_t stopBits = 0;
    std::uint16_t timeout = 0;
    std::uint16_t delay = 0;
    std::uint16_t frameCount = 0;
    std::uint16_t definitionCount = 0;
    std::uint8_t groupCount = 0;
};

struct DecodedImage {
    std::size_t size = 0;
    std::array<std::uint32_t, 4> header{};
    std::vector<ImageFrame> frames;
    std::vector<ImageDefinition> definitions;
    std::vector<std::uint16_t> groups;  // cyclic times
    std::optional<ImageGeneralParameters> general;
};

// Throws tessaro::Error saying what disagrees when the header's offsets, the image's size and the counts of the
// general-parameter block do not fit together.
DecodedImage decodeImage(std::string_view bytes);

// The registers of a definition the gateway reads: Num_Reg + 1, at most 8.
inline std::size_t registersInUse(const ImageDefinition& definition) {
    return definition.registerCount >= 7 ? 8 : std::size_t(definition.registerCount) + 1;
}

}  // namespace tessaro
