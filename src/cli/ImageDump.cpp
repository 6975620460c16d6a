#include "cli/ImageDump.h"

#include <sstream>

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"
#include "core/documents/JsonText.h"
#include "core/editors/PargenDocument.h"
#include "core/image/ConfigurationImage.h"
#include "core/j1939/Pgn.h"
#include "core/map/MapFormats.h"

namespace tessaro::cli {

namespace {

template <std::size_t N>
std::optional<std::string_view> listEntry(const std::array<std::string_view, N>& list, std::uint8_t position) {
    if (position < N) return list[position];
    return std::nullopt;
}

std::optional<std::string_view> registerKind(std::uint8_t typeReg) {
    if (typeReg == 3) return "holding";
    if (typeReg == 4) return "input";
    return std::nullopt;
}

// The frame byte a nibble of a position byte names: "B1" to "B8", nothing for 0; 9 to 15 name none.
std::optional<std::string> frameByte(unsigned nibble) {
    if (nibble == 0) return std::nullopt;
    if (nibble <= 8) return "B" + std::to_string(nibble);
    return "nibble " + std::to_string(nibble);
}

std::string byteSource(unsigned nibble) {
    if (nibble == 0) return "none";
    if (nibble <= 8) return "from B" + std::to_string(nibble);
    return "from nibble " + std::to_string(nibble) + ", which names no frame byte";
}

std::string jsonOptional(const std::optional<std::string_view>& text) {
    return text ? jsonString(*text) : std::string("null");
}

std::string jsonOptional(const std::optional<std::string>& text) {
    return text ? jsonString(*text) : std::string("null");
}

}  // namespace

DecodedImage readImageFile(const std::string& file) {
    // A folder reads as no bytes at all, which the decoder would call a short image.
    if (folderExists(file)) throw Error("'" + file + "' is a folder, not a configuration image");
    const std::string bytes = readFile(file);
    try {
        return decodeImage(bytes);
    } catch (const Error& disagreement) {
        throw Error("'" + file + "' is not a configuration image: " + disagreement.what());
    }
}

std::string dumpText(const DecodedImage& image, std::string_view name) {
    std::ostringstream out;
    out << name << ": " << image.size << " bytes\n";
    out << "Header: frame entries at " << image.header[0] << ", definition entries at " << image.header[1]
        << ", group entries at " << image.header[2] << ", general parameters at " << image.header[3] << "\n";

    out << "Frames: " << image.frames.size() << "\n";
    for (std::size_t i = 0; i < image.frames.size(); ++i) {
        const ImageFrame& frame = image.frames[i];
        out << "  Frame " << i + 1 << ": priority " << int(frame.priority) << ", data page " << int(frame.dataPage)
            << ", PGN " << pgnText(framePgn(frame.dataPage, frame.pgn)) << ", group " << int(frame.group)
            << (frame.group == 0 ? " (On Request)" : "") << ", erase " << (frame.erase ? "yes" : "no") << "\n";
    }

    out << "Definitions: " << image.definitions.size() << "\n";
    for (std::size_t i = 0; i < image.definitions.size(); ++i) {
        const ImageDefinition& definition = image.definitions[i];
        const auto kind = registerKind(definition.typeReg);
        out << "  Definition " << i + 1 << ": frame " << int(definition.frame) << ", slave " << int(definition.deviceId)
            << ", index " << definition.index << ", "
            << plural(std::size_t(definition.registerCount) + 1, "point", "points") << ", "
            << (kind ? std::string(*kind) + " registers" : std::string("unknown register kind")) << " (Type_Reg "
            << int(definition.typeReg) << ")\n";
        for (std::size_t r = 0; r < registersInUse(definition); ++r) {
            out << "    R" << r + 1 << " (register " << definition.index + r << "): high byte "
                << byteSource(definition.positions[r] >> 4) << ", low byte "
                << byteSource(definition.positions[r] & 0x0F) << "\n";
        }
    }

    out << "Groups: " << image.groups.size() << "\n";
    for (std::size_t i = 0; i < image.groups.size(); ++i)
        out << "  Group " << i + 1 << ": cyclic time " << image.groups[i] << " ms\n";

    if (!image.general) {
        out << "General parameters: none (the project had no pargen.xml)\n";
        return out.str();
    }
    const ImageGeneralParameters& general = *image.general;
    const auto meaning = [](const std::optional<std::string_view>& text, const char* unit) {
        return text ? std::string(*text) + unit : std::string("unknown");
    };
    out << "General parameters:\n";
    out << "  J1939 baud rate: " << meaning(listEntry(kCanBaudRates, general.canBaudRate), " kbit/s") << " (BR_CAN "
        << int(general.canBaudRate) << ")\n";
    out << "  J1939 device ID: " << int(general.canDeviceId) << "\n";
    out << "  Modbus RTU interface: " << meaning(listEntry(kSerialInterfaces, general.serialInterface), "")
        << " (Select_Ser " << int(general.serialInterface) << ")\n";
    out << "  Modbus RTU baud rate: " << meaning(listEntry(kRtuBaudRates, general.rtuBaudRate), " bit/s")
        << " (Baud_Ser " << int(general.rtuBaudRate) << ")\n";
    out << "  Parity: " << meaning(listEntry(kParities, general.parity), "") << " (Par_Ser " << int(general.parity)
        << ")\n";
    out << "  Stop bits: " << meaning(listEntry(kStopBits, general.stopBits), "") << " (Stop_Ser "
        << int(general.stopBits) << ")\n";
    out << "  Modbus RTU time-out: " << general.timeout << " ms\n";
    out << "  Modbus RTU cyclic delay: " << general.delay << " ms\n";
    out << "  Counts: " << plural(general.frameCount, "frame", "frames") << ", "
        << plural(general.definitionCount, "definition", "definitions") << ", "
        << plural(general.groupCount, "group", "groups") << "\n";
    return out.str();
}

std::string dumpJson(const DecodedImage& image) {
    std::ostringstream out;
    out << "{\n  \"size\": " << image.size << ",\n";
    out << "  \"header\": {\"frames\": " << image.header[0] << ", \"definitions\": " << image.header[1]
        << ", \"groups\": " << image.header[2] << ", \"generalParameters\": " << image.header[3] << "},\n";

    out << "  \"frames\": [";
    for (std::size_t i = 0; i < image.frames.size(); ++i) {
        const ImageFrame& frame = image.frames[i];
        out << (i ? ",\n" : "\n") << "    {\"frame\": " << i + 1 << ", \"priority\": " << int(frame.priority)
            << ", \"dataPage\": " << int(frame.dataPage) << ", \"pgn\": " << frame.pgn
            << ", \"pgnHex\": " << jsonString(pgnHex(framePgn(frame.dataPage, frame.pgn)))
            << ", \"group\": " << int(frame.group) << ", \"onRequest\": " << (frame.group == 0 ? "true" : "false")
            << ", \"erase\": " << (frame.erase ? "true" : "false") << "}";
    }
    out << (image.frames.empty() ? "],\n" : "\n  ],\n");

    out << "  \"definitions\": [";
    for (std::size_t i = 0; i < image.definitions.size(); ++i) {
        const ImageDefinition& definition = image.definitions[i];
        out << (i ? ",\n" : "\n") << "    {\"definition\": " << i + 1 << ", \"frame\": " << int(definition.frame)
            << ", \"slave\": " << int(definition.deviceId) << ", \"index\": " << definition.index
            << ", \"points\": " << int(definition.registerCount) + 1 << ", \"typeReg\": " << int(definition.typeReg)
            << ", \"registerKind\": " << jsonOptional(registerKind(definition.typeReg)) << ",\n     \"registers\": [";
        for (std::size_t r = 0; r < registersInUse(definition); ++r)
            out << (r ? ", " : "") << "{\"register\": " << r + 1 << ", \"address\": " << definition.index + r
                << ", \"high\": " << jsonOptional(frameByte(definition.positions[r] >> 4))
                << ", \"low\": " << jsonOptional(frameByte(definition.positions[r] & 0x0F)) << "}";
        out << "]}";
    }
    out << (image.definitions.empty() ? "],\n" : "\n  ],\n");

    out << "  \"groups\": [";
    for (std::size_t i = 0; i < image.groups.size(); ++i)
        out << (i ? ", " : "") << "{\"group\": " << i + 1 << ", \"cyclicTimeMs\": " << image.groups[i] << "}";
    out << "],\n";

    out << "  \"generalParameters\": ";
    if (!image.general) {
        out << "null\n}\n";
        return out.str();
    }
    const ImageGeneralParameters& general = *image.general;
    const auto number = [](const std::optional<std::string_view>& text) {
        return text ? std::string(*text) : std::string("null");
    };
    out << "{\n"
        << "    \"canBaudRatePosition\": " << int(general.canBaudRate)
        << ", \"canBaudRateKbits\": " << number(listEntry(kCanBaudRates, general.canBaudRate)) << ",\n"
        << "    \"canDeviceId\": " << int(general.canDeviceId) << ",\n"
        << "    \"serialInterface\": " << int(general.serialInterface)
        << ", \"serialInterfaceName\": " << jsonOptional(listEntry(kSerialInterfaces, general.serialInterface)) << ",\n"
        << "    \"rtuBaudRatePosition\": " << int(general.rtuBaudRate)
        << ", \"rtuBaudRate\": " << number(listEntry(kRtuBaudRates, general.rtuBaudRate)) << ",\n"
        << "    \"parityPosition\": " << int(general.parity)
        << ", \"parity\": " << jsonOptional(listEntry(kParities, general.parity)) << ",\n"
        << "    \"stopBitsPosition\": " << int(general.stopBits)
        << ", \"stopBits\": " << jsonOptional(listEntry(kStopBits, general.stopBits)) << ",\n"
        << "    \"timeoutMs\": " << general.timeout << ", \"cyclicDelayMs\": " << general.delay << ",\n"
        << "    \"frameCount\": " << general.frameCount << ", \"definitionCount\": " << general.definitionCount
        << ", \"groupCount\": " << int(general.groupCount) << "\n  }\n}\n";
    return out.str();
}

}  // namespace tessaro::cli
