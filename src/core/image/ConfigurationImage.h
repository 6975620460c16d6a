#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/documents/DocumentNames.h"
#include "core/image/ImageFormat.h"

namespace tessaro {

// The image buffer and its length in use. Each build rewrites the bytes from 0 up to its new length; the bytes
// beyond it are left as they were and never written.
struct ImageBuffer {
    std::array<std::uint8_t, kImageCapacity> bytes{};
    std::int32_t length = 0;

    std::string_view inUse() const { return {reinterpret_cast<const char*>(bytes.data()), std::size_t(length)}; }
};

struct ImageCounts {
    std::int32_t frames = 0;
    std::int32_t definitions = 0;  // entries written, not rows read
    std::int32_t groups = 0;
};

// Packs the four documents of the project folder into the buffer, read from disk in the order FrameJ1939.xml,
// DefFrameJ1939.xml, Group.xml, pargen.xml. Values keep their low-order bits; no range is checked.
// Throws tessaro::Error on a document that cannot be read, a value that does not convert, an absent attribute or
// element, a frame number below 1, or an image larger than the buffer; the buffer's length is then unchanged. The
// text of a document that cannot be read, a value that does not convert or an absent attribute has its place (the
// file, and the row and attribute or the element) on a second line.
// skipped, when given, gets the definition rows left out because their frame is beyond the frame count.
struct SkippedDefinition {
    std::size_t row = 0;  // in DefFrameJ1939.xml, from 1
    std::int32_t frame = 0;
};
ImageCounts BuildConfigurationImage(const std::string& projectFolder, ImageBuffer& image,
                                    std::vector<SkippedDefinition>* skipped = nullptr);

// Replaces project folder/bin/bank.bin with the image in use, creating the bin folder when missing.
// Throws tessaro::Error when the folder or the file cannot be created or written; the previous file stays whole.
void WriteConfigurationImage(const std::string& projectFolder, const ImageBuffer& image);

// The sections of a stored image as its header gives them.
struct ImageLayout {
    std::size_t size = 0;
    std::array<std::uint32_t, 4> header{};
    ImageCounts counts;
    bool generalParameters = false;  // the general-parameter block follows the groups
};

// Throws tessaro::Error saying what disagrees when the header's offsets and the image's size do not fit together.
ImageLayout readImageLayout(std::string_view bytes);

// "233 bytes, 16 frames, 46 definitions, 10 groups".
std::string imageContentsText(std::size_t size, const ImageCounts& counts);

// "1 frame", "2 frames".
std::string plural(std::size_t count, const char* one, const char* many);

// Replaces the file at path with the image in use.
void writeImageFile(const std::string& path, const ImageBuffer& image);

std::string imageFilePath(const std::string& projectFolder);

// The refusal of a project whose image would not fit in the buffer.
std::string imageTooLargeMessage(std::size_t needed);

// The bytes an image of these counts takes, with the general-parameter block when the project has a pargen.xml.
std::size_t imageSize(const ImageCounts& counts, bool generalParameters);

// The failure of a definition row whose frame number is below 1 (rows count from 1).
std::string frameNumberBelowOneMessage(std::size_t row, std::int32_t frameNumber);

// The failures of a pargen.xml that lacks what the builder reads.
std::string missingGeneralParameterMessage();
std::string missingPargenElementMessage(std::string_view element);

}  // namespace tessaro
